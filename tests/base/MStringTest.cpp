#include "base/MAccentFolding.h"
#include "base/MString.h"

#include "tests/support/MAllocationCounter.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

// ---- representation: literals, sharing, copy-on-write, capacity ----

TEST(MStringTest, LiteralCostsNoAllocationUntilItsFirstChangeAndWidensItsBytes)
{
  MAllocationCounter::Scope scope;
  MString text = "abc";
  MString copy = text;
  EXPECT_EQ(scope.Count(), 0u);
  EXPECT_TRUE(copy.IsLiteral());
  EXPECT_EQ(copy.Length(), 3);
  EXPECT_EQ(copy.At(1), u'b');

  copy.Append(u'd');
  EXPECT_FALSE(copy.IsLiteral());
  EXPECT_EQ(copy, MString("abcd"));
  EXPECT_TRUE(text.IsLiteral()); // the borrowed literal itself is untouched
  EXPECT_EQ(text, MString("abc"));

  // Its bytes widen to their eight-bit values.
  MString latin = "caf\xe9";
  EXPECT_EQ(latin.At(3), u'\u00e9');
  latin.Append(u'!');
  EXPECT_EQ(latin.At(3), u'\u00e9');
  EXPECT_EQ(latin.ToUTF8(), "caf\xc3\xa9!");
}

TEST(MStringTest, CopiesShareTheBufferUntilOneSideChanges)
{
  MString original = MString::FromUTF8("shared text");
  ASSERT_FALSE(original.IsLiteral());
  EXPECT_EQ(original.ShareCount(), 1u);
  MString copy = original;
  MString third = copy;
  EXPECT_EQ(original.ShareCount(), 3u);

  MAllocationCounter::Scope scope;
  MString fourth = third; // sharing costs a count, not an allocation
  EXPECT_EQ(scope.Count(), 0u);
  fourth.Clear();

  copy.Append(" changed");
  EXPECT_EQ(copy.ToUTF8(), "shared text changed");
  EXPECT_EQ(original.ToUTF8(), "shared text");
  EXPECT_EQ(copy.ShareCount(), 1u);
  EXPECT_EQ(original.ShareCount(), 2u);

  third.SetAt(0, u'S');
  EXPECT_EQ(third.ToUTF8(), "Shared text");
  EXPECT_EQ(original.ToUTF8(), "shared text");
  EXPECT_EQ(original.ShareCount(), 1u);
}

TEST(MStringTest, EditingOperationsClipTheirRangesAndTakeTheStringItselfAndSearchesFindExactly)
{
  MString text = "0123456789";
  EXPECT_EQ(text.Substring(3, 4), MString("3456"));
  EXPECT_EQ(text.Substring(8, 100), MString("89"));
  EXPECT_EQ(text.Substring(-5, 2), MString("01"));
  EXPECT_EQ(text.Substring(20, 2), MString());
  EXPECT_EQ(text.Substring(0), text);
  EXPECT_TRUE(text.Substring(7).IsLiteral()); // a literal's tail is borrowed too
  EXPECT_EQ(text.Substring(7).At(3), 0);
  EXPECT_EQ(text.At(-1), 0);
  EXPECT_EQ(text.At(10), 0);

  MString edited = text;
  edited.Remove(2, 3).Insert(0, "<").Insert(1000, ">");
  EXPECT_EQ(edited, MString("<0156789>"));
  edited.Remove(5, 1000).SetAt(99, u'?');
  EXPECT_EQ(edited, MString("<0156"));
  EXPECT_EQ(text, MString("0123456789"));

  // A string appended or inserted into itself.
  MString doubled = MString::FromUTF8("ab");
  doubled.Append(doubled);
  doubled.Append(doubled);
  EXPECT_EQ(doubled.ToUTF8(), "abababab");
  doubled.Insert(1, doubled.Substring(0, 2));
  EXPECT_EQ(doubled.ToUTF8(), "aabbababab");

  // Search and exact comparison.
  MString haystack = MString::FromUTF8("pitch shift pitch");
  EXPECT_EQ(haystack.Find("pitch"), 0);
  EXPECT_EQ(haystack.Find("pitch", 1), 12);
  EXPECT_EQ(haystack.Find("tone"), -1);
  EXPECT_EQ(haystack.Find(u' '), 5);
  EXPECT_EQ(haystack.Find(MString()), 0);
  EXPECT_EQ(haystack.FindLast(u'p'), 12);
  EXPECT_EQ(haystack.FindLast(u'z'), -1);
  EXPECT_TRUE(haystack.StartsWith("pitch "));
  EXPECT_TRUE(haystack.EndsWith(" pitch"));
  EXPECT_FALSE(haystack.EndsWith("shift"));
  EXPECT_FALSE(MString("ab").StartsWith("abc"));

  EXPECT_LT(MString("abc").Compare("abd"), 0);
  EXPECT_GT(MString("abcd").Compare("abc"), 0);
  EXPECT_EQ(MString("abc").Compare(MString::FromUTF8("abc")), 0); // literal against owned
  EXPECT_TRUE(MString("a") < MString("b"));
  EXPECT_NE(MString("Center"), MString("CENTER"));
  EXPECT_EQ(std::hash<MString>()(MString("key")), std::hash<MString>()(MString::FromUTF8("key")));
}

