#pragma once
// MFormat: the message formatter behind every display text and message.
//
// A format string mixes literal text with placeholders "{index options}", for example
// "{0;.2} dB" or "{0;+.02}". Syntax, read left to right:
//   "{{"            a literal "{"
//   "}c"            a "}" escapes the next character: "}}" is "}", "}{" is "{"
//   "{n ...}"       placeholder for argument n (0..31; up to 3 characters, optional "-" and digits)
//   inside a placeholder:
//     " " then w    fill with spaces to width w (up to 2 characters, optional "-", digits)
//     "0" then w    fill with zeros to width w
//     "." then p    precision p (up to 2 characters, optional "-", digits; default 4)
//     "+"           explicit plus sign
//     "x"           hexadecimal integers
//     anything else is a separator (";", ","), so "{0;.2}", "{0.2}" and "{0;+.02}" all work
// A format that ends inside a placeholder throws MException
// "Formatting string ends in an argument specification.".
//
// Arguments are supplied in index order 0, 1, 2, ... and each is inserted at its placeholder:
//   string            as is
//   double            the slot's precision with MString::FromDouble (p <= 9 fixed, else general);
//                     "+" before values above 1e-20; width and fill do not apply
//   signed integer    radix 16 with "x" else 10, width and fill; "+" before values above 0;
//                     zero fill goes between the sign and the digits ("-0042", "+0042")
//   unsigned integer  as signed, "+" before values other than 0
// Adjacent placeholders ("{0}{1}", "{1}{0}") fill in the order their placeholders appear.
// Arguments the format does not use are dropped; placeholders without an argument stay empty.
//
// Typical use:
//   MString text = MFormat::Format("{0;.2} dB", -6.0206);          // "-6.02 dB"
//   MFormat display("{0.1}%");                                      // compile once ...
//   MString shown = display.With(12.34);                            // ... fill often: "12.3%"
//
// The compiled form is immutable and shared by reference count between copies, so a compiled
// format may be kept and copied across threads; one MFormat object being filled belongs to one
// thread. Compiling and filling allocate: not for the audio thread.
//
// Unchecked limits, which format strings as program constants respect: a missing index or one
// outside 0..31 makes the placeholder produce nothing; a "}" at the very end stands for itself; a negative
// width pads on the right; a negative precision reads as 0.

#include "base/MString.h"

#include <concepts>
#include <cstdint>
#include <memory>
#include <type_traits>

class MFormat
{
public:
  static constexpr int kSlots = 32;

  /// One placeholder's options.
  struct Slot
  {
    std::int32_t position = -1; ///< insertion position in the literal text; -1 = not used
    std::uint8_t flags = 0;     ///< kHexadecimal | kPlusSign
    std::int8_t width = 0;
    char16_t fill = u' ';
    std::int8_t precision = 4;
    std::uint8_t order = 0; ///< rank among slots sharing one position, in order of appearance
  };
  static constexpr std::uint8_t kHexadecimal = 1;
  static constexpr std::uint8_t kPlusSign = 2;

  /// Compiles `format`. Throws MException when it ends inside a placeholder.
  explicit MFormat(const MString& format);

  /// Supplies the next argument (index 0 first). See the table above for each type.
  MFormat& Argument(const MString& text);
  /// Zero-terminated 8-bit text (Latin-1), copied; null reads as empty.
  MFormat& Argument(const char* text);
  MFormat& Argument(double value);
  MFormat& Argument(std::int64_t value);
  MFormat& Argument(std::uint64_t value);
  template <std::floating_point T>
  MFormat& Argument(T value)
  {
    return Argument(static_cast<double>(value));
  }
  template <std::integral T>
    requires(!std::same_as<T, std::int64_t> && !std::same_as<T, std::uint64_t> && !std::same_as<T, bool> &&
             !std::same_as<T, char> && !std::same_as<T, char8_t> && !std::same_as<T, char16_t> &&
             !std::same_as<T, char32_t> && !std::same_as<T, wchar_t>)
  MFormat& Argument(T value)
  {
    if constexpr (std::is_signed_v<T>)
    {
      return Argument(static_cast<std::int64_t>(value));
    }
    else
    {
      return Argument(static_cast<std::uint64_t>(value));
    }
  }

  /// The text built so far.
  const MString& Text() const noexcept { return m_text; }
  /// Starts a new message with the same compiled format.
  void Reset() noexcept;

  /// Highest argument index the format uses + 1.
  int ArgumentCount() const noexcept;
  /// Index of the next argument to be supplied.
  int NextArgument() const noexcept { return m_next; }
  /// The compiled options of argument `index` (a default slot outside 0..31).
  Slot SlotOf(int index) const noexcept;

  /// A new message from this compiled format with the given arguments.
  template <typename... Arguments>
  MString With(const Arguments&... arguments) const
  {
    MFormat message(*this);
    message.Reset();
    (message.Argument(arguments), ...);
    return message.Text();
  }

  /// Compiles `format` and fills it with the arguments in one go.
  template <typename... Arguments>
  static MString Format(const MString& format, const Arguments&... arguments)
  {
    return MFormat(format).With(arguments...);
  }

  /// Reads the placeholder that starts at format[index] == "{" (not "{{"): its argument index
  /// (-1 when absent or outside 0..31) and its options; leaves `index` after the closing
  /// "}". Throws MException when the format ends first. The parser reads placeholders with it.
  static Slot ReadPlaceholder(const MString& format, std::int32_t& index, int& argumentIndex);

private:
  struct Compiled;

  void Insert(const MString& text);

  std::shared_ptr<const Compiled> m_compiled;
  MString m_text;
  std::int32_t m_positions[kSlots];
  int m_next = 0;
};
