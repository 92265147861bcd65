// The built bundle Tonvera.lv2 through liblilv, found by URI as an LV2 host finds it, beside the
// VST 3 bundle of the same build: the ports follow the parameters VST 3 publishes, in their units,
// a sharp tone comes out on its note after the reported latency with the very samples VST 3 gives
// for the same values, the state interface carries the VST state bytes into a new instance (also
// from a session the bundle with normalised ports saved), and the factory presets load from the
// host's preset list as the editor loads them.

#include "base/MMemoryStream.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "tests/dsp/MCorrectorTestSupport.h"
#include "tests/support/MAllocationCounter.h"
#include "tests/support/MTestSignals.h"
#include "tools/host/MTestHostLv2.h"
#include "tools/host/MTestHostVst3.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/units/units.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
constexpr const char* kStereo = "https://tonvera.example/lv2/tonvera";
constexpr const char* kMono = "https://tonvera.example/lv2/tonvera-mono";
constexpr double kRate = 44100.0;
constexpr int kBlock = 512;
/// VST 3 publishes Bypass, 130 controllers and the program after the plug-in's parameters.
constexpr int kVst3Extras = 132;

::testing::AssertionResult Load(MTestHostLv2& host, const char* uri)
{
  setenv("LV2_PATH", TONVERA_LV2_DIR, 1);
  if (host.LoadModule(uri) != MTestHostStatus::Ok || !host.Activate(kRate, kBlock))
    return ::testing::AssertionFailure() << host.LastError();
  return ::testing::AssertionSuccess();
}

bool Has(const std::vector<std::string>& list, const std::string& uri)
{
  return std::find(list.begin(), list.end(), uri) != list.end();
}

struct Setting
{
  const char* name;
  float value; // in the port's unit
};

/// The settings on the LV2 ports in their units, and on VST 3 (when given) as the normalised
/// values of the same positions in the ports' ranges.
void Apply(MTestHostLv2& lv2, MTestHostVst3* vst3, const std::vector<Setting>& settings)
{
  const std::vector<MTestHostLv2::PortInfo> ports = lv2.Ports();
  for (const Setting& setting : settings)
  {
    const int index = lv2.FindParameter(setting.name);
    ASSERT_GE(index, 0) << setting.name;
    lv2.SetParameter(index, setting.value);
    const MTestHostLv2::PortInfo& port = ports[static_cast<std::size_t>(index)];
    if (vst3 != nullptr)
      vst3->SetParameter(index, (setting.value - port.minimum) / (port.maximum - port.minimum));
  }
}

/// The settings item inside state bytes.
MXmlItem Settings(const std::vector<std::uint8_t>& state)
{
  MMemoryStream in(state.data(), state.size());
  MXmlItem settings;
  MXmlReader::ReadCompressed(in, settings);
  return settings;
}

/// Both channels of `seconds` of A3 sung 30 cents sharp, in blocks of `block` samples.
std::vector<std::vector<float>> Render(MTestHost& host, double seconds, int block = kBlock)
{
  const int total = static_cast<int>(seconds * kRate) / block * block;
  std::vector<float> in =
      MTestSignals::Sine(static_cast<std::size_t>(total), 220.0 * std::exp2(30.0 / 1200.0), kRate, 0.5f);
  std::vector<std::vector<float>> out(2, std::vector<float>(in.size()));
  for (int start = 0; start < total; start += block)
  {
    float* inputs[2] = {in.data() + start, in.data() + start};
    float* outputs[2] = {out[0].data() + start, out[1].data() + start};
    if (!host.Process(inputs, outputs, block))
      return {};
  }
  return out;
}

float LargestDifference(const std::vector<std::vector<float>>& a, const std::vector<std::vector<float>>& b)
{
  float largest = a.size() == b.size() ? 0.0f : INFINITY;
  for (std::size_t c = 0; c < std::min(a.size(), b.size()); ++c)
    for (std::size_t i = 0; i < std::min(a[c].size(), b[c].size()); ++i)
      largest = std::max(largest, std::fabs(a[c][i] - b[c][i]));
  return largest;
}
} // namespace

