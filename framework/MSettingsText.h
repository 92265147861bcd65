#pragma once
// Strict readers for numbers kept as attribute text in stored settings.
//
// Stored state comes from project files that may be old, damaged or hostile. The general text
// conversions of MString read any text (a non-number reads as 0), which would turn "abc" into a
// real value; these readers instead tell whether the text holds a number at all, so that a
// caller keeps its current value when it does not. Any thread; never allocates.

#include "base/MString.h"

#include <cstdint>

namespace MSettingsText
{
/// Reads a finite decimal number (leading blanks, sign, digits with an optional point and
/// exponent; the rest of the text ignored). False, `value` untouched, when no digit starts the
/// number or it is not finite.
bool ReadDouble(const MString& text, double& value) noexcept;
/// Reads an integer (leading blanks, optional minus sign, decimal digits; the rest ignored),
/// saturated to the 32-bit range. False, `value` untouched, when no digit follows.
bool ReadInteger(const MString& text, std::int32_t& value) noexcept;
} // namespace MSettingsText
