// Character-set and number conversions of MString.

#include "base/MString.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>

namespace
{
constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t unit)
{
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t unit)
{
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendCodePoint(std::u16string& out, char32_t codePoint)
{
  if (codePoint >= 0x10000)
  {
    codePoint -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
  }
  else
  {
    out.push_back(static_cast<char16_t>(codePoint));
  }
}

// Reads one code point starting at `index` and advances it past the units used. An unpaired
// surrogate is answered as itself so that each caller decides what to do with it.
char32_t NextCodePoint(const MString& text, std::int32_t& index)
{
  char32_t unit = text.At(index++);
  if (IsHighSurrogate(unit) && index < text.Length() && IsLowSurrogate(text.At(index)))
  {
    char32_t low = text.At(index++);
    return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
  }
  return unit;
}

// Length of the numeric prefix of `text` starting at `start`: sign, digits, point, digits, and an
// exponent only when at least one digit follows it. Zero when no digit is present.
std::size_t NumericPrefix(std::string_view text, std::size_t start, bool allowFraction)
{
  std::size_t i = start;
  auto digitAt = [&](std::size_t k) { return k < text.size() && text[k] >= '0' && text[k] <= '9'; };
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
  {
    ++i;
  }
  std::size_t digits = 0;
  while (digitAt(i))
  {
    ++i;
    ++digits;
  }
  if (allowFraction && i < text.size() && text[i] == '.')
  {
    std::size_t afterPoint = i + 1;
    while (digitAt(afterPoint))
    {
      ++afterPoint;
      ++digits;
    }
    i = afterPoint;
  }
  if (digits == 0)
  {
    return 0;
  }
  if (allowFraction && i < text.size() && (text[i] == 'e' || text[i] == 'E'))
  {
    std::size_t exponent = i + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-'))
    {
      ++exponent;
    }
    if (digitAt(exponent))
    {
      while (digitAt(exponent))
      {
        ++exponent;
      }
      i = exponent;
    }
  }
  return i - start;
}

// Decides whether a decimal number that from_chars found out of range is too large (true) or too
// small (false), from the position of its first significant digit and its exponent.
bool OverflowsDouble(std::string_view number)
{
  std::size_t e = number.find_first_of("eE");
  std::string_view mantissa = number.substr(0, e);
  long exponent = 0;
  if (e != std::string_view::npos)
  {
    std::string_view digits = number.substr(e + 1);
    bool negative = !digits.empty() && digits[0] == '-';
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-'))
    {
      digits.remove_prefix(1);
    }
    auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), exponent);
    if (parsed.ec == std::errc::result_out_of_range)
    {
      exponent = 1000000;
    }
    exponent = negative ? -exponent : exponent;
  }
  std::size_t point = mantissa.find('.');
  std::string_view whole = mantissa.substr(0, point);
  std::size_t significant = whole.find_first_not_of('0');
  if (significant != std::string_view::npos)
  {
    return exponent + static_cast<long>(whole.size() - significant) > 0;
  }
  std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : mantissa.substr(point + 1);
  std::size_t zeros = fraction.find_first_not_of('0');
  return zeros != std::string_view::npos && exponent - static_cast<long>(zeros) > 0;
}

std::size_t SkipBlanks(std::string_view text)
{
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32 && text[i] != 0)
  {
    ++i;
  }
  return i;
}

MString PadLeft(std::string_view digits, int width, char16_t fill)
{
  MString result = MString::FromNarrow(digits);
  std::int32_t missing = std::min(width, 99) - result.Length();
  if (missing > 0)
  {
    std::u16string padding(static_cast<std::size_t>(missing), fill);
    // Zero fill goes between the sign and the digits, as a reader expects of "-0042".
    std::int32_t at = (fill == u'0' && result.At(0) == u'-') ? 1 : 0;
    result.Insert(at, MString(std::u16string_view(padding)));
  }
  return result;
}
} // namespace

