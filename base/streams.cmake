# Streams (memory, file, zlib, buffering, hexadecimal, hashing, console) and XML documents.
find_package(ZLIB REQUIRED)
list(APPEND TONVERA_BASE_SOURCES
  MStream.cpp
  MStreamFailure.cpp
  MMemoryStream.cpp
  MStdFileStream.cpp
  MZLibStream.cpp
  MBufferingStream.cpp
  MHexaStream.cpp
  MHashStream.cpp
  MMD5Stream.cpp
  MConsoleStream.cpp
  MXmlItem.cpp
  MEncoding.cpp
  MXmlWriter.cpp
  MXmlReader.cpp
  MStorable.cpp
)
# MD5: libmd on Linux, the system's CryptoAPI (advapi32) on Windows.
if(WIN32)
  list(APPEND TONVERA_BASE_DEPS ZLIB::ZLIB advapi32)
else()
  list(APPEND TONVERA_BASE_DEPS ZLIB::ZLIB md)
endif()
