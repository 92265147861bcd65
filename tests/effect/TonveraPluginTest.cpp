// The whole plug-in as a host adapter gets it: the framework's adapter around the effect, reached
// only through the module's command function.

#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"

#include "base/MStorable.h"
#include "base/MXmlItem.h"
#include "core/plugin/MAudioPluginAdapter.h"
#include "effect/TonveraAudioEffectPlugin.h"
#include "framework/MQuorvelAudioEffectPlugin.h"
#include "tests/core/MCoreTestSupport.h"
#include "tests/effect/MEffectTestSupport.h"
#include "tests/support/MAllocationCounter.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

using namespace MEffectTest;
using Effect = TonveraAudioEffectPlugin;

namespace
{

class RecordingHost : public MCoreTest::FakeHost
{
public:
  void SendAutomation(std::int32_t index, double value) override
  {
    FakeHost::SendAutomation(index, value);
    // Another thread must find the watched lock free: the plug-in calls no host under it.
    if (m_watchedLock != nullptr)
      std::thread([this] {
        m_callsUnderLock += m_watchedLock->Acquire(0) != 0 || (m_watchedLock->Release(), false);
      }).join();
  }
  void GenerateMIDIEvent(std::int32_t offset, const std::uint8_t* bytes) override
  {
    // Reserved by the test that reads them: recording must not allocate on the audio thread.
    if (m_midi.size() < m_midi.capacity())
      m_midi.push_back({offset, bytes[0], bytes[1], bytes[2]});
  }
  void ReportProgramChanged() override { ++m_stateReports; }
  void ReportStateChanged() override { ++m_stateReports; }
  std::vector<std::array<std::int32_t, 4>> m_midi;
  int m_stateReports = 0;
  MLock* m_watchedLock = nullptr;
  int m_callsUnderLock = 0;
};

class TonveraPlugin : public testing::Test
{
protected:
  void SetUp() override
  {
    MModuleLibrary::AdapterCreated(MModuleLibrary::AdapterKind::kVst2);
    m_plugin.reset(CreateTonveraPlugin());
    ASSERT_NE(m_plugin, nullptr);
    m_plugin->SetHostAdapter(&m_host);
  }
  void TearDown() override
  {
    m_plugin.reset();
    MModuleLibrary::AdapterDestroyed(MModuleLibrary::AdapterKind::kVst2);
  }

  void Prepare(int channels, double rate, int block)
  {
    std::vector<MString> names(static_cast<std::size_t>(channels), MString("Channel"));
    m_plugin->SetChannelNames(names, names);
    m_plugin->SetSampleRate(rate);
    m_plugin->SetBlockSize(block);
    m_plugin->InitProcessing();
  }

  Effect& TheEffect()
  {
    auto* adapter = dynamic_cast<MQuorvelAudioEffectPlugin*>(m_plugin.get());
    return *dynamic_cast<Effect*>(adapter->GetEffect());
  }

  std::int32_t IndexOf(const char* name) const { return MCoreTest::IndexOf(*m_plugin, name); }

  void SetNormalised(const char* name, double normalised)
  {
    m_plugin->SetParameter(IndexOf(name), normalised);
  }

  /// Mono signal through the plug-in in host blocks of `block` samples.
  std::vector<float> RunMono(const std::vector<float>& input, int block)
  {
    std::vector<float> output(input.size());
    float* in[MAudioPlugin::kPointersPerBus] = {};
    float* out[MAudioPlugin::kPointersPerBus] = {};
    for (std::size_t start = 0; start < input.size(); start += static_cast<std::size_t>(block))
    {
      const auto count = static_cast<std::int32_t>(
          std::min<std::size_t>(static_cast<std::size_t>(block), input.size() - start));
      in[0] = const_cast<float*>(input.data()) + start;
      out[0] = output.data() + start;
      m_plugin->Process(in, out, count, true);
    }
    return output;
  }

