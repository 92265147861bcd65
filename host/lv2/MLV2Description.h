#pragma once
// What the LV2 bundle says about the plug-in: its URIs, the order of its ports, and the Turtle
// files that describe them. The adapter, the UI and the generator of the bundle's Turtle
// (MLV2TurtleTool, run by the build) share it, so the ports a host reads from the Turtle are the
// ports the binary connects.
//
// Port order (the same for both plug-ins, so the UI's port numbers do not depend on the channels):
//   0 .. N - 1       one control input per plug-in parameter (normalised 0..1, as VST publishes)
//   N                "enabled": the bypass switch, 1 = processing (lv2:enabled)
//   N + 1            "latency": the reported latency in samples (lv2:reportsLatency)
//   N + 2            "control": atom input of MIDI events (controllers, notes, program changes)
//   N + 3            "notify": atom output for the UI (the tuning indicator's figures)
//   N + 4 ..         audio inputs, then audio outputs (two each for stereo, one for mono)
//
// Threads: the description is built on the host's main thread (or in the build's generator).

#include <cstdint>
#include <string>

class MAudioPlugin;

namespace MLV2Description
{
inline constexpr const char* kStereoUri = "https://tonvera.example/lv2/tonvera";
inline constexpr const char* kMonoUri = "https://tonvera.example/lv2/tonvera-mono";
inline constexpr const char* kUiUri = "https://tonvera.example/lv2/tonvera#ui";
/// The project both plug-ins belong to (its maintainer is the vendor hosts show).
inline constexpr const char* kProjectUri = "https://tonvera.example/lv2/tonvera#project";
/// The state property that carries the plug-in's state bytes (an atom:Chunk).
inline constexpr const char* kStateUri = "https://tonvera.example/lv2/tonvera#state";
/// The notify port's event for the UI: an atom:Object of this type with the tuning indicator's
/// figures (chosen note as atom:Int, -1 for none; input and output notes as atom:Double).
inline constexpr const char* kIndicatorUri = "https://tonvera.example/lv2/tonvera#Indicator";
inline constexpr const char* kChosenNoteUri = "https://tonvera.example/lv2/tonvera#chosenNote";
inline constexpr const char* kInputNoteUri = "https://tonvera.example/lv2/tonvera#inputNote";
inline constexpr const char* kOutputNoteUri = "https://tonvera.example/lv2/tonvera#outputNote";
/// The binary of the bundle (plug-ins and UI).
inline constexpr const char* kBinaryName = "Tonvera.so";

/// The port numbers of one plug-in with `parameters` parameters and `channels` audio channels.
struct PortLayout
{
  std::uint32_t parameters = 0;
  std::uint32_t channels = 2;

  std::uint32_t Enabled() const noexcept { return parameters; }
  std::uint32_t Latency() const noexcept { return parameters + 1; }
  std::uint32_t Control() const noexcept { return parameters + 2; }
  std::uint32_t Notify() const noexcept { return parameters + 3; }
  std::uint32_t AudioIn(std::uint32_t channel) const noexcept { return parameters + 4 + channel; }
  std::uint32_t AudioOut(std::uint32_t channel) const noexcept { return parameters + 4 + channels + channel; }
  std::uint32_t Count() const noexcept { return parameters + 4 + 2 * channels; }
};

/// Audio channels of the plug-in `uri` names: 2 for the stereo URI, 1 for the mono one, 0 for
/// anything else.
std::uint32_t ChannelsOf(const char* uri);

/// The port symbol of a parameter ID ("Scale - C#" -> "scale_c_sharp"): lower-case letters,
/// digits and single underscores, never starting with a digit.
std::string Symbol(const std::string& parameterId);

/// manifest.ttl: both plug-ins and the UI, their binary and the file that describes them.
std::string Manifest();
/// Tonvera.ttl: both plug-ins with every port of `plugin` (its parameters' names, groups,
/// defaults, toggles and display points), the features they use, and the UI.
std::string Plugins(MAudioPlugin& plugin);
} // namespace MLV2Description