TEST(TonveraLV2Bundle, PortsOfBothPluginsFollowTheParametersVst3Publishes)
{
  MTestHostVst3 vst3;
  ASSERT_EQ(vst3.LoadModule(TONVERA_VST3_BUNDLE), MTestHostStatus::Ok) << vst3.LastError();
  const int parameters = vst3.NumParameters() - kVst3Extras;
  ASSERT_GT(parameters, 12);
  for (const auto& [uri, channels] : {std::pair{kStereo, 2}, std::pair{kMono, 1}})
  {
    SCOPED_TRACE(uri);
    MTestHostLv2 lv2;
    ASSERT_TRUE(Load(lv2, uri));
    const std::vector<MTestHostLv2::PortInfo> ports = lv2.Ports();
    ASSERT_EQ(static_cast<int>(ports.size()), parameters + 5 + 2 * channels);
    for (int index = 0; index < parameters; ++index)
    {
      Steinberg::Vst::ParameterInfo info = {};
      ASSERT_TRUE(vst3.ParameterInfo(index, info));
      const MTestHostLv2::PortInfo& port = ports[static_cast<std::size_t>(index)];
      const std::string title = vst3.ParameterName(index);
      SCOPED_TRACE(title);
      EXPECT_TRUE(Has(port.classes, LV2_CORE__ControlPort) && Has(port.classes, LV2_CORE__InputPort));
      // "Group - Name": the port is named Name in the group whose symbol the group gives.
      const std::size_t dash = title.rfind(" - ");
      ASSERT_NE(dash, std::string::npos);
      EXPECT_EQ(title.substr(dash + 3), port.name);
      EXPECT_FALSE(port.group.empty());
      EXPECT_EQ(port.symbol.rfind(port.group + "_", 0), 0u) << port.symbol;
      EXPECT_EQ(Has(port.properties, LV2_CORE__toggled), info.stepCount == 1);
      if (info.stepCount == 1) // the scale's notes: on by default
      {
        EXPECT_EQ(port.minimum, 0.0f);
        EXPECT_EQ(port.maximum, 1.0f);
        EXPECT_EQ(port.defaultValue, 1.0f);
        continue;
      }
      // The default sits where VST 3's normalised default puts it in the port's range.
      ASSERT_LT(port.minimum, port.maximum);
      EXPECT_NEAR((port.defaultValue - port.minimum) / (port.maximum - port.minimum),
                  info.defaultNormalizedValue, 1e-6);
      if (Has(port.properties, LV2_CORE__enumeration)) // a choice per scale point, by index
      {
        EXPECT_TRUE(Has(port.properties, LV2_CORE__integer));
        EXPECT_EQ(port.minimum, 0.0f);
        ASSERT_EQ(port.points.size(), static_cast<std::size_t>(port.maximum) + 1);
        for (std::size_t choice = 0; choice < port.points.size(); ++choice)
          EXPECT_EQ(port.points[choice].first, static_cast<float>(choice));
      }
      // A port in a unit shows the number the editor shows: a quarter of the way up the range
      // reads the same in VST 3's display text.
      if (!port.unit.empty())
      {
        vst3.SetParameter(index, 0.25f);
        const std::string display = vst3.ParameterDisplay(index);
        EXPECT_NEAR(std::strtod(display.c_str(), nullptr),
                    port.minimum + 0.25 * (port.maximum - port.minimum), 0.051)
            << display;
        vst3.SetParameter(index, static_cast<float>(info.defaultNormalizedValue));
      }
    }
    // The effect's own controls, in the units a musician reads.
    struct Expected
    {
      const char* name;
      const char* unit;
      float minimum, maximum, defaultValue;
    };
    for (const Expected& e :
         {Expected{"Depth", LV2_UNITS__pc, 0, 100, 50}, Expected{"Speed", LV2_UNITS__pc, 0, 100, 50},
          Expected{"Note hold", LV2_UNITS__cent, 0, 50, 0}, Expected{"Detune", LV2_UNITS__cent, -100, 100, 0},
          Expected{"Dry/wet", LV2_UNITS__pc, 0, 200, 200}, Expected{"Width", LV2_UNITS__cent, -100, 100, 0},
          Expected{"Keep formants", LV2_UNITS__pc, 0, 100, 100},
          Expected{"Formant shift", LV2_UNITS__semitone12TET, -12, 12, 0}})
    {
      const int index = lv2.FindParameter(e.name);
      ASSERT_GE(index, 0) << e.name;
      const MTestHostLv2::PortInfo& port = ports[static_cast<std::size_t>(index)];
      EXPECT_EQ(port.unit, e.unit) << e.name;
      EXPECT_EQ(port.minimum, e.minimum) << e.name;
      EXPECT_EQ(port.maximum, e.maximum) << e.name;
      EXPECT_EQ(port.defaultValue, e.defaultValue) << e.name;
    }
    const auto& enabled = ports[static_cast<std::size_t>(parameters)];
    EXPECT_EQ(enabled.designation, LV2_CORE__enabled);
    EXPECT_TRUE(Has(enabled.properties, LV2_CORE__toggled));
    EXPECT_EQ(enabled.defaultValue, 1.0f);
    const auto& latency = ports[static_cast<std::size_t>(parameters) + 1];
    EXPECT_TRUE(Has(latency.properties, LV2_CORE__reportsLatency) &&
                Has(latency.classes, LV2_CORE__OutputPort));
    EXPECT_EQ(ports[static_cast<std::size_t>(parameters) + 2].designation, LV2_CORE__control);
    EXPECT_TRUE(Has(ports[static_cast<std::size_t>(parameters) + 3].classes, LV2_ATOM__AtomPort));
    EXPECT_EQ(ports.back().symbol, "midi_out");
    EXPECT_TRUE(Has(ports.back().classes, LV2_ATOM__AtomPort) &&
                Has(ports.back().classes, LV2_CORE__OutputPort));
    EXPECT_EQ(lv2.NumInputs(), channels);
    EXPECT_EQ(lv2.NumOutputs(), channels);
    EXPECT_EQ(lv2.LatencySamples(), vst3.Activate(kRate, kBlock) ? vst3.LatencySamples() : -1);
    vst3.Deactivate();
  }
}

