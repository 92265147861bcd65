#pragma once
// MChannelModes: the channel modes of a plug-in (which view of a stereo signal, or which surround
// channels, the effect processes) and the routing that puts them into effect around it.
//
// Mode table (index: name): 0 "Left + Right", 1 "Left", 2 "Right", 3 "Mono" (mid), 4 "Stereo"
// (side), 5 "Mono + Stereo" (mid and side), 6 "Left + Right (neg)", 7 "Surround".
//
// Before the effect runs, Encode re-arranges the block driver's pointer arrays and encodes the
// input pair into the output buffers, never into the host's inputs (swap, mid/side, inverted
// right, surround compaction); the effect then processes those in place. Decode undoes the
// re-arrangement, decodes mid/side and carries every channel the effect does not process from
// its input to its output through a delay of exactly the effect's latency, so it stays aligned
// with the processed channels.
//
// Threads: Configure runs under the plug-in's locks on the host thread and allocates (the
// delays). Encode and Decode run on the audio thread around the same block's chunks; they
// allocate nothing, take no lock and throw nothing.

#include "core/plugin/MFloatBuffer.h"

#include <array>
#include <cstdint>

class MString;

class MChannelModes
{
public:
  static constexpr std::int32_t kModeCount = 8;
  static constexpr std::int32_t kSurround = 7;
  static constexpr std::int32_t kMaxChannels = 8;

  struct Info
  {
    const char* name;        ///< stored name and menu text
    const char* displayName; ///< second table: the mid/side wording
    const char* shortName;
    const char* description;
    std::int32_t processedChannels;
    std::int32_t pluginChannels;
  };

  /// The table entry of `mode`; mode 0's for an index outside the table.
  static const Info& GetInfo(std::int32_t mode) noexcept;
  /// The mode whose stored name equals `name` (case folded); 0 when none does.
  static std::int32_t FindByName(const MString& name);

  /// Takes the mode and the surround flags for the next blocks and sets every channel delay to
  /// `latency` samples (a delay already of that length keeps its content). Allocates.
  void Configure(std::int32_t mode, const bool surroundEnabled[kMaxChannels], std::int32_t latency);

  std::int32_t GetMode() const noexcept { return m_mode; }
  /// Channels the effect processes: the table's count; for Surround the number of enabled
  /// channels (at least 1).
  std::int32_t GetProcessedChannels() const noexcept { return m_processed; }
  std::int32_t GetPluginChannels() const noexcept { return GetInfo(m_mode).pluginChannels; }

  /// Whether the routing applies to a block with `inputChannels` input channels: modes 1 to 6
  /// need exactly a stereo input, Surround more than two channels.
  bool IsActive(std::int32_t inputChannels) const noexcept;
  /// Before the effect: pointer arrays in bus layout (the first bus is routed); `inputChannels`
  /// and `outputChannels` are the channels of that bus.
  void Encode(float** inputs, float** outputs, std::int32_t inputChannels, std::int32_t outputChannels,
              std::int32_t samples) noexcept;
  /// After the effect, on the same arrays as Encode.
  void Decode(float** inputs, float** outputs, std::int32_t samples) noexcept;

private:
  void PassThrough(std::int32_t slot, const float* input, float* output, std::int32_t samples) noexcept;

  std::int32_t m_mode = 0;
  std::int32_t m_processed = 2;
  std::int32_t m_latency = 0;
  std::array<bool, kMaxChannels> m_enabled = {true, true, true, true, true, true, true, true};
  std::array<MDelayLine, kMaxChannels> m_delays;
  /// What Encode changed in the current block (Decode undoes only that).
  bool m_encoded = false;
  bool m_swapped = false;
  bool m_compacted = false;
  std::int32_t m_inputChannels = 0;
  std::int32_t m_outputChannels = 0;
  std::array<float*, kMaxChannels> m_savedInputs = {};
  std::array<float*, 2> m_hostInputs = {}; // the host's pair, restored by Decode
  std::array<float*, kMaxChannels> m_savedOutputs = {};
};
