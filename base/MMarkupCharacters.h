#pragma once
// The character classes the XML reader and the mark-up tokenizer share: blanks, the special
// characters that end names and may not start an attribute, and what may stand in a name.
// Characters are UTF-16 units or code points; `end` is the caller's end-of-input marker, which is
// never part of a name.

namespace MMarkupCharacters
{
constexpr bool IsBlank(char32_t c) noexcept
{
  return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n';
}

constexpr bool IsSpecial(char32_t c) noexcept
{
  return c == U'<' || c == U'>' || c == U'"' || c == U'/' || c == U'!' || c == U'=';
}

constexpr bool IsNameCharacter(char32_t c, char32_t end) noexcept
{
  return c != end && c > 32 && !IsSpecial(c) && c != U'?' && c != U'&' && c != U'\'';
}
} // namespace MMarkupCharacters
