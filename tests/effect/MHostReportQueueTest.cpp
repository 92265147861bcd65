#include "core/plugin/MAudioPluginAdapter.h"
#include "host/module/MHostReportQueue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using R = MHostReportQueue;
using Told = std::vector<std::uint32_t>;

TEST(MHostReportQueue, ReportsReachTheHostOnlyOnItsUIThreadOutsideItsCalls)
{
  struct : R::Target
  {
    bool CanTellHost() override { return canTell; }
    void TellHost(std::uint32_t reports) override { told.insert(told.end(), reports != 0, reports); }
    void WaitForTick() override { ++waits; }
    bool canTell = true;
    Told told; // ticks with nothing queued left out
    int waits = 0;
  } target;
  R queue(target);
  queue.BindToThisThread();
  // Another thread's reports wait for the UI thread's tick, and go together.
  std::thread([&] {
    queue.Queue(R::kLatencyChanged);
    queue.StateChanged();
  }).join();
  EXPECT_TRUE(target.told.empty());
  queue.Deliver();
  EXPECT_EQ(target.told, (Told{R::kLatencyChanged | R::kStateChanged}));
  // Inside the host's call on the UI thread nothing is told: the target is asked for a tick. A
  // host that cannot be told yet keeps them queued.
  {
    const MAudioPluginAdapter::HostCallScope scope;
    queue.Queue(R::kValuesChanged);
  }
  target.canTell = false;
  queue.Deliver();
  EXPECT_EQ(target.told.size(), 1U);
  EXPECT_EQ(target.waits, 1);
  target.canTell = true;
  queue.Deliver();
  EXPECT_EQ(target.told.back(), R::kValuesChanged);
  // The host's own program call: the program or state it caused is not reported back, from this
  // thread or another; other reports still go.
  target.told.clear();
  {
    const R::ChoosingProgram choosing(queue);
    queue.StateChanged();
    queue.ProgramChanged();
    std::thread([&] { queue.ProgramChanged(); }).join();
    queue.Queue(R::kValuesChanged);
  }
  queue.ProgramChanged();
  EXPECT_EQ(target.told, (Told{R::kValuesChanged, R::kStateChanged}));
}
