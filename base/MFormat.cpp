#include "base/MFormat.h"

#include "base/MException.h"

#include <algorithm>
#include <string>

struct MFormat::Compiled
{
  Slot slots[kSlots];
  MString literal;
  int argumentCount = 0;
};

namespace
{
// Reads a number of at most `maxChars` characters: an optional leading "-" and decimal digits.
// Stops early at any other character or at the end; an empty number reads as 0.
int ReadNumber(const MString& format, std::int32_t& index, int maxChars, bool* anyDigit = nullptr)
{
  int value = 0;
  bool negative = false;
  bool digits = false;
  for (int read = 0; read < maxChars && index < format.Length(); ++read)
  {
    char16_t c = format.At(index);
    if (c == u'-' && read == 0)
    {
      negative = true;
    }
    else if (c >= u'0' && c <= u'9')
    {
      value = value * 10 + (c - u'0');
      digits = true;
    }
    else
    {
      break;
    }
    ++index;
  }
  if (anyDigit != nullptr)
  {
    *anyDigit = digits;
  }
  return negative ? -value : value;
}

// Pads an integer's text to the slot's width. Zero fill goes between the sign and the digits
// ("-0042"); any other fill goes before the sign. A negative width pads on the right.
MString Pad(MString text, const MFormat::Slot& slot)
{
  int width = slot.width;
  int missing = std::abs(width) - text.Length();
  if (missing <= 0)
  {
    return text;
  }
  MString padding(std::u16string_view(std::u16string(static_cast<std::size_t>(missing), slot.fill)));
  if (width < 0)
  {
    return text.Append(padding);
  }
  bool signFirst = slot.fill == u'0' && (text.At(0) == u'-' || text.At(0) == u'+');
  return text.Insert(signFirst ? 1 : 0, padding);
}
} // namespace

MFormat::Slot MFormat::ReadPlaceholder(const MString& format, std::int32_t& index, int& argumentIndex)
{
  std::int32_t i = index + 1;
  bool anyDigit = false;
  int number = ReadNumber(format, i, 3, &anyDigit);
  argumentIndex = (anyDigit && number >= 0 && number < kSlots) ? number : -1;
  Slot slot;
  for (;;)
  {
    if (i >= format.Length())
    {
      throw MException("Formatting string ends in an argument specification.");
    }
    char16_t c = format.At(i++);
    switch (c)
    {
    case u'}':
      index = i;
      return slot;
    case u' ':
    case u'0':
      slot.fill = c;
      slot.width = static_cast<std::int8_t>(ReadNumber(format, i, 2));
      break;
    case u'.':
      slot.precision = static_cast<std::int8_t>(ReadNumber(format, i, 2));
      break;
    case u'+':
      slot.flags |= kPlusSign;
      break;
    case u'x':
      slot.flags |= kHexadecimal;
      break;
    default:
      break; // separators such as ";" and ","
    }
  }
}

MFormat::MFormat(const MString& format)
{
  auto compiled = std::make_shared<Compiled>();
  std::u16string literal;
  literal.reserve(static_cast<std::size_t>(format.Length()));
  std::int32_t i = 0;
  while (i < format.Length())
  {
    char16_t c = format.At(i);
    if (c == u'{' && format.At(i + 1) == u'{')
    {
      literal.push_back(u'{');
      i += 2;
    }
    else if (c == u'{')
    {
      int argument = -1;
      Slot slot = ReadPlaceholder(format, i, argument);
      if (argument < 0)
      {
        continue;
      }
      slot.position = static_cast<std::int32_t>(literal.size());
      // Placeholders meeting at one position fill in the order they appear in the format.
      int order = 0;
      for (int other = 0; other < kSlots; ++other)
      {
        const Slot& existing = compiled->slots[other];
        if (other != argument && existing.position == slot.position)
        {
          order = std::max(order, existing.order + 1);
        }
      }
      slot.order = static_cast<std::uint8_t>(order);
      compiled->slots[argument] = slot;
      compiled->argumentCount = std::max(compiled->argumentCount, argument + 1);
    }
    else if (c == u'}' && i + 1 < format.Length())
    {
      literal.push_back(format.At(i + 1));
      i += 2;
    }
    else
    {
      literal.push_back(c);
      ++i;
    }
  }
  compiled->literal = MString(std::u16string_view(literal));
  m_compiled = std::move(compiled);
  Reset();
}

void MFormat::Reset() noexcept
{
  m_text = m_compiled->literal;
  for (int i = 0; i < kSlots; ++i)
  {
    m_positions[i] = m_compiled->slots[i].position;
  }
  m_next = 0;
}

int MFormat::ArgumentCount() const noexcept
{
  return m_compiled->argumentCount;
}

MFormat::Slot MFormat::SlotOf(int index) const noexcept
{
  return (index >= 0 && index < kSlots) ? m_compiled->slots[index] : Slot();
}

void MFormat::Insert(const MString& text)
{
  if (m_next >= kSlots)
  {
    return; // more arguments than slots: nothing can hold them
  }
  int argument = m_next++;
  std::int32_t position = m_positions[argument];
  if (position < 0 || text.IsEmpty())
  {
    return;
  }
  std::uint8_t order = m_compiled->slots[argument].order;
  m_text.Insert(std::min(position, m_text.Length()), text);
  for (int other = 0; other < kSlots; ++other)
  {
    std::int32_t& at = m_positions[other];
    if (other != argument && (at > position || (at == position && m_compiled->slots[other].order > order)))
    {
      at += text.Length();
    }
  }
}

MFormat& MFormat::Argument(const MString& text)
{
  Insert(text);
  return *this;
}

MFormat& MFormat::Argument(const char* text)
{
  Insert(text != nullptr ? MString::FromNarrow(text) : MString());
  return *this;
}

MFormat& MFormat::Argument(double value)
{
  Slot slot = SlotOf(m_next);
  MString text = MString::FromDouble(value, slot.precision);
  if ((slot.flags & kPlusSign) != 0 && value > 1e-20)
  {
    text.Insert(0, "+");
  }
  Insert(text);
  return *this;
}

MFormat& MFormat::Argument(std::int64_t value)
{
  Slot slot = SlotOf(m_next);
  MString text = MString::FromInteger(value, (slot.flags & kHexadecimal) != 0 ? 16 : 10);
  if ((slot.flags & kPlusSign) != 0 && value > 0)
  {
    text.Insert(0, "+");
  }
  Insert(Pad(text, slot));
  return *this;
}

MFormat& MFormat::Argument(std::uint64_t value)
{
  Slot slot = SlotOf(m_next);
  MString text = MString::FromUnsigned(value, (slot.flags & kHexadecimal) != 0 ? 16 : 10);
  if ((slot.flags & kPlusSign) != 0 && value != 0)
  {
    text.Insert(0, "+");
  }
  Insert(Pad(text, slot));
  return *this;
}
