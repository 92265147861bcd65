// MIDI learn in the open editor of the built module, as a user does it: a right click on a
// control, "MIDI learn" in its menu, then the controller or key on the keyboard; the learnt
// assignment drives the parameter and travels with the host's state into either interface.

#include "base/MMemoryStream.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "tests/gui/support/MSnapshot.h"
#include "tests/hosteditor/MEditorProbe.h"
#include "tests/hosteditor/MHostEditorDisplay.h"
#include "tests/support/MPrivateSettingsFolder.h"
#include "tools/host/MSharedLibrary.h"
#include "tools/host/MTestHostVst2.h"
#include "tools/host/MTestHostVst3.h"
#include "tools/host/MTestHostWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int kBlock = 256;
/// Height of a popup menu's row at least (the style's row height): the n-th entry's middle lies
/// within n rows below the click.
constexpr int kMenuRow = 20;

MEditorProbeFind ProbeFind()
{
  return MHostEditorTest::ProbeSymbol<MEditorProbeFind>(TONVERA_PROBE_MODULE, "TonveraEditorProbeFind");
}

/// MIDI with one block of silence, as hosts hand it over.
void Send(MTestHost& host, std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
  ASSERT_TRUE(host.SendMidi({MTestHostMidiEvent{0, {status, data1, data2}}}));
  std::vector<float> in(kBlock), out(2 * kBlock);
  float* inputs[2] = {in.data(), in.data()};
  float* outputs[2] = {out.data(), out.data() + kBlock};
  ASSERT_TRUE(host.Process(inputs, outputs, kBlock));
}

MXmlItem Decode(const std::vector<std::uint8_t>& bytes)
{
  MXmlItem item;
  MMemoryStream stream(bytes.data(), bytes.size());
  MXmlReader::ReadCompressed(stream, item);
  return item;
}

class TonveraMidiLearn : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (MHostEditorTest::Display().empty())
      GTEST_SKIP() << "Xvfb is not available";
    MTestSupport::UsePrivateSettingsFolder("tonvera-midilearn-settings");
    ASSERT_NE(ProbeFind(), nullptr);
    std::string error;
    ASSERT_TRUE(m_window.Open(MHostEditorTest::Display(), 800, 600, error)) << error;
    ASSERT_EQ(m_host.LoadModule(TONVERA_PROBE_MODULE), MTestHostStatus::Ok) << m_host.LastError();
    ASSERT_TRUE(m_host.Activate(44100.0, kBlock));
    ASSERT_TRUE(m_host.OpenEditor(m_window.Handle()));
    m_host.RunEditorIdle(100);
  }

  void TearDown() override
  {
    if (m_host.IsLoaded())
      m_host.CloseEditor();
  }

  /// Right click at (x, y) of the editor, then "MIDI learn", the menu's first entry, just below.
  void ChooseMidiLearnAt(int x, int y)
  {
    ASSERT_TRUE(m_window.RightClick(x, y));
    m_host.RunEditorIdle(100);
    ASSERT_TRUE(m_window.Click(x + 24, y + 10));
    m_host.RunEditorIdle(100);
  }

  MEditorProbeControl Find(const std::string& id, int note = -1)
  {
    MEditorProbeControl control;
    EXPECT_EQ(ProbeFind()(2, const_cast<Vst2::AEffect*>(m_host.Effect()), id.c_str(), note, &control), 1)
        << id;
    return control;
  }

  /// A user's click in the middle of control `id`, then the host's loop for a while.
  void Click(const std::string& id)
  {
    const MEditorProbeControl control = Find(id);
    ASSERT_TRUE(m_window.Click(control.x + control.width / 2, control.y + control.height / 2)) << id;
    m_host.RunEditorIdle(150);
  }

  MTestHostWindow m_window;
  MTestHostVst2 m_host;
};

