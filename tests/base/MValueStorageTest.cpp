// Storage and definition loading of every scale family through XML items.
#include "base/MMemoryStream.h"
#include "base/MValueEnum.h"
#include "base/MValueList.h"
#include "base/MValueScalePower.h"
#include "base/MValueUnits.h"
#include "base/MXmlItem.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace
{

std::string Utf8(const MString& text)
{
  return text.ToUTF8();
}

std::string AttributeOf(const MXmlItem& item, const char* name)
{
  return Utf8(item.GetAttribute(MString::FromUTF8(name), "<absent>"));
}

TEST(MValueStorage, NumbersAreSavedUnderTheirIdInTwelveSignificantDigits)
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
}

TEST(MValueStorage, LoadingReadsNumbersOnlyAndFallsBackToTheDefault)
{
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

TEST(MValueStorage, ListsStoreTheIndexAndRefuseNonNumbers)
{
  static constexpr const char* kItems[] = {"one", "two", "three"};
  MValueList<const char*> value(MValueBinding<std::int32_t>::Value(2), kItems, 3);
  value.SetId("pick");
  MXmlItem item("settings");
  value.Save(item);
  EXPECT_EQ(AttributeOf(item, "pick"), "2");

  item.SetAttribute("pick", "1");
  value.Load(item);
  EXPECT_EQ(value.GetIndex(), 1);
  item.SetAttribute("pick", "two");
  value.Load(item);
  EXPECT_EQ(value.GetIndex(), 1);
  item.SetAttribute("pick", "99");
  value.Load(item);
  EXPECT_EQ(value.GetIndex(), 2);
}

TEST(MValueStorage, StoredValuesTravelThroughXmlTextIntoAnotherInstance)
{
  MValuePan pan(MValueBinding<double>::Value(-0.3), -1.0, 1.0);
  pan.SetId("Pan");
  MValueScaleSqr gain(std::make_unique<MValueVolume>(MValueBinding<double>::Value(0.125), 0.0, 2.0));
  gain.GetInner().SetId("Gain");
  std::int32_t fontIndex = 6;
  MValueEnum<std::int32_t> font(MValueBinding<std::int32_t>::Variable(fontIndex), MEnumerations::StdFont());
  font.SetId("Font");

  MXmlItem saved("settings");
  MStoreContext saving(true, saved);
  pan.Store(saving);
  gain.Store(saving);
  font.Store(saving);
  MMemoryStream stream;
  saved.Write(stream, true, "utf-8");

  MMemoryStream input(stream.GetBuffer()->GetData(), stream.GetBuffer()->GetSize());
  MXmlItem restored;
  restored.Read(input);
  MValuePan otherPan;
  otherPan.SetId("Pan");
  MValueScaleSqr otherGain(std::make_unique<MValueVolume>(MValueBinding<double>::Value(1.0), 0.0, 2.0));
  otherGain.GetInner().SetId("Gain");
  MValueEnum<std::int32_t> otherFont(MValueBinding<std::int32_t>::Value(0), MEnumerations::StdFont());
  otherFont.SetId("Font");
  MStoreContext loading(false, restored);
  otherPan.Store(loading);
  otherGain.Store(loading);
  otherFont.Store(loading);

  EXPECT_EQ(otherPan.Get(), -0.3);
  EXPECT_EQ(static_cast<const MValueVolume&>(otherGain.GetInner()).Get(), 0.125);
  EXPECT_EQ(Utf8(otherFont.GetText()), "large3");
}

} // namespace
