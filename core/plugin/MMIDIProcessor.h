#pragma once
// MMIDIProcessor: the MIDI input side of a plug-in.
//
// MMIDIProcessorBase is the receiving interface (the typed operations, in their fixed order) and
// the registry of MIDI listeners; its operations forward to every listener whose channel bit is
// set and whose enable flag (when it has one) is true. MMIDIProcessor decodes raw three-byte
// messages into those operations and keeps the note, sustain and pitch-bend state (MMIDIState).
//
// Threads: the host adapter calls ProcessMIDIEvent (or ProcessShortMessage) on the audio thread,
// before the block the message belongs to. Listeners are added and removed on any thread; a
// listener slot is one atomic pointer, so the audio thread sees a listener whole or not at all
// (a removed listener must stay alive until the current block is over). Nothing here allocates,
// blocks or throws.

#include "base/MObject.h"
#include "core/plugin/MRelaxed.h"

#include <atomic>
#include <cstdint>

/// One decoded note-on or note-off.
struct MMIDINote
{
  std::int32_t deltaFrames = 0;
  double time = 0.0; ///< musical time in quarter notes
  std::uint8_t channel = 0;
  std::uint8_t note = 0;
  double velocity = 0.0; ///< 0..1
  bool noteOn = false;
  std::int32_t heldCount = 0;     ///< how often this note is held on this channel (after the event)
  std::int32_t heldOnChannel = 0; ///< notes held on this channel (after the event)
  bool sustain = false;
};

/// A receiver of decoded MIDI. Base operations do nothing.
class MMIDIListener
{
public:
  virtual ~MMIDIListener() = default;
  virtual void ProcessNote(const MMIDINote&) {}
  /// `note` is 255 for channel pressure; value 0..1.
  virtual void ProcessAftertouch(std::int32_t, double, std::int32_t /*channel*/, std::int32_t /*note*/,
                                 double)
  {}
  /// Bend -1..1.
  virtual void ProcessPitchBend(std::int32_t, double, std::int32_t /*channel*/, double) {}
  /// Value 0..1.
  virtual void ProcessMIDIController(std::int32_t, double, std::int32_t /*channel*/, std::int32_t, double) {}

  /// One bit per MIDI channel (bit 0 = channel 0).
  MRelaxed<std::uint16_t> channelMask{0xFFFF};
  /// When set and false, the listener receives nothing.
  const MRelaxed<bool>* enableFlag = nullptr;

  bool Accepts(std::int32_t channel) const noexcept
  {
    if (enableFlag != nullptr && !enableFlag->Load())
      return false;
    return channel >= 0 && channel < 16 && (channelMask.Load() >> channel & 1u) != 0;
  }
};

/// Note and sustain state of one plug-in.
struct MMIDIState
{
  static constexpr int kChannels = 16;
  static constexpr int kNotes = 128;

  bool sustain = false;
  std::int32_t held[kChannels][kNotes] = {};
  std::int32_t sustained[kChannels][kNotes] = {};
  std::int32_t heldOnChannel[kChannels] = {};
  /// Last pitch-bend, -1..1.
  double bend = 0.0;

  // Raw last values per channel, as received.
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
  static constexpr int kMaxListeners = 16;

  ~MMIDIProcessorBase() override = default;

  // Receiving operations, in slot order. Times: delta frames in the block, musical time in
  // quarter notes. Bases forward notes, aftertouch, pitch-bend and controllers to the listeners.

  virtual void ProcessNote(const MMIDINote& note);
  virtual void ProcessAllNotesOff(std::int32_t delta, double time);
  /// Controller 126 (mono mode).
  virtual void ProcessController126(std::int32_t delta, double time, std::int32_t channel);
  virtual void ProcessAftertouch(std::int32_t delta, double time, std::int32_t channel, std::int32_t note,
                                 double value);
  virtual void ProcessProgramChange(std::int32_t delta, double time, std::int32_t channel,
                                    std::int32_t program);
  /// Pan -1..1 (controller 10).
  virtual void ProcessPan(std::int32_t delta, double time, std::int32_t channel, double value);
  /// Volume 0..1 (controller 7).
  virtual void ProcessVolume(std::int32_t delta, double time, std::int32_t channel, double value);
  virtual void ProcessPitchBend(std::int32_t delta, double time, std::int32_t channel, double value);
  /// Answers whether the controller was handled.
  virtual bool ProcessMIDIController(std::int32_t delta, double time, std::int32_t channel,
                                     std::int32_t controller, double value);

  /// Adds a listener (false when all slots are taken or it is already there). Any thread.
  bool AddMIDIListener(MMIDIListener* listener) noexcept;
  void RemoveMIDIListener(MMIDIListener* listener) noexcept;

protected:
  template <class Call>
  void ForEachListener(std::int32_t channel, Call call)
  {
    for (auto& slot : m_listeners)
    {
      MMIDIListener* listener = slot.load(std::memory_order_acquire);
      if (listener != nullptr && listener->Accepts(channel))
        call(*listener);
    }
  }

private:
  std::atomic<MMIDIListener*> m_listeners[kMaxListeners] = {};
};

class MMIDIProcessor : public MMIDIProcessorBase, public MMIDIState
{
public:
  ~MMIDIProcessor() override = default;

  /// Decodes one three-byte message (status first) at `delta` frames into the block and calls
  /// the operation it names; answers whether it was handled. A note-on with velocity 0 is a
  /// note-off; a note-off for a note not held is dropped; sustain (controller 64) defers
  /// note-offs until it is released.
  virtual bool ProcessMIDIEvent(std::int32_t delta, const std::uint8_t bytes[3]);
  /// As ProcessMIDIEvent (null is ignored).
  void ProcessShortMessage(const std::uint8_t bytes[3], int sampleOffset)
  {
    if (bytes != nullptr)
      ProcessMIDIEvent(sampleOffset, bytes);
  }

  /// Records the bend, then forwards.
  void ProcessPitchBend(std::int32_t delta, double time, std::int32_t channel, double value) override;
  /// Forwards, then volume (7), pan (10), sustain (64), all notes off (123), controller 126.
  bool ProcessMIDIController(std::int32_t delta, double time, std::int32_t channel, std::int32_t controller,
                             double value) override;

protected:
  /// Musical time of `delta` frames into the block, in quarter notes. Base: at 120 beats per
  /// minute and 44100 Hz from position 0; plug-ins answer from their transport.
  virtual double MusicalTime(std::int32_t delta) const;

private:
  void PerformNote(std::int32_t delta, double time, std::int32_t channel, std::int32_t note, double velocity,
                   bool noteOn);
  void ReleaseSustained(std::int32_t delta, double time, std::int32_t channel);
};
