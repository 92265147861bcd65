// What an open X11 editor window costs while nothing needs repainting: the host's run loop calls
// Idle at 30 Hz, the invalidator (50 ms) and event-forcing (10 ms) threads tick, and the window
// sits on a private Xvfb server. Google Benchmark first times one Idle call; then a 5-second run
// at 30 Hz measures the CPU time of the whole process (all threads) and prints
//   x11 idle window hz=30 seconds=5.00 cpu_percent=... limit_percent=0.5 server_cpu_percent=...
// cpu_percent is process CPU time over wall time (100 = one core busy), split into the GUI
// thread (the host's loop calling Idle) and the other threads (invalidator, event forcing);
// server_cpu_percent is the X server's share over the same run, for information.
#include "gui/MWindow.h"
#include "gui/controls/MPanel.h"
#include "gui/x11/MWindowSystemX11.h"

#include "MCpuTime.h"
#include "MXvfbServer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace
{
constexpr int kHostHz = 30;
constexpr double kSeconds = 5.0;
constexpr double kLimitPercent = 0.5;

struct Session
{
  MXvfbServer server;
  std::unique_ptr<MWindowSystemX11> system;
  std::unique_ptr<MWindow> window;

  bool Open(std::string& error)
  {
    if (!server.Start(error))
      return false;
    system = std::make_unique<MWindowSystemX11>(MString::FromUTF8(server.GetDisplayName()));
    system->Initialize();
    window = std::make_unique<MWindow>();
    window->SetSize(MSize{600, 400});
    for (int i = 0; i < 40; ++i)
      window->Add<MPanel>().SetBounds(MRect::FromSize(10 + (i % 8) * 72, 10 + (i / 8) * 76, 64, 64));
    window->Open(*system, 0);
    // Let the first paint and its copy settle, so the measurement sees only idle ticks.
    const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < settle)
    {
      system->Idle();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  ~Session()
  {
    if (window)
      window->Close();
    window.reset();
    system.reset();
  }
};

Session* g_session = nullptr;

void IdleTickNothingToRepaint(benchmark::State& state)
{
  for (auto _ : state)
    g_session->system->Idle();
}
BENCHMARK(IdleTickNothingToRepaint)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  // The host's own 30 Hz loop with no window system at all: what the host pays anyway.
  using Clock = std::chrono::steady_clock;
  const auto period = std::chrono::microseconds(1000000 / kHostHz);
  const auto runFor = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kSeconds));
  const auto tick = [&](const std::function<void()>& body) {
    const double cpuBefore = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto start = Clock::now();
    auto next = start;
    while (Clock::now() < start + runFor)
    {
      body();
      next += period;
      std::this_thread::sleep_until(next);
    }
    return std::make_pair(CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore,
                          std::chrono::duration<double>(Clock::now() - start).count());
  };
  const auto [hostCpu, hostWall] = tick([] {});

  Session session;
  std::string error;
  if (!session.Open(error))
  {
    std::printf("x11 idle window: skipped (%s)\n", error.c_str());
    return 0;
  }
  g_session = &session;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const double guiBefore = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  const double serverBefore = OtherProcessCpuSeconds(session.server.GetProcessId());
  const auto [cpu, wall] = tick([&] { session.system->Idle(); });
  const double gui = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - guiBefore;
  const double server = OtherProcessCpuSeconds(session.server.GetProcessId()) - serverBefore;
  std::printf(
      "x11 idle window hz=%d seconds=%.2f cpu_percent=%.3f limit_percent=%.1f host_loop_alone_percent=%.3f "
      "window_net_percent=%.3f gui_thread_percent=%.3f other_threads_percent=%.3f server_cpu_percent=%.3f\n",
      kHostHz, wall, 100.0 * cpu / wall, kLimitPercent, 100.0 * hostCpu / hostWall,
      100.0 * cpu / wall - 100.0 * hostCpu / hostWall, 100.0 * gui / wall, 100.0 * (cpu - gui) / wall,
      serverBefore < 0.0 ? -1.0 : 100.0 * server / wall);
  return 0;
}
