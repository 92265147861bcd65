// The editor of the built module inside a parent window the test host made, on a private Xvfb.

#include "tests/gui/support/MSnapshot.h"
#include "tests/hosteditor/MEditorProbe.h"
#include "tests/hosteditor/MHostEditorDisplay.h"
#include "tests/support/MPrivateSettingsFolder.h"
#include "tools/host/MSharedLibrary.h"
#include "tools/host/MTestHostPlugFrame.h"
#include "tools/host/MTestHostVst2.h"
#include "tools/host/MTestHostVst3.h"
#include "tools/host/MTestHostWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <numbers>
#include <string>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include <unistd.h>

using namespace Steinberg;

namespace
{
constexpr int kWidth = 720;
constexpr int kHeight = 522;
// The editor's help line and the margin below the preset sheet's panel, in pixel rows.
constexpr int kHelpLineRows = 40;

using MHostEditorTest::Display;

class TonveraEditor : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (Display().empty())
      GTEST_SKIP() << "Xvfb is not available";
    // The editor reads and, on first use, writes the user's presets: never in the real home.
    MTestSupport::UsePrivateSettingsFolder("tonvera-hosteditor-settings");
    MTestSupport::ChooseDefaultStyle();
    MHostEditorTest::KeepLoaded(TONVERA_MODULE);
    std::string error;
    ASSERT_TRUE(m_window.Open(Display(), 800, 600, error)) << error;
  }

  // The embedded editor as the host sees it on screen.
  MBitmap Screenshot() { return MHostEditorTest::CaptureChild(m_window); }

  void ExpectPainted(int width, int height)
  {
    // The editor sizes and draws its window on a connection of its own, so the server may not have
    // carried that out yet when this connection asks; on a loaded machine that takes a while.
    int childWidth = 0;
    int childHeight = 0;
    MTestHostWindow::Picture picture;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;)
    {
      ASSERT_TRUE(m_window.ChildSize(childWidth, childHeight));
      picture = m_window.Capture();
      const bool done =
          childWidth == width && childHeight == height && picture.nonBackground >= width * height * 9 / 10;
      if (done || std::chrono::steady_clock::now() >= deadline)
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(childWidth, width);
    EXPECT_EQ(childHeight, height);
    // The charcoal background covers the editor's area; the texts add more colours.
    EXPECT_GE(picture.nonBackground, width * height * 9 / 10);
    EXPECT_GE(picture.distinctColours, 4);
  }

  MTestHostWindow m_window;
};

IPlugView* CreateView(MTestHostVst3& host, const char* name = Vst::ViewType::kEditor)
{
  return host.Controller()->createView(name);
}

// The probe functions of the tests' copy of the module. It stays loaded for the whole process, as
// hosts keep a module they have loaded: the hosts' loads of the same file share it, and what the
// module keeps for its lifetime stays reachable instead of being unmapped at exit.
struct Probe
{
  MEditorProbeFind find = nullptr;
  MEditorProbeResize resize = nullptr;
  MEditorProbeTuning tuning = nullptr;
  MEditorProbeSheetsOf sheets = nullptr;
  MEditorProbeButtons buttons = nullptr;
};

const Probe& ProbeFunctions()
{
  using MHostEditorTest::ProbeSymbol;
  static const Probe probe{
      ProbeSymbol<MEditorProbeFind>(TONVERA_PROBE_MODULE, "TonveraEditorProbeFind"),
      ProbeSymbol<MEditorProbeResize>(TONVERA_PROBE_MODULE, "TonveraEditorProbeResize"),
      ProbeSymbol<MEditorProbeTuning>(TONVERA_PROBE_MODULE, "TonveraEditorProbeTuning"),
      ProbeSymbol<MEditorProbeSheetsOf>(TONVERA_PROBE_MODULE, "TonveraEditorProbeSheets"),
      ProbeSymbol<MEditorProbeButtons>(TONVERA_PROBE_MODULE, "TonveraEditorProbeButtons")};
  return probe;
}

long long Differing(const MBitmap& a, const MBitmap& b)
{
  return CountDifferingPixels(a, b, 8);
}

// A settings folder of a test's own, emptied before and removed after: these tests write presets,
// default settings and the general settings, which the other tests (in this process or the next)
// must not find.
struct OwnSettingsFolder : MTestSupport::MScopedSettingsFolder
{
  enum class Style
  {
    Default, ///< the user chose "Default" (ChooseDefaultStyle)
    Fresh,   ///< nothing chosen yet
  };
  explicit OwnSettingsFolder(const std::string& name, Style style = Style::Default)
      : MScopedSettingsFolder("tonvera-hosteditor-" + name)
  {
    if (style == Style::Default)
      MTestSupport::ChooseDefaultStyle();
  }
};

// One editor of the probe module in either interface, driven as a DAW drives it: VST 2.4 with
// effEditIdle every 20 ms, VST 3 on the host's run loop. Every call into the plug-in is timed.
class DrivenEditor
{
public:
  DrivenEditor(int format, MTestHostWindow& window) : m_format(format), m_window(window) {}
  ~DrivenEditor()
  {
    Close();
    if (m_frame != nullptr)
      m_frame->release();
  }

