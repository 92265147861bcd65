#include "base/MException.h"
#include "base/MLock.h"
#include "base/MLockGuard.h"
#include "base/MMutex.h"
#include "base/MSemaphore.h"
#include "base/MSynchronizationObject.h"
#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(MLockTest, OwnersTakeTheirLocksAgainAtAnyTimeoutAndSemaphoresCountReleases)
{
  MLock lock;
  MMutex mutex;
  std::vector<MSynchronizer*> locks{&lock, &mutex};
  for (MSynchronizer* each : locks)
  {
    ASSERT_EQ(each->Acquire(MSynchronizer::kInfinite), 0);
    EXPECT_EQ(each->Acquire(0), 0);
    EXPECT_EQ(each->Acquire(10), 0);
    {
      MLockGuard guard(*each, 0);
    }
    each->Release();
    each->Release();
    each->Release();
  }

  // A semaphore counts its releases.
  MSemaphore semaphore;
  EXPECT_NE(semaphore.Acquire(0), 0) << "created with count 0";
  EXPECT_NE(semaphore.Acquire(15), 0) << "a timed wait on count 0 times out";
  semaphore.Release();
  semaphore.Release();
  semaphore.Release();
  EXPECT_EQ(semaphore.Acquire(0), 0);
  EXPECT_EQ(semaphore.Acquire(1000), 0);
  EXPECT_EQ(semaphore.Acquire(MSynchronizer::kInfinite), 0);
  EXPECT_NE(semaphore.Acquire(0), 0);
}

// An emulated lock whose answers are scripted, to watch the order of the bookkeeping calls.
namespace
{
class MScriptedObject : public MSynchronizationObject
{
public:
  int refusals = 0; // CanAcquire answers false this many times, then true (-1: always false)
  std::vector<std::string> calls;

protected:
  void AddWaiter(std::uint32_t mode) override { calls.push_back("wait" + std::to_string(mode)); }
  bool CanAcquire(std::uint32_t) override
  {
    calls.push_back("can");
    if (refusals < 0)
      return false;
    if (refusals == 0)
      return true;
    --refusals;
    return false;
  }
  void OnAcquired(std::uint32_t) override { calls.push_back("acquired"); }
  void RemoveWaiter(bool acquired, std::uint32_t) override
  {
    calls.push_back(acquired ? "leave+" : "leave-");
  }
  bool OnReleased(std::uint32_t mode) override
  {
    calls.push_back("released" + std::to_string(mode));
    return true;
  }
};
} // namespace

TEST(MLockTest, EmulatedAcquisitionAsksUntilItMayLeavesTheWaitersListAndGuardsPassTheMode)
{
  struct Case
  {
    const char* name;
    int refusals;
    std::uint32_t timeoutMs;
    int result;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases = {
      {"free at once", 0, MSynchronizer::kInfinite, 0, {"wait1", "can", "acquired", "leave+"}},
      {"refused twice", 2, MSynchronizer::kInfinite, 0, {"wait1", "can", "can", "can", "acquired", "leave+"}},
      {"timed, free after one refusal", 1, 1000, 0, {"wait1", "can", "can", "acquired", "leave+"}},
      {"try once", -1, 0, 1, {"wait1", "can", "leave-"}},
  };
  for (const Case& c : cases)
  {
    MScriptedObject object;
    object.refusals = c.refusals;
    EXPECT_EQ(object.Acquire(MSynchronizationObject::kModeExclusive, c.timeoutMs), c.result) << c.name;
    EXPECT_EQ(object.calls, c.calls) << c.name;
  }

  MScriptedObject busy;
  busy.refusals = -1;
  EXPECT_NE(busy.Acquire(MSynchronizationObject::kModeShared, 20), 0);
  EXPECT_EQ(busy.calls.back(), "leave-") << "a timed-out waiter must stop counting as one";

  // The guard passes the mode without its flags and throws its own message.
  MScriptedObject object;
  {
    MSynchronizationObjectGuard guard(object, MSynchronizationObject::kModeShared |
                                                  MSynchronizationObject::kNoYieldAfterRelease);
  }
  EXPECT_EQ(object.calls.back(), "released0") << "the flag bits are not part of the mode";

  object.refusals = -1;
  EXPECT_EQ(MessageOf([&] {
              MSynchronizationObjectGuard guard(object, MSynchronizationObject::kModeExclusive, 0);
            }),
            "Could not acquire emulated synchronization object.");
}
