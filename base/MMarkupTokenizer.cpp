#include "base/MMarkupTokenizer.h"

#include "base/MMarkupCharacters.h"
#include "base/MStreamFailure.h"

#include <string>

namespace
{
// Past the last character; outside UTF-16, so that a U+FFFF in the text is read as text.
constexpr char32_t kEnd = 0xFFFFFFFF;

[[noreturn]] void Fail(const char* message)
{
  MStreamFailure::Throw(message);
}

using MMarkupCharacters::IsBlank;
using MMarkupCharacters::IsSpecial;

bool IsNameCharacter(char32_t c)
{
  return MMarkupCharacters::IsNameCharacter(c, kEnd);
}
} // namespace

MMarkupTokenizer::MMarkupTokenizer(const MString& text, bool lenient)
    : m_text(text.ToUTF16()), m_lenient(lenient)
{}

char32_t MMarkupTokenizer::Peek(std::int32_t ahead) const
{
  const std::size_t at = static_cast<std::size_t>(m_position) + static_cast<std::size_t>(ahead);
  return at < m_text.size() ? m_text[at] : kEnd;
}

char16_t MMarkupTokenizer::Get()
{
  if (static_cast<std::size_t>(m_position) >= m_text.size())
    Fail("Unexpected end of XML input.");
  return m_text[static_cast<std::size_t>(m_position++)];
}

void MMarkupTokenizer::SkipBlanks()
{
  while (IsBlank(Peek()))
    ++m_position;
}

MString MMarkupTokenizer::ReadName()
{
  const std::int32_t start = m_position;
  while (IsNameCharacter(Peek()))
    ++m_position;
  return MString(std::u16string_view(m_text).substr(static_cast<std::size_t>(start),
                                                    static_cast<std::size_t>(m_position - start)));
}

bool MMarkupTokenizer::Next(Token& token)
{
  token.name.Clear();
  token.text.Clear();
  token.attributes.clear();
  token.selfClosing = false;
  for (;;)
  {
    const char32_t c = Peek();
    if (c == kEnd)
    {
      token.type = TokenType::End;
      return false;
    }
    if (c != u'<')
    {
      ReadText(token);
      return true;
    }
    ++m_position;
    const char32_t first = Peek();
    if (first == u'?' || first == u'!')
    {
      if (SkipSpecial())
        continue;
    }
    if (first == u'/')
    {
      ++m_position;
      if (!IsNameCharacter(Peek()))
        Fail("Invalid closing element syntax.");
      token.type = TokenType::EndTag;
      token.name = ReadName();
      SkipBlanks();
      if (Get() != u'>')
        Fail("Invalid closing element syntax.");
      return true;
    }
    if (!IsNameCharacter(first))
      Fail("No element name found.");
    token.type = TokenType::StartTag;
    token.name = ReadName();
    ReadAttributes(token);
    return true;
  }
}

void MMarkupTokenizer::ReadAttributes(Token& token)
{
  for (;;)
  {
    SkipBlanks();
    const char16_t c = Get();
    if (c == u'/')
    {
      if (Get() != u'>')
        Fail("Invalid element finishing sequence.");
      token.selfClosing = true;
      return;
    }
    if (c == u'>')
      return;
    if (IsSpecial(c))
      Fail("Special character found where attribute expected.");
    if (!IsNameCharacter(c))
      Fail("Invalid character found where attribute expected.");
    --m_position;
    MAttribute attribute{ReadName(), MString()};
    SkipBlanks();
    if (Peek() != u'=')
    {
      if (!m_lenient)
        Fail("Invalid character found where attribute expected.");
      attribute.value = "1";
      token.attributes.push_back(std::move(attribute));
      continue;
    }
    ++m_position;
    SkipBlanks();
    const char32_t quote = Peek();
    std::u16string value;
    if (quote == u'"' || quote == u'\'')
    {
      ++m_position;
      for (char16_t v = Get(); v != quote; v = Get())
      {
        if (v == u'&' && !ReadEntity(value))
          value += v;
        else if (v != u'&')
          value += v;
      }
    }
    else
    {
      if (!m_lenient)
        Fail("Invalid character found where attribute expected.");
      // Unquoted: up to a blank, ">" or the "/>" that ends the tag.
      for (char32_t v = Peek(); v != kEnd && !IsBlank(v) && v != u'>' && !(v == u'/' && Peek(1) == u'>');
           v = Peek())
      {
        ++m_position;
        if (v == u'&' && !ReadEntity(value))
          value += u'&';
        else if (v != u'&')
          value += static_cast<char16_t>(v);
      }
    }
    attribute.value = MString(std::u16string_view(value));
    token.attributes.push_back(std::move(attribute));
  }
}

