#pragma once
// The value mappings and texts of the typed parameters, one function per operation and type, on
// a descriptor. ParameterFloatT and friends are thin wrappers around these, so that the mapping
// exists once for both parameter bases.
//
// Normalised values are doubles 0..1; plain values are the descriptor's own. A degenerate range
// (maximum = minimum, or an enumeration of fewer than two names) answers normalised 0 instead of
// an infinity. Text functions allocate and run on the host or GUI thread; the value functions
// never allocate and may run on the audio thread.

#include "base/MString.h"
#include "core/parameters/MParameterInfo.h"

#include <cstdint>

namespace MParameterMapping
{
/// floor(x), plus one when the fraction is at least 0.5.
double RoundHalfUp(double x) noexcept;

// ---- float ----
/// Plain value of normalised x: (max - min) * curve(x) + min, curve x, x^2 or x^4.
double FloatToPlain(const MParameterInfo& info, double x) noexcept;
/// Normalised position of a plain value: u, sqrt(u) or u^0.25 with u = (plain - min) / (max - min);
/// not clamped above 1; a curved parameter answers 0 for plain values below the minimum.
double FloatToNormalised(const MParameterInfo& info, double plain) noexcept;
MString FloatText(const MParameterInfo& info, double plain);
double FloatParse(const MParameterInfo& info, const MString& text);

// ---- integer ----
std::int32_t IntegerToPlain(const MParameterInfo& info, double x) noexcept;
double IntegerToNormalised(const MParameterInfo& info, double plain) noexcept;
MString IntegerText(const MParameterInfo& info, std::int32_t plain);
double IntegerParse(const MParameterInfo& info, const MString& text);

// ---- enumeration ----
/// round-half-up(n x - 0.5), clamped to 0 .. n - 1.
std::int32_t EnumerationToIndex(const MParameterInfo& info, double x) noexcept;
double EnumerationToNormalised(const MParameterInfo& info, std::int32_t index) noexcept;
MString EnumerationText(const MParameterInfo& info, std::int32_t index);
double EnumerationParse(const MParameterInfo& info, const MString& text);

// ---- boolean and group switch ----
MString BooleanText(bool on);
/// The text read as a number; the display names "On" and "Off" (any case) read as 1 and 0, so a
/// displayed text parses back to its own value.
double BooleanParse(const MString& text);
} // namespace MParameterMapping
