// Channel modes around the real pitch-correction effect, as a host adapter gets the plug-in.

#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"

#include "framework/MQuorvelAudioEffectPlugin.h"
#include "tests/core/MCoreTestSupport.h"
#include "tests/effect/MEffectTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace MEffectTest;

using MCoreTest::IndexOf;

// Left carries a tone 30 cents above note 57, right one 30 cents below note 53. The effect,
// fully corrective, must pull exactly the channel the mode names onto its note and leave the
// other as it was.
TEST(MChannelModesWithTheEffect, LeftOrRightModeCorrectsOnlyItsChannel)
{
  MModuleLibrary::AdapterCreated(MModuleLibrary::AdapterKind::kVst2);
  const double rate = 44100.0;
  const auto length = static_cast<std::size_t>(1.2 * rate);
  const std::vector<float> left = ToneFollowing(std::vector<double>(length, 57.3), rate);
  const std::vector<float> right = ToneFollowing(std::vector<double>(length, 52.7), rate);
  struct Case
  {
    std::int32_t mode;
    double leftNote, rightNote; // expected pitches after processing
  };
  for (const Case& c : {Case{1, 57.0, 52.7}, Case{2, 57.3, 53.0}})
  {
    std::unique_ptr<MAudioPlugin> owner(CreateTonveraPlugin());
    ASSERT_NE(owner, nullptr);
    auto& plugin = dynamic_cast<MQuorvelAudioEffectPlugin&>(*owner);
    std::vector<MString> names(2, MString("Channel"));
    plugin.SetChannelNames(names, names);
    plugin.SetSampleRate(rate);
    plugin.SetBlockSize(512);
    plugin.SetChannelMode(c.mode);
    plugin.InitProcessing();
    plugin.SetParameter(IndexOf(plugin, "Depth"), 1.0);
    plugin.SetParameter(IndexOf(plugin, "Speed"), 1.0);

    std::vector<float> in[2] = {left, right};
    std::vector<float> out[2] = {std::vector<float>(length), std::vector<float>(length)};
    float* inputs[MAudioPlugin::kPointersPerBus] = {};
    float* outputs[MAudioPlugin::kPointersPerBus] = {};
    for (std::size_t start = 0; start < length; start += 512)
    {
      const auto count = static_cast<std::int32_t>(std::min<std::size_t>(512, length - start));
      for (int ch = 0; ch < 2; ++ch)
      {
        inputs[ch] = in[ch].data() + start;
        outputs[ch] = out[ch].data() + start;
      }
      plugin.Process(inputs, outputs, count, true);
    }
    const auto begin = static_cast<std::size_t>(plugin.GetLatency()) + static_cast<std::size_t>(0.5 * rate);
    EXPECT_LT(std::abs(CentsFrom(out[0], begin, FrequencyOfNote(c.leftNote), rate)), 5.0)
        << "mode " << c.mode;
    EXPECT_LT(std::abs(CentsFrom(out[1], begin, FrequencyOfNote(c.rightNote), rate)), 5.0)
        << "mode " << c.mode;
  }
  MModuleLibrary::AdapterDestroyed(MModuleLibrary::AdapterKind::kVst2);
}
