// The module's editor as a DAW shows it (test host windows on a private Xvfb), each figure beside
// a reference measured in the same run: a bare X11 child window the host makes and paints the same
// way (an image of the editor's size put into it and synced).
//   - open to first picture, VST 2.4 (effEditOpen, then the host syncs and sees the picture):
//     cold (the first open in a fresh process, forked before anything loads the module) and warm
//     (the editor opened again and again in one process);
//   - invalidation to picture: the host changes a parameter and calls effEditIdle every 20 ms
//     until the knob's new picture is on the server;
//   each quiet and with two busy processes per core (spawned here, bounded by an alarm, killed
//   at the end of each measurement), reported as the mean and the worst time, their difference
//   from the bare window's, and the limits: under load within 50 ms of the bare window, a warm
//   open at most 30 ms;
//   - idle cost on the VST 3 host run loop (the frame's poll loop with the view's descriptors and
//     its 30 ms timer): the editor open without audio, and with an audio thread feeding a tone
//     30 cents sharp of A4 with a vibrato so the tuning indicator keeps moving. CPU is the
//     process's CPU time minus the audio thread's over wall time (100 = one core), net of the same
//     loop without an editor;
//   - wake-ups with no editor: a window system like the module's (same code, in this process)
//     whose last window closed, with work left pending in the global event processor, counted
//     through its force-events thread's wake counter.
// Summary lines (bench/run collects every "editor ..." line):
//   editor open_cold_ms quiet=... loaded=... bare_quiet=... bare_loaded=... loaded_minus_bare=... limit_ms=50
//   editor open_warm_ms ... worst_loaded=... limit_loaded_ms=30
//   editor invalidate_to_paint_ms ...
//   editor idle_open_cpu_percent=... limit=0.2 with_host_loop_percent=... without_editor_percent=...
//   editor idle_indicator_cpu_percent=... limit=0.5 with_host_loop_percent=... without_editor_percent=...
//   editor idle_no_editor_wakes_per_s=... limit=0
// TONVERA_BENCH_EDITOR_SECONDS sets each idle measurement's length (default 20; a smoke run
// passes a few seconds).
#include "tools/host/MTestHostPlugFrame.h"
#include "tools/host/MTestHostVst2.h"
#include "tools/host/MTestHostVst3.h"
#include "tools/host/MTestHostWindow.h"

#include "base/MEvent.h"
#include "base/MEventParams.h"
#include "gui/MWindow.h"
#include "gui/x11/MWindowSystemX11.h"

#include "MCapturingReporter.h"
#include "MCpuTime.h"
#include "MXvfbServer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <numbers>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Steinberg;

namespace
{
constexpr double kLimitLoadedMs = 50.0;   // loaded, above the bare window's figure
constexpr double kLimitWarmOpenMs = 30.0; // loaded, absolute
constexpr double kLimitOpenPercent = 0.2;
constexpr double kLimitIndicatorPercent = 0.5;
constexpr int kBlock = 256;
constexpr double kRate = 44100.0;
constexpr int kWidth = 720;
constexpr int kHeight = 522;
constexpr int kIdlePeriodMs = 20;
constexpr int kRounds = 12;
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Two busy processes per core, spawned and killed by the caller; each ends by itself after two
// minutes should this program die first.
class MLoad
{
public:
  void Start()
  {
    const long cores = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
    for (long i = 0; i < 2 * cores; ++i)
    {
      const pid_t pid = fork();
      if (pid == 0)
      {
        alarm(120);
        volatile unsigned long spin = 0;
        for (;;)
          spin = spin + 1;
      }
      if (pid > 0)
        m_children.push_back(pid);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // let them take the cores
  }
  void Stop()
  {
    for (pid_t pid : m_children)
      kill(pid, SIGKILL);
    for (pid_t pid : m_children)
      waitpid(pid, nullptr, 0);
    m_children.clear();
  }
  ~MLoad() { Stop(); }

private:
  std::vector<pid_t> m_children;
};

// Mean and worst of a series of times.
struct Times
{
  std::vector<double> ms;
  double Mean() const
  {
    double sum = 0.0;
    for (double each : ms)
      sum += each;
    return ms.empty() ? -1.0 : sum / double(ms.size());
  }
  double Worst() const { return ms.empty() ? -1.0 : *std::max_element(ms.begin(), ms.end()); }
};

// The host side of one measurement: its own connection and parent window.
struct Host
{
  MTestHostWindow window;
  Display* display = nullptr; // a second connection, for the bare reference window
  XImage* image = nullptr;    // the reference's picture, of the editor's size
  std::vector<std::uint32_t> pixels;

