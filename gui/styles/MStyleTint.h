#pragma once
// MStyleTint: how the colour configuration of the textured style recolours the package bitmaps
// (and the colours its definition names).
//
// The package art is drawn for the four default main colours (MTexturedStyleConfiguration::
// kDefaultMainColors): with the defaults and neutral adjustments every pixel stays exactly as it
// is. Each bitmap belongs to one main-colour slot (SlotOf):
//   0  surfaces: window, panel, control, static, edit, menu, menubar, tabset, list, tree, splitter
//   1  value parts: knob, rotator, tracker, progress bar, selector, value button, scroll bars
//   2  buttons and check boxes: button, captionbutton, checkbox, radiobutton, controlcheckbox
//   3  captions (the caption images of every element)
// Pixel rules, per pixel with straight alpha, in HSL (hue in degrees, saturation and lightness
// 0..1) for a slot whose default colour is D and configured colour is C:
//   1. main colour: h += h(C) - h(D) (only where the pixel has saturation, greys keep their hue);
//      s *= s(C) / s(D) when s(D) > 0; l += l(C) - l(D); alpha *= a(C) / a(D) when a(D) > 0.
//      With C = D the step is skipped, so the default configuration is lossless.
//   2. saturation: s = s × multiplysaturation + changesaturation
//   3. contrast:   each channel c = (c - 128) × changecontrast + 128
//   4. brightness: each channel c = c + 255 × changebrightness
// Every result is clamped to its range and rounded to the nearest 8-bit value; alpha changes only
// in step 1. Transparent pixels (alpha 0) stay as they are.
//
// Threads: any; a tint is an immutable value.

#include "gui/MGuiTypes.h"
#include "gui/styles/MStyleConfiguration.h"

#include <array>

class MBitmap;

class MStyleTint
{
public:
  static constexpr int kSlotCount = 4;
  static constexpr int kCaptionSlot = 3;

  explicit MStyleTint(const MTexturedStyleConfiguration& configuration = MTexturedStyleConfiguration());

  /// True when every pixel of every slot stays unchanged.
  bool IsNeutral() const { return m_neutral; }
  /// The slot of a definition element (MStyleDefinition::kElementNames index); 0 for others.
  static int SlotOf(int elementIndex);

  MColor Apply(MColor color, int slot) const;
  /// Recolours every pixel of `bitmap` in place.
  void Apply(MBitmap& bitmap, int slot) const;

private:
  struct Shift
  {
    bool active = false;
    double hue = 0;        ///< degrees added
    double saturation = 1; ///< factor
    double lightness = 0;  ///< added
    double alpha = 1;      ///< factor
  };
  std::array<Shift, kSlotCount> m_shifts;
  double m_contrast = 1, m_brightness = 0, m_saturation = 0, m_multiplySaturation = 1;
  bool m_adjust = false;
  bool m_neutral = true;
};
