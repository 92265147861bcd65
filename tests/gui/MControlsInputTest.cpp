// Lists, menus, edit fields, the piano and the popups: the input rules that users rely on.

#include "base/MValueNumber.h"
#include "gui/controls/MEdit.h"
#include "gui/controls/MKnob.h"
#include "gui/controls/MListBox.h"
#include "gui/controls/MMenu.h"
#include "gui/controls/MPiano.h"
#include "gui/controls/MSelector.h"
#include "gui/controls/MSplitter.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "tests/gui/MControlsTestSupport.h"
#include "tests/gui/support/MRecordingStyle.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
struct Recorder : MEventTarget
{
  std::vector<std::int32_t> items;
  std::vector<MMenuBarChoice> choices;
  int changes = 0;
  void OnItem(MOnItemParams<std::int32_t>& params) { items.push_back(params.item); }
  void OnChoice(MOnItemParams<MMenuBarChoice>& params) { choices.push_back(params.item); }
  void OnChanged(MOnNotifyParams&) { ++changes; }
};

TEST(MControlsInput, EditBufferKeys)
{
  // Each row: start text and caret, keys (modifiers), expected text, caret and selection.
  struct Row
  {
    const char* name;
    const char16_t* text;
    std::int32_t caret;
    std::vector<std::pair<std::int32_t, std::uint32_t>> keys;
    const char16_t* expected;
    std::int32_t expectedCaret;
    std::int32_t selectionStart;
  };
  const std::uint32_t shift = MSystemEvent::ModShift, control = MSystemEvent::ModControl;
  const Row rows[] = {
      {"back erases before the caret", u"vocal", 3, {{MVirtualKey::Back, 0}}, u"voal", 2, 2},
      {"delete erases after the caret", u"vocal", 3, {{MVirtualKey::Delete, 0}}, u"vocl", 3, 3},
      {"back at the start does nothing", u"vocal", 0, {{MVirtualKey::Back, 0}}, u"vocal", 0, 0},
      {"control back erases a word", u"soft vocal", 10, {{MVirtualKey::Back, control}}, u"soft ", 5, 5},
      {"control left jumps a word", u"soft vocal", 10, {{MVirtualKey::Left, control}}, u"soft vocal", 5, 5},
      {"shift home selects to the start",
       u"soft vocal",
       4,
       {{MVirtualKey::Home, shift}},
       u"soft vocal",
       0,
       0},
      {"shift right then delete",
       u"soft vocal",
       0,
       {{MVirtualKey::Right, shift}, {MVirtualKey::Right, shift}, {MVirtualKey::Delete, 0}},
       u"ft vocal",
       0,
       0},
      {"left collapses a selection",
       u"soft",
       0,
       {{MVirtualKey::End, shift}, {MVirtualKey::Left, 0}},
       u"soft",
       0,
       0},
      {"control a selects all", u"soft", 2, {{'A', control}, {MVirtualKey::Back, 0}}, u"", 0, 0},
      {"right past the end stays", u"ab", 2, {{MVirtualKey::Right, 0}}, u"ab", 2, 2},
  };
  for (const Row& row : rows)
  {
    SCOPED_TRACE(row.name);
    MEditBuffer buffer;
    buffer.SetText(MString(row.text));
    buffer.SetCaret(row.caret);
    for (const auto& [key, modifiers] : row.keys)
      EXPECT_TRUE(buffer.HandleKey(key, modifiers));
    EXPECT_EQ(buffer.GetText(), MString(row.expected));
    EXPECT_EQ(buffer.GetCaret(), row.expectedCaret);
    EXPECT_EQ(buffer.GetSelectionStart(), row.selectionStart);
  }

  MEditBuffer limited;
  limited.SetMaxLength(3);
  limited.SetText(MString(u"abcdef"));
  EXPECT_EQ(limited.GetText(), MString(u"abc"));
  EXPECT_FALSE(limited.InsertCharacter('x')) << "a full field refuses more";
  EXPECT_FALSE(limited.InsertCharacter(0x07)) << "control characters are refused";
  limited.SetText(MString(u"a\nb"));
  EXPECT_EQ(limited.GetText(), MString(u"ab")) << "single-line fields drop line breaks";

  MEditBuffer lines(true);
  lines.SetText(MString(u"first\nsecond line\nend"));
  lines.SetCaret(9); // "sec|ond"
  lines.HandleKey(MVirtualKey::Up, 0);
  EXPECT_EQ(lines.GetCaret(), 3) << "up keeps the column";
  lines.HandleKey(MVirtualKey::Down, 0);
  lines.HandleKey(MVirtualKey::Down, 0);
  EXPECT_EQ(lines.GetCaret(), 21) << "a shorter line takes the caret to its end";
}

