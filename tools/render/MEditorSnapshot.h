#pragma once
// MEditorSnapshot: the plug-in's editor drawn into a bitmap without a screen, for the renderer's
// --snapshot-editor. The plug-in is created in this process exactly as the module creates it for
// a host adapter (CreateTonveraPlugin), takes the state bytes a host would hand it, and opens its
// editor on the headless window system in the module's default style, as a child of a stand-in
// parent window. The picture has the editor's own size.
//
// The plug-in in the picture is the one built into this program; the module the renderer loads
// is used only to turn the command line's settings into those state bytes, so both read the
// settings the same way. A scale typed as a root and a type ("D major") is also chosen in the
// tuning panel, as a user choosing it there would: the note parameters in the state carry the
// notes but not the root and type the panel shows.
//
// Main thread only (it becomes the window system's GUI thread for the call). Allocates. Failures
// answer false with a message; nothing throws.

#include "gui/MBitmap.h"
#include "tools/render/MScaleText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace MEditorSnapshot
{
/// Creates the plug-in, loads `state` into it (empty: it keeps its defaults), chooses `scale`
/// when it names a root and a type the plug-in knows, opens the editor and answers its picture.
/// False with a message when the plug-in refuses the state or the editor cannot be made or drawn.
bool Render(const std::vector<std::uint8_t>& state, const MScaleText::Choice& scale, MBitmap& picture,
            std::string& error);
} // namespace MEditorSnapshot
