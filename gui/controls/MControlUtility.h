#pragma once
// Small helpers every control of this folder shares: text measuring through the style's fonts,
// style colours with a fallback, and the standard "let the style paint me" sequence.
//
// Threads: GUI thread (they read the control's style).

#include "gui/MControl.h"

#include <cstdint>

class MFont;

namespace MControlUtility
{
/// Width and line height of `text` in the style's font `font`; without a style a rough estimate
/// (7 px a character, 16 px high) so that layouts still get sensible sizes.
MSize MeasureText(const MControl& control, const MString& text, MStdFont font);
/// Line height of the style's font; 16 without a style.
std::int32_t LineHeight(const MControl& control, MStdFont font);
/// The style's colour, or `fallback` without a style.
MColor Color(const MControl& control, MStdColor color, MColor fallback);
/// Style's metric, or `fallback` without a style (or when the style answers 0).
std::int32_t Metric(const MControl& control, std::int32_t index, std::int32_t fallback);
/// PaintControl with `paint`, then PaintContent on the client rectangle when it carries text.
void PaintStyled(MDrawer& drawer, MStyle& style, const MControlPaint& paint, const MRect& client);
/// Lines to scroll for a wheel `delta` (120 a notch, positive away from the user): three a
/// notch, at least one, positive towards the end of the content; fast spins scroll further.
std::int32_t WheelLines(std::int32_t delta);
/// Colour blended towards `to` by `amount` (0..1), alpha kept.
MColor Mix(MColor from, MColor to, double amount);
/// `color` at 40 % opacity when `disabled`.
MColor Disabled(MColor color, bool disabled);
} // namespace MControlUtility
