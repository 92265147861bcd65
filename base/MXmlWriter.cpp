#include "base/MXmlWriter.h"

#include "base/MEncoding.h"
#include "base/MStream.h"
#include "base/MStreamFailure.h"
#include "base/MXmlItem.h"
#include "base/MZLibStream.h"

#include <string>
#include <vector>

namespace
{
class Output
{
public:
  Output(MStream& stream, const MEncoding::Codec& codec) : m_stream(stream), m_codec(codec)
  {
    m_bytes.reserve(kPiece * codec.GetMaxCharSize());
  }

  void Put(char32_t character)
  {
    std::uint8_t encoded[4];
    std::size_t count = m_codec.Encode(character, encoded);
    if (count == 0)
      count = m_codec.Encode(U'?', encoded);
    m_bytes.insert(m_bytes.end(), encoded, encoded + count);
    if (++m_characters == kPiece)
      Flush();
  }

  void Put(const char* ascii)
  {
    for (; *ascii != 0; ++ascii)
      Put(static_cast<char32_t>(*ascii));
  }

  /// Names: as they are; characters the codec lacks become "?".
  void PutName(const MString& name)
  {
    ForEachCharacter(name, [this](char32_t c) { Put(c); });
  }

  /// Values and text: the six escapes, numeric references for characters the codec lacks.
  void PutEscaped(const MString& text)
  {
    ForEachCharacter(text, [this](char32_t c) {
      switch (c)
      {
      case U'&':
        Put("&amp;");
        return;
      case U'<':
        Put("&lt;");
        return;
      case U'>':
        Put("&gt;");
        return;
      case U'\'':
        Put("&apos;");
        return;
      case U'"':
        Put("&quot;");
        return;
      case U'\n':
        Put("&#10;");
        return;
      default:
        break;
      }
      std::uint8_t probe[4];
      if (m_codec.Encode(c, probe) > 0)
      {
        Put(c);
        return;
      }
      Put("&#");
      Put(std::to_string(static_cast<std::uint32_t>(c)).c_str());
      Put(";");
    });
  }

  void Flush()
  {
    if (!m_bytes.empty())
      m_stream.Write(m_bytes.data(), m_bytes.size());
    m_bytes.clear();
    m_characters = 0;
  }

private:
  static constexpr std::size_t kPiece = 1024;

  /// Walks the UTF-16 text by code point; a lone surrogate reads as U+FFFD.
  template <typename Visit>
  static void ForEachCharacter(const MString& text, Visit visit)
  {
    const std::int32_t length = text.Length();
    for (std::int32_t i = 0; i < length; ++i)
    {
      char32_t c = text.At(i);
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text.At(i + 1) >= 0xDC00 &&
          text.At(i + 1) <= 0xDFFF)
      {
        c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text.At(i + 1)) - 0xDC00);
        ++i;
      }
      else if (c >= 0xD800 && c <= 0xDFFF)
      {
        c = 0xFFFD;
      }
      visit(c);
    }
  }

  MStream& m_stream;
  const MEncoding::Codec& m_codec;
  std::vector<std::uint8_t> m_bytes;
  std::size_t m_characters = 0;
};

void CheckName(const MString& name)
{
  if (name.IsEmpty())
    MStreamFailure::Throw("XML entity cannot have empty name.");
}

void PutIndent(Output& output, int depth)
{
  for (int i = 0; i < depth; ++i)
    output.Put(U'\t');
}

void WriteItem(Output& output, const MXmlItem& item, bool compact, int depth)
{
  if (depth >= MXmlWriter::kMaxDepth)
    MStreamFailure::Throw("XML nesting is deeper than 256 levels.");
  CheckName(item.GetName());
  if (!compact)
    PutIndent(output, depth);
  output.Put(U'<');
  output.PutName(item.GetName());
  for (int i = 0; i < item.GetAttributeCount(); ++i)
  {
    const MAttribute& attribute = item.GetAttributeAt(i);
    CheckName(attribute.name);
    output.Put(U' ');
    output.PutName(attribute.name);
    output.Put("=\"");
    output.PutEscaped(attribute.value);
    output.Put(U'"');
  }
  const bool hasText = !item.GetText().IsEmpty();
  if (!hasText && item.GetSubItemCount() == 0)
  {
    output.Put("/>");
  }
  else
  {
    output.Put(U'>');
    output.PutEscaped(item.GetText());
    // Text and sub-items share one line: a line break there would become part of the text.
    const bool breakLines = !compact && !hasText;
    if (breakLines)
      output.Put(U'\n');
    for (int i = 0; i < item.GetSubItemCount(); ++i)
      WriteItem(output, item.GetSubItemAt(i), !breakLines, depth + 1);
    if (breakLines)
      PutIndent(output, depth);
    output.Put("</");
    output.PutName(item.GetName());
    output.Put(U'>');
  }
  if (!compact)
    output.Put(U'\n');
}
} // namespace

void MXmlWriter::Write(const MXmlItem& root, MStream& stream, bool compact, const MString& encoding)
{
  const MEncoding::Codec& codec = MEncoding::GetCodec(encoding);
  codec.WriteHeader(stream);
  Output output(stream, codec);
  output.Put("<?xml version=\"1.0\" encoding=\"");
  output.PutEscaped(encoding);
  output.Put("\"?>");
  if (!compact)
    output.Put(U'\n');
  WriteItem(output, root, compact, 0);
  output.Flush();
}

void MXmlWriter::WriteCompressed(const MXmlItem& root, MStream& stream)
{
  MZLibStream zlib(stream, MZLibStream::Direction::Writing, 100);
  Write(root, zlib, true, "utf-8");
  zlib.Finish();
}
