#pragma once
// MString: the text type of the whole library.
//
// A string is one of two things:
//   - a borrowed literal: a pointer to static, zero-terminated 8-bit text that the string does not
//     own. Constructing from a string literal costs nothing and copying copies only the pointer.
//     Each byte is one character (its 8-bit value), so literals should be ASCII or Latin-1.
//   - an owned buffer of UTF-16 code units, zero-terminated, with a two-word header placed
//     directly before the characters: capacity in bytes, then an atomic reference count.
//     Copies share the buffer; any modification first makes it unique (copy-on-write).
// The empty string is the empty literal.
//
// Threads: copying and destroying strings that share one buffer is safe from any number of
// threads (the count is atomic). A single MString object is not locked: one thread at a time may
// modify it. Strings allocate, so they stay off the audio thread except for copies of existing
// strings and reads.
//
// Failures: no operation reports failure through its result. Out-of-range indices read as
// character 0 and are clipped by the editing operations; allocation failure throws std::bad_alloc.

#include <compare>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

class MString
{
public:
  /// The empty literal. Never allocates.
  MString() noexcept : m_data(""), m_length(0), m_mode(kModeLiteral) {}

  /// Borrows a string literal (or any constant-expression char array): no allocation, no copy.
  /// The literal must be a compile-time constant, so a pointer to a temporary buffer cannot be
  /// borrowed by accident; for text held at run time use FromNarrow, FromUTF8 or FromLiteral.
  consteval MString(const char* literal) noexcept
      : m_data(literal), m_length(static_cast<std::int32_t>(std::char_traits<char>::length(literal))),
        m_mode(kModeLiteral)
  {}

  /// Copies zero-terminated UTF-16 text (null reads as empty).
  MString(const char16_t* text);
  /// Copies `length` UTF-16 code units (negative or null reads as empty).
  MString(const char16_t* text, std::int32_t length);
  /// Copies UTF-16 text.
  explicit MString(std::u16string_view text);

  /// Borrows zero-terminated 8-bit text that lives for the whole run of the program (tables of
  /// names built at run time from static storage). The caller guarantees the lifetime.
  static MString FromLiteral(const char* staticText) noexcept;
  /// Copies 8-bit text, each byte one character (Latin-1).
  static MString FromNarrow(std::string_view text);
  /// Decodes UTF-8. Malformed input never reads past the view: each ill-formed sequence
  /// becomes U+FFFD, and characters outside the Basic Multilingual Plane become surrogate pairs.
  static MString FromUTF8(std::string_view text);
  /// Copies wide text: UTF-16 where wchar_t has 16 bits (Windows), UTF-32 elsewhere.
  /// Values that are not Unicode scalar values become U+FFFD.
  static MString FromWide(std::wstring_view text);

  /// Number to text with precision p (clamped to 0..99): for p <= 9 fixed notation with exactly
  /// p digits after the point; for p >= 10 general notation with p significant digits (trailing
  /// zeros dropped, exponent form for very large or small magnitudes). The point is always ".".
  /// Not-a-number reads "nan", infinities "inf" and "-inf".
  static MString FromDouble(double value, int precision);
  /// Integer to text in radix 10 or 16 (lower-case digits; any other radix means 10), padded on
  /// the left with `fill` to at least `width` characters (a "-" sign stays inside the width).
  static MString FromInteger(std::int64_t value, int radix = 10, int width = 0, char16_t fill = u' ');
  static MString FromUnsigned(std::uint64_t value, int radix = 10, int width = 0, char16_t fill = u' ');

  MString(const MString& other) noexcept;
  MString(MString&& other) noexcept;
  MString& operator=(const MString& other) noexcept;
  MString& operator=(MString&& other) noexcept;
  ~MString();

  // ---- reading (either mode; never allocates) ----

  std::int32_t Length() const noexcept { return m_length; }
  bool IsEmpty() const noexcept { return m_length == 0; }
  /// Character at `index` (the 8-bit value widened for a literal); 0 outside 0..Length()-1.
  char16_t At(std::int32_t index) const noexcept;
  char16_t operator[](std::int32_t index) const noexcept { return At(index); }

  /// Characters from `start`, at most `count` of them (negative count = to the end); the range
  /// is clipped to the string. A whole-string substring shares the buffer.
  MString Substring(std::int32_t start, std::int32_t count = -1) const;
  /// Index of the first occurrence at or after `from`, or -1.
  std::int32_t Find(const MString& needle, std::int32_t from = 0) const noexcept;
  std::int32_t Find(char16_t character, std::int32_t from = 0) const noexcept;
  /// Index of the last occurrence of `character`, or -1.
  std::int32_t FindLast(char16_t character) const noexcept;
  bool StartsWith(const MString& prefix) const noexcept;
  bool EndsWith(const MString& suffix) const noexcept;

