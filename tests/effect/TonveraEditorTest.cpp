// The editor as a host opens it: the tuning panel, the parameter knobs and what reaches the host.

#include "core/plugin/MAudioPluginAdapter.h"
#include "core/plugin/MAudioPluginEditorWindow.h"
#include "core/plugin/MPluginParameters.h"
#include "effect/MTuningIndicator.h"
#include "effect/TonveraAudioEffectPlugin.h"
#include "framework/MQuorvelAudioEffectPlugin.h"
#include "gui/MWindow.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MKnob.h"
#include "gui/controls/MPiano.h"
#include "gui/controls/MSelector.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "gui/styles/MTexturedStyle.h"
#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"
#include "tests/core/MCoreTestSupport.h"
#include "tests/gui/support/MSnapshot.h"
#include "tests/support/MPrivateSettingsFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace
{
// Everything the plug-in tells the host, in order: "B3" begin gesture on 3, "E3" end, "A3" a value,
// "S" a state change.
class GestureHost : public MCoreTest::FakeHost
{
public:
  void SendAutomation(std::int32_t index, double) override { m_log.push_back("A" + std::to_string(index)); }
  void BeginAutomationGesture(std::int32_t index) override { m_log.push_back("B" + std::to_string(index)); }
  void EndAutomationGesture(std::int32_t index) override { m_log.push_back("E" + std::to_string(index)); }
  void ReportStateChanged() override { m_log.push_back("S"); }
  std::vector<std::string> m_log;
};

class TonveraEditor : public testing::Test
{
protected:
  // What the settings folder holds (each file with its size).
  std::set<std::string> SettingsFiles() const
  {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_settings.Folder()))
      files.insert(entry.path().string() +
                   (entry.is_regular_file() ? std::to_string(entry.file_size()) : ""));
    return files;
  }

  void SetUp() override
  {
    MModuleLibrary::AdapterCreated(MModuleLibrary::AdapterKind::kVst2);
    m_plugin.reset(CreateTonveraPlugin());
    ASSERT_NE(m_plugin, nullptr);
    m_plugin->SetHostAdapter(&m_host);
    m_plugin->m_hostFormat = MString("VST3");
    m_system.Initialize();
    m_system.SetDefaultStyle(&m_style);
    ASSERT_TRUE(m_plugin->OpenEditor(m_system, 1));
    m_effect = dynamic_cast<TonveraAudioEffectPlugin*>(
        dynamic_cast<MQuorvelAudioEffectPlugin*>(m_plugin.get())->GetEffect());
    ASSERT_NE(m_effect, nullptr);
  }
  void TearDown() override
  {
    m_plugin.reset();
    MModuleLibrary::AdapterDestroyed(MModuleLibrary::AdapterKind::kVst2);
  }

  MWindow& Window() { return *m_plugin->GetEditor()->GetWindow(); }
  template <class T>
  T& Find(const char* id)
  {
    auto* control = dynamic_cast<T*>(Window().FindChild(MString::FromUTF8(id)));
    EXPECT_NE(control, nullptr) << id;
    return *control;
  }
  void Send(MSystemEvent::Code code, MPoint at, std::uint32_t modifiers = 0, std::int32_t value = 0)
  {
    Window().DispatchSystemEvent(MSystemEvent{code, at, modifiers, value});
  }
  static MPoint Centre(const MControl& control)
  {
    const MRect r = control.GetWindowRect();
    return MPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  std::string EnabledNotes() const
  {
    std::string notes;
    for (int i = 0; i < TonveraAudioEffectPlugin::kPitchClasses; ++i)
      notes += m_effect->IsScaleNoteEnabled(i) ? '1' : '0';
    return notes;
  }
  std::int32_t IndexOf(const char* name) const { return MCoreTest::IndexOf(*m_plugin, name); }
  MKnob& Knob(const char* name)
  {
    return Find<MKnob>(MPluginParameters::ControlId(IndexOf(name)).ToUTF8().c_str());
  }

  // No shared configuration: the editor opens at its built-in size and mode.
  const MTestSupport::MScopedSettingsFolder m_settings{"tonvera-editor-test-home"};
  GestureHost m_host;
  MWindowSystemHeadless m_system;
  MTexturedStyle m_style;
  std::unique_ptr<MAudioPlugin> m_plugin;
  TonveraAudioEffectPlugin* m_effect = nullptr;
};
} // namespace

