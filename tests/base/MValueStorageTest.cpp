// Storage and definition loading of every scale family through XML items.
#include "base/MValueEnum.h"
#include "base/MValueFrequency.h"
#include "base/MValueList.h"
#include "base/MValueMIDINote.h"
#include "base/MValueStepDouble.h"
#include "base/MValueUnits.h"
#include "base/MXmlItem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <utility>

namespace
{

MXmlItem Element(std::initializer_list<std::pair<const char*, const char*>> attributes)
{
  MXmlItem item("value");
  for (const auto& [name, value] : attributes)
  {
    item.SetAttribute(MString::FromUTF8(name), MString::FromUTF8(value));
  }
  return item;
}

std::string AttributeOf(const MXmlItem& item, const char* name)
{
  return item.GetAttribute(MString::FromUTF8(name), "<absent>").ToUTF8();
}

TEST(MValueStorage, NumbersAreSavedInTwelveSignificantDigitsAndLoadedOnlyAsNumbers)
{
  MXmlItem item("settings");
  MValueDouble third(MValueBinding<double>::Value(1.0 / 3.0), 0.0, 1.0);
  third.SetId("third");
  EXPECT_TRUE(third.Save(item));
  MValueFloat half(MValueBinding<float>::Value(0.5f), 0.0, 1.0);
  half.SetId("half");
  half.Save(item);
  MValueInt64 big(MValueBinding<std::int64_t>::Value(1234567890123456789), 0,
                  std::numeric_limits<std::int64_t>::max());
  big.SetId("big");
  big.Save(item);
  MValueInt negative(MValueBinding<int>::Value(-42), -100, 100);
  negative.SetId("negative");
  negative.Save(item);

  EXPECT_EQ(AttributeOf(item, "third"), "0.333333333333");
  EXPECT_EQ(AttributeOf(item, "half"), "0.5");
  EXPECT_EQ(AttributeOf(item, "big"), "1234567890123456789");
  EXPECT_EQ(AttributeOf(item, "negative"), "-42");

  MValueInt64 reread(MValueBinding<std::int64_t>::Value(0), 0, std::numeric_limits<std::int64_t>::max());
  reread.SetId("big");
  reread.Load(item);
  EXPECT_EQ(reread.Get(), 1234567890123456789);

  // Loading reads numbers only and falls back to the default.
  const struct
  {
    const char* attribute; // null: absent
    double value;
  } cases[] = {
      {"0.75", 0.75}, {"1e-3", 0.001}, {"abc", 0.5}, {"12abc", 0.5}, {"", 0.5}, {"7", 1.0}, {nullptr, 0.25},
  };
  for (const auto& c : cases)
  {
    MValueDouble value(MValueBinding<double>::Value(0.25), 0.0, 1.0);
    value.Set(0.5);
    MXmlItem item("settings");
    if (c.attribute != nullptr)
    {
      item.SetAttribute("value", MString::FromUTF8(c.attribute));
    }
    value.Load(item);
    EXPECT_EQ(value.Get(), c.value) << (c.attribute ? c.attribute : "(absent)");
  }
}

TEST(MValueStorage, DefinitionAttributesSetRangeDefaultStepsAndFormatAlsoInPart)
{
  MValueDouble value;
  value.LoadDefinition(Element({{"id", "cutoff"},
                                {"min", "10"},
                                {"max", "20"},
                                {"default", "12"},
                                {"value", "15"},
                                {"inc", "0.5"},
                                {"maxinc", "2"},
                                {"format", "{0;.1} Hz"}}));
  EXPECT_EQ(value.GetId().ToUTF8(), "cutoff");
  EXPECT_EQ(value.GetMin(), 10.0);
  EXPECT_EQ(value.GetMax(), 20.0);
  EXPECT_EQ(value.GetDefault(), 12.0);
  EXPECT_EQ(value.Get(), 15.0);
  EXPECT_EQ(value.GetInc(), 0.5);
  EXPECT_EQ(value.GetMaxInc(), 2.0);
  EXPECT_EQ(value.GetText().ToUTF8(), "15.0 Hz");

  // Partial attribute sets.
  {
    MValueDouble value; // 0..100, inc 0.1, maxinc 1
    value.LoadDefinition(Element({{"value", "30"}}));
    EXPECT_EQ(value.Get(), 30.0);
    EXPECT_EQ(value.GetDefault(), 30.0); // "value" without "default" sets both
  }
  {
    MValueDouble value;
    value.LoadDefinition(Element({{"default", "40"}}));
    EXPECT_EQ(value.Get(), 40.0);
  }
  {
    MValueDouble value;
    value.LoadDefinition(Element({{"inc", "5"}}));
    EXPECT_EQ(value.GetMaxInc(), 5.0); // maxinc absent: at least inc
  }
  {
    MValueDouble value;
    value.LoadDefinition(Element({{"max", "10"}, {"value", "50"}, {"format", "{0;.2"}}));
    EXPECT_EQ(value.Get(), 10.0);
    EXPECT_EQ(value.GetFormat().ToUTF8(), "{0}"); // a format that does not compile is ignored
    EXPECT_EQ(value.GetMin(), 0.0);
    EXPECT_EQ(value.GetInc(), static_cast<double>(0.1f));
  }
  {
    MValueInt value;
    value.LoadDefinition(Element({{"min", "-5"}, {"max", "1e3"}, {"value", "12.9"}}));
    EXPECT_EQ(value.GetMax(), 1000);
    EXPECT_EQ(value.Get(), 12);
  }
}

TEST(MValueStorage, UnitScalesLoadTheirDefinitionsOverTheirDefaults)
{
  MValueVolume volume;
  volume.LoadDefinition(Element({{"id", "out"}, {"value", "0.5"}}));
  EXPECT_EQ(volume.GetText().ToUTF8(), "-6.02 dB");

  MValueFrequency frequency;
  frequency.LoadDefinition(Element({{"min", "100"}, {"max", "10000"}}));
  frequency.SetNormalised(0.5);
  EXPECT_NEAR(frequency.Get(), 1000.0, 1e-9); // logarithms follow the new range

  MValueStepDouble stepped;
  stepped.LoadDefinition(Element({{"step", "0.25"}, {"value", "3.1"}}));
  EXPECT_EQ(stepped.Get(), 3.0);
  stepped.Set(3.2);
  EXPECT_EQ(stepped.Get(), 3.25);

  MValueMIDINote note;
  note.LoadDefinition(Element({{"value", "69"}}));
  EXPECT_EQ(note.GetText().ToUTF8(), "A5");
}

TEST(MValueStorage, EnumerationsStoreItemNamesAndListsTheirIndex)
{
  std::int32_t variable = 1;
  MValueEnum<std::int32_t> value(MValueBinding<std::int32_t>::Variable(variable), MEnumerations::StdColor());
  value.SetId("colour");
  MXmlItem item("settings");
  value.Save(item);
  EXPECT_EQ(AttributeOf(item, "colour"), "shape");

  const struct
  {
    const char* attribute;
    int index;
  } cases[] = {{"GREEN", 6}, {"blue", 7}, {"purple", 0}, {nullptr, 1}};
  for (const auto& c : cases)
  {
    MXmlItem loaded("settings");
    if (c.attribute != nullptr)
    {
      loaded.SetAttribute("colour", MString::FromUTF8(c.attribute));
    }
    variable = 3;
    value.Load(loaded);
    EXPECT_EQ(variable, c.index) << (c.attribute ? c.attribute : "(absent)");
  }

  MValueEnum<std::int32_t> defined(MValueBinding<std::int32_t>::Value(0), MEnumerations::StdColor());
  defined.LoadDefinition(Element({{"id", "ink"}, {"value", "Red"}}));
  EXPECT_EQ(defined.Get(), 5);
  EXPECT_EQ(defined.GetDefaultIndex(), 5);
  defined.LoadDefinition(Element({{"default", "dark"}, {"value", "light"}}));
  EXPECT_EQ(defined.Get(), 3);
  EXPECT_EQ(defined.GetDefaultIndex(), 4);
  EXPECT_EQ(defined.GetId().ToUTF8(), "ink");

  // Lists store the index and refuse anything but numbers.
  static constexpr const char* kListItems[] = {"one", "two", "three"};
  MValueList<const char*> list(MValueBinding<std::int32_t>::Value(2), kListItems, 3);
  list.SetId("pick");
  MXmlItem listItem("settings");
  list.Save(listItem);
  EXPECT_EQ(AttributeOf(listItem, "pick"), "2");

  listItem.SetAttribute("pick", "1");
  list.Load(listItem);
  EXPECT_EQ(list.GetIndex(), 1);
  listItem.SetAttribute("pick", "two");
  list.Load(listItem);
  EXPECT_EQ(list.GetIndex(), 1);
  listItem.SetAttribute("pick", "99");
  list.Load(listItem);
  EXPECT_EQ(list.GetIndex(), 2);

  list.LoadDefinition(Element({{"default", "0"}}));
  EXPECT_EQ(list.GetIndex(), 0);
  list.SetIndex(2);
  listItem.RemoveAttribute("pick");
  list.Load(listItem);
  EXPECT_EQ(list.GetIndex(), 0) << "an absent value takes the default";
}

} // namespace
