# tonvera-bench-tree: a full repaint of a 600x400 window of 40 controls through the control tree
# (MWindow::PaintSurface: origins, clips, style calls) beside the same drawing done directly.
add_executable(tonvera-bench-tree MTreeBench.cpp)
target_compile_options(tonvera-bench-tree PRIVATE ${TONVERA_WARNINGS})
target_link_libraries(tonvera-bench-tree PRIVATE tonvera::gui benchmark::benchmark)
