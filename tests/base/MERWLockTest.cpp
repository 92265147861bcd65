#include "base/MERWLock.h"
#include "base/MException.h"
#include "base/MLockGuard.h"

#include <gtest/gtest.h>

namespace
{
constexpr std::uint32_t kRead = MSynchronizationObject::kModeShared;
constexpr std::uint32_t kWrite = MSynchronizationObject::kModeExclusive;
} // namespace

TEST(MERWLockTest, OneThreadNestsReadsAndWritesInAnyOrderCountedPerLock)
{
  MERWLock lock;
  ASSERT_EQ(lock.Acquire(kRead, 0), 0);
  ASSERT_EQ(lock.Acquire(kRead, 0), 0);
  ASSERT_EQ(lock.Acquire(kWrite, 0), 0) << "the only reader may upgrade";
  ASSERT_EQ(lock.Acquire(kRead, 0), 0) << "a writer may read";
  ASSERT_EQ(lock.Acquire(kWrite, 0), 0) << "writes are recursive";

  MERWLock::State state = lock.GetState();
  EXPECT_EQ(state.reads, 3u);
  EXPECT_EQ(state.writes, 2u);
  EXPECT_EQ(state.ownReads, 3u);
  EXPECT_EQ(state.ownWrites, 2u);
  EXPECT_EQ(state.waitingWriters, 0u) << "an upgrade that succeeded no longer waits";

  lock.Release(kWrite);
  lock.Release(kRead);
  lock.Release(kWrite);
  lock.Release(kRead);
  lock.Release(kRead);
  state = lock.GetState();
  EXPECT_EQ(state.reads + state.writes + state.ownReads + state.ownWrites, 0u);

  // Holds of one lock do not count for another.
  MERWLock second;
  MSynchronizationObjectGuard writing(lock, kWrite);
  EXPECT_EQ(second.GetState().ownWrites, 0u);
  MSynchronizationObjectGuard reading(second, kRead);
  EXPECT_EQ(lock.GetState().ownReads, 0u);
  EXPECT_EQ(second.GetState().ownReads, 1u);
}

TEST(MERWLockTest, OneHoldBeyondTheLimitFailsWithoutChangingTheCounts)
{
  MERWLock lock;
  for (std::uint32_t i = 0; i < MERWLock::kMaximumHolds; ++i)
    ASSERT_EQ(lock.Acquire(kRead, 0), 0);
  EXPECT_THROW(MSynchronizationObjectGuard(lock, kRead), MException);
  const MERWLock::State state = lock.GetState();
  EXPECT_EQ(state.ownReads, MERWLock::kMaximumHolds);
  EXPECT_EQ(state.ownWrites, 0u) << "the read count must not spill into the write half";
  EXPECT_EQ(lock.Acquire(kWrite, 0), 0) << "writing is still possible";
  lock.Release(kWrite);
  for (std::uint32_t i = 0; i < MERWLock::kMaximumHolds; ++i)
    lock.Release(kRead);
  EXPECT_EQ(lock.GetState().reads, 0u);
}
