# tonvera-bench-editor: the module's editor in the test host under a private Xvfb server: open to
# first picture, and what an open editor with a running tuning indicator costs on a host run loop
# (skipped with a note when Xvfb is not installed).
find_package(X11)
if(TARGET tonvera_plugin AND TARGET tonvera_testhost_editor AND X11_FOUND)
  add_executable(tonvera-bench-editor ${CMAKE_CURRENT_LIST_DIR}/MEditorBench.cpp
                                      ${PROJECT_SOURCE_DIR}/tests/gui/x11/MXvfbServer.cpp)
  target_include_directories(tonvera-bench-editor PRIVATE ${PROJECT_SOURCE_DIR}/tests/gui/x11)
  target_compile_options(tonvera-bench-editor PRIVATE ${TONVERA_WARNINGS})
  target_link_libraries(tonvera-bench-editor PRIVATE tonvera::testhost_editor tonvera::testhost X11::X11
                                                     benchmark::benchmark)
  add_dependencies(tonvera-bench-editor tonvera_plugin)
  target_compile_definitions(tonvera-bench-editor PRIVATE
    TONVERA_VST3_BUNDLE="${CMAKE_BINARY_DIR}/Tonvera.vst3")
endif()
