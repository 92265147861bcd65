# Reads one Windows binary's import and export tables (objdump -p) and fails unless it imports
# only from system DLLs of Windows and exports exactly the expected names.
#   cmake -DOBJDUMP=<objdump> -DBINARY=<file> -DEXPORTS=<name,name,...> -P CheckBinary.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${BINARY} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${BINARY} failed (${status})")
endif()

# Windows' own DLLs: the kernel, window and drawing services, the C runtimes.
set(system_dlls kernel32 user32 gdi32 advapi32 msvcrt ucrtbase ole32 oleaut32 shell32 comdlg32 winmm
  imm32 version bcrypt ws2_32)
set(failures "")
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
if(NOT imports)
  string(APPEND failures "no import table found\n")
endif()
foreach(line IN LISTS imports)
  string(REGEX REPLACE "DLL Name: ([^ \t]+).*" "\\1" dll "${line}")
  string(TOLOWER "${dll}" dll)
  string(REGEX REPLACE "\\.dll$" "" stem "${dll}")
  if(NOT stem IN_LIST system_dlls AND NOT stem MATCHES "^api-ms-win-")
    string(APPEND failures "imports ${dll}, which is not a system DLL\n")
  endif()
endforeach()

# The export names follow the "[Ordinal/Name Pointer] Table" heading, one "[ n] name" a line.
set(exported "")
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" start)
if(start GREATER_EQUAL 0)
  string(SUBSTRING "${dump}" ${start} -1 table)
  string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]+" rows "${table}")
  foreach(row IN LISTS rows)
    string(REGEX REPLACE "\n\t\\[ *[0-9]+\\] ([^\n]+)" "\\1" name "${row}")
    list(APPEND exported "${name}")
  endforeach()
endif()
string(REPLACE "," ";" expected "${EXPORTS}")
list(SORT exported)
list(SORT expected)
if(NOT exported STREQUAL expected)
  string(APPEND failures "exports [${exported}], expected [${expected}]\n")
endif()

if(failures)
  message(FATAL_ERROR "${BINARY}:\n${failures}")
endif()
message(STATUS "${BINARY}: imports ${imports}; exports ${exported}")