  bool Load(const char* module = TONVERA_PROBE_MODULE)
  {
    if (m_format == 2)
      return m_vst2.LoadModule(module) == MTestHostStatus::Ok && m_vst2.Open();
    return m_vst3.LoadModule(module) == MTestHostStatus::Ok;
  }
  MTestHost& Host() { return m_format == 2 ? static_cast<MTestHost&>(m_vst2) : m_vst3; }
  MTestHostVst2& Vst2() { return m_vst2; }
  MTestHostVst3& Vst3() { return m_vst3; }
  MTestHostPlugFrame& Frame() { return *m_frame; }
  bool Open()
  {
    if (m_format == 2)
      return m_vst2.OpenEditor(m_window.Handle());
    return MakeView() != nullptr && m_view->attached(reinterpret_cast<void*>(m_window.Handle()),
                                                     kPlatformTypeX11EmbedWindowID) == kResultOk;
  }
  /// VST 3: a new editor view given the host's frame, not attached yet; null when the view or the
  /// frame was refused.
  IPlugView* MakeView()
  {
    if (m_frame == nullptr)
      m_frame = new MTestHostPlugFrame(true, &m_window);
    m_view = m_vst3.Controller()->createView(Vst::ViewType::kEditor);
    return m_view != nullptr && m_view->setFrame(m_frame) == kResultOk ? m_view : nullptr;
  }
  /// The host's UI loop for `ms`.
  void Run(int ms)
  {
    if (m_format == 2)
      m_vst2.RunEditorIdle(ms, 20);
    else
      m_frame->RunFor(ms);
  }
  /// effEditClose, or the view removed and released.
  void Close()
  {
    if (m_format == 2)
      m_vst2.CloseEditor();
    else if (m_view != nullptr)
    {
      m_view->removed();
      m_view->setFrame(nullptr);
      m_view->release();
      m_view = nullptr;
    }
  }
  void* Instance()
  {
    return m_format == 2 ? static_cast<void*>(const_cast<Vst2::AEffect*>(m_vst2.Effect()))
                         : static_cast<void*>(m_vst3.Controller());
  }
  MTestHostCallTimer& Timer() { return m_format == 2 ? m_vst2.CallTimer() : m_frame->CallTimer(); }

  // --- through the probe -------------------------------------------------------------------------
  MEditorProbeSheets Sheets()
  {
    MEditorProbeSheets sheets;
    EXPECT_EQ(ProbeFunctions().sheets(m_format, Instance(), &sheets), 1);
    return sheets;
  }
  bool Has(const char* id)
  {
    MEditorProbeControl control;
    return ProbeFunctions().find(m_format, Instance(), id, -1, &control) == 1;
  }
  /// A user's click (XTest) in the middle of control `id`, then the host's loop for a while.
  bool Click(const char* id)
  {
    MEditorProbeControl control;
    if (ProbeFunctions().find(m_format, Instance(), id, -1, &control) != 1 || control.width <= 0)
      return false;
    EXPECT_TRUE(m_window.Click(control.x + control.width / 2, control.y + control.height / 2)) << id;
    Run(150);
    return true;
  }
  /// A click at the fractions (fx, fy) of the width and height of control `id`.
  bool ClickAt(const char* id, double fx, double fy)
  {
    MEditorProbeControl control;
    if (ProbeFunctions().find(m_format, Instance(), id, -1, &control) != 1 || control.width <= 0)
      return false;
    EXPECT_TRUE(m_window.Click(control.x + static_cast<int>(fx * control.width),
                               control.y + static_cast<int>(fy * control.height)))
        << id;
    Run(150);
    return true;
  }
  /// Keys as the host forwards them (effEditKeyDown/Up, IPlugView::onKeyDown/Up): each character
  /// with the space as its virtual key, then Return. Answers how many key downs the editor took.
  int Type(const std::string& text)
  {
    constexpr int kSpace = 7, kReturn = 4; // the hosts' virtual key numbers
    int taken = 0;
    auto key = [&](char16_t character, int virtualKey) {
      if (m_format == 2)
      {
        taken += m_vst2.Dispatch(Vst2::effEditKeyDown, character, virtualKey) == 1 ? 1 : 0;
        m_vst2.Dispatch(Vst2::effEditKeyUp, character, virtualKey);
      }
      else
      {
        taken += m_view->onKeyDown(character, static_cast<int16>(virtualKey), 0) == kResultOk ? 1 : 0;
        m_view->onKeyUp(character, static_cast<int16>(virtualKey), 0);
      }
    };
    for (const char c : text)
      key(static_cast<char16_t>(c), c == ' ' ? kSpace : 0);
    key(0, kReturn);
    Run(150);
    return taken;
  }
  std::vector<std::string> Buttons()
  {
    std::vector<char> text(8192);
    ProbeFunctions().buttons(m_format, Instance(), text.data(), static_cast<std::int32_t>(text.size()));
    std::vector<std::string> ids;
    std::istringstream lines(text.data());
    for (std::string line; std::getline(lines, line);)
      ids.push_back(line);
    return ids;
  }

private:
  int m_format;
  MTestHostWindow& m_window;
  MTestHostVst2 m_vst2;
  MTestHostVst3 m_vst3;
  MTestHostPlugFrame* m_frame = nullptr;
  IPlugView* m_view = nullptr;
};

// Ends the top sheet the way a user does who changed their mind.
bool Dismiss(DrivenEditor& editor)
{
  for (const char* id : {"DialogCancel", "DialogNo", "DialogOk"})
    if (editor.Has(id))
      return editor.Click(id);
  return false;
}

TEST_F(TonveraEditor, WithoutAReachableDisplayTheEditorRefusesToOpen)
{
  // The library (and its window system) is made afresh for this host: no instance is left over.
  setenv("DISPLAY", ":9999", 1);
  MTestHostVst2 host;
  ASSERT_EQ(host.LoadModule(TONVERA_MODULE), MTestHostStatus::Ok) << host.LastError();
  ASSERT_TRUE(host.Open());
  EXPECT_FALSE(host.OpenEditor(m_window.Handle()));
  host.IdleEditor();
  host.CloseEditor();
  host.Close();
  setenv("DISPLAY", Display().c_str(), 1);
}

