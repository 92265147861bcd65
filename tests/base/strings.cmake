# Strings, formatting, exceptions and the host-call shield.
tonvera_add_test(tonvera_base_strings_tests LABEL base
  SOURCES
    MStringTest.cpp
  LIBS tonvera::base)
