// Invalidation from worker threads reaches the GUI thread through the invalidator thread, the
// event-forcing thread and the event processor (real threads; also run under ThreadSanitizer);
// the event-forcing thread wakes the GUI thread only while a window is open.

#include "base/MEvent.h"
#include "base/MEventParams.h"
#include "gui/MDrawer.h"
#include "gui/MWindow.h"
#include "gui/headless/MWindowSystemHeadless.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace
{

// Paints itself in a colour a worker chooses.
class MLamp : public MControl
{
public:
  std::atomic<std::uint32_t> color{0xFF000000u};

  void Paint(MDrawer& drawer) override
  {
    drawer.FillRectangle(GetRect(), MColor::FromARGB(color.load()), MColorOp::Copy);
  }
};

using Clock = std::chrono::steady_clock;

// A record posted to the global processor that nobody takes, as an automation refresh posted
// while the host keeps the editor closed.
class MUntaken : public MEventTarget
{
public:
  MUntaken() { event.Subscribe<&MUntaken::OnEvent>(this); }
  ~MUntaken() override { event.ClearQueue(); }
  void OnEvent(MOnNotifyParams&) { ++delivered; }

  MEvent<MOnNotifyParams> event;
  int delivered = 0;
};

// Runs the GUI thread's loop until `done` or `limit` passed; answers the time it took.
template <class Done>
Clock::duration PumpUntil(MWindowSystemHeadless& system, Done done, std::chrono::milliseconds limit)
{
  const Clock::time_point start = Clock::now();
  while (!done() && Clock::now() - start < limit)
  {
    system.WaitForMessages(5);
    system.ProcessPendingMessages();
  }
  return Clock::now() - start;
}

TEST(MRepaintConcurrency, ManyWorkersInvalidateWhileTheGuiThreadPaintsAndChangesTheTree)
{
  MWindowSystemHeadless system;
  system.Initialize();
  MWindow window;
  window.SetBounds(MRect::FromSize(0, 0, 128, 64));
  std::vector<MLamp*> lamps;
  for (int i = 0; i < 8; ++i)
  {
    lamps.push_back(&window.Add<MLamp>());
    lamps.back()->SetBounds(MRect::FromSize(i * 16, 0, 16, 16));
  }
  window.Open(system);
  const auto shows = [&](const MLamp& lamp, std::uint32_t color) {
    const MPoint p = lamp.GetWindowPosition();
    return system.GetSurface(window)->GetPixel(p.x + 1, p.y + 1) == color;
  };
  PumpUntil(
      system, [&] { return shows(*lamps[0], 0xFF000000u); }, std::chrono::milliseconds(2000));

  // One worker first: nothing is painted synchronously, the repaint comes through the threads.
  // 50 ms polling plus 10 ms waking is the design; the bound leaves room for loaded machines and
  // sanitizers, and the figure is recorded.
  const Clock::time_point posted = Clock::now();
  std::thread([&] {
    lamps[0]->color.store(0xFF203040u);
    lamps[0]->Invalidate();
  }).join();
  EXPECT_FALSE(shows(*lamps[0], 0xFF203040u));
  PumpUntil(
      system, [&] { return shows(*lamps[0], 0xFF203040u); }, std::chrono::milliseconds(2000));
  const double latencyMs = std::chrono::duration<double, std::milli>(Clock::now() - posted).count();
  RecordProperty("latency_ms", std::to_string(latencyMs));
  EXPECT_LT(latencyMs, 500.0);

  std::atomic<bool> stop{false};
  std::vector<std::thread> workers;
  for (int t = 0; t < 3; ++t)
    workers.emplace_back([&, t] {
      for (std::uint32_t n = 0; !stop.load(); ++n)
      {
        MLamp& lamp = *lamps[(n + t) % lamps.size()];
        lamp.color.store(0xFF000000u | n);
        lamp.Invalidate(MRect{0, 0, 8, 8});
      }
    });
  // The GUI thread paints, moves controls and adds and removes one meanwhile.
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(300);
  for (int n = 0; Clock::now() < end; ++n)
  {
    lamps[0]->SetPosition(MPoint{n % 8, 16});
    MLamp& extra = window.Add<MLamp>();
    extra.SetBounds(MRect::FromSize(0, 40, 10, 10));
    window.RemoveChild(extra).reset();
    system.WaitForMessages(2);
    system.ProcessPendingMessages();
  }
  stop.store(true);
  for (std::thread& worker : workers)
    worker.join();

  // Everything invalidated gets painted: the last colour of every lamp shows.
  PumpUntil(
      system, [&] { return !window.GetInvalidator().IsDirty() && system.GetDirtyRect(window).IsEmpty(); },
      std::chrono::milliseconds(2000));
  for (MLamp* lamp : lamps)
    EXPECT_TRUE(shows(*lamp, lamp->color.load())) << lamp->GetWindowPosition().x;
  window.Close();
  EXPECT_FALSE(window.GetInvalidator().IsRegistered());
}

// Work pending while no window is open wakes nothing: a module whose editor is closed stays
// quiet, however long the host keeps it loaded. The first window to open gets the work.
TEST(MRepaintConcurrency, WithNoWindowOpenPendingWorkWakesNothingUntilOneOpens)
{
  MWindowSystemHeadless system;
  system.Initialize();
  MUntaken untaken;
  ASSERT_TRUE(untaken.event.Post(nullptr, MOnNotifyParams{}));
  system.SetEventsPending();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(system.GetWakeCount(), 0u);

  MWindow window;
  window.SetBounds(MRect::FromSize(0, 0, 32, 32));
  window.Open(system);
  PumpUntil(
      system, [&] { return untaken.delivered != 0; }, std::chrono::milliseconds(2000));
  EXPECT_EQ(untaken.delivered, 1);
  window.Close();

  // Closed again: nothing wakes, also for work that goes on arriving.
  ASSERT_TRUE(untaken.event.Post(nullptr, MOnNotifyParams{}));
  const std::uint64_t wakes = system.GetWakeCount();
  for (int i = 0; i < 6; ++i)
  {
    system.SetEventsPending();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(system.GetWakeCount(), wakes);
  EXPECT_EQ(system.GetForcedWakeCount(), wakes);
}

} // namespace
