// The common editor's windows as a user meets them, as sheets over the window that holds the
// button: the morphing pad driven with the mouse and the keys, the question before a morph would
// overwrite the active slot, and the general settings with their file and the plug-in's
// protection level and channel mode. None of them runs a modal loop.
#include "framework/MQuorvelAudioEffectPluginWindows.h"

#include "core/plugin/MAudioPluginAdapter.h"
#include "framework/MMIDIControllerWindow.h"
#include "framework/MQuorvelPresetWindow.h"
#include "framework/MStyleSettings.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MCheckBox.h"
#include "gui/controls/MSelector.h"
#include "gui/controls/MSheet.h"
#include "gui/controls/MStatic.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "gui/styles/MTexturedStyle.h"
#include "tests/core/MCoreTestSupport.h"
#include "tests/framework/MFakeEffect.h"
#include "tests/gui/support/MSnapshot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace MFrameworkTest;
using PresetManager = MQuorvelAudioEffectPlugin::PresetManager;
namespace fs = std::filesystem;

namespace
{
// Counts the gestures the plug-in opens and closes per parameter.
class GestureHost : public MCoreTest::FakeHost
{
public:
  void BeginAutomationGesture(std::int32_t index) override { ++m_begun[index]; }
  void EndAutomationGesture(std::int32_t index) override { ++m_ended[index]; }
  void ReportProgramChanged() override { ++m_programChanges; }
  std::map<std::int32_t, int> m_begun, m_ended;
  int m_programChanges = 0;
};

class WindowsTest : public testing::Test
{
protected:
  void SetUp() override
  {
    // One folder per test: CTest runs the tests of this suite side by side.
    m_home = fs::temp_directory_path() / (std::string("tonvera-windows-test-") +
                                          testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_home);
    setenv("XDG_CONFIG_HOME", m_home.string().c_str(), 1);
    m_plugin.SetHostAdapter(&m_host);
    m_system.Initialize();
    m_system.SetDefaultStyle(&m_style);
    m_owner.SetSize(MSize{720, 440});
    m_origin = &m_owner.Add<MButton>(MString("Morph"));
    m_owner.Open(m_system);
  }
  void Send(MWindow& window, MSystemEvent::Code code, MPoint at, std::int32_t value = 0)
  {
    window.DispatchSystemEvent(MSystemEvent{code, at, 0, value});
  }
  double Depth() { return m_plugin.GetParameter(m_plugin.IndexOf("Depth")); }
  std::string File() const
  {
    std::ifstream in(m_home / "Tonvera" / "GeneralSettings.xml", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path m_home;
  // The sheet on top of the owner window, and its caption.
  MDialog* Top() { return MSheet::TopDialog(m_owner); }
  std::string TopCaption() { return Top() != nullptr ? Top()->GetCaption().ToUTF8() : std::string(); }
  void Key(std::int32_t key) { Send(m_owner, MSystemEvent::KeyDown, MPoint{}, key); }
  void TearDown() override { EXPECT_EQ(m_system.GetModalLoopCount(), 0) << "no modal loop, ever"; }

  GestureHost m_host;
  TestPlugin m_plugin;
  MWindowSystemHeadless m_system;
  MTexturedStyle m_style;
  MWindow m_owner;
  MButton* m_origin = nullptr;
};
TEST_F(WindowsTest, ThePresetWindowOpensWithTheFoldersSelectionAndSizeTheUserLeftIt)
{
  auto& manager = m_plugin.GetPresetManager();
  MXmlItem& vocals = manager.AddFolder(manager.GetRoot(), MString("Vocals"));
  manager.SaveCurrent(vocals, MString("Lead"));
  MXmlItem& drums = manager.AddFolder(manager.GetRoot(), MString("Drums"));
  manager.SaveCurrent(drums, MString("Kick"));
  ASSERT_LT(m_plugin.GetCurrentPresetIndex(), 0) << "no current preset: the window shows the remembered one";
  const auto open = [&] {
    m_plugin.OpenPresetWindow(*m_origin);
    auto* presets = dynamic_cast<MQuorvelAudioEffectPlugin::PresetWindow*>(Top());
    EXPECT_NE(presets, nullptr);
    return presets;
  };
  auto* presets = open();
  ASSERT_NE(presets, nullptr);
  ASSERT_TRUE(presets->GetTree().FindNode({0})->IsExpanded()) << "every folder opens the first time";
  presets->GetTree().SetExpanded(*presets->GetTree().FindNode({0}), false);
  presets->SelectPath({1, 0});
  presets->SetSize(MSize{500, 400});
  Key(MVirtualKey::Escape);
  ASSERT_EQ(Top(), nullptr);

  presets = open();
  ASSERT_NE(presets, nullptr);
  EXPECT_FALSE(presets->GetTree().FindNode({0})->IsExpanded());
  EXPECT_TRUE(presets->GetTree().FindNode({1})->IsExpanded());
  ASSERT_NE(presets->GetTree().GetSelectedNode(), nullptr);
  EXPECT_EQ(presets->GetTree().GetSelectedNode()->GetText(), MString("Kick"));
  EXPECT_EQ(presets->GetSize(), (MSize{500, 400}));
  // Kept with the general settings, beside the check boxes.
  EXPECT_NE(File().find("<Presets"), std::string::npos);
  Key(MVirtualKey::Escape);
}

TEST_F(WindowsTest, TheStyleChoiceAndTheCheckBoxesKeepEachOtherInTheSettingsFile)
{
  // No file yet: the fresh item ("Silver") is answered, and written only when asked (the settings
  // sheet asks; an editor opening does not).
  EXPECT_EQ(MStyleSettings::Load().style, MString("Silver"));
  EXPECT_FALSE(fs::exists(m_home / "Tonvera" / "GeneralSettings.xml"));
  EXPECT_EQ(MStyleSettings::Load(MStyleSettings::FreshItem::Write).style, MString("Silver"));
  EXPECT_NE(File().find("Style=\"Silver\""), std::string::npos);
  // A colour chosen, then a check box toggled, then the style again: each write keeps the other.
  MTexturedStyleConfiguration chosen = MStyleSettings::Load();
  chosen.style = "Default";
  chosen.mainColors[1] = MColor{0x20, 0x80, 0xF0, 0xFF};
  MString error;
  ASSERT_TRUE(MStyleSettings::Save(chosen, error)) << error.ToUTF8();
  ASSERT_TRUE(MGeneralSettings::Save(MGeneralSettings::Values{false, true, true}, error)) << error.ToUTF8();
  EXPECT_TRUE(MStyleSettings::Load() == chosen);
  chosen.style = "Silver";
  ASSERT_TRUE(MStyleSettings::Save(chosen, error)) << error.ToUTF8();
  EXPECT_TRUE((MGeneralSettings::Current() == MGeneralSettings::Values{false, true, true}));
  EXPECT_TRUE(MStyleSettings::Load() == chosen);

  // An unreadable file is left as it is: the editor opens in the fresh style meanwhile.
  std::ofstream(m_home / "Tonvera" / "GeneralSettings.xml") << "<GeneralSettings TabletMode=";
  const std::string damaged = File();
  EXPECT_EQ(MStyleSettings::Load(MStyleSettings::FreshItem::Write).style, MString("Silver"));
  EXPECT_EQ(File(), damaged);
}

} // namespace

TEST_F(WindowsTest, PadCornersGiveSlotsAToDInOneGesturePerDragAndTheWarningKeepsThemOnYes)
{
  const double depth[4] = {0.125, 0.25, 0.5, 0.875};
  for (int slot = 0; slot < 4; ++slot)
  {
    m_plugin.SelectSlot(slot);
    m_plugin.SetParameter(m_plugin.IndexOf("Depth"), depth[slot]);
  }
  // D is active: Yes moves to E first, No morphs into D, dismissing the question opens nothing.
  const struct
  {
    std::int32_t key; // how the question is answered: Escape, then the two buttons' values
    MModalValue answer;
    std::int32_t activeAfter;
    bool pad;
  } answers[] = {{MVirtualKey::Escape, MModalValue::Cancel, 3, false},
                 {0, MModalValue::No, 3, true},
                 {MVirtualKey::Return, MModalValue::Yes, 4, true}};
  m_host.m_programChanges = 0;
  for (const auto& a : answers)
  {
    m_plugin.OpenABCDEditor(*m_origin);
    ASSERT_EQ(TopCaption(), "ABCD morphing") << "the question shows at once, over the window";
    ASSERT_EQ(dynamic_cast<MQuorvelAudioEffectPlugin::ABCDEditor*>(Top()), nullptr) << "the question first";
    if (a.answer == MModalValue::Yes)
    {
      EXPECT_TRUE(MatchesGolden(RenderWindow(m_system, m_owner), "framework/abcd_question"));
    }
    if (a.key != 0)
      Key(a.key); // Return takes the default button, Yes
    else
      Top()->End(a.answer);
    auto* editor = dynamic_cast<MQuorvelAudioEffectPlugin::ABCDEditor*>(Top());
    EXPECT_EQ(editor != nullptr, a.pad);
    EXPECT_EQ(MSheet::SheetsOf(m_owner).size(), a.pad ? 1u : 0u) << "the question went away";
    EXPECT_EQ(m_plugin.GetPresetIndex(), a.activeAfter);
    // No: the handle starts on D, which says that morphing changes it.
    if (a.answer == MModalValue::No)
    {
      EXPECT_TRUE(MatchesGolden(RenderWindow(m_system, m_owner), "framework/abcd_editor"));
    }
    if (editor != nullptr)
      Key(MVirtualKey::Escape);
    EXPECT_EQ(Top(), nullptr);
  }

  EXPECT_EQ(m_host.m_programChanges, 1) << "the host is told that E became the current slot";
  const std::int32_t index = m_plugin.IndexOf("Depth");
  m_plugin.OpenABCDEditor(*m_origin);
  auto* editor = dynamic_cast<MQuorvelAudioEffectPlugin::ABCDEditor*>(Top());
  ASSERT_NE(editor, nullptr) << "E is active: no question";
  MMorphPad& pad = editor->GetPad();
  for (int corner = 0; corner < 4; ++corner)
  {
    // Dragged from the centre to well past the corner: the handle stops on it.
    const double u = corner % 2, v = corner / 2;
    const MPoint target = pad.UVToWindow(u, v);
    const MPoint beyond{target.x + (u > 0 ? 60 : -60), target.y + (v > 0 ? 60 : -60)};
    Send(m_owner, MSystemEvent::LeftDown, pad.UVToWindow(0.5, 0.5));
    Send(m_owner, MSystemEvent::MouseMove, pad.UVToWindow(0.3, 0.6));
    Send(m_owner, MSystemEvent::MouseMove, beyond);
    Send(m_owner, MSystemEvent::LeftUp, beyond);
    EXPECT_DOUBLE_EQ(Depth(), depth[corner]) << corner;
  }
  EXPECT_EQ(m_host.m_begun[index], 4);
  EXPECT_EQ(m_host.m_ended[index], 4);
  Key(MVirtualKey::Left); // from D towards C
  EXPECT_NEAR(Depth(), 0.98 * depth[3] + 0.02 * depth[2], 1e-9);
  EXPECT_EQ(m_host.m_ended[index], 5) << "a key move is one gesture";
  Key(MVirtualKey::Return); // Close is the default button
  EXPECT_EQ(Top(), nullptr);
  for (int slot = 0; slot < 4; ++slot)
  {
    m_plugin.SelectSlot(slot);
    EXPECT_DOUBLE_EQ(Depth(), depth[slot]) << "slot " << slot << " kept";
  }
}

TEST_F(WindowsTest, SettingsRoundTripThroughTheirFileAndSetProtectionAndChannelMode)
{
  m_plugin.SetMaxLFOBlockSize(32);
  const auto find = [](MControl& window, const char* id) { return window.FindChild(MString::FromUTF8(id)); };
  {
    m_system.SetManualClock(1000);
    m_plugin.OpenSettingsWindow(*m_origin);
    ASSERT_EQ(TopCaption(), "General settings");
    MControl& window = *Top();
    // The help line follows the mouse on the window's tick, in the sheet too.
    const MRect channel = find(window, "ChannelModeMenu")->GetWindowRect();
    Send(m_owner, MSystemEvent::MouseMove, MPoint{(channel.left + channel.right) / 2, channel.top + 4});
    m_system.AdvanceClock(250);
    m_system.ProcessPendingMessages();
    EXPECT_NE(dynamic_cast<MQuorvelAudioEffectPlugin::SettingsWindow&>(window).GetHelpText().ToUTF8().find(
                  "Which channels"),
              std::string::npos);
    auto& protection = *dynamic_cast<MSelector*>(find(window, "AutomationProtection"));
    EXPECT_EQ(protection.GetSelection(), 2) << "the level of block size 32";
    protection.Select(4);
    EXPECT_EQ(m_plugin.GetMaxLFOBlockSize(), 1);
    auto& mode = *dynamic_cast<MSelector*>(find(window, "ChannelModeMenu"));
    mode.Select(3);
    EXPECT_EQ(m_plugin.GetActiveChannelMode(), 3);
    dynamic_cast<MCheckBox*>(find(window, "TabletMode"))->Toggle();
    dynamic_cast<MCheckBox*>(find(window, "showconfirmations"))->Toggle();
    const MGeneralSettings::Values written{true, true, false};
    EXPECT_TRUE(MGeneralSettings::Current() == written);
    EXPECT_NE(File().find("TabletMode=\"1\""), std::string::npos);

    // A write that fails (the temporary name is taken by a folder) keeps the file and says so.
    const std::string before = File();
    fs::create_directories(m_home / "Tonvera" / "GeneralSettings.xml.tmp");
    dynamic_cast<MCheckBox*>(find(window, "SurroundActivated"))->Toggle();
    EXPECT_EQ(File(), before);
    EXPECT_TRUE(MGeneralSettings::Current() == written);
    auto& settings = dynamic_cast<MQuorvelAudioEffectPlugin::SettingsWindow&>(window);
    EXPECT_NE(settings.GetHelpText().ToUTF8().find("could not be saved"), std::string::npos);
    fs::remove(m_home / "Tonvera" / "GeneralSettings.xml.tmp");
    settings.ShowHelpFor(&protection);
    EXPECT_TRUE(MatchesGolden(RenderWindow(m_system, m_owner), "framework/general_settings"));
    m_plugin.OpenSettingsWindow(*m_origin);
    EXPECT_EQ(MSheet::SheetsOf(m_owner).size(), 1u) << "one at a time";
    settings.End(MModalValue::Ok);
  }

  // An unreadable file shows the defaults and is moved aside, not overwritten, on the next change.
  std::ofstream(m_home / "Tonvera" / "GeneralSettings.xml") << "<GeneralSettings TabletMode=";
  m_plugin.OpenSettingsWindow(*m_origin);
  ASSERT_NE(Top(), nullptr);
  auto& tablet = *dynamic_cast<MCheckBox*>(find(*Top(), "TabletMode"));
  EXPECT_FALSE(tablet.IsChecked());
  tablet.Toggle();
  Key(MVirtualKey::Escape);
  EXPECT_EQ(Top(), nullptr);
  std::ifstream aside(m_home / "Tonvera" / "GeneralSettings.xml.unreadable");
  std::string kept((std::istreambuf_iterator<char>(aside)), std::istreambuf_iterator<char>());
  EXPECT_EQ(kept, "<GeneralSettings TabletMode=");
  EXPECT_TRUE(MGeneralSettings::TabletMode());
}

TEST_F(WindowsTest, SurroundOffHidesTheSurroundModeAndTheZoomStepIsKeptAndChosen)
{
  const auto find = [](MControl& window, const char* id) { return window.FindChild(MString::FromUTF8(id)); };
  m_plugin.OpenSettingsWindow(*m_origin);
  ASSERT_NE(Top(), nullptr);
  auto& modes = *dynamic_cast<MSelector*>(find(*Top(), "ChannelModeMenu"));
  auto& surround = *dynamic_cast<MCheckBox*>(find(*Top(), "SurroundActivated"));
  EXPECT_EQ(modes.GetChoices().Count(), 8);
  EXPECT_TRUE(m_plugin.OffersSurround());
  surround.Toggle();
  EXPECT_FALSE(m_plugin.OffersSurround());
  EXPECT_EQ(modes.GetChoices().Count(), 7);
  EXPECT_EQ(modes.GetChoices().At(6).ToUTF8(), "Left + Right (neg)") << "only Surround is left out";
  surround.Toggle();
  EXPECT_EQ(modes.GetChoices().Count(), 8);

  auto& zoom = *dynamic_cast<MSelector*>(find(*Top(), "Zoom"));
  EXPECT_EQ(zoom.GetSelection(), 0) << "Automatic";
  EXPECT_EQ(m_plugin.ChooseEditorScale(), 1.0);
  m_plugin.SetHostContentScale(1.6);
  EXPECT_EQ(m_plugin.ChooseEditorScale(), 1.5) << "the host's scale as the nearest step";
  zoom.Select(5);
  EXPECT_EQ(MGeneralSettings::Current().zoomPercent, 200);
  EXPECT_NE(File().find("Zoom=\"200\""), std::string::npos);
  EXPECT_EQ(m_plugin.ChooseEditorScale(), 2.0) << "a chosen zoom wins over the host's";
  zoom.Select(0);
  EXPECT_EQ(m_plugin.ChooseEditorScale(), 1.5);
  Key(MVirtualKey::Escape);
}

TEST_F(WindowsTest, DefaultSettingsButtonsReachNewInstancesAskBeforeLoadingAndKeepAnUnreadableFile)
{
  struct Answers : MQuorvelEditorDialogs
  {
    void Ask(MControl&, const MString&, const MString&, Answer answer) override { answer(++asked > 1); }
    int asked = 0;
  } answers;
  m_plugin.SetEditorDialogs(&answers);
  const std::int32_t depth = m_plugin.IndexOf("Depth");
  const fs::path file = m_home / "Tonvera" / "GlobalConfiguration.xml";
  m_plugin.OpenSettingsWindow(*m_origin);
  ASSERT_NE(Top(), nullptr);
  {
    MControl& window = *Top();
    const auto button = [&](const MString& id) { return dynamic_cast<MButton*>(window.FindChild(id)); };
    m_plugin.SetParameter(depth, 0.25);
    m_plugin.SetProtectionLevel(3);
    button("SetDefaultSettings")->Click();
    EXPECT_DOUBLE_EQ(TestPlugin().GetParameter(depth), 0.25) << "a new instance starts with them";
    m_plugin.SetParameter(depth, 0.75);
    m_plugin.SetProtectionLevel(1);
    button("LoadDefaultSettings")->Click(); // answered no
    EXPECT_DOUBLE_EQ(Depth(), 0.75);
    button("LoadDefaultSettings")->Click(); // yes
    EXPECT_EQ(answers.asked, 2);
    EXPECT_DOUBLE_EQ(Depth(), 0.25);
    EXPECT_EQ(dynamic_cast<MSelector*>(window.FindChild(MString("AutomationProtection")))->GetSelection(), 3);

    // A configuration that cannot be read is kept aside, byte for byte, before the new one.
    const std::string broken = "<Configuration><EditorWidth>9";
    std::ofstream(file, std::ios::binary) << broken;
    button("SetDefaultSettings")->Click();
    std::ifstream kept(file.string() + ".unreadable", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), broken);
    EXPECT_DOUBLE_EQ(TestPlugin().GetParameter(depth), 0.25);
    Top()->End(MModalValue::Ok);
  }
  m_plugin.SetEditorDialogs(nullptr);
}

TEST_F(WindowsTest, APathWithMarkupCharactersShowsAsTextInTheSettingsHelpLine)
{
  // A settings folder whose name reads as mark-up: the note naming the kept file shows it as is.
  const fs::path odd = m_home / "a<i>b&c";
  fs::create_directories(odd / "Tonvera");
  setenv("XDG_CONFIG_HOME", odd.string().c_str(), 1);
  std::ofstream(odd / "Tonvera" / "GeneralSettings.xml") << "<GeneralSettings TabletMode=";
  m_plugin.OpenSettingsWindow(*m_origin);
  auto* settings = dynamic_cast<MQuorvelAudioEffectPlugin::SettingsWindow*>(Top());
  ASSERT_NE(settings, nullptr);
  dynamic_cast<MCheckBox*>(settings->FindChild(MString("TabletMode")))->Toggle();
  const std::string shown = settings->GetHelpText().ToUTF8();
  EXPECT_NE(shown.find("kept as"), std::string::npos) << shown;
  EXPECT_NE(shown.find("a&lt;i&gt;b&amp;c"), std::string::npos) << shown;
  settings->End(MModalValue::Ok);
  setenv("XDG_CONFIG_HOME", m_home.string().c_str(), 1);
}

namespace
{
// Questions the test answers when it likes; told messages are kept.
struct LaterAnswers : MQuorvelEditorDialogs
{
  void Ask(MControl&, const MString&, const MString&, Answer answer) override { pending = std::move(answer); }
  void Tell(MControl&, const MString&, const MString& message) override { told = message.ToUTF8(); }
  Answer pending;
  std::string told;
};

MXmlItem* FindNamed(MPresetTree& tree, const char* name)
{
  return MPresetTree::FindChild(tree.GetRoot(), MString::FromUTF8(name), false);
}
} // namespace

// While the question sheet is open another instance removes a preset and the tree is merged:
// the answer acts on the preset the user chose, never on the one now at its place, and refuses
// with a message when the chosen one has gone.
TEST_F(WindowsTest, ReplaceAfterAMergeActsOnTheChosenPresetOrRefuses)
{
  LaterAnswers answers;
  m_plugin.SetEditorDialogs(&answers);
  PresetManager& manager = m_plugin.GetPresetManager();
  MString error;
  ASSERT_TRUE(m_plugin.ChangePresetTree(
      [](PresetManager& m) {
        for (const char* name : {"U0", "U1", "U2"})
          m.SaveCurrent(m.GetRoot(), MString::FromUTF8(name));
      },
      error));
  m_plugin.SetParameter(m_plugin.IndexOf("Depth"), 0.3);
  m_plugin.OpenPresetWindow(*m_origin);
  auto* presets = dynamic_cast<MQuorvelAudioEffectPlugin::PresetWindow*>(Top());
  ASSERT_NE(presets, nullptr);
  const MXmlItem u1 = *FindNamed(manager, "U1");
  const MXmlItem u2 = *FindNamed(manager, "U2");
  const auto other = [](const char* name) {
    TestPlugin plugin;
    MString problem;
    EXPECT_TRUE(plugin.ChangePresetTree([&](PresetManager& m) { m.Remove(*FindNamed(m, name)); }, problem));
  };
  int outcome = -1;
  const auto replace = [&](const char* name) {
    presets->SelectPath(
        MQuorvelAudioEffectPlugin::PresetTree::PathOf(manager.GetRoot(), *FindNamed(manager, name)));
    outcome = -1;
    presets->ReplaceSelected([&](bool done) { outcome = done; });
  };
  replace("U1");
  EXPECT_EQ(outcome, -1) << "asked first";
  other("U0");
  ASSERT_TRUE(m_plugin.ReloadPresetTree());
  presets->Refresh();
  answers.pending(true);
  EXPECT_EQ(outcome, 1);
  ASSERT_NE(FindNamed(manager, "U1"), nullptr);
  EXPECT_FALSE(*FindNamed(manager, "U1") == u1) << "U1 holds the new settings";
  EXPECT_TRUE(*FindNamed(manager, "U2") == u2) << "the preset now at U1's place is untouched";

  replace("U2");
  other("U2");
  ASSERT_TRUE(m_plugin.ReloadPresetTree());
  answers.told.clear();
  answers.pending(true);
  EXPECT_EQ(outcome, 0);
  EXPECT_NE(answers.told.find("\"U2\" is no longer there"), std::string::npos) << answers.told;
  EXPECT_EQ(FindNamed(manager, "U2"), nullptr);
  Key(MVirtualKey::Escape);
  m_plugin.SetEditorDialogs(nullptr);
}

// Controller sets [S0, S1, S2]; another instance deletes S1 while this sheet still offers it:
// Delete and Load of "S1" refuse and say so, S2 stays.
TEST_F(WindowsTest, ControllerSetDeleteAndLoadActOnTheChosenSetByItsId)
{
  const MString path = MQuorvelAudioEffectPlugin::GetControllerSetsPath();
  const auto names = [&] {
    MPresetTree file;
    file.Load(path);
    std::string list;
    for (const MXmlItem* set : file.ListPresets())
      list += set->GetAttribute("name", "").ToUTF8() + " ";
    return list;
  };
  for (const char* action : {"MIDISetDelete", "MIDISetLoad"})
  {
    MPresetTree sets;
    fs::remove(path.ToUTF8());
    sets.LoadOrCreate(path, MXmlItem(MString("presets")));
    sets.Change(path, [](MPresetTree& tree) {
      for (const char* name : {"S0", "S1", "S2"})
        tree.AddPreset(tree.GetRoot(), MString::FromUTF8(name), MXmlItem("preset"));
    });
    m_plugin.OpenMIDIWindow(*m_origin);
    auto* midi = dynamic_cast<MMIDIControllerWindow*>(Top());
    ASSERT_NE(midi, nullptr);
    auto& choice = *dynamic_cast<MSelector*>(midi->FindChild(MString("MIDISetChoice")));
    choice.SetSelection(1);
    ASSERT_EQ(choice.GetChoices()[1], MString("S1"));
    MPresetTree other;
    other.Load(path);
    other.Change(path, [&](MPresetTree& tree) { tree.Remove(*FindNamed(tree, "S1")); });
    dynamic_cast<MButton*>(midi->FindChild(MString::FromUTF8(action)))->Click();
    const std::string note = midi->GetNote().ToUTF8();
    EXPECT_NE(note.find("\"S1\" is no longer there"), std::string::npos) << action << ": " << note;
    EXPECT_EQ(names(), "S0 S2 ") << action;
    midi->End(MModalValue::Ok);
  }
}

// The host loads a state while the MIDI sheet is open: the sheet shows it on the next idle tick,
// and an edit of another row writes back that row only, never the rows as the sheet first saw them.
TEST_F(WindowsTest, TheMIDISheetAfterAHostStateLoadShowsItAndWritesBackOnlyTheChangedRow)
{
  m_plugin.OpenMIDIWindow(*m_origin);
  auto* midi = dynamic_cast<MMIDIControllerWindow*>(Top());
  ASSERT_NE(midi, nullptr);
  const std::int32_t depth = m_plugin.IndexOf("Depth");
  const std::int32_t speed = m_plugin.IndexOf("Speed");
  {
    TestPlugin source;
    MControllerAssignment a;
    a.enabled = true;
    a.parameter = depth;
    a.controller = 7;
    source.SetControllerLists({a}, {});
    const auto state = source.SaveState();
    ASSERT_TRUE(m_plugin.LoadState(state->GetData(), state->GetSize()));
  }
  auto& row2 = *dynamic_cast<MSelector*>(midi->FindChild(MString("Controller2Parameter")));
  row2.Select(speed + 1);
  const std::vector<MControllerAssignment> lists = m_plugin.GetControllerAssignments();
  ASSERT_EQ(lists.size(), 2u);
  EXPECT_EQ(lists[0].parameter, depth) << "the loaded row stays";
  EXPECT_EQ(lists[0].controller, 7);
  EXPECT_EQ(lists[1].parameter, speed);
  // Changed under the sheet again (a learn, a program change): the idle tick shows it.
  MControllerAssignment b = lists[1];
  b.controller = 9;
  m_plugin.SetControllerLists({lists[0], b}, {});
  midi->FollowPluginState();
  EXPECT_EQ(dynamic_cast<MSelector*>(midi->FindChild(MString("Controller2Source")))->GetSelection(), 9);
  midi->End(MModalValue::Ok);
}
