// List scales over C arrays and string lists.
#include "base/MValueList.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

constexpr const char* kModes[] = {"Stereo", "Left", "Right", "Mid", "Side"};

TEST(MValueList, TypedTextSelectsTheFirstItemEqualAsANameAndAShrunkenListKeepsTheIndexUsable)
{
  MStringList items{MString::FromUTF8("Café"), "Cafe", MString::FromUTF8("Thé"), "Milk"};
  const struct
  {
    const char* text;
    bool changed;
    int index;
  } cases[] = {
      {"MILK", true, 3},                      // case folded
      {"the", true, 2},                       // accent folded
      {"CAFÉ", true, 0},                      // the first of two equal names
      {"Milk ", false, 1},                    // whole text only: no match leaves the index
      {"", false, 1},      {"Cafe", true, 0}, // item 0 folds to the same name and comes first
  };
  for (const auto& c : cases)
  {
    MValueList<MStringList> value(MValueBinding<std::int32_t>::Value(1), items);
    EXPECT_EQ(value.SetText(MString::FromUTF8(c.text)), c.changed) << c.text;
    EXPECT_EQ(value.GetIndex(), c.index) << c.text;
  }

  // An empty or shrunken list keeps the index usable.
  MStringList shrinking{"a", "b", "c"};
  MValueList<MStringList> value(MValueBinding<std::int32_t>::Value(2), shrinking);
  shrinking.Remove(2);
  value.Clamp();
  EXPECT_EQ(value.GetIndex(), 1);
  shrinking.Clear();
  value.Clamp();
  EXPECT_EQ(value.GetIndex(), 0);
  EXPECT_EQ(value.GetText().ToUTF8(), "");
  EXPECT_EQ(value.GetNormalised(), 0.0);
  EXPECT_FALSE(value.SetText("a"));
  value.SetNormalised(0.7);
  EXPECT_EQ(value.GetIndex(), 0);

  MValueList<const char*> none(MValueBinding<std::int32_t>::Value(5), nullptr, 3);
  EXPECT_EQ(none.GetIndex(), 0);
  EXPECT_EQ(none.GetText().ToUTF8(), "");
}

TEST(MValueList, TextIsTheSelectedItemAndPositionsSelectItemsByRounding)
{
  MValueList<const char*> value(MValueBinding<std::int32_t>::Value(3), kModes, 5);
  EXPECT_EQ(value.GetText().ToUTF8(), "Mid");
  EXPECT_EQ(value.GetStepCount(), 5);
  EXPECT_EQ(&value.GetTypeInfo(), &MValueTypeInfo::Enumeration());
  const std::pair<double, int> positions[] = {{0.0, 0}, {0.124, 0}, {0.125, 1}, {0.6, 2}, {0.9, 4}, {2.0, 4}};
  for (const auto& [x, index] : positions)
  {
    value.SetNormalised(x);
    EXPECT_EQ(value.GetIndex(), index) << x;
  }
  value.SetIndex(1);
  EXPECT_DOUBLE_EQ(value.GetNormalised(), 0.25);
  EXPECT_EQ(value.GetContentForStep(4)->GetText().ToUTF8(), "Side");
  EXPECT_EQ(value.GetContentForNormalised(1.5)->GetText().ToUTF8(), "");
  EXPECT_TRUE(value.Increment(10, 0));
  EXPECT_EQ(value.GetIndex(), 4);
  EXPECT_TRUE(value.IncrementFine(-2));
  EXPECT_EQ(value.GetIndex(), 2);
}

} // namespace
