#include "base/MXmlReader.h"

#include "base/MEncoding.h"
#include "base/MMarkupCharacters.h"
#include "base/MStream.h"
#include "base/MStreamFailure.h"
#include "base/MXmlItem.h"
#include "base/MZLibStream.h"

#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr char32_t kEnd = 0xFFFFFFFF;

[[noreturn]] void Fail(const char* message)
{
  MStreamFailure::Throw(message);
}

[[noreturn]] void FailEnd()
{
  Fail("Unexpected end of XML input.");
}

using MMarkupCharacters::IsBlank;
using MMarkupCharacters::IsSpecial;

bool IsNameCharacter(char32_t c)
{
  return MMarkupCharacters::IsNameCharacter(c, kEnd);
}

void AppendCharacter(std::u16string& text, char32_t c)
{
  if (c < 0x10000)
  {
    text += static_cast<char16_t>(c);
    return;
  }
  c -= 0x10000;
  text += static_cast<char16_t>(0xD800 + (c >> 10));
  text += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
}

// Bytes of the stream, decoded one character at a time by the current codec. Decoding is lazy
// (at most one character of look-ahead), so the codec can change right after the declaration.
class Input
{
public:
  explicit Input(MStream& stream) : m_stream(stream) {}

  /// Makes at least `count` bytes readable unless the input ends first; answers how many are.
  std::size_t Ensure(std::size_t count)
  {
    if (m_end - m_position >= count || m_ended)
      return m_end - m_position;
    std::memmove(m_bytes, m_bytes + m_position, m_end - m_position);
    m_end -= m_position;
    m_position = 0;
    while (m_end < count && !m_ended)
    {
      const std::size_t got = m_stream.Read(m_bytes + m_end, sizeof m_bytes - m_end);
      if (got == 0)
        m_ended = true;
      m_end += got;
    }
    return m_end - m_position;
  }

  const std::uint8_t* Bytes() const { return m_bytes + m_position; }
  void Skip(std::size_t count) { m_position += count; }

  /// Switches the codec at the current byte and lets it read its mark.
  void SetCodec(const MEncoding::Codec& codec, bool readHeader)
  {
    m_codec = &codec;
    if (readHeader)
    {
      const std::size_t available = Ensure(MEncoding::kMaxHeaderSize);
      Skip(codec.ReadHeader(Bytes(), available));
    }
  }

  char32_t Peek()
  {
    if (!m_hasPeek)
    {
      const std::size_t available = Ensure(m_codec->GetMaxCharSize());
      if (available == 0)
      {
        m_peek = kEnd;
      }
      else
      {
        const std::size_t used = m_codec->Decode(Bytes(), available, m_peek);
        if (used == 0)
          FailEnd(); // the input ends inside a character
        Skip(used);
      }
      m_hasPeek = true;
    }
    return m_peek;
  }

  char32_t Get()
  {
    const char32_t c = Peek();
    if (c == kEnd)
      FailEnd();
    m_hasPeek = false;
    return c;
  }

  bool HasLookAhead() const { return m_hasPeek; }

private:
  MStream& m_stream;
  const MEncoding::Codec* m_codec = nullptr;
  std::uint8_t m_bytes[4096];
  std::size_t m_position = 0;
  std::size_t m_end = 0;
  bool m_ended = false;
  char32_t m_peek = 0;
  bool m_hasPeek = false;
};

class Parser
{
public:
  Parser(MStream& stream, MXmlItem& root) : m_input(stream), m_root(root) {}

