tonvera_add_test(tonvera_base_values_tests LABEL base
  SOURCES
    MValueNumberTest.cpp
    MValueUnitsTest.cpp
    MValueEnumTest.cpp
    MValueListTest.cpp
    MValueScalePowerTest.cpp
    MValueStorageTest.cpp
  LIBS tonvera::base)

tonvera_add_test(tonvera_base_values_concurrency_tests LABEL base CONCURRENCY
  SOURCES MEnumerationConcurrencyTest.cpp
  LIBS tonvera::base)
