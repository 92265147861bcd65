#include "tests/effect/MEffectTestSupport.h"

#include "tests/dsp/MCorrectorTestSupport.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace MEffectTest
{
const std::vector<double> kPartials = {0.3, 0.15, 0.1, 0.075, 0.06};

std::unique_ptr<TonveraAudioEffectPlugin> MakeEffect(int channels, double sampleRate, double depth,
                                                     double speed)
{
  auto effect = std::make_unique<TonveraAudioEffectPlugin>();
  effect->GetParameterInfo(TonveraAudioEffectPlugin::kDepth).floating.value = depth;
  effect->GetParameterInfo(TonveraAudioEffectPlugin::kSpeed).floating.value = speed;
  effect->InitProcessing(channels, sampleRate);
  effect->OnParametersChanged();
  effect->CommitParameterValues();
  return effect;
}

void SetParameter(TonveraAudioEffectPlugin& effect, int index, double plain)
{
  effect.GetParameterInfo(index).floating.value = plain;
  effect.OnParametersChanged();
}

Channels RunBlocks(TonveraAudioEffectPlugin& effect, const Channels& inputs, int block)
{
  Channels outputs(inputs.size(), std::vector<float>(inputs[0].size()));
  std::vector<float*> in(inputs.size());
  std::vector<float*> out(inputs.size());
  const MAudioEffectPlugin::Transport transport;
  for (std::size_t start = 0; start < inputs[0].size(); start += static_cast<std::size_t>(block))
  {
    const auto count = static_cast<std::int32_t>(
        std::min<std::size_t>(static_cast<std::size_t>(block), inputs[0].size() - start));
    for (std::size_t c = 0; c < inputs.size(); ++c)
    {
      in[c] = const_cast<float*>(inputs[c].data()) + start;
      out[c] = outputs[c].data() + start;
    }
    effect.Process(transport, in.data(), out.data(), count);
  }
  return outputs;
}

std::vector<float> ToneFollowing(const std::vector<double>& notes, double sampleRate)
{
  std::vector<float> x(notes.size());
  double phase = 0.0;
  for (std::size_t i = 0; i < notes.size(); ++i)
  {
    double v = 0.0;
    for (std::size_t k = 0; k < kPartials.size(); ++k)
      v += kPartials[k] * std::sin(static_cast<double>(k + 1) * phase);
    x[i] = static_cast<float>(v);
    phase += 2.0 * std::numbers::pi * FrequencyOfNote(notes[i]) / sampleRate;
    if (phase > 2.0 * std::numbers::pi)
      phase -= 2.0 * std::numbers::pi;
  }
  return x;
}

double CentsFrom(const std::vector<float>& x, std::size_t begin, double expectedHz, double sampleRate)
{
  const double f = MCorrectorTest::MeasureFrequency(x, begin, 2048, expectedHz, sampleRate, 8);
  return MCorrectorTest::Cents(f, expectedHz);
}
} // namespace MEffectTest