TEST_F(TonveraEditor, Vst3ViewRunsOnTheHostRunLoopAndUnregistersInRemoved)
{
  DrivenEditor editor(3, m_window);
  ASSERT_TRUE(editor.Load(TONVERA_VST3_BUNDLE));
  MTestHostVst3& host = editor.Vst3();
  EXPECT_EQ(CreateView(host, "other"), nullptr);
  IPlugView* view = editor.MakeView();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(CreateView(host), nullptr) << "one view at a time";
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
  MTestHostPlugFrame* frame = &editor.Frame();
  ViewRect size{};
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), kWidth);
  EXPECT_EQ(size.getHeight(), kHeight);

  ASSERT_EQ(view->attached(reinterpret_cast<void*>(m_window.Handle()), kPlatformTypeX11EmbedWindowID),
            kResultOk);
  EXPECT_EQ(frame->EventHandlerCount(), 2) << "the X connection and the wake-up descriptor";
  EXPECT_EQ(frame->TimerCount(), 1);
  frame->RunFor(200);
  EXPECT_GT(frame->TimerCallbackCount(), 2);
  ExpectPainted(kWidth, kHeight);
  EXPECT_TRUE(MatchesGolden(Screenshot(), "hosteditor_vst3"));

  // Nothing new to show: the timer rests after a while; a value the host changes is painted at
  // once all the same (through the wake-up descriptor), and the timer follows the display again.
  ASSERT_TRUE(host.Activate(44100.0, 256));
  frame->RunFor(3000);
  EXPECT_EQ(frame->TimerPeriodMs(), 250);
  const MBitmap resting = Screenshot();
  host.SetParameter(0, host.GetParameter(0) > 0.5f ? 0.1f : 0.9f);
  std::vector<float> silence(256 * 2, 0.0f), out(256 * 2, 0.0f);
  float* inputs[2] = {silence.data(), silence.data() + 256};
  float* outputs[2] = {out.data(), out.data() + 256};
  ASSERT_TRUE(host.Process(inputs, outputs, 256));
  frame->RunFor(400);
  EXPECT_GT(CountDifferingPixels(resting, Screenshot(), 8), 0);
  EXPECT_EQ(frame->TimerPeriodMs(), 50);
  EXPECT_EQ(frame->TimerCount(), 1);

  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_EQ(frame->EventHandlerCount(), 0);
  EXPECT_EQ(frame->TimerCount(), 0);
  m_window.Sync();
  EXPECT_EQ(m_window.ChildCount(), 0);
}

TEST_F(TonveraEditor, Vst3ViewAnswersCallsOutOfOrderWithoutCrashing)
{
  MTestHostVst3 host;
  ASSERT_EQ(host.LoadModule(TONVERA_VST3_BUNDLE), MTestHostStatus::Ok) << host.LastError();
  void* parent = reinterpret_cast<void*>(m_window.Handle());
  IPlugView* view = CreateView(host);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->removed(), kResultFalse) << "removed without attached";
  EXPECT_EQ(view->attached(parent, kPlatformTypeHWND), kResultFalse);
  EXPECT_EQ(view->attached(parent, nullptr), kResultFalse);
  EXPECT_EQ(view->attached(nullptr, kPlatformTypeX11EmbedWindowID), kResultFalse);
  EXPECT_EQ(view->getSize(nullptr), kInvalidArgument);
  EXPECT_EQ(view->onSize(nullptr), kInvalidArgument);
  EXPECT_EQ(view->checkSizeConstraint(nullptr), kInvalidArgument);
  struct SizeCase
  {
    ViewRect in;
    ViewRect constrained;
  };
  for (const SizeCase& c :
       {SizeCase{{0, 0, 10, 10}, {0, 0, 320, 200}}, SizeCase{{0, 0, 900, 700}, {0, 0, 900, 700}},
        SizeCase{{INT32_MAX - 5, INT32_MAX - 5, 0, 0}, {INT32_MAX - 5, INT32_MAX - 5, INT32_MAX, INT32_MAX}}})
  {
    ViewRect rect = c.in;
    EXPECT_EQ(view->checkSizeConstraint(&rect), kResultOk);
    EXPECT_EQ(rect.right, c.constrained.right);
    EXPECT_EQ(rect.bottom, c.constrained.bottom);
  }
  ViewRect empty{0, 0, 0, 0};
  EXPECT_EQ(view->onSize(&empty), kResultFalse);
  ViewRect small{0, 0, 500, 300};
  EXPECT_EQ(view->onSize(&small), kResultOk) << "before attached: the size it opens with";

  // A host without a run loop: the view opens, paints once, nothing hangs.
  auto* frame = new MTestHostPlugFrame(false, &m_window);
  view->setFrame(frame);
  ASSERT_EQ(view->attached(parent, kPlatformTypeX11EmbedWindowID), kResultOk);
  EXPECT_EQ(view->attached(parent, kPlatformTypeX11EmbedWindowID), kResultFalse) << "double attached";
  ExpectPainted(500, 300);
  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_EQ(view->removed(), kResultFalse);
  view->release();
  frame->release();
  host.Close();
}

TEST_F(TonveraEditor, HundredOpenCloseCyclesWhileAudioRuns)
{
  for (const int format : {2, 3})
  {
    SCOPED_TRACE(format == 2 ? "VST 2.4" : "VST 3");
    DrivenEditor editor(format, m_window);
    ASSERT_TRUE(editor.Load(format == 2 ? TONVERA_MODULE : TONVERA_VST3_BUNDLE));
    ASSERT_TRUE(editor.Host().Activate(44100.0, 256));
    MHostEditorTest::AudioThread audio(editor.Host());
    for (int cycle = 0; cycle < 100; ++cycle)
    {
      ASSERT_TRUE(editor.Open()) << cycle;
      editor.Run(2);
      editor.Close();
    }
    EXPECT_GT(audio.Stop(), 0);
    m_window.Sync();
    EXPECT_EQ(m_window.ChildCount(), 0);
    if (format == 3)
    {
      EXPECT_EQ(editor.Frame().EventHandlerCount(), 0);
    }
  }
}