// Learn CC 74 on Depth from its knob: before, CC 74 moves nothing; after, 0, 64 and 127 take Depth
// to its ends and middle, also in fresh VST 2.4 and VST 3 instances given the saved state, and
// the MIDI sheet shows the assignment.
TEST_F(TonveraMidiLearn, LearntControllerDrivesDepthSurvivesReloadInBothInterfacesAndShowsInTheMidiSheet)
{
  const int depth = m_host.FindParameter("Depth");
  ASSERT_GE(depth, 0);
  Send(m_host, 0xB0, 74, 127);
  EXPECT_EQ(m_host.GetParameter(depth), 0.5f) << "nothing assigned yet";

  const MEditorProbeControl knob = Find("Parameter" + std::to_string(depth));
  ChooseMidiLearnAt(knob.x + knob.width / 2, knob.y + knob.height / 2);
  Send(m_host, 0xB0, 74, 100);
  m_host.RunEditorIdle(100);
  for (const auto& [value, expected] : {std::pair{0, 0.0f}, std::pair{64, 0.504f}, std::pair{127, 1.0f}})
  {
    Send(m_host, 0xB0, 74, static_cast<std::uint8_t>(value));
    EXPECT_NEAR(m_host.GetParameter(depth), expected, 0.001f) << value;
  }

  const std::vector<std::uint8_t> state = m_host.GetState();
  MXmlItem saved = Decode(state);
  ASSERT_TRUE(saved.HasSubItem("Controllers"));
  ASSERT_EQ(saved.GetSubItem().GetSubItemCount(), 1);
  const MXmlItem& learnt = saved.GetSubItem().GetSubItemAt(0);
  EXPECT_EQ(learnt.GetAttribute("Controller", "").ToUTF8(), "74");
  EXPECT_EQ(learnt.GetAttribute("ParameterName", "").ToUTF8(), "Depth");

  MTestHostVst2 vst2;
  MTestHostVst3 vst3;
  ASSERT_EQ(vst2.LoadModule(TONVERA_MODULE), MTestHostStatus::Ok);
  ASSERT_EQ(vst3.LoadModule(TONVERA_VST3_BUNDLE), MTestHostStatus::Ok);
  for (MTestHost* host : {static_cast<MTestHost*>(&vst2), static_cast<MTestHost*>(&vst3)})
  {
    ASSERT_TRUE(host->Activate(44100.0, kBlock));
    ASSERT_TRUE(host->SetState(state));
    Send(*host, 0xB0, 74, 0);
    EXPECT_EQ(host->GetParameter(depth), 0.0f);
    Send(*host, 0xB0, 74, 127);
    EXPECT_EQ(host->GetParameter(depth), 1.0f);
  }

  // The "MIDI" sheet from the preset bar shows the learnt assignment in its first row (a golden
  // picture of what the user sees), and its master switch reaches the plug-in at once.
  Click("MIDI");
  EXPECT_STREQ(Find("Controller1Parameter").text, "Depth");
  EXPECT_STREQ(Find("Controller1Source").text, "CC 74");
  EXPECT_STREQ(Find("Controller1Channel").text, "1");
  EXPECT_STREQ(Find("Controller1Mode").text, "Interval");
  EXPECT_STREQ(Find("Controller2Parameter").text, "(none)");
  // The help line below the sheet shows whatever the pointer passed last: left out.
  MBitmap picture = MHostEditorTest::CaptureChild(m_window);
  for (std::int32_t y = std::max(0, picture.Height() - 40); y < picture.Height(); ++y)
    std::fill_n(picture.Row(y), picture.Width(), 0u);
  EXPECT_TRUE(MatchesGolden(picture, "hosteditor_midi_sheet"));

  // The factory set is there from the first opening; a set saved under its name comes back over
  // later edits, from its own file.
  EXPECT_STREQ(Find("MIDISetChoice").text, "Scale from held MIDI notes");
  Click("MIDISetSave");
  EXPECT_STREQ(Find("MIDISetChoice").text, "Controller set");
  EXPECT_TRUE(std::filesystem::exists(MTestSupport::UsePrivateSettingsFolder("tonvera-midilearn-settings") +
                                      "/Tonvera/Presets/controllersets.xml"));
  Click("Controller1Enabled");
  Send(m_host, 0xB0, 74, 0);
  EXPECT_EQ(m_host.GetParameter(depth), 1.0f) << "the assignment is off";
  Click("MIDISetLoad");
  Send(m_host, 0xB0, 74, 0);
  EXPECT_EQ(m_host.GetParameter(depth), 0.0f) << "the loaded set has it on again";

  Click("ControllersEnabled");
  Send(m_host, 0xB0, 74, 127);
  EXPECT_EQ(m_host.GetParameter(depth), 0.0f) << "controllers switched off in the sheet";
  EXPECT_FALSE(Decode(m_host.GetState()).HasAttribute("ControllersEnabled"));
}

// Learn on a piano key takes the key pressed next: each press of that key switches its note,
// and "Forget MIDI" in the same menu ends that.
TEST_F(TonveraMidiLearn, LearntKeySwitchesItsScaleNoteUntilForgotten)
{
  const int scaleE = m_host.FindParameter("Scale - E");
  ASSERT_GE(scaleE, 0);
  const MEditorProbeControl piano = Find("piano");
  const MEditorProbeControl key = Find("piano", piano.first + 4);
  const int x = key.x + key.width / 2, y = key.y + key.height * 8 / 10;
  ChooseMidiLearnAt(x, y);
  Send(m_host, 0x90, 52, 100); // E3
  Send(m_host, 0x80, 52, 0);
  m_host.RunEditorIdle(100);
  ASSERT_EQ(m_host.GetParameter(scaleE), 1.0f);
  Send(m_host, 0x90, 52, 100);
  EXPECT_EQ(m_host.GetParameter(scaleE), 0.0f);
  Send(m_host, 0x90, 52, 100);
  EXPECT_EQ(m_host.GetParameter(scaleE), 1.0f);

  ASSERT_TRUE(m_window.RightClick(x, y));
  m_host.RunEditorIdle(100);
  ASSERT_TRUE(m_window.Click(x + 24, y + 10 + kMenuRow));
  m_host.RunEditorIdle(100);
  Send(m_host, 0x90, 52, 100);
  EXPECT_EQ(m_host.GetParameter(scaleE), 1.0f) << "forgotten: the key changes nothing";
  const MXmlItem state = Decode(m_host.GetState());
  EXPECT_FALSE(state.HasSubItem("NoteControllers") && state.GetSubItem().GetSubItemCount() > 0);
}
} // namespace
