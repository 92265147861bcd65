// The audio thread against the host's other threads: parameter changes, re-initialisation,
// randomisation and editor refresh requests while blocks are processed. Runs under
// ThreadSanitizer (label concurrency).

#include "base/MEventProcessor.h"
#include "core/parameters/MParameterBuilder.h"
#include "tests/core/MCoreTestSupport.h"
#include "tests/core/MLockWaitCounter.h"
#include "tests/support/MAllocationCounter.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

using MCoreTest::HostBlock;
using MCoreTest::IdentityPlugin;

namespace
{
const char* const kNames[] = {"One", "Two", "Three"};

struct Effect : MParameterOwner
{
  void OnParameterChanged(std::int32_t) override { changes.fetch_add(1, std::memory_order_relaxed); }
  void SetParametersChanged() override { changedBit.store(true, std::memory_order_relaxed); }
  std::atomic<int> changes{0};
  std::atomic<bool> changedBit{false};
};

std::array<MParameterInfo, 4> Descriptors()
{
  std::array<MParameterInfo, 4> table;
  for (MParameterInfo& info : table)
    info.flags =
        MParameterInfo::kHostVisible | MParameterInfo::kRandomizable | MParameterInfo::kSetsChangedBit;
  table[0].type = MParameterInfo::kFloat;
  table[0].flags.SetBits(MParameterInfo::kInterpolated);
  table[0].floating.minimum = -24.0;
  table[0].floating.maximum = 24.0;
  table[0].format = MString("{0;.2} dB");
  table[1].type = MParameterInfo::kInteger;
  table[1].flags.SetBits(MParameterInfo::kInterpolated);
  table[1].integer.maximum = 100;
  table[2].type = MParameterInfo::kEnumeration;
  table[2].enumeration.names = kNames;
  table[2].enumeration.count = 3;
  table[3].type = MParameterInfo::kBoolean;
  return table;
}

} // namespace

TEST(MAudioPluginConcurrency, ProcessRacesWithSettersInitialisationAndRandomisationWithoutDataRaces)
{
  IdentityPlugin plugin(2, 2, 256);
  plugin.SetModulationLimit(32);
  Effect effect;
  std::array<MParameterInfo, 4> descriptors = Descriptors();
  MParameterTable table;
  table.descriptors = descriptors.data();
  table.count = static_cast<std::int32_t>(descriptors.size());
  MParameterIndexMap map;
  MParameterBuilder::Build(plugin, &effect, table, map, plugin.GetParameterPanelLink());
  plugin.InitProcessing();

  std::atomic<bool> hostDone{false};
  int blocks = 0;
  std::thread audio([&] {
    HostBlock block(256);
    // At least 1000 blocks, and on (up to a bound) until the other thread has finished its rounds.
    for (int b = 0; b < 1000 || (!hostDone.load() && b < 100000); ++b)
    {
      plugin.GetTransport().songPosition = b;
      plugin.Process(block.inPointers.data(), block.outPointers.data(), 256, true);
      for (const float sample : block.out[0])
        ASSERT_TRUE(std::isfinite(sample));
      blocks = b + 1;
    }
  });

  int round = 0;
  for (; round < 2000; ++round)
  {
    const double value = (round % 17) / 16.0;
    plugin.SetParameter(round % 4, value);
    plugin.SetParameterIfChanged((round + 1) % 4, 1.0 - value);
    (void)plugin.GetParameterValueName(round % 4);
    (void)plugin.GetParameter(round % 4);
    if (round % 25 == 0)
      plugin.InitProcessing();
    if (round % 40 == 0)
      plugin.Randomize(0.3);
    if (round % 10 == 0)
      plugin.m_bypassed = !plugin.m_bypassed;
    if (round % 30 == 0)
      plugin.m_oversampling = 1 << ((round / 30) % 3); // 1, 2, 4: buffers follow within a block
    MEventProcessor::GetGlobal().Process();
    std::this_thread::yield();
  }
  hostDone = true;
  audio.join();
  std::printf("[ figures  ] %d blocks processed against %d host-thread rounds\n", blocks, round);
  EXPECT_GT(effect.changes.load(), 0);
  EXPECT_TRUE(effect.changedBit.load());
}