TEST(MControlsInput, EditCommitsOnReturnAndRestoresOnEscape)
{
  MControlsHarness harness;
  MEdit& edit = harness.Place(std::make_unique<MEdit>(MString("Soft")), MRect::FromSize(10, 10, 150, 24));
  Recorder recorder;
  edit.GetChangedEvent().Subscribe<&Recorder::OnChanged>(&recorder);
  std::vector<bool> commits;
  edit.SetCommitHandler([&](bool accepted) { commits.push_back(accepted); });
  harness.Click(Centre(edit));
  EXPECT_EQ(harness.window.GetFocusControl(), &edit);
  harness.Key(MVirtualKey::End);
  harness.Type(" vocal");
  harness.Key(MVirtualKey::Return);
  EXPECT_EQ(edit.GetText(), MString("Soft vocal"));
  EXPECT_EQ(recorder.changes, 1);
  harness.Type("!!");
  harness.Key(MVirtualKey::Escape);
  EXPECT_EQ(edit.GetText(), MString("Soft vocal")) << "Escape restores the last committed text";
  EXPECT_EQ(recorder.changes, 1);
  EXPECT_EQ(commits, (std::vector<bool>{true, false}));
}

TEST(MControlsInput, ListKeyboardNavigationSkipsDisabledRows)
{
  MControlsHarness harness;
  MListBox& list = harness.Place(std::make_unique<MListBox>(), MRect::FromSize(10, 10, 150, 100));
  for (const char* text :
       {"Alpha", "Beta", "Gamma", "Delta", "Epsilon", "Zeta", "Eta", "Theta", "Iota", "Kappa"})
    list.AddString(MString::FromUTF8(text));
  list.GetItem(2).SetEnabled(false);
  list.SetFocus();
  struct Step
  {
    std::int32_t key;
    std::int32_t expected;
  };
  const Step steps[] = {{MVirtualKey::Down, 0}, {MVirtualKey::Down, 1},    {MVirtualKey::Down, 3},
                        {MVirtualKey::Up, 1},   {MVirtualKey::End, 9},     {MVirtualKey::Down, 9},
                        {MVirtualKey::Home, 0}, {MVirtualKey::PageDown, 4}};
  for (const Step& step : steps)
  {
    harness.Key(step.key);
    EXPECT_EQ(list.GetSelection(), step.expected) << "after key " << step.key;
    EXPECT_GE(list.GetSelection(), list.GetTopIndex());
    EXPECT_LT(list.GetSelection(), list.GetTopIndex() + list.GetVisibleRows())
        << "the selection stays visible";
  }
  harness.Type("e");
  EXPECT_EQ(list.GetSelection(), 6) << "a letter jumps to the next row starting with it";
  harness.Type("e");
  EXPECT_EQ(list.GetSelection(), 4) << "and wraps around";
  Recorder recorder;
  list.GetChosenEvent().Subscribe<&Recorder::OnItem>(&recorder);
  harness.Key(MVirtualKey::Return);
  harness.Send(MSystemEvent::LeftDoubleClick, Centre(list));
  ASSERT_EQ(recorder.items.size(), 2u);
  EXPECT_EQ(recorder.items[0], 4);
  EXPECT_EQ(recorder.items[1], list.RowAt(MPoint{75, 50}));
}

TEST(MControlsInput, MenuChoosesByClickAndKeysButNeverASeparator)
{
  MControlsHarness harness;
  MMenu& menu = harness.Place(std::make_unique<MMenu>(), MRect::FromSize(10, 10, 150, 200));
  menu.AddEntry("Undo", "Ctrl+Z");
  menu.AddSeparator();
  menu.AddEntry("Reset");
  Recorder recorder;
  menu.GetChosenEvent().Subscribe<&Recorder::OnItem>(&recorder);
  const MRect separator = menu.GetRowRect(1);
  const MPoint onSeparator{10 + separator.left + 20, 10 + (separator.top + separator.bottom) / 2};
  harness.Click(onSeparator);
  EXPECT_TRUE(recorder.items.empty());
  const MRect reset = menu.GetRowRect(2);
  const MPoint onReset{10 + reset.left + 20, 10 + (reset.top + reset.bottom) / 2};
  harness.Send(MSystemEvent::MouseMove, onReset);
  EXPECT_EQ(menu.GetSelection(), 2) << "the row under the mouse is selected";
  harness.Click(onReset);
  menu.SetFocus();
  harness.Key(MVirtualKey::Home);
  harness.Key(MVirtualKey::Down); // over the separator
  harness.Key(MVirtualKey::Return);
  EXPECT_EQ(recorder.items, (std::vector<std::int32_t>{2, 2}));
}

