#include "base/MException.h"
#include "base/MFormat.h"
#include "base/MFormatParser.h"
#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <variant>
#include <vector>

namespace
{
using Value = std::variant<MString, double, std::int64_t, std::uint64_t>;

struct FormatCase
{
  const char* format;
  std::vector<Value> arguments;
  const char* expected;
};

MString Fill(const MString& format, const std::vector<Value>& arguments)
{
  MFormat message(format);
  for (const Value& argument : arguments)
  {
    std::visit([&](const auto& value) { message.Argument(value); }, argument);
  }
  return message.Text();
}
} // namespace

TEST(MFormatTest, DisplayTextsAreExact)
{
  const FormatCase cases[] = {
      // Signed display values with a forced plus sign: zero and negatives carry none of their own.
      {"{0;+.02}", {1.0}, "+1.00"},
      {"{0;+.02}", {0.0}, "0.00"},
      {"{0;+.02}", {-0.5}, "-0.50"},
      {"{0;+.02}", {1e-21}, "0.00"},
      {"{0.1}%", {12.34}, "12.3%"},
      {"{0;.2} dB", {-6.0206}, "-6.02 dB"},
      {"{0}", {std::int64_t{440}}, "440"},
      {"{0}", {440.0}, "440.0000"},
      {"{0.0}", {2.7}, "3"},
      {"{0,0}", {2.5}, "2.5000"},                 // "0" sets zero fill, which doubles ignore
      {"{0;.12}", {1.0 / 3.0}, "0.333333333333"}, // two digits; the text is MString::FromDouble's
      // Integers: width, fill, radix and sign.
      {"{0;+}", {std::int64_t{3}}, "+3"},
      {"{0;+}", {std::int64_t{0}}, "0"},
      {"{0;+}", {std::int64_t{-3}}, "-3"},
      {"{0;+}", {std::uint64_t{0}}, "0"},
      {"{0;+}", {std::uint64_t{7}}, "+7"},
      {"{0x}", {std::int64_t{255}}, "ff"},
      {"{0x04}", {std::int64_t{255}}, "00ff"},
      {"{0 5}|", {std::int64_t{42}}, "   42|"},
      {"{0 -5}|", {std::int64_t{42}}, "42   |"},
      {"{0;05}", {std::int64_t{-42}}, "-0042"},
      {"{0;+05}", {std::int64_t{42}}, "+0042"},
      {"{0}", {std::uint64_t{18446744073709551615ull}}, "18446744073709551615"},
      {"{0}", {std::int64_t{std::numeric_limits<std::int64_t>::min()}}, "-9223372036854775808"},
      // Width and fill do not apply to doubles or strings.
      {"{0 8.1}", {1.25}, "1.2"},
      {"[{0 8}]", {MString("ab")}, "[ab]"},
      // Adjacent placeholders fill in the order they appear.
      {"{0}{1}", {MString("a"), MString("b")}, "ab"},
      {"{1}{0}", {MString("a"), MString("b")}, "ba"},
      {"<{2}{0}{1}>", {MString("x"), MString("y"), MString("z")}, "<zxy>"},
      {"{0} and {1}", {MString("this"), MString("that")}, "this and that"},
      {"{1} before {0}", {MString("later"), MString("first")}, "first before later"},
      // An index used twice keeps its last position.
      {"{0}-{0}", {MString("v")}, "-v"},
      // Escapes.
      {"a{{b", {}, "a{b"},
      {"a}}b", {}, "a}b"},
      {"a}{b", {}, "a{b"},
      {"{{{0}}}", {std::int64_t{5}}, "{5}"},
      {"tail}", {}, "tail}"},
      // Missing and surplus arguments.
      {"x{0}y{1}z", {MString("1")}, "x1yz"},
      {"{0}", {MString("a"), MString("surplus")}, "a"},
      {"{32}{-1}ok", {MString("a")}, "ok"},
  };
  for (const FormatCase& c : cases)
  {
    EXPECT_EQ(Fill(MString::FromNarrow(c.format), c.arguments).ToUTF8(), c.expected) << "format " << c.format;
  }
}

