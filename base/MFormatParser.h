#pragma once
// MFormatParser: the message formatter used backwards, to read typed text.
//
// The text is matched against a format string (the syntax of MFormat) and the text standing at
// each placeholder is captured:
//   - a format character above 32 must equal the text character exactly; on a mismatch parsing
//     stops, keeping what was captured so far; "{{" and "}c" escapes match as in formatting;
//   - a blank (character <= 32) in the format needs at least one blank in the text; then further
//     blanks are skipped on both sides;
//   - a placeholder captures up to the first occurrence in the text of the format character that
//     follows it when that is above 32, else up to the first blank (or the end of the text).
// Parsing ends at the end of either string. The captured count is the highest captured index + 1.
// Captured texts convert to numbers by MString's text-to-number rule (a non-number reads as 0).
//
// Example: MFormatParser("{0} Hz", "440 Hz") captures "440"; NextDouble() answers 440.
//
// Throws MException "Formatting string ends in an argument specification." for a format that
// ends inside a placeholder, whatever the text. Main thread (text entry); allocates.

#include "base/MString.h"

#include <cstdint>

class MFormatParser
{
public:
  static constexpr int kSlots = 32;

  MFormatParser(const MString& format, const MString& text);

  /// Highest captured argument index + 1 (0 when nothing was captured).
  int Count() const noexcept { return m_count; }
  /// The captured text of argument `index`; empty when not captured or out of range.
  MString ArgumentText(int index) const;

  /// Cursor over the captured arguments in index order, starting at 0.
  MString NextString();
  double NextDouble();
  std::int64_t NextInteger();
  /// Puts the cursor back to argument 0.
  void Rewind() noexcept { m_cursor = 0; }

private:
  MString m_arguments[kSlots];
  int m_count = 0;
  int m_cursor = 0;
};
