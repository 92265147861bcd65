// Input routing, modal loops, timers and snapshots through the headless window system.

#include "base/MException.h"
#include "gui/MDrawerToMBitmap.h"
#include "gui/MFont.h"
#include "gui/MWindow.h"
#include "gui/controls/MPanel.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "tests/base/MExpectMessage.h"
#include "tests/gui/support/MRecordingStyle.h"
#include "tests/gui/support/MSnapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace
{

// Logs what reaches it; consumes what it is told to.
class MProbe : public MControl
{
public:
  std::vector<std::string> log;
  bool consumeDoubleClick = false;
  bool captureOnDown = false;

  MProbe() { SetFlag(FlagTabStop, true); }

  bool OnMouseDown(MMouseButton button, MPoint p, std::uint32_t modifiers) override
  {
    Log("down", int(button), p, modifiers);
    if (captureOnDown)
      SetCapture();
    return true;
  }
  bool OnMouseUp(MMouseButton button, MPoint p, std::uint32_t modifiers) override
  {
    Log("up", int(button), p, modifiers);
    ReleaseCapture();
    return true;
  }
  bool OnMouseDoubleClick(MMouseButton button, MPoint p, std::uint32_t modifiers) override
  {
    Log("double", int(button), p, modifiers);
    return consumeDoubleClick;
  }
  bool OnMouseMove(MPoint p, std::uint32_t modifiers) override
  {
    Log("move", 0, p, modifiers);
    return true;
  }
  void OnMouseEnter() override { log.push_back("enter"); }
  void OnMouseLeave() override { log.push_back("leave"); }
  bool OnTimer(std::int32_t id) override
  {
    log.push_back("timer " + std::to_string(id));
    return true;
  }

private:
  void Log(const char* what, int button, MPoint p, std::uint32_t modifiers)
  {
    log.push_back(std::string(what) + " " + std::to_string(button) + " " + std::to_string(p.x) + "," +
                  std::to_string(p.y) + (modifiers & MSystemEvent::ModDoubleClick ? " dbl" : ""));
  }
};

MSystemEvent Event(MSystemEvent::Code code, MPoint position = {}, std::uint32_t modifiers = 0,
                   std::int32_t value = 0)
{
  return MSystemEvent{code, position, modifiers, value};
}

class MWindowDispatch : public ::testing::Test
{
protected:
  void SetUp() override
  {
    system.SetManualClock(10000);
    window.SetBounds(MRect::FromSize(0, 0, 200, 100));
    probe = &window.Add<MProbe>();
    probe->SetBounds(MRect::FromSize(20, 30, 50, 40));
    window.Open(system);
    system.ProcessPendingMessages();
  }

  void Send(const MSystemEvent& event)
  {
    system.InjectEvent(window, event);
    system.ProcessPendingMessages();
  }

  MWindowSystemHeadless system;
  MWindow window;
  MProbe* probe = nullptr;
};

TEST_F(MWindowDispatch, ClicksAreSwallowedFor100MsAfterAHideWhileMovesArrive)
{
  MWindow popup;
  popup.SetBounds(MRect::FromSize(0, 0, 10, 10));
  popup.Open(system, 0, true);
  popup.SetVisible(false);

  Send(Event(MSystemEvent::LeftDown, MPoint{25, 35}));
  Send(Event(MSystemEvent::MouseMove, MPoint{26, 36}));
  system.AdvanceClock(99);
  Send(Event(MSystemEvent::LeftUp, MPoint{26, 36}));
  Send(Event(MSystemEvent::KeyDown, {}, 0, MVirtualKey::Space));
  Send(Event(MSystemEvent::MouseWheel, MPoint{26, 36}, 0, 120));
  Send(Event(MSystemEvent::Close));
  EXPECT_EQ(probe->log, (std::vector<std::string>{"enter", "move 0 6,6"}));
  // A new size is no input: the tree follows the native window at once.
  Send(Event(MSystemEvent::Size, MPoint{180, 90}));
  EXPECT_EQ(window.GetSize(), (MSize{180, 90}));
  EXPECT_TRUE(window.IsOpen());
  system.AdvanceClock(1);
  Send(Event(MSystemEvent::LeftDown, MPoint{25, 35}));
  EXPECT_EQ(probe->log.back(), "down 0 5,5");
}

TEST_F(MWindowDispatch, HighlightFollowsTheMouseCaptureKeepsTheControlAndIgnoredDoubleClicksArriveAsDowns)
{
  Send(Event(MSystemEvent::MouseMove, MPoint{25, 35}));
  EXPECT_TRUE(probe->IsHighlighted());
  Send(Event(MSystemEvent::MouseMove, MPoint{150, 90}));
  EXPECT_FALSE(probe->IsHighlighted());
  EXPECT_EQ(probe->log, (std::vector<std::string>{"enter", "move 0 5,5", "leave"}));

  probe->log.clear();
  probe->captureOnDown = true;
  Send(Event(MSystemEvent::LeftDown, MPoint{25, 35}));
  EXPECT_EQ(system.GetCaptureWindow(), window.GetDescriptor());
  Send(Event(MSystemEvent::MouseMove, MPoint{150, 90})); // outside, still the probe's
  Send(Event(MSystemEvent::LeftUp, MPoint{150, 90}));
  EXPECT_EQ(probe->log, (std::vector<std::string>{"enter", "down 0 5,5", "move 0 130,60", "up 0 130,60"}));
  EXPECT_EQ(system.GetCaptureWindow(), nullptr);
  EXPECT_TRUE(probe->IsFocused()); // a click focuses a tab stop
  Send(Event(MSystemEvent::MouseLeave));
  EXPECT_EQ(probe->log.back(), "leave");

  // An ignored double click arrives as a down with the flag.
  probe->log.clear();
  probe->captureOnDown = false;
  Send(Event(MSystemEvent::RightDoubleClick, MPoint{21, 31}));
  EXPECT_EQ(probe->log, (std::vector<std::string>{"enter", "double 1 1,1", "down 1 1,1 dbl"}));

  probe->log.clear();
  probe->consumeDoubleClick = true;
  Send(Event(MSystemEvent::LeftDoubleClick, MPoint{21, 31}));
  EXPECT_EQ(probe->log, (std::vector<std::string>{"double 0 1,1"}));
}

TEST_F(MWindowDispatch, TabMovesTheFocusOverVisibleEnabledTabStopsAndEscapeClosesOnRequest)
{
  MProbe& second = window.Add<MProbe>();
  MProbe& hidden = window.Add<MProbe>();
  hidden.SetVisible(false);
  MProbe& disabled = window.Add<MProbe>();
  disabled.SetEnabled(false);
  MPanel& panel = window.Add<MPanel>();
  MProbe& nested = panel.Add<MProbe>();

  const struct
  {
    std::uint32_t modifiers;
    MControl* expected;
  } steps[] = {
      {0, probe}, {0, &second}, {0, &nested}, {0, probe}, {MSystemEvent::ModShift, &nested},
  };
  for (const auto& step : steps)
  {
    Send(Event(MSystemEvent::KeyDown, {}, step.modifiers, MVirtualKey::Tab));
    EXPECT_EQ(window.GetFocusControl(), step.expected);
  }
  // Escape closes only a window that asks for it.
  Send(Event(MSystemEvent::KeyDown, {}, 0, MVirtualKey::Escape));
  EXPECT_TRUE(window.IsOpen());
  window.SetFlag(MControl::FlagCloseOnEscape, true);
  Send(Event(MSystemEvent::KeyDown, {}, 0, MVirtualKey::Escape));
  EXPECT_FALSE(window.IsOpen());
  EXPECT_EQ(window.GetModalResult(), MModalValue::Cancel);
}

TEST_F(MWindowDispatch, EndModalEndsTheLoopAndASecondCallThrows)
{
  // A timer ends the loop from inside it, as a button would.
  class MCloser : public MControl
  {
  public:
    bool OnTimer(std::int32_t) override
    {
      GetWindow()->GetWindowSystem()->EndModal(*GetWindow(), MModalValue::Ok);
      return true;
    }
  };
  MCloser& closer = window.Add<MCloser>();
  closer.SetTimer(1, 20);
  system.AdvanceClock(20);
  EXPECT_EQ(system.RunModal(window), MModalValue::Ok);
  EXPECT_EQ(MessageOf([&] { system.EndModal(window, MModalValue::Cancel); }),
            "MWindowSystemMSWindows::EndModal called more than once");
  EXPECT_EQ(window.GetModalResult(), MModalValue::Ok);
}

TEST_F(MWindowDispatch, TimersFireByTheClockAndStopWithTheirControl)
{
  probe->SetTimer(7, 50);
  system.AdvanceClock(49);
  system.ProcessPendingMessages();
  EXPECT_EQ(probe->log, std::vector<std::string>{});
  system.AdvanceClock(1);
  system.ProcessPendingMessages();
  EXPECT_EQ(probe->log, (std::vector<std::string>{"timer 7"}));
  // Closed, the window's timers pause; open again, they go on.
  window.Close();
  EXPECT_FALSE(system.HasTimer(window, 1));
  window.Open(system);
  EXPECT_TRUE(system.HasTimer(window, 1));
  window.RemoveChild(*probe).reset();
  EXPECT_FALSE(system.HasTimer(window, 1));
}

TEST_F(MWindowDispatch, AControlThatGoesAwayKeepsNoFocusCaptureOrHighlight)
{
  const struct
  {
    const char* name;
    void (*takeAway)(MPanel& parent, MProbe& probe);
    bool parentSurvives;
  } cases[] = {
      {"destroyed", [](MPanel& parent, MProbe& probe) { parent.RemoveChild(probe).reset(); }, true},
      {"hidden parent", [](MPanel& parent, MProbe&) { parent.SetVisible(false); }, true},
      {"disabled parent", [](MPanel& parent, MProbe&) { parent.SetEnabled(false); }, true},
      {"collapsed parent",
       [](MPanel& parent, MProbe&) {
         parent.SetFlag(MControl::FlagCollapsable, true);
         parent.SetCollapsed(true);
       },
       true},
      {"parent destroyed", [](MPanel& parent, MProbe&) { parent.GetParent()->RemoveChild(parent).reset(); },
       false},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.name);
    MPanel& parent = window.Add<MPanel>();
    parent.SetBounds(MRect::FromSize(100, 0, 100, 100));
    MProbe& target = parent.Add<MProbe>();
    target.SetBounds(MRect{0, 0, 50, 50});
    target.captureOnDown = true;
    target.SetTimer(3, 10);
    Send(Event(MSystemEvent::LeftDown, MPoint{110, 10}));
    ASSERT_EQ(window.GetCaptureControl(), &target);
    ASSERT_EQ(window.GetFocusControl(), &target);
    ASSERT_EQ(window.GetHighlightControl(), &target);

    const std::size_t logged = target.log.size();
    const bool targetSurvives = c.parentSurvives && std::string(c.name) != "destroyed";
    c.takeAway(parent, target);
    EXPECT_EQ(window.GetCaptureControl(), nullptr);
    EXPECT_EQ(window.GetFocusControl(), nullptr);
    EXPECT_EQ(system.GetCaptureWindow(), nullptr);
    // Whatever comes next reaches no dead or hidden control.
    system.AdvanceClock(10);
    Send(Event(MSystemEvent::MouseMove, MPoint{120, 20}));
    Send(Event(MSystemEvent::LeftUp, MPoint{120, 20}));
    Send(Event(MSystemEvent::KeyDown, {}, 0, 'A'));
    if (targetSurvives)
    {
      // "leave" at most: no input (timers of a living control go on ticking).
      const auto input = std::count_if(target.log.begin() + std::ptrdiff_t(logged), target.log.end(),
                                       [](const std::string& entry) { return entry.rfind("timer", 0) != 0; });
      EXPECT_LE(input, 1) << target.log.back();
    }
    if (c.parentSurvives)
      window.RemoveChild(parent).reset();
  }
}

