// The Win32 back end under Wine: native messages become the toolkit's events, the surface reaches
// the screen in its colours, other threads' repaints arrive, the pump keeps its bounds, and the
// modal loop ends through a timer.

#include "base/MException.h"
#include "gui/MDrawer.h"
#include "gui/MWindow.h"
#include "gui/win32/MW32Input.h"
#include "gui/win32/MWindowSystemMSWindows.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace
{
class MRecorder : public MControl
{
public:
  void Paint(MDrawer& drawer) override
  {
    ++paints;
    drawer.FillRectangle(MRect{0, 0, GetSize().x, GetSize().y}, MColor{0xC0, 0x20, 0x40, 0xFF},
                         MColorOp::Copy);
  }
  bool OnMouseDown(MMouseButton b, MPoint p, std::uint32_t m) override { return Log("down", int(b), p, m); }
  bool OnMouseUp(MMouseButton b, MPoint p, std::uint32_t m) override { return Log("up", int(b), p, m); }
  bool OnMouseWheel(MPoint p, std::int32_t delta, std::uint32_t m) override
  {
    return Log("wheel", delta, p, m);
  }
  bool OnKeyDown(std::int32_t key, std::uint32_t m) override { return Log("key", key, {}, m); }
  bool OnCharacter(std::int32_t c, std::uint32_t m) override { return Log("char", c, {}, m); }
  bool AcceptsFocus() const override { return true; }
  bool OnTimer(std::int32_t) override
  {
    if (++ticks == 2)
      GetWindow()->GetWindowSystem()->EndModal(*GetWindow(), MModalValue::Ok);
    return true;
  }

  std::vector<std::string> log;
  std::atomic<int> paints{0};
  int ticks = 0;

private:
  bool Log(const char* what, int value, MPoint p, std::uint32_t modifiers)
  {
    log.push_back(std::string(what) + " " + std::to_string(value) + " " + std::to_string(p.x) + "," +
                  std::to_string(p.y) + " " + std::to_string(modifiers));
    return true;
  }
};

class MWindowSystemMSWindowsTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    system.Initialize();
    window.SetBounds(MRect::FromSize(60, 80, 200, 100));
    recorder = &window.Add<MRecorder>();
    recorder->SetBounds(MRect::FromSize(0, 0, 200, 100));
    // A popup: under Wine without a window manager a framed window takes two seconds to close.
    window.Open(system, 0, true);
    window.SetFocusControl(recorder);
    Pump();
    hwnd = reinterpret_cast<HWND>(window.GetDescriptor()->GetHandle());
  }
  void TearDown() override { window.Close(); }

  void Pump()
  {
    for (int i = 0; i < 20; ++i)
    {
      system.ProcessPendingMessages();
      Sleep(5);
    }
  }

  MWindowSystemMSWindows system;
  MWindow window;
  MRecorder* recorder = nullptr;
  HWND hwnd = nullptr;
};
} // namespace

TEST(MW32Input, CharactersJoinSurrogatePairsAndReplaceLoneHalves)
{
  struct Case
  {
    std::vector<std::uint16_t> units;
    std::vector<std::uint32_t> expected; // one result per unit
  };
  for (const Case& c : {Case{{0x41}, {0x41}}, Case{{0xD83D, 0xDE00}, {0, 0x1F600}}, Case{{0xDE00}, {0xFFFD}},
                        Case{{0xD83D, 0xD83D, 0xDE00}, {0, 0, 0x1F600}}, Case{{0xD83D, 0x41}, {0, 0x41}}})
  {
    std::uint16_t high = 0;
    for (std::size_t i = 0; i < c.units.size(); ++i)
      EXPECT_EQ(MW32Input::Character(high, c.units[i]), c.expected[i]) << "unit " << i;
  }
}

TEST_F(MWindowSystemMSWindowsTest, NativeInputArrivesAsTheToolkitsEvents)
{
  POINT screen{30, 40};
  ClientToScreen(hwnd, &screen);
  // Captured, the recorder also gets the press left of the window (a signed position).
  window.SetCaptureControl(recorder);
  struct Case
  {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    const char* expected;
  };
  const Case cases[] = {
      {WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(10, 20), "down 0 10,20 65"},
      {WM_LBUTTONUP, MK_CONTROL, MAKELPARAM(11, 21), "up 0 11,21 16"},
      {WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(-5 & 0xFFFF, 7), "down 1 -5,7 4"},
      {WM_MBUTTONUP, 0, MAKELPARAM(3, 4), "up 2 3,4 0"},
      {WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), MAKELPARAM(screen.x, screen.y), "wheel -120 30,40 0"},
      {WM_KEYDOWN, VK_LEFT, 0, "key 37 0,0 0"},
      {WM_CHAR, 'q', 0, "char 113 0,0 0"},
  };
  for (const Case& c : cases)
  {
    recorder->log.clear();
    PostMessageW(hwnd, c.message, c.wParam, c.lParam);
    system.ProcessPendingMessages();
    ASSERT_EQ(recorder->log.size(), 1u) << c.expected;
    EXPECT_EQ(recorder->log[0], c.expected);
  }
  window.SetCaptureControl(nullptr);
}

