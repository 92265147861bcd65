# tonvera-bench-memory: resident memory per stereo instance of the built module at 44.1 and
# 48 kHz (20 instances through the VST 2.4 entry, Linux only); prints
# "memory stereo_instance_kib=<KiB> rate_hz=<rate>" for each rate.
if(TARGET tonvera_plugin AND CMAKE_SYSTEM_NAME STREQUAL "Linux") # reads /proc
  add_executable(tonvera-bench-memory MMemoryBench.cpp)
  target_compile_options(tonvera-bench-memory PRIVATE ${TONVERA_WARNINGS})
  target_link_libraries(tonvera-bench-memory PRIVATE tonvera::testhost)
  target_compile_definitions(tonvera-bench-memory PRIVATE TONVERA_MODULE="$<TARGET_FILE:tonvera_plugin>")
  add_dependencies(tonvera-bench-memory tonvera_plugin)
endif()
