#include "base/MERWLock.h"
#include "base/MLockGuard.h"

#include "tests/base/MThreadTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using MThreadTestSupport::kPatienceMs;
using MThreadTestSupport::WaitUntil;

namespace
{
constexpr std::uint32_t kRead = MSynchronizationObject::kModeShared;
constexpr std::uint32_t kWrite = MSynchronizationObject::kModeExclusive;

// A thread that takes the lock in `mode` and keeps it until Finish.
struct MLockHolder : MThreadTestSupport::MHoldingThread
{
  MLockHolder(MERWLock& lock, std::uint32_t mode)
      : MHoldingThread([&lock, mode] { return lock.Acquire(mode, kPatienceMs); },
                       [&lock, mode] { lock.Release(mode); })
  {}
};
} // namespace

TEST(MERWLockConcurrencyTest, ReadersShareAndAWriterExcludesEveryone)
{
  MERWLock lock;
  {
    MLockHolder reader(lock, kRead);
    ASSERT_TRUE(reader.WaitTaken());
    EXPECT_EQ(lock.Acquire(kRead, 0), 0) << "a second reader gets in at once";
    lock.Release(kRead);
  }
  {
    MLockHolder writer(lock, kWrite);
    ASSERT_TRUE(writer.WaitTaken());
    EXPECT_NE(lock.Acquire(kRead, 0), 0);
    EXPECT_NE(lock.Acquire(kWrite, 20), 0);
  }
  EXPECT_EQ(lock.Acquire(kWrite, 0), 0) << "free again once the writer left";
  lock.Release(kWrite);
}

TEST(MERWLockConcurrencyTest, AnUpgradeWaitsForTheOtherReadersAndAFailedOneLeavesNoTrace)
{
  MERWLock lock;
  MSynchronizationObjectGuard reading(lock, kRead);
  {
    MLockHolder other(lock, kRead);
    ASSERT_TRUE(other.WaitTaken());
    EXPECT_NE(lock.Acquire(kWrite, 20), 0) << "another thread still reads";
    EXPECT_EQ(lock.GetState().waitingWriters, 0u);
  }
  // Had the failed upgrade stayed counted as a waiting writer, new readers would queue forever.
  MLockHolder newReader(lock, kRead);
  ASSERT_TRUE(newReader.WaitTaken());
  newReader.Finish();

  EXPECT_EQ(lock.Acquire(kWrite, kPatienceMs), 0) << "the only reader upgrades";
  lock.Release(kWrite);
}

TEST(MERWLockConcurrencyTest, AWaitingWriterHoldsBackNewReadersButNotCurrentOnes)
{
  MERWLock lock;
  ASSERT_EQ(lock.Acquire(kRead, 0), 0);

  std::atomic<bool> writerIn{false};
  std::thread writer([&] {
    if (lock.Acquire(kWrite, kPatienceMs) != 0)
      return;
    writerIn = true;
    lock.Release(kWrite);
  });
  ASSERT_TRUE(WaitUntil([&] { return lock.GetState().waitingWriters == 1; }));

  int newReaderResult = -1;
  std::thread newReader([&] { newReaderResult = lock.Acquire(kRead, 20); });
  newReader.join();
  EXPECT_NE(newReaderResult, 0) << "a new reader queues behind the waiting writer";

  EXPECT_EQ(lock.Acquire(kRead, 0), 0) << "a thread that already reads may read again";
  lock.Release(kRead);
  EXPECT_FALSE(writerIn.load());

  lock.Release(kRead);
  writer.join();
  EXPECT_TRUE(writerIn.load()) << "the writer gets the lock once the readers left";
}

TEST(MERWLockConcurrencyTest, MixedReadersWritersAndUpgradersNeverOverlapWrongly)
{
  MERWLock lock;
  std::atomic<int> activeReaders{0};
  std::atomic<int> activeWriters{0};
  std::atomic<int> violations{0};
  long shared = 0; // written only under write, read under read
  long expected = 0;
  std::atomic<long> writes{0};

  auto checkWriter = [&] {
    if (activeWriters.fetch_add(1) != 0 || activeReaders.load() != 0)
      ++violations;
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
  {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 300; ++i)
      {
        const int kind = (i + t) % 3;
        if (kind == 0)
        {
          MSynchronizationObjectGuard guard(lock, kRead);
          ++activeReaders;
          if (activeWriters.load() != 0)
            ++violations;
          [[maybe_unused]] volatile long seen = shared;
          --activeReaders;
        }
        else if (kind == 1)
        {
          MSynchronizationObjectGuard guard(lock, kWrite);
          checkWriter();
          ++shared;
          ++writes;
          --activeWriters;
        }
        else
        {
          MSynchronizationObjectGuard read(lock, kRead);
          ++activeReaders;
          [[maybe_unused]] volatile long before = shared;
          --activeReaders; // waiting for the upgrade is not reading
          MSynchronizationObjectGuard write(lock, kWrite);
          checkWriter();
          ++shared;
          ++writes;
          --activeWriters;
        }
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  expected = writes.load();
  EXPECT_EQ(violations.load(), 0);
  EXPECT_EQ(shared, expected);
  const MERWLock::State state = lock.GetState();
  EXPECT_EQ(state.reads + state.writes + state.waitingWriters, 0u);
}
