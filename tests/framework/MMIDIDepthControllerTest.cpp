// A MIDI controller assigned to Depth, driving the real pitch-correction effect as a host does:
// the message arrives before the block with its sample offset, and the change must land there.

#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"

#include "framework/MQuorvelAudioEffectPlugin.h"
#include "tests/dsp/MCorrectorTestSupport.h"
#include "tests/core/MCoreTestSupport.h"
#include "tests/effect/MEffectTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{
constexpr double kRate = 44100.0;
constexpr std::int32_t kBlock = 512;
/// A3 is note 57 (440 Hz); the input sits 40 cents above it.
constexpr double kInputNote = 57.4;

using MCoreTest::IndexOf;

/// The real plug-in, mono, chromatic (its default scale), Speed 1, Depth 0, with controller 1 on
/// any channel moving Depth up over its whole range.
struct DepthRig
{
  DepthRig()
  {
    owner.reset(CreateTonveraPlugin());
    plugin = dynamic_cast<MQuorvelAudioEffectPlugin*>(owner.get());
    std::vector<MString> names(1, MString("Channel"));
    plugin->SetChannelNames(names, names);
    plugin->SetSampleRate(kRate);
    plugin->SetBlockSize(kBlock);
    plugin->InitProcessing();
    depth = IndexOf(*plugin, "Depth");
    plugin->SetParameter(depth, 0.0);
    plugin->SetParameter(IndexOf(*plugin, "Speed"), 1.0);
    MControllerAssignment assignment;
    assignment.enabled = true;
    assignment.parameter = depth;
    assignment.value = 0.0;
    assignment.range = 1.0;
    assignment.channel = 0;
    assignment.controller = 1;
    assignment.rangeMode = kRangeUpOnly;
    plugin->m_controllers.push_back(assignment);
    plugin->m_controllersEnabled = true;
  }

  TonveraAudioEffectPlugin& Effect() { return dynamic_cast<TonveraAudioEffectPlugin&>(*plugin->GetEffect()); }

  void SendModulation(std::uint8_t value, int offset)
  {
    const std::uint8_t bytes[3] = {0xB0, 1, value};
    plugin->ProcessShortMessage(bytes, offset);
  }

  /// Runs `in` through in host calls of kBlock samples; `split` cuts the host call holding
  /// `eventSample` in two at that sample. The controller message goes out at `eventSample`.
  std::vector<float> Render(const std::vector<float>& in, std::size_t eventSample, bool split)
  {
    std::vector<float> out(in.size());
    std::vector<float> input(in);
    for (std::size_t start = 0; start < in.size();)
    {
      std::size_t count = std::min<std::size_t>(kBlock, in.size() - start);
      if (split && eventSample > start && eventSample < start + count)
        count = eventSample - start;
      if (eventSample >= start && eventSample < start + count)
        SendModulation(127, static_cast<int>(eventSample - start));
      float* inputs[MAudioPlugin::kPointersPerBus] = {input.data() + start};
      float* outputs[MAudioPlugin::kPointersPerBus] = {out.data() + start};
      plugin->Process(inputs, outputs, static_cast<std::int32_t>(count), true);
      start += count;
    }
    return out;
  }

  std::unique_ptr<MAudioPlugin> owner;
  MQuorvelAudioEffectPlugin* plugin = nullptr;
  std::int32_t depth = -1;
};

std::size_t FirstDifference(const std::vector<float>& a, const std::vector<float>& b)
{
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i])
    ++i;
  return i;
}

class MMIDIDepthController : public ::testing::Test
{
protected:
  void SetUp() override { MModuleLibrary::AdapterCreated(MModuleLibrary::AdapterKind::kVst2); }
  void TearDown() override { MModuleLibrary::AdapterDestroyed(MModuleLibrary::AdapterKind::kVst2); }
};
} // namespace

