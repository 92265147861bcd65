// The editor's size as hosts see it through repeated opens and resizes, on a private Xvfb: the
// rectangle the host sizes its window by, the embedded window's size and its pixels.

#include "tests/gui/support/MSnapshot.h"
#include "tests/hosteditor/MHostEditorDisplay.h"
#include "tests/support/MPrivateSettingsFolder.h"
#include "tools/host/MSharedLibrary.h"
#include "tools/host/MTestHostPlugFrame.h"
#include "tools/host/MTestHostVst2.h"
#include "tools/host/MTestHostVst3.h"
#include "tools/host/MTestHostWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using namespace Steinberg;

namespace
{
constexpr int kWidth = 720;
constexpr int kHeight = 522;
constexpr int kReopens = 5;

using MHostEditorTest::Display;

class TonveraEditorSize : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (Display().empty())
      GTEST_SKIP() << "Xvfb is not available";
    MTestSupport::UsePrivateSettingsFolder("tonvera-editorsize-settings");
    MHostEditorTest::KeepLoaded(TONVERA_MODULE);
    std::string error;
    ASSERT_TRUE(m_window.Open(Display(), 1, 1, error)) << error;
  }

  // The embedded editor as the host sees it on screen.
  MBitmap Screenshot() { return MHostEditorTest::CaptureChild(m_window); }

  void ExpectChildSize(int width, int height, const std::string& when)
  {
    int childWidth = 0;
    int childHeight = 0;
    ASSERT_TRUE(m_window.ChildSize(childWidth, childHeight)) << when;
    EXPECT_EQ(childWidth, width) << when;
    EXPECT_EQ(childHeight, height) << when;
  }

  // The same picture as `first`: a shifted or bordered one differs in most of its pixels.
  void ExpectSamePicture(const MBitmap& first, const std::string& when)
  {
    const MBitmap now = Screenshot();
    const long long differing = CountDifferingPixels(first, now, 8);
    EXPECT_GE(differing, 0) << when << ": the sizes differ";
    EXPECT_LE(differing, 200) << when;
  }

  MTestHostWindow m_window;
};

// A DAW sizes its window by effEditGetRect before and after effEditOpen, at every open, and its
// frame fits the embedded window to its own area, a few pixels larger (as a socket widget does);
// the rectangle stays the editor's own size, so the host's window does not grow from open to open,
// and the picture after each reopen is that of the first open.
TEST_F(TonveraEditorSize, Vst2EditorKeepsOneSizeAndPictureThroughFiveReopens)
{
  MTestHostVst2 host;
  ASSERT_EQ(host.LoadModule(TONVERA_MODULE), MTestHostStatus::Ok) << host.LastError();
  ASSERT_TRUE(host.Open());
  ASSERT_TRUE(host.HasEditor());
  EXPECT_FALSE(host.OpenEditor(0)) << "a null parent opens nothing";
  MBitmap first;
  for (int open = 0; open <= kReopens; ++open)
  {
    const std::string when = "open " + std::to_string(open);
    int width = 0;
    int height = 0;
    ASSERT_TRUE(host.EditorRect(width, height));
    EXPECT_EQ(width, kWidth) << when << ", before effEditOpen";
    EXPECT_EQ(height, kHeight) << when << ", before effEditOpen";
    m_window.Resize(width, height);
    ASSERT_TRUE(host.OpenEditor(m_window.Handle())) << when;
    ASSERT_TRUE(host.EditorRect(width, height));
    EXPECT_EQ(width, kWidth) << when << ", after effEditOpen";
    EXPECT_EQ(height, kHeight) << when << ", after effEditOpen";
    m_window.Resize(width, height);
    host.RunEditorIdle(120, 20);
    m_window.Sync();
    ExpectChildSize(kWidth, kHeight, when);
    if (open == 0)
      first = Screenshot();
    else
      ExpectSamePicture(first, when);
    ASSERT_TRUE(m_window.ResizeChild(width, height + 6));
    host.RunEditorIdle(60, 20);
    ASSERT_TRUE(host.EditorRect(width, height));
    EXPECT_EQ(width, kWidth) << when << ", after the host's frame resized the window";
    EXPECT_EQ(height, kHeight) << when << ", after the host's frame resized the window";
    host.CloseEditor();
    host.RunEditorIdle(40, 20); // idle after close does nothing
    m_window.Sync();
    EXPECT_EQ(m_window.ChildCount(), 0) << when;
  }
  host.Close();
}

// The host resizes the view (IPlugView::onSize) to 900 x 700 and back: the editor fills its window
// again exactly as at the first open, with no inset; the view reports each size it was given.
TEST_F(TonveraEditorSize, Vst3ViewResizedThereAndBackLooksAsAtTheFirstOpen)
{
  MTestHostVst3 host;
  ASSERT_EQ(host.LoadModule(TONVERA_VST3_BUNDLE), MTestHostStatus::Ok) << host.LastError();
  auto* frame = new MTestHostPlugFrame(true, &m_window);
  MBitmap first;
  for (int open = 0; open < 2; ++open)
  {
    const std::string when = "open " + std::to_string(open);
    IPlugView* view = host.Controller()->createView(Vst::ViewType::kEditor);
    ASSERT_NE(view, nullptr);
    view->setFrame(frame);
    ViewRect size{};
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.getWidth(), kWidth) << when;
    EXPECT_EQ(size.getHeight(), kHeight) << when;
    m_window.Resize(size.getWidth(), size.getHeight());
    ASSERT_EQ(view->attached(reinterpret_cast<void*>(m_window.Handle()), kPlatformTypeX11EmbedWindowID),
              kResultOk);
    frame->RunFor(120);
    ExpectChildSize(kWidth, kHeight, when);
    if (open == 0)
      first = Screenshot();
    else
      ExpectSamePicture(first, when + " (reopened)");

    for (const ViewRect& next : {ViewRect{0, 0, 900, 700}, ViewRect{0, 0, kWidth, kHeight}})
    {
      ViewRect asked = next;
      EXPECT_EQ(frame->resizeView(view, &asked), kResultOk);
      frame->RunFor(120);
      ASSERT_EQ(view->getSize(&size), kResultOk);
      EXPECT_EQ(size.getWidth(), next.getWidth()) << when;
      EXPECT_EQ(size.getHeight(), next.getHeight()) << when;
      ExpectChildSize(next.getWidth(), next.getHeight(), when);
    }
    ExpectSamePicture(first, when + ", after 900 x 700 and back");
    EXPECT_EQ(view->removed(), kResultOk);
    view->setFrame(nullptr);
    view->release();
  }
  frame->release();
  host.Close();
}
} // namespace
