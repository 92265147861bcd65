#pragma once
// Turns the stream of detected notes into the note the corrector moves towards.
//
// One tracker serves a whole effect instance (the effect later declares
// `using NoteTracker = MNoteTracker;` inside TonveraAudioEffectPlugin). The channel-0
// corrector feeds it the detected note once per frame; every channel then shifts by the
// ratio between the tracker's output note and its input note.
//
// Notes are continuous: note = 60 + 12 * log2(f / (440 * 2^0.25)), pitch class =
// note mod 12 with 0 = C. For an input note x the tracker rounds to the nearest note
// (halves go up), searches the nearest enabled scale note n on alternating sides
// starting on the side of x, and removes a part of the offset x - n:
//  - Speed sets how fast the removal fades in after the chosen note changes: the glide
//    rises linearly from 0 to 1 over (1 - speed)^4 seconds plus one sample.
//  - Depth sets how much of the offset is removed: the removed amount is the offset
//    low-passed with a time constant of (1 - depth)^4 seconds, so Depth 1 removes it
//    all and lower depths remove only its slowly moving average (vibrato passes).
//  - Hold (cents, 0 = off) keeps the chosen note against a voice that hovers near the
//    midpoint between it and the next enabled note: the search above still finds the
//    nearest note, but the tracker moves to it only once the input lies more than Hold
//    cents beyond the midpoint between the two. Without it a note sung 40 cents sharp
//    with vibrato flips between its two neighbours several times a second.
//
// Threads: FeedNote, UpdateCoefficients and the setters run on the audio thread under
// the effect's processing lock. The scale flags are atomics (relaxed) because the
// scale automation writes them from other threads without that lock. Nothing here
// allocates, blocks or throws.

#include <array>
#include <atomic>
#include <optional>

class MNoteTracker
{
public:
  /// Number of pitch classes in the scale, C first.
  static constexpr int kPitchClasses = 12;

  /// Speed and depth 0.5, no sample rate yet, no note, all scale notes enabled.
  MNoteTracker();

  MNoteTracker(const MNoteTracker&) = delete;
  MNoteTracker& operator=(const MNoteTracker&) = delete;

  /// Speed 0..1 and Depth 0..1 as the parameters hold them; stored only. Call
  /// UpdateCoefficients afterwards.
  void SetSpeed(double speed) { m_speed = speed; }
  void SetDepth(double depth) { m_depth = depth; }
  double Speed() const { return m_speed; }
  double Depth() const { return m_depth; }
  /// Hold in cents (0..50 as the parameter holds it; below 0 counts as 0); takes effect with
  /// the next FeedNote. 0 leaves the choice exactly as without hold.
  void SetHoldCents(double holdCents) { m_holdCents = holdCents; }
  double HoldCents() const { return m_holdCents; }

  /// Sample rate in Hz; stored only. Call UpdateCoefficients afterwards.
  void SetSampleRate(double sampleRateHz) { m_sampleRate = sampleRateHz; }
  double SampleRate() const { return m_sampleRate; }

  /// Recomputes the glide step (per sample) and the deviation time constant (samples)
  /// from speed, depth and sample rate.
  void UpdateCoefficients();

  /// Feeds the note detected for one frame; hopSamples is the frame hop. An absent note
  /// (nothing detected yet, or a non-finite value) sets input and output note to -1 and
  /// the chosen note to -1, which the corrector reads as "no correction".
  void FeedNote(std::optional<double> note, int hopSamples);

  /// The last note fed in (-1 when absent).
  double InputNote() const { return m_inputNote; }
  /// The corrected note (-1 when absent); equals the input note when no scale note
  /// could be chosen.
  double OutputNote() const { return m_outputNote; }
  /// The scale note being corrected to, or -1 for none.
  int ChosenNote() const { return m_chosenNote; }

  /// Flag of pitch class 0..11 (C first); a set flag lets the note be chosen.
  std::array<std::atomic<bool>, kPitchClasses>& ScaleNotes() { return m_scaleNotes; }
  const std::array<std::atomic<bool>, kPitchClasses>& ScaleNotes() const { return m_scaleNotes; }

private:
  bool IsEnabled(int note) const;
  /// The note to correct to when the search found `nearest` for input x: the chosen note
  /// while x has not passed the midpoint towards `nearest` by more than the hold.
  int ApplyHold(double x, int nearest) const;

  double m_speed = 0.5;
  double m_depth = 0.5;
  double m_holdCents = 0.0;
  double m_sampleRate = 0.0;
  int m_chosenNote = -1;
  double m_inputNote = -1.0;
  double m_outputNote = -1.0;
  double m_glide = 0.0;
  double m_glideStep = 1.0;
  double m_deviation = 0.0;
  double m_deviationTime = 0.0;
  std::array<std::atomic<bool>, kPitchClasses> m_scaleNotes;
};
