# Strings, formatting, exceptions and the host-call shield.
tonvera_add_test(tonvera_base_strings_tests LABEL base
  SOURCES
    MStringTest.cpp
    MFormatTest.cpp
    MStringListTest.cpp
    MHostCallShieldTest.cpp
  LIBS tonvera::base)

tonvera_add_test(tonvera_base_strings_concurrency_tests LABEL base CONCURRENCY
  SOURCES
    MStringConcurrencyTest.cpp
  LIBS tonvera::base)
