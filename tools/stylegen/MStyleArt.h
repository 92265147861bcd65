#pragma once
// The art of the style package: every bitmap a style definition names is drawn here with the
// toolkit's own drawer from the style's palette (the definition's "colors"). Nothing is loaded
// from image files, and the same palette always gives the same pixels.
//
// Names (without the ".png"): window_normal, panel_normal, control_normal, caption_small /
// _normal / _large, button_<state>, captionbutton_<state>, checkbox_<state>, checkbox_on,
// checkbox_grayed, edit_<state>, list_<state>, row_hl, row_selected, menu_normal, menubar_normal,
// tab_hl, tab_selected, knob_<state>, knob_selector, rotator_<state>, valuebutton_normal,
// tracker_<state>, switch_normal, switch_on, switch_thumb, scroll_normal, scroll_thumb,
// progress_normal, progress_fill; <state> is one of normal, hl,
// clicked, clickedhl, focused, focusedhl, disabled.

#include "gui/MBitmap.h"
#include "gui/styles/MStyleConfiguration.h"

class MStyleArt
{
public:
  /// Draws the bitmap `name` (with or without ".png"). Throws MException
  /// "The style art has no bitmap \"{0}\"." for a name it does not know.
  static MBitmap Draw(const MString& name, const MBaseStyleConfiguration& palette);
};
