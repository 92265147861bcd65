# Strings, message formatting, the exception type and the host-call shield.
list(APPEND TONVERA_BASE_SOURCES
  MString.cpp
  MStringConvert.cpp
  MStringFold.cpp
  MAccentFolding.cpp
  MException.cpp
  MFormat.cpp
  MFormatParser.cpp
  MStringList.cpp
  MCharFilter.cpp
  MDiagnosticLog.cpp
  MHostCallShield.cpp
)
find_package(Threads REQUIRED)
list(APPEND TONVERA_BASE_DEPS Threads::Threads)
