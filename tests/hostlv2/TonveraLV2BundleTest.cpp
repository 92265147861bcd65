// The built bundle Tonvera.lv2 through liblilv, found by URI as an LV2 host finds it, beside the
// VST 3 bundle of the same build: the ports follow the parameters VST 3 publishes, a sharp tone
// comes out on its note after the reported latency with the very samples VST 3 gives, and the
// state interface carries the VST state bytes into a new instance.

#include "tests/dsp/MCorrectorTestSupport.h"
#include "tests/support/MAllocationCounter.h"
#include "tools/host/MTestHostLv2.h"
#include "tools/host/MTestHostVst3.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
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

int FindParameter(MTestHost& host, const std::string& word)
{
  for (int i = 0; i < host.NumParameters(); ++i)
    if (host.ParameterName(i).find(word) != std::string::npos)
      return i;
  return -1;
}

bool Has(const std::vector<std::string>& list, const std::string& uri)
{
  return std::find(list.begin(), list.end(), uri) != list.end();
}

struct Setting
{
  const char* name;
  float value;
};

void Apply(MTestHost& host, const std::vector<Setting>& settings)
{
  for (const Setting& setting : settings)
    host.SetParameter(FindParameter(host, setting.name), setting.value);
}

/// Both channels of `seconds` of A3 sung 30 cents sharp, in blocks of `block` samples.
std::vector<std::vector<float>> Render(MTestHost& host, double seconds, int block = kBlock)
{
  const double sharp = 220.0 * std::exp2(30.0 / 1200.0);
  const int total = static_cast<int>(seconds * kRate) / block * block;
  std::vector<std::vector<float>> out(2, std::vector<float>(static_cast<std::size_t>(total)));
  std::vector<float> in(static_cast<std::size_t>(block));
  for (int start = 0; start < total; start += block)
  {
    for (int i = 0; i < block; ++i)
      in[static_cast<std::size_t>(i)] =
          static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * sharp * (start + i) / kRate));
    float* inputs[2] = {in.data(), in.data()};
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
    ASSERT_EQ(static_cast<int>(ports.size()), parameters + 4 + 2 * channels);
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
      EXPECT_NEAR(port.defaultValue, info.defaultNormalizedValue, 1e-6);
      EXPECT_EQ(port.minimum, 0.0f);
      EXPECT_EQ(port.maximum, 1.0f);
      EXPECT_EQ(Has(port.properties, LV2_CORE__toggled), info.stepCount == 1);
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
    EXPECT_EQ(lv2.NumInputs(), channels);
    EXPECT_EQ(lv2.NumOutputs(), channels);
    EXPECT_EQ(lv2.LatencySamples(), vst3.Activate(kRate, kBlock) ? vst3.LatencySamples() : -1);
    vst3.Deactivate();
  }
}

TEST(TonveraLV2Bundle, SharpA3ComesOutOnA3AfterTheLatencyWithTheSamplesOfTheVst3Module)
{
  const std::vector<Setting> settings = {{"Depth", 1.0f}, {"Speed", 1.0f}};
  MTestHostLv2 lv2;
  ASSERT_TRUE(Load(lv2, kStereo));
  Apply(lv2, settings);
  MTestHostVst3 vst3;
  ASSERT_EQ(vst3.LoadModule(TONVERA_VST3_BUNDLE), MTestHostStatus::Ok) << vst3.LastError();
  ASSERT_TRUE(vst3.Activate(kRate, kBlock));
  Apply(vst3, settings);
  const int latency = lv2.LatencySamples();
  ASSERT_GT(latency, 0);
  EXPECT_EQ(latency, vst3.LatencySamples());

  const auto out = Render(lv2, 3.0);
  ASSERT_FALSE(out.empty());
  const float difference = LargestDifference(out, Render(vst3, 3.0));
  RecordProperty("largestDifferenceFromVst3", std::to_string(difference));
  EXPECT_LE(difference, 1e-6f);

  float early = 0.0f;
  for (int i = 0; i < latency; ++i)
    early = std::max(early, std::fabs(out[0][static_cast<std::size_t>(i)]));
  EXPECT_LT(early, 1e-6f) << "sound before the reported latency";
  for (const std::vector<float>& channel : out)
  {
    const double measured =
        MCorrectorTest::MeasureFrequency(channel, channel.size() / 2, channel.size() / 3, 220.0, kRate, 8);
    const double cents = MCorrectorTest::Cents(measured, 220.0);
    RecordProperty(&channel == &out[0] ? "leftCentsFromA3" : "rightCentsFromA3", std::to_string(cents));
    EXPECT_NEAR(cents, 0.0, 1.0) << measured << " Hz";
  }
}