TEST(MWindowPaint, AFailingPaintSparesTheOthersAndIsRepaintedLater)
{
  class MFragile : public MControl
  {
  public:
    int failures = 1;
    void Paint(MDrawer& drawer) override
    {
      if (failures-- > 0)
        throw MException(MString("broken"));
      drawer.FillRectangle(GetRect(), MColor{0xFF, 0, 0, 0xFF}, MColorOp::Copy);
    }
  };
  MWindow window;
  window.SetSize(MSize{30, 10});
  MFragile& fragile = window.Add<MFragile>();
  fragile.SetBounds(MRect::FromSize(0, 0, 10, 10));
  window.Add<MFragile>().failures = 0;
  window.GetChild(1)->SetBounds(MRect::FromSize(10, 0, 10, 10));
  window.GetInvalidator().Take();

  MBitmap surface(30, 10);
  MDrawerToMBitmap drawer(surface);
  window.PaintSurface(drawer, MRect{0, 0, 30, 10});
  EXPECT_EQ(surface.GetPixel(15, 5), 0xFFFF0000u);
  EXPECT_NE(surface.GetPixel(5, 5), 0xFFFF0000u);
  const MRect again = window.GetInvalidator().Take();
  EXPECT_EQ(again, (MRect{0, 0, 10, 10}));
  window.PaintSurface(drawer, again);
  EXPECT_EQ(surface.GetPixel(5, 5), 0xFFFF0000u);
}

