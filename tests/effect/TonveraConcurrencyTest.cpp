// One thread processes while another changes parameters and the scale, as a host's audio thread
// and its parameter or GUI thread do. Run under ThreadSanitizer, this shows the shared values
// are free of data races.

#include "effect/TonveraAudioEffectPlugin.h"

#include "tests/effect/MEffectTestSupport.h"
#include "tests/support/MTestSignals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

using Effect = TonveraAudioEffectPlugin;

namespace
{

TEST(TonveraConcurrencyTest, ProcessingWhileParametersAndScaleNotesChange)
{
  auto effect = MEffectTest::MakeEffect(2, 44100.0);
  std::atomic<bool> done{false};
  std::atomic<int> blocks{0};

  std::thread audio([&] {
    std::vector<float> left = MTestSignals::Sine(512, 220.0, 44100.0, 0.4f);
    std::vector<float> right = left;
    float* io[2] = {left.data(), right.data()};
    const MAudioEffectPlugin::Transport transport;
    while (!done.load() || blocks.load() < 200)
    {
      // As the framework's adapter does before each block.
      if (effect->TakeParametersChanged())
        effect->OnParametersChanged();
      effect->Process(transport, io, io, 512);
      blocks.fetch_add(1);
    }
  });

  auto& slots = effect->GetScaleAdapter();
  for (int i = 0; i < 2000; ++i)
  {
    effect->GetParameterInfo(Effect::kWidth).floating.value = (i % 3) * 10.0;
    effect->GetParameterInfo(Effect::kDetune).floating.value = (i % 7) - 3.0;
    effect->GetParameterInfo(Effect::kDryWet).floating.value = (i % 5) * 0.5;
    effect->GetParameterInfo(Effect::kSpeed).floating.value = (i % 11) * 0.1;
    effect->SetParametersChanged();
    slots.SetValue(i % 12, (i / 12) % 2 == 0 ? 0.0 : 1.0, false);
    if (i % 100 == 0)
      effect->SelectScale(i % 4, i % 12);
    if (i % 250 == 0)
      effect->ResetScale();
    (void)effect->GetDisplayInputNote();
    (void)effect->CorrectionRatio();
  }
  done = true;
  audio.join();

  EXPECT_GE(blocks.load(), 200);
  for (int c = 0; c < 2; ++c)
    EXPECT_TRUE(std::isfinite(effect->GetChannelRatio(c)));
}

} // namespace