TEST(MControlsInput, MenuBarPopupChoosesAndCloses)
{
  MWindowSystemHeadless system;
  system.Initialize();
  MWindow window;
  window.SetSize(MSize{300, 200});
  MMenuBar& bar = window.Add<MMenuBar>();
  bar.SetBounds(MRect::FromSize(0, 0, 300, 26));
  bar.AddTitle(MMenuBarItem{"File", {MMenuItem(MString("Open")), MMenuItem(MString("Save"))}});
  bar.AddTitle(MMenuBarItem{"Edit", {MMenuItem(MString("Undo"))}});
  Recorder recorder;
  bar.GetChosenEvent().Subscribe<&Recorder::OnChoice>(&recorder);
  window.Open(system);
  const MRect title = bar.GetTitleRect(0);
  system.InjectEvent(
      window,
      MSystemEvent{MSystemEvent::LeftDown, {title.left + 5, title.top + 5}, MSystemEvent::ModLeftButton, 0});
  system.ProcessPendingMessages();
  ASSERT_EQ(system.GetWindows().size(), 2u) << "the title opened its popup";
  MWindow& popup = *system.GetWindows().back();
  MMenu* menu = static_cast<MMenu*>(popup.GetChild(0));
  const MRect save = menu->GetRowRect(1);
  const MPoint at{save.left + 10, (save.top + save.bottom) / 2};
  system.InjectEvent(popup, MSystemEvent{MSystemEvent::MouseMove, at, 0, 0});
  system.InjectEvent(popup, MSystemEvent{MSystemEvent::LeftDown, at, MSystemEvent::ModLeftButton, 0});
  system.InjectEvent(popup, MSystemEvent{MSystemEvent::LeftUp, at, 0, 0});
  for (int i = 0; i < 5 && system.GetWindows().size() > 1; ++i)
    system.ProcessPendingMessages();
  ASSERT_EQ(recorder.choices.size(), 1u);
  EXPECT_EQ(recorder.choices[0].menu, 0);
  EXPECT_EQ(recorder.choices[0].item, 1);
  EXPECT_EQ(system.GetWindows().size(), 1u) << "choosing closes the popup";
  window.Close();
}

// Counts the presses that reach it.
struct ClickCounter : MControl
{
  int downs = 0;
  bool OnMouseDown(MMouseButton, MPoint, std::uint32_t) override { return ++downs, true; }
};

TEST(MControlsInput, TheClickThatDismissesAMenuDoesNotReachTheControlBelow)
{
  // The popup's lost focus may come before the click, after it or never (no window manager).
  for (const bool focusLostFirst : {false, true})
  {
    MWindowSystemHeadless system;
    system.SetManualClock(10000);
    MWindow window;
    window.SetSize(MSize{300, 200});
    MSelector& selector = window.Add<MSelector>();
    selector.SetBounds(MRect::FromSize(10, 10, 120, 24));
    selector.SetChoices(MStringList{MString("One"), MString("Two")});
    ClickCounter& below = window.Add<ClickCounter>();
    below.SetBounds(MRect::FromSize(200, 120, 80, 60));
    window.Open(system);
    const auto press = [&](MWindow& into, MPoint at) {
      system.InjectEvent(into, MSystemEvent{MSystemEvent::LeftDown, at, MSystemEvent::ModLeftButton, 0});
      system.InjectEvent(into, MSystemEvent{MSystemEvent::LeftUp, at, 0, 0});
      for (int i = 0; i < 3; ++i)
        system.ProcessPendingMessages();
    };
    press(window, Centre(selector));
    ASSERT_EQ(system.GetWindows().size(), 2u) << "the list opened";
    if (focusLostFirst)
      system.InjectEvent(*system.GetWindows().back(), MSystemEvent{MSystemEvent::FocusOut, {}, 0, 0});
    press(window, Centre(below));
    EXPECT_EQ(system.GetWindows().size(), 1u) << "the click closed the list";
    EXPECT_EQ(below.downs, 0) << focusLostFirst;
    system.AdvanceClock(MWindowSystemCommon::kSuppressInputMs);
    press(window, Centre(below));
    EXPECT_EQ(below.downs, 1) << "the next click is the user's own";
  }
}