  bool Open(const std::string& name)
  {
    std::string error;
    if (!window.Open(name, kWidth, kHeight, error))
      return false;
    display = XOpenDisplay(name.c_str());
    if (display == nullptr)
      return false;
    pixels.assign(std::size_t(kWidth) * kHeight, 0xFF303030u);
    const int screen = DefaultScreen(display);
    image = XCreateImage(display, DefaultVisual(display, screen), unsigned(DefaultDepth(display, screen)),
                         ZPixmap, 0, reinterpret_cast<char*>(pixels.data()), kWidth, kHeight, 32, kWidth * 4);
    return image != nullptr;
  }
  ~Host()
  {
    if (image != nullptr)
    {
      image->data = nullptr; // the vector owns the pixels
      XDestroyImage(image);
    }
    if (display != nullptr)
      XCloseDisplay(display);
  }

  // The embedded child's picture as the host would read it back (empty when there is none).
  std::vector<std::uint32_t> Picture()
  {
    std::vector<std::uint32_t> argb;
    int width = 0;
    int height = 0;
    if (!window.CaptureChild(argb, width, height))
      argb.clear();
    return argb;
  }

  // A bare child window made, mapped and painted with one image, synced; answers the time.
  double BareOpen()
  {
    const Window parent = static_cast<Window>(window.Handle());
    const auto start = Clock::now();
    const Window child = XCreateSimpleWindow(display, parent, 0, 0, kWidth, kHeight, 0, 0, 0);
    XMapWindow(display, child);
    GC gc = XCreateGC(display, child, 0, nullptr);
    XPutImage(display, child, gc, image, 0, 0, 0, 0, kWidth, kHeight);
    XSync(display, False);
    const double ms = MsSince(start);
    XFreeGC(display, gc);
    XDestroyWindow(display, child);
    XSync(display, False);
    return ms;
  }

