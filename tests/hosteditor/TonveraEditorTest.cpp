// The editor of the built module inside a parent window the test host made, on a private Xvfb.

#include "tests/gui/x11/MXvfbServer.h"
#include "tools/host/MTestHostPlugFrame.h"
#include "tools/host/MTestHostVst2.h"
#include "tools/host/MTestHostVst3.h"
#include "tools/host/MTestHostWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <thread>
#include <vector>

using namespace Steinberg;

namespace
{
constexpr int kWidth = 720;
constexpr int kHeight = 440;

// One X server for the whole program; the module's window system connects through $DISPLAY. The
// server ends with its last client, so a connection of our own keeps it up between tests.
const std::string& Display()
{
  static MXvfbServer server;
  static MTestHostWindow keeper;
  static std::string name = [] {
    std::string error;
    if (!server.Start(error) || !keeper.Open(server.GetDisplayName(), 1, 1, error))
      return std::string();
    setenv("DISPLAY", server.GetDisplayName().c_str(), 1);
    return server.GetDisplayName();
  }();
  return name;
}

class TonveraEditor : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (Display().empty())
      GTEST_SKIP() << "Xvfb is not available";
    std::string error;
    ASSERT_TRUE(m_window.Open(Display(), 800, 600, error)) << error;
  }

  // Audio on its own thread, as a DAW runs it while the user opens and closes the editor.
  void StartAudio(MTestHost& host)
  {
    ASSERT_TRUE(host.Activate(44100.0, 256));
    m_audio = std::thread([&host, this] {
      std::vector<float> left(256, 0.1f), right(256, 0.1f), outLeft(256), outRight(256);
      float* inputs[2] = {left.data(), right.data()};
      float* outputs[2] = {outLeft.data(), outRight.data()};
      while (!m_stop.load())
      {
        host.Process(inputs, outputs, 256);
        m_blocks.fetch_add(1);
      }
    });
  }
  void StopAudio()
  {
    m_stop = true;
    if (m_audio.joinable())
      m_audio.join();
  }
  void TearDown() override { StopAudio(); }

  void ExpectPainted(int width, int height)
  {
    int childWidth = 0;
    int childHeight = 0;
    ASSERT_TRUE(m_window.ChildSize(childWidth, childHeight));
    EXPECT_EQ(childWidth, width);
    EXPECT_EQ(childHeight, height);
    const MTestHostWindow::Picture picture = m_window.Capture();
    // The charcoal background covers the editor's area; the texts add more colours.
    EXPECT_GE(picture.nonBackground, width * height * 9 / 10);
    EXPECT_GE(picture.distinctColours, 4);
  }

  MTestHostWindow m_window;
  std::thread m_audio;
  std::atomic<bool> m_stop{false};
  std::atomic<long> m_blocks{0};
};

IPlugView* CreateView(MTestHostVst3& host, const char* name = Vst::ViewType::kEditor)
{
  return host.Controller()->createView(name);
}

TEST_F(TonveraEditor, Vst2EditorOpensAtItsSizePaintsOnIdleAndCloses)
{
  MTestHostVst2 host;
  ASSERT_EQ(host.LoadModule(TONVERA_MODULE), MTestHostStatus::Ok) << host.LastError();
  ASSERT_TRUE(host.Open());
  ASSERT_TRUE(host.HasEditor());
  int width = 0;
  int height = 0;
  ASSERT_TRUE(host.EditorRect(width, height));
  EXPECT_EQ(width, kWidth);
  EXPECT_EQ(height, kHeight);
  EXPECT_FALSE(host.OpenEditor(0)) << "a null parent opens nothing";

  ASSERT_TRUE(host.OpenEditor(m_window.Handle()));
  for (int i = 0; i < 5; ++i)
    host.IdleEditor();
  ExpectPainted(kWidth, kHeight);
  ASSERT_TRUE(host.EditorRect(width, height));
  EXPECT_EQ(width, kWidth) << "the rectangle stays the editor's size while open";

  host.CloseEditor();
  m_window.Sync();
  EXPECT_EQ(m_window.ChildCount(), 0);
  host.IdleEditor(); // idle after close does nothing
  host.Close();
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
  MTestHostVst3 host;
  ASSERT_EQ(host.LoadModule(TONVERA_VST3_BUNDLE), MTestHostStatus::Ok) << host.LastError();
  EXPECT_EQ(CreateView(host, "other"), nullptr);
  IPlugView* view = CreateView(host);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(CreateView(host), nullptr) << "one view at a time";
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
  auto* frame = new MTestHostPlugFrame(true, &m_window);
  ASSERT_EQ(view->setFrame(frame), kResultOk);
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

  // The host resizes its window and the view follows (onSize).
  ViewRect bigger{0, 0, 800, 500};
  EXPECT_EQ(frame->resizeView(view, &bigger), kResultOk);
  frame->RunFor(100);
  ExpectPainted(800, 500);
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.getWidth(), 800);

  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_EQ(frame->EventHandlerCount(), 0);
  EXPECT_EQ(frame->TimerCount(), 0);
  m_window.Sync();
  EXPECT_EQ(m_window.ChildCount(), 0);
  view->setFrame(nullptr);
  view->release();
  frame->release();
  host.Close();
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
  MTestHostVst2 vst2;
  ASSERT_EQ(vst2.LoadModule(TONVERA_MODULE), MTestHostStatus::Ok) << vst2.LastError();
  StartAudio(vst2);
  for (int cycle = 0; cycle < 100; ++cycle)
  {
    ASSERT_TRUE(vst2.OpenEditor(m_window.Handle())) << cycle;
    vst2.IdleEditor();
    vst2.CloseEditor();
  }
  StopAudio();
  vst2.Close();

  MTestHostVst3 vst3;
  ASSERT_EQ(vst3.LoadModule(TONVERA_VST3_BUNDLE), MTestHostStatus::Ok) << vst3.LastError();
  m_stop = false;
  StartAudio(vst3);
  auto* frame = new MTestHostPlugFrame(true, &m_window);
  for (int cycle = 0; cycle < 100; ++cycle)
  {
    IPlugView* view = CreateView(vst3);
    ASSERT_NE(view, nullptr) << cycle;
    view->setFrame(frame);
    ASSERT_EQ(view->attached(reinterpret_cast<void*>(m_window.Handle()), kPlatformTypeX11EmbedWindowID),
              kResultOk);
    frame->RunFor(2);
    ASSERT_EQ(view->removed(), kResultOk);
    view->release();
  }
  StopAudio();
  EXPECT_GT(m_blocks.load(), 0);
  m_window.Sync();
  EXPECT_EQ(m_window.ChildCount(), 0);
  EXPECT_EQ(frame->EventHandlerCount(), 0);
  frame->release();
  vst3.Close();
}
} // namespace
