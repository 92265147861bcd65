# Strings, message formatting, the exception type and the host-call shield.
list(APPEND TONVERA_BASE_SOURCES
  MString.cpp
  MStringConvert.cpp
  MStringFold.cpp
  MException.cpp
)
