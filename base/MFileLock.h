#pragma once
// MFileLock: an exclusive lock shared between processes, held on a lock file of its own.
//
// Several plug-in instances, in one host process or in several, write the same settings
// documents. Each change of such a document is a read-modify-write under this lock, so that no
// instance writes over what another saved meanwhile. The lock file ("<document>.lock") is created
// when missing and never removed: removing it would let a second process lock a new file while a
// first still holds the old one. The documents themselves are replaced by renames, so they cannot
// carry the lock.
//
// The lock belongs to the open file (flock on POSIX systems, LockFileEx on Windows): two
// MFileLock objects of one process exclude each other as two processes do, and the system
// releases the lock of a process that ends or is killed.
//
// Threads: any thread except the audio thread (opening the file and waiting block).

#include "base/MString.h"

#include <cstdint>

class MFileLock
{
public:
  /// Tries to lock `path` (created when missing) for up to `timeoutMs` milliseconds, polling.
  /// A lock file that may only be read is opened for reading: the lock needs no more.
  /// IsLocked tells whether it succeeded; the destructor unlocks.
  MFileLock(const MString& path, std::uint32_t timeoutMs);
  ~MFileLock();

  MFileLock(const MFileLock&) = delete;
  MFileLock& operator=(const MFileLock&) = delete;

  bool IsLocked() const noexcept { return m_locked; }

private:
#ifdef _WIN32
  void* m_handle = nullptr;
#else
  int m_descriptor = -1;
#endif
  bool m_locked = false;
};
