#include "base/MEncoding.h"
#include "base/MMemoryStream.h"
#include "base/MStdFileStream.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "base/MXmlWriter.h"

#include "tests/base/MExpectMessage.h"
#include "tests/base/MStreamTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

namespace
{
std::string Written(const MXmlItem& item, bool compact, const MString& encoding = "utf-8")
{
  MMemoryStream stream;
  MXmlWriter::Write(item, stream, compact, encoding);
  return BytesOf(stream);
}

MXmlItem Parsed(const std::string& bytes)
{
  MMemoryStream stream(bytes.data(), bytes.size());
  MXmlItem item("stale");
  item.AddSubItem("stale");
  MXmlReader::Read(stream, item);
  return item;
}

std::string ParseMessage(const std::string& bytes)
{
  return MessageOf([&] { Parsed(bytes); });
}

MXmlItem KnownTree()
{
  MXmlItem root("settings");
  root.SetAttribute("Version", "3");
  root.SetAttribute("bypass", "0");
  root.SetAttribute("ChannelMode", "L/R");
  root.AddSubItem("Preset0").SetAttribute("name", "A&B <\"x\"> 'y'\nz");
  root.AddSubItem("Empty");
  root.AddSubItem("Note").SetText("C#");
  return root;
}

// Random trees over characters that exercise escaping, non-ASCII text, surrogate pairs and
// blanks (names stay within the Western code page so that every codec below can write them).
class TreeMaker
{
public:
  explicit TreeMaker(unsigned seed) : m_random(seed) {}

  MXmlItem Make(int depth)
  {
    MXmlItem item(Name());
    const int attributes = Pick(5);
    for (int i = 0; i < attributes; ++i)
      item.SetAttribute(Name(), Text());
    if (Pick(3) == 0)
      item.SetText(Text());
    const int subItems = depth > 0 ? Pick(4) : 0;
    for (int i = 0; i < subItems; ++i)
      item.AddSubItem(Make(depth - 1));
    return item;
  }

private:
  int Pick(int count) { return static_cast<int>(m_random() % static_cast<unsigned>(count)); }

  MString Name()
  {
    static const char16_t kFirst[] = u"abcXYZ_\u00e4\u00c9";
    static const char16_t kRest[] = u"abcXYZ_\u00e4\u00c9019.-:";
    std::u16string name(1, kFirst[Pick(static_cast<int>(std::size(kFirst)) - 1)]);
    const int length = Pick(8);
    for (int i = 0; i < length; ++i)
      name += kRest[Pick(static_cast<int>(std::size(kRest)) - 1)];
    return MString(name);
  }

  MString Text()
  {
    static const char16_t* const kPieces[] = {
        u"&",     u"<",   u">",      u"'",      u"\"",     u"\n",         u"\r",  u"\t",    u" ",
        u"plain", u"0.5", u"\u00e9", u"\u20ac", u"\u4e2d", u"\U0001F3B5", u"]]>", u"&amp;", u"<!--"};
    std::u16string text;
    const int count = Pick(7);
    for (int i = 0; i < count; ++i)
      text += kPieces[Pick(static_cast<int>(std::size(kPieces)))];
    return MString(text);
  }

  std::mt19937 m_random;
};
} // namespace

