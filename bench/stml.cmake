# tonvera-bench-stml: parsing and laying out a 2 KB help text, beside a reference pass over the
# same bytes in the same run.
add_executable(tonvera-bench-stml MSTMLBench.cpp)
target_compile_options(tonvera-bench-stml PRIVATE ${TONVERA_WARNINGS})
target_link_libraries(tonvera-bench-stml PRIVATE tonvera::gui benchmark::benchmark)
