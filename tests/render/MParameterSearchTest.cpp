#include "tools/render/MParameterSearch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace
{
// Display texts shaped like real plug-ins' (a value v in 0..1 maps to the shown quantity).
std::string Percent(double v)
{
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%", v * 100.0);
  return text;
}

std::string Cents(double v)
{
  char text[32];
  std::snprintf(text, sizeof text, "%+.1f cents", -100.0 + 200.0 * v);
  return text;
}

// Two numbers that saturate in turn: x = 2v, wet = min(x, 1), dry = min(2 - x, 1).
std::string DryWet(double v)
{
  const double x = 2.0 * v;
  char text[48];
  std::snprintf(text, sizeof text, "%.0f%% wet, %.0f%% dry", std::floor(std::min(x, 1.0) * 100.0 + 0.5),
                std::floor(std::min(2.0 - x, 1.0) * 100.0 + 0.5));
  return text;
}

std::string Switch(double v)
{
  return v > 0.5 ? "On" : "Off";
}

std::string FallingDecibels(double v)
{
  char text[32];
  std::snprintf(text, sizeof text, "%.0f dB", -60.0 * v);
  return text;
}

struct Case
{
  const char* what;
  std::string (*display)(double);
  const char* typed;
  bool found;
  double normalised;
  double tolerance;
  bool clamped;
};

const Case kCases[] = {
    {"a percentage in the middle", Percent, "80", true, 0.8, 1e-6, false},
    {"a percentage spelled with decimals and unit", Percent, "80.00 %", true, 0.8, 1e-6, false},
    {"the top of a percentage is exactly 1", Percent, "100", true, 1.0, 0.0, false},
    {"the bottom of a percentage is exactly 0", Percent, "0", true, 0.0, 0.0, false},
    {"a number above the range is clamped to 1", Percent, "150", true, 1.0, 0.0, true},
    {"a number below the range is clamped to 0", Percent, "-5", true, 0.0, 0.0, true},
    {"a number between two shown steps takes the nearer", Percent, "33.33", true, 0.333, 5e-4, false},
    {"a signed number", Cents, "+12.5", true, 0.5625, 1e-6, false},
    {"a negative signed number", Cents, "-40", true, 0.3, 1e-6, false},
    {"one number of a saturating pair reaching the end takes the end", DryWet, "100", true, 1.0, 0.0, false},
    {"the first number of a pair inside the range", DryWet, "50", true, 0.25, 1e-6, false},
    {"both numbers pin the value inside a saturated run", DryWet, "100% wet, 50% dry", true, 0.75, 1e-6,
     false},
    {"both numbers at full mix", DryWet, "100% wet, 100% dry", true, 0.5, 3e-3, false},
    {"the dry end", DryWet, "0% wet, 100% dry", true, 0.0, 0.0, false},
    {"a switch text on", Switch, "on", true, 1.0, 0.0, false},
    {"a switch text off", Switch, " Off ", true, 0.0, 0.0, false},
    {"a text the parameter never shows", Switch, "maybe", false, 0.0, 0.0, false},
    {"a number where only texts are shown", Switch, "1", false, 0.0, 0.0, false},
    {"a number that falls as the value rises", FallingDecibels, "-30", true, 0.5, 1e-2, false},
};
} // namespace

TEST(MParameterSearchTest, FindsTheValueThatShowsTheTypedTextReadingItsNumbersInOrder)
{
  for (const Case& c : kCases)
  {
    SCOPED_TRACE(c.what);
    const MParameterSearch::Result result = MParameterSearch::Find(c.display, c.typed);
    ASSERT_EQ(result.found, c.found) << result.message;
    if (!c.found)
    {
      EXPECT_FALSE(result.message.empty());
      continue;
    }
    EXPECT_NEAR(result.normalised, c.normalised, c.tolerance) << "shown " << result.shown;
    EXPECT_EQ(result.clamped, c.clamped);
    EXPECT_EQ(result.shown, c.display(result.normalised));
  }

  // The numbers of a text are read signed and decimal, in order.
  EXPECT_EQ(MParameterSearch::NumbersIn("+5.0 cents"), std::vector<double>({5.0}));
  EXPECT_EQ(MParameterSearch::NumbersIn("100% wet, 0% dry"), std::vector<double>({100.0, 0.0}));
  EXPECT_EQ(MParameterSearch::NumbersIn("-12.25 semitones, .5"), std::vector<double>({-12.25, 0.5}));
  EXPECT_TRUE(MParameterSearch::NumbersIn("On - Off").empty());
}
