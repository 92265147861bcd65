// Display texts, parsing and mapping of the unit scales. Display texts reach hosts, so they are
// compared exactly. Only the percent text is on a product path yet (the effect's parameter texts);
// the other scales serve the editor to come and keep a test of their contract.
#include "base/MValueUnits.h"
#include "base/MValueFrequency.h"
#include "base/MValueMIDINote.h"
#include "base/MValueStepDouble.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>

namespace
{

std::string Utf8(const MString& text)
{
  return text.ToUTF8();
}

/// A fresh scale of each unit class over a wide enough range, for table-driven cases.
using Factory = std::function<std::unique_ptr<MValue>(double initial)>;

/// The variable of a double-valued unit scale (the logarithmic frequency has its own base).
double ValueOf(const MValue& scale)
{
  if (const auto* linear = dynamic_cast<const MValueDouble*>(&scale))
  {
    return linear->Get();
  }
  return dynamic_cast<const MValueDoubleNormalisedFine&>(scale).Get();
}

template <typename Scale>
Factory Make(double min, double max)
{
  return [min, max](double initial) -> std::unique_ptr<MValue> {
    return std::make_unique<Scale>(MValueBinding<double>::Value(initial), min, max);
  };
}

struct DisplayCase
{
  const char* scale;
  Factory make;
  double value;
  const char* text;
};

TEST(MValueUnits, DisplayTextsFollowTheUnitRules)
{
  const DisplayCase cases[] = {
      {"percent", Make<MValuePercents>(-2, 2), 0.005, "0.50%"},
      {"percent", Make<MValuePercents>(-2, 2), 0.5, "50.0%"},
      {"percent", Make<MValuePercents>(-2, 2), 0.0, "0.00%"},
      {"percent", Make<MValuePercents>(-2, 2), 1.0, "100.0%"},
      {"percent", Make<MValuePercents>(-2, 2), -0.25, "-25.0%"},
      {"percent", Make<MValuePercents>(-2, 2), 0.01, "1.0%"},
      {"volume", Make<MValueVolume>(0, 10), 0.0, "silence"},
      {"volume", Make<MValueVolume>(0, 10), 0.5, "-6.02 dB"},
      {"volume", Make<MValueVolume>(0, 10), 0.01, "-40.0 dB"},
      {"volume", Make<MValueVolume>(0, 10), 1.0, "0.00 dB"},
      {"volume", Make<MValueVolume>(0, 10), 2.0, "6.02 dB"},
      {"volume", Make<MValueVolume>(0, 10), 10.0, "20.0 dB"},
      {"pan", Make<MValuePan>(-1, 1), -0.255, "25% left"},
      {"pan", Make<MValuePan>(-1, 1), 0.0, "center"},
      {"pan", Make<MValuePan>(-1, 1), 0.5, "50% right"},
      {"pan", Make<MValuePan>(-1, 1), 1.0, "100% right"},
      {"pan", Make<MValuePan>(-1, 1), -1.0, "100% left"},
      {"pan", Make<MValuePan>(-1, 1), 0.004, "0% right"},
      {"pan", Make<MValuePan>(-1, 1), -0.29, "29% left"},
      {"time", Make<MValueTimeMS>(0, 10), 0.0, "0 ms"},
      {"time", Make<MValueTimeMS>(0, 10), 0.00005, "0.050 ms"},
      {"time", Make<MValueTimeMS>(0, 10), 0.0005, "0.50 ms"},
      {"time", Make<MValueTimeMS>(0, 10), 0.005, "5.0 ms"},
      {"time", Make<MValueTimeMS>(0, 10), 0.25, "250 ms"},
      {"time", Make<MValueTimeMS>(0, 10), 0.0126, "13 ms"},
      {"time", Make<MValueTimeMS>(0, 10), 1.5, "1500 ms"},
      {"frequency", Make<MValueFrequency>(0.1, 30000), 0.5, "0.5000 Hz"},
      {"frequency", Make<MValueFrequency>(0.1, 30000), 440.0, "440 Hz"},
      {"frequency", Make<MValueFrequency>(0.1, 30000), 12345.0, "12.3 kHz"},
      {"frequency", Make<MValueFrequency>(0.1, 30000), 5.0, "5.00 Hz"},
      {"frequency", Make<MValueFrequency>(0.1, 30000), 55.56, "55.6 Hz"},
      {"frequency", Make<MValueFrequency>(0.1, 30000), 9999.4, "9999 Hz"},
      {"frequency", Make<MValueFrequency>(0.1, 30000), 10000.0, "10.0 kHz"},
      {"frequency linear", Make<MValueFrequencyLinear>(0, 30000), 0.0, "0 Hz"},
      {"frequency linear", Make<MValueFrequencyLinear>(0, 30000), 1000.5, "1001 Hz"},
      {"frequency log", Make<MValueFrequencyLog>(-1, 5), 2.0, "100 Hz"},
      {"frequency log", Make<MValueFrequencyLog>(-1, 5), 4.0, "10.0 kHz"},
      {"frequency log", Make<MValueFrequencyLog>(-1, 5), -1.0, "0.1000 Hz"},
      {"pitch", Make<MValuePitch>(0.25, 4), 1.0, "+1.00"},
      {"pitch", Make<MValuePitch>(0.25, 4), 0.5, "+0.50"},
      {"pitch", Make<MValuePitch>(0.25, 4), 2.126, "+2.13"},
      {"degrees", Make<MValueDegreesFrom01>(0, 1), 0.0, "0\xC2\xB0 (0%)"},
      {"degrees", Make<MValueDegreesFrom01>(0, 1), 0.25, "90\xC2\xB0 (25.0%)"},
      {"degrees", Make<MValueDegreesFrom01>(0, 1), 1.0, "360\xC2\xB0 (100.0%)"},
      {"shape", Make<MValueSignalGeneratorShape>(0, 15), 0.0, "Sine"},
      {"shape", Make<MValueSignalGeneratorShape>(0, 15), 1.0, "Triangle"},
      {"shape", Make<MValueSignalGeneratorShape>(0, 15), 0.25, "75% Sine, 25% Triangle"},
      {"shape", Make<MValueSignalGeneratorShape>(0, 15), 1.999, "Sawtooth"},
      {"shape", Make<MValueSignalGeneratorShape>(0, 15), 15.0, "Random steps"},
      {"shape", Make<MValueSignalGeneratorShape>(0, 15), 14.5, "50% Noise, 50% Random steps"},
      {"step percents",
       [](double v) -> std::unique_ptr<MValue> {
         return std::make_unique<MValueStepPercents>(MValueBinding<double>::Value(v), 0.0, 1.0, 0.05);
       },
       0.33, "35.0%"},
  };
  for (const auto& c : cases)
  {
    auto scale = c.make(c.value);
    EXPECT_EQ(Utf8(scale->GetText()), c.text) << c.scale << " " << c.value;
  }
}

TEST(MValueUnits, ShapeOutsideItsRangeShowsTheEndShapes)
{
  EXPECT_EQ(Utf8(MValueSignalGeneratorShape::Text(16.0)), "Random steps");
  EXPECT_EQ(Utf8(MValueSignalGeneratorShape::Text(-3.0)), "Sine");
  EXPECT_EQ(Utf8(MValueSignalGeneratorShape::Text(std::nan(""))), "Sine");
}

TEST(MValueUnits, MIDINotesShowNameAndOctave)
{
  const std::pair<int, const char*> cases[] = {{60, "C5"}, {61, "C#5"},  {0, "C0"}, {11, "B0"},
                                               {69, "A5"}, {127, "G10"}, {128, ""}, {-1, ""}};
  for (const auto& [note, text] : cases)
  {
    EXPECT_EQ(Utf8(MValueMIDINote::Text(note)), text) << note;
  }
  MValueMIDINote note(MValueBinding<int>::Value(61));
  EXPECT_EQ(Utf8(note.GetText()), "C#5");
  ASSERT_EQ(note.GetStepCount(), 128);
  EXPECT_EQ(Utf8(note.GetContentForStep(127)->GetText()), "G10");
  EXPECT_EQ(Utf8(note.GetContentForStep(128)->GetText()), "");
}

TEST(MValueUnits, MIDINotesReadBackFromNamesOrNumbers)
{
  const std::pair<const char*, int> cases[] = {{"C5", 60},  {"c#5", 61},  {" A5 ", 69}, {"G10", 127},
                                               {"61", 61},  {"G#10", 40}, {"H5", 40},   {"C", 40},
                                               {"C5x", 40}, {"C-1", 40}};
  for (const auto& [text, note] : cases)
  {
    MValueMIDINote value(MValueBinding<int>::Value(40));
    value.SetText(MString::FromUTF8(text));
    EXPECT_EQ(value.Get(), note) << text;
  }
}

struct ParseCase
{
  const char* scale;
  Factory make;
  const char* text;
  bool accepted;
  double expected;
};

TEST(MValueUnits, UnitParsersReadTheLeadingNumberAndConvertIt)
{
  const double kStart = 0.123;
  const ParseCase cases[] = {
      {"percent", Make<MValuePercents>(-2, 2), "50", true, 0.5},
      {"percent", Make<MValuePercents>(-2, 2), " 12.5 %", true, 0.125},
      {"percent", Make<MValuePercents>(-2, 2), "abc", true, 0.0},
      {"volume", Make<MValueVolume>(0, 10), "abc", true, 1.0},
      {"volume", Make<MValueVolume>(0, 10), "-6 dB", true, std::pow(10.0, -0.3)},
      {"volume", Make<MValueVolume>(0, 10), "-20", true, 0.1},
      {"volume", Make<MValueVolume>(0, 10), "Silence", true, 0.0},
      {"volume", Make<MValueVolume>(0, 10), "100", true, 10.0},
      {"pan", Make<MValuePan>(-1, 1), "-25", true, -0.25},
      {"pan", Make<MValuePan>(-1, 1), "25% left", true, -0.25},
      {"pan", Make<MValuePan>(-1, 1), "25% right", true, 0.25},
      {"pan", Make<MValuePan>(-1, 1), "center", true, 0.0},
      {"time", Make<MValueTimeMS>(0, 10), "250 ms", true, 0.25},
      {"time", Make<MValueTimeMS>(0, 10), "0.05", true, 0.00005},
      {"frequency", Make<MValueFrequency>(1, 30000), "440 Hz", true, 440.0},
      {"frequency", Make<MValueFrequency>(1, 30000), "12.3 kHz", true, 12300.0},
      {"frequency", Make<MValueFrequency>(1, 30000), "abc", true, 1.0},
      {"frequency log", Make<MValueFrequencyLog>(-1, 5), "1000", true, 3.0},
      {"frequency log", Make<MValueFrequencyLog>(-1, 5), "10 kHz", true, 4.0},
      {"frequency log", Make<MValueFrequencyLog>(-1, 5), "abc", false, kStart},
      {"frequency log", Make<MValueFrequencyLog>(-1, 5), "-5", false, kStart},
      {"frequency linear", Make<MValueFrequencyLinear>(0, 30000), "440 Hz", true, 440.0},
      {"frequency linear", Make<MValueFrequencyLinear>(0, 30000), "12.3 kHz", true, 12300.0},
      {"frequency linear", Make<MValueFrequencyLinear>(0, 30000), "abc", false, kStart},
      {"pitch", Make<MValuePitch>(0, 4), "+1.50", true, 1.5},
      {"pitch", Make<MValuePitch>(0, 4), "2", true, 2.0},
      {"pitch", Make<MValuePitch>(0, 4), "up", false, kStart},
      {"degrees", Make<MValueDegreesFrom01>(0, 1), "90", true, 0.25},
      {"shape", Make<MValueSignalGeneratorShape>(0, 15), "3.5", true, 3.5},
      {"shape", Make<MValueSignalGeneratorShape>(0, 15), "triangle", true, 1.0},
      {"shape", Make<MValueSignalGeneratorShape>(0, 15), "75% Sine, 25% Triangle", true, 0.25},
      {"shape", Make<MValueSignalGeneratorShape>(0, 15), "wobble", false, kStart},
  };
  for (const auto& c : cases)
  {
    auto scale = c.make(kStart);
    scale->SetText(MString::FromUTF8(c.text));
    EXPECT_NEAR(ValueOf(*scale), c.expected, 1e-12) << c.scale << " \"" << c.text << "\"";
  }
}

/// Every unit scale, over its usual range, for the round trips.
struct RoundTripScale
{
  const char* name;
  std::function<std::unique_ptr<MValue>()> make;
};

const RoundTripScale kRoundTripScales[] = {
    {"percent", [] { return std::make_unique<MValuePercents>(); }},
    {"step percents", [] { return std::make_unique<MValueStepPercents>(); }},
    {"volume", [] { return std::make_unique<MValueVolume>(); }},
    {"pan", [] { return std::make_unique<MValuePan>(); }},
    {"time", [] { return std::make_unique<MValueTimeMS>(); }},
    {"frequency", [] { return std::make_unique<MValueFrequency>(); }},
    {"frequency log", [] { return std::make_unique<MValueFrequencyLog>(); }},
    {"frequency linear", [] { return std::make_unique<MValueFrequencyLinear>(); }},
    {"pitch", [] { return std::make_unique<MValuePitch>(); }},
    {"degrees", [] { return std::make_unique<MValueDegreesFrom01>(); }},
    {"shape", [] { return std::make_unique<MValueSignalGeneratorShape>(); }},
    {"step double", [] { return std::make_unique<MValueStepDouble>(); }},
    {"midi note", [] { return std::make_unique<MValueMIDINote>(); }},
};

TEST(MValueUnits, NormalisedPositionReadsBackWhatWasSet)
{
  for (const auto& scale : kRoundTripScales)
  {
    auto value = scale.make();
    // Snapping scales land on their nearest position; the others read back x itself.
    bool snaps = value->GetStepCount() > 0 || std::string(scale.name).find("step") == 0;
    for (double x = 0.0; x <= 1.0; x += 1.0 / 64)
    {
      value->SetNormalised(x);
      double back = value->GetNormalised();
      if (snaps)
      {
        value->SetNormalised(back);
        EXPECT_DOUBLE_EQ(value->GetNormalised(), back) << scale.name << " at " << x;
      }
      else
      {
        EXPECT_NEAR(back, x, 1e-12) << scale.name << " at " << x;
      }
    }
  }
}

TEST(MValueUnits, DisplayedTextReadsBackToTheSameText)
{
  for (const auto& scale : kRoundTripScales)
  {
    auto value = scale.make();
    for (int i = 0; i <= 40; ++i)
    {
      value->SetNormalised(i / 40.0);
      MString shown = value->GetText();
      auto reread = scale.make();
      reread->SetText(shown);
      EXPECT_EQ(Utf8(reread->GetText()), Utf8(shown)) << scale.name << " at " << i / 40.0;
    }
  }
}

TEST(MValueUnits, ContentForAPositionLeavesTheVariableAlone)
{
  MValueVolume volume;
  volume.ClearModified();
  EXPECT_EQ(Utf8(volume.GetContentForNormalised(0.5)->GetText()), "-6.02 dB");
  EXPECT_EQ(volume.Get(), 1.0);
  EXPECT_FALSE(volume.IsModified());

  MValueFrequency frequency;
  // Logarithmic position: the middle of 20 Hz .. 20 kHz is their geometric mean, 632 Hz.
  EXPECT_EQ(Utf8(frequency.GetContentForNormalised(0.5)->GetText()), "632 Hz");
  MValueSignalGeneratorShape shape(MValueBinding<double>::Value(0.0), 0.0, 3.0);
  EXPECT_EQ(Utf8(shape.GetContentForNormalised(1.0)->GetText()), "Random steps");
  MValuePan pan;
  EXPECT_EQ(Utf8(pan.GetContentForNormalised(0.5)->GetText()), "center");
  EXPECT_EQ(Utf8(pan.GetContentForNormalised(0.0)->GetText()), "100% left");
}

TEST(MValueUnits, NarrowRangesGetAHundredthOfTheRangeAsStep)
{
  MValueVolume volume(MValueBinding<double>::Value(0.0), 0.0, 0.01);
  EXPECT_DOUBLE_EQ(volume.GetInc(), 0.0001);
  EXPECT_DOUBLE_EQ(volume.GetMaxInc(), 0.001);
  MValueFrequency frequency(MValueBinding<double>::Value(50.0), 40.0, 60.0);
  EXPECT_DOUBLE_EQ(frequency.GetInc(), 0.2);
  EXPECT_DOUBLE_EQ(frequency.GetMaxInc(), 2.0);
}

TEST(MValueUnits, StepScalesSnapEveryWriteAndStillMoveOnFineSteps)
{
  MValueStepDouble value(MValueBinding<double>::Value(0.0), 0.0, 10.0, 0.5);
  value.Set(3.3);
  EXPECT_EQ(value.Get(), 3.5);
  value.Set(3.2);
  EXPECT_EQ(value.Get(), 3.0);
  value.SetNormalised(0.52);
  EXPECT_EQ(value.Get(), 5.0);
  value.IncrementFine(1);
  EXPECT_EQ(value.Get(), 5.5);
  value.IncrementFine(-1);
  EXPECT_EQ(value.Get(), 5.0);
  value.SetStepSize(2.0);
  EXPECT_EQ(value.Get(), 6.0);
}

} // namespace

namespace
{

TEST(MValueUnits, HostileTypedTextLeavesEveryScaleInsideItsRange)
{
  const char* texts[] = {"",          "nan",    "inf", "-inf",     "1e400",
                         "-1e400",    "1e-400", "{0}", "%%%",      "0x1F",
                         "--5",       "+",      ".",   "e5",       "99999999999999999999999999",
                         "left left", "kHz",    "C#",  "50% , 50%"};
  for (const auto& scale : kRoundTripScales)
  {
    for (const char* text : texts)
    {
      auto value = scale.make();
      value->SetText(MString::FromUTF8(text));
      double position = value->GetNormalised();
      EXPECT_TRUE(position >= 0.0 && position <= 1.0) << scale.name << " \"" << text << "\"";
      value->ClearModified();
      value->Clamp();
      EXPECT_FALSE(value->IsModified()) << scale.name << " \"" << text << "\" left the range";
      EXPECT_NO_THROW(value->GetText());
    }
  }
}

} // namespace
