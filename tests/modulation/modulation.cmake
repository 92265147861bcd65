tonvera_add_test(tonvera_modulation_envelope_tests LABEL modulation
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/MEnvelopeShapesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MEnvelopeComputerTest.cpp
  LIBS tonvera::modulation)
