#pragma once
// MMIDIControllers: what the MIDI controller assignments and note controllers of a plug-in do
// with incoming MIDI, and the small lock-free records the adapter keeps for them.
//
// The functions are pure (any thread, no allocation). The adapter evaluates them on the audio
// thread for every controller, aftertouch, pitch-bend and note it receives.

#include "core/plugin/MRelaxed.h"
#include "framework/MControllerSettings.h"

#include <array>
#include <atomic>
#include <cstdint>

/// How a controller assignment maps its input onto the target parameter.
enum MRangeMode : std::int32_t
{
  kRangeUpAndDown = 0,
  kRangeFull = 1,
  kRangeUpOnly = 2,
  kRangeDownOnly = 3,
  kRangeInterval = 4,
};

/// What a note controller does with a note.
enum MNoteControllerMode : std::int32_t
{
  kNoteLinear = 0,
  kNoteLogarithmic = 1,
  kNoteOnOff = 2,
  kNoteOnOffAllOctaves = 3,
  kNoteSwitch = 4,
  kNoteSwitchAllOctaves = 5,
  /// The maximum while any note of the pitch class is held, the value while none is; every such
  /// controller follows every note, so the first note switches off the pitch classes not held.
  kNoteHeldAllOctaves = 6,
};

namespace MMIDIControllers
{
/// Pseudo controller numbers of an assignment beyond the 128 continuous controllers.
inline constexpr std::int32_t kAftertouch = 128;
inline constexpr std::int32_t kPitchBend = 129;
inline constexpr std::int32_t kVelocityOnAndOff = 130;
inline constexpr std::int32_t kVelocityOn = 131;

/// "Up and down", "Full range", "Up only", "Down only", "Interval"; empty outside the table.
const char* RangeModeName(std::int32_t mode) noexcept;
/// "Linear", "Logarithmic", "On/Off", "On/Off (all octaves)", "Switch", "Switch (all octaves)",
/// "Held notes (all octaves)".
const char* NoteControllerModeName(std::int32_t mode) noexcept;

/// The parameter value (normalised) for input x in -1..1 (2 v - 1 of a 0..1 input).
double MapController(const MControllerAssignment& assignment, double x) noexcept;
/// Whether an assignment listens to `channel` (0..15) and `controller` (a number or pseudo number).
bool Matches(const MControllerAssignment& assignment, std::int32_t channel, std::int32_t controller) noexcept;
/// Linear and Logarithmic note controllers: the value for a note (0..127) bent by `bend`
/// semitones (-1..1), from the note's frequency over 20 Hz .. 20 kHz.
double NoteFrequencyValue(const MNoteControllerAssignment& controller, std::int32_t note,
                          double bend) noexcept;
/// Whether `note` is the controller's note (in any octave for the all-octaves modes).
bool NoteMatches(const MNoteControllerAssignment& controller, std::int32_t note) noexcept;

/// The preset-switch controller: a step of -1 when the input falls below a third, +1 when it
/// rises to two thirds, each once per crossing. Fields other threads set are atomic.
struct PresetSwitch
{
  MRelaxed<bool> enabled{false};
  MRelaxed<std::int32_t> controller{0}; ///< a controller number or pseudo number
  MRelaxed<std::int32_t> channel{0};    ///< 0 = any, else 1..16
  /// Last input (audio thread only).
  double last = 0.0;

  /// Step requested by continuous input `value` (0..1): -1, +1 or 0; remembers the value.
  std::int32_t Step(double value) noexcept;
};

/// One learn notification: the 1-based channel, the controller (or pseudo) number and, for a
/// note (131), the note number (-1 otherwise).
struct LearnRecord
{
  std::int32_t channel = 0;
  std::int32_t controller = 0;
  std::int32_t note = -1;
};

/// Learn notifications from the audio thread (single producer) to the GUI thread (single
/// consumer), without a lock; when full, new records are dropped until the GUI reads.
class LearnQueue
{
public:
  static constexpr std::uint32_t kCapacity = 64;
  void Post(LearnRecord record) noexcept;
  /// Takes the oldest record; false when there is none.
  bool Pop(LearnRecord& record) noexcept;

private:
  std::array<LearnRecord, kCapacity> m_records{};
  std::atomic<std::uint32_t> m_head{0};
  std::atomic<std::uint32_t> m_tail{0};
};
} // namespace MMIDIControllers
