# Threads, locks and events: single-threaded rules, then the cross-thread suite that also runs
# under ThreadSanitizer.
tonvera_add_test(tonvera_base_threads_tests LABEL base
  SOURCES
    MLockTest.cpp
    MERWLockTest.cpp
    MEventTest.cpp
  LIBS tonvera::base)

set(threads_concurrency_sources
  MLockConcurrencyTest.cpp
  MERWLockConcurrencyTest.cpp
  MThreadTest.cpp
  MEventProcessorTest.cpp)
if(TONVERA_TSAN)
  # The shared test support replaces the global operator new, and so does the ThreadSanitizer
  # runtime: linking both fails. This suite counts no allocations, so under TSan it is built
  # without the support objects.
  add_executable(tonvera_base_threads_concurrency_tests ${threads_concurrency_sources})
  target_compile_options(tonvera_base_threads_concurrency_tests PRIVATE ${TONVERA_WARNINGS})
  target_link_libraries(tonvera_base_threads_concurrency_tests PRIVATE tonvera::base GTest::gtest GTest::gtest_main)
  # One CTest entry for the whole suite: gtest_discover_tests flattens a list of labels, so the
  # discovered tests would lose every label but the first.
  add_test(NAME tonvera_base_threads_concurrency_tests COMMAND tonvera_base_threads_concurrency_tests)
  set_tests_properties(tonvera_base_threads_concurrency_tests PROPERTIES LABELS "base;concurrency" TIMEOUT 600)
else()
  tonvera_add_test(tonvera_base_threads_concurrency_tests LABEL base CONCURRENCY
    SOURCES ${threads_concurrency_sources}
    LIBS tonvera::base)
endif()
