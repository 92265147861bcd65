#pragma once
// The plug-in's whole state as the bytes every host interface saves: the settings item written as
// compressed XML. The VST 2.4 chunk, the VST 3 component state and the LV2 state property carry
// exactly these bytes, so a project's state moves between formats.
//
// Threads: the host's main thread (Store takes the plug-in's locks and allocates); never the audio
// thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class MAudioPlugin;

namespace MPluginState
{
/// The plug-in's state bytes. May throw (callers run inside MHostCallShield).
std::vector<std::uint8_t> Save(MAudioPlugin& plugin);
/// Loads state bytes. They are decoded completely first: bytes that do not inflate or parse throw
/// MException and leave the plug-in as it was.
void Load(MAudioPlugin& plugin, const void* bytes, std::size_t size);

/// How ApplyPreset went.
enum class PresetResult
{
  kApplied,
  kNoPresets,  ///< the plug-in has no preset manager
  kNotAPreset, ///< the text is not one preset item
};
/// Applies one preset item given as XML text of `size` bytes (a factory preset of a bundle, not
/// state bytes) as the editor applies a chosen preset. A terminating zero counted in `size` is
/// allowed. May throw on malformed text (callers run inside MHostCallShield).
PresetResult ApplyPreset(MAudioPlugin& plugin, const void* text, std::size_t size);

/// One factory preset: the names of the folders it sits in (outermost first, joined by spaces;
/// empty at the top), its name and its XML text as ApplyPreset takes it.
struct FactoryPreset
{
  std::string folder;
  std::string name;
  std::string text;
};
/// The plug-in's factory presets in the order of its preset tree; empty for a plug-in without
/// presets. Allocates.
std::vector<FactoryPreset> FactoryPresets(MAudioPlugin& plugin);
} // namespace MPluginState
