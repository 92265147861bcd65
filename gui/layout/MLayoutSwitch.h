#pragma once
// MLayoutSwitch: one of many. Only the first visible control is placed: on an axis where its
// ratio is 0 it keeps its size (at most the free rectangle less its borders), otherwise it fills
// the free rectangle less its borders; it is placed by its placement. A control with both ratios
// > 0 consumes the whole free rectangle; otherwise the free rectangle is left as it was.
//
// Its need is the largest size of all its controls, visible or not, so switching between them
// never changes the container's minimal size.
//
// Threads and failure: as MLayout.

#include "gui/layout/MLayout.h"

class MLayoutSwitch : public MLayout
{
public:
  /// Shows `control` (one of this layout's) and hides the others; nothing for a stranger.
  void Select(MControl& control);
  /// OR of the ControlFlag bits of all its controls, visible or not.
  std::uint8_t GetControlFlags() const override;

protected:
  FreeRect Run(SizeComputer& computer, const FreeRect& free, bool place) override;
};
