# tonvera-bench-draw: text with a warm glyph cache beside a plain fill of the same area, a full
# 600x400 surface fill and blit beside memcpy of the same bytes, and a synthetic panel of 40 controls.
add_executable(tonvera-bench-draw MDrawBench.cpp)
target_compile_options(tonvera-bench-draw PRIVATE ${TONVERA_WARNINGS})
target_link_libraries(tonvera-bench-draw PRIVATE tonvera::gui benchmark::benchmark)
