#pragma once
// MDemoVoice: sung-like test material made in code, so the renderer's demo and benchmark need no
// recording. A band-limited harmonic source (partials falling at 6 dB per octave) is shaped by
// vowel formants (three resonances per vowel, moving smoothly from vowel to vowel) and follows
// a pitch line built from notes: each note can start with a scoop from below, be sung a number
// of cents off its true pitch, glide from the note before, and carry vibrato that grows in after
// the onset. A little breath noise and soft onsets and ends complete it. Deterministic.
//
// Pure functions of their arguments; allocate the returned samples.

#include <vector>

class MDemoVoice
{
public:
  struct Note
  {
    int note = 0;              ///< note number, 69 = A4 (440 Hz); 0 = a rest
    double seconds = 0.0;      ///< length, including the glide into it
    double offCents = 0.0;     ///< how far off pitch it is sung
    double scoopCents = 0.0;   ///< start this far below and rise into the note (0: none)
    double vibratoCents = 0.0; ///< vibrato depth (each way), grown in over 0.4 s
    double glideSeconds = 0.0; ///< glide from the previous note's pitch (0: a new onset)
    int vowel = 0;             ///< 0 "a", 1 "e", 2 "i", 3 "o", 4 "u"
  };

  /// The demo phrase: a melody in D major, about 7 seconds, with scoops, vibrato, glides and
  /// notes sung between 15 and 40 cents off.
  static std::vector<Note> DemoPhrase();

  /// The benchmark material for seconds seconds: a pattern of held notes sung 35 cents sharp,
  /// glides between notes and notes with wide vibrato, repeated.
  static std::vector<Note> TestPattern(double seconds);

  /// Renders notes as mono samples at sampleRateHz, peaking near peak.
  static std::vector<float> Sing(const std::vector<Note>& notes, double sampleRateHz, float peak = 0.5f);

  /// Total length of notes in seconds.
  static double Length(const std::vector<Note>& notes);
};
