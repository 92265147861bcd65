# tonvera-bench-x11: what an open X11 editor window costs while nothing repaints, under a private
# Xvfb server (skipped with a note when Xvfb is not installed).
if(TARGET tonvera_gui_x11)
  add_executable(tonvera-bench-x11 ${CMAKE_CURRENT_LIST_DIR}/MX11IdleBench.cpp
                                   ${PROJECT_SOURCE_DIR}/tests/gui/x11/MXvfbServer.cpp)
  target_include_directories(tonvera-bench-x11 PRIVATE ${PROJECT_SOURCE_DIR}/tests/gui/x11)
  target_compile_options(tonvera-bench-x11 PRIVATE ${TONVERA_WARNINGS})
  target_link_libraries(tonvera-bench-x11 PRIVATE tonvera::gui_x11 benchmark::benchmark)
endif()
