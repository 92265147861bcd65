// The preset bar and the preset window of the common editor, on a settings folder of their own.

#include "core/plugin/MAudioPluginAdapter.h"
#include "tests/core/MCoreTestSupport.h"
#include "framework/MQuorvelPresetWindow.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MDialogWindow.h"
#include "gui/controls/MSelector.h"
#include "gui/controls/MSheet.h"
#include "gui/controls/MStatic.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "gui/styles/MTexturedStyle.h"
#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"
#include "tests/gui/support/MSnapshot.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
// The user's answers, given in advance and at once; what the editor told and asked is kept.
class ScriptedDialogs : public MQuorvelEditorDialogs
{
public:
  void Tell(MControl&, const MString&, const MString& message) override { told.push_back(message.ToUTF8()); }
  void Ask(MControl&, const MString&, const MString& question, Answer answer) override
  {
    asked.push_back(question.ToUTF8());
    answer(yes);
  }
  void AskText(MControl&, const MString&, const MString&, const MString&, TextAnswer answer) override
  {
    if (names.empty())
      return;
    const MString text = MString::FromUTF8(names.front());
    names.erase(names.begin());
    answer(text);
  }
  void AskFile(MControl&, const MString&, const MString&, const MString&, bool, TextAnswer) override {}

  std::vector<std::string> told, asked, names;
  bool yes = true;
};

void SetConfigHome(const std::filesystem::path& home)
{
#ifdef _WIN32
  _putenv_s("XDG_CONFIG_HOME", home.string().c_str());
  _putenv_s("APPDATA", home.string().c_str());
#else
  setenv("XDG_CONFIG_HOME", home.string().c_str(), 1);
#endif
}

class CommonEditor : public testing::Test
{
protected:
  void SetUp() override
  {
    m_home = std::filesystem::temp_directory_path() /
             (std::string("tonvera-common-editor-") +
              testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_home);
    SetConfigHome(m_home);
    MModuleLibrary::AdapterCreated(MModuleLibrary::AdapterKind::kVst2);
    m_owned.reset(CreateTonveraPlugin());
    m_plugin = dynamic_cast<MQuorvelAudioEffectPlugin*>(m_owned.get());
    ASSERT_NE(m_plugin, nullptr);
    m_plugin->SetHostAdapter(&m_host);
    m_plugin->SetEditorDialogs(&m_dialogs);
    m_system.Initialize();
    m_system.SetDefaultStyle(&m_style);
    ASSERT_TRUE(m_plugin->OpenEditor(m_system, 1));
  }
  void TearDown() override
  {
    m_owned.reset();
    MModuleLibrary::AdapterDestroyed(MModuleLibrary::AdapterKind::kVst2);
    std::filesystem::remove_all(m_home);
  }

  MControl& Bar(const char* id)
  {
    MControl* control = m_plugin->GetEditor()->GetWindow()->FindChild(MString::FromUTF8(id));
    EXPECT_NE(control, nullptr) << id;
    return *control;
  }
  // A click with the mouse at the control's centre, as the user makes it.
  void Click(const char* id)
  {
    const MRect r = Bar(id).GetWindowRect();
    for (MSystemEvent::Code code : {MSystemEvent::MouseMove, MSystemEvent::LeftDown, MSystemEvent::LeftUp})
    {
      m_plugin->GetEditor()->GetWindow()->DispatchSystemEvent(
          MSystemEvent{code, MPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, 0, 0});
    }
  }
  std::string Shown() { return dynamic_cast<MStatic&>(Bar("PresetName")).GetText().ToUTF8(); }
  std::string SlotsOn()
  {
    std::string on;
    for (const char* id : {"SlotA", "SlotB", "SlotC", "SlotD", "SlotE", "SlotF", "SlotG", "SlotH"})
      on += dynamic_cast<MButton&>(Bar(id)).IsOn() ? '1' : '0';
    return on;
  }
  std::string PresetFile() const
  {
    std::ifstream file(m_home / "Tonvera" / "Presets" / "presets.xml");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
  }
  static bool Has(const std::string& text, const std::string& part)
  {
    return text.find(part) != std::string::npos;
  }

