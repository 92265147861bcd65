// Name comparison of MString: case and accent folding.

#include "base/MString.h"

#include "base/MAccentFolding.h"

#include <algorithm>

char16_t MString::FoldForName(char16_t character) noexcept
{
  character = MAccentFolding::Fold(character);
  if (character >= u'A' && character <= u'Z')
  {
    return static_cast<char16_t>(character - u'A' + u'a');
  }
  return character;
}

int MString::CompareNames(const MString& other, std::int32_t count) const noexcept
{
  std::int32_t limit = std::min(count, std::max(m_length, other.m_length));
  for (std::int32_t i = 0; i < limit; ++i)
  {
    // At() reads 0 past the end, so a shorter name compares as if zero-terminated.
    int difference = static_cast<int>(FoldForName(At(i))) - static_cast<int>(FoldForName(other.At(i)));
    if (difference != 0)
    {
      return difference;
    }
  }
  return 0;
}
