// The numeric scale: construction, mapping, steps, format-driven display and parsing, storage
// texts, converters.
#include "base/MValueNumber.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace
{

TEST(MValueNumber, ConstructionClampsTheVariableAndDerivesStepsAndIntegersSaturate)
{
  struct Case
  {
    double min, max, initial;
    double value, inc, maxInc;
  };
  const Case cases[] = {
      {0, 100, 150, 100, 0.1, 1}, // above the range: set to max
      {0, 100, -5, 0, 0.1, 1},    // below: set to min
      {-1, 1, 0.5, 0.5, 0.002, 0.02},
      {3, 3, 3, 3, 1, 10}, // empty range: a step of 1
  };
  for (const auto& c : cases)
  {
    MValueDouble value(MValueBinding<double>::Value(c.initial), c.min, c.max);
    EXPECT_EQ(value.Get(), c.value);
    EXPECT_EQ(value.IsModified(), c.value != c.initial);
    EXPECT_DOUBLE_EQ(value.GetInc(), c.inc);
    EXPECT_DOUBLE_EQ(value.GetMaxInc(), c.maxInc);
  }
  MValueInt small(MValueBinding<int>::Value(0), 0, 100);
  EXPECT_EQ(small.GetInc(), 1); // a thousandth of 100 truncates to 0, so 1
  EXPECT_EQ(small.GetMaxInc(), 10);
  MValueInt wide(MValueBinding<int>::Value(0), 0, 5000);
  EXPECT_EQ(wide.GetInc(), 5);
  EXPECT_EQ(wide.GetMaxInc(), 50);

  // Integer arithmetic saturates instead of wrapping.
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  MValueInt64 value(MValueBinding<std::int64_t>::Value(kMax - 1), kMin, kMax);
  value.SetIncrements(kMax / 2, kMax);
  value.Increment(1000, 0);
  EXPECT_EQ(value.Get(), kMax);
  value.Increment(-1000, 0);
  EXPECT_EQ(value.Get(), kMin);
  value.SetNormalised(1.0);
  EXPECT_EQ(value.Get(), kMax);

  MValueShort narrow(MValueBinding<short>::Value(0), -100000, 100000);
  narrow.Set(90000);
  EXPECT_EQ(narrow.Get(), std::numeric_limits<short>::max());
}

TEST(MValueNumber, DisplayFillsTheFormatWithTheVariable)
{
  MValueDouble plain(MValueBinding<double>::Value(0.5), 0.0, 1.0);
  EXPECT_EQ(plain.GetText().ToUTF8(), "0.5000");
  MValueInt integer(MValueBinding<int>::Value(440), 0, 1000);
  EXPECT_EQ(integer.GetText().ToUTF8(), "440");
  MValueFloat single(MValueBinding<float>::Value(0.25f), 0.0, 1.0);
  EXPECT_EQ(single.GetText().ToUTF8(), "0.2500");
  MValueInt64 big(MValueBinding<std::int64_t>::Value(-7), -10, 10);
  EXPECT_EQ(big.GetText().ToUTF8(), "-7");
  MValueDouble decibels(MValueBinding<double>::Value(-6.0206), -100.0, 0.0);
  ASSERT_TRUE(decibels.SetFormat("{0;.2} dB"));
  EXPECT_EQ(decibels.GetText().ToUTF8(), "-6.02 dB");
  EXPECT_FALSE(decibels.SetFormat("{0;.2"));
  EXPECT_EQ(decibels.GetFormat().ToUTF8(), "{0;.2} dB");
}

TEST(MValueNumber, TypedTextIsAcceptedOnlyAsOneNumberInTheFormat)
{
  struct Case
  {
    const char* format;
    const char* text;
    bool changed;
    double value;
  };
  const Case cases[] = {
      {"{0} Hz", "440 Hz", true, 440}, {"{0}", "12.5", true, 12.5},
      {"{0}", "-3", true, -3},         {"{0}", "abc", false, 7},
      {"{0}", "12abc", false, 7},      {"{0}", "", false, 7},
      {"{0}", "1e2", true, 100},       {"{0;.2} dB", "-6.5 dB", true, -6.5},
      {"{0}", "7", false, 7}, // accepted, but nothing changed
  };
  for (const auto& c : cases)
  {
    MValueDouble value(MValueBinding<double>::Value(7.0), -1000.0, 1000.0);
    value.SetFormat(MString::FromUTF8(c.format));
    EXPECT_EQ(value.SetText(MString::FromUTF8(c.text)), c.changed) << c.format << " / " << c.text;
    EXPECT_EQ(value.Get(), c.value) << c.format << " / " << c.text;
  }
  MValueInt integer(MValueBinding<int>::Value(0), -100, 100);
  EXPECT_TRUE(integer.SetText("3.7"));
  EXPECT_EQ(integer.Get(), 3);
  EXPECT_TRUE(integer.SetText("1e9"));
  EXPECT_EQ(integer.Get(), 100);
}

TEST(MValueNumber, NormalisedPositionIsLinearAndIntegralPositionsRound)
{
  MValueDouble value(MValueBinding<double>::Value(0.0), -10.0, 30.0);
  const std::pair<double, double> positions[] = {
      {0.0, -10.0}, {0.25, 0.0}, {1.0, 30.0}, {1.5, 30.0}, {-1.0, -10.0}};
  for (const auto& [x, expected] : positions)
  {
    value.SetNormalised(x);
    EXPECT_EQ(value.Get(), expected) << x;
  }
  value.SetNormalised(std::nan(""));
  EXPECT_EQ(value.Get(), -10.0);

  MValueInt integer(MValueBinding<int>::Value(0), 0, 10);
  const std::pair<double, int> rounding[] = {{0.04, 0}, {0.05, 1}, {0.449, 4}, {0.96, 10}, {1.0, 10}};
  for (const auto& [x, expected] : rounding)
  {
    integer.SetNormalised(x);
    EXPECT_EQ(integer.Get(), expected) << x;
  }
  integer.Set(4);
  EXPECT_DOUBLE_EQ(integer.GetNormalised(), 0.4);

  MValueDouble empty(MValueBinding<double>::Value(2.0), 2.0, 2.0);
  EXPECT_EQ(empty.GetNormalised(), 0.0);
  MValueDouble reversed(MValueBinding<double>::Value(2.0), 5.0, 1.0);
  EXPECT_EQ(reversed.GetNormalised(), 0.0);
}

TEST(MValueNumber, CoarseStepsDoubleWithLevelUpToTheLargestStepAndEveryWriteMarksModified)
{
  MValueDouble value(MValueBinding<double>::Value(0.0), -1000.0, 1000.0);
  value.SetIncrements(0.5, 3.0);
  const struct
  {
    int steps, level;
    double moved;
  } cases[] = {{1, 0, 0.5}, {1, 1, 1.0}, {2, 2, 4.0}, {1, 3, 3.0}, {-3, 5, -9.0}, {0, 2, 0.0}};
  for (const auto& c : cases)
  {
    value.Set(0.0);
    value.Increment(c.steps, c.level);
    EXPECT_DOUBLE_EQ(value.Get(), c.moved) << c.steps << " x level " << c.level;
  }
  value.Set(999.0);
  EXPECT_TRUE(value.Increment(1, 10));
  EXPECT_EQ(value.Get(), 1000.0);
  EXPECT_FALSE(value.Increment(1, 0));
  EXPECT_TRUE(value.IsModified());

  // Every write marks the scale modified, a clamp only when it changes something.
  MValueDouble marked(MValueBinding<double>::Value(0.5), 0.0, 1.0);
  EXPECT_FALSE(marked.IsModified());
  EXPECT_FALSE(marked.Set(0.5));
  EXPECT_TRUE(marked.IsModified());
  marked.ClearModified();
  marked.Clamp();
  EXPECT_FALSE(marked.IsModified());
  marked.SetRange(0.0, 0.25);
  EXPECT_EQ(marked.Get(), 0.25);
  EXPECT_TRUE(marked.IsModified());
}

TEST(MValueNumber, StorageTextsCarrySixDecimalsAndIntegersStayExact)
{
  MValueDouble value(MValueBinding<double>::Value(0.5), 0.0, 1.0);
  EXPECT_EQ(value.ToString().ToUTF8(), "0.500000");
  value.FromString("0.125");
  EXPECT_EQ(value.Get(), 0.125);
  value.FromString("7");
  EXPECT_EQ(value.Get(), 1.0);

  MValueInt integer(MValueBinding<int>::Value(42), 0, 100);
  EXPECT_EQ(integer.ToString().ToUTF8(), "42.000000");

  // 2^53 + 1 has no double; it must survive the text.
  constexpr std::int64_t kOdd = (std::int64_t{1} << 53) + 1;
  MValueInt64 big(MValueBinding<std::int64_t>::Value(kOdd), 0, std::numeric_limits<std::int64_t>::max());
  MString text = big.ToString();
  EXPECT_EQ(text.ToUTF8(), "9007199254740993.000000");
  MValueInt64 reread(MValueBinding<std::int64_t>::Value(0), 0, std::numeric_limits<std::int64_t>::max());
  reread.FromString(text);
  EXPECT_EQ(reread.Get(), kOdd);
}

struct Holder : MObject
{
  explicit Holder(int* destroyed) : destroyed(destroyed) {}
  ~Holder() override { ++*destroyed; }
  int* destroyed;
};

MString DoubleTheDisplay(MValue& value, const MString& text)
{
  auto& number = static_cast<MValueDouble&>(value);
  if (text.IsEmpty())
  {
    return MString::FromDouble(number.Get() * 2.0, 1) + MString(" twice");
  }
  number.Set(text.ToDouble() / 2.0);
  return MString();
}

TEST(MValueNumber, AConverterReplacesDisplayAndParsingAndOwnsItsHolder)
{
  int destroyed = 0;
  {
    MValueDouble value(MValueBinding<double>::Value(1.5), 0.0, 10.0);
    value.SetTextConverter(&DoubleTheDisplay, std::make_unique<Holder>(&destroyed));
    EXPECT_EQ(value.GetText().ToUTF8(), "3.0 twice");
    EXPECT_EQ(value.FormatText().ToUTF8(), "1.5000");
    EXPECT_TRUE(value.SetText("8"));
    EXPECT_EQ(value.Get(), 4.0);
    EXPECT_TRUE(value.SetText("100")); // the converter writes 50; the clamp brings it to 10
    EXPECT_EQ(value.Get(), 10.0);
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 1);
}

} // namespace