// ---- name comparison and accent folding ----

TEST(MStringTest, NameComparisonFoldsCaseAndAccents)
{
  struct Case
  {
    const char* a; // UTF-8
    const char* b;
    int count;
    bool equal;
  };
  const Case cases[] = {
      {"Center", "CENTER", 100, true},
      {"\xc3\x89", "e", 100, true}, // E with acute, capital, against a plain e
      {"\xc3\xa1", "a", 100, true}, // a with acute
      {"Ch\xc3\xa2teau", "CHATEAU", 100, true},
      {"\xe1\xbb\x87", "E", 100, true}, // e with circumflex and dot below, two marks deep
      {"\xc7\x95", "u", 100, true},     // U with diaeresis and macron
      {"\xc3\x98", "O", 100, false},    // O with stroke has no decomposition
      {"\xc3\x86", "AE", 100, false},   // a ligature is not an accented letter
      {"Left", "Right", 100, false},
      {"Mid", "Middle", 100, false},
      {"Mid", "Middle", 3, true},
      {"abc", "abd", 2, true},
  };
  for (const Case& c : cases)
  {
    int result = MString::FromUTF8(c.a).CompareNames(MString::FromUTF8(c.b), c.count);
    EXPECT_EQ(result == 0, c.equal) << c.a << " / " << c.b;
  }
  EXPECT_LT(MString("Mid").CompareNames("Middle"), 0);
  EXPECT_GT(MString("b").CompareNames("A"), 0);
  EXPECT_TRUE(MString("Stereo").EqualsName("STEREO"));
}

TEST(MAccentFoldingTest, TableIsSortedAndFoldsOnlyLatinLettersToLetters)
{
  auto table = MAccentFolding::Table();
  ASSERT_FALSE(table.empty());
  for (std::size_t i = 0; i < table.size(); ++i)
  {
    const auto& entry = table[i];
    if (i > 0)
    {
      EXPECT_LT(table[i - 1].code, entry.code);
    }
    bool inLatinBlocks =
        (entry.code >= 0xC0 && entry.code <= 0x24F) || (entry.code >= 0x1E00 && entry.code <= 0x1EFF);
    EXPECT_TRUE(inLatinBlocks) << std::hex << static_cast<int>(entry.code);
    bool asciiLetter =
        (entry.base >= u'a' && entry.base <= u'z') || (entry.base >= u'A' && entry.base <= u'Z');
    EXPECT_TRUE(asciiLetter) << std::hex << static_cast<int>(entry.code);
    EXPECT_EQ(MAccentFolding::Fold(entry.code), entry.base);
  }
  // Spot checks against the decompositions: case is preserved, non-letters stay.
  EXPECT_EQ(MAccentFolding::Fold(0x00C9), u'E');   // E acute
  EXPECT_EQ(MAccentFolding::Fold(0x00E1), u'a');   // a acute
  EXPECT_EQ(MAccentFolding::Fold(0x00E7), u'c');   // c cedilla
  EXPECT_EQ(MAccentFolding::Fold(0x0160), u'S');   // S caron
  EXPECT_EQ(MAccentFolding::Fold(0x1E9E), 0x1E9E); // capital sharp s: no decomposition
  EXPECT_EQ(MAccentFolding::Fold(0x00D7), 0x00D7); // multiplication sign
  EXPECT_EQ(MAccentFolding::Fold(0x00F7), 0x00F7); // division sign
  EXPECT_EQ(MAccentFolding::Fold(u'q'), u'q');
}