TEST(MXmlWriterTest, CompactIndentedAndUtf16TextsAreExactAndUnwritableTreesRefused)
{
  EXPECT_EQ(Written(KnownTree(), true),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
            "<settings bypass=\"0\" ChannelMode=\"L/R\" Version=\"3\">"
            "<Preset0 name=\"A&amp;B &lt;&quot;x&quot;&gt; &apos;y&apos;&#10;z\"/><Empty/><Note>C#</Note>"
            "</settings>");

  // Indented, one item a line with tabs.
  MXmlItem root("a");
  MXmlItem& b = root.AddSubItem("b");
  b.AddSubItem("c");
  MXmlItem& mixed = b.AddSubItem("mixed");
  mixed.SetText("t");
  mixed.AddSubItem("inner");
  EXPECT_EQ(Written(root, false), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                  "<a>\n"
                                  "\t<b>\n"
                                  "\t\t<c/>\n"
                                  "\t\t<mixed>t<inner/></mixed>\n"
                                  "\t</b>\n"
                                  "</a>\n");

  // UTF-16 starts with its mark and names the encoding.
  const std::string bytes = Written(MXmlItem("a"), true, "utf-16");
  const std::string expectedText = "<?xml version=\"1.0\" encoding=\"utf-16\"?><a/>";
  std::string expected = "\xFF\xFE";
  for (const char c : expectedText)
    expected += std::string{c, '\0'};
  EXPECT_EQ(bytes, expected);

  // Trees that cannot be written are refused.
  MMemoryStream stream;
  EXPECT_EQ(MessageOf([&] { MXmlWriter::Write(MXmlItem(), stream); }), "XML entity cannot have empty name.");
  MXmlItem unnamedAttribute("a");
  unnamedAttribute.SetAttribute("", "x");
  EXPECT_EQ(MessageOf([&] { MXmlWriter::Write(unnamedAttribute, stream); }),
            "XML entity cannot have empty name.");
  MXmlItem deep("level");
  MXmlItem* leaf = &deep;
  for (int i = 1; i < 257; ++i)
    leaf = &leaf->AddSubItem("level");
  EXPECT_EQ(MessageOf([&] { MXmlWriter::Write(deep, stream); }), "XML nesting is deeper than 256 levels.");
  EXPECT_EQ(MessageOf([&] { MXmlWriter::Write(KnownTree(), stream, true, "ebcdic"); }),
            "No codec found for encoding ebcdic.");
}

TEST(MXmlDocumentTest, RandomTreesReadBackEqualInEveryFormAndEncoding)
{
  const char* encodings[] = {"utf-8", "UTF-16", "windows-1252"};
  for (unsigned seed = 1; seed <= 60; ++seed)
  {
    const MXmlItem tree = TreeMaker(seed).Make(4);
    for (const bool compact : {true, false})
    {
      for (const char* encoding : encodings)
      {
        const std::string bytes = Written(tree, compact, MString::FromLiteral(encoding));
        EXPECT_TRUE(Parsed(bytes) == tree)
            << "seed " << seed << (compact ? " compact " : " indented ") << encoding << "\n"
            << bytes;
      }
    }
  }
}

TEST(MXmlReaderTest, ReadsHandWrittenFilesAndSwitchesTheCodecAfterTheDeclaration)
{
  const MXmlItem item = Parsed("\xEF\xBB\xBF<?xml version='1.0'?>\r\n<!DOCTYPE gui [ <!ENTITY x 'y'> ]>\r\n"
                               "<!-- head --><?render fast?>\r\n"
                               "<gui   Title = 'It&apos;s &#x263A;' size=\"&#49;0\" >\r\n"
                               "  <label>a &lt; b<!-- - -- --><![CDATA[<raw & ]]] text>]]></label>\r\n"
                               "  <panel/>\r\n"
                               "</gui >trailing text is never read <");
  EXPECT_EQ(item.GetName(), MString("gui"));
  EXPECT_EQ(item.GetAttribute("title", ""), MString(u"It's \u263a"));
  EXPECT_EQ(item.GetAttribute("size", ""), MString("10"));
  ASSERT_EQ(item.GetSubItemCount(), 2);
  EXPECT_EQ(item.GetSubItemAt(0).GetText().ToUTF8(), "a < b<raw & ]]] text>");
  EXPECT_EQ(item.GetText(), MString(""));

  // A declaration switches the codec after itself.
  // The declaration in 8-bit text, then the mark and the body in UTF-16.
  std::string bytes = "<?xml version=\"1.0\" encoding=\"utf-16\"?>";
  const std::u16string body = u"<n v=\"\u20ac\U0001F3B5\"/>";
  std::string body16;
  for (const char16_t c : body)
    body16 += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  const MXmlItem switched = Parsed(bytes + "\xFF\xFE" + body16);
  EXPECT_EQ(switched.GetAttribute("v", ""), MString(u"\u20ac\U0001F3B5"));
  EXPECT_EQ(ParseMessage(bytes + body16), "Invalid UTF8 header.");

  // An 8-bit code page: byte 0x80 is the euro sign there.
  const MXmlItem euro = Parsed("<?xml version=\"1.0\" encoding=\"Windows-1252\"?><n v=\"\x80\xE9\"/>");
  EXPECT_EQ(euro.GetAttribute("v", ""), MString(u"\u20ac\u00e9"));
}