TEST(TonveraLV2Bundle, SharpA3ComesOutOnA3AfterTheLatencyWithTheSamplesOfTheVst3Module)
{
  MTestHostLv2 lv2;
  ASSERT_TRUE(Load(lv2, kStereo));
  MTestHostVst3 vst3;
  ASSERT_EQ(vst3.LoadModule(TONVERA_VST3_BUNDLE), MTestHostStatus::Ok) << vst3.LastError();
  ASSERT_TRUE(vst3.Activate(kRate, kBlock));
  Apply(lv2, &vst3, {{"Depth", 100.0f}, {"Speed", 100.0f}});
  const int latency = lv2.LatencySamples();
  ASSERT_GT(latency, 0);
  EXPECT_EQ(latency, vst3.LatencySamples());

  const auto out = Render(lv2, 3.0);
  ASSERT_FALSE(out.empty());
  // The same samples as VST 3: the cross-format test measures that tone's delay and pitch.
  EXPECT_EQ(LargestDifference(out, Render(vst3, 3.0)), 0.0f);

  // Every control moved, each in its unit, sounds as the same values set through VST 3.
  Apply(lv2, &vst3,
        {{"Depth", 75.0f},
         {"Speed", 62.5f},
         {"Note hold", 12.5f},
         {"Detune", 25.0f},
         {"Dry/wet", 150.0f},
         {"Width", -50.0f},
         {"Keep formants", 50.0f},
         {"Formant shift", 3.0f},
         {"D#", 0.0f}});
  const auto moved = Render(lv2, 1.0);
  ASSERT_FALSE(moved.empty());
  EXPECT_EQ(LargestDifference(moved, Render(vst3, 1.0)), 0.0f);
}

