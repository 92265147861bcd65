#pragma once
// MAccentFolding: maps accented Latin letters to their base letter for the name comparison.
//
// The table is generated from the Unicode canonical decompositions of the Latin-1 Supplement,
// Latin Extended-A, Latin Extended-B and Latin Extended Additional blocks
// (scripts/gen-accent-table.py writes base/MAccentTable.inc): an a with acute accent folds to a
// plain a, a capital E with grave accent to a capital E. Case is left alone; MString folds ASCII
// case after this step. Any thread; never allocates.

#include <cstdint>
#include <span>

class MAccentFolding
{
public:
  struct Entry
  {
    char16_t code; ///< accented letter
    char16_t base; ///< its ASCII base letter
  };

  /// The whole table, sorted by code, strictly increasing.
  static std::span<const Entry> Table() noexcept;

  /// The base letter of an accented letter; any other character unchanged.
  static char16_t Fold(char16_t character) noexcept;
};