TEST(MFormatTest, FormatEndingInsidePlaceholderThrowsTheFormattingMessage)
{
  for (const char* format : {"{0;.2", "{0", "abc {1;+", "{0.", "{0 1"})
  {
    EXPECT_EQ(MessageOf([&] { MFormat compiled(MString::FromNarrow(format)); }),
              "Formatting string ends in an argument specification.")
        << format;
    // A parser given such a format throws too, even for an empty text.
    EXPECT_THROW(MFormatParser(MString::FromNarrow(format), "1.5"), MException) << format;
    EXPECT_THROW(MFormatParser(MString::FromNarrow(format), ""), MException) << format;
  }
}

namespace
{
struct ParseCase
{
  const char* format;
  const char* text;
  std::vector<const char*> captured;
};
} // namespace

TEST(MFormatParserTest, TypedTextCapturesWhatTheFormatSaysAndTheCursorHandsItOut)
{
  const ParseCase cases[] = {
      {"{0} Hz", "440 Hz", {"440"}},
      {"{0}", "abc", {"abc"}},
      {"{0} Hz", "440", {"440"}},
      {"{0} Hz", "440    Hz", {"440"}},
      {"{0;.2} dB", "-6.02 dB", {"-6.02"}},
      {"{0}%", "12.5%", {"12.5"}},
      {"{0}:{1}", "3:4", {"3", "4"}},
      {"{0}:{1}", "3;4", {"3;4"}},
      {"{1}/{0}", "a/b", {"b", "a"}},
      {"x{0}", "y12", {}},           // first literal mismatch: nothing captured
      {"{0} x {1}", "1x2", {"1x2"}}, // the blank is required; parsing stops there
      {"{0}", "", {}},
      {"{{{0}}}", "{7}", {"7"}},
      {"Note {0}", "Note", {}}, // text ends first
      {"{0}", "one two", {"one"}},
  };
  for (const ParseCase& c : cases)
  {
    MFormatParser parser(MString::FromNarrow(c.format), MString::FromNarrow(c.text));
    ASSERT_EQ(parser.Count(), static_cast<int>(c.captured.size())) << c.format << " / " << c.text;
    for (std::size_t i = 0; i < c.captured.size(); ++i)
    {
      EXPECT_EQ(parser.ArgumentText(static_cast<int>(i)).ToUTF8(), c.captured[i])
          << c.format << " / " << c.text;
    }
  }

  // The cursor hands out the captured arguments as numbers.
  MFormatParser cursor("{0} Hz, {1} ms, {2}", "440.5 Hz, 12 ms, abc");
  EXPECT_EQ(cursor.Count(), 3);
  EXPECT_DOUBLE_EQ(cursor.NextDouble(), 440.5);
  EXPECT_EQ(cursor.NextInteger(), 12);
  EXPECT_DOUBLE_EQ(cursor.NextDouble(), 0.0); // a non-number reads as 0
  EXPECT_EQ(cursor.NextString(), MString());
  cursor.Rewind();
  EXPECT_EQ(cursor.NextString(), MString("440.5"));
}

TEST(MFormatParserTest, FormattedTextParsesBackToItsArguments)
{
  const char* formats[] = {"{0;.2} dB", "{0;+.02}", "{0.1}%", "{0} Hz", "{0;.4} / {1;.1}"};
  for (const char* text : formats)
  {
    MString format = MString::FromNarrow(text);
    MString shown = MFormat::Format(format, -12.26, 3.5);
    MFormatParser parser(format, shown);
    // The shown text is rounded to at least one decimal, so it reads back within half a unit.
    EXPECT_NEAR(parser.NextDouble(), -12.26, 0.05) << text;
  }
}
