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
#include <span>
#include <string>
#include <vector>

namespace MEditorSnapshot
{
/// What the picture shows besides the plug-in's defaults.
struct Setup
{
  /// State bytes as a host hands them over (empty: the plug-in keeps its defaults).
  std::vector<std::uint8_t> state;
  /// A scale the plug-in knows by root and type is chosen in the tuning panel.
  MScaleText::Choice scale;
  /// Mono sound played through the plug-in while the editor is open, as a host plays a track
  /// (empty: none), so that the tuning indicator shows where it ends.
  std::span<const float> playback;
  double playbackRateHz = 44100.0;
};

/// Creates the plug-in, applies `setup`, opens the editor and answers its picture. False with a
/// message when the plug-in refuses the state or the editor cannot be made or drawn.
bool Render(const Setup& setup, MBitmap& picture, std::string& error);
} // namespace MEditorSnapshot
