#include "base/MCharFilter.h"

std::uint8_t MCharFilter::ClassesOf(char16_t c) noexcept
{
  if (c < 32 || (c >= 127 && c < 160) || (c >= 0xD800 && c <= 0xDFFF))
  {
    return 0;
  }
  if (c >= u'0' && c <= u'9')
  {
    return kDigits;
  }
  if ((c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))
  {
    return kLetters | kHexLetters;
  }
  if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
  {
    return kLetters;
  }
  if (c == u'.' || c == u'+' || c == u'-')
  {
    return kNumberSigns;
  }
  if (c < 0xC0 || c == 0xD7 || c == 0xF7)
  {
    return kOthers;
  }
  // Everything from U+00C0 up: the Latin letters and the letters of other scripts. Typography
  // and symbol blocks count as other printable characters.
  bool symbols = (c >= 0x2000 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x303F) ||
                 (c >= 0xE000 && c <= 0xF8FF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFFF0);
  return symbols ? kOthers : kLetters;
}