// What the user sees follows the host: a parameter the host automates redraws its control, and
// the editor reopens showing what it showed when it closed. (The VST 3 view's redraw of a host
// value is checked in the run-loop test; the editor behind both interfaces is the same.)
TEST_F(TonveraEditor, HostAutomationRedrawsAndReopeningKeepsWhatTheEditorShows)
{
  MTestHostVst2 host;
  ASSERT_EQ(host.LoadModule(TONVERA_MODULE), MTestHostStatus::Ok) << host.LastError();
  ASSERT_TRUE(host.Activate(44100.0, 256));
  std::vector<float> silence(256, 0.0f);
  float* channels[2] = {silence.data(), silence.data()};
  const auto automate = [&](float value) {
    host.SetParameter(0, value);
    host.Process(channels, channels, 256);
    host.RunEditorIdle(400);
  };
  const auto reopen = [&] {
    host.CloseEditor();
    ASSERT_TRUE(host.OpenEditor(m_window.Handle()));
    host.RunEditorIdle(150);
  };
  const float original = host.GetParameter(0);
  host.Process(channels, channels, 256); // the indicator shows what the audio brought
  ASSERT_TRUE(host.OpenEditor(m_window.Handle()));
  host.RunEditorIdle(150);
  const MBitmap before = Screenshot();
  automate(original < 0.5f ? 0.9f : 0.1f);
  const MBitmap changed = Screenshot();
  EXPECT_GT(Differing(before, changed), 0) << "the control shows the host's value";
  reopen();
  EXPECT_EQ(Differing(changed, Screenshot()), 0) << "reopened as it was closed";
  automate(original);
  EXPECT_EQ(Differing(before, Screenshot()), 0) << "back where it started";
  host.CloseEditor();
}

// A size the plug-in asks for: the host resizes its window and the editor takes the size; a host
// that refuses leaves both as they were.
TEST_F(TonveraEditor, SizeRequestsOfThePluginResizeTheHostWindow)
{
  const Probe& probe = ProbeFunctions();
  ASSERT_NE(probe.resize, nullptr);
  MTestHostVst2 vst2;
  ASSERT_EQ(vst2.LoadModule(TONVERA_PROBE_MODULE), MTestHostStatus::Ok) << vst2.LastError();
  vst2.SetSizeWindowHandler([&](int width, int height) {
    m_window.Resize(width, height);
    return true;
  });
  void* effect = const_cast<Vst2::AEffect*>(vst2.Effect());
  ASSERT_TRUE(vst2.OpenEditor(m_window.Handle()));
  EXPECT_EQ(probe.resize(2, effect, 800, 520), 1);
  vst2.RunEditorIdle(60);
  ExpectPainted(800, 520);
  vst2.SetAcceptSizeWindow(false);
  EXPECT_EQ(probe.resize(2, effect, 740, 460), 0);
  vst2.RunEditorIdle(60);
  ExpectPainted(800, 520);
  vst2.CloseEditor();
  vst2.Close();

  DrivenEditor vst3(3, m_window);
  ASSERT_TRUE(vst3.Load());
  ASSERT_TRUE(vst3.Open());
  EXPECT_EQ(probe.resize(3, vst3.Instance(), 760, 480), 1);
  vst3.Run(60);
  EXPECT_EQ(vst3.Frame().ResizeRequestCount(), 1);
  ExpectPainted(760, 480);
}

// Live switched by the host while the editor is open: nothing is reported from inside the host's
// own parameter or process call; the editor's next idle tick (VST 2.4: initialDelay and ioChanged) or
// run-loop timer (VST 3: restartComponent with kLatencyChanged) tells the host, once.
TEST_F(TonveraEditor, LiveLatencyReachesTheHostFromTheEditorsTickOnce)
{
  // A block of silence after each change: the value reaches the effect with the next block.
  std::vector<float> silence(256, 0.0f), outLeft(256), outRight(256);
  float* inputs[2] = {silence.data(), silence.data()};
  float* outputs[2] = {outLeft.data(), outRight.data()};
  for (const int format : {2, 3})
  {
    SCOPED_TRACE(format == 2 ? "VST 2.4" : "VST 3");
    DrivenEditor editor(format, m_window);
    ASSERT_TRUE(editor.Load(format == 2 ? TONVERA_MODULE : TONVERA_VST3_BUNDLE));
    MTestHost& host = editor.Host();
    ASSERT_TRUE(host.Activate(44100.0, 256));
    ASSERT_TRUE(editor.Open());
    editor.Run(60);
    const auto reports = [&] {
      return format == 2 ? editor.Vst2().IoChangedCount() : editor.Vst3().RestartCount(Vst::kLatencyChanged);
    };
    const int before = reports();
    host.SetParameter(host.FindParameter("Live"), 1.0f);
    ASSERT_TRUE(host.Process(inputs, outputs, 256));
    EXPECT_EQ(reports(), before) << "reported inside the host's call";
    editor.Run(200);
    EXPECT_EQ(reports(), before + 1);
    EXPECT_EQ(host.LatencySamples(), 256);
  }
}

// A host that never idles the editor (or gives no run loop) while audio runs and the host
// automates: the refresh requests pile up nowhere and closing returns.
TEST_F(TonveraEditor, AHostThatNeverPumpsTheEditorGetsNoHang)
{
  MTestHostVst2 host;
  ASSERT_EQ(host.LoadModule(TONVERA_MODULE), MTestHostStatus::Ok) << host.LastError();
  ASSERT_TRUE(host.Activate(44100.0, 256));
  MHostEditorTest::AudioThread audio(host);
  ASSERT_TRUE(host.OpenEditor(m_window.Handle()));
  for (int i = 0; i < 50; ++i)
    host.SetParameter(0, static_cast<float>(i % 10) / 10.0f);
  std::this_thread::sleep_for(std::chrono::milliseconds(250)); // refresh requests nobody takes
  host.CloseEditor();
  ASSERT_TRUE(host.OpenEditor(m_window.Handle()));
  host.RunEditorIdle(60);
  ExpectPainted(kWidth, kHeight);
  host.CloseEditor();
  audio.Stop();
  host.Close();
}