void MMarkupTokenizer::ReadText(Token& token)
{
  token.type = TokenType::Text;
  std::u16string text;
  for (char32_t c = Peek(); c != kEnd && c != u'<'; c = Peek())
  {
    ++m_position;
    if (c == u'&' && ReadEntity(text))
      continue;
    text += static_cast<char16_t>(c);
  }
  token.text = MString(std::u16string_view(text));
}

bool MMarkupTokenizer::SkipSpecial()
{
  const char16_t c = Get();
  if (c == u'?')
  {
    for (;;)
    {
      if (Get() == u'?' && Peek() == u'>')
      {
        ++m_position;
        return true;
      }
    }
  }
  // c == '!'
  const char16_t d = Get();
  if (d == u'-')
  {
    if (Get() != u'-')
      Fail("Invalid special element sequence.");
    int dashes = 0;
    for (;;)
    {
      const char16_t e = Get();
      if (e == u'>' && dashes >= 2)
        return true;
      dashes = e == u'-' ? dashes + 1 : 0;
    }
  }
  if ((d >= u'A' && d <= u'Z') || (d >= u'a' && d <= u'z'))
  {
    int depth = 0;
    for (;;)
    {
      const char16_t e = Get();
      if (e == u'[')
        ++depth;
      else if (e == u']')
        --depth;
      else if (e == u'>' && depth <= 0)
        return true;
    }
  }
  // CDATA sections are not skipped: the caller sees them as an error in both forms.
  Fail("Invalid special element sequence.");
}

bool MMarkupTokenizer::ReadEntity(std::u16string& out)
{
  static constexpr std::int32_t kLongest = 32;
  std::string name;
  std::int32_t at = m_position;
  for (;;)
  {
    const std::size_t index = static_cast<std::size_t>(at);
    if (index >= m_text.size())
    {
      if (m_lenient)
        return false;
      Fail("Unexpected end of XML input.");
    }
    const char16_t c = m_text[index];
    ++at;
    if (c == u';')
      break;
    if (c > 127 || IsBlank(c) || c == u'<' || c == u'&' || static_cast<std::int32_t>(name.size()) >= kLongest)
    {
      if (m_lenient)
        return false;
      MStreamFailure::Throw("Invalid entity reference \"&{0}\".", MString::FromNarrow(name));
    }
    name += static_cast<char>(c);
  }
  static const struct
  {
    const char* name;
    char16_t character;
  } kNamed[] = {{"amp", u'&'}, {"lt", u'<'}, {"gt", u'>'}, {"apos", u'\''}, {"quot", u'"'}};
  for (const auto& entity : kNamed)
  {
    if (name == entity.name)
    {
      out += entity.character;
      m_position = at;
      return true;
    }
  }
  char32_t value = 0;
  bool valid = name.size() >= 2 && name[0] == '#';
  const bool hexadecimal = valid && (name[1] == 'x' || name[1] == 'X');
  const std::size_t start = hexadecimal ? 2 : 1;
  valid = valid && start < name.size();
  for (std::size_t i = start; valid && i < name.size(); ++i)
  {
    const char d = name[i];
    int digit = -1;
    if (d >= '0' && d <= '9')
      digit = d - '0';
    else if (hexadecimal && d >= 'a' && d <= 'f')
      digit = d - 'a' + 10;
    else if (hexadecimal && d >= 'A' && d <= 'F')
      digit = d - 'A' + 10;
    valid = digit >= 0;
    value = value * (hexadecimal ? 16 : 10) + static_cast<char32_t>(digit < 0 ? 0 : digit);
    valid = valid && value <= 0x10FFFF;
  }
  valid = valid && value != 0 && !(value >= 0xD800 && value <= 0xDFFF);
  if (!valid)
  {
    if (m_lenient)
      return false;
    MStreamFailure::Throw("Invalid entity reference \"&{0}\".", MString::FromNarrow(name));
  }
  if (value < 0x10000)
  {
    out += static_cast<char16_t>(value);
  }
  else
  {
    value -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (value >> 10));
    out += static_cast<char16_t>(0xDC00 + (value & 0x3FF));
  }
  m_position = at;
  return true;
}
