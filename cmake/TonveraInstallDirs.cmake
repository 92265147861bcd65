# Where `cmake --install` puts things, decided when it runs, not when the tree is configured.
#
#   cmake --install build                  Tonvera.so      -> $HOME/.vst
#                                          Tonvera.vst3    -> $HOME/.vst3
#                                          Tonvera.lv2     -> $HOME/.lv2 (Linux, with lv2-dev)
#                                          tonvera-render  -> $HOME/.local/bin
#                                          its man page    -> $HOME/.local/share/man/man1
#   cmake --install build --prefix DIR     DIR/lib/vst, DIR/lib/vst3, DIR/lib/lv2, DIR/bin,
#                                          DIR/share/man/man1
#
# A tree configured without CMAKE_INSTALL_PREFIX gets the literal prefix "$HOME" (so the cache
# shows it), and keeps it on every later configure. At install time the rule below turns that
# value into the home of whoever runs the install, with the per-user folders hosts scan; any other
# prefix, from --prefix or from -DCMAKE_INSTALL_PREFIX=DIR at configure time, gets the usual
# layout under it. DESTDIR is honoured in both cases.
#
# Include this before the subdirectories: install rules run in the order they are declared, and
# this decision must come first. Install rules name their destination through the variables it
# sets, escaped so that they are read at install time: DESTINATION "\${TONVERA_INSTALL_BIN_DIR}".

set(TONVERA_INSTALL_HOME_PREFIX [[$HOME]])

# A tree first configured before this rule existed (its cache is there, but not our mark) holds
# CMake's own default: treat that as unset, once.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT
   OR (EXISTS "${CMAKE_BINARY_DIR}/CMakeCache.txt" AND NOT DEFINED CACHE{TONVERA_INSTALL_DIRS_SEEN}
       AND CMAKE_INSTALL_PREFIX STREQUAL "/usr/local"))
  set(CMAKE_INSTALL_PREFIX "${TONVERA_INSTALL_HOME_PREFIX}" CACHE PATH
      "Install prefix; \"$HOME\" means the per-user plug-in folders (~/.vst, ~/.vst3, ~/.local/bin)" FORCE)
endif()
set(TONVERA_INSTALL_DIRS_SEEN ON CACHE INTERNAL "The install prefix default has been decided")

# A Windows build is laid out in a folder the way a Windows user installs it (and scripts/
# package-windows.sh zips that folder): INSTALL.txt, VstPlugins/Tonvera.dll, VST3/Tonvera.vst3/.
# There is no per-user default on the build machine for it.
if(WIN32)
  install(CODE [[
    if(CMAKE_INSTALL_PREFIX STREQUAL "$HOME")
      message(FATAL_ERROR "The Windows build installs into a folder: cmake --install build-windows --prefix DIR")
    endif()
    set(TONVERA_INSTALL_VST_DIR "VstPlugins")
    set(TONVERA_INSTALL_VST3_DIR "VST3")
    set(TONVERA_INSTALL_BIN_DIR "bin")
    set(TONVERA_INSTALL_MAN1_DIR "man")
    message(STATUS "Installing into ${CMAKE_INSTALL_PREFIX}")
  ]] ALL_COMPONENTS)
  return()
endif()

install(CODE [[
  if(CMAKE_INSTALL_PREFIX STREQUAL "$HOME")
    if("$ENV{HOME}" STREQUAL "")
      message(FATAL_ERROR "HOME is not set: give the install a prefix (cmake --install build --prefix DIR)")
    endif()
    set(CMAKE_INSTALL_PREFIX "$ENV{HOME}")
    set(TONVERA_INSTALL_VST_DIR ".vst")
    set(TONVERA_INSTALL_VST3_DIR ".vst3")
    set(TONVERA_INSTALL_LV2_DIR ".lv2")
    set(TONVERA_INSTALL_BIN_DIR ".local/bin")
    set(TONVERA_INSTALL_MAN1_DIR ".local/share/man/man1")
  else()
    set(TONVERA_INSTALL_VST_DIR "lib/vst")
    set(TONVERA_INSTALL_VST3_DIR "lib/vst3")
    set(TONVERA_INSTALL_LV2_DIR "lib/lv2")
    set(TONVERA_INSTALL_BIN_DIR "bin")
    set(TONVERA_INSTALL_MAN1_DIR "share/man/man1")
  endif()
  message(STATUS "Installing into ${CMAKE_INSTALL_PREFIX}")
]] ALL_COMPONENTS)