  // Runs a preset window action and answers whether it did what it was asked (the scripted
  // dialogs answer at once, so the action is over when it returns).
  static bool Did(const std::function<void(MQuorvelAudioEffectPlugin::PresetWindow::Done)>& action)
  {
    bool done = false;
    action([&done](bool outcome) { done = outcome; });
    return done;
  }

  std::filesystem::path m_home;
  MCoreTest::FakeHost m_host;
  ScriptedDialogs m_dialogs;
  MWindowSystemHeadless m_system;
  MTexturedStyle m_style;
  std::unique_ptr<MAudioPlugin> m_owned;
  MQuorvelAudioEffectPlugin* m_plugin = nullptr;
};
} // namespace

TEST_F(CommonEditor, SlotsAndPresetStepsShowInTheBar)
{
  EXPECT_FALSE(std::filesystem::exists(m_home / "Tonvera")) << "opening the editor writes no file";
  EXPECT_EQ(SlotsOn(), "10000000");
  Click("SlotC");
  EXPECT_EQ(m_plugin->GetPresetIndex(), 2);
  EXPECT_EQ(SlotsOn(), "00100000") << "the clicked slot is the only one pressed";
  Click("SlotC");
  EXPECT_EQ(SlotsOn(), "00100000") << "clicking the active slot keeps it pressed";
  Click("AB");
  EXPECT_EQ(SlotsOn(), "10000000");
  m_plugin->SelectSlot(7); // a host's state or the morph editor: the next idle tick shows it
  m_plugin->IdleEditor();
  EXPECT_EQ(SlotsOn(), "00000001");

  const std::vector<MXmlItem*> presets = m_plugin->GetPresetManager().ListPresets();
  const std::int32_t count = static_cast<std::int32_t>(presets.size());
  ASSERT_GE(count, 3) << "the factory presets are there on first use";
  EXPECT_EQ(Shown(), "Unnamed preset");
  const struct
  {
    const char* button;
    std::int32_t index;
  } steps[] = {{"PreviousPreset", count - 1},
               {"NextPreset", 0},
               {"NextPreset", 1},
               {"PreviousPreset", 0},
               {"PreviousPreset", count - 1}};
  for (const auto& step : steps)
  {
    Click(step.button);
    EXPECT_EQ(m_plugin->GetCurrentPresetIndex(), step.index) << step.button;
    EXPECT_EQ(
        Shown(),
        presets[static_cast<std::size_t>(step.index)]->GetAttribute(MString("name"), MString()).ToUTF8());
  }
  // A damaged preset is passed over and named; the step lands on the next good one.
  MXmlItem& broken = *presets[0];
  broken = MXmlItem(MString("preset"));
  broken.SetAttribute(MString("name"), MString("Broken"));
  broken.SetAttribute(MString("compressed"), MString("1"));
  broken.SetText(MString("78DAZZ"));
  Click("NextPreset");
  EXPECT_EQ(m_plugin->GetCurrentPresetIndex(), 1);
  ASSERT_EQ(m_dialogs.told.size(), 1u);
  EXPECT_TRUE(Has(m_dialogs.told[0], "Broken")) << m_dialogs.told[0];
  EXPECT_TRUE(m_dialogs.asked.empty());
}