TEST_F(MWindowDispatch, OneRoundHandlesAtMost1024MessagesAndElevenIdleOnesInARow)
{
  const struct
  {
    MSystemEvent::Code code;
    int injected;
    int handled;
  } cases[] = {
      {MSystemEvent::MouseMove, 1100, 1024},
      {MSystemEvent::Timer, 30, 11},
  };
  for (const auto& c : cases)
  {
    for (int i = 0; i < c.injected; ++i)
      system.InjectEvent(window, Event(c.code, MPoint{150, 90}));
    system.ProcessPendingMessages();
    EXPECT_EQ(system.GetLastMessageCount(), c.handled);
    while (system.WaitForMessages(0))
      system.ProcessPendingMessages();
  }
}

// Runs `takeAway` from its click handlers and leaves the click unconsumed.
struct MRemover : MControl
{
  std::function<void()> takeAway;
  bool OnMouseDown(MMouseButton, MPoint, std::uint32_t) override { return takeAway(), false; }
  bool OnMouseDoubleClick(MMouseButton, MPoint, std::uint32_t) override { return takeAway(), false; }
};

TEST_F(MWindowDispatch, AHandlerThatRemovesItsControlEndsTheWalkUpTheParents)
{
  // Also under AddressSanitizer: the walk must not touch freed controls.
  for (int takeAway = 0; takeAway < 3; ++takeAway)
    for (const MSystemEvent::Code code : {MSystemEvent::LeftDown, MSystemEvent::LeftDoubleClick})
    {
      SCOPED_TRACE(takeAway);
      MProbe& outer = window.Add<MProbe>();
      outer.SetBounds(MRect::FromSize(100, 0, 100, 100));
      MPanel& middle = outer.Add<MPanel>();
      middle.SetBounds(MRect{0, 0, 100, 100});
      MRemover& inner = middle.Add<MRemover>();
      inner.SetBounds(MRect{0, 0, 50, 50});
      inner.takeAway = [&, takeAway] {
        if (takeAway == 0)
          middle.RemoveChild(inner).reset();
        else if (takeAway == 1)
          outer.RemoveChild(middle).reset();
        else // alive under another parent, which must not get the click either
          probe->AddChild(middle.RemoveChild(inner));
      };
      Send(Event(code, MPoint{110, 10}));
      EXPECT_TRUE(outer.log.empty()) << outer.log.front();
      EXPECT_TRUE(probe->log.empty()) << probe->log.front();
      window.RemoveChild(outer).reset();
      probe->DeleteChildren();
    }
}

