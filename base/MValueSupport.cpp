#include "base/MValueSupport.h"

#include "base/MException.h"
#include "base/MFormat.h"
#include "base/MFormatParser.h"

namespace MValueSupport
{
namespace
{

bool IsBlank(char16_t c) noexcept
{
  return c != 0 && c <= 32;
}

bool IsDigit(char16_t c) noexcept
{
  return c >= u'0' && c <= u'9';
}

std::int32_t SkipBlanks(const MString& text, std::int32_t i) noexcept
{
  while (i < text.Length() && IsBlank(text.At(i)))
  {
    ++i;
  }
  return i;
}

/// Length of the decimal number starting at `start` (sign, digits, point, exponent), 0 if none.
std::int32_t NumberLength(const MString& text, std::int32_t start) noexcept
{
  std::int32_t i = start;
  if (text.At(i) == u'+' || text.At(i) == u'-')
  {
    ++i;
  }
  std::int32_t digits = 0;
  while (IsDigit(text.At(i)))
  {
    ++i;
    ++digits;
  }
  if (text.At(i) == u'.')
  {
    ++i;
    while (IsDigit(text.At(i)))
    {
      ++i;
      ++digits;
    }
  }
  if (digits == 0)
  {
    return 0;
  }
  if (text.At(i) == u'e' || text.At(i) == u'E')
  {
    std::int32_t j = i + 1;
    if (text.At(j) == u'+' || text.At(j) == u'-')
    {
      ++j;
    }
    if (IsDigit(text.At(j)))
    {
      while (IsDigit(text.At(j)))
      {
        ++j;
      }
      i = j;
    }
  }
  return i - start;
}

} // namespace

std::int32_t NumericPrefixEnd(const MString& text) noexcept
{
  std::int32_t start = SkipBlanks(text, 0);
  return start + NumberLength(text, start);
}

bool IsNumberText(const MString& text) noexcept
{
  std::int32_t start = SkipBlanks(text, 0);
  std::int32_t length = NumberLength(text, start);
  return length > 0 && SkipBlanks(text, start + length) == text.Length();
}

bool HasWordAfterNumber(const MString& text, const MString& word) noexcept
{
  std::int32_t at = NumericPrefixEnd(text);
  while (at < text.Length() && (IsBlank(text.At(at)) || text.At(at) == u'%'))
  {
    ++at;
  }
  return text.Substring(at, word.Length()).EqualsName(word);
}

bool ReadNumberWithFormat(const MString& format, const MString& text, MString& number)
{
  try
  {
    MFormatParser parser(format, text);
    if (parser.Count() < 1)
    {
      return false;
    }
    MString captured = parser.ArgumentText(0);
    if (!IsNumberText(captured))
    {
      return false;
    }
    number = captured;
    return true;
  }
  catch (const MException&)
  {
    // A format that does not compile reads nothing.
    return false;
  }
}

std::int64_t ReadInteger(const MString& number) noexcept
{
  // Without an exponent the whole part read as an integer is the exact truncation, also for
  // 64-bit values a double cannot hold; with one, the double reading decides.
  std::int32_t start = SkipBlanks(number, 0);
  MString digits = number.Substring(start, NumberLength(number, start));
  if (digits.Find(u'e') < 0 && digits.Find(u'E') < 0)
  {
    return number.ToInteger();
  }
  return SaturatingCast<std::int64_t>(number.ToDouble());
}

bool IsValidFormat(const MString& format) noexcept
{
  try
  {
    MFormat compiled(format);
    return true;
  }
  catch (...)
  {
    return false;
  }
}

} // namespace MValueSupport