TEST_F(CommonEditor, PasteOfAnythingButSettingsKeepsTheStateAndSaysWhy)
{
  const std::string before = m_plugin->CopySettingsText().ToUTF8();
  const char* const clipboards[] = {"",
                                    "not xml at all",
                                    "<?xml version=\"1.0\"?><other/>",
                                    "<settings><open",
                                    "<settings PresetIndex=\"3\"",
                                    "<settings><x></settings>"};
  for (const char* text : clipboards)
  {
    m_dialogs.told.clear();
    m_system.SetClipboardText(MString::FromUTF8(text));
    Click("Paste");
    ASSERT_EQ(m_dialogs.told.size(), 1u) << text;
    EXPECT_TRUE(Has(m_dialogs.told[0], "Nothing was pasted")) << m_dialogs.told[0];
    EXPECT_EQ(m_plugin->CopySettingsText().ToUTF8(), before) << text;
  }
  // What Copy puts on the clipboard pastes back: the slot and the AGC switch return.
  m_dialogs.told.clear();
  Click("Copy");
  const std::string copied = m_plugin->CopySettingsText().ToUTF8();
  Click("SlotE");
  Click("AGC");
  EXPECT_TRUE(m_plugin->IsAGCEnabled());
  Click("Paste");
  EXPECT_TRUE(m_dialogs.told.empty());
  EXPECT_EQ(m_plugin->CopySettingsText().ToUTF8(), copied) << "the whole state, loaded";
  EXPECT_EQ(m_plugin->GetPresetIndex(), 0);
  EXPECT_FALSE(m_plugin->IsAGCEnabled());
  EXPECT_EQ(SlotsOn(), "10000000");
  EXPECT_FALSE(dynamic_cast<MButton&>(Bar("AGC")).IsOn());
}

TEST_F(CommonEditor, SetShowsItsProgressUntilDoneCancelledOrTheEditorCloses)
{
  // Without audio the window waits and the editor goes on idling; Cancel leaves AGC as it was.
  Click("SetAGC");
  MProgressDialog* window = m_plugin->GetOptimalGainDialog();
  ASSERT_NE(window, nullptr);
  for (int tick = 0; tick < 3; ++tick)
    m_plugin->IdleEditor();
  EXPECT_TRUE(dynamic_cast<MButton&>(Bar("AGC")).IsOn());
  EXPECT_EQ(window->GetProgress(), 0.0);
  MButton* cancel = nullptr;
  for (std::size_t i = 0; i < window->GetChildCount() && cancel == nullptr; ++i)
    cancel = dynamic_cast<MButton*>(window->GetChild(i));
  ASSERT_NE(cancel, nullptr);
  cancel->Click(); // ends the sheet: the dialog is gone afterwards
  m_plugin->IdleEditor();
  EXPECT_EQ(m_plugin->GetOptimalGainDialog(), nullptr);
  EXPECT_FALSE(m_plugin->IsAGCEnabled());
  EXPECT_FALSE(dynamic_cast<MButton&>(Bar("AGC")).IsOn());

  // With audio the window closes by itself once the gain is set.
  m_plugin->SetChannelNames({MString("L"), MString("R")}, {MString("L"), MString("R")});
  m_plugin->InitProcessing(); // 44.1 kHz
  Click("SetAGC");
  std::vector<float> left(1024), right(1024);
  float* in[MAudioPlugin::kPointersPerBus] = {left.data(), right.data()};
  for (int block = 0; block < 110 && m_plugin->GetOptimalGainDialog() != nullptr; ++block)
  {
    for (int i = 0; i < 1024; ++i)
      left[i] = right[i] = 0.3f * static_cast<float>(std::sin(0.0627 * (block * 1024 + i)));
    m_plugin->Process(in, in, 1024, true);
    m_plugin->IdleEditor();
  }
  EXPECT_EQ(m_plugin->GetOptimalGainDialog(), nullptr) << "not done after 2.5 s of audio";
  EXPECT_TRUE(m_plugin->IsAGCEnabled());

  Click("SetAGC");
  ASSERT_NE(m_plugin->GetOptimalGainDialog(), nullptr);
  m_plugin->DestroyEditor();
  EXPECT_EQ(m_plugin->GetOptimalGainDialog(), nullptr);
  EXPECT_TRUE(m_plugin->IsAGCEnabled());
}

