#pragma once
// Recursive reader-writer lock with writer preference and upgrading.
//
// Any number of threads may hold it shared (read) at once; one thread may hold it exclusively
// (write). Both modes are recursive, and a thread holding write may also read. A thread that
// holds read may ask for write: it gets it as soon as every other current reader is itself
// waiting to write (so two upgrading readers cannot deadlock each other). Once a writer waits,
// threads that do not already hold the lock queue behind it, so a stream of readers cannot starve
// a writer. Waiting is a yield loop (see MSynchronizationObject): hold the lock for short times.
//
//   MSynchronizationObjectGuard read(lock, MSynchronizationObject::kModeShared);
//   MSynchronizationObjectGuard write(lock, MSynchronizationObject::kModeExclusive);
//
// A thread may hold one lock at most 65535 times in each mode. Release only what the same
// thread acquired.

#include "base/MSynchronizationObject.h"

#include <cstdint>

class MERWLock : public MSynchronizationObject
{
public:
  /// Holds per thread and mode that fit in the packed per-thread word; one more throws MException
  /// "Could not acquire emulated synchronization object.".
  static constexpr std::uint32_t kMaximumHolds = 0xFFFFu;

  MERWLock();
  ~MERWLock() override = default;

  /// Snapshot of the bookkeeping, for diagnostics and tests (taken under the internal lock).
  struct State
  {
    std::uint32_t reads;          // total read holds of all threads
    std::uint32_t writes;         // total write holds
    std::uint32_t waitingWriters; // threads waiting to write
    std::uint32_t ownReads;       // read holds of the calling thread
    std::uint32_t ownWrites;      // write holds of the calling thread
  };
  State GetState();

protected:
  void AddWaiter(std::uint32_t mode) override;
  bool CanAcquire(std::uint32_t mode) override;
  void OnAcquired(std::uint32_t mode) override;
  void RemoveWaiter(bool acquired, std::uint32_t mode) override;
  bool OnReleased(std::uint32_t mode) override;

private:
  // The calling thread's packed word for this lock: write holds in the high 16 bits, read holds
  // in the low 16 bits. 0 when the thread holds nothing.
  std::uint32_t OwnWord() const;
  void SetOwnWord(std::uint32_t word);

  std::uint32_t m_reads = 0;
  std::uint32_t m_writes = 0;
  std::uint32_t m_waitingWriters = 0;
  std::uint32_t m_waitingWritersReads = 0; // read holds owned by the threads waiting to write
  const std::uint64_t m_id;                // key of this lock in the per-thread tables
};
