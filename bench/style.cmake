# tonvera-bench-style: a full 600x400 repaint of 40 mixed controls through each style.
add_executable(tonvera-bench-style MStyleBench.cpp)
target_compile_options(tonvera-bench-style PRIVATE ${TONVERA_WARNINGS})
target_link_libraries(tonvera-bench-style PRIVATE tonvera::gui benchmark::benchmark)
