#include "tools/render/MRenderer.h"

#include "tools/render/MPitchMeter.h"
#include "tools/render/MRenderHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>

#if defined(__unix__)
#include <sys/resource.h>
#endif

namespace
{
// A plug-in that delays every channel by exactly the latency it reports, and negates it, so
// that output and input can only match when the renderer compensates that latency.
class DelayHost : public MTestHost
{
public:
  DelayHost(int channels, int latency) : m_channels(channels), m_latency(latency), m_lines(channels) {}

  MTestHostStatus LoadModule(const std::string&) override { return MTestHostStatus::Ok; }
  bool IsLoaded() const override { return true; }
  bool Activate(double, int) override
  {
    for (std::deque<float>& line : m_lines)
      line.assign(static_cast<std::size_t>(m_latency), 0.0f);
    return true;
  }
  bool Deactivate() override { return true; }
  bool Process(float** inputs, float** outputs, int samples) override
  {
    for (int c = 0; c < m_channels; ++c)
      for (int i = 0; i < samples; ++i)
      {
        m_lines[c].push_back(inputs[c][i]);
        outputs[c][i] = -m_lines[c].front();
        m_lines[c].pop_front();
      }
    return true;
  }
  void Close() override {}
  int NumInputs() const override { return m_channels; }
  int NumOutputs() const override { return m_channels; }
  int NumParameters() const override { return 0; }
  int LatencySamples() const override { return m_latency; }
  float GetParameter(int) override { return 0.0f; }
  void SetParameter(int, float) override {}
  std::string ParameterName(int) override { return {}; }
  std::string ParameterDisplay(int) override { return {}; }
  std::vector<std::uint8_t> GetState() override { return {}; }
  bool SetState(const std::vector<std::uint8_t>&) override { return false; }
  bool SendMidi(const std::vector<MTestHostMidiEvent>&) override { return true; }

private:
  int m_channels;
  int m_latency;
  std::vector<std::deque<float>> m_lines;
};

// Frame k, channel c of a deterministic stream: distinct everywhere, cheap to recompute.
float SampleAt(std::int64_t k, int c)
{
  return static_cast<float>(((k * 7919 + c * 104729) % 20011) - 10005) / 16384.0f;
}

class RampSource : public MSampleSource
{
public:
  RampSource(int channels, std::int64_t frames) : m_channels(channels), m_frames(frames) {}
  int Read(float* interleaved, int frames, std::string&) override
  {
    const int n = static_cast<int>(std::min<std::int64_t>(frames, m_frames - m_position));
    for (int i = 0; i < n; ++i)
      for (int c = 0; c < m_channels; ++c)
        interleaved[i * m_channels + c] = SampleAt(m_position + i, c);
    m_position += n;
    return n;
  }

private:
  int m_channels;
  std::int64_t m_frames;
  std::int64_t m_position = 0;
};

// Checks every frame against the source as it arrives, keeping nothing.
class CheckingSink : public MSampleSink
{
public:
  CheckingSink(int channels, float sign) : m_channels(channels), m_sign(sign) {}
  bool Write(const float* interleaved, int frames, std::string&) override
  {
    for (int i = 0; i < frames; ++i, ++m_position)
      for (int c = 0; c < m_channels; ++c)
        if (interleaved[i * m_channels + c] != m_sign * SampleAt(m_position, c))
          ++m_mismatches;
    return true;
  }
  std::int64_t Frames() const { return m_position; }
  std::int64_t Mismatches() const { return m_mismatches; }

private:
  int m_channels;
  float m_sign;
  std::int64_t m_position = 0;
  std::int64_t m_mismatches = 0;
};

#if defined(__unix__)
long PeakResidentKilobytes()
{
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}
#endif
} // namespace

TEST(MRendererTest, OutputIsAsLongAsTheInputAndAlignedWithItWhateverTheLatencyAndBlock)
{
  const struct
  {
    int channels;
    int latency;
    int block;
    std::int64_t frames;
  } cases[] = {
      {1, 0, 512, 10000},  {2, 1024, 512, 44100}, {2, 1024, 1, 3000}, {3, 3000, 256, 5000},
      {2, 700, 4096, 100}, {8, 1024, 333, 20000}, {2, 1024, 512, 0},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(testing::Message() << c.channels << " ch, latency " << c.latency << ", block " << c.block
                                    << ", " << c.frames << " frames");
    // Two-channel instances, as a stereo plug-in renders a wider file in pairs.
    const int width = std::min(c.channels, 2);
    std::vector<std::unique_ptr<DelayHost>> plugins;
    std::vector<MTestHost*> hosts;
    for (int g = 0; g < MRenderer::InstancesFor(c.channels, width); ++g)
    {
      plugins.push_back(std::make_unique<DelayHost>(width, c.latency));
      plugins.back()->Activate(44100.0, c.block);
      hosts.push_back(plugins.back().get());
    }
    RampSource source(c.channels, c.frames);
    CheckingSink sink(c.channels, -1.0f);
    MRenderJob job;
    job.channels = c.channels;
    job.frames = c.frames;
    job.blockSamples = c.block;
    job.channelsPerInstance = width;
    MRenderResult result;
    std::string error;
    ASSERT_TRUE(MRenderer::Render(hosts, source, sink, job, result, error)) << error;
    EXPECT_EQ(result.latencySamples, c.latency);
    EXPECT_EQ(result.framesWritten, c.frames);
    EXPECT_EQ(sink.Frames(), c.frames);
    EXPECT_EQ(sink.Mismatches(), 0);
  }
}

#if defined(__unix__)
TEST(MRendererTest, ALongStreamRendersThroughAModuleWithoutMemoryGrowingWithItsLength)
{
  // Ten minutes of stereo at 44.1 kHz: 212 MB as floats, far above what the render may add.
  constexpr double kRate = 44100.0;
  constexpr std::int64_t kFrames = static_cast<std::int64_t>(10 * 60 * kRate);
  constexpr long kAllowedGrowthKilobytes = 32 * 1024;

  MRenderHost plugin;
  std::string error;
  ASSERT_TRUE(plugin.Load(MPluginFormat::Vst2, TONVERA_FAKE_GAIN_MODULE, error)) << error;
  ASSERT_TRUE(plugin.Prepare(kRate, 512, 2, error)) << error;
  MTestHost* hosts[] = {&plugin.Host()};
  MPitchComparison comparison(kRate, MScaleText::Chromatic(), nullptr);
  MRenderJob job;
  job.channels = 2;
  job.blockSamples = 512;
  job.channelsPerInstance = 2;
  job.observer = &comparison;
  MRenderResult result;

  // A short render first, so that one-time allocations are counted before the baseline.
  {
    RampSource source(2, 100000);
    CheckingSink sink(2, 1.0f);
    job.frames = 100000;
    ASSERT_TRUE(MRenderer::Render(hosts, source, sink, job, result, error)) << error;
  }
  const long before = PeakResidentKilobytes();
  RampSource source(2, kFrames);
  CheckingSink sink(2, 1.0f); // the fake's reported latency is not a real delay: output = input advanced
  job.frames = kFrames;
  ASSERT_TRUE(MRenderer::Render(hosts, source, sink, job, result, error)) << error;
  const long growth = PeakResidentKilobytes() - before;

  EXPECT_EQ(sink.Frames(), kFrames);
  EXPECT_LT(growth, kAllowedGrowthKilobytes) << "peak resident memory grew by " << growth << " kB";
}
#endif
