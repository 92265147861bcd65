#include "base/MException.h"
#include "base/MLock.h"
#include "base/MLockGuard.h"
#include "base/MMutex.h"

#include "tests/base/MThreadTestSupport.h"
#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using MThreadTestSupport::kPatienceMs;

namespace
{
// Holds `lock` on a thread of its own until Finish.
struct MHolder : MThreadTestSupport::MHoldingThread
{
  explicit MHolder(MSynchronizer& lock)
      : MHoldingThread([&lock] { return lock.Acquire(kPatienceMs); }, [&lock] { lock.Release(); })
  {}
};
} // namespace

TEST(MLockConcurrencyTest, LocksTakenByAnotherThreadFailAtOnceOrAfterTheirTimeout)
{
  MLock lock;
  MHolder holder(lock);
  ASSERT_TRUE(holder.WaitTaken());

  EXPECT_NE(lock.Acquire(0), 0);
  EXPECT_EQ(MessageOf([&] { MLockGuard guard(lock, 0); }), "Could not acquire mutex.");
  MTryLockGuard tryGuard(lock);
  EXPECT_FALSE(tryGuard.IsLocked());

  holder.Finish();
  MLockGuard guard(lock, 0);

  // A mutex waits at most its timeout and is free once released.
  MMutex mutex;
  MHolder mutexHolder(mutex);
  ASSERT_TRUE(mutexHolder.WaitTaken());
  EXPECT_NE(mutex.Acquire(0), 0);
  EXPECT_NE(mutex.Acquire(20), 0);
  mutexHolder.Finish();
  EXPECT_EQ(mutex.Acquire(kPatienceMs), 0);
  mutex.Release();
}

TEST(MLockConcurrencyTest, LocksExcludeEachOtherAcrossThreadsAndAnAbandonedMutexIsFree)
{
  MLock lock;
  MMutex mutex;
  for (MSynchronizer* each : std::vector<MSynchronizer*>{&lock, &mutex})
  {
    long counter = 0; // deliberately not atomic: the lock alone must protect it
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&] {
        for (int i = 0; i < 2000; ++i)
        {
          MLockGuard guard(*each);
          MLockGuard again(*each); // recursion inside the protected region
          ++counter;
        }
      });
    for (std::thread& thread : threads)
      thread.join();
    EXPECT_EQ(counter, 4 * 2000);
  }

  // A mutex left held by an ended thread is free for the next.
  MMutex abandoned;
  std::thread owner([&] {
    abandoned.Acquire(MSynchronizer::kInfinite);
    abandoned.Acquire(MSynchronizer::kInfinite); // ends holding it twice, releasing nothing
  });
  owner.join();
  EXPECT_EQ(abandoned.Acquire(0), 0) << "an abandoned mutex is free";
  abandoned.Release();
  MHolder holder(abandoned);
  EXPECT_TRUE(holder.WaitTaken()) << "and it counts one hold per acquisition again";
}
