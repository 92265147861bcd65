# Installs the Windows build into a scratch folder and fails unless it holds exactly the files a
# Windows user copies: INSTALL.txt, the VST 2.4 DLL and the VST 3 bundle.
#   cmake -DBUILD=<build folder> -P CheckInstall.cmake
cmake_minimum_required(VERSION 3.25)
set(prefix ${BUILD}/install-check)
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix} OUTPUT_QUIET RESULT_VARIABLE status)
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
list(SORT installed)
set(expected INSTALL.txt VST3/Tonvera.vst3/Contents/x86_64-win/Tonvera.vst3 VstPlugins/Tonvera.dll)
if(NOT status EQUAL 0 OR NOT installed STREQUAL expected)
  message(FATAL_ERROR "install (${status}) laid out [${installed}], expected [${expected}]")
endif()
