// Value controls: drag, Shift fine, wheel, double click default, keys and typed entry change the
// bound MValue as the gesture table promises; check boxes and switches toggle.

#include "base/MValueNumber.h"
#include "gui/controls/MCheckBox.h"
#include "gui/controls/MEdit.h"
#include "gui/controls/MKnob.h"
#include "gui/controls/MSwitcher.h"
#include "gui/controls/MTracker.h"
#include "gui/controls/MValueButton.h"
#include "tests/gui/MControlsTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{

struct ChangeCounter : MEventTarget
{
  int count = 0;
  void OnChanged(MOnNotifyParams&) { ++count; }
};

std::unique_ptr<MValueDouble> Scale(double value = 50.0)
{
  auto scale = std::make_unique<MValueDouble>(MValueBinding<double>::Value(value), 0.0, 100.0);
  scale->SetDefaultValue(20.0);
  return scale;
}

// Every gesture on a knob, by its documented effect on a value 0..100 starting at 50.
struct GestureCase
{
  const char* name;
  std::function<void(MControlsHarness&, MKnob&)> gesture;
  double expected;
};

// A drag from the knob's centre by (dx, dy).
std::function<void(MControlsHarness&, MKnob&)> DragBy(int dx, int dy, std::uint32_t modifiers = 0)
{
  return [=](MControlsHarness& h, MKnob& k) {
    const MPoint c = Centre(k);
    h.Drag(c, {c.x + dx, c.y + dy}, modifiers);
  };
}

// Focuses the knob, then presses `key` with `modifiers`.
std::function<void(MControlsHarness&, MKnob&)> KeyOn(std::int32_t key, std::uint32_t modifiers = 0)
{
  return [=](MControlsHarness& h, MKnob& k) {
    k.SetFocus();
    h.Key(key, modifiers);
  };
}

TEST(MValueControls, KnobGesturesChangeTheValueAsDocumented)
{
  // The knob maps 200 px to the whole range; Shift makes it ten times finer. The wheel and the
  // arrow keys step like the value's own Increment / IncrementFine.
  MValueDouble reference(MValueBinding<double>::Value(50.0), 0.0, 100.0);
  reference.Increment(1, 0);
  const double coarseUp = reference.Get();
  reference.Set(50.0);
  reference.IncrementFine(-1);
  const double fineDown = reference.Get();

  const GestureCase cases[] = {
      {"drag up 100 px", DragBy(0, -100), 100.0},
      {"drag down 40 px", DragBy(0, 40), 30.0},
      {"shift drag up 100 px", DragBy(0, -100, MSystemEvent::ModShift), 55.0},
      {"sideways drag does nothing", DragBy(80, 0), 50.0},
      {"wheel one notch up",
       [](MControlsHarness& h, MKnob& k) { h.Send(MSystemEvent::MouseWheel, Centre(k), 0, 120); }, coarseUp},
      {"half notches add up",
       [](MControlsHarness& h, MKnob& k) {
         h.Send(MSystemEvent::MouseWheel, Centre(k), 0, 60);
         h.Send(MSystemEvent::MouseWheel, Centre(k), 0, 60);
       },
       coarseUp},
      {"shift wheel one notch down",
       [](MControlsHarness& h, MKnob& k) {
         h.Send(MSystemEvent::MouseWheel, Centre(k), MSystemEvent::ModShift, -120);
       },
       fineDown},
      {"double click",
       [](MControlsHarness& h, MKnob& k) { h.Send(MSystemEvent::LeftDoubleClick, Centre(k)); }, 20.0},
      {"control click", [](MControlsHarness& h, MKnob& k) { h.Click(Centre(k), MSystemEvent::ModControl); },
       20.0},
      {"key up", KeyOn(MVirtualKey::Up), coarseUp},
      {"shift key down", KeyOn(MVirtualKey::Down, MSystemEvent::ModShift), fineDown},
      {"end key", KeyOn(MVirtualKey::End), 100.0},
      {"typed entry",
       [](MControlsHarness& h, MKnob& k) {
         k.SetFocus();
         h.Type("7");
         h.Type("5");
         h.Key(MVirtualKey::Return);
       },
       75.0},
      {"typed entry cancelled",
       [](MControlsHarness& h, MKnob& k) {
         k.SetFocus();
         h.Key(MVirtualKey::Return);
         h.Type("9");
         h.Key(MVirtualKey::Escape);
       },
       50.0},
      {"refused text keeps the value",
       [](MControlsHarness& h, MKnob& k) {
         k.SetFocus();
         h.Type("-");
         h.Type("x");
         h.Key(MVirtualKey::Return);
       },
       50.0},
  };
  for (const GestureCase& c : cases)
  {
    SCOPED_TRACE(c.name);
    MControlsHarness harness;
    MKnob& knob = harness.PlaceBound<MKnob>(Scale(), MRect::FromSize(100, 100, 60, 80));
    ChangeCounter counter;
    knob.GetChangedEvent().Subscribe<&ChangeCounter::OnChanged>(&counter);
    c.gesture(harness, knob);
    const double value = static_cast<MValueDouble*>(knob.GetValue())->Get();
    EXPECT_NEAR(value, c.expected, 1e-9);
    EXPECT_EQ(counter.count > 0, value != 50.0) << "the changed event fires exactly when the value changed";
    EXPECT_EQ(harness.window.GetCaptureControl(), nullptr) << "a finished gesture releases the mouse";
  }
}

