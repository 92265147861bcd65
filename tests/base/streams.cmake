# Streams and XML documents.
find_package(ZLIB REQUIRED)
tonvera_add_test(tonvera_base_streams_tests LABEL base
  SOURCES
    MStreamTest.cpp
    MZLibStreamTest.cpp
    MHashStreamTest.cpp
    MStdFileStreamTest.cpp
    MXmlItemTest.cpp
    MXmlDocumentTest.cpp
  LIBS tonvera::base ZLIB::ZLIB)
if(TARGET tonvera_base_streams_tests)
  # The seed documents of the fuzz targets are read by a test, so that they stay valid.
  target_compile_definitions(tonvera_base_streams_tests PRIVATE TONVERA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
