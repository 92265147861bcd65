// The module's editor as a DAW shows it (VST 3 view in the test host's window, on a private Xvfb):
//   - EditorOpenToFirstPaint: createView, setFrame, attached, and the server has the first
//     picture (the host's connection synced); removed and released outside the timing. Beside it,
//     the reference: the host making, mapping and syncing a bare child window of the same size.
//   - an open editor on the host's run loop (the frame's poll loop with the view's descriptors
//     and 30 ms timer) while an audio thread feeds a tone 30 cents sharp of A4 with a vibrato, so
//     the tuning indicator keeps moving. Its CPU is the process's CPU time minus the audio thread's, over
//     wall time (100 = one core), against the same loop and audio without the editor.
// Summary lines:
//   editor open_to_first_paint_ms=... limit_ms=50 bare_window_ms=... ratio=...
//   editor open indicator seconds=... cpu_percent=... limit_percent=1.0 without_editor_percent=...
//     net_percent=... audio_thread_percent=... server_cpu_percent=...
// TONVERA_BENCH_EDITOR_SECONDS sets the run-loop measurement's length (default 60; a smoke run
// passes a few seconds).
#include "tools/host/MTestHostPlugFrame.h"
#include "tools/host/MTestHostVst3.h"
#include "tools/host/MTestHostWindow.h"

#include "MCapturingReporter.h"
#include "MCpuTime.h"
#include "MXvfbServer.h"

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Steinberg;

namespace
{
constexpr double kLimitMs = 50.0;
constexpr double kLimitPercent = 1.0;
constexpr int kBlock = 256;
constexpr double kRate = 44100.0;

struct Session
{
  MXvfbServer server;
  MTestHostWindow window;
  MTestHostVst3 host;
  Display* display = nullptr; // the reference's own connection
};
Session* g_session = nullptr;

// The table as every bench prints it, keeping the manual (wall) time per iteration as well.
class WallTimeReporter : public MCapturingReporter
{
public:
  void ReportRuns(const std::vector<Run>& runs) override
  {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration && !run.error_occurred)
        m_wall[run.run_name.function_name] = run.GetAdjustedRealTime();
    MCapturingReporter::ReportRuns(runs);
  }
  double Wall(const std::string& name) const
  {
    const auto found = m_wall.find(name);
    return found == m_wall.end() ? -1.0 : found->second;
  }

private:
  std::map<std::string, double> m_wall;
};

IPlugView* Open(MTestHostPlugFrame* frame)
{
  IPlugView* view = g_session->host.Controller()->createView("editor");
  if (view == nullptr)
    return nullptr;
  view->setFrame(frame);
  if (view->attached(reinterpret_cast<void*>(g_session->window.Handle()), kPlatformTypeX11EmbedWindowID) !=
      kResultOk)
  {
    view->release();
    return nullptr;
  }
  return view;
}

void Close(IPlugView* view)
{
  view->removed();
  view->setFrame(nullptr);
  view->release();
}