MString MString::FromUTF8(std::string_view text)
{
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size())
  {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80)
    {
      out.push_back(lead);
      ++i;
      continue;
    }
    // Well-formed sequences per the Unicode table of valid byte ranges; anything else yields one
    // replacement for the maximal invalid prefix, and decoding resumes at the offending byte.
    // The second byte's range narrows for a few lead bytes, which excludes overlong forms,
    // encoded surrogates and values above U+10FFFF.
    int extra = 0;
    char32_t codePoint = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
    {
      extra = 1;
      codePoint = lead & 0x1F;
    }
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
      extra = 2;
      codePoint = lead & 0x0F;
      low = lead == 0xE0 ? 0xA0 : low;
      high = lead == 0xED ? 0x9F : high;
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
      extra = 3;
      codePoint = lead & 0x07;
      low = lead == 0xF0 ? 0x90 : low;
      high = lead == 0xF4 ? 0x8F : high;
    }
    else
    {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
      continue;
    }
    std::size_t next = i + 1;
    bool valid = true;
    for (int k = 0; k < extra; ++k, ++next)
    {
      if (next >= text.size())
      {
        valid = false;
        break;
      }
      unsigned char byte = static_cast<unsigned char>(text[next]);
      unsigned char minimum = (k == 0) ? low : 0x80;
      unsigned char maximum = (k == 0) ? high : 0xBF;
      if (byte < minimum || byte > maximum)
      {
        valid = false;
        break;
      }
      codePoint = (codePoint << 6) | (byte & 0x3F);
    }
    AppendCodePoint(out, valid ? codePoint : kReplacement);
    i = next;
  }
  return MString(std::u16string_view(out));
}

MString MString::FromWide(std::wstring_view text)
{
  if constexpr (sizeof(wchar_t) == 2)
  {
    std::u16string out(text.begin(), text.end());
    return MString(std::u16string_view(out));
  }
  else
  {
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t character : text)
    {
      auto codePoint = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(character));
      bool scalar = codePoint <= 0x10FFFF && !IsHighSurrogate(codePoint) && !IsLowSurrogate(codePoint);
      AppendCodePoint(out, scalar ? codePoint : kReplacement);
    }
    return MString(std::u16string_view(out));
  }
}

std::string MString::ToNarrow() const
{
  std::string out;
  out.reserve(static_cast<std::size_t>(m_length));
  for (std::int32_t i = 0; i < m_length;)
  {
    char32_t codePoint = NextCodePoint(*this, i);
    out.push_back(codePoint <= 0xFF ? static_cast<char>(codePoint) : '?');
  }
  return out;
}

std::string MString::ToUTF8() const
{
  std::string out;
  out.reserve(static_cast<std::size_t>(m_length));
  for (std::int32_t i = 0; i < m_length;)
  {
    char32_t codePoint = NextCodePoint(*this, i);
    if (IsHighSurrogate(codePoint) || IsLowSurrogate(codePoint))
    {
      codePoint = kReplacement; // an unpaired surrogate has no UTF-8 form
    }
    if (codePoint < 0x80)
    {
      out.push_back(static_cast<char>(codePoint));
    }
    else if (codePoint < 0x800)
    {
      out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
      out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
    else if (codePoint < 0x10000)
    {
      out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
      out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
    else
    {
      out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
      out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
  }
  return out;
}

std::u16string MString::ToUTF16() const
{
  std::u16string out(static_cast<std::size_t>(m_length), u'\0');
  for (std::int32_t i = 0; i < m_length; ++i)
  {
    out[static_cast<std::size_t>(i)] = At(i);
  }
  return out;
}

std::wstring MString::ToWide() const
{
  std::wstring out;
  out.reserve(static_cast<std::size_t>(m_length));
  if constexpr (sizeof(wchar_t) == 2)
  {
    for (std::int32_t i = 0; i < m_length; ++i)
    {
      out.push_back(static_cast<wchar_t>(At(i)));
    }
  }
  else
  {
    for (std::int32_t i = 0; i < m_length;)
    {
      char32_t codePoint = NextCodePoint(*this, i);
      if (IsHighSurrogate(codePoint) || IsLowSurrogate(codePoint))
      {
        codePoint = kReplacement;
      }
      out.push_back(static_cast<wchar_t>(codePoint));
    }
  }
  return out;
}

MString MString::FromDouble(double value, int precision)
{
  precision = std::clamp(precision, 0, 99);
  if (std::isnan(value))
  {
    return MString("nan");
  }
  if (std::isinf(value))
  {
    return value < 0 ? MString("-inf") : MString("inf");
  }
  // to_chars ignores the C locale, so the point stays "." whatever the host process set.
  char buffer[512];
  auto format = precision <= 9 ? std::chars_format::fixed : std::chars_format::general;
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, format, precision);
  if (result.ec != std::errc())
  {
    // Only a fixed-notation value of enormous magnitude can overflow the buffer.
    result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::general, 17);
  }
  return FromNarrow(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

MString MString::FromInteger(std::int64_t value, int radix, int width, char16_t fill)
{
  char buffer[72];
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, radix == 16 ? 16 : 10);
  return PadLeft(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)), width, fill);
}