// The user at the scale panel (XTest clicks at controls found in-process): a piano key toggles its
// note and the host gets the value inside one gesture; "Major" on root D enables D E F# G A B C#;
// Reset brings every note back. The piano shows what the host sees.
TEST_F(TonveraEditor, ClicksOnTheScalePanelReachTheNotesAndTheHost)
{
  const Probe& probe = ProbeFunctions();
  ASSERT_NE(probe.find, nullptr);
  MTestHostVst2 host;
  ASSERT_EQ(host.LoadModule(TONVERA_PROBE_MODULE), MTestHostStatus::Ok) << host.LastError();
  ASSERT_TRUE(host.OpenEditor(m_window.Handle()));
  host.RunEditorIdle(100);
  void* effect = const_cast<Vst2::AEffect*>(host.Effect());
  MEditorProbeControl control;
  const auto find = [&](const char* id, int note = -1) {
    return probe.find(2, effect, id, note, &control) == 1;
  };
  const auto click = [&](int x, int y) {
    ASSERT_TRUE(m_window.Click(control.x + x, control.y + y));
    host.RunEditorIdle(60);
  };
  // The enabled notes as the host sees them (names in slot order) and as the piano shows them.
  std::vector<int> slots;
  for (int i = 0; i < host.NumParameters(); ++i)
    if (host.ParameterName(i).starts_with("Scale - "))
      slots.push_back(i);
  ASSERT_EQ(slots.size(), 12u);
  const auto scale = [&] {
    std::string text;
    int shown = 0;
    for (std::size_t note = 0; note < slots.size(); ++note)
      if (host.GetParameter(slots[note]) > 0.5f)
      {
        text += (text.empty() ? "" : " ") + host.ParameterName(slots[note]).substr(8);
        shown |= 1 << note;
      }
    EXPECT_TRUE(find("piano"));
    EXPECT_EQ(control.state, shown) << "the piano shows " << text;
    return text;
  };
  const std::string chromatic = "C C# D D# E F F# G G# A A# B";
  EXPECT_EQ(scale(), chromatic);

  host.ClearRecords();
  ASSERT_TRUE(find("piano", control.first + 2));
  click(control.width / 2, control.height * 9 / 10);
  EXPECT_EQ(scale(), "C C# D# E F F# G G# A A# B");
  const std::string d = std::to_string(slots[2]);
  const std::string edits = MTestHostEditText(host.Edits());
  RecordProperty("piano_key_edits", edits);
  EXPECT_EQ(edits.rfind("B" + d + " ", 0), 0u) << edits;
  EXPECT_TRUE(edits.ends_with(" P" + d + "=0 E" + d)) << edits;

  for (int step = 0; step < 12 && find("ScaleType") && std::string(control.text) != "Major"; ++step)
    click(control.width - 5, control.height / 2); // the right arrow
  EXPECT_STREQ(control.text, "Major");
  ASSERT_TRUE(find("D"));
  click(control.width / 2, control.height / 2);
  EXPECT_EQ(scale(), "C# D E F# G A B");
  ASSERT_TRUE(find("Reset"));
  click(control.width / 2, control.height / 2);
  EXPECT_EQ(scale(), chromatic);
  host.CloseEditor();
}

// A tone 30 cents sharp of A4 through the plug-in: the indicator is given about +30 cents for the
// input and about 0 for the corrected output.
TEST_F(TonveraEditor, TheTuningIndicatorFollowsAToneThirtyCentsSharp)
{
  const Probe& probe = ProbeFunctions();
  ASSERT_NE(probe.tuning, nullptr);
  MTestHostVst2 host;
  ASSERT_EQ(host.LoadModule(TONVERA_PROBE_MODULE), MTestHostStatus::Ok) << host.LastError();
  ASSERT_TRUE(host.Activate(44100.0, 512));
  ASSERT_TRUE(host.OpenEditor(m_window.Handle()));
  std::vector<float> left(512), right(512), outLeft(512), outRight(512);
  float* inputs[2] = {left.data(), right.data()};
  float* outputs[2] = {outLeft.data(), outRight.data()};
  const double step = 2.0 * std::numbers::pi * 440.0 * std::pow(2.0, 30.0 / 1200.0) / 44100.0;
  double phase = 0.0;
  for (int block = 0; block < 172; ++block) // two seconds
  {
    for (std::size_t i = 0; i < left.size(); ++i, phase += step)
      left[i] = right[i] = static_cast<float>(0.3 * std::sin(phase));
    ASSERT_TRUE(host.Process(inputs, outputs, 512));
  }
  host.RunEditorIdle(60);
  std::int32_t chosen = -1, input = 0, output = 0;
  ASSERT_EQ(probe.tuning(2, const_cast<Vst2::AEffect*>(host.Effect()), &chosen, &input, &output), 1);
  RecordProperty("input_cents", input);
  RecordProperty("output_cents", output);
  EXPECT_EQ(chosen % 12, 9) << "an A";
  EXPECT_NEAR(input, 30, 5);
  EXPECT_NEAR(output, 0, 5);
  host.CloseEditor();
}

