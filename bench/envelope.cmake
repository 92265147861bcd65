# Envelope fills: the portable polynomial items against their SSE2 twins in the same run.
add_executable(tonvera-bench-envelope ${CMAKE_CURRENT_LIST_DIR}/MEnvelopeBench.cpp)
target_compile_options(tonvera-bench-envelope PRIVATE ${TONVERA_WARNINGS})
target_link_libraries(tonvera-bench-envelope PRIVATE benchmark::benchmark tonvera::modulation)