  void Run()
  {
    DetectMark();
    while (!(m_rootSeen && m_stack.empty()))
    {
      const char32_t c = m_input.Peek();
      if (c == kEnd)
      {
        if (!m_stack.empty())
          FailEnd();
        break;
      }
      if (c == U'<')
      {
        m_input.Get();
        Markup();
      }
      else
      {
        CharacterData();
      }
    }
    if (!m_rootSeen)
      Fail("The XML does not contain any elements.");
  }

private:
  void DetectMark()
  {
    const std::size_t available = m_input.Ensure(MEncoding::kMaxHeaderSize);
    const std::uint8_t* bytes = m_input.Bytes();
    if (available >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
    {
      m_input.SetCodec(MEncoding::GetCodec("utf-16"), true);
      m_codecFromMark = true;
    }
    else if (available >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
    {
      m_input.Skip(3);
      m_input.SetCodec(MEncoding::GetCodec("utf-8"), false);
      m_codecFromMark = true;
    }
    else
    {
      m_input.SetCodec(MEncoding::GetCodec("utf-8"), true);
    }
  }

  void Markup()
  {
    const char32_t c = m_input.Get();
    if (c == U'?')
      ProcessingInstruction();
    else if (c == U'!')
      Special();
    else if (c == U'/')
      ClosingTag();
    else
      StartTag(c);
  }

  std::u16string ReadName(char32_t first)
  {
    std::u16string name;
    AppendCharacter(name, first);
    while (IsNameCharacter(m_input.Peek()))
      AppendCharacter(name, m_input.Get());
    return name;
  }

  void SkipBlanks()
  {
    while (IsBlank(m_input.Peek()))
      m_input.Get();
  }

  /// Reads attributes up to the end of a tag; answers true for "/>" (or "?>" of a declaration).
  bool ReadAttributes(std::vector<MAttribute>& attributes, bool declaration)
  {
    for (;;)
    {
      SkipBlanks();
      const char32_t c = m_input.Get();
      if (declaration ? c == U'?' : c == U'/')
      {
        if (m_input.Get() != U'>')
          Fail("Invalid element finishing sequence.");
        return true;
      }
      if (!declaration && c == U'>')
        return false;
      if (IsSpecial(c))
        Fail("Special character found where attribute expected.");
      if (!IsNameCharacter(c))
        Fail("Invalid character found where attribute expected.");
      const std::u16string name = ReadName(c);
      SkipBlanks();
      if (m_input.Get() != U'=')
        Fail("Invalid character found where attribute expected.");
      SkipBlanks();
      const char32_t quote = m_input.Get();
      if (quote != U'"' && quote != U'\'')
        Fail("Invalid character found where attribute expected.");
      std::u16string value;
      for (char32_t v = m_input.Get(); v != quote; v = m_input.Get())
      {
        if (v == U'&')
          ReadEntity(value);
        else
          AppendCharacter(value, v);
      }
      attributes.push_back(MAttribute{MString(name), MString(value)});
    }
  }

  void StartTag(char32_t first)
  {
    if (!IsNameCharacter(first))
      Fail("No element name found.");
    const MString name(ReadName(first));
    if (m_stack.size() >= static_cast<std::size_t>(MXmlReader::kMaxDepth))
      Fail("XML nesting is deeper than 256 levels.");
    if (++m_itemCount > MXmlReader::kMaxItems)
      Fail("XML document has too many elements.");
    MXmlItem* item = &m_root;
    if (m_stack.empty())
    {
      m_root.SetName(name);
      m_rootSeen = true;
    }
    else
    {
      item = &m_stack.back()->AddSubItem(name);
    }
    std::vector<MAttribute> attributes;
    const bool empty = ReadAttributes(attributes, false);
    item->SetAttributes(std::move(attributes));
    if (!empty)
    {
      m_stack.push_back(item);
      m_texts.emplace_back();
    }
  }

  void ClosingTag()
  {
    const char32_t first = m_input.Get();
    if (!IsNameCharacter(first))
      Fail("Invalid closing element syntax.");
    const MString name(ReadName(first));
    SkipBlanks();
    if (m_input.Get() != U'>' || m_stack.empty())
      Fail("Invalid closing element syntax.");
    MXmlItem& item = *m_stack.back();
    if (!item.GetName().EqualsName(name))
      MStreamFailure::Throw("Closing element \"{0}\" does not match the open element.", name);
    item.SetText(MString(m_texts.back()));
    m_stack.pop_back();
    m_texts.pop_back();
  }

  void ProcessingInstruction()
  {
    const char32_t first = m_input.Get();
    if (!IsNameCharacter(first))
      Fail("Invalid special element sequence.");
    const MString target(ReadName(first));
    if (target.EqualsName("xml") && !m_rootSeen && !m_declarationSeen)
    {
      m_declarationSeen = true;
      Declaration();
      return;
    }
    for (;;)
    {
      if (m_input.Get() == U'?' && m_input.Peek() == U'>')
      {
        m_input.Get();
        return;
      }
    }
  }

  void Declaration()
  {
    std::vector<MAttribute> attributes;
    ReadAttributes(attributes, true);
    if (m_codecFromMark)
      return;
    for (const MAttribute& attribute : attributes)
    {
      if (attribute.name.EqualsName("encoding"))
      {
        // The declaration ended with its ">" and nothing after it has been decoded yet.
        if (m_input.HasLookAhead())
          Fail("Invalid element finishing sequence.");
        m_input.SetCodec(MEncoding::GetCodec(attribute.value), true);
      }
    }
  }

  void Special()
  {
    const char32_t c = m_input.Get();
    if (c == U'-')
    {
      if (m_input.Get() != U'-')
        Fail("Invalid special element sequence.");
      int dashes = 0;
      for (;;)
      {
        const char32_t d = m_input.Get();
        if (d == U'>' && dashes >= 2)
          return;
        dashes = d == U'-' ? dashes + 1 : 0;
      }
    }
    if (c == U'[')
    {
      for (const char32_t expected : std::u32string_view(U"CDATA["))
      {
        if (m_input.Get() != expected)
          Fail("Invalid special element sequence.");
      }
      if (m_stack.empty())
        Fail("Text found outside the root element.");
      std::u16string& text = m_texts.back();
      int brackets = 0;
      for (;;)
      {
        const char32_t d = m_input.Get();
        if (d == U'>' && brackets >= 2)
        {
          text.resize(text.size() - 2); // the "]]" already appended
          return;
        }
        brackets = d == U']' ? brackets + 1 : 0;
        AppendCharacter(text, d);
      }
    }
    if ((c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z'))
    {
      // <!DOCTYPE ...> and the like, with an optional [...] internal part: skipped.
      int depth = 0;
      for (;;)
      {
        const char32_t d = m_input.Get();
        if (d == U'[')
          ++depth;
        else if (d == U']')
          --depth;
        else if (d == U'>' && depth <= 0)
          return;
      }
    }
    Fail("Invalid special element sequence.");
  }

  void CharacterData()
  {
    if (m_stack.empty())
    {
      SkipBlanks();
      const char32_t c = m_input.Peek();
      if (c != kEnd && c != U'<')
        Fail("Text found outside the root element.");
      return;
    }
    std::u16string segment;
    bool onlyBlanks = true;
    bool rawBreak = false;
    for (char32_t c = m_input.Peek(); c != kEnd && c != U'<'; c = m_input.Peek())
    {
      m_input.Get();
      if (c == U'&')
      {
        ReadEntity(segment);
        onlyBlanks = false;
        continue;
      }
      if (!IsBlank(c))
        onlyBlanks = false;
      else if (c == U'\n')
        rawBreak = true;
      AppendCharacter(segment, c);
    }
    if (!(onlyBlanks && rawBreak))
      m_texts.back() += segment;
  }

  void ReadEntity(std::u16string& text)
  {
    static constexpr std::size_t kLongest = 32;
    std::string name;
    for (;;)
    {
      const char32_t c = m_input.Get();
      if (c == U';')
        break;
      if (c > 127 || IsBlank(c) || c == U'<' || c == U'&' || name.size() >= kLongest)
        InvalidEntity(name);
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
        text += entity.character;
        return;
      }
    }
    if (name.size() < 2 || name[0] != '#')
      InvalidEntity(name);
    const bool hexadecimal = name[1] == 'x' || name[1] == 'X';
    const std::size_t start = hexadecimal ? 2 : 1;
    if (start >= name.size())
      InvalidEntity(name);
    char32_t value = 0;
    for (std::size_t i = start; i < name.size(); ++i)
    {
      const char d = name[i];
      int digit = -1;
      if (d >= '0' && d <= '9')
        digit = d - '0';
      else if (hexadecimal && d >= 'a' && d <= 'f')
        digit = d - 'a' + 10;
      else if (hexadecimal && d >= 'A' && d <= 'F')
        digit = d - 'A' + 10;
      if (digit < 0)
        InvalidEntity(name);
      value = value * (hexadecimal ? 16 : 10) + static_cast<char32_t>(digit);
      if (value > 0x10FFFF)
        InvalidEntity(name);
    }
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF))
      InvalidEntity(name);
    AppendCharacter(text, value);
  }

  [[noreturn]] static void InvalidEntity(const std::string& name)
  {
    MStreamFailure::Throw("Invalid entity reference \"&{0}\".", MString::FromNarrow(name));
  }

  Input m_input;
  MXmlItem& m_root;
  std::vector<MXmlItem*> m_stack;
  std::vector<std::u16string> m_texts;
  bool m_rootSeen = false;
  bool m_declarationSeen = false;
  bool m_codecFromMark = false;
  int m_itemCount = 0;
};
} // namespace

void MXmlReader::Read(MStream& stream, MXmlItem& root)
{
  root.Clear();
  Parser(stream, root).Run();
}

void MXmlReader::ReadCompressed(MStream& stream, MXmlItem& root)
{
  MZLibStream zlib(stream, MZLibStream::Direction::Reading);
  Read(zlib, root);
}