// A call into the plug-in that never returns (a nested loop waiting for a user) would hang the
// test: this ends the process with a message instead.
class Watchdog
{
public:
  explicit Watchdog(MTestHostCallTimer& timer)
      : m_thread([this, &timer] {
          while (!m_stop.load())
          {
            if (timer.RunningForMs() > 20000.0)
            {
              std::fprintf(stderr, "A call into the plug-in has not returned for 20 s: a nested loop?\n");
              std::abort();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
          }
        })
  {}
  ~Watchdog()
  {
    m_stop = true;
    m_thread.join();
  }

private:
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TONVERA_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(TONVERA_SANITIZED)
// The sanitizer builds (unoptimised, every access checked) paint several times slower.
constexpr double kLongestCallCpuMs = 1500.0;
#else
constexpr double kLongestCallCpuMs = 100.0;
#endif

// The user clicks every button of the editor, and every button of each sheet that opens, while the
// host's loop keeps running: each sheet opens inside the editor, takes the clicks and closes; no
// call into the plug-in holds the host's loop (no modal loop, nothing near 100 ms of work).
TEST_F(TonveraEditor, EveryButtonOpensItsSheetInsideTheEditorWhileTheHostKeepsItsLoop)
{
  const Probe& probe = ProbeFunctions();
  ASSERT_NE(probe.sheets, nullptr);
  ASSERT_NE(probe.buttons, nullptr);
  const OwnSettingsFolder settings("buttons");
  // What a user does inside each sheet before leaving it; questions stacked on top are dismissed.
  const std::map<std::string, std::vector<const char*>> inside = {
      {"Presets",
       {"PresetLoad", "PresetSave", "PresetReplace", "PresetRename", "PresetDelete", "PresetNewFolder",
        "PresetExport", "PresetImport", "PresetFactory"}},
      {"General settings", {"SetDefaultSettings", "LoadDefaultSettings", "Panic"}},
      {"ABCD morphing", {"MorphPad"}},
  };
  for (const int format : {2, 3})
  {
    SCOPED_TRACE(format == 2 ? "VST 2.4" : "VST 3");
    DrivenEditor editor(format, m_window);
    ASSERT_TRUE(editor.Load());
    ASSERT_TRUE(editor.Open());
    editor.Run(150);
    const std::vector<std::string> buttons = editor.Buttons();
    ASSERT_GE(buttons.size(), 20u);
    editor.Timer().Reset();
    Watchdog watchdog(editor.Timer());
    std::set<std::string> seen;
    for (const std::string& id : buttons)
    {
      ASSERT_TRUE(editor.Click(id.c_str())) << id;
      for (int round = 0; round < 6 && editor.Sheets().count > 0; ++round)
      {
        const std::string title = editor.Sheets().title;
        seen.insert(title);
        if (auto script = inside.find(title); script != inside.end())
          for (const char* inner : script->second)
          {
            const int before = editor.Sheets().count;
            if (!editor.Click(inner))
              continue;
            if (editor.Sheets().count > before)
            {
              seen.insert(editor.Sheets().title);
              EXPECT_TRUE(Dismiss(editor)) << title << " / " << inner;
              EXPECT_EQ(editor.Sheets().count, before) << title << " / " << inner;
            }
          }
        EXPECT_TRUE(Dismiss(editor)) << title;
      }
      EXPECT_EQ(editor.Sheets().count, 0) << "after " << id;
    }
    for (const char* title :
         {"Presets", "Save preset", "Rename", "Export preset directory", "Import preset directory",
          "General settings", "Load default settings", "ABCD morphing", "AGC"})
      EXPECT_EQ(seen.count(title), 1u) << title << " never showed";
    EXPECT_EQ(editor.Sheets().modalLoops, 0) << "no modal loop, ever";
    RecordProperty(format == 2 ? "vst2_longest_call_wall_ms" : "vst3_longest_call_wall_ms",
                   std::to_string(editor.Timer().LongestWallMs()));
    RecordProperty(format == 2 ? "vst2_longest_call_cpu_ms" : "vst3_longest_call_cpu_ms",
                   std::to_string(editor.Timer().LongestCpuMs()));
    EXPECT_LT(editor.Timer().LongestCpuMs(), kLongestCallCpuMs)
        << editor.Timer().Calls() << " calls, longest " << editor.Timer().LongestWallMs() << " ms wall";
    editor.Close();
  }
}

std::string FileText(const std::string& path)
{
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The host closes the editor while sheets are open (one stacked on another): they end without
// their answers, everything is freed once (the sanitizer build checks), the files stay as they
// were, and the editor opens again without them.
TEST_F(TonveraEditor, ClosingTheEditorWithSheetsOpenLeavesTheFilesAsTheyWere)
{
  ASSERT_NE(ProbeFunctions().sheets, nullptr);
  const OwnSettingsFolder settings("closing");
  const std::string folder = settings.Folder() + "/Tonvera/";
  const struct
  {
    const char* opens;
    const char* inside;
    const char* stacked; // the title of the sheet on top when the editor closes
  } cases[] = {{"Presets", "PresetSave", "Save preset"},
               {"Presets", "PresetDelete", "Presets"},
               {"Settings", "LoadDefaultSettings", "Load default settings"},
               {"Morph", nullptr, "ABCD morphing"},
               {"SetAGC", nullptr, "AGC"}};
  for (const int format : {2, 3})
    for (const auto& c : cases)
    {
      SCOPED_TRACE(std::string(format == 2 ? "VST 2.4: " : "VST 3: ") + c.opens);
      DrivenEditor editor(format, m_window);
      ASSERT_TRUE(editor.Load());
      ASSERT_TRUE(editor.Open());
      editor.Run(100);
      ASSERT_TRUE(editor.Click(c.opens));
      if (format == 2 && &c == &cases[0])
      {
        // What the user sees: the preset window inside the editor, the editor dimmed behind it.
        // The editor's help line below the panel shows whatever the pointer passed over last
        // before the click reached the editor, which depends on timing (a slow sanitizer build
        // shows the idle hint): those rows are left out.
        MBitmap picture = Screenshot();
        for (std::int32_t y = std::max(0, picture.Height() - kHelpLineRows); y < picture.Height(); ++y)
          std::fill_n(picture.Row(y), picture.Width(), 0u);
        EXPECT_TRUE(MatchesGolden(picture, "hosteditor_presets_sheet"));
      }
      if (c.inside != nullptr)
      {
        editor.Click("PresetNewFolder"); // something to delete (written now, before the snapshot)
        ASSERT_TRUE(editor.Click(c.inside));
      }
      const std::string presets = FileText(folder + "Presets/presets.xml");
      const std::string settings = FileText(folder + "GeneralSettings.xml");
      const std::string configuration = FileText(folder + "GlobalConfiguration.xml");
      ASSERT_GE(editor.Sheets().count, 1);
      EXPECT_STREQ(editor.Sheets().title, c.stacked);
      editor.Close();
      m_window.Sync();
      EXPECT_EQ(m_window.ChildCount(), 0);
      EXPECT_EQ(FileText(folder + "Presets/presets.xml"), presets);
      EXPECT_EQ(FileText(folder + "GeneralSettings.xml"), settings);
      EXPECT_EQ(FileText(folder + "GlobalConfiguration.xml"), configuration);
      ASSERT_TRUE(editor.Open());
      editor.Run(60);
      EXPECT_EQ(editor.Sheets().count, 0) << "a reopened editor starts without sheets";
      EXPECT_EQ(editor.Sheets().modalLoops, 0);
      editor.Close();
    }
}

// A preset name with spaces typed through the host's key calls (no keyboard of the editor's own):
// every key reaches the name field, Return saves it.
TEST_F(TonveraEditor, APresetNameWithSpacesTypedThroughTheHostsKeyCallsIsSaved)
{
  ASSERT_NE(ProbeFunctions().sheets, nullptr);
  for (const int format : {2, 3})
  {
    SCOPED_TRACE(format == 2 ? "VST 2.4" : "VST 3");
    const OwnSettingsFolder settings(format == 2 ? "typing2" : "typing3");
    DrivenEditor editor(format, m_window);
    ASSERT_TRUE(editor.Load());
    ASSERT_TRUE(editor.Open());
    editor.Run(100);
    ASSERT_TRUE(editor.Click("Presets"));
    ASSERT_TRUE(editor.Click("PresetSave"));
    ASSERT_STREQ(editor.Sheets().title, "Save preset");
    const std::string name = "My Vox Take";
    EXPECT_EQ(editor.Type(name), static_cast<int>(name.size()) + 1) << "every key taken";
    EXPECT_STREQ(editor.Sheets().title, "Presets") << "Return answered the question";
    const std::string presets = FileText(settings.Folder() + "/Tonvera/Presets/presets.xml");
    EXPECT_NE(presets.find(name + "\""), std::string::npos) << presets.substr(0, 400);
    editor.Close();
  }
}

// The host's content scale (VST 3) zooms the editor: re-rasterised text and scaled art at 150 %,
// the size the host reads before attached, and a resizeView when the scale changes while open.
TEST_F(TonveraEditor, Vst3ContentScaleZoomsTheEditorAndTellsTheHostItsSize)
{
  DrivenEditor editor(3, m_window);
  ASSERT_TRUE(editor.Load(TONVERA_VST3_BUNDLE));
  IPlugView* view = editor.MakeView();
  ASSERT_NE(view, nullptr);
  MTestHostPlugFrame* frame = &editor.Frame();
  void* object = nullptr;
  ASSERT_EQ(view->queryInterface(IPlugViewContentScaleSupport::iid.data, &object), kResultOk);
  auto* scaling = static_cast<IPlugViewContentScaleSupport*>(object);
  EXPECT_EQ(scaling->setContentScaleFactor(0.0f), kInvalidArgument);
  EXPECT_EQ(scaling->setContentScaleFactor(1.5f), kResultTrue);
  ViewRect size{};
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), kWidth * 3 / 2);
  EXPECT_EQ(size.getHeight(), (kHeight * 3 + 1) / 2);
  m_window.Resize(size.getWidth(), size.getHeight());
  ASSERT_EQ(view->attached(reinterpret_cast<void*>(m_window.Handle()), kPlatformTypeX11EmbedWindowID),
            kResultOk);
  frame->RunFor(200);
  ExpectPainted(kWidth * 3 / 2, (kHeight * 3 + 1) / 2);
  EXPECT_TRUE(MatchesGolden(Screenshot(), "hosteditor_vst3_150"));
  EXPECT_EQ(frame->ResizeRequestCount(), 0) << "the host already had the zoomed size";

  // Back to 100 % while open: the editor asks for its size and the host's onSize follows.
  EXPECT_EQ(scaling->setContentScaleFactor(1.0f), kResultTrue);
  frame->RunFor(100);
  EXPECT_EQ(frame->ResizeRequestCount(), 1);
  ExpectPainted(kWidth, kHeight);
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), kWidth);

  scaling->release();
  EXPECT_EQ(view->removed(), kResultOk);
}

