// Enumeration tables and the enumeration scale.
#include "base/MValueEnum.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>

enum class TestLayout : std::int32_t
{
  Left,
  Center,
  Right,
};

template <> struct MEnumTraits<TestLayout>
{
  static const MEnumeration& Get() { return MEnumerations::HorizontalObjectLayout(); }
};

namespace
{

std::string Utf8(const MString& text)
{
  return text.ToUTF8();
}

struct Table
{
  const char* name;
  const MEnumeration& enumeration;
  int count;
  const char* first;
  const char* last;
};

const Table kTables[] = {
    {"thread priority", MEnumerations::ThreadPriority(), 7, "Idle", "Critical"},
    {"control type", MEnumerations::ControlType(), 22, "empty", "menubar"},
    {"caption type", MEnumerations::CaptionType(), 4, "none", "large"},
    {"cursor", MEnumerations::StdCursor(), 14, "arrow", "hollow"},
    {"horizontal layout", MEnumerations::HorizontalObjectLayout(), 3, "Left", "Right"},
    {"vertical layout", MEnumerations::VerticalObjectLayout(), 3, "Top", "Bottom"},
    {"check box state", MEnumerations::CheckBoxState(), 3, "off", "grayed"},
    {"modal value", MEnumerations::ModalValue(), 5, "none", "no"},
    {"colour", MEnumerations::StdColor(), 8, "text", "blue"},
    {"font", MEnumerations::StdFont(), 8, "normal", "large4"},
    {"bitmap", MEnumerations::StdBitmap(), 5, "yes", "exclamation"},
    {"icon", MEnumerations::StdIcon(), 53, "left", "phone"},
    {"language", MEnumerations::LocaleLanguage(), 142, "Neutral", "Navajo"},
    {"country", MEnumerations::LocaleCountry(), 241, "Afghanistan", "Zimbabwe"},
};

TEST(MEnumeration, TablesHaveTheirFixedLengthsAndEnds)
{
  for (const auto& table : kTables)
  {
    ASSERT_EQ(table.enumeration.Count(), table.count) << table.name;
    EXPECT_EQ(Utf8(table.enumeration.Name(0)), table.first) << table.name;
    EXPECT_EQ(Utf8(table.enumeration.Name(table.count - 1)), table.last) << table.name;
    EXPECT_EQ(Utf8(table.enumeration.Name(table.count)), "") << table.name;
    EXPECT_EQ(Utf8(table.enumeration.Name(-1)), "") << table.name;
  }
  EXPECT_EQ(Utf8(MEnumerations::ControlType().Name(11)), "knob");
  EXPECT_EQ(Utf8(MEnumerations::StdIcon().Name(29)), "ok");
}

TEST(MEnumeration, EveryNameFindsItsOwnItemInAnyAsciiCase)
{
  for (const auto& table : kTables)
  {
    for (int i = 0; i < table.count; ++i)
    {
      std::string name = Utf8(table.enumeration.Name(i));
      std::string upper = name;
      for (char& c : upper)
      {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
      EXPECT_EQ(table.enumeration.Find(table.enumeration.Name(i)), i) << table.name << " " << name;
      EXPECT_EQ(table.enumeration.Find(MString::FromUTF8(upper)), i) << table.name << " " << upper;
    }
    EXPECT_GE(table.enumeration.PrefixLength(), 1);
  }
}

TEST(MEnumeration, OnlyWholeNamesMatch)
{
  const auto& icons = MEnumerations::StdIcon();
  const char* misses[] = {"", "lef", "lefts", "checkbox", "zoom", "bullet", "bullet4", "phone ", "x"};
  for (const char* miss : misses)
  {
    EXPECT_EQ(icons.Find(MString::FromUTF8(miss)), -1) << miss;
  }
  // Names sharing long prefixes stay apart.
  EXPECT_EQ(icons.Find("checkboxon"), 48);
  EXPECT_EQ(icons.Find("checkboxoff"), 47);
  EXPECT_EQ(icons.Find("directoryup"), 27);
}

TEST(MValueEnum, NamesSelectItemsFoldingCaseAndUnknownNamesSelectTheFirst)
{
  const struct
  {
    const char* text;
    TestLayout selected;
  } cases[] = {
      {"CENTER", TestLayout::Center}, {"right", TestLayout::Right}, {"Right", TestLayout::Right},
      {"middle", TestLayout::Left},   {"", TestLayout::Left},       {"Cent", TestLayout::Left},
  };
  for (const auto& c : cases)
  {
    MValueEnum<TestLayout> value(MValueBinding<TestLayout>::Value(TestLayout::Right));
    value.SetText(MString::FromUTF8(c.text));
    EXPECT_EQ(value.Get(), c.selected) << c.text;
  }
  MValueEnum<TestLayout> value(MValueBinding<TestLayout>::Value(TestLayout::Center));
  EXPECT_EQ(Utf8(value.GetText()), "Center");
  EXPECT_EQ(Utf8(value.ToString()), "Center");
  value.FromString("LEFT");
  EXPECT_EQ(value.Get(), TestLayout::Left);
  EXPECT_EQ(&value.GetTypeInfo(), &MValueTypeInfo::Enumeration());
}

TEST(MValueEnum, PositionsSpreadTheItemsEvenly)
{
  std::int32_t variable = 0;
  MValueEnum<std::int32_t> value(MValueBinding<std::int32_t>::Variable(variable),
                                 MEnumerations::ModalValue());
  ASSERT_EQ(value.GetStepCount(), 5);
  const std::pair<double, int> positions[] = {{0.0, 0},  {0.12, 0}, {0.13, 1}, {0.5, 2},
                                              {0.87, 3}, {0.88, 4}, {1.0, 4}};
  for (const auto& [x, item] : positions)
  {
    value.SetNormalised(x);
    EXPECT_EQ(variable, item) << x;
    EXPECT_DOUBLE_EQ(value.GetNormalised(), item / 4.0) << x;
  }
  EXPECT_EQ(Utf8(value.GetContentForStep(2)->GetText()), "cancel");
  EXPECT_EQ(Utf8(value.GetContentForNormalised(0.25)->GetText()), "ok");
  EXPECT_EQ(Utf8(value.GetContentForStep(5)->GetText()), "");
  value.SetStep(3);
  EXPECT_EQ(variable, 3);
}

TEST(MValueEnum, StepsMoveByItemsAndStopAtTheEnds)
{
  MValueEnum<std::int32_t> value(MValueBinding<std::int32_t>::Value(1), MEnumerations::StdFont());
  EXPECT_TRUE(value.Increment(2, 3));
  EXPECT_EQ(value.Get(), 3);
  EXPECT_TRUE(value.IncrementFine(100));
  EXPECT_EQ(value.Get(), 7);
  EXPECT_FALSE(value.IncrementFine(1));
  EXPECT_TRUE(value.Increment(-1000, 0));
  EXPECT_EQ(value.Get(), 0);
}

TEST(MValueEnum, AnOutOfRangeVariableIsClampedIntoTheItems)
{
  std::int32_t variable = 99;
  MValueEnum<std::int32_t> value(MValueBinding<std::int32_t>::Variable(variable),
                                 MEnumerations::CaptionType());
  EXPECT_EQ(variable, 3);
  EXPECT_TRUE(value.IsModified());
  variable = -4;
  value.Clamp();
  EXPECT_EQ(variable, 0);
  EXPECT_EQ(Utf8(value.GetText()), "none");
}

} // namespace
