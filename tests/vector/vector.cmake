tonvera_add_test(tonvera_vector_vector_tests LABEL vector
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/MVectorTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MVectorStatusTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MRealFFTTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MVectorSpectralTest.cpp
  LIBS tonvera::vector)