TEST(MTuningIndicatorText, NoteNameAndBarsFollowTheChosenNoteWithinHalfASemitone)
{
  struct Case
  {
    std::int32_t chosen;
    double input, output;
    const char* name;
    int a, b;
  };
  const Case cases[] = {
      {-1, 61.3, 60.9, "", 0, 0},         // nothing detected: no name, empty bars
      {57, 57.7, 57.0, "A", 50, 0},       // 70 cents sharp fills the upper half only
      {62, 61.2, 62.1, "D", -50, 10},     // flat beyond the limit
      {60, 60.125, 59.875, "C", 13, -12}, // whole cents, halves going up
  };
  for (const Case& c : cases)
  {
    const std::string text = MTuningIndicator::Text(c.chosen, c.input, c.output).ToUTF8();
    EXPECT_NE(text.find("<l3>" + std::string(c.name) + "</l3>"), std::string::npos) << text;
    // The upper bar (input) comes first in the text.
    const std::size_t upper = text.find("value=" + std::to_string(c.a) + " min=-100 max=100");
    ASSERT_NE(upper, std::string::npos) << text;
    EXPECT_NE(text.find("value=" + std::to_string(c.b) + " min=-100 max=100", upper + 1), std::string::npos)
        << text;
  }
  EXPECT_EQ(MTuningIndicator::Cents(0.0 / 0.0, 60), 0);
}

TEST_F(TonveraEditor, TheScaleBoxNamesNoScaleOnceAPianoKeyLeavesIt)
{
  auto& piano = Find<MPiano>("piano");
  auto& box = Find<MSelector>("ScaleType");
  EXPECT_EQ(box.GetSelection(), 0); // "Chromatic"
  ASSERT_TRUE(piano.ToggleNote(61));
  EXPECT_EQ(box.GetSelection(), -1) << "C# off: no longer chromatic";
  ASSERT_TRUE(piano.ToggleNote(61));
  EXPECT_EQ(box.GetSelection(), 0) << "all twelve again";
  box.Select(1); // "Major": nothing audible changes yet
  EXPECT_EQ(EnabledNotes(), "111111111111");
  EXPECT_EQ(m_effect->GetScaleType(), 1);
  Find<MButton>("D").Click();
  EXPECT_EQ(EnabledNotes(), "011010110101"); // C# D E F# G A B
  EXPECT_EQ(box.GetSelection(), 1) << "D major";
  EXPECT_TRUE(Find<MButton>("D").IsOn());
  EXPECT_FALSE(Find<MButton>("C").IsOn());
  ASSERT_TRUE(piano.ToggleNote(60));
  EXPECT_EQ(box.GetSelection(), -1) << "C added to D major";
  Find<MButton>("Reset").Click();
  EXPECT_EQ(EnabledNotes(), "111111111111");
  EXPECT_EQ(box.GetSelection(), 0) << "Reset names the chromatic scale it restores";
  Find<MButton>("A").Click();
  EXPECT_EQ(EnabledNotes(), "111111111111") << "the next root keeps every note";
}

// A note the host automates is the host's: the user's next piano click, root click or Reset sends
// only the notes it changes, so no lane the user did not touch records an edit.
TEST_F(TonveraEditor, HostAutomatedScaleNotesAreNotSentBackByTheUsersNextScaleEdit)
{
  const std::int32_t first = m_effect->GetScaleAdapter().GetFirstIndex();
  auto& piano = Find<MPiano>("piano");
  m_plugin->SetParameter(first + 2, 0.0); // the host switches D off, then G# off and on again
  m_plugin->SetParameter(first + 8, 0.0);
  m_plugin->SetParameter(first + 8, 1.0);
  m_host.m_log.clear();
  ASSERT_TRUE(piano.ToggleNote(64));
  const std::string e = std::to_string(first + 4);
  EXPECT_EQ(m_host.m_log, (std::vector<std::string>{"B" + e, "A" + e, "A" + e, "E" + e}));

  // Reset turns D and E back on: those two, and nothing of G#.
  m_host.m_log.clear();
  Find<MButton>("Reset").Click();
  const std::string d = std::to_string(first + 2);
  EXPECT_EQ(m_host.m_log, (std::vector<std::string>{"B" + d, "B" + e, "A" + d, "A" + d, "A" + e, "A" + e,
                                                    "E" + d, "E" + e}));
}