TEST_F(CommonEditor, PresetWindowEditsReachPresetsXml)
{
  MQuorvelAudioEffectPlugin::PresetWindow window(*m_plugin);
  m_dialogs.names = {"Lead vocal", "Lead 2"};
  ASSERT_TRUE(Did([&](auto done) { window.SaveNew(done); }));
  EXPECT_TRUE(Has(PresetFile(), "name=\"Lead vocal\""));
  EXPECT_EQ(Shown(), "Lead vocal") << "the saved preset is the current one";
  ASSERT_TRUE(Did([&](auto done) { window.RenameSelected(done); }));
  EXPECT_TRUE(Has(PresetFile(), "name=\"Lead 2\""));
  EXPECT_FALSE(Has(PresetFile(), "Lead vocal"));
  EXPECT_EQ(Shown(), "Lead 2");

  m_dialogs.yes = false;
  EXPECT_FALSE(Did([&](auto done) { window.ReplaceSelected(done); }));
  ASSERT_EQ(m_dialogs.asked.size(), 1u);
  EXPECT_EQ(m_dialogs.asked[0], MPresetTree::kReplaceQuestion);

  ASSERT_TRUE(Did([&](auto done) { window.AddFolder(done); }));
  EXPECT_TRUE(Has(PresetFile(), "Name=\"New folder\""));
  EXPECT_FALSE(Did([&](auto done) { window.DeleteSelected(done); })) << "the user said no";
  EXPECT_TRUE(Has(PresetFile(), "Name=\"New folder\""));
  m_dialogs.yes = true;
  EXPECT_TRUE(Did([&](auto done) { window.DeleteSelected(done); }));
  EXPECT_FALSE(Has(PresetFile(), "New folder"));
  EXPECT_EQ(Shown(), "Lead 2") << "deleting another item keeps the current preset";
  EXPECT_TRUE(m_dialogs.told.empty());
}

TEST_F(CommonEditor, ANewPresetBesideAFactoryPresetGoesToTheTopLevelAndBecomesCurrent)
{
  MQuorvelAudioEffectPlugin::PresetWindow window(*m_plugin);
  const MXmlItem& root = m_plugin->GetPresetManager().GetRoot();
  ASSERT_GT(root.GetSubItemCount(), 0);
  ASSERT_EQ(root.GetSubItemAt(0).GetAttribute(MString("Name"), MString()), MString("Factory"));
  window.SelectPath({0, 0});
  ASSERT_NE(window.GetTree().GetSelectedNode(), nullptr);
  m_dialogs.names = {"My Vox Take"};
  ASSERT_TRUE(Did([&](auto done) { window.SaveNew(done); }));
  const MXmlItem& last = root.GetSubItemAt(root.GetSubItemCount() - 1);
  EXPECT_EQ(last.GetAttribute(MString("name"), MString()), MString("My Vox Take"));
  EXPECT_EQ(Shown(), "My Vox Take");
}

TEST_F(CommonEditor, AZoomChosenInOneEditorResizesEveryOpenEditor)
{
  std::unique_ptr<MAudioPlugin> owned(CreateTonveraPlugin());
  auto& other = dynamic_cast<MQuorvelAudioEffectPlugin&>(*owned);
  ASSERT_TRUE(other.OpenEditor(m_system, 2));
  const MSize before = other.GetEditor()->GetSize();
  m_plugin->OpenSettingsWindow(Bar("PresetName"));
  MWindow& window = *m_plugin->GetEditor()->GetWindow();
  ASSERT_EQ(MSheet::SheetsOf(window).size(), 1u);
  auto* zoom = dynamic_cast<MSelector*>(MSheet::SheetsOf(window)[0]->GetDialog().FindChild(MString("Zoom")));
  ASSERT_NE(zoom, nullptr);
  zoom->Select(5); // 200 %
  EXPECT_EQ(m_plugin->GetEditor()->GetScale(), 2.0);
  other.IdleEditor();
  EXPECT_EQ(other.GetEditor()->GetScale(), 2.0) << "the other instance's editor follows";
  EXPECT_EQ(other.GetEditor()->GetSize(), (MSize{before.x * 2, before.y * 2}));
  other.DestroyEditor();
}

