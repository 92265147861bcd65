#include "base/MFormatParser.h"

#include "base/MFormat.h"

#include <algorithm>

namespace
{
bool IsBlank(char16_t c)
{
  return c <= 32;
}
} // namespace

MFormatParser::MFormatParser(const MString& format, const MString& text)
{
  // Compiling first makes a broken format fail the same way for every text, even an empty one.
  MFormat validated(format);
  (void)validated;

  std::int32_t f = 0;
  std::int32_t t = 0;
  while (f < format.Length() && t < text.Length())
  {
    char16_t c = format.At(f);
    if (c == u'{' && format.At(f + 1) != u'{')
    {
      int argument = -1;
      MFormat::ReadPlaceholder(format, f, argument);
      char16_t stop = format.At(f); // 0 at the end of the format
      std::int32_t end = t;
      if (f < format.Length() && !IsBlank(stop))
      {
        end = text.Find(stop, t);
        end = end < 0 ? text.Length() : end;
      }
      else
      {
        while (end < text.Length() && !IsBlank(text.At(end)))
        {
          ++end;
        }
      }
      if (argument >= 0)
      {
        m_arguments[argument] = text.Substring(t, end - t);
        m_count = std::max(m_count, argument + 1);
      }
      t = end;
      continue;
    }
    if (IsBlank(c))
    {
      if (!IsBlank(text.At(t)))
      {
        break;
      }
      while (f < format.Length() && IsBlank(format.At(f)))
      {
        ++f;
      }
      while (t < text.Length() && IsBlank(text.At(t)))
      {
        ++t;
      }
      continue;
    }
    // A literal character, possibly escaped: "{{" stands for "{", "}c" for c.
    char16_t expected = c;
    std::int32_t width = 1;
    if (c == u'{' || (c == u'}' && f + 1 < format.Length()))
    {
      expected = format.At(f + 1);
      width = 2;
    }
    if (text.At(t) != expected)
    {
      break;
    }
    f += width;
    ++t;
  }
}

MString MFormatParser::ArgumentText(int index) const
{
  return (index >= 0 && index < kSlots) ? m_arguments[index] : MString();
}

MString MFormatParser::NextString()
{
  int index = m_cursor;
  m_cursor = std::min(m_cursor + 1, kSlots);
  return ArgumentText(index);
}

double MFormatParser::NextDouble()
{
  return NextString().ToDouble();
}

std::int64_t MFormatParser::NextInteger()
{
  return NextString().ToInteger();
}