  RecordingHost m_host;
  std::unique_ptr<MAudioPlugin> m_plugin;
};

TEST_F(TonveraPlugin, HostSeesTheParametersAndTheScaleSlots)
{
  Prepare(2, 48000.0, 512);
  // Note hold, Live and Quality came later: each takes the next free slot, so every older slot
  // keeps its index.
  std::string names;
  for (std::int32_t i = 0; i < m_plugin->GetNumParameters(); ++i)
    names += m_plugin->GetParameterName(i).ToUTF8() + ",";
  EXPECT_EQ(names,
            "Depth,Speed,Detune,Dry/wet,Width,Keep formants,Formant shift,C,C#,D,D#,E,F,F#,G,G#,A,A#,B,"
            "Note hold,Live,Quality,");
  EXPECT_EQ(m_plugin->GetLatency(), 1024);
  EXPECT_EQ(m_plugin->GetParameterValueName(IndexOf("Live")).ToUTF8(), "Off");
  EXPECT_EQ(m_plugin->GetParameterValueNameFrom01(IndexOf("Live"), 1.0).ToUTF8(), "On");
  EXPECT_EQ(m_plugin->GetParameterValueName(IndexOf("Dry/wet")).ToUTF8(), "100% wet, 0% dry");
  EXPECT_EQ(m_plugin->GetParameterValueNameFrom01(IndexOf("Detune"), 0.75).ToUTF8(), "+50.0 cents");
  EXPECT_EQ(m_plugin->GetParameterValueName(IndexOf("E")).ToUTF8(), "On");

  // A host change of Width reaches the effect's ratios before the next block.
  SetNormalised("Width", 0.8);
  EXPECT_NEAR(TheEffect().GetParameterInfo(Effect::kWidth).floating.value, 60.0, 1e-9);
  EXPECT_TRUE(TheEffect().AreParametersChanged());

  // Choosing D major tells the host about each changed note: the opposite value, then the new.
  const std::int32_t c = IndexOf("C");
  m_host.m_watchedLock = &TheEffect().GetProcessingLock();
  TheEffect().SelectScale(Effect::kMajor, 2);
  const std::vector<std::pair<std::int32_t, double>> expected = {
      {c + 0, 1.0}, {c + 0, 0.0}, {c + 3, 1.0}, {c + 3, 0.0},  {c + 5, 1.0},
      {c + 5, 0.0}, {c + 8, 1.0}, {c + 8, 0.0}, {c + 10, 1.0}, {c + 10, 0.0}};
  EXPECT_EQ(m_host.m_automation, expected);
  EXPECT_EQ(m_plugin->GetParameter(c + 6), 1.0);
  EXPECT_EQ(m_plugin->GetParameter(c + 5), 0.0);
  TheEffect().ResetScale();
  EXPECT_EQ(m_host.m_automation.size(), expected.size() + 10);
  EXPECT_EQ(m_host.m_callsUnderLock, 0) << "the host was called under the processing lock";
}

// What the plug-in changes itself reaches the host, so that the host reads the values again and
// marks the project modified; a state the host loads is not reported back to it.
TEST_F(TonveraPlugin, ChangesThePluginMakesItselfAreReportedAndTheHostsOwnStateIsNot)
{
  Prepare(2, 44100.0, 512);
  auto& plugin = dynamic_cast<MQuorvelAudioEffectPlugin&>(*m_plugin);
  MXmlItem preset(MString("settings"));
  plugin.SavePresetSettings(preset);
  const MString text = plugin.CopySettingsText();
  MString error;
  const std::pair<const char*, std::function<void()>> changes[] = {
      {"preset loaded (window, step, MIDI program)", [&] { plugin.LoadPresetSettings(preset); }},
      {"slot chosen", [&] { plugin.SelectSlot(2); }},
      {"A/B", [&] { plugin.ToggleAB(); }},
      {"paste", [&] { EXPECT_TRUE(plugin.PasteSettingsText(text, error)) << error.ToUTF8(); }},
      {"channel mode", [&] { plugin.SetChannelMode(1); }},
  };
  for (const auto& [name, change] : changes)
  {
    const int before = m_host.m_stateReports;
    change();
    EXPECT_GE(m_host.m_stateReports, before + 1) << name;
  }
  int before = m_host.m_stateReports;
  plugin.SetChannelMode(1);
  EXPECT_EQ(m_host.m_stateReports, before) << "the same channel mode again is no change";

  MXmlItem state(MString("settings"));
  MStoreContext saving(true, state);
  m_plugin->Store(saving);
  plugin.SetChannelMode(0);
  before = m_host.m_stateReports;
  MStoreContext loading(false, state);
  m_plugin->Store(loading);
  EXPECT_EQ(m_host.m_stateReports, before);
  EXPECT_EQ(plugin.GetChannelMode(), 1) << "the loaded mode";
}

// The morph pad reads the stored slots without loading them, the effect's own scale slots
// included: at a corner the scale is that slot's.
TEST_F(TonveraPlugin, MorphCornersCarryEachSlotsScale)
{
  Prepare(1, 44100.0, 512);
  auto& plugin = dynamic_cast<MQuorvelAudioEffectPlugin&>(*m_plugin);
  ASSERT_EQ(plugin.GetPresetIndex(), 0);
  TheEffect().SelectScale(Effect::kMajor, 2);
  ASSERT_TRUE(plugin.SelectSlot(1));
  TheEffect().SelectScale(Effect::kPentatonic, 9);
  ASSERT_TRUE(plugin.SelectSlot(4));
  TheEffect().ResetScale();

  plugin.PrepareMorph();
  const struct
  {
    double u, v;
    int kind, root;
  } corners[] = {{0.0, 0.0, Effect::kMajor, 2}, {1.0, 0.0, Effect::kPentatonic, 9}};
  for (const auto& corner : corners)
  {
    ASSERT_TRUE(plugin.Morph(corner.u, corner.v));
    const bool* pattern = Effect::ScalePattern(corner.kind);
    for (int i = 0; i < Effect::kPitchClasses; ++i)
      EXPECT_EQ(TheEffect().IsScaleNoteEnabled(i),
                pattern[(i - corner.root + Effect::kPitchClasses) % Effect::kPitchClasses])
          << "corner " << corner.u << ", note " << i;
  }
  // C and D were never visited: they blend the live settings, every note on.
  ASSERT_TRUE(plugin.Morph(0.0, 1.0));
  for (int i = 0; i < Effect::kPitchClasses; ++i)
    EXPECT_TRUE(TheEffect().IsScaleNoteEnabled(i)) << i;
}

// The decompressed state of a fresh instance is what a project file of an untouched plug-in holds:
// it must not change by accident. TONVERA_UPDATE_GOLDEN=1 rewrites the committed text.
TEST_F(TonveraPlugin, FreshStateIsTheCommittedGoldenText)
{
  auto* plugin = dynamic_cast<MAudioEffectPluginToAudioPluginAdapter*>(m_plugin.get());
  const auto bytes = plugin->SaveState();
  ASSERT_NE(bytes, nullptr);

  std::string text(1 << 16, '\0');
  uLongf length = static_cast<uLongf>(text.size());
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(text.data()), &length, bytes->GetData(),
                       static_cast<uLong>(bytes->GetSize())),
            Z_OK);
  text.resize(length);

  const std::string path = TONVERA_EFFECT_TEST_DATA "/FreshState.xml";
  if (std::getenv("TONVERA_UPDATE_GOLDEN") != nullptr)
    std::ofstream(path, std::ios::binary) << text;
  std::ifstream file(path, std::ios::binary);
  const std::string golden((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, golden);
}

