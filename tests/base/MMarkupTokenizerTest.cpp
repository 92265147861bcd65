// The mark-up tokenizer: tokens of both forms, and the reader's messages for malformed mark-up.

#include "base/MMarkupTokenizer.h"
#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
// One line per token: T[text] S[name a=v /] E[name].
std::string Dump(const char* text, bool lenient)
{
  MMarkupTokenizer tokenizer(MString::FromUTF8(text), lenient);
  MMarkupTokenizer::Token token;
  std::string out;
  while (tokenizer.Next(token))
  {
    if (token.type == MMarkupTokenizer::TokenType::Text)
      out += "T[" + token.text.ToUTF8() + "]";
    else if (token.type == MMarkupTokenizer::TokenType::EndTag)
      out += "E[" + token.name.ToUTF8() + "]";
    else
    {
      out += "S[" + token.name.ToUTF8();
      for (const MAttribute& attribute : token.attributes)
        out += " " + attribute.name.ToUTF8() + "=" + attribute.value.ToUTF8();
      out += token.selfClosing ? " /]" : "]";
    }
  }
  return out;
}

TEST(MMarkupTokenizer, TokensOfBothForms)
{
  const struct
  {
    const char* text;
    bool lenient;
    const char* tokens;
  } kCases[] = {
      {"<a x=\"1\" y='2'>t&amp;&#65;&#x42;</a>", false, "S[a x=1 y=2]T[t&AB]E[a]"},
      {"<img icon=right width=100%/>", true, "S[img icon=right width=100% /]"},
      {"<p singleline=1>x<br/>", true, "S[p singleline=1]T[x]S[br /]"},
      {"<td autosize>", true, "S[td autosize=1]"},
      {"dry & wet &foo; &#0; &", true, "T[dry & wet &foo; &#0; &]"},
      {"a<!-- <b> -->b<?pi x?>c<!DOCTYPE x [<!ENTITY y>]>d", false, "T[a]T[b]T[c]T[d]"},
      {"<center invert=1 singleline=1><l2>", true, "S[center invert=1 singleline=1]S[l2]"},
      {"<x a = \"q&lt;\" >", false, "S[x a=q<]"},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(Dump(c.text, c.lenient), c.tokens) << c.text;
}

TEST(MMarkupTokenizer, MalformedMarkupThrowsTheReadersMessages)
{
  const struct
  {
    const char* text;
    bool lenient;
    const char* message;
  } kCases[] = {
      {"a < b", true, "No element name found."},
      {"</ x>", true, "Invalid closing element syntax."},
      {"</x y>", true, "Invalid closing element syntax."},
      {"<x a=1>", false, "Invalid character found where attribute expected."},
      {"<x a>", false, "Invalid character found where attribute expected."},
      {"<x =1>", true, "Special character found where attribute expected."},
      {"<x /a>", true, "Invalid element finishing sequence."},
      {"<x a=\"1", true, "Unexpected end of XML input."},
      {"<!-- open", true, "Unexpected end of XML input."},
      {"<![CDATA[x]]>", true, "Invalid special element sequence."},
      {"&bogus;", false, "Invalid entity reference \"&bogus\"."},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(MessageOf([&] { Dump(c.text, c.lenient); }), c.message) << c.text;
}
} // namespace