// Offers no double-arrow cursors: value controls show the hand.
struct MHandStyle : MRecordingStyle
{
  MStdCursor GetDragCursor(MStdCursor) const override { return MStdCursor::Link; }
};

TEST(MControlsInput, TheCursorFollowsTheControlUnderTheMouse)
{
  MWindowSystemHeadless system;
  MWindow window;
  window.SetSize(MSize{400, 300});
  MEdit& edit = window.Add<MEdit>();
  edit.SetBounds(MRect::FromSize(0, 0, 100, 24));
  MSplitter& across = window.Add<MSplitter>(true);
  across.SetBounds(MRect::FromSize(0, 50, 200, 60));
  MSplitter& stacked = window.Add<MSplitter>(false);
  stacked.SetBounds(MRect::FromSize(0, 120, 200, 60));
  MKnob& knob = window.Add<MKnob>();
  knob.SetBounds(MRect::FromSize(250, 0, 50, 60));
  knob.BindOwned(std::make_unique<MValueDouble>(MValueBinding<double>::Value(5.0), 0.0, 9.0));
  window.Open(system);
  const auto send = [&](MSystemEvent::Code code, MPoint at) {
    system.InjectEvent(window, MSystemEvent{code, at, 0, 0});
    system.ProcessPendingMessages();
    return system.GetCursor();
  };
  EXPECT_EQ(send(MSystemEvent::MouseMove, Centre(edit)), MStdCursor::IBeam);
  EXPECT_EQ(send(MSystemEvent::MouseMove, Centre(across)), MStdCursor::ArrowLR);
  EXPECT_EQ(send(MSystemEvent::MouseMove, {20, 80}), MStdCursor::Arrow) << "beside the divider";
  EXPECT_EQ(send(MSystemEvent::MouseMove, Centre(stacked)), MStdCursor::ArrowUD);
  EXPECT_EQ(send(MSystemEvent::MouseMove, Centre(knob)), MStdCursor::ArrowUD);
  // A drag keeps the cursor of the control that holds the capture.
  send(MSystemEvent::LeftDown, Centre(across));
  EXPECT_EQ(send(MSystemEvent::MouseMove, Centre(edit)), MStdCursor::ArrowLR);
  EXPECT_EQ(send(MSystemEvent::LeftUp, Centre(edit)), MStdCursor::IBeam);
  MHandStyle style; // the style decides between the double arrow and the hand
  window.SetStyle(&style);
  EXPECT_EQ(send(MSystemEvent::MouseMove, Centre(knob)), MStdCursor::Link);
  window.Close();
}

TEST(MControlsInput, PianoClickTogglesTheNoteUnderTheMouse)
{
  MControlsHarness harness;
  MPiano& piano = harness.Place(std::make_unique<MPiano>(), MRect::FromSize(0, 0, 210, 60));
  piano.SetRange(60, 12);
  Recorder recorder;
  piano.GetNoteEvent().Subscribe<&Recorder::OnItem>(&recorder);
  // The black key C#4 lies over the border of C4 and D4 in the upper part of the keyboard; the
  // lower part of the same spot is C4 or D4.
  const MRect sharp = piano.GetKeyRect(61);
  const MPoint onSharp{(sharp.left + sharp.right) / 2, sharp.top + 5};
  harness.Click(onSharp);
  const MRect e = piano.GetKeyRect(64);
  harness.Click(MPoint{(e.left + e.right) / 2, e.bottom - 5});
  harness.Click(MPoint{(e.left + e.right) / 2, e.bottom - 5});
  harness.Click(MPoint{(piano.GetKeyRect(71).left + piano.GetKeyRect(71).right) / 2, 55});
  EXPECT_EQ(recorder.items, (std::vector<std::int32_t>{61, 64, 64, 71}));
  EXPECT_FALSE(piano.IsNoteEnabled(61));
  EXPECT_TRUE(piano.IsNoteEnabled(64)) << "two clicks toggle back";
  EXPECT_FALSE(piano.IsNoteEnabled(71));
  EXPECT_TRUE(piano.IsNoteEnabled(60)) << "no other note changed";
  EXPECT_EQ(piano.NoteAt(MPoint{-5, 30}), -1);
  EXPECT_FALSE(piano.ToggleNote(59)) << "notes outside the range are not toggled";
}
} // namespace