// Another thread holds `busy` (the processing or the buffer lock) while a block comes.
static void ExpectBlockSkippedNotWaitedFor(IdentityPlugin& plugin, MLock& busy)
{
  plugin.InitProcessing();

  std::mutex mutex;
  std::condition_variable signal;
  bool held = false;
  bool release = false;
  std::thread holder([&] {
    busy.Acquire(MSynchronizer::kInfinite);
    {
      std::lock_guard<std::mutex> lock(mutex);
      held = true;
    }
    signal.notify_all();
    std::unique_lock<std::mutex> lock(mutex);
    signal.wait(lock, [&] { return release; });
    busy.Release();
  });

  {
    std::unique_lock<std::mutex> lock(mutex);
    signal.wait(lock, [&] { return held; });
  }
  HostBlock block(128);
  block.out[0].assign(128, 5.0f);
  // Returns while the other thread still holds the lock: it cannot have waited for it.
  plugin.Process(block.inPointers.data(), block.outPointers.data(), 128, true);
  EXPECT_TRUE(plugin.m_chunks.empty());
  for (const float sample : block.out[0])
    ASSERT_EQ(sample, 0.0f) << "a skipped block hands back silence";
  {
    std::lock_guard<std::mutex> lock(mutex);
    release = true;
  }
  signal.notify_all();
  holder.join();

  plugin.Process(block.inPointers.data(), block.outPointers.data(), 128, true);
  EXPECT_EQ(plugin.m_chunks.size(), 1u);
  EXPECT_EQ(block.out[0], block.in[0]);
}

TEST(MAudioPluginConcurrency, BlockMeetingABusyProcessingOrBufferLockIsSkippedNotWaitedFor)
{
  IdentityPlugin first(2, 2, 128), second(2, 2, 128);
  ExpectBlockSkippedNotWaitedFor(first, first.ProcessingLock());
  ExpectBlockSkippedNotWaitedFor(second, second.BufferLock());
}

namespace
{
class RefreshCounter : public MCoreTest::TestAdapter
{
public:
  RefreshCounter() : TestAdapter(1, 0) {}
  void UpdateEditorControls() override { refreshes.fetch_add(1, std::memory_order_relaxed); }
  std::atomic<int> refreshes{0};
};
} // namespace

TEST(MAudioPluginConcurrency, UpdateThreadHandsQueuedRefreshesToTheThreadThatDrainsEvents)
{
  MAudioPlugin plugin;
  auto* adapter = new RefreshCounter();
  plugin.AddAutomationAdapter(adapter);
  plugin.AssignAutomationIndices();
  plugin.NeedUpdateEditor(adapter);
  plugin.NeedUpdateEditor(adapter);
  EXPECT_EQ(plugin.GetNeedUpdateCount(), 1) << "an adapter is queued once";

  // The update thread wakes every 100 ms; drain the event processor as the GUI thread would,
  // until the refresh has been delivered (bounded, so a broken thread fails instead of hanging).
  for (int attempt = 0; attempt < 500 && adapter->refreshes.load() == 0; ++attempt)
  {
    MEventProcessor::GetGlobal().Process();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(adapter->refreshes.load(), 1);
  EXPECT_EQ(plugin.GetNeedUpdateCount(), 0);
}

// A VST 3 host applies parameter changes inside process, so the audio thread marks parameters
// for the editor: it must neither wait on a lock the GUI thread holds nor allocate, while the GUI
// thread takes the marks and refreshes. Every mark made is delivered once.
TEST(MAudioPluginConcurrency, AudioThreadMarksParametersForTheEditorWithoutLockOrAllocation)
{
  MAudioPlugin plugin;
  std::array<RefreshCounter*, 3> adapters{};
  for (RefreshCounter*& adapter : adapters)
  {
    adapter = new RefreshCounter();
    plugin.AddAutomationAdapter(adapter);
  }
  plugin.AssignAutomationIndices();

  std::atomic<bool> done{false};
  std::thread gui([&] {
    while (!done.load(std::memory_order_relaxed))
      plugin.ProcessAutomationUpdates();
  });
  std::size_t waits = 0, allocations = 0;
  std::thread audio([&] {
    MLockWaitCounter::Scope lockScope;
    MAllocationCounter::Scope allocationScope;
    for (int i = 0; i < 20000; ++i)
      plugin.NeedUpdateEditor(adapters[static_cast<std::size_t>(i % 3)]);
    waits = lockScope.Count();
    allocations = allocationScope.Count();
  });
  audio.join();
  done.store(true, std::memory_order_relaxed);
  gui.join();
  plugin.ProcessAutomationUpdates();

  EXPECT_EQ(waits, 0u) << "the audio thread waited on a lock";
  EXPECT_EQ(allocations, 0u);
  EXPECT_EQ(plugin.GetNeedUpdateCount(), 0);
  for (RefreshCounter* adapter : adapters)
    EXPECT_GE(adapter->refreshes.load(), 1);
}
