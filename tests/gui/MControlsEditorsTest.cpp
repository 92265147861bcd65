// Repeating, scrolling, choosing and the shape editors: the behaviours their users depend on.

#include "base/MXmlItem.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MCheckBox.h"
#include "gui/controls/MListBox.h"
#include "gui/controls/MPiano.h"
#include "gui/controls/MColorEditor.h"
#include "gui/controls/MDialogWindow.h"
#include "gui/controls/MEdit.h"
#include "gui/controls/MEnvelopeEditorControl.h"
#include "gui/controls/MGraphEditor.h"
#include "gui/controls/MKeyboardControl.h"
#include "gui/controls/MPanel.h"
#include "gui/controls/MScrollBar.h"
#include "gui/controls/MSelector.h"
#include "gui/controls/MTabSet.h"
#include "gui/controls/MTreeControl.h"
#include "tests/gui/MControlsTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace
{
struct NoteRecorder : MEventTarget
{
  std::vector<std::pair<std::int32_t, std::int32_t>> notes;
  void OnNote(MNoteParams& params) { notes.emplace_back(params.note, params.velocity); }
};

TEST(MControlsEditors, RepeaterClicksOnPressAndOnEachTickWhileHeldOverIt)
{
  MControlsHarness harness;
  MRepeaterButton& button =
      harness.Place(std::make_unique<MRepeaterButton>(MString("+1")), MRect::FromSize(10, 10, 40, 24));
  harness.Send(MSystemEvent::LeftDown, Centre(button), MSystemEvent::ModLeftButton);
  EXPECT_EQ(button.GetClickCount(), 1);
  // The window numbers its timers from 1; the first tick switches to the repeat period.
  for (int tick = 0; tick < 3; ++tick)
    harness.Send(MSystemEvent::Timer, {}, 0, 1);
  EXPECT_EQ(button.GetClickCount(), 4);
  harness.Send(MSystemEvent::MouseMove, {300, 200}, MSystemEvent::ModLeftButton);
  harness.Send(MSystemEvent::Timer, {}, 0, 1);
  EXPECT_EQ(button.GetClickCount(), 4) << "no repeats while the mouse is off the button";
  harness.Send(MSystemEvent::LeftUp, {300, 200});
  harness.Send(MSystemEvent::Timer, {}, 0, 1);
  EXPECT_EQ(button.GetClickCount(), 4) << "releasing stops the timer";
}

TEST(MControlsEditors, ScrollBarPagesDragsAndClamps)
{
  MControlsHarness harness;
  MScrollBar& bar = harness.Place(std::make_unique<MScrollBar>(true), MRect::FromSize(10, 10, 12, 200));
  bar.SetRange(1000, 100);
  harness.Click(MPoint{16, 205}); // below the thumb
  EXPECT_EQ(bar.GetScrollPosition(), 100);
  const MRect thumb = bar.GetThumbRect();
  const MPoint grip{16, 10 + (thumb.top + thumb.bottom) / 2};
  harness.Drag(grip, MPoint{16, grip.y + 90}); // the thumb has 180 px to travel for 900 units
  EXPECT_EQ(bar.GetScrollPosition(), 550);
  harness.Send(MSystemEvent::MouseWheel, grip, 0, -120 * 400);
  EXPECT_EQ(bar.GetScrollPosition(), bar.GetMaxPosition());
  bar.SetRange(50, 500);
  EXPECT_EQ(bar.GetScrollPosition(), 0) << "a page larger than the range leaves nothing to scroll";
}

TEST(MControlsEditors, SelectorTabSetAndComboStepThroughTheirChoices)
{
  MControlsHarness harness;
  MSelector& selector = harness.Place(std::make_unique<MSelector>(), MRect::FromSize(10, 10, 150, 24));
  selector.SetChoices(MStringList{"C major", "G major", "D minor"});
  const MRect right = selector.GetRightArrowRect();
  harness.Click(MPoint{10 + right.left + 3, 20});
  harness.Click(MPoint{10 + right.left + 3, 20});
  harness.Click(MPoint{10 + right.left + 3, 20});
  EXPECT_EQ(selector.GetSelection(), 2) << "steps stop at the last choice";
  harness.Send(MSystemEvent::MouseWheel, Centre(selector), 0, 120);
  EXPECT_EQ(selector.GetSelection(), 1);

  MTabSet& tabs = harness.Place(std::make_unique<MTabSet>(), MRect::FromSize(10, 50, 300, 150));
  tabs.AddTab("Tuning", std::make_unique<MPanel>());
  tabs.AddTab("Scale", std::make_unique<MPanel>());
  const MRect scaleTab = tabs.GetTabRect(1);
  harness.Click(MPoint{10 + scaleTab.left + 5, 50 + scaleTab.top + 5});
  EXPECT_EQ(tabs.GetSelection(), 1);
  EXPECT_FALSE(tabs.GetPage(0)->IsVisible());
  EXPECT_TRUE(tabs.GetPage(1)->IsVisible());
  EXPECT_EQ(tabs.GetPage(1)->GetBounds(), tabs.GetPageRect());

  MComboEdit& combo = harness.Place(std::make_unique<MComboEdit>(), MRect::FromSize(10, 210, 150, 24));
  combo.SetChoices(MStringList{"Chromatic", "Major", "Minor"});
  combo.SetFocus();
  harness.Key(MVirtualKey::Down);
  harness.Key(MVirtualKey::Down);
  EXPECT_EQ(combo.GetText(), MString("Major"));
  harness.Key(MVirtualKey::Down);
  harness.Key(MVirtualKey::Down);
  EXPECT_EQ(combo.GetChoiceIndex(), 2);
}

TEST(MControlsEditors, EnvelopeKeepsItsEndsAndOrderAndTheGraphDrawsEveryBarTheMouseCrosses)
{
  MEnvelopeEditorControl envelope;
  envelope.SetPoints({{0.7, 0.2}, {0.3, 2.0}, {std::nan(""), 0.5}});
  const auto& points = envelope.GetPoints();
  ASSERT_EQ(points.size(), 4u) << "ends added, not-a-number dropped";
  EXPECT_EQ(points.front().time, 0.0);
  EXPECT_EQ(points[1].time, 0.3);
  EXPECT_EQ(points[1].level, 1.0) << "levels are limited to 0..1";
  EXPECT_EQ(points.back().time, 1.0);
  EXPECT_TRUE(envelope.MovePoint(1, 0.9, 0.5));
  EXPECT_EQ(points[1].time, 0.7) << "a point cannot pass its neighbour";
  EXPECT_TRUE(envelope.MovePoint(0, 0.5, 0.5));
  EXPECT_EQ(points[0].time, 0.0) << "the first point stays at time 0";
  EXPECT_NEAR(envelope.LevelAt(0.35), 0.5, 1e-12);
  EXPECT_FALSE(envelope.RemovePoint(0)) << "the ends cannot be removed";
  const std::int32_t added = envelope.AddPoint(0.5, envelope.LevelAt(0.5));
  EXPECT_EQ(added, 1) << "inserted in time order";
  EXPECT_TRUE(envelope.RemovePoint(added));

  // The graph draws every bar the mouse crosses.
  MControlsHarness harness;
  MGraphEditor& graph = harness.Place(std::make_unique<MGraphEditor>(), MRect::FromSize(0, 0, 168, 108));
  graph.SetCount(8); // 160 px of plot: 20 px a bar
  for (std::int32_t i = 0; i < 8; ++i)
    graph.SetValue(i, 0.5);
  harness.Drag(MPoint{14, 4}, MPoint{153, 4}); // along the top, across every bar
  for (std::int32_t i = 0; i < 8; ++i)
    EXPECT_EQ(graph.GetValue(i), 1.0) << "bar " << i;
}

TEST(MControlsEditors, ColorEditorAcceptsHexAndKeepsItsPartsInStep)
{
  MColorEditor editor;
  editor.SetSize(MSize{240, 220});
  editor.GetHexEdit().SetText("3C8CE780");
  editor.GetHexEdit().Commit();
  EXPECT_EQ(editor.GetColor(), (MColor{0x3C, 0x8C, 0xE7, 0x80}));
  EXPECT_NEAR(editor.GetField().GetHsv().h, MHsv::FromColor(MColor{0x3C, 0x8C, 0xE7, 0xFF}).h, 1e-12);
  editor.GetHexEdit().SetText("not a colour");
  editor.GetHexEdit().Commit();
  EXPECT_EQ(editor.GetColor(), (MColor{0x3C, 0x8C, 0xE7, 0x80})) << "text that is no colour changes nothing";
  EXPECT_EQ(editor.GetHexEdit().GetText(), MString("3C8CE780"));
  for (const MColor color :
       {MColor{255, 0, 0, 255}, MColor{0, 255, 0, 255}, MColor{12, 34, 200, 255}, MColor{90, 90, 90, 255}})
    EXPECT_EQ(MHsv::FromColor(color).ToColor(), color) << "HSV round trip";
}

TEST(MControlsEditors, KeyboardPlaysMouseAndComputerKeys)
{
  MControlsHarness harness;
  MKeyboardControl& keyboard =
      harness.Place(std::make_unique<MKeyboardControl>(), MRect::FromSize(0, 0, 210, 60));
  keyboard.SetRange(60, 12);
  NoteRecorder recorder;
  keyboard.GetNoteEvent().Subscribe<&NoteRecorder::OnNote>(&recorder);
  harness.Send(MSystemEvent::LeftDown, MPoint{15, 55},
               MSystemEvent::ModLeftButton); // C4, low on the key: loud
  harness.Send(MSystemEvent::MouseMove, MPoint{45, 55}, MSystemEvent::ModLeftButton); // slide to D4
  harness.Send(MSystemEvent::LeftUp, MPoint{45, 55});
  keyboard.SetFocus();
  harness.Send(MSystemEvent::KeyDown, {}, 0, 'E');
  harness.Send(MSystemEvent::KeyDown, {}, 0, 'E'); // auto-repeat: still one note
  harness.Send(MSystemEvent::KeyUp, {}, 0, 'E');
  ASSERT_EQ(recorder.notes.size(), 6u);
  EXPECT_EQ(recorder.notes[0].first, 60);
  EXPECT_GT(recorder.notes[0].second, 100);
  EXPECT_EQ(recorder.notes[1], (std::pair<std::int32_t, std::int32_t>{60, 0}));
  EXPECT_EQ(recorder.notes[2].first, 62);
  EXPECT_EQ(recorder.notes[3], (std::pair<std::int32_t, std::int32_t>{62, 0}));
  EXPECT_EQ(recorder.notes[4], (std::pair<std::int32_t, std::int32_t>{keyboard.GetOctaveBase() + 3, 100}));
  EXPECT_FALSE(keyboard.IsNoteHeld(keyboard.GetOctaveBase() + 3));
}

TEST(MControlsEditors, DirectoryTreeListsFoldersOnDemand)
{
  MDirectoryTreeControl tree;
  tree.SetSize(MSize{200, 200});
  tree.SetRootPath(MString("/nonexistent-folder-of-the-tests"));
  ASSERT_EQ(tree.GetRows().size(), 1u) << "an unreadable folder shows only itself";
  EXPECT_FALSE(tree.GetRows()[0]->MayHaveChildren());
}
} // namespace