  /// Exact comparison by UTF-16 code unit: negative, 0 or positive.
  int Compare(const MString& other) const noexcept;
  /// Name comparison of at most `count` characters: each character is folded (accented Latin
  /// letters to their base letter, then ASCII A-Z to a-z); answers the difference of the first
  /// unequal folded pair, 0 when equal or when `count` characters matched.
  int CompareNames(const MString& other, std::int32_t count = INT32_MAX) const noexcept;
  bool EqualsName(const MString& other) const noexcept { return CompareNames(other) == 0; }
  /// Folds one character as the name comparison does.
  static char16_t FoldForName(char16_t character) noexcept;

  friend bool operator==(const MString& a, const MString& b) noexcept;
  friend std::strong_ordering operator<=>(const MString& a, const MString& b) noexcept;

  // ---- conversions (allocate the result) ----

  /// 8-bit text: characters up to 0xFF as their value, every other character (a surrogate pair
  /// counting as one) as "?".
  std::string ToNarrow() const;
  std::string ToUTF8() const;
  std::u16string ToUTF16() const;
  /// UTF-16 where wchar_t has 16 bits, UTF-32 elsewhere. Unpaired surrogates become U+FFFD
  /// in UTF-32.
  std::wstring ToWide() const;

  /// Text to number: leading blanks skipped, the longest decimal-number prefix read (sign,
  /// digits, ".", exponent), the rest ignored; 0 when no number starts the text. Magnitudes
  /// beyond the double range read as the largest finite double of that sign.
  double ToDouble() const noexcept;
  /// Text to integer: leading blanks, optional sign, decimal digits; the rest ignored; 0 when
  /// no digit starts the text; saturates at the 64-bit limits.
  std::int64_t ToInteger() const noexcept;
  /// The value of one hexadecimal digit (0-9, A-F, a-f); -1 for any other character.
  static int HexDigitValue(char16_t c) noexcept;

  // ---- modification (copy-on-write; a literal is widened on its first change) ----

  MString& Append(const MString& text);
  MString& Append(char16_t character);
  MString& operator+=(const MString& text) { return Append(text); }
  MString& operator+=(char16_t character) { return Append(character); }
  /// Inserts at min(max(position, 0), Length()).
  MString& Insert(std::int32_t position, const MString& text);
  /// Removes up to `count` characters from `start` (clipped to the string).
  MString& Remove(std::int32_t start, std::int32_t count);
  /// Replaces the character at `index`; an index outside the string does nothing.
  MString& SetAt(std::int32_t index, char16_t character);
  /// Back to the empty literal, releasing the buffer.
  void Clear() noexcept;
  /// Makes the buffer unique and able to hold `length` characters without growing.
  void Reserve(std::int32_t length);

  // ---- representation (for tests and diagnostics) ----

  bool IsLiteral() const noexcept { return (m_mode & kModeLiteral) != 0; }
  /// Capacity in bytes of the owned buffer (the header not included), 0 for a literal.
  std::uint32_t CapacityBytes() const noexcept;
  /// Number of strings sharing the owned buffer, 0 for a literal.
  std::uint32_t ShareCount() const noexcept;
  /// Capacity rule: b = 2n + 8 bytes for n characters, rounded up to a power of two.
  static std::uint32_t CapacityForLength(std::int32_t length) noexcept;

private:
  static constexpr std::uint8_t kModeLiteral = 1;

  struct Header;

  const char* LiteralChars() const noexcept { return static_cast<const char*>(m_data); }
  const char16_t* OwnedChars() const noexcept { return static_cast<const char16_t*>(m_data); }
  char16_t* MutableChars() noexcept { return static_cast<char16_t*>(const_cast<void*>(m_data)); }
  Header* HeaderOf() const noexcept;

  static char16_t* Allocate(std::int32_t length);
  void Release() noexcept;
  /// Unique owned buffer with room for `length` characters; the current characters are kept.
  void MakeUnique(std::int32_t length);
  void SetOwned(char16_t* chars, std::int32_t length) noexcept;
  bool MatchesAt(std::int32_t start, const MString& part) const noexcept;

  const void* m_data;
  std::int32_t m_length;
  std::uint8_t m_mode;
};

MString operator+(const MString& a, const MString& b);

/// Writes the text as UTF-8 (test output and diagnostics).
std::ostream& operator<<(std::ostream& stream, const MString& text);

template <>
struct std::hash<MString>
{
  std::size_t operator()(const MString& text) const noexcept;
};
