// The LV2 UI of the built bundle in a parent window of the liblilv test host, on the private Xvfb
// of the host-editor suites: the picture of the VST 3 editor, a piano key clicked becomes a port
// write inside a touch, with and without instance-access, and open/close cycles beside audio.

#include "tests/gui/support/MSnapshot.h"
#include "tests/hosteditor/MEditorProbe.h"
#include "tests/hosteditor/MHostEditorDisplay.h"
#include "tests/support/MPrivateSettingsFolder.h"
#include "tools/host/MSharedLibrary.h"
#include "tools/host/MTestHostLv2.h"
#include "tools/host/MTestHostVst2.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <numbers>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr const char* kStereo = "https://tonvera.example/lv2/tonvera";

class TonveraLV2Editor : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (MHostEditorTest::Display().empty())
      GTEST_SKIP() << "Xvfb is not available";
    MTestSupport::UsePrivateSettingsFolder("tonvera-lv2-editor-settings");
    MTestSupport::ChooseDefaultStyle();
    setenv("LV2_PATH", TONVERA_LV2_DIR, 1);
    MHostEditorTest::KeepLoaded(std::string(TONVERA_LV2_DIR) + "/Tonvera.lv2/Tonvera.so");
    std::string error;
    ASSERT_TRUE(m_window.Open(MHostEditorTest::Display(), 800, 600, error)) << error;
    ASSERT_EQ(m_host.LoadModule(kStereo), MTestHostStatus::Ok) << m_host.LastError();
    ASSERT_TRUE(m_host.Activate(44100.0, 256));
  }

  void Idle(int milliseconds)
  {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end && m_host.IdleUi())
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }

  /// `seconds` of A3 sung 30 cents sharp, the UI idling between blocks.
  void PlaySharpA3(double seconds)
  {
    std::vector<float> in(256), outLeft(256), outRight(256);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    for (int block = 0; block < static_cast<int>(seconds * 44100.0 / 256.0); ++block, m_played += 256)
    {
      for (int i = 0; i < 256; ++i)
        in[static_cast<std::size_t>(i)] = static_cast<float>(
            0.5 * std::sin(2.0 * std::numbers::pi * 220.0 * std::exp2(0.025) * (m_played + i) / 44100.0));
      m_host.Process(inputs, outputs, 256);
      m_host.IdleUi();
    }
  }

  MTestHostWindow m_window;
  MTestHostLv2 m_host;
  long m_played = 0;
};

// Where the D key of the editor's piano lies: the editor tests' probe copy of the module finds it
// in its VST 2.4 editor, which is laid out as the LV2 one in a window of the same size.
bool FindPianoKeyD(MTestHostWindow& window, MEditorProbeControl& key)
{
  const auto find =
      MHostEditorTest::ProbeSymbol<MEditorProbeFind>(TONVERA_PROBE_MODULE, "TonveraEditorProbeFind");
  MTestHostVst2 probe;
  if (find == nullptr || probe.LoadModule(TONVERA_PROBE_MODULE) != MTestHostStatus::Ok ||
      !probe.OpenEditor(window.Handle()))
    return false;
  void* effect = const_cast<Vst2::AEffect*>(probe.Effect());
  const bool found =
      find(2, effect, "piano", -1, &key) == 1 && find(2, effect, "piano", key.first + 2, &key) == 1;
  probe.CloseEditor();
  return found;
}
} // namespace

TEST_F(TonveraLV2Editor, UiPaintsTheVst3EditorAndAPianoKeyBecomesAPortWriteInsideATouch)
{
  MEditorProbeControl key;
  ASSERT_TRUE(FindPianoKeyD(m_window, key));
  const int portD = 9; // the third scale note; its port is the parameter's index
  for (const bool instanceAccess : {true, false})
  {
    SCOPED_TRACE(instanceAccess ? "with instance-access" : "without instance-access");
    ASSERT_TRUE(m_host.OpenUi(m_window.Handle(), instanceAccess)) << m_host.LastError();
    Idle(200);
    m_window.Sync();
    EXPECT_EQ(m_window.ChildCount(), 1);
    EXPECT_TRUE(MatchesGolden(MHostEditorTest::CaptureChild(m_window), "hosteditor_vst3"));
    m_host.TakeEdits();
    ASSERT_TRUE(m_window.Click(key.x + key.width / 2, key.y + key.height * 9 / 10));
    Idle(100);
    const std::string edits = MTestHostEditText(m_host.TakeEdits());
    RecordProperty(instanceAccess ? "instanceAccessEdits" : "mirrorEdits", edits);
    const std::string d = std::to_string(portD);
    EXPECT_EQ(edits.rfind("B" + d + " ", 0), 0u) << edits;
    EXPECT_TRUE(edits.ends_with(" P" + d + "=0 E" + d)) << edits;
    EXPECT_EQ(m_host.GetParameter(portD), 0.0f) << "the port holds what the UI wrote";
    m_host.CloseUi();
    m_host.SetParameter(portD, 1.0f);
    ASSERT_TRUE(m_host.Process(nullptr, nullptr, 0));
  }
  m_window.Sync();
  EXPECT_EQ(m_window.ChildCount(), 0);
}

// The tuning indicator of a UI without instance-access follows the figures the processing instance
// sends through its notify port: it shows what the UI of the processing instance itself shows.
TEST_F(TonveraLV2Editor, WithoutInstanceAccessTheIndicatorShowsWhatTheProcessingInstanceSends)
{
  m_host.SetParameter(0, 100.0f); // Depth, in percent
  m_host.SetParameter(1, 100.0f); // Speed
  ASSERT_TRUE(m_host.OpenUi(m_window.Handle(), true)) << m_host.LastError();
  PlaySharpA3(1.0);
  Idle(100);
  const MBitmap shown = MHostEditorTest::CaptureChild(m_window);
  m_host.CloseUi();
  ASSERT_TRUE(m_host.OpenUi(m_window.Handle(), false)) << m_host.LastError();
  Idle(100);
  const MBitmap idle = MHostEditorTest::CaptureChild(m_window);
  PlaySharpA3(0.3);
  Idle(100);
  const MBitmap fed = MHostEditorTest::CaptureChild(m_window);
  m_host.CloseUi();
  EXPECT_GT(CountDifferingPixels(idle, shown, 8), 0) << "the tone changes the indicator";
  EXPECT_EQ(CountDifferingPixels(fed, shown, 8), 0);
}

TEST_F(TonveraLV2Editor, HundredOpenCloseCyclesWhileAudioRuns)
{
  MHostEditorTest::AudioThread audio(m_host);
  for (int cycle = 0; cycle < 100; ++cycle)
  {
    ASSERT_TRUE(m_host.OpenUi(m_window.Handle(), cycle % 2 == 0)) << cycle;
    m_host.IdleUi();
    m_host.CloseUi();
  }
  EXPECT_GT(audio.Stop(), 0);
  m_window.Sync();
  EXPECT_EQ(m_window.ChildCount(), 0);
}