namespace
{
// Attributes a control writes load back into a fresh control of the same class unchanged.
TEST(MControlsEditors, SavedAttributesLoadBackUnchanged)
{
  struct Case
  {
    const char* name;
    std::function<std::unique_ptr<MControl>()> make;
    std::function<void(MControl&)> edit;
  };
  const Case cases[] = {
      {"check box", [] { return std::unique_ptr<MControl>(std::make_unique<MCheckBox>()); },
       [](MControl& c) { static_cast<MCheckBox&>(c).SetCheck(MCheckState::Grayed); }},
      {"selector", [] { return std::unique_ptr<MControl>(std::make_unique<MSelector>()); },
       [](MControl& c) {
         static_cast<MSelector&>(c).SetChoices(MStringList{"A", "B", "C"});
         static_cast<MSelector&>(c).SetSelection(2);
       }},
      {"piano", [] { return std::unique_ptr<MControl>(std::make_unique<MPiano>()); },
       [](MControl& c) {
         static_cast<MPiano&>(c).SetRange(36, 40);
         static_cast<MPiano&>(c).SetNoteEnabled(40, false);
       }},
      {"list", [] { return std::unique_ptr<MControl>(std::make_unique<MListBox>()); },
       [](MControl& c) {
         static_cast<MListBox&>(c).AddString("One");
         static_cast<MListBox&>(c).AddString("Two");
         static_cast<MListBox&>(c).SetSelection(1);
       }},
      {"edit", [] { return std::unique_ptr<MControl>(std::make_unique<MEdit>()); },
       [](MControl& c) {
         static_cast<MEdit&>(c).SetText("Soft vocal");
         static_cast<MEdit&>(c).SetReadOnly(true);
       }},
      {"colour button", [] { return std::unique_ptr<MControl>(std::make_unique<MColorButton>()); },
       [](MControl& c) {
         static_cast<MColorButton&>(c).SetColor(MColor{1, 2, 3, 4});
       }},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.name);
    std::unique_ptr<MControl> original = c.make();
    c.edit(*original);
    MXmlItem saved("control");
    original->SaveAttributes(saved);
    std::unique_ptr<MControl> loaded = c.make();
    loaded->LoadAttributes(saved);
    MXmlItem again("control");
    loaded->SaveAttributes(again);
    EXPECT_TRUE(saved == again);
  }
}
} // namespace

