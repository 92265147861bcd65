#pragma once
// MMIDIOutputQueue: the MIDI events an effect sends to the host, from its processing to the host
// adapter's own event list.
//
// An effect that sends MIDI owns one queue and hands it out through
// MAudioEffectPlugin::GetMIDIOutput. It pushes events while it processes, each at its sample
// offset inside the effect's processing call; the effect adapter takes them out after every such
// call, moves the offsets into the host's block and passes them on (MAudioPlugin::GenerateMIDIEvent),
// then clears the queue. The adapter also ends the sounding notes itself when nothing else would
// (InitProcessing, Panic, a bypassed block), so the queue remembers which notes are on.
//
// Capacity: fixed at kCapacity events, reserved in the object itself; a push beyond it is dropped
// and answers false (a note-on dropped this way is not counted as sounding).
//
// Threads: the switch (SetEnabled / IsEnabled) is a relaxed atomic, written by the settings on any
// thread. Everything else runs on the audio thread or under the plug-in's processing lock, which
// keeps the effect's processing and the adapter's set-up apart. Nothing here allocates, blocks or
// throws.

#include "core/plugin/MRelaxed.h"

#include <array>
#include <bitset>
#include <cstdint>

class MMIDIOutputQueue
{
public:
  static constexpr std::int32_t kCapacity = 256;

  struct Event
  {
    /// Samples from the start of the processing call the event belongs to.
    std::int32_t sampleOffset = 0;
    /// Status byte, two data bytes, a zero.
    std::uint8_t bytes[4] = {};
  };

  /// Whether the effect is to send at all (the user's option; off for a fresh queue).
  bool IsEnabled() const noexcept { return m_enabled.Load(); }
  void SetEnabled(bool enabled) noexcept { m_enabled = enabled; }

  /// A note-on of `note` (0..127) with `velocity` (1..127) on `channel` (0..15). False when the
  /// queue is full or the arguments are out of range (nothing queued).
  bool NoteOn(std::int32_t sampleOffset, int channel, int note, int velocity) noexcept;
  /// A note-off for every note that is on, in rising order, on the channel it began on.
  void EndNotes(std::int32_t sampleOffset) noexcept;
  bool IsSounding(int note) const noexcept { return note >= 0 && note < 128 && m_sounding.test(Index(note)); }
  bool AnySounding() const noexcept { return m_sounding.any(); }

  std::int32_t Count() const noexcept { return m_count; }
  const Event& At(std::int32_t index) const noexcept { return m_events[static_cast<std::size_t>(index)]; }
  /// Forgets the queued events (the sounding notes stay on).
  void Clear() noexcept { m_count = 0; }

private:
  static std::size_t Index(int note) noexcept { return static_cast<std::size_t>(note); }
  bool Push(std::int32_t sampleOffset, std::uint8_t status, std::uint8_t data1, std::uint8_t data2) noexcept;

  MRelaxed<bool> m_enabled{false};
  std::bitset<128> m_sounding;
  std::array<std::uint8_t, 128> m_channels{};
  std::array<Event, kCapacity> m_events{};
  std::int32_t m_count = 0;
};
