#include "tools/render/MPitchMeter.h"

#include "tools/render/MDemoVoice.h"

#include "tests/support/MTestSignals.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
constexpr double kRate = 44100.0;

class VectorSource : public MSampleSource
{
public:
  explicit VectorSource(std::vector<float> samples) : m_samples(std::move(samples)) {}
  int Read(float* interleaved, int frames, std::string&) override
  {
    const int n = static_cast<int>(std::min<std::size_t>(frames, m_samples.size() - m_position));
    std::copy_n(m_samples.begin() + static_cast<std::ptrdiff_t>(m_position), n, interleaved);
    m_position += n;
    return n;
  }

private:
  std::vector<float> m_samples;
  std::size_t m_position = 0;
};

std::vector<float> VoiceLikeTone(double frequencyHz, double seconds)
{
  return MTestSignals::Harmonic(static_cast<std::size_t>(seconds * kRate), frequencyHz, kRate,
                                {0.5, 0.3, 0.2, 0.1, 0.05});
}
} // namespace

TEST(MPitchMeterTest, AToneSungOffPitchMeasuresItsDistanceFromTheNearestNoteAndSilenceNone)
{
  // A3 raised by 35 cents; with A switched off the nearest note is A# above, 65 cents away.
  const double frequency = 220.0 * std::exp2(35.0 / 1200.0);
  const struct
  {
    const char* scale;
    double cents;
  } cases[] = {{"chromatic", 35.0}, {"C,D,E,F,G,A#,B", 65.0}};
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.scale);
    MScaleText::Notes notes{};
    std::string error;
    ASSERT_TRUE(MScaleText::Parse(c.scale, notes, error));
    VectorSource source(VoiceLikeTone(frequency, 2.0));
    MPitchErrorStats stats(notes);
    ASSERT_TRUE(MeasurePitch(source, 1, kRate, stats, error)) << error;
    // Frames every 512 samples over 2 s, all voiced but the first partial ones.
    EXPECT_GT(stats.Count(), 150);
    // The phase-vocoder estimate of a steady tone is good to a fraction of a cent; the
    // percentile is the upper edge of a 0.05-cent bin.
    EXPECT_NEAR(stats.MeanCents(), c.cents, 1.0);
    EXPECT_NEAR(stats.Percentile90Cents(), c.cents, 1.0);
  }
  // Silence has no pitch.
  VectorSource silence(std::vector<float>(static_cast<std::size_t>(kRate), 0.0f));
  MPitchErrorStats stats(MScaleText::Chromatic());
  std::string error;
  ASSERT_TRUE(MeasurePitch(silence, 1, kRate, stats, error));
  EXPECT_EQ(stats.Count(), 0);
}

TEST(MPitchMeterTest, TheTestMaterialIsSungAsItsNotesSayNamedInScientificPitch)
{
  // A held note 35 cents sharp, and one on pitch with 45 cents of vibrato, sung by the
  // synthetic voice (with its 3-cent drift) and measured as the benchmark measures.
  const struct
  {
    MDemoVoice::Note note;
    double meanLow, meanHigh, p90Low, p90High;
  } cases[] = {
      {{57, 2.0, 35.0, 0.0, 0.0, 0.0, 0}, 31.0, 39.0, 33.0, 41.0},
      // |45 sin| averages 2/pi * 45 = 29 cents once grown in; its 90th percentile is 45 sin(0.45 pi) = 44.
      {{62, 3.0, 0.0, 0.0, 45.0, 0.0, 3}, 20.0, 30.0, 38.0, 47.0},
  };
  for (const auto& c : cases)
  {
    VectorSource source(MDemoVoice::Sing({c.note}, kRate));
    MPitchErrorStats stats(MScaleText::Chromatic());
    std::string error;
    ASSERT_TRUE(MeasurePitch(source, 1, kRate, stats, error)) << error;
    EXPECT_GT(stats.MeanCents(), c.meanLow);
    EXPECT_LT(stats.MeanCents(), c.meanHigh);
    EXPECT_GT(stats.Percentile90Cents(), c.p90Low);
    EXPECT_LT(stats.Percentile90Cents(), c.p90High);
  }

  // Notes are named in scientific pitch.
  EXPECT_EQ(MPitchErrorStats::NoteName(69), "A4");
  EXPECT_EQ(MPitchErrorStats::NoteName(60), "C4");
  EXPECT_EQ(MPitchErrorStats::NoteName(61), "C#4");
  EXPECT_EQ(MPitchErrorStats::NoteName(59), "B3");
  int note = 0;
  EXPECT_NEAR(MPitchErrorStats::NearestNote(MScaleText::Chromatic(), 440.0, note), 0.0, 1e-9);
  EXPECT_EQ(note, 69);
}
