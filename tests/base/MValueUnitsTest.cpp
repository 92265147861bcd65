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
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

namespace
{

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

/// Each value given to a fresh scale shows its text.
void ExpectTexts(const char* scale, const Factory& make,
                 std::initializer_list<std::pair<double, const char*>> shown)
{
  for (const auto& [value, text] : shown)
  {
    EXPECT_EQ(make(value)->GetText().ToUTF8(), text) << scale << " " << value;
  }
}

TEST(MValueUnits, DisplayTextsFollowTheUnitRulesAlsoForTheContentOfAPosition)
{
  ExpectTexts(
      "percent", Make<MValuePercents>(-2, 2),
      {{0.005, "0.50%"}, {0.5, "50.0%"}, {0.0, "0.00%"}, {1.0, "100.0%"}, {-0.25, "-25.0%"}, {0.01, "1.0%"}});
  ExpectTexts("volume", Make<MValueVolume>(0, 10),
              {{0.0, "silence"},
               {0.5, "-6.02 dB"},
               {0.01, "-40.0 dB"},
               {1.0, "0.00 dB"},
               {2.0, "6.02 dB"},
               {10.0, "20.0 dB"}});
  ExpectTexts("pan", Make<MValuePan>(-1, 1),
              {{-0.255, "25% left"},
               {0.0, "center"},
               {0.5, "50% right"},
               {1.0, "100% right"},
               {-1.0, "100% left"},
               {0.004, "0% right"},
               {-0.29, "29% left"}});
  ExpectTexts("time", Make<MValueTimeMS>(0, 10),
              {{0.0, "0 ms"},
               {0.00005, "0.050 ms"},
               {0.0005, "0.50 ms"},
               {0.005, "5.0 ms"},
               {0.25, "250 ms"},
               {0.0126, "13 ms"},
               {1.5, "1500 ms"}});
  ExpectTexts("frequency", Make<MValueFrequency>(0.1, 30000),
              {{0.5, "0.5000 Hz"},
               {440.0, "440 Hz"},
               {12345.0, "12.3 kHz"},
               {5.0, "5.00 Hz"},
               {55.56, "55.6 Hz"},
               {9999.4, "9999 Hz"},
               {10000.0, "10.0 kHz"}});
  ExpectTexts("frequency linear", Make<MValueFrequencyLinear>(0, 30000),
              {{0.0, "0 Hz"}, {1000.5, "1001 Hz"}});
  ExpectTexts("frequency log", Make<MValueFrequencyLog>(-1, 5),
              {{2.0, "100 Hz"}, {4.0, "10.0 kHz"}, {-1.0, "0.1000 Hz"}});
  ExpectTexts("pitch", Make<MValuePitch>(0.25, 4), {{1.0, "+1.00"}, {0.5, "+0.50"}, {2.126, "+2.13"}});
  ExpectTexts("degrees", Make<MValueDegreesFrom01>(0, 1),
              {{0.0, "0\xC2\xB0 (0%)"}, {0.25, "90\xC2\xB0 (25.0%)"}, {1.0, "360\xC2\xB0 (100.0%)"}});
  ExpectTexts("shape", Make<MValueSignalGeneratorShape>(0, 15),
              {{0.0, "Sine"},
               {1.0, "Triangle"},
               {0.25, "75% Sine, 25% Triangle"},
               {1.999, "Sawtooth"},
               {15.0, "Random steps"},
               {14.5, "50% Noise, 50% Random steps"}});
  ExpectTexts("step percents",
              [](double v) -> std::unique_ptr<MValue> {
                return std::make_unique<MValueStepPercents>(MValueBinding<double>::Value(v), 0.0, 1.0, 0.05);
              },
              {{0.33, "35.0%"}});

  // A shape outside its range shows the end shapes.
  EXPECT_EQ(MValueSignalGeneratorShape::Text(16.0).ToUTF8(), "Random steps");
  EXPECT_EQ(MValueSignalGeneratorShape::Text(-3.0).ToUTF8(), "Sine");
  EXPECT_EQ(MValueSignalGeneratorShape::Text(std::nan("")).ToUTF8(), "Sine");

  // The content for a position shows its text and leaves the variable alone.
  MValueVolume volume;
  volume.ClearModified();
  EXPECT_EQ(volume.GetContentForNormalised(0.5)->GetText().ToUTF8(), "-6.02 dB");
  EXPECT_EQ(volume.Get(), 1.0);
  EXPECT_FALSE(volume.IsModified());

  MValueFrequency frequency;
  // Logarithmic position: the middle of 20 Hz .. 20 kHz is their geometric mean, 632 Hz.
  EXPECT_EQ(frequency.GetContentForNormalised(0.5)->GetText().ToUTF8(), "632 Hz");
  MValueSignalGeneratorShape shape(MValueBinding<double>::Value(0.0), 0.0, 3.0);
  EXPECT_EQ(shape.GetContentForNormalised(1.0)->GetText().ToUTF8(), "Random steps");
  MValuePan pan;
  EXPECT_EQ(pan.GetContentForNormalised(0.5)->GetText().ToUTF8(), "center");
  EXPECT_EQ(pan.GetContentForNormalised(0.0)->GetText().ToUTF8(), "100% left");
}

TEST(MValueUnits, MIDINotesShowNameAndOctaveAndReadBackFromNamesOrNumbers)
{
  const std::pair<int, const char*> cases[] = {{60, "C5"}, {61, "C#5"},  {0, "C0"}, {11, "B0"},
                                               {69, "A5"}, {127, "G10"}, {128, ""}, {-1, ""}};
  for (const auto& [note, text] : cases)
  {
    EXPECT_EQ(MValueMIDINote::Text(note).ToUTF8(), text) << note;
  }
  MValueMIDINote note(MValueBinding<int>::Value(61));
  EXPECT_EQ(note.GetText().ToUTF8(), "C#5");
  ASSERT_EQ(note.GetStepCount(), 128);
  EXPECT_EQ(note.GetContentForStep(127)->GetText().ToUTF8(), "G10");
  EXPECT_EQ(note.GetContentForStep(128)->GetText().ToUTF8(), "");

  // Names or numbers typed read back; anything else leaves the note.
  const std::pair<const char*, int> typed[] = {{"C5", 60},  {"c#5", 61},  {" A5 ", 69}, {"G10", 127},
                                               {"61", 61},  {"G#10", 40}, {"H5", 40},   {"C", 40},
                                               {"C5x", 40}, {"C-1", 40}};
  for (const auto& [text, number] : typed)
  {
    MValueMIDINote value(MValueBinding<int>::Value(40));
    value.SetText(MString::FromUTF8(text));
    EXPECT_EQ(value.Get(), number) << text;
  }
}

const double kStart = 0.123;

/// Each text typed into a fresh scale at kStart leaves its variable (kStart: the text was refused).
void ExpectParsed(const char* scale, const Factory& make,
                  std::initializer_list<std::pair<const char*, double>> typed)
{
  for (const auto& [text, expected] : typed)
  {
    auto value = make(kStart);
    value->SetText(MString::FromUTF8(text));
    EXPECT_NEAR(ValueOf(*value), expected, 1e-12) << scale << " \"" << text << "\"";
  }
}

TEST(MValueUnits, UnitParsersReadTheLeadingNumberAndConvertIt)
{
  ExpectParsed("percent", Make<MValuePercents>(-2, 2), {{"50", 0.5}, {" 12.5 %", 0.125}, {"abc", 0.0}});
  ExpectParsed(
      "volume", Make<MValueVolume>(0, 10),
      {{"abc", 1.0}, {"-6 dB", std::pow(10.0, -0.3)}, {"-20", 0.1}, {"Silence", 0.0}, {"100", 10.0}});
  ExpectParsed("pan", Make<MValuePan>(-1, 1),
               {{"-25", -0.25}, {"25% left", -0.25}, {"25% right", 0.25}, {"center", 0.0}});
  ExpectParsed("time", Make<MValueTimeMS>(0, 10), {{"250 ms", 0.25}, {"0.05", 0.00005}});
  ExpectParsed("frequency", Make<MValueFrequency>(1, 30000),
               {{"440 Hz", 440.0}, {"12.3 kHz", 12300.0}, {"abc", 1.0}});
  ExpectParsed("frequency log", Make<MValueFrequencyLog>(-1, 5),
               {{"1000", 3.0}, {"10 kHz", 4.0}, {"abc", kStart}, {"-5", kStart}});
  ExpectParsed("frequency linear", Make<MValueFrequencyLinear>(0, 30000),
               {{"440 Hz", 440.0}, {"12.3 kHz", 12300.0}, {"abc", kStart}});
  ExpectParsed("pitch", Make<MValuePitch>(0, 4), {{"+1.50", 1.5}, {"2", 2.0}, {"up", kStart}});
  ExpectParsed("degrees", Make<MValueDegreesFrom01>(0, 1), {{"90", 0.25}});
  ExpectParsed("shape", Make<MValueSignalGeneratorShape>(0, 15),
               {{"3.5", 3.5}, {"triangle", 1.0}, {"75% Sine, 25% Triangle", 0.25}, {"wobble", kStart}});
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

// A position read back is the one set (or, on a snapping scale, a position that stays put), and a
// text shown reads back to the same text.
TEST(MValueUnits, PositionsAndDisplayedTextsReadBackAsTheyWereSet)
{
  for (const auto& scale : kRoundTripScales)
  {
    SCOPED_TRACE(scale.name);
    auto value = scale.make();
    const bool snaps = value->GetStepCount() > 0 || std::string(scale.name).find("step") == 0;
    for (double x = 0.0; x <= 1.0; x += 1.0 / 64)
    {
      value->SetNormalised(x);
      const double back = value->GetNormalised();
      if (snaps)
      {
        value->SetNormalised(back);
        EXPECT_DOUBLE_EQ(value->GetNormalised(), back) << "at " << x;
      }
      else
        EXPECT_NEAR(back, x, 1e-12) << "at " << x;
    }
    // Texts shown at every fortieth of the range (multiples of 9 degrees on the degree scale).
    for (int i = 0; i <= 40; ++i)
    {
      value->SetNormalised(i / 40.0);
      const MString shown = value->GetText();
      auto reread = scale.make();
      reread->SetText(shown);
      EXPECT_EQ(reread->GetText().ToUTF8(), shown.ToUTF8()) << "at " << i / 40.0;
    }
  }
}

TEST(MValueUnits, NarrowRangesGetAHundredthOfTheRangeAsStepAndStepScalesSnap)
{
  MValueVolume volume(MValueBinding<double>::Value(0.0), 0.0, 0.01);
  EXPECT_DOUBLE_EQ(volume.GetInc(), 0.0001);
  EXPECT_DOUBLE_EQ(volume.GetMaxInc(), 0.001);
  MValueFrequency frequency(MValueBinding<double>::Value(50.0), 40.0, 60.0);
  EXPECT_DOUBLE_EQ(frequency.GetInc(), 0.2);
  EXPECT_DOUBLE_EQ(frequency.GetMaxInc(), 2.0);

  // Step scales snap every write and still move on fine steps.
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
