#pragma once
// MMIDIProcessor: the MIDI input side of a plug-in.
//
// This is the small base the plug-in core needs: decoding of one raw short message into typed
// calls and the per-channel note state those calls keep. Listener registration and controller
// mapping belong to the framework that derives from it.
//
// Threads: the host adapter calls ProcessShortMessage on the audio thread, before the block the
// message belongs to. Nothing here allocates, blocks or throws.

#include "base/MObject.h"

#include <cstdint>

/// Per-channel note state kept by the MIDI processor (plain record).
struct MMIDIState
{
  static constexpr int kChannels = 16;
  static constexpr int kNotes = 128;

  /// Velocity of each sounding note, 0 when the note is off.
  std::uint8_t noteVelocity[kChannels][kNotes] = {};
  /// Last controller values, 0..127.
  std::uint8_t controllers[kChannels][kNotes] = {};
  /// Last pitch-bend value, -8192..8191.
  std::int16_t pitchBend[kChannels] = {};
  /// Last channel pressure, 0..127.
  std::uint8_t aftertouch[kChannels] = {};
};

class MMIDIProcessorBase : public MObject
{
public:
  ~MMIDIProcessorBase() override = default;
};

class MMIDIProcessor : public MMIDIProcessorBase, public MMIDIState
{
public:
  ~MMIDIProcessor() override = default;

  /// A note started (velocity 1..127) or ended (velocity 0); channel 0..15, note 0..127,
  /// offset in samples from the start of the current block. Base: records the velocity.
  virtual void ProcessNote(int channel, int note, int velocity, int sampleOffset);
  /// Channel pressure 0..127. Base: records it.
  virtual void ProcessAftertouch(int channel, int value, int sampleOffset);
  /// Pitch bend -8192..8191. Base: records it.
  virtual void ProcessPitchBend(int channel, int value, int sampleOffset);
  /// Controller 0..127 set to 0..127. Base: records it.
  virtual void ProcessMIDIController(int channel, int controller, int value, int sampleOffset);
  /// Decodes one short message (status byte first) into the calls above; unknown or
  /// incomplete messages are ignored. Note-on with velocity 0 is a note-off.
  virtual void ProcessShortMessage(const std::uint8_t bytes[3], int sampleOffset);
};
