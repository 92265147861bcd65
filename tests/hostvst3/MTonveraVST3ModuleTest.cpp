// The real plug-in behind the VST 3 adapter, loaded from its test bundle.

#include "tools/host/MTestHostVst3.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
TEST(TonveraVST3Module, LoadsPublishesItsParametersAndProcessesFiniteAudio)
{
  MTestHostVst3 host;
  ASSERT_EQ(host.LoadModule(TONVERA_REAL_VST3_BUNDLE), MTestHostStatus::Ok) << host.LastError();
  ASSERT_TRUE(host.Activate(44100.0, 1024));
  EXPECT_EQ(host.LatencySamples(), 1024);
  ASSERT_GT(host.NumParameters(), 131);
  ParameterInfo info = {};
  ASSERT_TRUE(host.ParameterInfo(host.NumParameters() - 131, info));
  EXPECT_EQ(info.id, 32767u);

  std::vector<float> left(1024), right(1024), outL(1024), outR(1024);
  float* in[2] = {left.data(), right.data()};
  float* out[2] = {outL.data(), outR.data()};
  for (int block = 0; block < 8; ++block)
  {
    for (int i = 0; i < 1024; ++i)
    {
      left[static_cast<size_t>(i)] = right[static_cast<size_t>(i)] =
        0.3f * static_cast<float>(std::sin(2.0 * M_PI * 220.0 * (block * 1024 + i) / 44100.0));
    }
    ASSERT_TRUE(host.Process(in, out, 1024));
  }
  double energy = 0.0;
  for (float x : outL)
  {
    ASSERT_TRUE(std::isfinite(x));
    energy += x * x;
  }
  EXPECT_GT(energy, 0.0) << "the tone comes out after the latency";
}

TEST(TonveraVST3Module, StateBytesRestoreAParameterInAnotherInstance)
{
  MTestHostVst3 first;
  ASSERT_EQ(first.LoadModule(TONVERA_REAL_VST3_BUNDLE), MTestHostStatus::Ok) << first.LastError();
  ASSERT_TRUE(first.Activate(48000.0, 512));
  first.SetParameter(0, 0.8f);
  std::vector<AudioBusBuffers> none;
  first.ProcessBuses(none, none, 0);
  const double value = first.GetParameter(0);
  const std::vector<std::uint8_t> state = first.GetState();
  ASSERT_FALSE(state.empty());

  MTestHostVst3 second;
  ASSERT_EQ(second.LoadModule(TONVERA_REAL_VST3_BUNDLE), MTestHostStatus::Ok);
  ASSERT_TRUE(second.SetState(state));
  EXPECT_NEAR(second.GetParameter(0), value, 1e-6);
  EXPECT_EQ(second.GetState(), state);
}
}  // namespace
