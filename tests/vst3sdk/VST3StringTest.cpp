// Copies into fixed-size VST 3 text fields: truncation at character boundaries and
// conversion between UTF-8 and UTF-16.

#include "sdk/vst3/VST3String.h"

#include <gtest/gtest.h>

#include <string>

using namespace Steinberg;

namespace
{
std::u16string Field(const TChar* field, int32 capacity)
{
  return std::u16string(field, static_cast<size_t>(StringLength16(field, capacity)));
}
} // namespace

TEST(VST3StringTest, Utf16CopiesAreCutToTheFieldAndNeverSplitASurrogatePair)
{
  const std::u16string clef = u"\U0001D11E"; // two UTF-16 units
  struct Case
  {
    const char* name;
    std::u16string source;
    int32 capacity;
    std::u16string expected;
  };
  const Case cases[] = {
      {"fits", u"Gain", 128, u"Gain"},
      {"fills the field", std::u16string(127, u'a'), 128, std::u16string(127, u'a')},
      {"one too long", std::u16string(128, u'a'), 128, std::u16string(127, u'a')},
      {"pair at the cut", std::u16string(126, u'a') + clef, 128, std::u16string(126, u'a')},
      {"pair before the cut", std::u16string(125, u'a') + clef + u"b", 128, std::u16string(125, u'a') + clef},
      {"lone surrogate", std::u16string(1, char16_t(0xD800)) + u"x", 8, u"\uFFFDx"},
      {"capacity one", u"abc", 1, u""},
  };
  for (const Case& c : cases)
  {
    TChar field[128];
    std::fill(std::begin(field), std::end(field), u'#');
    const int32 written = CopyString16(field, c.capacity, c.source);
    EXPECT_EQ(Field(field, c.capacity), c.expected) << c.name;
    EXPECT_EQ(written, static_cast<int32>(c.expected.size())) << c.name;
    EXPECT_EQ(field[written], 0) << c.name << ": the copy is terminated";
  }
}

TEST(VST3StringTest, Utf8ToUtf16DecodesAndReplacesMalformedSequences)
{
  struct Case
  {
    const char* name;
    std::string source;
    int32 capacity;
    std::u16string expected;
  };
  const Case cases[] = {
      {"ascii", "Stereo In", 128, u"Stereo In"},
      {"two and three bytes", "\xC3\xA9\xE2\x82\xAC", 128, u"é€"},
      {"four bytes", "\xF0\x9D\x84\x9E", 128, u"\U0001D11E"},
      {"four bytes at the cut", "ab\xF0\x9D\x84\x9E", 4, u"ab"},
      {"stray continuation", "a\x80z", 128, u"a\uFFFDz"},
      {"truncated sequence", "a\xE2\x82", 128, u"a\uFFFD\uFFFD"},
      {"overlong slash", "\xC0\xAF", 128, u"\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", 128, u"\uFFFD"},
  };
  for (const Case& c : cases)
  {
    TChar field[128] = {};
    CopyUtf8ToString16(field, c.capacity, c.source);
    EXPECT_EQ(Field(field, c.capacity), c.expected) << c.name;
  }
}

TEST(VST3StringTest, NarrowCopiesCutAtCharacterBoundariesAndFieldsReadBackUpToTheirEnd)
{
  char8 field[6];
  EXPECT_EQ(CopyString8(field, 6, "abcd\xC3\xA9"), 4) << "the two-byte character does not fit";
  EXPECT_STREQ(field, "abcd");
  EXPECT_EQ(CopyString8(field, 6, "ab\xFF"), 3);
  EXPECT_STREQ(field, "ab?");
  EXPECT_EQ(CopyString16ToUtf8(field, 6, u"Tön"), 4);
  EXPECT_STREQ(field, "T\xC3\xB6n");
  EXPECT_EQ(CopyString8(field, 0, "x"), 0);
  EXPECT_EQ(CopyString8(nullptr, 6, "x"), 0);

  // A UTF-16 field reads back as UTF-8 up to its end.
  TChar wide[4] = {u'a', u'\u00E9', u'b', u'c'}; // not terminated: the field end stops it
  EXPECT_EQ(String16ToUtf8(wide, 4), "a\xC3\xA9"
                                     "bc");
  EXPECT_EQ(String16ToUtf8(wide, 2), "a\xC3\xA9");
  EXPECT_EQ(String16ToUtf8(nullptr, 4), "");
}