TEST(MValueControls, TabletModePenSetsTheValueTheKnobsArcPointsAt)
{
  MControlsHarness harness;
  harness.window.SetTabletMode(true);
  MKnob& knob = harness.PlaceBound<MKnob>(Scale(), MRect::FromSize(100, 100, 60, 80));
  const auto value = [&] { return static_cast<MValueDouble*>(knob.GetValue())->Get(); };
  const MRect arc = knob.GetKnobRect();
  const MPoint c{100 + (arc.left + arc.right) / 2, 100 + (arc.top + arc.bottom) / 2};
  // The arc runs from -135 degrees (the minimum) through 12 o'clock (the middle) to +135.
  harness.Send(MSystemEvent::LeftDown, {c.x + 20, c.y}, MSystemEvent::ModLeftButton);
  // Within a degree (the centre may lie between pixels).
  EXPECT_NEAR(value(), 100.0 * 225.0 / 270.0, 0.4) << "a press at 3 o'clock sets that value at once";
  harness.Send(MSystemEvent::MouseMove, {c.x - 20, c.y}, MSystemEvent::ModLeftButton);
  EXPECT_NEAR(value(), 100.0 * 45.0 / 270.0, 0.4) << "the value follows the pen, not the distance moved";
  harness.Send(MSystemEvent::MouseMove, {c.x - 1, c.y + 20}, MSystemEvent::ModLeftButton);
  EXPECT_EQ(value(), 0.0) << "below the arc's ends the nearer end";
  harness.Send(MSystemEvent::LeftUp, {c.x - 1, c.y + 20});
  EXPECT_EQ(harness.window.GetCaptureControl(), nullptr);

  MRotator& endless = harness.PlaceBound<MRotator>(Scale(), MRect::FromSize(200, 100, 60, 80));
  const MRect ring = endless.GetKnobRect();
  const MPoint rc{200 + (ring.left + ring.right) / 2, 100 + (ring.top + ring.bottom) / 2};
  harness.Click({rc.x, rc.y + 20});
  EXPECT_NEAR(static_cast<MValueDouble*>(endless.GetValue())->Get(), 50.0, 1.0)
      << "an endless knob takes the turn the pen points at";

  // The same press without tablet mode starts a relative drag: nothing moves yet.
  harness.window.SetTabletMode(false);
  harness.Send(MSystemEvent::LeftDown, {c.x + 20, c.y}, MSystemEvent::ModLeftButton);
  harness.Send(MSystemEvent::LeftUp, {c.x + 20, c.y});
  EXPECT_EQ(value(), 0.0);
}

TEST(MValueControls, TabletModeValueButtonFollowsThePositionAlongItsLongSide)
{
  MControlsHarness harness;
  harness.window.SetTabletMode(true);
  double detune = 0.0;
  MValueButton& valueButton = harness.PlaceBound<MValueButton>(
      std::make_unique<MValueDouble>(MValueBinding<double>::Variable(detune), -100.0, 100.0),
      MRect::FromSize(10, 60, 81, 24));
  harness.Send(MSystemEvent::LeftDown, {10 + 60, 70}, MSystemEvent::ModLeftButton);
  EXPECT_NEAR(detune, 50.0, 3.0) << "three quarters across is three quarters of the range";
  harness.Send(MSystemEvent::MouseMove, {0, 70}, MSystemEvent::ModLeftButton);
  EXPECT_EQ(detune, -100.0);
  harness.Send(MSystemEvent::LeftUp, {0, 70});
  EXPECT_EQ(valueButton.GetGesture().IsDragging(), false);
}

TEST(MValueControls, TrackerJumpsToTheClickAndFollowsTheMouse)
{
  MControlsHarness harness;
  MTracker& tracker = harness.PlaceBound<MTracker>(Scale(0.0), MRect::FromSize(50, 50, 212, 20));
  const auto value = [&] { return static_cast<MValueDouble*>(tracker.GetValue())->Get(); };
  harness.Send(MSystemEvent::LeftDown, {50 + 106, 60}, MSystemEvent::ModLeftButton);
  EXPECT_NEAR(value(), 50.0, 1.0);
  harness.Send(MSystemEvent::MouseMove, {50 + 106 + 50, 60}, MSystemEvent::ModLeftButton);
  EXPECT_NEAR(value(), 75.0, 1.0) << "the thumb stays under the mouse";
  harness.Send(MSystemEvent::MouseMove, {1000, 60}, MSystemEvent::ModLeftButton);
  EXPECT_EQ(value(), 100.0);
  harness.Send(MSystemEvent::LeftUp, {1000, 60});
}

