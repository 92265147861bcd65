# Threads, locks and events: single-threaded rules, then the cross-thread suite that also runs
# under ThreadSanitizer.
tonvera_add_test(tonvera_base_threads_tests LABEL base
  SOURCES
    MLockTest.cpp
    MERWLockTest.cpp
    MEventTest.cpp
  LIBS tonvera::base)

tonvera_add_test(tonvera_base_threads_concurrency_tests LABEL base CONCURRENCY
  SOURCES
    MLockConcurrencyTest.cpp
    MERWLockConcurrencyTest.cpp
    MThreadTest.cpp
    MEventProcessorTest.cpp
  LIBS tonvera::base)
