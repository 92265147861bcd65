#include "base/MStorable.h"
#include "base/MXmlItem.h"

#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::vector<std::string> AttributeNames(const MXmlItem& item)
{
  std::vector<std::string> names;
  MXmlItem::AttributeIterator it;
  for (it.Start(item); it.IsValid(); it.Next())
    names.push_back(it.Get().name.ToUTF8());
  return names;
}
} // namespace

TEST(MXmlItemTest, AttributesStaySortedWithoutRegardToCaseAndIteratorsMustBeStarted)
{
  MXmlItem item("settings");
  for (const MString& name : {MString("b"), MString("A"), MString("c"), MString("Version"), MString("bypass"),
                              MString("ChannelMode"), MString(u"\u00c9cho")})
    item.SetAttribute(name, "1");
  EXPECT_EQ(AttributeNames(item), (std::vector<std::string>{"A", "b", "bypass", "c", "ChannelMode",
                                                            "\xc3\x89"
                                                            "cho",
                                                            "Version"}));

  // Iterators must be started.
  MXmlItem::AttributeIterator attributes;
  MXmlItem::SubItemIterator subItems;
  const char* message = "XML item iterator has not been initialized.";
  EXPECT_EQ(MessageOf([&] { attributes.Get(); }), message);
  EXPECT_EQ(MessageOf([&] { attributes.Next(); }), message);
  EXPECT_EQ(MessageOf([&] { subItems.IsValid(); }), message);
  EXPECT_EQ(MessageOf([&] { subItems.Get(); }), message);

  MXmlItem parent("a");
  parent.AddSubItem("x");
  parent.AddSubItem("y");
  std::string names;
  for (subItems.Start(parent); subItems.IsValid(); subItems.Next())
    names += subItems.Get().GetName().ToUTF8();
  EXPECT_EQ(names, "xy");
}

TEST(MXmlItemTest, NamesDifferingInCaseAreOneAttributeAlsoWhenSetInBulk)
{
  MXmlItem item("a");
  item.SetAttribute("name", "first");
  item.SetAttribute("Name", "second");
  ASSERT_EQ(item.GetAttributeCount(), 1);
  EXPECT_EQ(item.GetAttributeAt(0).name, MString("name"));
  EXPECT_EQ(item.GetAttributeAt(0).value, MString("second"));
  EXPECT_EQ(item.GetAttribute("NAME", "none"), MString("second"));
  EXPECT_TRUE(item.RemoveAttribute("NaMe"));
  EXPECT_FALSE(item.RemoveAttribute("name"));
  EXPECT_EQ(item.GetAttribute("name", "none"), MString("none"));

  // Set in bulk, they keep the first spelling and the last value.
  item.SetAttributes({{"z", "1"}, {"Key", "2"}, {"a", "3"}, {"KEY", "4"}, {"key", "5"}});
  ASSERT_EQ(AttributeNames(item), (std::vector<std::string>{"a", "Key", "z"}));
  EXPECT_EQ(item.GetAttribute("key", ""), MString("5"));
}

TEST(MXmlItemTest, CachesAnswerTheLastSuccessfulLookupOnly)
{
  const std::string noAttribute =
      "There is no attribute in the cache. Previous call to HasAttribute probably did not succeed.";
  const std::string noSubItem =
      "There is no subitem in the cache. Previous call to HasSubItem probably did not succeed.";
  MXmlItem item("a");
  item.SetAttribute("m", "middle");
  item.AddSubItem("Preset0").SetText("zero");
  EXPECT_EQ(MessageOf([&] { item.GetAttribute(); }), noAttribute);
  EXPECT_EQ(MessageOf([&] { item.GetSubItem(); }), noSubItem);

  ASSERT_TRUE(item.HasAttribute("M"));
  // Inserting before the cached attribute keeps the cache on the same attribute.
  item.SetAttribute("a", "first");
  EXPECT_EQ(item.GetAttribute(), MString("middle"));
  EXPECT_FALSE(item.HasAttribute("missing"));
  EXPECT_EQ(MessageOf([&] { item.GetAttribute(); }), noAttribute);
  ASSERT_TRUE(item.HasAttribute("m"));
  item.RemoveAttribute("m");
  EXPECT_EQ(MessageOf([&] { item.GetAttribute(); }), noAttribute);

  ASSERT_TRUE(item.HasSubItem("PRESET0"));
  EXPECT_EQ(item.GetSubItem().GetText(), MString("zero"));
  item.RemoveSubItemAt(0);
  EXPECT_EQ(MessageOf([&] { item.GetSubItem(); }), noSubItem);
}

TEST(MXmlItemTest, GetOrAddFindsTheFirstMatchOrAppendsAndCopiesAreDeep)
{
  MXmlItem item("settings");
  item.AddSubItem("Controllers").SetText("first");
  item.AddSubItem("controllers").SetText("second");
  EXPECT_EQ(item.GetOrAddSubItem("CONTROLLERS").GetText(), MString("first"));
  MXmlItem& added = item.GetOrAddSubItem("NoteControllers");
  EXPECT_EQ(item.GetSubItemCount(), 3);
  EXPECT_EQ(&item.GetSubItemAt(2), &added);

  // A copy is deep.
  MXmlItem copy = item;
  ASSERT_TRUE(copy == item);
  copy.GetSubItemAt(0).SetText("changed");
  EXPECT_EQ(item.GetSubItemAt(0).GetText(), MString("first"));
  EXPECT_FALSE(copy == item);
}

namespace
{
class Sample : public MStorable
{
public:
  void Store(MStoreContext& context) override
  {
    context.Store("Count", count);
    context.Store("Gain", gain);
    context.Store("Bypass", bypass);
    context.Store("Name", name);
  }
  std::int32_t count = 0;
  double gain = 0.0;
  bool bypass = false;
  MString name;
};
} // namespace

TEST(MStorableTest, StoreWritesAllAndLoadsOnlyWhatIsPresent)
{
  Sample saved;
  saved.count = -12;
  saved.gain = 0.1 + 0.2;
  saved.bypass = true;
  saved.name = MString(u"Lead \u266b");
  MXmlItem item("settings");
  MStoreContext saving(true, item);
  saved.Store(saving);
  EXPECT_EQ(item.GetAttribute("Gain", ""), MString("0.3"));
  EXPECT_EQ(item.GetAttribute("Count", ""), MString("-12"));

  Sample loaded;
  MStoreContext loading(false, item);
  loaded.Store(loading);
  EXPECT_EQ(loaded.count, -12);
  EXPECT_NEAR(loaded.gain, 0.3, 1e-12);
  EXPECT_TRUE(loaded.bypass);
  EXPECT_EQ(loaded.name, saved.name);

  MXmlItem sparse("settings");
  sparse.SetAttribute("Count", "99999999999");
  Sample untouched;
  untouched.gain = 2.5;
  MStoreContext partial(false, sparse);
  untouched.Store(partial);
  EXPECT_EQ(untouched.count, INT32_MAX);
  EXPECT_EQ(untouched.gain, 2.5);
}
