#pragma once
// Turns the note tracker's frame-by-frame choice into sung notes for MIDI output.
//
// The tracker chooses a note for every frame; a singer's line passes through many of them that
// nobody sang: a scoop up into a note, a glide between two, the detector's octave slips, vibrato
// that crosses the midpoint to a neighbour. The segmenter keeps one sounding note and decides,
// frame by frame, when it ends and when another begins:
//  - A new note must stay chosen for kMinimumNoteSeconds and starts at the frame that completes
//    that time (so an onset is heard that long after the voice reaches the note, plus at most
//    one hop). A note the line only passes through never lasts that long and is never sent.
//  - While one waits, a chosen note an octave (or several) away is the same candidate, in the
//    octave it was first heard in.
//  - While a note sounds, a note any number of octaves away is the detector slipping, not a new
//    note; a neighbour takes over only once the voice is past the midpoint between the two by
//    kHoldCents, or by the tracker's own hold where that is larger. Vibrato of +-50 cents around
//    a note therefore never sends its neighbour.
//  - A frame is unvoiced when no note is chosen, the chosen note lies outside MIDI's 0..127 or
//    its RMS level is at or below kSilenceDb; the sounding note ends once the voice has been
//    unvoiced for kReleaseSeconds.
//
// Threads: everything runs on the audio thread of the effect that owns the segmenter (under its
// processing lock). Nothing here allocates, blocks or throws.

#include <cstdint>

/// A MIDI note number, or none. Two numberings of the equal-tempered semitones meet in this code:
/// MNoteTracker's, which counts C5 as 60, and MIDI's, which counts the same C5 as 72; the
/// conversions between them are here and nowhere else.
class MMIDINoteNumber
{
public:
  /// No note.
  constexpr MMIDINoteNumber() = default;

  /// The MIDI number `number` (any integer; InRange tells whether MIDI can send it).
  static constexpr MMIDINoteNumber FromNumber(int number) { return MMIDINoteNumber(number); }
  /// The tracker's note `trackerNote` (MNoteTracker::ChosenNote); below 0 is none.
  static constexpr MMIDINoteNumber FromTracker(int trackerNote)
  {
    return trackerNote >= 0 ? MMIDINoteNumber(trackerNote + kTrackerOffset) : MMIDINoteNumber();
  }
  /// A continuous tracker pitch (MNoteTracker::InputNote) in MIDI's numbering; a pitch below 0
  /// (the tracker's "none") stays -1.
  static constexpr double PitchFromTracker(double trackerPitch)
  {
    return trackerPitch >= 0.0 ? trackerPitch + kTrackerOffset : -1.0;
  }

  constexpr bool IsNone() const { return m_number < 0; }
  /// A note MIDI can send: 0..127.
  constexpr bool InRange() const { return m_number >= 0 && m_number <= 127; }
  /// The MIDI number; -1 for none.
  constexpr int Number() const { return m_number; }
  /// Whether the two lie a whole number of octaves apart (the same note included).
  constexpr bool SamePitchClass(MMIDINoteNumber other) const { return (m_number - other.m_number) % 12 == 0; }

  friend constexpr bool operator==(MMIDINoteNumber, MMIDINoteNumber) = default;

private:
  explicit constexpr MMIDINoteNumber(int number) : m_number(number < 0 ? -1 : number) {}

  static constexpr int kTrackerOffset = 12;
  int m_number = -1;
};

class MNoteSegmenter
{
public:
  /// A frame at or below this RMS level (dBFS) is silent; velocity 1 stands for it, 127 for 0 dBFS.
  static constexpr double kSilenceDb = -60.0;
  /// A note ends after the voice has been unvoiced or silent this long.
  static constexpr double kReleaseSeconds = 0.05;
  /// A new note must stay chosen this long before it is sent.
  static constexpr double kMinimumNoteSeconds = 0.1;
  /// A neighbour takes over only this far past the midpoint (at least).
  static constexpr double kHoldCents = 25.0;

  /// What the tracker made of one frame.
  struct Frame
  {
    MMIDINoteNumber chosen;   ///< the note the tracker chose, or none
    double inputPitch = -1.0; ///< the voice's pitch in MIDI numbering, fractional; below 0 none
    double levelDb = kSilenceDb;
    int hopSamples = 0;     ///< samples since the previous frame
    double holdCents = 0.0; ///< the tracker's hold (MNoteTracker::HoldCents)
  };

  enum class Change
  {
    kNone,  ///< nothing to send
    kEnd,   ///< end the sounding note (sent again for every frame once the release is over)
    kStart, ///< end the sounding note, if any, and start `note` with `velocity`
  };
  struct Decision
  {
    Change change = Change::kNone;
    MMIDINoteNumber note;
    int velocity = 0; ///< 1..127 with kStart
  };

  /// Sample rate in Hz, for the times above; call before the first Feed.
  void SetSampleRate(double sampleRateHz) { m_sampleRate = sampleRateHz; }
  /// Forgets a waiting note and the unvoiced time (processing starts again); the sounding note
  /// stays until the owner reports it ended.
  void Reset();
  /// The owner's output ended the sounding note (switched off, bypass, panic, a failed send).
  void NoteEnded() { m_sounding = MMIDINoteNumber(); }
  /// Decides what one frame changes; assumes the owner carries the decision out.
  Decision Feed(const Frame& frame);
  /// The note being sent, or none.
  MMIDINoteNumber Sounding() const { return m_sounding; }

  /// The RMS level of `frame` in dB (about -300 for silence); frameSize below 1 counts as 1.
  static double LevelDb(const float* frame, int frameSize);

private:
  double m_sampleRate = 0.0;
  MMIDINoteNumber m_sounding;
  MMIDINoteNumber m_candidate; // a new note waiting to have lasted long enough
  std::int32_t m_candidateSamples = 0;
  std::int32_t m_unvoicedSamples = 0; // counted up to the release only
};