// ---- conversions ----

TEST(MStringTest, NonAsciiTextRoundTripsThroughUtf8Utf16AndWideAndInvalidUtf8IsReplaced)
{
  const char* samples[] = {
      "plain",
      ("Gr\xc3\xbc\xc3\x9f"
       "e"),                              // U+00FC U+00DF
      "\xe2\x82\xac 5",                   // euro sign, three bytes
      "\xf0\x9d\x84\x9e clef",            // U+1D11E, outside the BMP
      "\xf0\x9f\x8e\xb5\xf4\x8f\xbf\xbf", // U+1F3B5 and U+10FFFF
      "",
  };
  for (const char* sample : samples)
  {
    MString text = MString::FromUTF8(sample);
    EXPECT_EQ(text.ToUTF8(), sample);
    EXPECT_EQ(MString(std::u16string_view(text.ToUTF16())), text);
    EXPECT_EQ(MString::FromWide(text.ToWide()), text);
  }
  MString clef = MString::FromUTF8("\xf0\x9d\x84\x9e");
  ASSERT_EQ(clef.Length(), 2);
  EXPECT_EQ(clef.At(0), 0xD834);
  EXPECT_EQ(clef.At(1), 0xDD1E);
  std::wstring wide = clef.ToWide();
  if constexpr (sizeof(wchar_t) == 4)
  {
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(static_cast<char32_t>(wide[0]), U'\U0001D11E');
  }
  else
  {
    EXPECT_EQ(wide.size(), 2u);
  }
  EXPECT_EQ(clef.ToNarrow(), "?"); // one character, one replacement
  EXPECT_EQ(MString::FromUTF8("\xc3\xa9").ToNarrow(), "\xe9");
  EXPECT_EQ(MString::FromNarrow("\xe9").ToUTF8(), "\xc3\xa9");

  // Invalid UTF-8 becomes replacement characters without reading past its end.
  struct Case
  {
    std::string input;
    std::u16string expected;
  };
  const Case cases[] = {
      {"\x80", u"\uFFFD"},                               // lone continuation byte
      {"a\xc3", u"a\uFFFD"},                             // truncated at the end
      {"\xe2\x82", u"\uFFFD"},                           // truncated three-byte sequence
      {"\xe2\x82x", u"\uFFFDx"},                         // broken sequence, next byte kept
      {"\xc0\xaf", u"\uFFFD\uFFFD"},                     // overlong encoding of "/"
      {"\xe0\x80\xaf", u"\uFFFD\uFFFD\uFFFD"},           // overlong three-byte form
      {"\xed\xa0\x80", u"\uFFFD\uFFFD\uFFFD"},           // encoded surrogate
      {"\xf4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
      {"\xff\xfe", u"\uFFFD\uFFFD"},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)}, // an embedded zero is a character
  };
  for (const Case& c : cases)
  {
    // Copy into an exactly sized heap block, so the sanitizer build catches any read past it.
    std::string exact(c.input);
    exact.shrink_to_fit();
    EXPECT_EQ(MString::FromUTF8(exact).ToUTF16(), c.expected);
  }
  // An unpaired surrogate cannot be written as UTF-8 or UTF-32.
  MString lone(u"a\xD800"
               "b");
  EXPECT_EQ(lone.ToUTF8(), "a\xef\xbf\xbd"
                           "b");
  if constexpr (sizeof(wchar_t) == 4)
  {
    EXPECT_EQ(lone.ToWide(), std::wstring(L"a\xFFFD"
                                          L"b"));
    EXPECT_EQ(MString::FromWide(std::wstring(1, static_cast<wchar_t>(0x110000))).At(0), 0xFFFD);
  }
}

