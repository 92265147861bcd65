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

template <>
struct MEnumTraits<TestLayout>
{
  static const MEnumeration& Get() { return MEnumerations::HorizontalObjectLayout(); }
};

namespace
{

// Every table, so that a name that shadows another (a lookup that stops at a shared prefix)
// shows up as an item that does not find itself.
const MEnumeration* const kTables[] = {
    &MEnumerations::ThreadPriority(),
    &MEnumerations::ControlType(),
    &MEnumerations::CaptionType(),
    &MEnumerations::StdCursor(),
    &MEnumerations::HorizontalObjectLayout(),
    &MEnumerations::VerticalObjectLayout(),
    &MEnumerations::CheckBoxState(),
    &MEnumerations::ModalValue(),
    &MEnumerations::StdColor(),
    &MEnumerations::StdFont(),
    &MEnumerations::StdBitmap(),
    &MEnumerations::StdIcon(),
    &MEnumerations::LocaleLanguage(),
    &MEnumerations::LocaleCountry(),
};
TEST(MEnumeration, EveryNameFindsItsOwnItemInAnyAsciiCase)
{
  for (const MEnumeration* table : kTables)
  {
    ASSERT_GT(table->Count(), 0);
    EXPECT_EQ(table->Name(table->Count()).ToUTF8(), "");
    EXPECT_EQ(table->Name(-1).ToUTF8(), "");
    for (int i = 0; i < table->Count(); ++i)
    {
      std::string name = table->Name(i).ToUTF8();
      std::string upper = name;
      for (char& c : upper)
      {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
      EXPECT_EQ(table->Find(table->Name(i)), i) << name;
      EXPECT_EQ(table->Find(MString::FromUTF8(upper)), i) << upper;
    }
    EXPECT_GE(table->PrefixLength(), 1);
  }
}

TEST(MValueEnum, NamesSelectItemsFoldingCaseAndPositionsSpreadThemEvenly)
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
  EXPECT_EQ(value.GetText().ToUTF8(), "Center");
  EXPECT_EQ(value.ToString().ToUTF8(), "Center");
  value.FromString("LEFT");
  EXPECT_EQ(value.Get(), TestLayout::Left);
  EXPECT_EQ(&value.GetTypeInfo(), &MValueTypeInfo::Enumeration());

  // Positions spread the items evenly.
  std::int32_t variable = 0;
  MValueEnum<std::int32_t> spread(MValueBinding<std::int32_t>::Variable(variable),
                                  MEnumerations::ModalValue());
  ASSERT_EQ(spread.GetStepCount(), 5);
  const std::pair<double, int> positions[] = {{0.0, 0},  {0.12, 0}, {0.13, 1}, {0.5, 2},
                                              {0.87, 3}, {0.88, 4}, {1.0, 4}};
  for (const auto& [x, item] : positions)
  {
    spread.SetNormalised(x);
    EXPECT_EQ(variable, item) << x;
    EXPECT_DOUBLE_EQ(spread.GetNormalised(), item / 4.0) << x;
  }
  EXPECT_EQ(spread.GetContentForStep(2)->GetText().ToUTF8(), "cancel");
  EXPECT_EQ(spread.GetContentForNormalised(0.25)->GetText().ToUTF8(), "ok");
  EXPECT_EQ(spread.GetContentForStep(5)->GetText().ToUTF8(), "");
  spread.SetStep(3);
  EXPECT_EQ(variable, 3);
}

TEST(MValueEnum, StepsMoveByItemsAndStopAtTheEndsAndAVariableOutsideIsClamped)
{
  MValueEnum<std::int32_t> value(MValueBinding<std::int32_t>::Value(1), MEnumerations::StdFont());
  EXPECT_TRUE(value.Increment(2, 3));
  EXPECT_EQ(value.Get(), 3);
  EXPECT_TRUE(value.IncrementFine(100));
  EXPECT_EQ(value.Get(), 7);
  EXPECT_FALSE(value.IncrementFine(1));
  EXPECT_TRUE(value.Increment(-1000, 0));
  EXPECT_EQ(value.Get(), 0);

  // A variable outside the items is clamped into them.
  std::int32_t variable = 99;
  MValueEnum<std::int32_t> captions(MValueBinding<std::int32_t>::Variable(variable),
                                    MEnumerations::CaptionType());
  EXPECT_EQ(variable, 3);
  EXPECT_TRUE(captions.IsModified());
  variable = -4;
  captions.Clamp();
  EXPECT_EQ(variable, 0);
  EXPECT_EQ(captions.GetText().ToUTF8(), "none");
}

} // namespace
