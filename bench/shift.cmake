# tonvera-bench-shift: the corrector's weighted region move in its previous and current forms,
# side by side; prints "shift ratio=... speedup=<previous / current>".
add_executable(tonvera-bench-shift ${CMAKE_CURRENT_LIST_DIR}/MShiftBench.cpp)
target_compile_options(tonvera-bench-shift PRIVATE ${TONVERA_WARNINGS})
target_link_libraries(tonvera-bench-shift PRIVATE tonvera::vector benchmark::benchmark)
