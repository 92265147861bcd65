#pragma once
// What the LV2 bundle says about the plug-in: its URIs, the order of its ports, and the Turtle
// files that describe them. The adapter, the UI and the generator of the bundle's Turtle
// (MLV2TurtleTool, run by the build) share it, so the ports a host reads from the Turtle are the
// ports the binary connects.
//
// Port order (the same for both plug-ins, so the UI's port numbers do not depend on the channels):
//   0 .. N - 1       one control input per plug-in parameter, in the parameter's own unit and
//                    range (ControlScale converts to and from the plug-in's normalised values)
//   N                "enabled": the bypass switch, 1 = processing (lv2:enabled)
//   N + 1            "latency": the reported latency in samples (lv2:reportsLatency)
//   N + 2            "control": atom input of MIDI events (controllers, notes, program changes)
//   N + 3            "notify": atom output for the UI (the tuning indicator's figures)
//   N + 4 ..         audio inputs, then audio outputs (two each for stereo, one for mono)
//   last             "midi_out": atom output of the notes the effect sends (MIDI events)
//
// Threads: the description is built on the host's main thread (or in the build's generator).

#include <cstdint>
#include <string>
#include <vector>

class MAudioPlugin;
struct MParameterInfo;

namespace MLV2Description
{
inline constexpr const char* kStereoUri = "https://tonvera.example/lv2/tonvera";
inline constexpr const char* kMonoUri = "https://tonvera.example/lv2/tonvera-mono";
inline constexpr const char* kUiUri = "https://tonvera.example/lv2/tonvera#ui";
/// The project both plug-ins belong to (its maintainer is the vendor hosts show).
inline constexpr const char* kProjectUri = "https://tonvera.example/lv2/tonvera#project";
/// The state property that carries the plug-in's state bytes (an atom:Chunk).
inline constexpr const char* kStateUri = "https://tonvera.example/lv2/tonvera#state";
/// The state property of a factory preset: the preset as the editor's preset tree holds it (XML
/// text, atom:String), applied as the editor applies a preset, so that loading it from the host's
/// menu keeps what a preset does not hold (the other A/B slots, controller assignments).
inline constexpr const char* kPresetUri = "https://tonvera.example/lv2/tonvera#preset";
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
  std::uint32_t MidiOut() const noexcept { return parameters + 4 + 2 * channels; }
  std::uint32_t Count() const noexcept { return parameters + 5 + 2 * channels; }
};

/// How a parameter port's value, in the parameter's unit, maps to the plug-in's normalised value.
/// The conversions never allocate (the adapter runs them on the audio thread).
struct ControlScale
{
  enum class Kind : std::uint8_t
  {
    kNormalised,  ///< no descriptor: the port carries the normalised value
    kFloat,       ///< plain value times `factor` (100 for percent)
    kInteger,     ///< the plain integer
    kEnumeration, ///< the choice's index
    kToggle,      ///< 0 or 1
  };
  Kind kind = Kind::kNormalised;
  const MParameterInfo* info = nullptr; // the descriptor of kFloat, kInteger and kEnumeration
  double factor = 1.0;

  double ToNormalised(float port) const noexcept;
  float FromNormalised(double value) const noexcept;
};

/// The scale of each parameter port of `plugin`, in port order (set-up time; allocates).
std::vector<ControlScale> ControlScales(MAudioPlugin& plugin);

/// Audio channels of the plug-in `uri` names: 2 for the stereo URI, 1 for the mono one, 0 for
/// anything else.
std::uint32_t ChannelsOf(const char* uri);

/// The port symbol of a parameter ID ("Scale - C#" -> "scale_c_sharp"): lower-case letters,
/// digits and single underscores, never starting with a digit.
std::string Symbol(const std::string& parameterId);

/// manifest.ttl: both plug-ins and the UI, their binary and the file that describes them.
std::string Manifest();
/// Tonvera.ttl: both plug-ins with every port of `plugin` (its parameters' names, groups,
/// units, ranges, defaults, toggles and choices), the features they use, and the UI.
std::string Plugins(MAudioPlugin& plugin);

/// One factory preset: its label, the port values (in port order, in the ports' units; NaN for a
/// port the preset leaves as it is) and the preset's XML text (kPresetUri).
struct Preset
{
  std::string label;
  std::vector<float> values;
  std::string settings;
};
/// The URI of a preset labelled `label` in the folder path `folder` ("" or "Scales").
std::string PresetUri(const std::string& folder, const std::string& label);
/// presets.ttl: every preset as a pset:Preset of both plug-ins, with its port values and state.
/// `uris` holds each preset's URI; `symbols` the parameter ports' symbols of Plugins.
std::string Presets(const std::vector<Preset>& presets, const std::vector<std::string>& uris,
                    const std::vector<std::string>& symbols);
/// The manifest's entries for the presets of `uris` (appended to Manifest's text).
std::string PresetManifest(const std::vector<std::string>& uris);
/// The parameter ports' symbols of `plugin`, in port order.
std::vector<std::string> ParameterSymbols(MAudioPlugin& plugin);
} // namespace MLV2Description