// "Zoom" in the general settings overrides the automatic choice: the VST 2.4 host reads the
// doubled rectangle before the editor opens, and the editor draws at 200 %.
TEST_F(TonveraEditor, ZoomSettingOpensTheVst2EditorAtTwoHundredPercent)
{
  const OwnSettingsFolder settings("zoom");
  std::filesystem::create_directories(settings.Folder() + "/Tonvera");
  std::ofstream(settings.Folder() + "/Tonvera/GeneralSettings.xml")
      << "<?xml version=\"1.0\" encoding=\"utf-8\"?><GeneralSettings Zoom=\"200\">"
         "<StyleConfiguration Style=\"Default\"/></GeneralSettings>";
  MTestHostVst2 host;
  ASSERT_EQ(host.LoadModule(TONVERA_MODULE), MTestHostStatus::Ok) << host.LastError();
  ASSERT_TRUE(host.Open());
  int width = 0;
  int height = 0;
  ASSERT_TRUE(host.EditorRect(width, height));
  EXPECT_EQ(width, 2 * kWidth);
  EXPECT_EQ(height, 2 * kHeight);
  m_window.Resize(width, height);
  ASSERT_TRUE(host.OpenEditor(m_window.Handle()));
  for (int i = 0; i < 5; ++i)
    host.IdleEditor();
  ExpectPainted(2 * kWidth, 2 * kHeight);
  EXPECT_TRUE(MatchesGolden(Screenshot(), "hosteditor_vst2_200"));
  host.CloseEditor();
  host.Close();
}