// The latency port carries Live's latency after the first run that has it on (LV2 hosts read it
// after every run); switched off, the port goes back. (The effect's own test shows the output is
// that late; the tone test above shows the samples are those VST 3 gives.)
TEST(TonveraLV2Bundle, LatencyPortFollowsLive)
{
  MTestHostLv2 lv2;
  ASSERT_TRUE(Load(lv2, kStereo));
  std::vector<float> silence(kBlock, 0.0f);
  std::vector<float> outL(kBlock);
  std::vector<float> outR(kBlock);
  float* inputs[2] = {silence.data(), silence.data()};
  float* outputs[2] = {outL.data(), outR.data()};
  for (const auto& [live, latency] : {std::pair{0.0f, 1024}, std::pair{1.0f, 256}, std::pair{0.0f, 1024}})
  {
    lv2.SetParameter(lv2.FindParameter("Live"), live);
    ASSERT_TRUE(lv2.Process(inputs, outputs, kBlock));
    EXPECT_EQ(lv2.LatencySamples(), latency);
  }
}

TEST(TonveraLV2Bundle, StateInterfaceSavesTheVst3StateAndANewInstanceRestoresItWithTheSameSound)
{
  const std::vector<Setting> settings = {
      {"Depth", 25.0f}, {"Detune", 50.0f}, {"Dry/wet", 50.0f}, {"C#", 0.0f}};
  MTestHostLv2 saved;
  ASSERT_TRUE(Load(saved, kStereo));
  MTestHostVst3 vst3;
  ASSERT_EQ(vst3.LoadModule(TONVERA_VST3_BUNDLE), MTestHostStatus::Ok) << vst3.LastError();
  ASSERT_TRUE(vst3.Activate(kRate, kBlock));
  Apply(saved, &vst3, settings);
  ASSERT_TRUE(saved.Process(nullptr, nullptr, 0)); // the ports reach the plug-in
  const std::vector<std::uint8_t> state = saved.GetState();
  ASSERT_FALSE(state.empty());
  Render(vst3, 0.0);
  std::vector<Steinberg::Vst::AudioBusBuffers> none;
  vst3.ProcessBuses(none, none, 0);
  EXPECT_EQ(vst3.GetState(), state) << "LV2 and VST 3 save the same settings differently";

  // A host that restores only the state: its ports stay at their defaults and do not undo it.
  MTestHostLv2 restored;
  ASSERT_TRUE(Load(restored, kStereo));
  ASSERT_TRUE(restored.SetState(state));
  EXPECT_EQ(restored.GetState(), state);
  const auto expected = Render(saved, 1.0);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(LargestDifference(Render(restored, 1.0), expected), 0.0f);

  // The host saves the instance as a preset of its own (state and ports) and loads it back.
  const auto folder = std::filesystem::temp_directory_path() / ("tonvera-lv2-" + std::to_string(getpid()));
  ASSERT_TRUE(saved.SaveStateFile(folder.string()));
  MTestHostLv2 loaded;
  ASSERT_TRUE(Load(loaded, kStereo));
  ASSERT_TRUE(loaded.LoadStateFile((folder / "state.ttl").string()));
  EXPECT_EQ(loaded.GetParameter(loaded.FindParameter("Detune")), 50.0f);
  EXPECT_EQ(LargestDifference(Render(loaded, 1.0), expected), 0.0f);
  EXPECT_EQ(loaded.GetState(), state);
  std::filesystem::remove_all(folder);
}