TEST(MXmlReaderTest, MalformedDocumentsAndHostileInputFailWithTheirMessage)
{
  const struct
  {
    std::string input;
    const char* message;
  } cases[] = {
      {"", "The XML does not contain any elements."},
      {"<?xml version=\"1.0\"?>\n<!-- only a comment -->\n", "The XML does not contain any elements."},
      {"< a/>", "No element name found."},
      {"<a><></a>", "No element name found."},
      {"<a></ a>", "Invalid closing element syntax."},
      {"<a></a b>", "Invalid closing element syntax."},
      {"</a>", "Invalid closing element syntax."},
      {"<a><!-x--></a>", "Invalid special element sequence."},
      {"<a><![CDATX[x]]></a>", "Invalid special element sequence."},
      {"<a><!></a>", "Invalid special element sequence."},
      {"<a b=\"1\" c></a>", "Invalid character found where attribute expected."},
      {"<a &b=\"1\"/>", "Invalid character found where attribute expected."},
      {"<a b=1/>", "Invalid character found where attribute expected."},
      {"<a =\"1\"/>", "Special character found where attribute expected."},
      {"<a \"x\"/>", "Special character found where attribute expected."},
      {"<a/ >", "Invalid element finishing sequence."},
      {"<?xml version=\"1.0\" ?x><a/>", "Invalid element finishing sequence."},
      {"<a><b></a>", "Closing element \"a\" does not match the open element."},
      {"<a>&unknown;</a>", "Invalid entity reference \"&unknown\"."},
      {"<a>&#xD800;</a>", "Invalid entity reference \"&#xD800\"."},
      {"<a>&#1114112;</a>", "Invalid entity reference \"&#1114112\"."},
      {"<a>&amp</a>", "Invalid entity reference \"&amp\"."},
      {"<a>&" + std::string(40, 'x') + ";</a>",
       "Invalid entity reference \"&xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\"."},
      {"text<a/>", "Text found outside the root element."},
      {"<?xml version=\"1.0\" encoding=\"koi8-r\"?><a/>", "No codec found for encoding koi8-r."},
      {"<?xml version=\"1.0\" encoding=\"us-ascii\"?><a>\xE9</a>", "Invalid character for ASCII encoding."},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParseMessage(c.input), c.message) << c.input;

  // Hostile input ends in a clear exception.
  const std::string deep256 = [] {
    std::string s;
    for (int i = 0; i < 256; ++i)
      s += "<a>";
    for (int i = 0; i < 256; ++i)
      s += "</a>";
    return s;
  }();
  EXPECT_NO_THROW(Parsed(deep256));
  const std::string tooDeep = "<x>" + deep256 + "</x>";
  const std::string veryDeep = [] {
    std::string s;
    for (int i = 0; i < 200000; ++i)
      s += "<a>";
    return s;
  }();
  const struct
  {
    std::string input;
    const char* message;
  } hostile[] = {
      {tooDeep, "XML nesting is deeper than 256 levels."},
      {veryDeep, "XML nesting is deeper than 256 levels."},
      {"<a>", "Unexpected end of XML input."},
      {"<a b=\"never closed/>", "Unexpected end of XML input."},
      {"<a><!-- never closed </a>", "Unexpected end of XML input."},
      {"<a><![CDATA[ never closed </a>", "Unexpected end of XML input."},
      {"<a><?pi never closed </a>", "Unexpected end of XML input."},
      {"<a><!DOCTYPE never closed", "Unexpected end of XML input."},
      {"<a", "Unexpected end of XML input."},
      {"<a>&amp", "Unexpected end of XML input."},
      {"<a>\xE2\x82", "Unexpected end of XML input."},
      {"<a\xFF/>", "Invalid UTF-8 sequence."},
      {"<a>\xC3</a>", "Invalid UTF-8 sequence."},
      {"<a>\xC0\xAF</a>", "Invalid UTF-8 sequence."},
      {"<a>\xED\xA0\x80</a>", "Invalid UTF-8 sequence."},
      {"<a>\xF4\x90\x80\x80</a>", "Invalid UTF-8 sequence."},
      {std::string("\xFF\xFE<\0a\0>\0\x00\xDC/>", 12), "Invalid UTF-16 sequence."},
      {std::string("\xFF\xFE<\0a\0", 6), "Unexpected end of XML input."},
      {std::string("\xFF\xFE<\0a\0/\0>", 9), "Unexpected end of XML input."},
  };
  for (const auto& c : hostile)
    EXPECT_EQ(ParseMessage(c.input), c.message) << c.input.substr(0, 60);
}

