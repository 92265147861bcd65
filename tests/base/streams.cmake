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