  // The bare window's repaint: the image put again after a change, synced.
  double BareRepaint(Window child, GC gc)
  {
    pixels[0] ^= 0x00FFFFFFu;
    const auto start = Clock::now();
    XPutImage(display, child, gc, image, 0, 0, 0, 0, kWidth, kHeight);
    XSync(display, False);
    return MsSince(start);
  }
};

// effEditOpen until the host sees the picture (the host's loop idles every 20 ms meanwhile).
double OpenToPicture(MTestHostVst2& plugin, Host& host, bool& ok)
{
  const auto start = Clock::now();
  ok = plugin.OpenEditor(host.window.Handle());
  while (ok)
  {
    host.window.Sync();
    const std::vector<std::uint32_t> picture = host.Picture();
    const auto painted =
        std::count_if(picture.begin(), picture.end(), [](std::uint32_t p) { return (p & 0x00FFFFFFu) != 0; });
    if (!picture.empty() && painted > std::int64_t(picture.size()) * 9 / 10)
      break;
    if (MsSince(start) > 5000.0)
    {
      ok = false;
      break;
    }
    plugin.IdleEditor();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return MsSince(start);
}

// The first open of the editor in a fresh process: a child forked before this process loaded the
// module answers its time through a pipe (negative: it failed).
double ColdOpen(const std::string& display, const char* module)
{
  int fds[2];
  if (pipe(fds) != 0)
    return -1.0;
  const pid_t pid = fork();
  if (pid == 0)
  {
    close(fds[0]);
    double ms = -1.0;
    {
      Host host;
      MTestHostVst2 plugin;
      if (host.Open(display) && plugin.LoadModule(module) == MTestHostStatus::Ok && plugin.Open())
      {
        bool ok = false;
        ms = OpenToPicture(plugin, host, ok);
        if (!ok)
          ms = -1.0;
        plugin.CloseEditor();
      }
      if (write(fds[1], &ms, sizeof ms) != sizeof ms)
        ms = -1.0;
    }
    _exit(0);
  }
  close(fds[1]);
  double ms = -1.0;
  if (pid < 0 || read(fds[0], &ms, sizeof ms) != sizeof ms)
    ms = -1.0;
  close(fds[0]);
  if (pid > 0)
    waitpid(pid, nullptr, 0);
  return ms;
}

struct Latency
{
  Times editor;
  Times bare;
};

// Warm opens and invalidation-to-picture of the VST 2.4 editor in this process, with the bare
// window's figures measured in between.
void MeasureWarm(MTestHostVst2& plugin, Host& host, Latency& open, Latency& invalidate)
{
  for (int round = 0; round < kRounds; ++round)
  {
    bool ok = false;
    const double ms = OpenToPicture(plugin, host, ok);
    if (ok)
      open.editor.ms.push_back(ms);
    open.bare.ms.push_back(host.BareOpen());
    if (ok)
    {
      // The host moves parameter 0 (Depth); its knob and value text repaint.
      const std::vector<std::uint32_t> before = host.Picture();
      const auto start = Clock::now();
      plugin.SetParameter(0, round % 2 == 0 ? 0.9f : 0.1f);
      bool changed = false;
      while (!changed && MsSince(start) < 5000.0)
      {
        plugin.IdleEditor();
        host.window.Sync();
        changed = host.Picture() != before;
        if (!changed)
          std::this_thread::sleep_for(std::chrono::milliseconds(kIdlePeriodMs));
      }
      if (changed)
        invalidate.editor.ms.push_back(MsSince(start));
    }
    plugin.CloseEditor();
    host.window.Sync();
  }
  const Window parent = static_cast<Window>(host.window.Handle());
  const Window child = XCreateSimpleWindow(host.display, parent, 0, 0, kWidth, kHeight, 0, 0, 0);
  XMapWindow(host.display, child);
  GC gc = XCreateGC(host.display, child, 0, nullptr);
  XSync(host.display, False);
  for (int round = 0; round < kRounds; ++round)
    invalidate.bare.ms.push_back(host.BareRepaint(child, gc));
  XFreeGC(host.display, gc);
  XDestroyWindow(host.display, child);
  XSync(host.display, False);
}

void PrintLatency(const char* name, const Latency& quiet, const Latency& loaded, const char* extra)
{
  std::printf("editor %s quiet=%.2f worst_quiet=%.2f loaded=%.2f worst_loaded=%.2f bare_quiet=%.3f "
              "bare_loaded=%.3f loaded_minus_bare=%.2f worst_loaded_minus_bare=%.2f limit_ms=%.0f%s\n",
              name, quiet.editor.Mean(), quiet.editor.Worst(), loaded.editor.Mean(), loaded.editor.Worst(),
              quiet.bare.Mean(), loaded.bare.Mean(), loaded.editor.Mean() - loaded.bare.Mean(),
              loaded.editor.Worst() - loaded.bare.Worst(), kLimitLoadedMs, extra);
}

// The host's VST 3 loop for `seconds`, optionally with audio on its own thread; answers {process
// CPU without the audio thread, audio thread CPU, wall}.
struct Usage
{
  double gui = 0.0;
  double audio = 0.0;
  double wall = 0.0;
};

Usage RunLoop(MTestHostVst3& host, MTestHostPlugFrame& frame, double seconds, bool withAudio)
{
  std::atomic<bool> stop{false};
  std::atomic<double> audioCpu{0.0};
  std::thread audio;
  if (withAudio)
    audio = std::thread([&] {
      std::vector<float> left(kBlock), right(kBlock), outLeft(kBlock), outRight(kBlock);
      float* inputs[2] = {left.data(), right.data()};
      float* outputs[2] = {outLeft.data(), outRight.data()};
      // 30 cents sharp of A4 with a 2 Hz vibrato of 20 cents, so the bars never settle.
      double phase = 0.0;
      double vibrato = 0.0;
      const double start = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
      auto next = Clock::now();
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
        host.Process(inputs, outputs, kBlock);
        next += period; // in real time, as a sound card asks
        std::this_thread::sleep_until(next);
      }
      audioCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
    });
  const double cpuBefore = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  const auto start = Clock::now();
  while (std::chrono::duration<double>(Clock::now() - start).count() < seconds)
    frame.RunFor(100);
  stop = true;
  if (audio.joinable())
    audio.join();
  Usage usage;
  usage.wall = std::chrono::duration<double>(Clock::now() - start).count();
  usage.audio = audioCpu.load();
  usage.gui = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore - usage.audio;
  return usage;
}

double Percent(const Usage& usage)
{
  return usage.wall > 0.0 ? 100.0 * usage.gui / usage.wall : -1.0;
}

// A record in the global event processor that no one takes while no editor is open.
class MUntaken : public MEventTarget
{
public:
  MUntaken() { event.Subscribe<&MUntaken::OnEvent>(this); }
  ~MUntaken() override { event.ClearQueue(); }
  void OnEvent(MOnNotifyParams&) {}
  MEvent<MOnNotifyParams> event;
};

// Wake-ups per second of a window system whose last window closed, with work pending.
double NoEditorWakesPerSecond(const std::string& display, double seconds)
{
  MWindowSystemX11 system{MString::FromUTF8(display)};
  system.Initialize();
  {
    MWindow window;
    window.SetSize(MSize{kWidth, kHeight});
    window.Open(system);
    system.Idle();
    window.Close();
  }
  MUntaken untaken;
  untaken.event.Post(nullptr, MOnNotifyParams{});
  system.SetEventsPending();
  const std::uint64_t before = system.GetForcedWakeCount();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  return double(system.GetForcedWakeCount() - before) / seconds;
}

// Google Benchmark's table: the bare window's open, for comparison with earlier runs.
std::string g_display;
void BareWindowOpen(benchmark::State& state)
{
  Host host;
  if (!host.Open(g_display))
  {
    state.SkipWithError("no host window");
    return;
  }
  for (auto _ : state)
    state.SetIterationTime(host.BareOpen() / 1000.0);
}
BENCHMARK(BareWindowOpen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
} // namespace

int main(int argc, char** argv)
{
  double seconds = 20.0;
  if (const char* text = std::getenv("TONVERA_BENCH_EDITOR_SECONDS");
      text != nullptr && std::atof(text) > 0.0)
    seconds = std::atof(text);

  MXvfbServer server;
  std::string error;
  if (!server.Start(error))
  {
    std::printf("editor: skipped (%s)\n", error.c_str());
    return 0;
  }
  g_display = server.GetDisplayName();
  setenv("DISPLAY", g_display.c_str(), 1);
  // A connection of our own keeps the server up between the hosts' windows.
  MTestHostWindow keeper;
  if (!keeper.Open(g_display, 1, 1, error))
  {
    std::printf("editor: skipped (%s)\n", error.c_str());
    return 0;
  }

  // Cold opens first: the children fork before this process has loaded the module or started a
  // thread. TONVERA_BENCH_EDITOR_IDLE_ONLY=1 skips the latencies (profiling the idle figures).
  const bool idleOnly = std::getenv("TONVERA_BENCH_EDITOR_IDLE_ONLY") != nullptr;
  // TONVERA_BENCH_EDITOR_COLD_ONLY=1 stops after the cold opens, =quiet after the quiet ones
  // (profiling the first open).
  const char* coldOnly = std::getenv("TONVERA_BENCH_EDITOR_COLD_ONLY");
  const bool quietColdOnly = coldOnly != nullptr && std::string(coldOnly) == "quiet";
  MLoad load;
  Latency coldQuiet;
  Latency coldLoaded;
  for (bool loaded : {false, true})
  {
    if (idleOnly || (loaded && quietColdOnly))
      break;
    Latency& cold = loaded ? coldLoaded : coldQuiet;
    if (loaded)
      load.Start();
    for (int round = 0; round < 3; ++round)
    {
      if (const double ms = ColdOpen(g_display, TONVERA_MODULE); ms >= 0.0)
        cold.editor.ms.push_back(ms);
      Host host;
      if (host.Open(g_display))
        cold.bare.ms.push_back(host.BareOpen());
    }
    load.Stop();
  }

  if (!idleOnly && coldOnly != nullptr)
  {
    PrintLatency("open_cold_ms", coldQuiet, coldLoaded, "");
    return 0;
  }

  MCapturingReporter reporter;
  if (!reporter.RunAll(argc, argv))
    return 1;

  Latency openQuiet;
  Latency openLoaded;
  Latency paintQuiet;
  Latency paintLoaded;
  if (!idleOnly)
  {
    Host host;
    MTestHostVst2 plugin;
    if (!host.Open(g_display) || plugin.LoadModule(TONVERA_MODULE) != MTestHostStatus::Ok || !plugin.Open())
    {
      std::printf("editor: skipped (the module did not load: %s)\n", plugin.LastError().c_str());
      return 0;
    }
    MeasureWarm(plugin, host, openQuiet, paintQuiet);
    load.Start();
    MeasureWarm(plugin, host, openLoaded, paintLoaded);
    load.Stop();
    plugin.Close();
    PrintLatency("open_cold_ms", coldQuiet, coldLoaded, "");
    char warmLimit[96];
    std::snprintf(warmLimit, sizeof warmLimit, " limit_loaded_ms=%.0f", kLimitWarmOpenMs);
    PrintLatency("open_warm_ms", openQuiet, openLoaded, warmLimit);
    PrintLatency("invalidate_to_paint_ms", paintQuiet, paintLoaded, "");
  }

  // Idle cost on the VST 3 run loop.
  Host host;
  MTestHostVst3 vst3;
  if (!host.Open(g_display) || vst3.LoadModule(TONVERA_VST3_BUNDLE) != MTestHostStatus::Ok ||
      !vst3.Activate(kRate, kBlock))
  {
    std::printf("editor idle: skipped (the module did not load: %s)\n", vst3.LastError().c_str());
    return 0;
  }
  auto* frame = new MTestHostPlugFrame(true, &host.window);
  const Usage without = RunLoop(vst3, *frame, seconds / 4.0, false);
  const Usage withoutAudio = RunLoop(vst3, *frame, seconds / 4.0, true);
  IPlugView* view = vst3.Controller()->createView("editor");
  if (view == nullptr || (view->setFrame(frame), view->attached(reinterpret_cast<void*>(host.window.Handle()),
                                                                kPlatformTypeX11EmbedWindowID)) != kResultOk)
  {
    std::printf("editor idle: skipped (the editor did not open)\n");
    frame->release();
    return 1;
  }
  frame->RunFor(300);
  const int fdCallbacks = frame->FdCallbackCount();
  const Usage open = RunLoop(vst3, *frame, seconds, false);
  const double fdPerSecond = (frame->FdCallbackCount() - fdCallbacks) / open.wall;
  const double serverBefore = OtherProcessCpuSeconds(server.GetProcessId());
  const Usage indicator = RunLoop(vst3, *frame, seconds, true);
  const double serverCpu = OtherProcessCpuSeconds(server.GetProcessId()) - serverBefore;
  view->removed();
  view->setFrame(nullptr);
  view->release();
  frame->release();
  // The figure beside each limit is the editor's own: the loop's cost without it (the host's
  // share, the same in any host) is given apart, and so is the process's whole figure.
  std::printf(
      "editor idle_open_cpu_percent=%.3f limit=%.1f with_host_loop_percent=%.3f without_editor_percent=%.3f "
      "fd_callbacks_per_s=%.1f seconds=%.1f\n",
      Percent(open) - Percent(without), kLimitOpenPercent, Percent(open), Percent(without), fdPerSecond,
      open.wall);
  std::printf("editor idle_indicator_cpu_percent=%.3f limit=%.1f with_host_loop_percent=%.3f "
              "without_editor_percent=%.3f audio_thread_percent=%.3f server_cpu_percent=%.3f\n",
              Percent(indicator) - Percent(withoutAudio), kLimitIndicatorPercent, Percent(indicator),
              Percent(withoutAudio), 100.0 * indicator.audio / indicator.wall,
              serverBefore < 0.0 ? -1.0 : 100.0 * serverCpu / indicator.wall);
  std::printf("editor idle_no_editor_wakes_per_s=%.2f limit=0\n",
              NoEditorWakesPerSecond(g_display, std::min(seconds / 4.0, 3.0)));
  return 0;
}