TEST_F(MWindowSystemMSWindowsTest, SurfaceReachesTheScreenAndRepaintsFromOtherThreadsArrive)
{
  HDC dc = GetDC(hwnd);
  const COLORREF pixel = GetPixel(dc, 100, 50);
  ReleaseDC(hwnd, dc);
  EXPECT_EQ(pixel, RGB(0xC0, 0x20, 0x40)) << std::hex << pixel;

  const int before = recorder->paints.load();
  std::thread worker([&] { system.InvalidateRect(*window.GetDescriptor(), MRect{0, 0, 50, 50}); });
  worker.join();
  Pump();
  EXPECT_GT(recorder->paints.load(), before);
}

TEST_F(MWindowSystemMSWindowsTest, PumpStopsAfterElevenQuietMessagesInARowAndWakeUpsAreNotLost)
{
  for (int i = 0; i < 20; ++i)
    PostMessageW(hwnd, MWindowSystemMSWindows::kMessageProcessEvents, 0, 0);
  system.ProcessPendingMessages();
  int left = 0;
  MSG msg{};
  while (PeekMessageW(&msg, hwnd, MWindowSystemMSWindows::kMessageProcessEvents,
                      MWindowSystemMSWindows::kMessageProcessEvents, PM_REMOVE))
    ++left;
  EXPECT_EQ(left, 9);

  // Wake-ups go to the message-only window: one in flight, kept while our windows close and
  // open, and posted anew once the pump took it.
  system.WakeGuiThread();
  window.Close();
  window.Open(system, 0, true);
  system.WakeGuiThread();
  int wakes = 0;
  while (PeekMessageW(&msg, nullptr, MWindowSystemMSWindows::kMessageProcessEvents,
                      MWindowSystemMSWindows::kMessageProcessEvents, PM_REMOVE))
  {
    EXPECT_NE(msg.hwnd, nullptr) << "never a thread message";
    ++wakes;
    DispatchMessageW(&msg);
  }
  EXPECT_EQ(wakes, 1);
  system.WakeGuiThread();
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, MWindowSystemMSWindows::kMessageProcessEvents,
                           MWindowSystemMSWindows::kMessageProcessEvents, PM_NOREMOVE));
}

// The host and other plug-ins post their own WM_USER .. WM_USER + 4 to the UI thread: our pump
// takes only our windows' messages, and our wake-ups (also with no window open) are never thread
// messages, so the thread's queue holds exactly what the others posted.
TEST_F(MWindowSystemMSWindowsTest, ThePumpLeavesTheHostsThreadMessagesInTheQueue)
{
  for (UINT message = WM_USER; message <= WM_USER + 4; ++message)
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), message, 0x7E57, LPARAM(message)));
  system.WakeGuiThread();
  std::thread([&] { system.WakeGuiThread(); }).join();
  PostMessageW(hwnd, WM_TIMER, 0, 0);
  Pump();
  window.Close();
  std::thread([&] { system.WakeGuiThread(); }).join();
  system.ProcessPendingMessages();
  window.Open(system, 0, true);
  Pump();

  std::vector<UINT> left;
  MSG msg{};
  // hWnd -1: the thread's own messages only.
  while (PeekMessageW(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE))
  {
    EXPECT_EQ(msg.wParam, WPARAM(0x7E57)) << "a thread message of ours: " << msg.message;
    left.push_back(msg.message);
  }
  EXPECT_EQ(left, (std::vector<UINT>{WM_USER, WM_USER + 1, WM_USER + 2, WM_USER + 3, WM_USER + 4}));
}

TEST_F(MWindowSystemMSWindowsTest, ModalLoopEndsFromATimerAndASecondEndThrows)
{
  window.SetControlTimer(*recorder, 7, 20);
  EXPECT_EQ(system.RunModal(window), MModalValue::Ok);
  EXPECT_EQ(recorder->ticks, 2);
  window.SetControlTimer(*recorder, 7, 0);
  try
  {
    system.EndModal(window, MModalValue::Cancel);
    FAIL() << "no exception";
  }
  catch (const MException& error)
  {
    EXPECT_STREQ(error.what(), "MWindowSystemMSWindows::EndModal called more than once");
  }
}
