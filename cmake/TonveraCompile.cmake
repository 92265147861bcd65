# Compiler flags shared by every target, and the helper that declares a layer library.

set(TONVERA_WARNINGS -Wall -Wextra -Wpedantic)
if(TONVERA_WERROR)
  list(APPEND TONVERA_WARNINGS -Werror)
endif()

# MinGW-w64: the C++ runtime, libgcc and winpthreads go into each binary, so the module and the test
# programs import only the system DLLs of Windows.
if(MINGW)
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

if(TONVERA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(TONVERA_FUZZ)
  # Every library gets coverage instrumentation and the sanitizers, so that any program of the
  # tree still links; only the fuzz targets link the libFuzzer driver (fuzz/CMakeLists.txt).
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(TONVERA_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# tonvera_add_layer(<name> SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# Declares the static library tonvera_<name> with the alias tonvera::<name>.
# Headers are included by their path from the repository root ("base/MString.h").
function(tonvera_add_layer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(tonvera_${name} STATIC ${ARG_SOURCES})
  add_library(tonvera::${name} ALIAS tonvera_${name})
  target_include_directories(tonvera_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(tonvera_${name} PRIVATE ${TONVERA_WARNINGS})
  target_compile_features(tonvera_${name} PUBLIC cxx_std_20)
  set_target_properties(tonvera_${name} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  if(ARG_DEPS)
    target_link_libraries(tonvera_${name} PUBLIC ${ARG_DEPS})
  endif()
  if(ARG_PRIVATE_DEPS)
    target_link_libraries(tonvera_${name} PRIVATE ${ARG_PRIVATE_DEPS})
  endif()
endfunction()

# tonvera_check_headless(<target> ...)
# Fails the configuration when one of the targets links a GUI library or an editor library, however
# indirectly: the plug-in's layers without a window stay that way when a dependency is added.
function(tonvera_check_headless)
  foreach(target ${ARGN})
    if(NOT TARGET ${target})
      continue()
    endif()
    set(seen "")
    set(queue ${target})
    while(queue)
      list(POP_FRONT queue current)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" current "${current}")
      if(NOT TARGET "${current}")
        continue()
      endif()
      get_target_property(aliased ${current} ALIASED_TARGET)
      if(aliased)
        set(current ${aliased})
      endif()
      if(current IN_LIST seen)
        continue()
      endif()
      list(APPEND seen ${current})
      if(current MATCHES "^tonvera_(gui.*|.*_editor)$")
        message(FATAL_ERROR "${target} links ${current}: it must link no GUI; the window's part "
                            "belongs in an editor library")
      endif()
      get_target_property(deps ${current} INTERFACE_LINK_LIBRARIES)
      if(deps)
        list(APPEND queue ${deps})
      endif()
    endwhile()
  endforeach()
endfunction()
