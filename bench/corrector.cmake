# tonvera-bench-corrector: one corrector channel with detection per second of mono
# 44.1 kHz audio; prints "corrector rtf=<times real time>".
add_executable(tonvera-bench-corrector MCorrectorBench.cpp)
target_compile_options(tonvera-bench-corrector PRIVATE ${TONVERA_WARNINGS})
target_link_libraries(tonvera-bench-corrector PRIVATE tonvera::dsp benchmark::benchmark)
