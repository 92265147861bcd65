#include "base/MCharFilter.h"
#include "base/MStringList.h"

#include <gtest/gtest.h>

TEST(MStringListTest, KeepsOrderAnswersEmptyOutsideTheListAndSplitsAndJoinsAsIs)
{
  MStringList list{"Left", "Right"};
  EXPECT_EQ(list.Add("Mid"), 2);
  list.Insert(0, "Stereo");
  list.Insert(100, "Side");
  list.Remove(2);
  list.Remove(-1);
  list.Set(7, "ignored");
  EXPECT_EQ(list.Join(","), MString("Stereo,Left,Mid,Side"));
  EXPECT_EQ(list.At(4), MString());
  EXPECT_EQ(list.At(-1), MString());
  EXPECT_EQ(list.IndexOf("Mid"), 2);
  EXPECT_EQ(list.IndexOf("mid"), -1);
  EXPECT_EQ(list.IndexOfName("MID"), 2);
  EXPECT_EQ(list.IndexOfName(MString::FromUTF8("st\xc3\xa9r\xc3\xa9o")), 0);

  // Split keeps empty pieces and Join restores the text.
  for (const char* text : {"a;b;c", ";lead", "trail;", "a;;b", "single"})
  {
    MString original = MString::FromNarrow(text);
    EXPECT_EQ(MStringList::Split(original, u';').Join(";"), original) << text;
  }
  EXPECT_EQ(MStringList::Split("a;;b", u';').Count(), 3);
  EXPECT_EQ(MStringList::Split("", u';').Count(), 0);
}

TEST(MCharFilterTest, FiltersAcceptExactlyTheirClasses)
{
  struct Case
  {
    const MCharFilter::Interface& filter;
    const char16_t* accepted;
    const char16_t* refused;
  };
  MCharFilter::LettersFilter letters;
  MCharFilter::IntegerFilter integer;
  MCharFilter::AlphaStrictFilter alphaStrict;
  MCharFilter::FloatFilter floating;
  MCharFilter::AlphaFilter alpha;
  MCharFilter::IntegerHexaFilter hexa;
  MCharFilter::AllFilter all;
  const Case cases[] = {
      {letters, u"aZq\u00e9\u00c0\u0101", u"09.+- _!\u00d7"},
      {integer, u"0123456789", u"a.-+ "},
      {alphaStrict, u"a9Z\u00e9", u".-+ _"},
      {floating, u"0.9+-", u"ae, "},
      {alpha, u"a0.+-\u00e9", u" _,"},
      {hexa, u"09afAF", u"gG.-x "},
      {all, u"a0.+ _!~\u00e9\u00d7\u20ac", u"\t\n\x7f\u0085"},
  };
  for (const Case& c : cases)
  {
    for (const char16_t* p = c.accepted; *p != 0; ++p)
    {
      EXPECT_TRUE(c.filter.Accepts(*p)) << "mask " << int(c.filter.Mask()) << " char " << int(*p);
    }
    for (const char16_t* p = c.refused; *p != 0; ++p)
    {
      EXPECT_FALSE(c.filter.Accepts(*p)) << "mask " << int(c.filter.Mask()) << " char " << int(*p);
    }
  }
}
