# The plug-in state fuzz target, for inclusion from fuzz/CMakeLists.txt (after tonvera_add_fuzzer):
#   include(${PROJECT_SOURCE_DIR}/tests/framework/fuzz/fuzz.cmake)
# and "fuzz_plugin_state" added to the target list of fuzz/run; its seed corpus is
# tests/framework/fuzz/corpus (the first byte of each input chooses text or host bytes).
add_executable(fuzz_plugin_state
  ${PROJECT_SOURCE_DIR}/tests/framework/fuzz/MPluginStateFuzz.cpp
  ${PROJECT_SOURCE_DIR}/tests/framework/MFakeEffect.cpp)
target_compile_options(fuzz_plugin_state PRIVATE ${TONVERA_WARNINGS} -fsanitize=fuzzer)
target_link_options(fuzz_plugin_state PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_plugin_state PRIVATE tonvera::framework)