// A session saved by the bundle whose ports were normalised: its state holds the true values and
// its ports 0..1 (Depth 0.725, Speed 0.809, Note hold 0.206, Detune 0.603, C# off). The ports it
// restores are not read in the new units: the plug-in keeps the state's values (and, as a state from
// before the Quality setting, the Standard shifter), as the same values set through VST 3 give,
// also once the session was saved again.
TEST(TonveraLV2Bundle, SessionOfTheNormalisedPortsRestoresItsStateAndItsPortsDoNotOverrideIt)
{
  MTestHostLv2 lv2;
  ASSERT_TRUE(Load(lv2, kStereo));
  ASSERT_TRUE(lv2.LoadStateFile(TONVERA_LV2_TEST_DATA "/normalised-session/state.ttl"));
  EXPECT_EQ(lv2.GetParameter(lv2.FindParameter("Detune")), 0.603f) << "the host's stale port value";
  const auto out = Render(lv2, 1.0);
  ASSERT_FALSE(out.empty());

  MTestHostVst3 vst3;
  ASSERT_EQ(vst3.LoadModule(TONVERA_VST3_BUNDLE), MTestHostStatus::Ok) << vst3.LastError();
  ASSERT_TRUE(vst3.Activate(kRate, kBlock));
  for (const Setting& setting :
       {Setting{"Depth", 0.725f}, Setting{"Speed", 0.809f}, Setting{"Note hold", 0.206f},
        Setting{"Detune", 0.603f}, Setting{"C#", 0.0f}, Setting{"Quality", 0.0f}})
    vst3.SetParameter(lv2.FindParameter(setting.name), setting.value);
  EXPECT_EQ(LargestDifference(out, Render(vst3, 1.0)), 0.0f);
  std::vector<Steinberg::Vst::AudioBusBuffers> none;
  vst3.ProcessBuses(none, none, 0);
  const std::vector<std::uint8_t> state = vst3.GetState();
  EXPECT_EQ(lv2.GetState(), state);

  // Saved again, the host keeps its stale port values beside the state; reopened, they still do not
  // override it.
  const auto folder = std::filesystem::temp_directory_path() / ("tonvera-lv2-" + std::to_string(getpid()));
  ASSERT_TRUE(lv2.SaveStateFile(folder.string()));
  MTestHostLv2 reopened;
  ASSERT_TRUE(Load(reopened, kStereo));
  ASSERT_TRUE(reopened.LoadStateFile((folder / "state.ttl").string()));
  ASSERT_TRUE(reopened.Process(nullptr, nullptr, 0));
  EXPECT_EQ(reopened.GetState(), state);
  std::filesystem::remove_all(folder);
}

