// The window's control menu: a right click or the context-menu key on a value control or a piano
// key asks it (with the typed entry handed over), the control it waits for says so, Escape ends
// the wait; a window without one keeps typed entry on the right click.

#include "base/MValueNumber.h"
#include "gui/MStyle.h"
#include "gui/controls/MControlMenu.h"
#include "gui/controls/MKnob.h"
#include "gui/controls/MPiano.h"
#include "tests/gui/MControlsTestSupport.h"

#include <gtest/gtest.h>

namespace
{
struct RecordingMenu : MControlMenu
{
  bool Open(MControl& control, std::int32_t part, const MRect&, std::function<void()> enterValue) override
  {
    opened = &control;
    openedPart = part;
    entry = std::move(enterValue);
    return true;
  }
  bool IsWaiting(const MControl& control, std::int32_t part) const override
  {
    return &control == waiting && part == waitingPart;
  }
  bool Cancel() override
  {
    const bool was = waiting != nullptr;
    waiting = nullptr;
    return was;
  }

  const MControl* opened = nullptr;
  std::int32_t openedPart = -2;
  std::function<void()> entry;
  const MControl* waiting = nullptr;
  std::int32_t waitingPart = -1;
};

MKnob& PlaceKnob(MControlsHarness& harness)
{
  auto knob = std::make_unique<MKnob>();
  knob->BindOwned(std::make_unique<MValueDouble>(MValueBinding<double>::Value(50.0), 0.0, 100.0));
  return harness.Place(std::move(knob), MRect::FromSize(10, 10, 60, 70));
}

TEST(MControlMenu, RightClickOnAKnobOpensTheMenuWhichOffersTheTypedEntry)
{
  MControlsHarness harness;
  RecordingMenu menu;
  harness.window.SetControlMenu(&menu);
  MKnob& knob = PlaceKnob(harness);
  harness.Send(MSystemEvent::RightDown, Centre(knob), MSystemEvent::ModRightButton);
  EXPECT_EQ(menu.opened, &knob);
  EXPECT_EQ(menu.openedPart, -1);
  EXPECT_FALSE(knob.GetGesture().IsEntryOpen()) << "the menu comes first";
  ASSERT_TRUE(menu.entry);
  menu.entry();
  EXPECT_TRUE(knob.GetGesture().IsEntryOpen());
}

TEST(MControlMenu, TheWaitingKnobSaysSoAndEscapeEndsTheWait)
{
  MControlsHarness harness;
  RecordingMenu menu;
  harness.window.SetControlMenu(&menu);
  MKnob& knob = PlaceKnob(harness);
  MControlPaint paint;
  knob.FillPaint(paint);
  const MString valueText = paint.text;
  menu.waiting = &knob;
  knob.FillPaint(paint);
  EXPECT_EQ(paint.text, MString("Learn..."));
  EXPECT_NE(valueText, paint.text);
  knob.SetFocus();
  harness.Key(MVirtualKey::Escape);
  EXPECT_EQ(menu.waiting, nullptr);
  knob.FillPaint(paint);
  EXPECT_EQ(paint.text, valueText);
}

TEST(MControlMenu, PianoKeysOpenTheMenuForTheirNoteByClickOrKey)
{
  MControlsHarness harness;
  RecordingMenu menu;
  harness.window.SetControlMenu(&menu);
  auto owned = std::make_unique<MPiano>();
  owned->SetRange(60, 12);
  MPiano& piano = harness.Place(std::move(owned), MRect::FromSize(10, 10, 280, 120));
  const bool enabled = piano.IsNoteEnabled(64);
  const MRect e = piano.GetKeyRect(64);
  const MPoint onE{piano.GetWindowRect().left + (e.left + e.right) / 2,
                   piano.GetWindowRect().top + e.bottom - 8};
  harness.Send(MSystemEvent::RightDown, onE, MSystemEvent::ModRightButton);
  EXPECT_EQ(menu.opened, &piano);
  EXPECT_EQ(menu.openedPart, 64);
  EXPECT_FALSE(menu.entry) << "a key has no typed entry";
  EXPECT_EQ(piano.IsNoteEnabled(64), enabled) << "the right click toggles nothing";

  piano.SetFocus();
  harness.Key(MVirtualKey::Right); // the cursor is on the key the menu was opened for
  harness.Key(MVirtualKey::Menu);
  EXPECT_EQ(menu.openedPart, 65) << "the key under the keyboard cursor";
}
} // namespace