TEST(MValueControls, SwitcherAndValueButtonStep)
{
  MControlsHarness harness;
  int state = 0;
  MSwitcher& switcher =
      harness.PlaceBound<MSwitcher>(std::make_unique<MValueInt>(MValueBinding<int>::Variable(state), 0, 2),
                                    MRect::FromSize(10, 10, 100, 24));
  const int expected[] = {1, 2, 0, 1};
  for (int step : expected)
  {
    harness.Click(Centre(switcher));
    EXPECT_EQ(state, step) << "a click moves to the next position, wrapping after the last";
  }

  double detune = 0.0;
  MValueButton& valueButton = harness.PlaceBound<MValueButton>(
      std::make_unique<MValueDouble>(MValueBinding<double>::Variable(detune), -100.0, 100.0),
      MRect::FromSize(10, 60, 80, 24));
  const MPoint c = Centre(valueButton);
  harness.Drag(c, {c.x + 75, c.y}); // 150 px is the whole range: 75 px right is half of it
  EXPECT_NEAR(detune, 100.0, 1e-9);
  harness.Send(MSystemEvent::RightDown, c, MSystemEvent::ModRightButton);
  ASSERT_NE(valueButton.GetGesture().GetEntry(), nullptr);
  EXPECT_TRUE(valueButton.GetGesture().IsEntryOpen()) << "a right click opens typed entry";
  harness.Type("-12.5");
  harness.Key(MVirtualKey::Return);
  EXPECT_FALSE(valueButton.GetGesture().IsEntryOpen());
  EXPECT_NEAR(detune, -12.5, 1e-9);
  EXPECT_EQ(harness.window.GetFocusControl(), &valueButton) << "the focus returns from the entry";
}

TEST(MValueControls, CheckBoxTogglesByClickAndSpaceOnly)
{
  MControlsHarness harness;
  MCheckBox& box =
      harness.Place(std::make_unique<MCheckBox>(MString("Keep formants")), MRect::FromSize(10, 10, 120, 20));
  ChangeCounter counter;
  box.GetChangedEvent().Subscribe<&ChangeCounter::OnChanged>(&counter);
  harness.Click(Centre(box));
  EXPECT_EQ(box.GetCheck(), MCheckState::On);
  harness.Send(MSystemEvent::LeftDown, Centre(box), MSystemEvent::ModLeftButton);
  harness.Send(MSystemEvent::LeftUp, {300, 250}); // released elsewhere: no toggle
  EXPECT_EQ(box.GetCheck(), MCheckState::On);
  box.SetFocus();
  harness.Key(MVirtualKey::Space);
  EXPECT_EQ(box.GetCheck(), MCheckState::Off);
  box.SetCheck(MCheckState::Grayed);
  harness.Key(MVirtualKey::Space);
  EXPECT_EQ(box.GetCheck(), MCheckState::On) << "a grayed box turns on";
  EXPECT_EQ(counter.count, 3) << "SetCheck from code fires nothing";
  box.SetEnabled(false);
  harness.Click(Centre(box));
  EXPECT_EQ(box.GetCheck(), MCheckState::On) << "a disabled box ignores clicks";
}
TEST(MValueControls, TheTypedEntryIsAtLeast60PxWideAndLiesAboveItsNeighbours)
{
  MControlsHarness harness;
  // A small knob at the window's left edge, a neighbour close to its right.
  MKnob& knob = harness.PlaceBound<MKnob>(Scale(), MRect::FromSize(2, 10, 30, 50));
  MCheckBox& neighbour = harness.Place(std::make_unique<MCheckBox>(), MRect::FromSize(34, 10, 60, 50));
  harness.Send(MSystemEvent::RightDown, Centre(knob), MSystemEvent::ModRightButton);
  ASSERT_TRUE(knob.GetGesture().IsEntryOpen());
  const MRect rect = knob.GetGesture().GetEntry()->GetWindowRect();
  EXPECT_EQ(rect.Width(), MValueGesture::kMinEntryWidth);
  EXPECT_GE(rect.left, 0) << "kept inside the window";
  const MPoint beyond{rect.right - 5, (rect.top + rect.bottom) / 2}; // over the neighbour
  EXPECT_EQ(harness.window.HitTest(beyond), knob.GetGesture().GetEntry());
  harness.Key(MVirtualKey::Escape);
  EXPECT_EQ(harness.window.HitTest(beyond), &neighbour) << "a closed entry takes nothing";
}

} // namespace