// The latency port carries Live's latency after the first run that has it on (LV2 hosts read it
// after every run), and a click comes out exactly that late; switched off, the port goes back.
TEST(TonveraLV2Bundle, LatencyPortFollowsLiveAndAClickIsThatLate)
{
  MTestHostLv2 lv2;
  ASSERT_TRUE(Load(lv2, kStereo));
  std::vector<float> inL(kBlock, 0.0f);
  std::vector<float> inR(kBlock, 0.0f);
  std::vector<float> outL(kBlock);
  std::vector<float> outR(kBlock);
  float* inputs[2] = {inL.data(), inR.data()};
  float* outputs[2] = {outL.data(), outR.data()};
  ASSERT_TRUE(lv2.Process(inputs, outputs, kBlock));
  EXPECT_EQ(lv2.LatencySamples(), 1024);
  lv2.SetParameter(FindParameter(lv2, "Live"), 1.0f);
  ASSERT_TRUE(lv2.Process(inputs, outputs, kBlock));
  EXPECT_EQ(lv2.LatencySamples(), 256);
  // Past the crossfade from the other path, then the click 100 samples into a block.
  for (int block = 0; block < 4; ++block)
    ASSERT_TRUE(lv2.Process(inputs, outputs, kBlock));
  std::vector<float> left;
  for (int block = 0; block < 3; ++block)
  {
    inL[100] = inR[100] = block == 0 ? 0.9f : 0.0f;
    ASSERT_TRUE(lv2.Process(inputs, outputs, kBlock));
    left.insert(left.end(), outL.begin(), outL.end());
  }
  const auto loudest = std::max_element(left.begin(), left.end(),
                                        [](float a, float b) { return std::fabs(a) < std::fabs(b); });
  EXPECT_EQ(loudest - left.begin(), 100 + 256);
  lv2.SetParameter(FindParameter(lv2, "Live"), 0.0f);
  ASSERT_TRUE(lv2.Process(inputs, outputs, kBlock));
  EXPECT_EQ(lv2.LatencySamples(), 1024);
}

TEST(TonveraLV2Bundle, StateInterfaceSavesTheVst3StateAndANewInstanceRestoresItWithTheSameSound)
{
  const std::vector<Setting> settings = {{"Depth", 0.25f}, {"Detune", 0.7f}, {"Dry/wet", 0.4f}, {"C#", 0.0f}};
  MTestHostLv2 saved;
  ASSERT_TRUE(Load(saved, kStereo));
  Apply(saved, settings);
  ASSERT_TRUE(saved.Process(nullptr, nullptr, 0)); // the ports reach the plug-in
  const std::vector<std::uint8_t> state = saved.GetState();
  ASSERT_FALSE(state.empty());

  MTestHostVst3 vst3;
  ASSERT_EQ(vst3.LoadModule(TONVERA_VST3_BUNDLE), MTestHostStatus::Ok) << vst3.LastError();
  ASSERT_TRUE(vst3.Activate(kRate, kBlock));
  Apply(vst3, settings);
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
}

// A host that announces no block length may run blocks of any length: they are processed in
// pieces of the prepared length, with the samples of a host that runs short blocks, and once
// running no block allocates.
TEST(TonveraLV2Bundle, LongBlocksWithoutAnAnnouncedLengthSoundAsShortOnesAndNoBlockAllocates)
{
  const std::vector<Setting> settings = {{"Depth", 1.0f}, {"Speed", 0.8f}};
  MTestHostLv2 announced;
  ASSERT_TRUE(Load(announced, kStereo));
  Apply(announced, settings);
  setenv("LV2_PATH", TONVERA_LV2_DIR, 1);
  MTestHostLv2 unbounded;
  ASSERT_EQ(unbounded.LoadModule(kStereo), MTestHostStatus::Ok);
  ASSERT_TRUE(unbounded.Activate(kRate, 0));
  Apply(unbounded, settings);
  const auto expected = Render(announced, 1.0, kBlock);
  ASSERT_FALSE(expected.empty());
  const auto longBlocks = Render(unbounded, 1.0, 16 * kBlock);
  EXPECT_EQ(LargestDifference(longBlocks, expected), 0.0f);

  std::vector<float> in(16 * kBlock, 0.1f), left(in.size()), right(in.size());
  float* inputs[2] = {in.data(), in.data()};
  float* outputs[2] = {left.data(), right.data()};
  // A controller and a note, the second past the first piece.
  unbounded.SendMidi({{3, {0xB0, 1, 64}}, {9000, {0x90, 60, 100}}});
  const int depth = FindParameter(unbounded, "Depth");
  MAllocationCounter::Scope scope;
  for (int block = 0; block < 4; ++block)
  {
    unbounded.SetParameter(depth, 0.5f + 0.1f * static_cast<float>(block));
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
  Apply(mono, {{"Depth", 1.0f}, {"Speed", 1.0f}});
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
