#include "base/MERWLock.h"

#include "base/MException.h"
#include "base/MLockGuard.h"
#include "base/MString.h"

#include <atomic>
#include <cassert>
#include <vector>

namespace
{
// The per-thread hold words of every lock the thread holds, keyed by the lock's serial number
// rather than its address, so a new lock at a freed lock's address never inherits stale holds.
// An entry exists only while its word is non-zero, which keeps the table as small as the number
// of locks the thread holds at once.
struct HoldEntry
{
  std::uint64_t lockId;
  std::uint32_t word;
};
thread_local std::vector<HoldEntry> t_holds;

std::atomic<std::uint64_t> s_nextLockId{1};

constexpr std::uint32_t ReadsOf(std::uint32_t word)
{
  return word & 0xFFFFu;
}

constexpr std::uint32_t WritesOf(std::uint32_t word)
{
  return word >> 16;
}
} // namespace

MERWLock::MERWLock() : m_id(s_nextLockId.fetch_add(1, std::memory_order_relaxed)) {}

std::uint32_t MERWLock::OwnWord() const
{
  for (const HoldEntry& entry : t_holds)
    if (entry.lockId == m_id)
      return entry.word;
  return 0;
}

void MERWLock::SetOwnWord(std::uint32_t word)
{
  for (auto it = t_holds.begin(); it != t_holds.end(); ++it)
  {
    if (it->lockId != m_id)
      continue;
    if (word != 0)
      it->word = word;
    else
      t_holds.erase(it);
    return;
  }
  if (word != 0)
    t_holds.push_back(HoldEntry{m_id, word});
}

MERWLock::State MERWLock::GetState()
{
  MLockGuard guard(GetInternalLock());
  const std::uint32_t own = OwnWord();
  return State{m_reads, m_writes, m_waitingWriters, ReadsOf(own), WritesOf(own)};
}

void MERWLock::AddWaiter(std::uint32_t mode)
{
  // Readers are not counted as waiters: only writers hold others back.
  if (mode != kModeExclusive)
    return;
  ++m_waitingWriters;
  m_waitingWritersReads += ReadsOf(OwnWord());
}

void MERWLock::RemoveWaiter(bool, std::uint32_t mode)
{
  if (mode != kModeExclusive)
    return;
  --m_waitingWriters;
  m_waitingWritersReads -= ReadsOf(OwnWord());
}

bool MERWLock::CanAcquire(std::uint32_t mode)
{
  const std::uint32_t own = OwnWord();
  if (mode == kModeExclusive)
  {
    if (WritesOf(own) > 0)
      return true;
    // Free of writers, and every current reader is itself waiting to write.
    return m_writes < 1 && m_reads == m_waitingWritersReads;
  }
  if (WritesOf(own) > 0 || ReadsOf(own) > 0)
    return true;
  return m_writes == 0 && m_waitingWriters == 0;
}

void MERWLock::OnAcquired(std::uint32_t mode)
{
  const std::uint32_t own = OwnWord();
  // One more hold would overflow into the other half of the packed word. Throwing here (before
  // any count changes) fails the acquisition cleanly; waiting would never end.
  const std::uint32_t held = mode == kModeExclusive ? WritesOf(own) : ReadsOf(own);
  if (held >= kMaximumHolds)
    throw MException(MString("Could not acquire emulated synchronization object."));
  // SetOwnWord may allocate; it runs before any count changes so a failure changes nothing.
  if (mode == kModeExclusive)
  {
    SetOwnWord(own + (1u << 16));
    ++m_writes;
  }
  else
  {
    SetOwnWord(own + 1u);
    ++m_reads;
  }
}

bool MERWLock::OnReleased(std::uint32_t mode)
{
  const std::uint32_t own = OwnWord();
  if (mode == kModeExclusive)
  {
    assert(WritesOf(own) > 0 && "MERWLock: write released by a thread that does not hold it");
    if (WritesOf(own) == 0)
      return false;
    SetOwnWord(own - (1u << 16));
    --m_writes;
  }
  else
  {
    assert(ReadsOf(own) > 0 && "MERWLock: read released by a thread that does not hold it");
    if (ReadsOf(own) == 0)
      return false;
    SetOwnWord(own - 1u);
    --m_reads;
  }
  return m_reads == 0 && m_writes == 0;
}
