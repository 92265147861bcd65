tonvera_add_test(tonvera_base_values_tests LABEL base
  SOURCES
    MValueNumberTest.cpp
    MValueUnitsTest.cpp
  LIBS tonvera::base)