MString MString::FromUnsigned(std::uint64_t value, int radix, int width, char16_t fill)
{
  char buffer[72];
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, radix == 16 ? 16 : 10);
  return PadLeft(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)), width, fill);
}

double MString::ToDouble() const noexcept
{
  // Only the first characters can matter; a bounded narrow copy keeps this allocation-free.
  char buffer[400];
  std::int32_t count = std::min<std::int32_t>(m_length, static_cast<std::int32_t>(sizeof(buffer)));
  for (std::int32_t i = 0; i < count; ++i)
  {
    char16_t c = At(i);
    buffer[i] = c < 0x80 ? static_cast<char>(c) : '?';
  }
  std::string_view text(buffer, static_cast<std::size_t>(count));
  std::size_t start = SkipBlanks(text);
  std::size_t length = NumericPrefix(text, start, true);
  if (length == 0)
  {
    return 0.0;
  }
  std::string_view number = text.substr(start, length);
  bool negative = number[0] == '-';
  if (number[0] == '+' || number[0] == '-')
  {
    number.remove_prefix(1);
  }
  double value = 0.0;
  auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range)
  {
    value = OverflowsDouble(number) ? DBL_MAX : 0.0;
  }
  return negative ? -value : value;
}

int MString::HexDigitValue(char16_t c) noexcept
{
  if (c >= u'0' && c <= u'9')
    return c - u'0';
  if (c >= u'A' && c <= u'F')
    return c - u'A' + 10;
  if (c >= u'a' && c <= u'f')
    return c - u'a' + 10;
  return -1;
}

std::int64_t MString::ToInteger() const noexcept
{
  std::int32_t i = 0;
  while (i < m_length && At(i) <= 32 && At(i) != 0)
  {
    ++i;
  }
  bool negative = false;
  if (At(i) == u'+' || At(i) == u'-')
  {
    negative = At(i) == u'-';
    ++i;
  }
  // Accumulate as a negative number so the most negative value is reachable, then saturate.
  std::int64_t value = 0;
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  bool saturated = false;
  for (; i < m_length && At(i) >= u'0' && At(i) <= u'9'; ++i)
  {
    int digit = At(i) - u'0';
    if (value < (kMin + digit) / 10)
    {
      saturated = true;
      value = kMin;
    }
    else if (!saturated)
    {
      value = value * 10 - digit;
    }
  }
  if (negative)
  {
    return value;
  }
  return value == kMin ? std::numeric_limits<std::int64_t>::max() : -value;
}

std::ostream& operator<<(std::ostream& stream, const MString& text)
{
  return stream << text.ToUTF8();
}