// ---- numbers ----

TEST(MStringTest, NumberToTextUsesFixedUpToNineDigitsAndTextToNumberTheLongestDecimalPrefix)
{
  struct Case
  {
    double value;
    int precision;
    const char* expected;
  };
  const Case cases[] = {
      {3.14159, 0, "3"},        {3.14159, 2, "3.14"},
      {-0.5, 2, "-0.50"},       {440.0, 4, "440.0000"},
      {0.1, 9, "0.100000000"},  {1e-7, 6, "0.000000"},
      {0.1, 10, "0.1"},         {1.0 / 3.0, 12, "0.333333333333"},
      {123456.0, 12, "123456"}, {1e20, 12, "1e+20"},
      {1.5e-7, 12, "1.5e-07"},  {-2.0, 10, "-2"},
      {2.5, 150, "2.5"},        {2.25, -3, "2"},
  };
  for (const Case& c : cases)
  {
    EXPECT_EQ(MString::FromDouble(c.value, c.precision).ToUTF8(), c.expected)
        << c.value << " p" << c.precision;
  }
  EXPECT_EQ(MString::FromDouble(1e300, 6).ToDouble(), 1e300); // a huge fixed text still converts
  EXPECT_EQ(MString::FromDouble(NAN, 2), MString("nan"));
  EXPECT_EQ(MString::FromDouble(-INFINITY, 2), MString("-inf"));

  EXPECT_EQ(MString::FromInteger(-42), MString("-42"));
  EXPECT_EQ(MString::FromInteger(255, 16, 4, u'0'), MString("00ff"));
  EXPECT_EQ(MString::FromInteger(-7, 10, 4, u'0'), MString("-007"));
  EXPECT_EQ(MString::FromInteger(7, 10, 3), MString("  7"));
  EXPECT_EQ(MString::FromUnsigned(18446744073709551615ull, 16), MString("ffffffffffffffff"));

  // Text to number reads the longest decimal prefix.
  struct ReadCase
  {
    const char* text;
    double value;
  };
  const ReadCase read[] = {
      {"440", 440.0},
      {"  -6.02 dB", -6.02},
      {"+1.5", 1.5},
      {"1e3", 1000.0},
      {"2.5E-2x", 0.025},
      {"1e", 1.0},
      {"1e+", 1.0},
      {".5", 0.5},
      {"5.", 5.0},
      {"abc", 0.0},
      {"", 0.0},
      {"-", 0.0},
      {".", 0.0},
      {"\t\n 7", 7.0},
      {"12,5", 12.0},
      {"nan", 0.0},
      {"inf", 0.0},
      {"1e999", DBL_MAX},
      {"-1e999", -DBL_MAX},
      {"1e-999", 0.0},
      {"0.0000001e-400", 0.0},
      {"0x10", 0.0},
  };
  for (const ReadCase& c : read)
  {
    EXPECT_EQ(MString::FromNarrow(c.text).ToDouble(), c.value) << c.text;
  }
  // Characters outside ASCII end the number rather than being misread.
  EXPECT_EQ(MString::FromUTF8("3\xc2\xbd").ToDouble(), 3.0);

  struct IntegerCase
  {
    const char* text;
    std::int64_t value;
  };
  const IntegerCase integers[] = {
      {"42", 42},
      {" -17 ms", -17},
      {"+3", 3},
      {"12.9", 12},
      {"x1", 0},
      {"", 0},
      {"9223372036854775807", INT64_MAX},
      {"99999999999999999999", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"-99999999999999999999", INT64_MIN},
  };
  for (const IntegerCase& c : integers)
  {
    EXPECT_EQ(MString::FromNarrow(c.text).ToInteger(), c.value) << c.text;
  }
}