// Paints a solid background and one line of text, nothing from any style.
class MTextSample : public MControl
{
public:
  static constexpr MColor kBack{0x20, 0x30, 0x40, 0xFF};
  static constexpr MColor kInk{0xF0, 0xE0, 0x90, 0xFF};
  MFont font{MFontDescriptor{"DejaVu Sans", 13, false, false, 0}};
  void Paint(MDrawer& drawer) override
  {
    drawer.FillRectangle(MRect{0, 0, GetSize().x, GetSize().y}, kBack);
    drawer.AlignedTextOut(MRect{3, 2, GetSize().x - 3, GetSize().y - 2}, MString("Zoomed,Ag"), font, kInk,
                          MAlign::Left | MAlign::VCenter);
  }
};

TEST_F(MWindowDispatch, AZoomedWindowScalesItsSurfaceTextAndInputButKeepsItsLayout)
{
  auto& sample = window.Add<MTextSample>();
  sample.SetBounds(MRect::FromSize(80, 10, 100, 24));
  window.SetScale(2.0);
  EXPECT_EQ(window.GetSize(), (MSize{200, 100})) << "the layout stays in logical pixels";
  system.Render(window);
  const MBitmap* surface = system.GetSurface(window);
  ASSERT_NE(surface, nullptr);
  ASSERT_EQ(surface->Size(), (MSize{400, 200}));

  // The text is rasterised again at 26 px in the doubled rectangle: exactly what a drawer at
  // 100 % draws with that font there, not the 13 px glyphs stretched.
  MBitmap expected(200, 48);
  MDrawerToMBitmap direct(expected);
  direct.FillRectangle(MRect{0, 0, 200, 48}, MTextSample::kBack);
  const MFont large(MFontDescriptor{"DejaVu Sans", 26, false, false, 0});
  direct.AlignedTextOut(MRect{6, 4, 194, 44}, MString("Zoomed,Ag"), large, MTextSample::kInk,
                        MAlign::Left | MAlign::VCenter);
  long long differing = 0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 200; ++x)
      differing += surface->Row(20 + y)[160 + x] != expected.Row(y)[x] ? 1 : 0;
  EXPECT_EQ(differing, 0);

  // Input arrives in device pixels and reaches the controls in logical ones.
  Send(Event(MSystemEvent::LeftDown, MPoint{50, 70}));
  EXPECT_EQ(probe->log.back(), "down 0 5,5");
  // The host resizes the native window: the tree takes the logical size.
  Send(Event(MSystemEvent::Size, MPoint{300, 160}));
  EXPECT_EQ(window.GetSize(), (MSize{150, 80}));
  window.SetScale(1.0);
  EXPECT_EQ(system.GetSurface(window)->Size(), (MSize{150, 80}));
}

