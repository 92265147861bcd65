// The pitch plot end to end: a tone of known pitch rendered with --plot (through the pass-through,
// so the picture shows the detector's reading of the file itself) must come out as a valid PNG
// with its line at that pitch's height, broken where the tone pauses.

#include "tools/render/MPitchPlot.h"

#include "gui/styles/MStyleConfiguration.h"
#include "tests/render/MRenderTestSupport.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <numbers>

namespace fs = std::filesystem;

namespace
{
constexpr int kRate = 44100;

// A sine: `seconds` of tone, a pause, and as much tone again.
void WriteToneWithPause(const fs::path& path, double hz, double seconds, double pauseSeconds)
{
  SF_INFO info{};
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  info.channels = 1;
  info.samplerate = kRate;
  std::vector<float> samples(static_cast<std::size_t>((2 * seconds + pauseSeconds) * kRate));
  for (std::size_t i = 0; i < samples.size(); ++i)
  {
    const double t = static_cast<double>(i) / kRate;
    if (t < seconds || t >= seconds + pauseSeconds)
      samples[i] = static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * hz * t));
  }
  SNDFILE* file = sf_open(path.string().c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr);
  sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(file);
}

// Mean row of the pixels in column x that have exactly the track colour; -1 when there are none.
double TrackRow(const MBitmap& picture, std::int32_t x, MColor color)
{
  double sum = 0.0;
  int count = 0;
  for (std::int32_t y = 0; y < picture.Height(); ++y)
    if (picture.GetColor(x, y) == color)
    {
      sum += y + 0.5; // the pixel's centre
      ++count;
    }
  return count > 0 ? sum / count : -1.0;
}

class MPitchPlotTest : public MRenderTest::ScratchFolder
{};
} // namespace

TEST_F(MPitchPlotTest, ToneIsDrawnAtItsPitchAndBrokenWhereItPauses)
{
  const struct
  {
    double note; // continuous note number of the tone
    const char* what;
  } cases[] = {{69.0, "A4 exactly"}, {57.3, "A3 thirty cents sharp"}, {40.0, "E2, a low voice"}};
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.what);
    WriteToneWithPause(Path("tone.wav"), 440.0 * std::exp2((c.note - 69.0) / 12.0), 1.0, 0.5);
    const MRenderTest::Outcome outcome = MRenderTest::Render(
        {"--pass-through", Path("tone.wav"), Path("out.wav"), "--plot", Path("plot.png")});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const MBitmap picture = MBitmap::LoadPNGFile(MString::FromUTF8(Path("plot.png")));
    ASSERT_EQ(picture.Size(), MPitchPlot::kDefaultSize);

    // One pitch all along: the range is the narrowest one, centred on the nearest semitone, so
    // the line lies as many cents from the middle as the tone lies from that semitone.
    const MRect area = MPitchPlot::AxesFor({}, MPitchPlot::kDefaultSize).area;
    const double perSemitone = area.Height() / MPitchPlot::kMinSemitones;
    const double row = (area.top + area.bottom) / 2.0 - (c.note - std::round(c.note)) * perSemitone;
    const double perSecond = area.Width() / 2.5;
    // Pass-through: the output lies on the input and is drawn on top, in the accent colour.
    const MColor output = MBaseStyleConfiguration::Dark().accent;
    for (double seconds : {0.5, 2.0})
      EXPECT_NEAR(TrackRow(picture, area.left + static_cast<std::int32_t>(seconds * perSecond), output), row,
                  1.5)
          << "at " << seconds << " s";
    EXPECT_EQ(TrackRow(picture, area.left + static_cast<std::int32_t>(1.25 * perSecond), output), -1.0)
        << "the line goes on through the pause";
  }
}
