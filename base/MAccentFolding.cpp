#include "base/MAccentFolding.h"

#include <algorithm>

namespace
{
constexpr MAccentFolding::Entry kTable[] = {
#include "base/MAccentTable.inc"
};

// The fold relies on binary search; an unsorted regeneration must not compile.
constexpr bool IsStrictlySorted()
{
  for (std::size_t i = 1; i < std::size(kTable); ++i)
  {
    if (!(kTable[i - 1].code < kTable[i].code))
    {
      return false;
    }
  }
  return true;
}
static_assert(IsStrictlySorted(), "MAccentTable.inc must be sorted by code point");
} // namespace

std::span<const MAccentFolding::Entry> MAccentFolding::Table() noexcept
{
  return kTable;
}

char16_t MAccentFolding::Fold(char16_t character) noexcept
{
  if (character < 0xC0)
  {
    return character;
  }
  const Entry* end = std::end(kTable);
  const Entry* found = std::lower_bound(std::begin(kTable), end, character,
                                        [](const Entry& entry, char16_t code) { return entry.code < code; });
  return (found != end && found->code == character) ? found->base : character;
}
