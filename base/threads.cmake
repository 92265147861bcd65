# Threads, locks and events.
find_package(Threads REQUIRED)
list(APPEND TONVERA_BASE_SOURCES
  MLock.cpp
  MMutex.cpp
  MSemaphore.cpp
  MLockGuard.cpp
  MSynchronizationObject.cpp
  MERWLock.cpp
  MFileLock.cpp
  MThread.cpp
  MEventTarget.cpp
  MEventBase.cpp
  MEventProcessor.cpp)
list(APPEND TONVERA_BASE_DEPS Threads::Threads)
