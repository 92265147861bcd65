# tonvera-bench-layout: arranging a 60-control editor through its layouts beside moving the same
# controls to precomputed rectangles.
add_executable(tonvera-bench-layout MLayoutBench.cpp)
target_compile_options(tonvera-bench-layout PRIVATE ${TONVERA_WARNINGS})
target_link_libraries(tonvera-bench-layout PRIVATE tonvera::gui benchmark::benchmark)
