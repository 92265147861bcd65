#include "base/MEncoding.h"

#include "base/MStream.h"
#include "base/MStreamFailure.h"

#include <cstring>

namespace
{
// Bytes 0x80..0x9F of the Western European Windows code page; the five unassigned bytes map to
// the C1 control of the same value, as the system conversion does. 0xA0..0xFF equal Latin-1.
constexpr char16_t kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

struct UpperHalves
{
  char16_t windows1252[128];
  char16_t latin1[128];

  UpperHalves()
  {
    for (int i = 0; i < 128; ++i)
    {
      latin1[i] = static_cast<char16_t>(0x80 + i);
      windows1252[i] = i < 32 ? kWindows1252High[i] : static_cast<char16_t>(0x80 + i);
    }
  }
};

const UpperHalves s_upperHalves;

const MEncoding::ASCIICodec s_ascii;
const MEncoding::UTF8Codec s_utf8;
const MEncoding::UTF16Codec s_utf16;
const MEncoding::TableCodec s_tableCodecs[] = {
    {"windows-1252;cp1252", s_upperHalves.windows1252},
    {"iso-8859-1;latin1;latin-1", s_upperHalves.latin1},
};

bool NameInList(const MString& name, const char* list)
{
  const char* start = list;
  for (;;)
  {
    const char* end = std::strchr(start, ';');
    const std::size_t length = end != nullptr ? static_cast<std::size_t>(end - start) : std::strlen(start);
    if (MString::FromNarrow(std::string_view(start, length)).EqualsName(name) &&
        static_cast<std::size_t>(name.Length()) == length)
      return true;
    if (end == nullptr)
      return false;
    start = end + 1;
  }
}

bool IsSurrogate(char32_t c)
{
  return c >= 0xD800 && c <= 0xDFFF;
}
} // namespace

std::size_t MEncoding::Codec::ReadHeader(const std::uint8_t*, std::size_t) const
{
  return 0;
}

void MEncoding::Codec::WriteHeader(MStream&) const {}

const MEncoding::Codec& MEncoding::GetCodec(const MString& name)
{
  if (NameInList(name, "utf8;utf-8"))
    return s_utf8;
  if (NameInList(name, "utf16;utf-16"))
    return s_utf16;
  if (NameInList(name, "us-ascii;ascii"))
    return s_ascii;
  for (const TableCodec& codec : s_tableCodecs)
  {
    if (codec.Accepts(name))
      return codec;
  }
  MStreamFailure::Throw("No codec found for encoding {0}.", name);
}

std::size_t MEncoding::ASCIICodec::Decode(const std::uint8_t* bytes, std::size_t available,
                                          char32_t& character) const
{
  if (available < 1)
    return 0;
  if (bytes[0] > 127)
    MStreamFailure::Throw("Invalid character for ASCII encoding.");
  character = bytes[0];
  return 1;
}

std::size_t MEncoding::ASCIICodec::Encode(char32_t character, std::uint8_t* bytes) const
{
  if (character > 127)
    return 0;
  bytes[0] = static_cast<std::uint8_t>(character);
  return 1;
}

std::size_t MEncoding::UTF8Codec::Decode(const std::uint8_t* bytes, std::size_t available,
                                         char32_t& character) const
{
  if (available < 1)
    return 0;
  const std::uint8_t lead = bytes[0];
  if (lead < 0x80)
  {
    character = lead;
    return 1;
  }
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF)
  {
    length = 2;
    value = lead & 0x1F;
    minimum = 0x80;
  }
  else if (lead >= 0xE0 && lead <= 0xEF)
  {
    length = 3;
    value = lead & 0x0F;
    minimum = 0x800;
  }
  else if (lead >= 0xF0 && lead <= 0xF4)
  {
    length = 4;
    value = lead & 0x07;
    minimum = 0x10000;
  }
  else
  {
    MStreamFailure::Throw("Invalid UTF-8 sequence.");
  }
  // Check the continuation bytes that are there before asking for more, so that a broken
  // sequence at the very end reads as broken rather than as cut short.
  for (std::size_t i = 1; i < length && i < available; ++i)
  {
    if ((bytes[i] & 0xC0) != 0x80)
      MStreamFailure::Throw("Invalid UTF-8 sequence.");
  }
  if (available < length)
    return 0;
  for (std::size_t i = 1; i < length; ++i)
    value = (value << 6) | (bytes[i] & 0x3F);
  if (value < minimum || value > 0x10FFFF || IsSurrogate(value))
    MStreamFailure::Throw("Invalid UTF-8 sequence.");
  character = value;
  return length;
}

