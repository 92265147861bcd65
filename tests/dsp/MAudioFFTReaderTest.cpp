#include "dsp/MAudioFFTReader.h"

#include "tests/support/MTestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace
{
// Keeps the DC and Nyquist values (spectrum elements 0 and 1) of every frame.
class MRecordingReader : public MAudioFFTReader
{
public:
  MRecordingReader()
  {
    m_frameSizes.reserve(10000);
    m_dc.reserve(10000);
    m_nyquist.reserve(10000);
  }
  void ProcessFrame(int frameSize, float* spectrum) override
  {
    m_frameSizes.push_back(frameSize);
    m_dc.push_back(spectrum[0]);
    m_nyquist.push_back(spectrum[1]);
  }

  std::vector<int> m_frameSizes;
  std::vector<double> m_dc;
  std::vector<double> m_nyquist;
};
} // namespace

TEST(MAudioFFTReader, FramesStartEveryHopCarryTheWindowedSamplesAndStayWithinTheLimit)
{
  struct Case
  {
    int frameSize;
    double overlapFraction;
    int expectedOverlap;
  };
  const Case cases[] = {{4096, 0.5, 2048}, {1024, 0.75, 768}, {512, 0.0, 0}, {256, 0.3, 76}, {64, 1.0, 63}};
  const std::vector<float> input = MTestSignals::WhiteNoise(9000, 1.0f, 4);

  for (const Case& c : cases)
  {
    SCOPED_TRACE(::testing::Message() << "N " << c.frameSize << ", overlap " << c.overlapFraction);
    auto reader = std::make_unique<MRecordingReader>();
    reader->Resize(c.frameSize, c.overlapFraction);
    ASSERT_EQ(reader->FrameSize(), c.frameSize);
    ASSERT_EQ(reader->Overlap(), c.expectedOverlap);

    // Feed in irregular blocks.
    std::uint32_t state = 99;
    std::size_t at = 0;
    while (at < input.size())
    {
      state = state * 1664525u + 1013904223u;
      const std::size_t length = std::min<std::size_t>(1 + (state >> 8) % 700u, input.size() - at);
      reader->Process(input.data() + at, static_cast<int>(length));
      at += length;
    }

    const int hop = c.frameSize - c.expectedOverlap;
    const std::size_t expectedFrames = (input.size() - static_cast<std::size_t>(c.frameSize)) / hop + 1;
    ASSERT_EQ(reader->m_dc.size(), expectedFrames);
    const float* w = reader->Window().Coefficients();
    for (std::size_t f = 0; f < expectedFrames; ++f)
    {
      // DC and Nyquist of the windowed frame that starts at f * hop.
      double dc = 0.0;
      double nyquist = 0.0;
      for (int n = 0; n < c.frameSize; ++n)
      {
        const double x = static_cast<double>(w[n]) * input[f * hop + static_cast<std::size_t>(n)];
        dc += x;
        nyquist += (n % 2 == 0) ? x : -x;
      }
      ASSERT_NEAR(reader->m_dc[f], dc, 1e-3) << "frame " << f;
      ASSERT_NEAR(reader->m_nyquist[f], nyquist, 1e-3) << "frame " << f;
      ASSERT_EQ(reader->m_frameSizes[f], c.frameSize);
    }
  }

  // Resize limits the frame size and uses the symmetric Hann.
  MAudioFFTReader reader;
  EXPECT_EQ(reader.FrameSize(), 4096);
  reader.Resize(65536, 0.5);
  EXPECT_EQ(reader.FrameSize(), 4096);
  EXPECT_EQ(reader.Overlap(), 2048);
  reader.Resize(3000, -0.5);
  EXPECT_EQ(reader.FrameSize(), 2048);
  EXPECT_EQ(reader.Overlap(), 0);

  const MSignalWindow& window = reader.Window();
  ASSERT_EQ(window.Length(), 2048);
  EXPECT_EQ(window.Type(), MSignalWindow::kHann);
  EXPECT_FALSE(window.HasComplement());
  EXPECT_EQ(window.Coefficients()[0], 0.0f);
  EXPECT_EQ(window.Coefficients()[2047], 0.0f);
}