TEST_F(TonveraEditor, EditsReachTheHostAsGesturesAndHostChangesRedrawTheControls)
{
  const std::int32_t e = m_effect->GetScaleAdapter().GetFirstIndex() + 4;
  auto& piano = Find<MPiano>("piano");
  m_host.m_log.clear();
  ASSERT_TRUE(piano.ToggleNote(64));
  const std::string slot = std::to_string(e);
  EXPECT_EQ(m_host.m_log, (std::vector<std::string>{"B" + slot, "A" + slot, "A" + slot, "E" + slot}));
  EXPECT_FALSE(m_effect->IsScaleNoteEnabled(4));

  // A drag is one gesture however many values it sends; a wheel notch is one of its own.
  const std::int32_t depth = IndexOf("Depth");
  auto& knob = Knob("Depth");
  const MPoint at = Centre(knob);
  m_host.m_log.clear();
  Send(MSystemEvent::LeftDown, at, MSystemEvent::ModLeftButton);
  Send(MSystemEvent::MouseMove, MPoint{at.x, at.y - 20}, MSystemEvent::ModLeftButton);
  Send(MSystemEvent::MouseMove, MPoint{at.x, at.y - 40}, MSystemEvent::ModLeftButton);
  Send(MSystemEvent::LeftUp, MPoint{at.x, at.y - 40});
  Send(MSystemEvent::MouseWheel, at, 0, -120);
  const std::string d = std::to_string(depth);
  EXPECT_EQ(m_host.m_log,
            (std::vector<std::string>{"B" + d, "A" + d, "A" + d, "E" + d, "B" + d, "A" + d, "E" + d}));
  EXPECT_NEAR(m_plugin->GetParameter(depth), 0.5 + 40.0 / 200.0 - 0.01, 1e-9);

  // The host sets a value: the knob shows it after the update round.
  m_plugin->SetParameter(depth, 0.25);
  m_plugin->ProcessAutomationUpdates();
  EXPECT_DOUBLE_EQ(knob.GetNormalised(), m_plugin->GetParameter(depth));
  EXPECT_EQ(knob.GetText(), MAudioPluginEditorWindow::ValueText(*m_plugin, depth));
  // Host automation of a scale note redraws its key.
  m_plugin->SetParameter(e, 1.0);
  m_plugin->ProcessAutomationUpdates();
  EXPECT_TRUE(piano.IsNoteEnabled(64));
}

TEST_F(TonveraEditor, ClosingForgetsTheControlsAndLaterUpdatesTouchNothing)
{
  EXPECT_NE(m_effect->GetPianoControl(), nullptr);
  EXPECT_NE(m_effect->GetTuningIndicator(), nullptr);
  // A drag the closing cuts short still ends its gesture, once.
  const std::int32_t depth = IndexOf("Depth");
  Send(MSystemEvent::LeftDown, Centre(Knob("Depth")), MSystemEvent::ModLeftButton);
  m_plugin->DestroyEditor();
  EXPECT_EQ(m_host.m_log,
            (std::vector<std::string>{"B" + std::to_string(depth), "E" + std::to_string(depth)}));
  EXPECT_EQ(m_effect->GetPianoControl(), nullptr);
  EXPECT_EQ(m_effect->GetTuningIndicator(), nullptr);
  EXPECT_EQ(*m_plugin->GetParameterPanelLink(), nullptr);
  m_effect->ProcessUpdate(); // after the controls are gone (ASan checks)
  m_plugin->SetParameter(IndexOf("Depth"), 0.9);
  EXPECT_EQ(m_plugin->ProcessAutomationUpdates(), 1);
  // Reopening shows the state the effect kept; a resize lays the tuning panel out anew.
  ASSERT_TRUE(m_plugin->OpenEditor(m_system, 1));
  const std::int32_t narrow = Find<MPiano>("piano").GetSize().x;
  m_plugin->GetEditor()->SetSize(960, 600);
  EXPECT_GT(Find<MPiano>("piano").GetSize().x, narrow);
  EXPECT_EQ(m_effect->GetPianoControl(), &Find<MPiano>("piano"));
  m_effect->ProcessUpdate();
  EXPECT_DOUBLE_EQ(Knob("Depth").GetNormalised(), m_plugin->GetParameter(IndexOf("Depth")));
}