namespace
{
TEST(MControlsEditors, DialogsEndWithTheirKeysAndTheFirstAnswerWins)
{
  // Each dialog in a window of its own, as tools show them (without running its loop here).
  const auto key = [](MWindow& window, std::int32_t code) {
    window.DispatchSystemEvent(MSystemEvent{MSystemEvent::KeyDown, {}, 0, code});
  };
  MDialogWindow renameWindow(
      std::make_unique<MEditTextDialog>(MString("Rename"), MString("Name:"), MString("Soft")));
  auto& rename = static_cast<MEditTextDialog&>(renameWindow.GetDialog());
  renameWindow.SetFocusControl(&rename.GetEdit());
  key(renameWindow, 'X');
  MSystemEvent typed;
  typed.code = MSystemEvent::Character;
  typed.value = '!';
  renameWindow.DispatchSystemEvent(typed);
  key(renameWindow, MVirtualKey::Return);
  EXPECT_EQ(rename.GetResult(), MModalValue::Ok) << "Return in the field ends the dialog with OK";
  EXPECT_EQ(renameWindow.GetModalResult(), MModalValue::Ok);
  EXPECT_EQ(rename.GetText(), MString("!")) << "typing replaced the selected text";

  MDialogWindow questionWindow(std::make_unique<MMessageDialog>(MString("Tonvera"), MString("Replace?"),
                                                                MMessageDialog::Buttons::YesNo));
  MDialog& question = questionWindow.GetDialog();
  int answers = 0;
  question.SetCompletion([&answers](MModalValue) { ++answers; });
  questionWindow.SetFocusControl(question.GetInitialFocus());
  key(questionWindow, MVirtualKey::Escape);
  EXPECT_EQ(question.GetResult(), MModalValue::Cancel);
  question.End(MModalValue::Yes);
  EXPECT_EQ(question.GetResult(), MModalValue::Cancel) << "the first answer stands";
  EXPECT_EQ(answers, 1) << "the completion hears one answer";

  MProgressDialog progress(MString("Analysing"));
  EXPECT_FALSE(progress.IsCancelled());
  MButton* cancel = nullptr;
  for (std::size_t i = 0; i < progress.GetChildCount() && cancel == nullptr; ++i)
    cancel = dynamic_cast<MButton*>(progress.GetChild(i));
  ASSERT_NE(cancel, nullptr);
  cancel->Click();
  EXPECT_TRUE(progress.IsCancelled());
  progress.SetProgress(7.0);
  EXPECT_EQ(progress.GetProgress(), 1.0) << "progress is limited to 0..1";
}
} // namespace
