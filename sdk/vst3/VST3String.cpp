#include "sdk/vst3/VST3String.h"

namespace Steinberg
{
namespace
{
constexpr char32_t kReplacement = 0xFFFD;

/// Decodes one UTF-8 character at `pos` and advances it; malformed bytes yield U+FFFD and
/// advance by one, so decoding always makes progress.
char32_t DecodeUtf8(std::string_view text, size_t& pos)
{
  const auto lead = static_cast<unsigned char>(text[pos]);
  int length = 0;
  char32_t code = 0;
  if (lead < 0x80)
  {
    ++pos;
    return lead;
  }
  if ((lead & 0xE0) == 0xC0)
  {
    length = 2;
    code = lead & 0x1F;
  }
  else if ((lead & 0xF0) == 0xE0)
  {
    length = 3;
    code = lead & 0x0F;
  }
  else if ((lead & 0xF8) == 0xF0)
  {
    length = 4;
    code = lead & 0x07;
  }
  else
  {
    ++pos;
    return kReplacement;
  }
  if (pos + length > text.size())
  {
    ++pos;
    return kReplacement;
  }
  for (int i = 1; i < length; ++i)
  {
    const auto next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80)
    {
      ++pos;
      return kReplacement;
    }
    code = (code << 6) | (next & 0x3F);
  }
  constexpr char32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
  pos += length;
  if (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
  {
    return kReplacement; // overlong form, out of range or an encoded surrogate
  }
  return code;
}

/// Decodes one UTF-16 character at `pos` and advances it; a lone surrogate yields U+FFFD.
char32_t DecodeUtf16(std::u16string_view text, size_t& pos)
{
  const char32_t unit = text[pos++];
  if (unit >= 0xD800 && unit <= 0xDBFF && pos < text.size() && text[pos] >= 0xDC00 && text[pos] <= 0xDFFF)
  {
    return 0x10000 + ((unit - 0xD800) << 10) + (text[pos++] - 0xDC00);
  }
  if (unit >= 0xD800 && unit <= 0xDFFF)
  {
    return kReplacement;
  }
  return unit;
}

int EncodeUtf8(char32_t code, char8 out[4])
{
  if (code < 0x80)
  {
    out[0] = static_cast<char8>(code);
    return 1;
  }
  if (code < 0x800)
  {
    out[0] = static_cast<char8>(0xC0 | (code >> 6));
    out[1] = static_cast<char8>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000)
  {
    out[0] = static_cast<char8>(0xE0 | (code >> 12));
    out[1] = static_cast<char8>(0x80 | ((code >> 6) & 0x3F));
    out[2] = static_cast<char8>(0x80 | (code & 0x3F));
    return 3;
  }
  out[0] = static_cast<char8>(0xF0 | (code >> 18));
  out[1] = static_cast<char8>(0x80 | ((code >> 12) & 0x3F));
  out[2] = static_cast<char8>(0x80 | ((code >> 6) & 0x3F));
  out[3] = static_cast<char8>(0x80 | (code & 0x3F));
  return 4;
}

/// Appends one character as UTF-16 if it fits before the terminator; false when it does not.
bool PutUtf16(TChar* dest, int32 capacity, int32& written, char32_t code)
{
  const int32 units = code >= 0x10000 ? 2 : 1;
  if (written + units > capacity - 1)
  {
    return false;
  }
  if (units == 2)
  {
    dest[written++] = static_cast<TChar>(0xD800 + ((code - 0x10000) >> 10));
    dest[written++] = static_cast<TChar>(0xDC00 + ((code - 0x10000) & 0x3FF));
  }
  else
  {
    dest[written++] = static_cast<TChar>(code);
  }
  return true;
}

bool PutUtf8(char8* dest, int32 capacity, int32& written, char32_t code)
{
  char8 bytes[4];
  const int length = EncodeUtf8(code, bytes);
  if (written + length > capacity - 1)
  {
    return false;
  }
  for (int i = 0; i < length; ++i)
  {
    dest[written++] = bytes[i];
  }
  return true;
}
} // namespace

int32 StringLength16(const TChar* text, int32 capacity)
{
  int32 length = 0;
  while (text != nullptr && length < capacity && text[length] != 0)
  {
    ++length;
  }
  return length;
}

int32 CopyString16(TChar* dest, int32 capacity, std::u16string_view source)
{
  if (dest == nullptr || capacity <= 0)
  {
    return 0;
  }
  int32 written = 0;
  for (size_t pos = 0; pos < source.size();)
  {
    if (!PutUtf16(dest, capacity, written, DecodeUtf16(source, pos)))
    {
      break;
    }
  }
  dest[written] = 0;
  return written;
}

int32 CopyUtf8ToString16(TChar* dest, int32 capacity, std::string_view utf8)
{
  if (dest == nullptr || capacity <= 0)
  {
    return 0;
  }
  int32 written = 0;
  for (size_t pos = 0; pos < utf8.size();)
  {
    if (!PutUtf16(dest, capacity, written, DecodeUtf8(utf8, pos)))
    {
      break;
    }
  }
  dest[written] = 0;
  return written;
}

int32 CopyString8(char8* dest, int32 capacity, std::string_view utf8)
{
  if (dest == nullptr || capacity <= 0)
  {
    return 0;
  }
  int32 written = 0;
  for (size_t pos = 0; pos < utf8.size();)
  {
    char32_t code = DecodeUtf8(utf8, pos);
    if (code == kReplacement)
    {
      code = '?';
    }
    if (!PutUtf8(dest, capacity, written, code))
    {
      break;
    }
  }
  dest[written] = 0;
  return written;
}

int32 CopyString16ToUtf8(char8* dest, int32 capacity, std::u16string_view source)
{
  if (dest == nullptr || capacity <= 0)
  {
    return 0;
  }
  int32 written = 0;
  for (size_t pos = 0; pos < source.size();)
  {
    char32_t code = DecodeUtf16(source, pos);
    if (code == kReplacement)
    {
      code = '?';
    }
    if (!PutUtf8(dest, capacity, written, code))
    {
      break;
    }
  }
  dest[written] = 0;
  return written;
}

std::string String16ToUtf8(const TChar* text, int32 capacity)
{
  const std::u16string_view source(text, static_cast<size_t>(StringLength16(text, capacity)));
  std::string result;
  for (size_t pos = 0; pos < source.size();)
  {
    char8 bytes[4];
    const int length = EncodeUtf8(DecodeUtf16(source, pos), bytes);
    result.append(bytes, static_cast<size_t>(length));
  }
  return result;
}
} // namespace Steinberg
