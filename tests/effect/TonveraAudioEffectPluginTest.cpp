#include "effect/TonveraAudioEffectPlugin.h"

#include "base/MXmlItem.h"
#include "core/parameters/MParameterMapping.h"
#include "tests/effect/MEffectTestSupport.h"
#include "tests/support/MAllocationCounter.h"
#include "tests/support/MTestSignals.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace MEffectTest;
using Effect = TonveraAudioEffectPlugin;

namespace
{

// ---- parameter texts ---------------------------------------------------------------------------

struct TextCase
{
  int index;
  double plain;
  const char* text;
};

class ParameterText : public testing::TestWithParam<TextCase>
{};

TEST_P(ParameterText, ShowsTheExactTextAndReadsItBack)
{
  const TextCase& c = GetParam();
  Effect effect;
  MParameterInfo& info = effect.GetParameterInfo(c.index);
  EXPECT_EQ(MParameterMapping::FloatText(info, c.plain).ToUTF8(), c.text);

  // The displayed text typed back gives the value again, to the text's own precision.
  const double normalised = MParameterMapping::FloatParse(info, MString::FromUTF8(c.text));
  const double back = MParameterMapping::FloatToPlain(info, normalised);
  EXPECT_EQ(MParameterMapping::FloatText(info, back).ToUTF8(), c.text);
}

INSTANTIATE_TEST_SUITE_P(AllParameters, ParameterText,
                         testing::Values(TextCase{Effect::kDepth, 0.5, "50.0%"},
                                         TextCase{Effect::kDepth, 0.005, "0.50%"},
                                         TextCase{Effect::kSpeed, 1.0, "100.0%"},
                                         TextCase{Effect::kSpeed, 0.0, "0.00%"},
                                         TextCase{Effect::kDetune, 12.34, "+12.3 cents"},
                                         TextCase{Effect::kDetune, -50.0, "-50.0 cents"},
                                         TextCase{Effect::kDryWet, 2.0, "100% wet, 0% dry"},
                                         TextCase{Effect::kDryWet, 1.0, "100% wet, 100% dry"},
                                         TextCase{Effect::kDryWet, 0.0, "0% wet, 100% dry"},
                                         TextCase{Effect::kDryWet, 1.5, "100% wet, 50% dry"},
                                         TextCase{Effect::kDryWet, 0.255, "26% wet, 100% dry"},
                                         TextCase{Effect::kWidth, 100.0, "+100.0 cents"},
                                         TextCase{Effect::kKeepFormants, 0.5, "50.0%"},
                                         TextCase{Effect::kFormantShift, 1.5, "+1.50 semitones"},
                                         TextCase{Effect::kFormantShift, -12.0, "-12.00 semitones"}));

TEST(TonveraParametersTest, PlainTypedNumbersAreReadInTheParametersUnits)
{
  Effect effect;
  const struct
  {
    int index;
    const char* typed;
    double plain;
  } cases[] = {{Effect::kDepth, "25", 0.25},
               {Effect::kDryWet, "150", 1.5},
               {Effect::kKeepFormants, "80%", 0.8},
               {Effect::kDetune, "-7.5", -7.5},
               {Effect::kFormantShift, "3 semitones", 3.0}};
  for (const auto& c : cases)
  {
    MParameterInfo& info = effect.GetParameterInfo(c.index);
    const double normalised = MParameterMapping::FloatParse(info, MString::FromUTF8(c.typed));
    EXPECT_NEAR(MParameterMapping::FloatToPlain(info, normalised), c.plain, 1e-12) << c.typed;
  }
}

// ---- frame size and latency --------------------------------------------------------------------

TEST(TonveraEffectTest, FrameSizeAndLatencyFollowTheSampleRate)
{
  const struct
  {
    double rate;
    int frame;
  } cases[] = {{22050, 512},  {32000, 512},  {44100, 1024},  {48000, 1024},
               {88200, 2048}, {96000, 2048}, {176400, 4096}, {192000, 4096}};
  Effect effect;
  for (const auto& c : cases)
  {
    ASSERT_EQ(effect.InitProcessing(2, c.rate), 0);
    EXPECT_EQ(effect.GetLatency(), c.frame) << c.rate;
    EXPECT_EQ(effect.GetCorrector(1).FrameSize(), c.frame) << c.rate;
  }
  EXPECT_EQ(effect.InitProcessing(2, 0.0), -1);
  EXPECT_EQ(effect.GetLatency(), 4096) << "a refused rate changes nothing";
  // The correctors follow the channel count: fewer, then more again.
  for (int channels : {8, 1, 2})
    ASSERT_EQ(effect.InitProcessing(channels, 48000.0), 0);
  EXPECT_TRUE(std::isfinite(RunBlocks(effect, Channels(2, std::vector<float>(3000, 0.1f)), 512)[1][2999]));
}

// ---- signal paths ------------------------------------------------------------------------------

TEST(TonveraEffectTest, DryWetZeroIsTheDrySignalDelayedByTheLatency)
{
  for (int channels : {1, 2})
  {
    auto effect = MakeEffect(channels, 44100.0);
    SetParameter(*effect, Effect::kDryWet, 0.0);
    SetParameter(*effect, Effect::kDetune, 40.0);
    Channels inputs;
    for (int c = 0; c < channels; ++c)
      inputs.push_back(MTestSignals::WhiteNoise(20000, 0.5f, static_cast<std::uint32_t>(c + 3)));
    const auto outputs = RunBlocks(*effect, inputs, 333);
    const auto n = static_cast<std::size_t>(effect->GetLatency());
    for (int c = 0; c < channels; ++c)
    {
      double worst = 0.0;
      for (std::size_t i = n; i < inputs[0].size(); ++i)
        worst = std::max(worst, static_cast<double>(std::abs(outputs[c][i] - inputs[c][i - n])));
      EXPECT_LT(worst, 1e-4) << channels << " channels, channel " << c;
    }
  }
}

// A tone exactly on A (440 Hz) at Depth and Speed 1 is not corrected, so the output pitch shows
// the Detune/Width shift of each channel alone.
double MeasuredShiftCents(const std::vector<float>& output, double sampleRate, double expectedCents)
{
  const double expected = 440.0 * std::exp2(expectedCents / 1200.0);
  return expectedCents + CentsFrom(output, output.size() - 6000, expected, sampleRate);
}

void SetLive(Effect& effect, bool on)
{
  effect.GetParameterInfo(Effect::kLive).enumeration.value = on ? 1 : 0;
}

// The largest step between neighbouring samples in x[from, to).
float LargestStep(const std::vector<float>& x, std::size_t from, std::size_t to)
{
  float largest = 0.0f;
  for (std::size_t i = from + 1; i < to && i < x.size(); ++i)
    largest = std::max(largest, std::abs(x[i] - x[i - 1]));
  return largest;
}

// A single channel is shifted by Detune alone; more are spread evenly over Detune -+ Width/2.
TEST(TonveraEffectTest, DetuneShiftsEveryChannelAndWidthSpreadsThem)
{
  const double rate = 44100.0;
  const struct
  {
    int channels;
    double detune;
    double width;
    bool live;
  } cases[] = {{1, 50.0, 80.0, false},
               {2, 0.0, 60.0, false},
               {2, 20.0, -40.0, false},
               {8, 0.0, 70.0, false},
               {2, 20.0, -40.0, true}};
  for (const auto& c : cases)
  {
    auto effect = MakeEffect(c.channels, rate);
    SetLive(*effect, c.live);
    SetParameter(*effect, Effect::kDetune, c.detune);
    SetParameter(*effect, Effect::kWidth, c.width);
    const Channels inputs(static_cast<std::size_t>(c.channels),
                          MTestSignals::Harmonic(30000, 440.0, rate, kPartials));
    const auto outputs = RunBlocks(*effect, inputs, 700);
    for (int ch = 0; ch < c.channels; ++ch)
    {
      const double expected =
          c.channels == 1 ? c.detune : c.detune - c.width / 2.0 + c.width * ch / (c.channels - 1);
      EXPECT_NEAR(MeasuredShiftCents(outputs[static_cast<std::size_t>(ch)], rate, expected), expected, 2.0)
          << c.channels << " channels, width " << c.width << ", channel " << ch << (c.live ? ", Live" : "");
    }
  }
}

TEST(TonveraEffectTest, StereoDetectsOnMidAtWidthZeroAndOnTheLeftChannelOtherwise)
{
  const double rate = 44100.0;
  const std::size_t samples = 20000;
  const double leftNote = 57.3;
  const double otherNote = 62.2;
  // left = A + 30 cents; right = -left + D + 20 cents. Mid is then the D tone alone.
  const auto left = MTestSignals::Harmonic(samples, FrequencyOfNote(leftNote), rate, kPartials);
  auto right = MTestSignals::Harmonic(samples, FrequencyOfNote(otherNote), rate, {0.6, 0.3, 0.2, 0.15});
  for (std::size_t i = 0; i < samples; ++i)
    right[i] -= left[i];

  const struct
  {
    double width;
    double detectedNote;
  } cases[] = {{0.0, otherNote}, {0.001, leftNote}, {-30.0, leftNote}};
  for (const auto& c : cases)
  {
    auto effect = MakeEffect(2, rate);
    EXPECT_EQ(effect->GetDisplayChosenNote(), -1) << "no note before the first frame";
    SetParameter(*effect, Effect::kWidth, c.width);
    RunBlocks(*effect, {left, right}, 512);
    EXPECT_NEAR(effect->GetDisplayInputNote(), c.detectedNote, 0.05) << "width " << c.width;
    EXPECT_EQ(effect->GetDisplayChosenNote(), static_cast<int>(std::lround(c.detectedNote)));
  }
}

TEST(TonveraEffectTest, WidthCrossingZeroKeepsTheOutputContinuous)
{
  // Left and right differ, so mid/side and left/right are different pairs. 440 Hz has a period of
  // 100 samples at 44 kHz: segments of 10000 samples join seamlessly. Width leaves 0 at sample
  // 10000 and comes back at 20000.
  auto effect = MakeEffect(2, 44000.0);
  const Channels segment = {MTestSignals::Harmonic(10000, 440.0, 44000.0, kPartials),
                            MTestSignals::Harmonic(10000, 440.0, 44000.0, {0.2, 0.05})};
  Channels out(2);
  for (double width : {0.0, 10.0, 0.0})
  {
    SetParameter(*effect, Effect::kWidth, width);
    const Channels part = RunBlocks(*effect, segment, 512);
    for (std::size_t c = 0; c < 2; ++c)
      out[c].insert(out[c].end(), part[c].begin(), part[c].end());
  }
  // No step between neighbouring samples from the switch to two frames after it may exceed the
  // output's own steps before and after by more than a quarter.
  const auto settled = static_cast<std::size_t>(2 * effect->GetLatency());
  for (std::size_t c = 0; c < 2; ++c)
    for (std::size_t at : {10000u, 20000u})
      EXPECT_LT(
          LargestStep(out[c], at - 1, at + settled),
          1.25f * std::max(LargestStep(out[c], at - 4000, at), LargestStep(out[c], at + settled, at + 6000)))
          << "channel " << c << " at " << at;
}

TEST(TonveraEffectTest, EightChannelsAreAllCorrectedByChannelZerosPitch)
{
  const double rate = 48000.0;
  const double note = 57.3;
  Channels inputs;
  for (int c = 0; c < 8; ++c)
    inputs.push_back(MTestSignals::Harmonic(30000, FrequencyOfNote(note), rate, {0.3 / (c + 1), 0.1}));
  auto effect = MakeEffect(8, rate);
  const auto outputs = RunBlocks(*effect, inputs, 256);
  for (std::size_t c = 0; c < 8; ++c)
    EXPECT_NEAR(CentsFrom(outputs[c], 24000, 440.0, rate), 0.0, 3.0) << "channel " << c;
}

TEST(TonveraEffectTest, ProcessingAllocatesNothingOnceInitialised)
{
  for (int channels : {1, 2, 8})
  {
    auto effect = MakeEffect(channels, 44100.0);
    std::vector<std::vector<float>> buffers(8, MTestSignals::WhiteNoise(5000, 0.3f));
    std::vector<float*> io;
    for (auto& buffer : buffers)
      io.push_back(buffer.data());
    const MAudioEffectPlugin::Transport transport;
    MAllocationCounter::Scope scope;
    // In place, short and long blocks, both stereo paths, parameter changes between blocks, Live
    // switched on and off (through every stage of the crossfade).
    for (int block : {64, 5000, 1000, 4000, 3000})
    {
      effect->Process(transport, io.data(), io.data(), block);
      effect->GetParameterInfo(Effect::kWidth).floating.value = block == 5000 ? 10.0 : 0.0;
      effect->GetParameterInfo(Effect::kSpeed).floating.value = block / 5000.0;
      effect->OnParametersChanged();
      effect->GetParameterInfo(Effect::kLive).enumeration.value =
          block == 64 || block == 5000 || block == 4000;
    }
    EXPECT_EQ(scope.Count(), 0u) << channels << " channels";
  }
}

// ---- Live --------------------------------------------------------------------------------------

// Live reports a quarter of the frame (at most about 6 ms) and the output really is that late:
// a click after a sung note comes out exactly the reported latency after it went in, on every
// channel, with the voice both corrected and left alone before it.
TEST(TonveraLiveTest, AClickComesOutExactlyTheReportedLatencyLate)
{
  const struct
  {
    double rate;
    int latency;
  } cases[] = {{44100.0, 256}, {48000.0, 256}, {96000.0, 512}, {32000.0, 128}};
  for (const auto& c : cases)
    for (int channels : {1, 2})
    {
      auto effect = MakeEffect(channels, c.rate);
      SetLive(*effect, true);
      ASSERT_EQ(effect->InitProcessing(channels, c.rate), 0);
      EXPECT_EQ(effect->GetLatency(), c.latency) << c.rate;
      EXPECT_LE(effect->GetLatency() / c.rate, 0.0061);
      // A sharp note for 0.5 s, silence, then the click.
      const auto n = static_cast<std::size_t>(c.rate);
      std::vector<float> input =
          MTestSignals::Harmonic(n / 2, 220.0 * std::exp2(0.3 / 12.0), c.rate, kPartials);
      input.resize(n, 0.0f);
      const std::size_t click = n * 3 / 4;
      input[click] = 0.8f;
      const auto outputs = RunBlocks(*effect, Channels(static_cast<std::size_t>(channels), input), 300);
      for (const auto& output : outputs)
      {
        std::size_t loudest = click;
        for (std::size_t i = click; i < n; ++i)
          if (std::abs(output[i]) > std::abs(output[loudest]))
            loudest = i;
        EXPECT_EQ(loudest - click, static_cast<std::size_t>(c.latency)) << c.rate << " Hz, " << channels;
        EXPECT_NEAR(output[loudest], 0.8f, 1e-4f);
      }
    }
  Effect fresh;
  SetLive(fresh, true);
  EXPECT_EQ(fresh.GetLatency(), 256) << "before any rate: the 44.1 kHz figure";
}

// The note tracker works as in the normal path: a tone 30 cents sharp lands on its note, and a
// scale without the note moves it to the nearest one. (Detune and Width in Live are the shift
// test's.)
TEST(TonveraLiveTest, CorrectsToTheScale)
{
  const double rate = 44100.0;
  const auto sharp = MTestSignals::Harmonic(30000, 220.0 * std::exp2(0.3 / 12.0), rate, kPartials);
  {
    auto effect = MakeEffect(1, rate);
    SetLive(*effect, true);
    const auto out = RunBlocks(*effect, {sharp}, 512)[0];
    EXPECT_NEAR(CentsFrom(out, 20000, 220.0, rate), 0.0, 2.0);
    EXPECT_EQ(effect->GetDisplayChosenNote(), 45);
  }
  {
    auto effect = MakeEffect(1, rate);
    SetLive(*effect, true);
    effect->SetScaleNoteEnabled(9, false); // no A: the nearest allowed note is A# (B flat)
    const auto out = RunBlocks(*effect, {sharp}, 512)[0];
    EXPECT_NEAR(CentsFrom(out, 20000, 220.0 * std::exp2(1.0 / 12.0), rate), 0.0, 3.0);
  }
}

// Switching Live on and off while a voice sounds crossfades between the paths: no step between
// neighbouring samples exceeds the input's own largest by more than a quarter (a click would be a
// step of the tone's whole amplitude), also when switched back before the frame engine is ready.
TEST(TonveraLiveTest, SwitchingMidStreamNeverJumps)
{
  const double rate = 44100.0;
  std::vector<double> notes(static_cast<std::size_t>(3.0 * rate));
  for (std::size_t i = 0; i < notes.size(); ++i)
    notes[i] = 57.35 + 0.3 * std::sin(2.0 * 3.14159265 * 5.0 * static_cast<double>(i) / rate);
  const std::vector<float> tone = ToneFollowing(notes, rate);
  auto effect = MakeEffect(2, rate, 0.5, 0.5);
  // When (in samples) Live is switched: on, off, on again within the frame engine's priming,
  // off, on while fading back.
  const std::size_t switches[] = {20000, 45000, 46500, 80000, 95000};
  Channels out(2);
  std::size_t at = 0;
  bool live = false;
  for (std::size_t next : {switches[0], switches[1], switches[2], switches[3], switches[4], tone.size()})
  {
    const std::vector<float> part(tone.begin() + static_cast<std::ptrdiff_t>(at),
                                  tone.begin() + static_cast<std::ptrdiff_t>(next));
    const Channels result = RunBlocks(*effect, {part, part}, 441);
    for (std::size_t c = 0; c < 2; ++c)
      out[c].insert(out[c].end(), result[c].begin(), result[c].end());
    at = next;
    live = !live;
    SetLive(*effect, live);
  }
  const float limit = 1.25f * LargestStep(tone, 0, tone.size());
  for (std::size_t c = 0; c < 2; ++c)
  {
    EXPECT_LE(LargestStep(out[c], 2048, out[c].size()), limit) << "channel " << c;
    // Still sounding at the end, on the live path.
    EXPECT_GT(LargestStep(out[c], out[c].size() - 4410, out[c].size()), 0.5f * limit);
  }
  EXPECT_EQ(effect->LiveMix(), 1.0f);
}

// ---- scale -------------------------------------------------------------------------------------

std::string ScaleText(const Effect& effect)
{
  std::string text;
  for (int i = 0; i < Effect::kPitchClasses; ++i)
    text += effect.IsScaleNoteEnabled(i) ? '1' : '0';
  return text;
}

TEST(TonveraScaleTest, PredefinedScalesAreRotatedToTheirRoot)
{
  const struct
  {
    int kind;
    int root;
    const char* flags;
  } cases[] = {{Effect::kMajor, 0, "101011010101"},
               {Effect::kMajor, 2, "011010110101"},
               {Effect::kMinor, 9, "101011010101"},
               {Effect::kPentatonic, 7, "001010010101"},
               {Effect::kChromatic, 5, "111111111111"}};
  for (const auto& c : cases)
  {
    Effect effect;
    effect.SelectScale(c.kind, c.root);
    EXPECT_EQ(ScaleText(effect), c.flags)
        << Effect::ScaleName(c.kind) << " on " << Effect::PitchClassName(c.root);
    EXPECT_EQ(effect.GetScaleType(), c.kind);
    EXPECT_EQ(effect.GetScaleNote(), c.root);
  }
  Effect effect;
  effect.SelectScale(7, 0);
  effect.SelectScale(Effect::kMajor, 12);
  EXPECT_EQ(ScaleText(effect), "111111111111") << "an unknown kind or root changes nothing";
}

TEST(TonveraScaleTest, ScaleSlotsSetAboveOneHalfAndShowOnOff)
{
  Effect effect;
  auto& slots = effect.GetScaleAdapter();
  ASSERT_EQ(slots.GetCount(), 12);
  EXPECT_EQ(slots.GetName(1).ToUTF8(), "C#");
  EXPECT_EQ(slots.GetName(11).ToUTF8(), "B");
  slots.SetValue(4, 0.5, false);
  EXPECT_FALSE(effect.IsScaleNoteEnabled(4));
  EXPECT_EQ(slots.GetValue(4), 0.0);
  EXPECT_EQ(slots.GetValueName(4).ToUTF8(), "Off");
  slots.SetValue(4, 0.51, true);
  EXPECT_TRUE(effect.IsScaleNoteEnabled(4));
  EXPECT_EQ(slots.GetValueName(4).ToUTF8(), "On");
  EXPECT_EQ(slots.GetValueNameFrom01(0, 0.5).ToUTF8(), "Off");
  // Typed texts read back as what they show; the default is the fresh state's "on".
  EXPECT_EQ(std::tuple(slots.ParseValueName(0, "On"), slots.ParseValueName(0, "off"),
                       slots.ParseValueName(0, "0.75")),
            std::tuple(1.0, 0.0, 0.75));
  slots.SetValue(4, slots.GetDefaultValue(4), false);
  EXPECT_TRUE(effect.IsScaleNoteEnabled(4)) << "reset to default turns the note on";
}

TEST(TonveraScaleTest, SettingsCarryTheScaleIntoAnotherInstance)
{
  Effect first;
  first.SelectScale(Effect::kMinor, 4);
  first.GetParameterInfo(Effect::kDepth).floating.value = 0.8;
  MXmlItem item("Settings");
  ASSERT_TRUE(first.StoreSettings(item));
  EXPECT_EQ(item.GetAttribute("Scale", "").ToUTF8(), ScaleText(first));
  EXPECT_EQ(item.GetAttribute("ScaleType", "").ToUTF8(), "2");
  EXPECT_EQ(item.GetAttribute("ScaleNote", "").ToUTF8(), "4");

  Effect second;
  ASSERT_TRUE(second.LoadSettings(item));
  EXPECT_EQ(ScaleText(second), ScaleText(first));
  EXPECT_EQ(second.GetScaleType(), 2);
  EXPECT_EQ(second.GetScaleNote(), 4);
  EXPECT_DOUBLE_EQ(second.GetParameterInfo(Effect::kDepth).floating.value, 0.8);
}

TEST(TonveraScaleTest, OnlyATwelveCharacterScaleIsLoaded)
{
  const struct
  {
    const char* scale;
    const char* flags;
  } cases[] = {{"101011010101", "101011010101"},
               {"10101101010", "111111111111"},
               {"1010110101011", "111111111111"},
               {"", "111111111111"},
               {"x1x1x1x1x1x1", "010101010101"}};
  for (const auto& c : cases)
  {
    Effect effect;
    MXmlItem item("Settings");
    item.SetAttribute("Scale", MString::FromUTF8(c.scale));
    item.SetAttribute("ScaleType", "99");
    effect.LoadSettings(item);
    EXPECT_EQ(ScaleText(effect), c.flags) << c.scale;
    EXPECT_EQ(effect.GetScaleType(), 0) << "an out-of-range type is ignored";
  }
}

} // namespace
