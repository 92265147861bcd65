// The built Tonvera module through the test host: a voice 30 cents sharp comes out on its note,
// delayed by exactly the latency the module reports.

#include "tools/host/MTestHostVst2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace
{
constexpr double kRate = 44100.0;
constexpr int kBlock = 512;

int FindParameter(MTestHostVst2& host, const std::string& word)
{
  for (int i = 0; i < host.NumParameters(); ++i)
    if (host.ParameterName(i).find(word) != std::string::npos)
      return i;
  return -1;
}

/// Frequency of a steady tone from its rising zero crossings (interpolated between samples).
double ZeroCrossingFrequency(const std::vector<float>& signal, std::size_t from)
{
  double first = -1.0;
  double last = -1.0;
  int crossings = 0;
  for (std::size_t i = from + 1; i < signal.size(); ++i)
  {
    if (signal[i - 1] < 0.0f && signal[i] >= 0.0f)
    {
      const double t = static_cast<double>(i - 1) + signal[i - 1] / (signal[i - 1] - signal[i]);
      if (first < 0.0)
        first = t;
      last = t;
      ++crossings;
    }
  }
  return crossings > 1 ? (crossings - 1) * kRate / (last - first) : 0.0;
}

TEST(TonveraModuleVst2Test, SharpToneComesOutOnItsNoteAfterTheReportedLatency)
{
  MTestHostVst2 host;
  ASSERT_EQ(host.LoadModule(TONVERA_MODULE), MTestHostStatus::Ok) << host.LastError();
  ASSERT_EQ(host.NumInputs(), 2);
  ASSERT_EQ(host.NumOutputs(), 2);
  ASSERT_TRUE(host.Activate(kRate, kBlock));
  const int depth = FindParameter(host, "Depth");
  const int speed = FindParameter(host, "Speed");
  ASSERT_GE(depth, 0);
  ASSERT_GE(speed, 0);
  host.SetParameter(depth, 1.0f);
  host.SetParameter(speed, 1.0f);
  const int latency = host.LatencySamples();
  EXPECT_EQ(latency, 1024);

  const double frequency = 220.0 * std::pow(2.0, 30.0 / 1200.0);
  const int total = static_cast<int>(3.0 * kRate) / kBlock * kBlock;
  std::vector<float> input(static_cast<std::size_t>(total));
  for (int i = 0; i < total; ++i)
    input[static_cast<std::size_t>(i)] =
        static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * frequency * i / kRate));
  std::vector<float> left(input.size());
  std::vector<float> right(input.size());
  std::vector<float> inL(kBlock);
  std::vector<float> inR(kBlock);
  for (int start = 0; start < total; start += kBlock)
  {
    std::copy_n(input.begin() + start, kBlock, inL.begin());
    std::copy_n(input.begin() + start, kBlock, inR.begin());
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {left.data() + start, right.data() + start};
    ASSERT_TRUE(host.ProcessReplacing(inputs, outputs, kBlock));
  }

  // Nothing before the latency; the tone right after it.
  float early = 0.0f;
  for (int i = 0; i < latency; ++i)
    early = std::max(early, std::fabs(left[static_cast<std::size_t>(i)]));
  float onset = 0.0f;
  for (int i = latency; i < latency + 256; ++i)
    onset = std::max(onset, std::fabs(left[static_cast<std::size_t>(i)]));
  EXPECT_LT(early, 1e-4f);
  EXPECT_GT(onset, 1e-3f);

  const double measured = ZeroCrossingFrequency(left, static_cast<std::size_t>(total) / 2);
  ASSERT_GT(measured, 0.0);
  RecordProperty("centsFromA3", std::to_string(1200.0 * std::log2(measured / 220.0)));
  EXPECT_NEAR(1200.0 * std::log2(measured / 220.0), 0.0, 5.0) << measured << " Hz";
  const double measuredRight = ZeroCrossingFrequency(right, static_cast<std::size_t>(total) / 2);
  EXPECT_NEAR(1200.0 * std::log2(measuredRight / 220.0), 0.0, 5.0) << measuredRight << " Hz";
}
} // namespace

#ifdef TONVERA_MODULE_BUNDLE_BINARY
#include "tools/host/MSharedLibrary.h"

namespace
{
TEST(TonveraModuleVst2Test, OneBinaryAnswersBothInterfacesFromTheBundleToo)
{
  for (const char* path : {TONVERA_MODULE, TONVERA_MODULE_BUNDLE_BINARY})
  {
    MSharedLibrary library;
    std::string error;
    ASSERT_TRUE(library.Open(path, error)) << error;
#ifdef _WIN32
    for (const char* entry : {"VSTPluginMain", "main", "GetPluginFactory", "InitDll", "ExitDll"})
#else
    for (const char* entry : {"VSTPluginMain", "main", "GetPluginFactory", "ModuleEntry", "ModuleExit"})
#endif
      EXPECT_NE(library.Symbol(entry), nullptr) << path << " " << entry;
    EXPECT_EQ(library.Symbol("CreateTonveraPlugin"), nullptr);
  }
}
} // namespace
#endif
