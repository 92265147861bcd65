#pragma once
// A sung-like test phrase made in code: a harmonic source with a vowel-like spectral
// envelope, a few notes joined by short glides, vibrato that fades in on each note and
// soft note onsets and ends. Deterministic; no files needed.

#include <vector>

namespace MSyntheticVoice
{
struct Note
{
  double frequencyHz;
  double seconds;
};

/// The default phrase: five notes of a minor melody around A3, 2.8 seconds in all.
std::vector<Note> DefaultPhrase();

/// Renders the phrase at sampleRateHz, peaking at about `peak` (full scale 1).
std::vector<float> Sing(const std::vector<Note>& phrase, double sampleRateHz, float peak = 0.5f);
} // namespace MSyntheticVoice