TEST_F(MWindowDispatch, AHugeSizeIsCappedAndTheTreeKeepsTheSurfaceSize)
{
  MWindow opened; // at a huge size
  opened.SetBounds(MRect::FromSize(0, 0, 9000, 9000));
  opened.Open(system);
  window.SetSize(MSize{16384, 16384});
  for (const MWindow* w : {&opened, &window})
  {
    const MSize size = system.GetSurface(*w)->Size();
    EXPECT_EQ(w->GetSize(), size);
    EXPECT_LE(std::int64_t{size.x} * size.y, MBitmap::kMaxPixels);
    EXPECT_GT(std::int64_t{size.x} * size.y, MBitmap::kMaxPixels / 100 * 99) << "both sides shrink alike";
  }
  window.SetSize(MSize{100000, 300});
  EXPECT_EQ(window.GetSize(), (MSize{MBitmap::kMaxSide, 300}));
}

TEST_F(MWindowDispatch, APanelTreeMatchesItsGolden)
{
  MRecordingStyle style;
  window.SetStyle(&style);
  MPanel& panel = window.Add<MPanel>();
  panel.SetBounds(MRect::FromSize(100, 10, 90, 80));
  panel.SetCaptionType(MCaptionType::Normal);
  MProbe& child = panel.Add<MProbe>();
  child.SetBounds(MRect::FromSize(10, 20, 100, 30)); // cut by the panel
  child.SetEnabled(false);
  Send(Event(MSystemEvent::MouseMove, MPoint{25, 35}));
  EXPECT_TRUE(MatchesGolden(RenderWindow(system, window), "tree_panels"));
}

} // namespace
