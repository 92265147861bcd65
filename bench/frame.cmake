# tonvera-bench-frame: cost of the spectral frame engine per second of mono 44.1 kHz
# audio, beside the bare transforms it runs.
add_executable(tonvera-bench-frame MFrameBench.cpp)
target_compile_options(tonvera-bench-frame PRIVATE ${TONVERA_WARNINGS})
target_link_libraries(tonvera-bench-frame PRIVATE tonvera::dsp benchmark::benchmark)
