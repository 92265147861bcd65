# tonvera-bench-editor: the module's editor in the test host under a private Xvfb server: open to
# first picture (cold and warm) and invalidation to picture, quiet and under load, beside a bare
# X11 window; what an open editor costs on a host run loop, still and with a moving tuning
# indicator; and wake-ups with no editor open (skipped with a note when Xvfb is not installed).
find_package(X11)
if(TARGET tonvera_plugin AND TARGET tonvera_testhost_editor AND TARGET tonvera_gui_x11 AND X11_FOUND)
  add_executable(tonvera-bench-editor ${CMAKE_CURRENT_LIST_DIR}/MEditorBench.cpp
                                      ${PROJECT_SOURCE_DIR}/tests/gui/x11/MXvfbServer.cpp)
  target_include_directories(tonvera-bench-editor PRIVATE ${PROJECT_SOURCE_DIR}/tests/gui/x11)
  target_compile_options(tonvera-bench-editor PRIVATE ${TONVERA_WARNINGS})
  target_link_libraries(tonvera-bench-editor PRIVATE tonvera::testhost_editor tonvera::testhost tonvera::gui_x11 X11::X11
                                                     benchmark::benchmark)
  add_dependencies(tonvera-bench-editor tonvera_plugin)
  target_compile_definitions(tonvera-bench-editor PRIVATE
    TONVERA_MODULE="$<TARGET_FILE:tonvera_plugin>" TONVERA_VST3_BUNDLE="${CMAKE_BINARY_DIR}/Tonvera.vst3")
endif()