// Each factory preset from the host's list, loaded as hosts load presets (state and ports), and as a
// host without the state interface loads it (ports alone), holds the values the preset names.
TEST(TonveraLV2Bundle, FactoryPresetsInTheHostsListLoadTheValuesTheEditorLoads)
{
  std::ifstream file(TONVERA_FACTORY_PRESETS, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  MMemoryStream stream(text.data(), text.size());
  MXmlItem factory;
  MXmlReader::Read(stream, factory);
  std::vector<const MXmlItem*> shipped;
  std::vector<const MXmlItem*> folders = {&factory};
  while (!folders.empty())
  {
    const MXmlItem* folder = folders.back();
    folders.pop_back();
    for (int i = 0; i < folder->GetSubItemCount(); ++i)
      (folder->GetSubItemAt(i).GetName().EqualsName("preset") ? shipped : folders)
          .push_back(&folder->GetSubItemAt(i));
  }
  MTestHostLv2 lister;
  ASSERT_TRUE(Load(lister, kMono));
  const auto presets = lister.Presets();
  ASSERT_GE(shipped.size(), 12u);
  ASSERT_EQ(presets.size(), shipped.size());
  for (const auto& entry : presets)
  {
    const std::string& uri = entry.first;
    const std::string& label = entry.second;
    SCOPED_TRACE(label);
    const auto preset = std::find_if(shipped.begin(), shipped.end(), [&](const MXmlItem* item) {
      return item->GetAttribute("name", "").ToUTF8() == label;
    });
    ASSERT_NE(preset, shipped.end());
    for (const bool portsOnly : {false, true})
    {
      MTestHostLv2 lv2;
      ASSERT_TRUE(Load(lv2, kStereo));
      // A value the preset does not name goes back to its default, as in the editor.
      lv2.SetParameter(lv2.FindParameter("Note hold"), 20.0f);
      ASSERT_TRUE(lv2.Process(nullptr, nullptr, 0));
      ASSERT_TRUE(lv2.LoadPreset(uri, portsOnly));
      ASSERT_TRUE(lv2.Process(nullptr, nullptr, 0));
      const MXmlItem settings = Settings(lv2.GetState());
      for (int i = 0; i < (*preset)->GetAttributeCount(); ++i)
      {
        const MAttribute& attribute = (*preset)->GetAttributeAt(i);
        // The scale's chooser (type and root) is the editor's, not a port.
        if (attribute.name.EqualsName("name") ||
            (portsOnly && (attribute.name.EqualsName("ScaleType") || attribute.name.EqualsName("ScaleNote"))))
          continue;
        EXPECT_TRUE(attribute.name.EqualsName("Scale")
                        ? settings.GetAttribute("Scale", "") == attribute.value
                        : settings.GetAttribute(attribute.name, "").ToDouble() == attribute.value.ToDouble())
            << (portsOnly ? "ports only: " : "") << attribute.name.ToUTF8();
      }
      EXPECT_EQ(settings.GetAttribute("parameterNoteHold", "").ToDouble(), 0.0);
    }
  }
}

// A host that announces no block length may run blocks of any length: they are processed in
// pieces of the prepared length, with the samples of a host that runs short blocks, and once
// running no block allocates.
TEST(TonveraLV2Bundle, LongBlocksWithoutAnAnnouncedLengthSoundAsShortOnesAndNoBlockAllocates)
{
  const std::vector<Setting> settings = {{"Depth", 100.0f}, {"Speed", 80.0f}};
  MTestHostLv2 announced;
  ASSERT_TRUE(Load(announced, kStereo));
  Apply(announced, nullptr, settings);
  setenv("LV2_PATH", TONVERA_LV2_DIR, 1);
  MTestHostLv2 unbounded;
  ASSERT_EQ(unbounded.LoadModule(kStereo), MTestHostStatus::Ok);
  ASSERT_TRUE(unbounded.Activate(kRate, 0));
  Apply(unbounded, nullptr, settings);
  const auto expected = Render(announced, 1.0, kBlock);
  ASSERT_FALSE(expected.empty());
  const auto longBlocks = Render(unbounded, 1.0, 16 * kBlock);
  EXPECT_EQ(LargestDifference(longBlocks, expected), 0.0f);

  std::vector<float> in(16 * kBlock, 0.1f), left(in.size()), right(in.size());
  float* inputs[2] = {in.data(), in.data()};
  float* outputs[2] = {left.data(), right.data()};
  // A controller and a note, the second past the first piece.
  unbounded.SendMidi({{3, {0xB0, 1, 64}}, {9000, {0x90, 60, 100}}});
  const int depth = unbounded.FindParameter("Depth");
  MAllocationCounter::Scope scope;
  for (int block = 0; block < 4; ++block)
  {
    unbounded.SetParameter(depth, 50.0f + 10.0f * static_cast<float>(block));
    ASSERT_TRUE(unbounded.Process(inputs, outputs, 16 * kBlock));
  }
  EXPECT_EQ(scope.Count(), 0u);
}

// The mono plug-in corrects its one channel as the stereo one does; a host without urid:map gets
// no instance at all.
TEST(TonveraLV2Bundle, MonoPluginCorrectsItsChannelAndNoInstanceComesWithoutUridMap)
{
  MTestHostLv2 mono;
  ASSERT_TRUE(Load(mono, kMono));
  Apply(mono, nullptr, {{"Depth", 100.0f}, {"Speed", 100.0f}});
  const auto out = Render(mono, 2.0);
  ASSERT_FALSE(out.empty());
  const double measured =
      MCorrectorTest::MeasureFrequency(out[0], out[0].size() / 2, out[0].size() / 3, 220.0, kRate, 8);
  EXPECT_NEAR(MCorrectorTest::Cents(measured, 220.0), 0.0, 1.0) << measured << " Hz";

  void* binary = dlopen(TONVERA_LV2_DIR "/Tonvera.lv2/Tonvera.so", RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(binary, nullptr) << dlerror();
  const auto entry =
      reinterpret_cast<const LV2_Descriptor* (*)(std::uint32_t)>(dlsym(binary, "lv2_descriptor"));
  ASSERT_NE(entry, nullptr);
  const LV2_Feature* none[] = {nullptr};
  for (std::uint32_t index = 0; index < 2; ++index)
    EXPECT_EQ(entry(index)->instantiate(entry(index), kRate, TONVERA_LV2_DIR "/Tonvera.lv2/", none), nullptr);
  EXPECT_EQ(entry(2), nullptr);
}