TEST(MEncodingTest, CodecsAreFoundByAnyOfTheirNamesAndTheUnicodeOnesKeepEveryScalarValue)
{
  const struct
  {
    const char* name;
    const char* canonical;
  } cases[] = {{"utf8", "utf-8"},          {"UTF-8", "utf-8"},       {"Utf16", "utf-16"},
               {"utf-16", "utf-16"},       {"US-ASCII", "us-ascii"}, {"ascii", "us-ascii"},
               {"cp1252", "windows-1252"}, {"Latin1", "iso-8859-1"}, {"ISO-8859-1", "iso-8859-1"}};
  for (const auto& c : cases)
    EXPECT_EQ(MEncoding::GetCodec(MString::FromLiteral(c.name)).GetName().ToUTF8(), c.canonical) << c.name;
  EXPECT_EQ(MessageOf([] { MEncoding::GetCodec("utf-"); }), "No codec found for encoding utf-.");

  // Every scalar value survives the Unicode codecs.
  for (const char* name : {"utf-8", "utf-16"})
  {
    const MEncoding::Codec& codec = MEncoding::GetCodec(MString::FromLiteral(name));
    for (char32_t c = 1; c <= 0x10FFFF; c += (c < 0x3000 ? 1 : 97))
    {
      if (c >= 0xD800 && c <= 0xDFFF)
        continue;
      std::uint8_t bytes[4];
      const std::size_t length = codec.Encode(c, bytes);
      ASSERT_GT(length, 0u);
      char32_t back = 0;
      // One byte short is "need more", never a misread.
      EXPECT_EQ(codec.Decode(bytes, length - 1, back), 0u);
      ASSERT_EQ(codec.Decode(bytes, length, back), length);
      ASSERT_EQ(back, c) << name;
    }
  }
}

TEST(MXmlDocumentTest, EverySeedDocumentOfTheFuzzTargetsReads)
{
  namespace fs = std::filesystem;
  int documents = 0;
  for (const char* target : {"fuzz_xml_reader", "fuzz_zlib_xml"})
  {
    const bool compressed = std::string(target) == "fuzz_zlib_xml";
    for (const auto& entry :
         fs::directory_iterator(fs::path(TONVERA_SOURCE_DIR) / "fuzz" / "corpus" / target))
    {
      MStdFileStream file(MString::FromUTF8(entry.path().string()), MStdFileStream::Mode::Read);
      MXmlItem item;
      if (compressed)
        EXPECT_NO_THROW(MXmlReader::ReadCompressed(file, item)) << entry.path();
      else
        EXPECT_NO_THROW(MXmlReader::Read(file, item)) << entry.path();
      EXPECT_FALSE(item.GetName().IsEmpty()) << entry.path();
      ++documents;
    }
  }
  EXPECT_GE(documents, 10);
}