// The user chooses the style and a colour in one editor's settings while another editor (the other
// interface, in a window of its own) is open: both redraw in it at once, the choice is stored, and
// "Reset colours" brings the colours back. A settings folder without a choice shows "Silver"; a
// choice written by another process reaches the open editors too.
TEST_F(TonveraEditor, StyleAndColoursChosenInOneEditorRedrawEveryOpenEditorAndAreStored)
{
  ASSERT_NE(ProbeFunctions().sheets, nullptr);
  const OwnSettingsFolder settings("style", OwnSettingsFolder::Style::Fresh);
  const std::string file = settings.Folder() + "/Tonvera/GeneralSettings.xml";
  MTestHostWindow otherWindow;
  std::string error;
  ASSERT_TRUE(otherWindow.Open(Display(), 800, 600, error)) << error;
  DrivenEditor first(2, m_window), second(3, otherWindow);
  ASSERT_TRUE(first.Load());
  ASSERT_TRUE(second.Load());
  ASSERT_TRUE(first.Open());
  ASSERT_TRUE(second.Open());
  // The windows lie on one another: the one the user clicks or the test reads goes on top first.
  // (An uncovered editor copies its kept picture to the screen; only an invalidated one paints
  // anew.)
  const auto settle = [&] {
    for (int round = 0; round < 3; ++round)
    {
      first.Run(60);
      second.Run(60);
    }
  };
  const auto onTop = [&](MTestHostWindow& window) {
    window.Raise();
    window.Sync();
    settle();
  };
  onTop(otherWindow);
  EXPECT_TRUE(MatchesGolden(MHostEditorTest::CaptureChild(otherWindow), "hosteditor_style_silver"));

  // "Default" (the left arrow of the style menu) in the first editor's settings: the second,
  // untouched, shows it as the first does after the settings closed.
  onTop(m_window);
  ASSERT_TRUE(first.Click("Settings"));
  EXPECT_NE(FileText(file).find("Style=\"Silver\""), std::string::npos) << "the fresh item is written";
  ASSERT_TRUE(first.ClickAt("StyleMenu", 0.03, 0.5));
  ASSERT_TRUE(Dismiss(first));
  settle();
  EXPECT_NE(FileText(file).find("Style=\"Default\""), std::string::npos);
  EXPECT_TRUE(MatchesGolden(Screenshot(), "hosteditor_vst2"));
  onTop(otherWindow);
  EXPECT_TRUE(MatchesGolden(MHostEditorTest::CaptureChild(otherWindow), "hosteditor_vst3"));

  // A warm surface colour as light as the style's own: orange from the hue strip (8 % down), then
  // pale and bright in the field (a quarter of the saturation, 4 % below full brightness).
  onTop(m_window);
  ASSERT_TRUE(first.Click("Settings"));
  ASSERT_TRUE(first.Click("MainColor0"));
  ASSERT_EQ(first.Sheets().count, 2);
  ASSERT_TRUE(first.ClickAt("ColorField", 0.98, 0.08));
  ASSERT_TRUE(first.ClickAt("ColorField", 0.25, 0.04));
  ASSERT_TRUE(first.Click("DialogOk"));
  ASSERT_TRUE(Dismiss(first));
  settle();
  EXPECT_EQ(FileText(file).find("maincolor0=\"AEDCF8D8\""), std::string::npos) << "the colour is stored";
  const MBitmap tintedFirst = Screenshot();
  onTop(otherWindow);
  const MBitmap tinted = MHostEditorTest::CaptureChild(otherWindow);
  EXPECT_TRUE(MatchesGolden(tinted, "hosteditor_style_tinted"));
  // The same picture but for the format in the header and the help line under the pointer.
  EXPECT_LT(Differing(tintedFirst, tinted), kWidth * (kHelpLineRows + 10)) << "both editors show the tint";

  // A new editor opens in the stored choice; "Reset colours" gives the style's own colours back.
  second.Close();
  ASSERT_TRUE(second.Open());
  settle();
  EXPECT_EQ(Differing(MHostEditorTest::CaptureChild(otherWindow), tinted), 0);
  onTop(m_window);
  ASSERT_TRUE(first.Click("Settings"));
  ASSERT_TRUE(first.Click("ResetColors"));
  ASSERT_TRUE(Dismiss(first));
  EXPECT_NE(FileText(file).find("maincolor0=\"AEDCF8D8\""), std::string::npos);
  onTop(otherWindow);
  EXPECT_TRUE(MatchesGolden(MHostEditorTest::CaptureChild(otherWindow), "hosteditor_vst3"));
  // Another process (a host that runs each plug-in in a process of its own) chooses "Silver": the
  // open editors follow within a second or so.
  std::ofstream(file) << "<GeneralSettings><StyleConfiguration Style=\"Silver\"/></GeneralSettings>\n";
  for (int round = 0; round < 8; ++round)
    settle();
  EXPECT_TRUE(MatchesGolden(MHostEditorTest::CaptureChild(otherWindow), "hosteditor_style_silver"));
  EXPECT_EQ(first.Sheets().modalLoops, 0);
  first.Close();
  second.Close();
}
} // namespace
