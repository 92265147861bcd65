// The editor of the built Windows module inside a Win32 parent window of the test host, under
// Wine: VST 2.4 (effEditOpen with the HWND, effEditIdle as the clock) and VST 3 (the "HWND" view
// idling from its own timer). The pictures must match those the Linux host draws.

#include "gui/MBitmap.h"
#include "sdk/vst3/VST3View.h"
#include "tests/gui/support/MSnapshot.h"
#include "tools/host/MTestHostVst2.h"
#include "tools/host/MTestHostVst3.h"
#include "tools/host/MTestHostWin32Window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <process.h>
#include <string>
#include <vector>

using namespace Steinberg;

namespace
{
constexpr int kWidth = 720;
constexpr int kHeight = 522;

// The settings folder of this process (APPDATA) holds the user's choice of the "Default" style, as
// the Linux editor tests' folders do: a folder without a choice draws "Silver", the goldens show
// "Default". Made before any test loads the module; removed when the process ends.
struct DefaultStyleSettings
{
  DefaultStyleSettings()
  {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    std::filesystem::create_directories(folder / "Tonvera", error);
    std::ofstream(folder / "Tonvera" / "GeneralSettings.xml")
        << "<GeneralSettings><StyleConfiguration Style=\"Default\"/></GeneralSettings>\n";
    _putenv_s("APPDATA", folder.string().c_str());
  }
  ~DefaultStyleSettings()
  {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
  }
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("tonvera-win32-editor-" + std::to_string(_getpid()));
} const defaultStyleSettings;

// The child the plug-in put into `parent`, as the screen shows it.
MBitmap Screenshot(const MTestHostWin32Window& parent)
{
  std::vector<std::uint32_t> pixels;
  int width = 0;
  int height = 0;
  if (!parent.CaptureChild(pixels, width, height))
    return MBitmap();
  MBitmap bitmap(width, height);
  std::copy(pixels.begin(), pixels.end(), bitmap.Pixels());
  return bitmap;
}

void ExpectEditorChild(const MTestHostWin32Window& parent, int width, int height)
{
  std::string className;
  int childWidth = 0;
  int childHeight = 0;
  ASSERT_TRUE(parent.Child(className, childWidth, childHeight));
  EXPECT_EQ(className, "MWindow");
  EXPECT_EQ(childWidth, width);
  EXPECT_EQ(childHeight, height);
}

std::unique_ptr<MTestHostWin32Window> OpenParent()
{
  auto window = std::make_unique<MTestHostWin32Window>();
  // The pointer rests outside the window: over a control it would change the help line.
  window->ParkPointer(1020, 760);
  std::string error;
  EXPECT_TRUE(window->Open(800, 600, error)) << error;
  return window;
}

struct Vst2Editor
{
  MTestHostVst2 host;
  std::unique_ptr<MTestHostWin32Window> parent = OpenParent();

  bool Open()
  {
    return host.LoadModule(TONVERA_MODULE) == MTestHostStatus::Ok && host.Open() &&
           host.OpenEditor(parent->Handle());
  }
  void Idle(int milliseconds)
  {
    parent->Pump(milliseconds, [this] { host.IdleEditor(); });
  }
};
} // namespace

TEST(TonveraWin32Editor, Vst2EditorPaintsInTheHostWindowClosesAndReopens)
{
  Vst2Editor editor;
  ASSERT_TRUE(editor.Open()) << editor.host.LastError();
  EXPECT_FALSE(editor.host.OpenEditor(0)) << "a null parent opens nothing";
  editor.Idle(300);
  ExpectEditorChild(*editor.parent, kWidth, kHeight);
  EXPECT_TRUE(MatchesGolden(Screenshot(*editor.parent), "hosteditor_vst2"));

  for (int round = 0; round < 2; ++round)
  {
    editor.host.CloseEditor();
    editor.Idle(50);
    EXPECT_EQ(editor.parent->ChildCount(), 0) << "round " << round;
    ASSERT_TRUE(editor.host.OpenEditor(editor.parent->Handle()));
    editor.Idle(200);
    EXPECT_EQ(editor.parent->ChildCount(), 1);
    EXPECT_TRUE(MatchesGolden(Screenshot(*editor.parent), "hosteditor_vst2")) << "round " << round;
  }
  // A host that destroys its window before it closes the editor.
  editor.parent->Close();
  editor.Idle(30);
  editor.host.CloseEditor();
  auto other = OpenParent();
  ASSERT_TRUE(editor.host.OpenEditor(other->Handle()));
  other->Pump(100, [&] { editor.host.IdleEditor(); });
  EXPECT_EQ(other->ChildCount(), 1);
  editor.host.CloseEditor();
  editor.host.Close();
}

TEST(TonveraWin32Editor, Vst3ViewTakesTheHwndIdlesOnItsTimerAndDetaches)
{
  MTestHostVst3 host;
  ASSERT_EQ(host.LoadModule(TONVERA_VST3_BUNDLE), MTestHostStatus::Ok) << host.LastError();
  auto parent = OpenParent();
  IPlugView* view = host.Controller()->createView(Vst::ViewType::kEditor);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultFalse);
  void* hwnd = reinterpret_cast<void*>(parent->Handle());
  EXPECT_EQ(view->attached(hwnd, kPlatformTypeX11EmbedWindowID), kResultFalse);
  EXPECT_EQ(view->attached(reinterpret_cast<void*>(std::uintptr_t(0x1234)), kPlatformTypeHWND), kResultFalse)
      << "a handle that names no window";

  for (int round = 0; round < 2; ++round)
  {
    ASSERT_EQ(view->attached(hwnd, kPlatformTypeHWND), kResultOk) << "round " << round;
    EXPECT_EQ(view->attached(hwnd, kPlatformTypeHWND), kResultFalse) << "double attached";
    parent->Pump(300); // no idle of the host's: the view's own timer drives it
    ExpectEditorChild(*parent, kWidth, kHeight);
    EXPECT_TRUE(MatchesGolden(Screenshot(*parent), "hosteditor_vst3")) << "round " << round;
    EXPECT_EQ(view->removed(), kResultOk);
    parent->Pump(30);
    EXPECT_EQ(parent->ChildCount(), 0);
  }
  view->release();
  host.Close();
}

TEST(TonveraWin32Editor, TwoEditorsAtOnceThenAThirdAfterBothClosed)
{
  Vst2Editor first;
  Vst2Editor second;
  ASSERT_TRUE(first.Open()) << first.host.LastError();
  ASSERT_TRUE(second.Open()) << second.host.LastError();
  first.Idle(100);
  second.Idle(200);
  EXPECT_TRUE(MatchesGolden(Screenshot(*first.parent), "hosteditor_vst2"));
  EXPECT_TRUE(MatchesGolden(Screenshot(*second.parent), "hosteditor_vst2"));
  for (Vst2Editor* editor : {&first, &second})
  {
    editor->host.CloseEditor();
    editor->host.Close();
  }

  Vst2Editor third;
  ASSERT_TRUE(third.Open()) << third.host.LastError();
  third.Idle(200);
  ExpectEditorChild(*third.parent, kWidth, kHeight);
  EXPECT_TRUE(MatchesGolden(Screenshot(*third.parent), "hosteditor_vst2"));
  third.host.CloseEditor();
  third.host.Close();
}
