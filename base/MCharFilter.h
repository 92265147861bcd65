#pragma once
// MCharFilter: which characters a text input accepts.
//
// Every character belongs to one or more classes, each a bit:
//   kLetters (1)       letters: ASCII A-Z, a-z and the Latin letters from U+00C0 up
//                      (the multiplication and division signs excepted) and other letters above
//   kDigits (2)        decimal digits 0-9
//   kNumberSigns (4)   the other characters of a decimal number: "." "+" "-"
//   kHexLetters (8)    the hexadecimal letters a-f and A-F (also letters)
//   kOthers (16)       every other printable character, the blank included
// Control characters (below 32, 127..159) and surrogate code units belong to no class and are
// never accepted. A filter answers a mask; a character is accepted when one of its class bits is
// in the mask. Any thread; no allocation.

#include "base/MObject.h"

#include <cstdint>

class MCharFilter
{
public:
  static constexpr std::uint8_t kLetters = 1;
  static constexpr std::uint8_t kDigits = 2;
  static constexpr std::uint8_t kNumberSigns = 4;
  static constexpr std::uint8_t kHexLetters = 8;
  static constexpr std::uint8_t kOthers = 16;

  /// The abstract filter a text input holds.
  class Interface : public MObject
  {
  public:
    /// The accepted classes.
    virtual std::uint8_t Mask() const noexcept = 0;
    /// True when `character` belongs to an accepted class.
    bool Accepts(char16_t character) const noexcept { return (ClassesOf(character) & Mask()) != 0; }
  };

  template <std::uint8_t kMask>
  class Filter : public Interface
  {
  public:
    static constexpr std::uint8_t kFilterMask = kMask;
    std::uint8_t Mask() const noexcept override { return kMask; }
  };

  using LettersFilter = Filter<1>;
  using IntegerFilter = Filter<2>;
  using AlphaStrictFilter = Filter<3>;
  using FloatFilter = Filter<6>;
  using AlphaFilter = Filter<7>;
  using IntegerHexaFilter = Filter<10>;
  using AllFilter = Filter<23>;

  /// The class bits of one character.
  static std::uint8_t ClassesOf(char16_t character) noexcept;
};