// Two instances in one session: what one saves shows in the other's open preset window, which
// keeps its selection, and a save from that window keeps it.
TEST_F(CommonEditor, AnOpenPresetWindowFollowsWhatAnotherInstanceSaves)
{
  Click("Presets");
  MWindow& window = *m_plugin->GetEditor()->GetWindow();
  ASSERT_EQ(MSheet::SheetsOf(window).size(), 1u);
  auto& presets =
      dynamic_cast<MQuorvelAudioEffectPlugin::PresetWindow&>(MSheet::SheetsOf(window)[0]->GetDialog());
  presets.SelectPath({0, 0});
  ASSERT_NE(presets.GetTree().GetSelectedNode(), nullptr);
  const MString selected = presets.GetTree().GetSelectedNode()->GetText();
  m_plugin->IdleEditor();

  std::unique_ptr<MAudioPlugin> other(CreateTonveraPlugin());
  auto& second = dynamic_cast<MQuorvelAudioEffectPlugin&>(*other);
  MString error;
  ASSERT_TRUE(second.ChangePresetTree(
      [](auto& manager) { manager.SaveCurrent(manager.GetRoot(), MString("From the other track")); }, error))
      << error.ToUTF8();
  // The window looks at most twice a second.
  std::this_thread::sleep_for(std::chrono::milliseconds(550));
  m_plugin->IdleEditor();
  bool shown = false;
  for (const auto* row : presets.GetTree().GetRows())
    shown = shown || row->GetText() == MString("From the other track");
  EXPECT_TRUE(shown);
  ASSERT_NE(presets.GetTree().GetSelectedNode(), nullptr);
  EXPECT_EQ(presets.GetTree().GetSelectedNode()->GetText(), selected) << "the selection stays";

  m_dialogs.names = {"Mine"};
  ASSERT_TRUE(Did([&](auto done) { presets.SaveNew(done); }));
  EXPECT_TRUE(Has(PresetFile(), "name=\"Mine\""));
  EXPECT_TRUE(Has(PresetFile(), "name=\"From the other track\""));
}

TEST_F(CommonEditor, AFailedSaveLeavesTheFileAndTheTreeAsTheyWere)
{
  MQuorvelAudioEffectPlugin::PresetWindow window(*m_plugin);
  const std::string before = PresetFile();
  const std::int32_t presets = m_plugin->GetPresetManager().GetPresetCount();
  const std::size_t rows = window.GetTree().GetRows().size();
  // The settings folder turns into a plain file: nothing can be written any more.
  const std::filesystem::path blocked = m_home / "blocked";
  std::filesystem::create_directories(blocked);
  std::ofstream(blocked / "Tonvera") << "a file";
  SetConfigHome(blocked);
  m_dialogs.names = {"Doomed"};
  EXPECT_FALSE(Did([&](auto done) { window.SaveNew(done); }));
  SetConfigHome(m_home);
  ASSERT_EQ(m_dialogs.told.size(), 1u);
  EXPECT_TRUE(Has(m_dialogs.told[0], "could not be saved")) << m_dialogs.told[0];
  EXPECT_EQ(m_plugin->GetPresetManager().GetPresetCount(), presets);
  EXPECT_EQ(window.GetTree().GetRows().size(), rows);
  EXPECT_EQ(PresetFile(), before);
  // The next change that is saved does not carry the failed one with it.
  ASSERT_TRUE(Did([&](auto done) { window.AddFolder(done); }));
  EXPECT_FALSE(Has(PresetFile(), "Doomed"));
}

TEST_F(CommonEditor, PresetWindowLooksAsInTheGoldenPicturesInBothStyles)
{
  // A sheet over the dimmed editor, as the Presets button shows it.
  MWindow& editor = *m_plugin->GetEditor()->GetWindow();
  auto& window = static_cast<MQuorvelAudioEffectPlugin::PresetWindow&>(
      MSheet::Show(editor, std::make_unique<MQuorvelAudioEffectPlugin::PresetWindow>(*m_plugin)));
  window.SelectPath({0, 1});
  std::filesystem::create_directories(std::filesystem::path(SnapshotOutputPath("presets/x")).parent_path());
  for (const char* name : {"Default", "Silver"})
  {
    MTexturedStyleConfiguration configuration;
    configuration.style = MString::FromUTF8(name);
    MTexturedStyle style(configuration);
    editor.SetStyle(&style);
    EXPECT_TRUE(MatchesGolden(RenderWindow(m_system, editor), std::string("presets/PresetWindow_") + name));
    editor.SetStyle(nullptr);
  }
  window.End(MModalValue::Ok);
}
