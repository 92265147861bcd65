# The X11 back end under a private Xvfb server (started by the tests themselves), with XTest input.
if(TARGET tonvera_gui_x11)
  find_package(X11 REQUIRED)
  if(NOT X11_XTest_FOUND)
    tonvera_left_out("The X11 tests" libxtst-dev)
  else()
    tonvera_add_test(tonvera_gui_x11_tests LABEL gui CONCURRENCY
      SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/x11/MX11InputTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/x11/MWindowSystemX11Test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/x11/MXvfbServer.cpp
      LIBS tonvera::gui_x11 X11::X11 X11::Xtst)
  endif()
endif()
