#include "tests/dsp/MCorrectorTestSupport.h"

#include <algorithm>
#include <cmath>

namespace MCorrectorTest
{
TestOwner::TestOwner(double sampleRate, double speed, double depth)
{
  tracker.SetSampleRate(sampleRate);
  tracker.SetSpeed(speed);
  tracker.SetDepth(depth);
  tracker.UpdateCoefficients();
  for (MSynthesisPhaseStore& store : stores)
    store.Clear();
}

std::unique_ptr<MTonveraFFTProcessor> MakeCorrector(TestOwner& owner, double sampleRate, int channel)
{
  auto corrector = std::make_unique<MTonveraFFTProcessor>();
  corrector->SetOwner(&owner);
  corrector->SetChannelIndex(channel);
  corrector->SetSynthesisWindow(true);
  corrector->SetOversampling(4);
  corrector->SetFrameSize(kFrameSize);
  corrector->SetSampleRate(sampleRate);
  corrector->SetDetect(channel == 0);
  corrector->Reset();
  return corrector;
}

std::vector<std::vector<float>> RunChannels(std::vector<MTonveraFFTProcessor*> correctors,
                                            const std::vector<std::vector<float>>& inputs, int block)
{
  std::vector<std::vector<float>> outputs;
  for (const auto& input : inputs)
    outputs.emplace_back(input.size(), 0.0f);
  const std::size_t length = inputs[0].size();
  for (std::size_t start = 0; start < length; start += static_cast<std::size_t>(block))
  {
    const int count =
        static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(block), length - start));
    for (std::size_t c = 0; c < correctors.size(); ++c)
      correctors[c]->Process(inputs[c].data() + start, outputs[c].data() + start, count);
  }
  return outputs;
}

std::vector<float> Correct(TestOwner& owner, double sampleRate, int channel, const std::vector<float>& input,
                           int block, double channelRatio)
{
  auto corrector = MakeCorrector(owner, sampleRate, channel);
  corrector->SetChannelRatio(channelRatio);
  return RunChannels({corrector.get()}, {input}, block)[0];
}

double MeasureFrequency(const std::vector<float>& x, std::size_t begin, std::size_t length, double expectedHz,
                        double sampleRate, int periods)
{
  const double expectedLag = periods * sampleRate / expectedHz;
  const int low = static_cast<int>(std::floor(expectedLag * 0.97));
  const int high = static_cast<int>(std::ceil(expectedLag * 1.03));
  auto correlation = [&](int lag) {
    double xy = 0.0;
    double xx = 0.0;
    double yy = 0.0;
    for (std::size_t i = begin; i < begin + length; ++i)
    {
      const double a = x[i];
      const double b = x[i + static_cast<std::size_t>(lag)];
      xy += a * b;
      xx += a * a;
      yy += b * b;
    }
    return xx > 0.0 && yy > 0.0 ? xy / std::sqrt(xx * yy) : 0.0;
  };
  int best = low;
  double bestValue = -2.0;
  for (int lag = low; lag <= high; ++lag)
  {
    const double r = correlation(lag);
    if (r > bestValue)
    {
      bestValue = r;
      best = lag;
    }
  }
  const double left = correlation(best - 1);
  const double right = correlation(best + 1);
  const double curvature = left - 2.0 * bestValue + right;
  const double offset = curvature < 0.0 ? 0.5 * (left - right) / curvature : 0.0;
  return periods * sampleRate / (best + offset);
}
} // namespace MCorrectorTest