TEST_F(TonveraEditor, LooksAsInTheGoldenPicturesInBothStyles)
{
  // The mouse rests on Depth: the help line shows its help.
  Send(MSystemEvent::MouseMove, Centre(Knob("Depth")));
  m_plugin->IdleEditor();
  // Fixed figures: a chosen A, the input 23 cents sharp, the output 4 cents flat; F# and G# off.
  m_effect->GetTuningIndicator()->Show(57, 57.23, 56.96);
  m_effect->GetPianoControl()->SetActiveNote(TonveraAudioEffectPlugin::kPianoFirstNote + 9);
  m_plugin->SetParameter(IndexOf("Depth"), 0.8);
  m_plugin->SetParameter(IndexOf("Detune"), 0.6);
  m_plugin->SetParameter(m_effect->GetScaleAdapter().GetFirstIndex() + 6, 0.0);
  m_plugin->SetParameter(m_effect->GetScaleAdapter().GetFirstIndex() + 8, 0.0);
  m_plugin->ProcessAutomationUpdates();
  // A failing comparison writes its pictures next to the other snapshots.
  std::filesystem::create_directories(std::filesystem::path(SnapshotOutputPath("editor/x")).parent_path());
  for (const char* name : {"Default", "Silver"})
  {
    MTexturedStyleConfiguration configuration;
    configuration.style = MString::FromUTF8(name);
    MTexturedStyle style(configuration);
    Window().SetStyle(&style);
    EXPECT_TRUE(MatchesGolden(RenderWindow(m_system, Window()), std::string("editor/Tonvera_") + name));
    Window().SetStyle(nullptr);
  }
}

// A mirror (the LV2 UI without instance-access) reaches its instance through the host alone: a
// preset it applies goes to the host, and it takes no defaults, sets up no processing, writes no file.
TEST_F(TonveraEditor, AMirrorEditsThroughTheHostAloneAndSetsUpNothing)
{
  m_plugin->SetParameter(IndexOf("Depth"), 0.25);
  ASSERT_TRUE(m_plugin->SetDefaultSettingsToCurrent());
  const std::set<std::string> files = SettingsFiles();
  GestureHost host;
  std::unique_ptr<MAudioPlugin> mirror(CreateTonveraMirror());
  mirror->SetHostAdapter(&host);
  EXPECT_NE(mirror->GetParameter(IndexOf("Depth")), 0.25);
  ASSERT_TRUE(mirror->OpenEditor(m_system, 1));
  mirror->SetSampleRate(48000.0);
  mirror->InitProcessing();
  auto& common = dynamic_cast<MQuorvelAudioEffectPlugin&>(*mirror);
  MString error;
  ASSERT_TRUE(common.StepPreset(1, error)) << error.ToUTF8();
  EXPECT_EQ(host.m_log, std::vector<std::string>{"S"}) << "the host is to read the preset's values";
  EXPECT_FALSE(common.SavePresetTree(error));
  EXPECT_FALSE(mirror->SetDefaultSettingsToCurrent());
  EXPECT_EQ(common.GetEffect()->GetSampleRate(), 0.0) << "set up, the effect makes its correctors";
  EXPECT_EQ(SettingsFiles(), files);
}