// A project saved before Note hold, Live and Quality existed loads as it sounded then: without
// hold, without Live and with the Standard shifter, whatever the instance held before, and with
// every other value as stored.
TEST_F(TonveraPlugin, StateSavedBeforeNoteHoldLoadsWithoutHoldOrLiveInStandard)
{
  std::ifstream file(TONVERA_EFFECT_TEST_DATA "/StateBeforeNoteHold.xml", std::ios::binary);
  const std::string old((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_EQ(old.find("NoteHold"), std::string::npos);
  ASSERT_EQ(old.find("Quality"), std::string::npos);
  std::vector<Bytef> packed(compressBound(static_cast<uLong>(old.size())));
  uLongf packedSize = static_cast<uLongf>(packed.size());
  ASSERT_EQ(compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(old.data()),
                      static_cast<uLong>(old.size()), 9),
            Z_OK);

  auto& plugin = dynamic_cast<MQuorvelAudioEffectPlugin&>(*m_plugin);
  const std::vector<double> fresh = [&] {
    std::vector<double> values;
    for (std::int32_t i = 0; i < m_plugin->GetNumParameters(); ++i)
      values.push_back(m_plugin->GetParameter(i));
    return values;
  }();
  SetNormalised("Note hold", 0.5);
  SetNormalised("Depth", 0.9);
  SetNormalised("Live", 1.0);
  ASSERT_TRUE(TheEffect().IsLive());
  ASSERT_NEAR(TheEffect().GetParameterInfo(Effect::kNoteHold).floating.value, 25.0, 1e-9);
  ASSERT_EQ(m_plugin->GetParameterValueName(IndexOf("Quality")).ToUTF8(), "High");
  ASSERT_TRUE(plugin.LoadState(packed.data(), packedSize));
  EXPECT_EQ(TheEffect().GetParameterInfo(Effect::kNoteHold).floating.value, 0.0);
  EXPECT_FALSE(TheEffect().IsLive());
  EXPECT_EQ(m_plugin->GetParameterValueName(IndexOf("Quality")).ToUTF8(), "Standard");
  for (std::int32_t i = 0; i < m_plugin->GetNumParameters(); ++i)
    if (i != IndexOf("Quality"))
    {
      EXPECT_EQ(m_plugin->GetParameter(i), fresh[static_cast<std::size_t>(i)])
          << m_plugin->GetParameterName(i);
    }
}

// A sung line: four notes, each drifting up to 40 cents around its note, at Depth 1 and Speed 1.
TEST_F(TonveraPlugin, DriftingVoiceComesOutWithinFiveCentsOfItsNotes)
{
  const double rate = 44100.0;
  Prepare(1, rate, 512);
  SetNormalised("Depth", 1.0);
  SetNormalised("Speed", 1.0);
  const double notes[] = {57.0, 60.0, 62.0, 55.0};
  const auto noteSamples = static_cast<std::size_t>(0.6 * rate);
  std::vector<double> contour;
  for (std::size_t k = 0; k < 4; ++k)
    for (std::size_t i = 0; i < noteSamples; ++i)
      contour.push_back(notes[k] + 0.4 * std::sin(2.0 * 3.14159265358979 * (0.5 * i / rate + 0.3 * k)));
  const auto output = RunMono(ToneFollowing(contour, rate), 441);

  const auto latency = static_cast<std::size_t>(m_plugin->GetLatency());
  double worst = 0.0;
  for (std::size_t k = 0; k < 4; ++k)
  {
    const double target = FrequencyOfNote(notes[k]);
    // From 0.1 s after the note began (plus the latency) to its end.
    for (std::size_t begin = k * noteSamples + latency + 4410; begin + 4000 < (k + 1) * noteSamples + latency;
         begin += 2205)
      worst = std::max(worst, std::abs(CentsFrom(output, begin, target, rate)));
  }
  EXPECT_LT(worst, 5.0) << "worst pitch error in cents";
  RecordProperty("worstCents", std::to_string(worst));
}

// The detected notes reach the host without an allocation, and a sounding note ends when the
// voice stops, when the plug-in is bypassed, on InitProcessing and on Panic.
TEST_F(TonveraPlugin, DetectedNotesReachTheHostAndEndWhenNothingElseWould)
{
  const double rate = 44100.0;
  Prepare(1, rate, 512);
  m_host.m_midi.reserve(64);
  auto& plugin = dynamic_cast<MQuorvelAudioEffectPlugin&>(*m_plugin);
  // D5 (tracker note 62, MIDI 74) at -9 dBFS RMS, then silence.
  const std::vector<float> tone =
      ToneFollowing(std::vector<double>(static_cast<std::size_t>(0.4 * rate), 62.2), rate);
  const std::vector<float> silence(static_cast<std::size_t>(0.2 * rate), 0.0f);
  std::vector<float> output(tone.size());
  const auto sing = [&](const std::vector<float>& input) {
    float* in[MAudioPlugin::kPointersPerBus] = {};
    float* out[MAudioPlugin::kPointersPerBus] = {output.data()};
    MAllocationCounter::Scope scope;
    for (std::size_t start = 0; start + 512 <= input.size(); start += 512)
    {
      in[0] = const_cast<float*>(input.data()) + start;
      m_plugin->Process(in, out, 512, true);
    }
    EXPECT_EQ(scope.Count(), 0u);
    std::vector<std::array<std::int32_t, 4>> midi = m_host.m_midi;
    m_host.m_midi.clear();
    return midi;
  };
  const auto isOn = [](const std::vector<std::array<std::int32_t, 4>>& midi) {
    return midi.size() == 1 && midi[0][1] == 0x90 && midi[0][2] == 74 && midi[0][3] > 60;
  };
  const auto isOff = [](const std::vector<std::array<std::int32_t, 4>>& midi) {
    return midi.size() == 1 && midi[0][1] == 0x80 && midi[0][2] == 74;
  };

  EXPECT_TRUE(sing(tone).empty()) << "sent while the option is off";
  TheEffect().GetMIDIOutput()->SetEnabled(true);
  EXPECT_TRUE(isOn(sing(tone)));
  EXPECT_TRUE(isOff(sing(silence))) << "after the voice stopped";

  EXPECT_TRUE(isOn(sing(tone)));
  m_plugin->m_bypassed = true;
  EXPECT_TRUE(isOff(sing(silence))) << "on bypass";
  m_plugin->m_bypassed = false;

  EXPECT_TRUE(isOn(sing(tone)));
  m_plugin->InitProcessing();
  const auto init = sing(silence);
  EXPECT_TRUE(isOff(init)) << "on InitProcessing";
  EXPECT_EQ(init.empty() ? -1 : init[0][0], 0) << "at the start of the next block";

  EXPECT_TRUE(isOn(sing(tone)));
  ASSERT_TRUE(plugin.Panic());
  EXPECT_TRUE(isOff(sing(silence))) << "on Panic";

  // Live finds the notes with its own detector: they reach the host as before.
  SetNormalised("Live", 1.0);
  EXPECT_TRUE(isOn(sing(tone))) << "in Live";
  EXPECT_TRUE(isOff(sing(silence))) << "in Live, after the voice stopped";
}

} // namespace