void EditorOpenToFirstPaint(benchmark::State& state)
{
  auto* frame = new MTestHostPlugFrame(true, &g_session->window);
  for (auto _ : state)
  {
    const auto start = std::chrono::steady_clock::now();
    IPlugView* view = Open(frame);
    g_session->window.Sync();
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (view == nullptr)
    {
      state.SkipWithError("the editor did not open");
      break;
    }
    Close(view);
    g_session->window.Sync();
  }
  frame->release();
}
BENCHMARK(EditorOpenToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BareWindowReference(benchmark::State& state)
{
  Display* display = g_session->display;
  const Window parent = static_cast<Window>(g_session->window.Handle());
  for (auto _ : state)
  {
    const auto start = std::chrono::steady_clock::now();
    const Window child = XCreateSimpleWindow(display, parent, 0, 0, 720, 440, 0, 0, 0x202020);
    XMapWindow(display, child);
    XSync(display, False);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    XDestroyWindow(display, child);
    XSync(display, False);
  }
}
BENCHMARK(BareWindowReference)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// The host's loop for `seconds` with audio on its own thread; answers {process CPU without the
// audio thread, audio thread CPU, wall}.
struct Usage
{
  double gui = 0.0;
  double audio = 0.0;
  double wall = 0.0;
};

Usage RunLoop(MTestHostPlugFrame& frame, double seconds)
{
  std::atomic<bool> stop{false};
  std::atomic<double> audioCpu{0.0};
  std::thread audio([&] {
    std::vector<float> left(kBlock), right(kBlock), outLeft(kBlock), outRight(kBlock);
    float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    // 30 cents sharp of A4 with a 2 Hz vibrato of 20 cents, so the bars never settle.
    double phase = 0.0;
    double vibrato = 0.0;
    const double start = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    auto next = std::chrono::steady_clock::now();
    const auto period = std::chrono::microseconds(static_cast<long long>(1e6 * kBlock / kRate));
    while (!stop.load())
    {
      for (int i = 0; i < kBlock; ++i)
      {
        left[static_cast<std::size_t>(i)] = right[static_cast<std::size_t>(i)] =
            static_cast<float>(0.3 * std::sin(phase));
        const double cents = 30.0 + 20.0 * std::sin(vibrato);
        phase += 2.0 * std::numbers::pi * 440.0 * std::pow(2.0, cents / 1200.0) / kRate;
        vibrato += 2.0 * std::numbers::pi * 2.0 / kRate;
      }
      phase = std::fmod(phase, 2.0 * std::numbers::pi);
      vibrato = std::fmod(vibrato, 2.0 * std::numbers::pi);
      g_session->host.Process(inputs, outputs, kBlock);
      next += period; // in real time, as a sound card asks
      std::this_thread::sleep_until(next);
    }
    audioCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
  });
  const double cpuBefore = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < seconds)
    frame.RunFor(100);
  stop = true;
  audio.join();
  Usage usage;
  usage.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  usage.audio = audioCpu.load();
  usage.gui = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore - usage.audio;
  return usage;
}
} // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  double seconds = 60.0;
  if (const char* text = std::getenv("TONVERA_BENCH_EDITOR_SECONDS");
      text != nullptr && std::atof(text) > 0.0)
    seconds = std::atof(text);

  Session session;
  std::string error;
  if (!session.server.Start(error) || !session.window.Open(session.server.GetDisplayName(), 800, 600, error))
  {
    std::printf("editor: skipped (%s)\n", error.c_str());
    return 0;
  }
  setenv("DISPLAY", session.server.GetDisplayName().c_str(), 1);
  session.display = XOpenDisplay(session.server.GetDisplayName().c_str());
  if (session.display == nullptr || session.host.LoadModule(TONVERA_VST3_BUNDLE) != MTestHostStatus::Ok ||
      !session.host.Activate(kRate, kBlock))
  {
    std::printf("editor: skipped (the module did not load: %s)\n", session.host.LastError().c_str());
    return 0;
  }
  g_session = &session;
  WallTimeReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const double open = reporter.Wall("EditorOpenToFirstPaint");
  const double bare = reporter.Wall("BareWindowReference");
  std::printf("editor open_to_first_paint_ms=%.2f limit_ms=%.0f bare_window_ms=%.3f ratio=%.1f\n", open,
              kLimitMs, bare, bare > 0.0 ? open / bare : -1.0);

  auto* frame = new MTestHostPlugFrame(true, &session.window);
  const Usage without = RunLoop(*frame, seconds / 4.0);
  IPlugView* view = Open(frame);
  if (view == nullptr)
  {
    std::printf("editor open indicator: skipped (the editor did not open)\n");
    frame->release();
    return 1;
  }
  const double serverBefore = OtherProcessCpuSeconds(session.server.GetProcessId());
  const int fdCallbacks = frame->FdCallbackCount();
  const int timerCallbacks = frame->TimerCallbackCount();
  const Usage with = RunLoop(*frame, seconds);
  const double server = OtherProcessCpuSeconds(session.server.GetProcessId()) - serverBefore;
  Close(view);
  const double percent = 100.0 * with.gui / with.wall;
  const double baseline = 100.0 * without.gui / without.wall;
  std::printf(
      "editor open indicator seconds=%.1f cpu_percent=%.3f limit_percent=%.1f without_editor_percent=%.3f "
      "net_percent=%.3f audio_thread_percent=%.3f server_cpu_percent=%.3f fd_callbacks_per_s=%.1f "
      "timer_callbacks_per_s=%.1f\n",
      with.wall, percent, kLimitPercent, baseline, percent - baseline, 100.0 * with.audio / with.wall,
      serverBefore < 0.0 ? -1.0 : 100.0 * server / with.wall,
      (frame->FdCallbackCount() - fdCallbacks) / with.wall,
      (frame->TimerCallbackCount() - timerCallbacks) / with.wall);
  frame->release();
  XCloseDisplay(session.display);
  return 0;
}