std::size_t MEncoding::UTF8Codec::Encode(char32_t character, std::uint8_t* bytes) const
{
  if (character < 0x80)
  {
    bytes[0] = static_cast<std::uint8_t>(character);
    return 1;
  }
  if (character < 0x800)
  {
    bytes[0] = static_cast<std::uint8_t>(0xC0 | (character >> 6));
    bytes[1] = static_cast<std::uint8_t>(0x80 | (character & 0x3F));
    return 2;
  }
  if (IsSurrogate(character) || character > 0x10FFFF)
    return 0;
  if (character < 0x10000)
  {
    bytes[0] = static_cast<std::uint8_t>(0xE0 | (character >> 12));
    bytes[1] = static_cast<std::uint8_t>(0x80 | ((character >> 6) & 0x3F));
    bytes[2] = static_cast<std::uint8_t>(0x80 | (character & 0x3F));
    return 3;
  }
  bytes[0] = static_cast<std::uint8_t>(0xF0 | (character >> 18));
  bytes[1] = static_cast<std::uint8_t>(0x80 | ((character >> 12) & 0x3F));
  bytes[2] = static_cast<std::uint8_t>(0x80 | ((character >> 6) & 0x3F));
  bytes[3] = static_cast<std::uint8_t>(0x80 | (character & 0x3F));
  return 4;
}

std::size_t MEncoding::UTF16Codec::Decode(const std::uint8_t* bytes, std::size_t available,
                                          char32_t& character) const
{
  if (available < 2)
    return 0;
  const char32_t first = static_cast<char32_t>(bytes[0] | (bytes[1] << 8));
  if (!IsSurrogate(first))
  {
    character = first;
    return 2;
  }
  if (first >= 0xDC00)
    MStreamFailure::Throw("Invalid UTF-16 sequence.");
  if (available < 4)
    return 0;
  const char32_t second = static_cast<char32_t>(bytes[2] | (bytes[3] << 8));
  if (second < 0xDC00 || second > 0xDFFF)
    MStreamFailure::Throw("Invalid UTF-16 sequence.");
  character = 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
  return 4;
}

std::size_t MEncoding::UTF16Codec::Encode(char32_t character, std::uint8_t* bytes) const
{
  if (IsSurrogate(character) || character > 0x10FFFF)
    return 0;
  if (character < 0x10000)
  {
    bytes[0] = static_cast<std::uint8_t>(character & 0xFF);
    bytes[1] = static_cast<std::uint8_t>(character >> 8);
    return 2;
  }
  const char32_t offset = character - 0x10000;
  const char32_t high = 0xD800 + (offset >> 10);
  const char32_t low = 0xDC00 + (offset & 0x3FF);
  bytes[0] = static_cast<std::uint8_t>(high & 0xFF);
  bytes[1] = static_cast<std::uint8_t>(high >> 8);
  bytes[2] = static_cast<std::uint8_t>(low & 0xFF);
  bytes[3] = static_cast<std::uint8_t>(low >> 8);
  return 4;
}

std::size_t MEncoding::UTF16Codec::ReadHeader(const std::uint8_t* bytes, std::size_t available) const
{
  if (available < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE)
    MStreamFailure::Throw("Invalid UTF8 header.");
  return 2;
}

void MEncoding::UTF16Codec::WriteHeader(MStream& stream) const
{
  const std::uint8_t mark[2] = {0xFF, 0xFE};
  stream.Write(mark, sizeof mark);
}

std::size_t MEncoding::TableCodec::Decode(const std::uint8_t* bytes, std::size_t available,
                                          char32_t& character) const
{
  if (available < 1)
    return 0;
  character = bytes[0] < 0x80 ? bytes[0] : m_upperHalf[bytes[0] - 0x80];
  return 1;
}

std::size_t MEncoding::TableCodec::Encode(char32_t character, std::uint8_t* bytes) const
{
  if (character < 0x80)
  {
    bytes[0] = static_cast<std::uint8_t>(character);
    return 1;
  }
  for (int i = 0; i < 128; ++i)
  {
    if (m_upperHalf[i] == character)
    {
      bytes[0] = static_cast<std::uint8_t>(0x80 + i);
      return 1;
    }
  }
  return 0;
}

MString MEncoding::TableCodec::GetName() const
{
  const char* end = std::strchr(m_names, ';');
  return MString::FromNarrow(end != nullptr
                                 ? std::string_view(m_names, static_cast<std::size_t>(end - m_names))
                                 : std::string_view(m_names));
}

bool MEncoding::TableCodec::Accepts(const MString& name) const
{
  return NameInList(name, m_names);
}