// A tone 40 cents sharp of A3 under Depth 0, which removes only the slow average of the offset
// (time constant 1 s); controller 1 jumps to 127 at sample 300 of block 40. Up to the event the
// output follows that slow decay; a short while after it (the latency plus 0.1 s) the output sits
// on A3. The render must be the very same as a host's that cut its call at the event's sample
// and sent the message between the two halves, must differ from one where the message came at
// the start of its block, and must not differ from a render without the message before the
// event's sample: the change lands at the offset.
TEST_F(MMIDIDepthController, ControllerMovesDepthAudiblyFromTheEventsOffset)
{
  const auto length = static_cast<std::size_t>(1.5 * kRate);
  const std::vector<float> in = MEffectTest::ToneFollowing(std::vector<double>(length, kInputNote), kRate);
  const std::size_t eventSample = 40 * kBlock + 300;

  DepthRig rig;
  const auto latency = static_cast<std::size_t>(rig.plugin->GetLatency());
  const std::vector<float> out = rig.Render(in, eventSample, false);
  EXPECT_DOUBLE_EQ(rig.plugin->GetParameter(rig.depth), 1.0);

  const double a3 = MCorrectorTest::FrequencyOfNote(57.0);
  const std::size_t window = 2048;
  const double before = MCorrectorTest::Cents(
      MCorrectorTest::MeasureFrequency(out, eventSample - window, window, a3 * 1.015, kRate, 8), a3);
  const double slowDecay = 40.0 * std::exp(-static_cast<double>(eventSample - window / 2) / kRate);
  const std::size_t settled = eventSample + latency + static_cast<std::size_t>(0.1 * kRate);
  const double after =
      MCorrectorTest::Cents(MCorrectorTest::MeasureFrequency(out, settled, window, a3, kRate, 8), a3);
  EXPECT_NEAR(before, slowDecay, 3.0);
  EXPECT_LT(std::abs(after), 5.0);

  DepthRig cut;
  EXPECT_EQ(out, cut.Render(in, eventSample, true));
  DepthRig early;
  const std::size_t earlyDifference = FirstDifference(out, early.Render(in, eventSample - 300, false));
  DepthRig none;
  const std::size_t eventDifference = FirstDifference(out, none.Render(in, length, false));
  EXPECT_LT(earlyDifference, length);
  // The effect applies a new correction once per analysis hop (a quarter of its frame, which is
  // the latency): the first frame after the event is the first to differ.
  EXPECT_GE(eventDifference, eventSample);
  EXPECT_LE(eventDifference, eventSample + latency / 4 + 1);
  std::printf("cents from A3 before the event %.2f (slow decay %.2f), after %.2f; latency %zu\n"
              "event at sample %zu: output departs from Depth 0 at %zu; from the block-start render at %zu\n",
              before, slowDecay, after, latency, eventSample, eventDifference, earlyDifference);
}

// The depth the effect works with after a host call that ends right after the event's sample:
// the change has reached the effect's last sub-block whatever the offset, including offsets past
// the modulation block size.
TEST_F(MMIDIDepthController, DepthReachesTheEffectAtEveryOffsetOfTheBlock)
{
  DepthRig rig;
  std::vector<float> buffer(kBlock, 0.0f);
  float* io[MAudioPlugin::kPointersPerBus] = {buffer.data()};
  const std::int32_t modulation = rig.plugin->GetMaxLFOBlockSize();
  for (const std::int32_t offset : {0, 1, modulation - 1, modulation, modulation + 44, kBlock - 1})
  {
    rig.SendModulation(0, 0);
    rig.plugin->Process(io, io, kBlock, true);
    ASSERT_DOUBLE_EQ(rig.Effect().Tracker().Depth(), 0.0);
    rig.SendModulation(127, offset);
    rig.plugin->Process(io, io, offset + 1, true);
    EXPECT_DOUBLE_EQ(rig.Effect().Tracker().Depth(), 1.0) << "offset " << offset;
  }
}
