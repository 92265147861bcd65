#include "tools/render/MDemoVoice.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace
{
constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr int kMaxPartials = 48;
constexpr int kFormants = 3;
constexpr double kVibratoHz = 5.6;

// Formant centre frequencies and bandwidths (Hz) of five vowels, sung by a mid-range voice.
constexpr double kVowelFormants[5][kFormants] = {
    {730.0, 1090.0, 2440.0}, // a
    {530.0, 1840.0, 2480.0}, // e
    {300.0, 2200.0, 2900.0}, // i
    {570.0, 840.0, 2410.0},  // o
    {320.0, 870.0, 2240.0},  // u
};
constexpr double kFormantBandwidth[kFormants] = {90.0, 110.0, 160.0};
constexpr double kFormantGain[kFormants] = {1.0, 0.6, 0.25};

double SmoothStep(double x)
{
  x = std::clamp(x, 0.0, 1.0);
  return x * x * (3.0 - 2.0 * x);
}

double Envelope(const double (&formants)[kFormants], double frequencyHz)
{
  double level = 0.02; // a floor, so no partial vanishes entirely
  for (int j = 0; j < kFormants; ++j)
  {
    const double x = (frequencyHz - formants[j]) / kFormantBandwidth[j];
    level += kFormantGain[j] / (1.0 + x * x);
  }
  return level;
}
} // namespace

std::vector<MDemoVoice::Note> MDemoVoice::DemoPhrase()
{
  // note, seconds, off, scoop, vibrato, glide, vowel
  return {
      {62, 0.55, 0.0, 120.0, 0.0, 0.0, 0},
      {64, 0.45, -30.0, 0.0, 0.0, 0.08, 0},
      {66, 0.90, 38.0, 0.0, 25.0, 0.10, 3},
      {0, 0.15},
      {69, 0.80, -20.0, 150.0, 35.0, 0.0, 0},
      {67, 0.45, 25.0, 0.0, 0.0, 0.10, 1},
      {66, 0.45, -15.0, 0.0, 0.0, 0.08, 1},
      {64, 0.60, 30.0, 0.0, 20.0, 0.10, 3},
      {0, 0.20},
      {71, 0.50, -35.0, 100.0, 0.0, 0.0, 2},
      {69, 0.50, 20.0, 0.0, 0.0, 0.10, 0},
      {66, 0.50, -25.0, 0.0, 0.0, 0.12, 3},
      {62, 1.20, 30.0, 0.0, 40.0, 0.15, 0},
  };
}

std::vector<MDemoVoice::Note> MDemoVoice::TestPattern(double seconds)
{
  const std::vector<Note> pattern = {
      {57, 1.20, 35.0, 0.0, 0.0, 0.0, 0},  // held, 35 cents sharp
      {60, 0.80, 35.0, 0.0, 0.0, 0.40, 3}, // a slow glide up, landing sharp
      {64, 1.00, 35.0, 0.0, 0.0, 0.15, 1}, // held sharp
      {62, 1.20, 0.0, 0.0, 45.0, 0.20, 0}, // wide vibrato around the true pitch
      {0, 0.20},
  };
  std::vector<Note> notes;
  double length = 0.0;
  while (length < seconds)
    for (const Note& note : pattern)
    {
      Note piece = note;
      piece.seconds = std::min(piece.seconds, seconds - length);
      if (piece.seconds <= 0.0)
        break;
      notes.push_back(piece);
      length += piece.seconds;
    }
  return notes;
}

double MDemoVoice::Length(const std::vector<Note>& notes)
{
  double seconds = 0.0;
  for (const Note& note : notes)
    seconds += note.seconds;
  return seconds;
}

std::vector<float> MDemoVoice::Sing(const std::vector<Note>& notes, double sampleRateHz, float peak)
{
  const auto total = static_cast<std::size_t>(std::ceil(Length(notes) * sampleRateHz));
  std::vector<float> samples(total, 0.0f);
  if (total == 0 || sampleRateHz <= 0.0)
    return samples;

  double phase = 0.0;
  double formants[kFormants] = {kVowelFormants[0][0], kVowelFormants[0][1], kVowelFormants[0][2]};
  double amplitudes[kMaxPartials] = {};
  std::uint32_t noise = 0x12345678u;
  const double formantGlide = 1.0 - std::exp(-1.0 / (0.04 * sampleRateHz)); // 40 ms
  constexpr int kUpdateEvery = 64;

  std::size_t index = 0;
  double previousPitch = 0.0; // semitones (note number) of the note before; 0 after a rest
  for (std::size_t n = 0; n < notes.size(); ++n)
  {
    const Note& note = notes[n];
    const auto length = static_cast<std::size_t>(std::llround(note.seconds * sampleRateHz));
    const double pitch = note.note + note.offCents / 100.0;
    const bool legatoIn = note.glideSeconds > 0.0 && previousPitch > 0.0;
    const bool legatoOut = n + 1 < notes.size() && notes[n + 1].note != 0 && notes[n + 1].glideSeconds > 0.0;
    for (std::size_t i = 0; i < length && index < total; ++i, ++index)
    {
      if (note.note == 0)
        continue; // a rest: silence, and the phase simply waits
      const double t = static_cast<double>(i) / sampleRateHz;
      const double remaining = note.seconds - t;

      double semitones = pitch;
      if (legatoIn)
        semitones = previousPitch + (pitch - previousPitch) * SmoothStep(t / note.glideSeconds);
      if (note.scoopCents > 0.0)
        semitones -= note.scoopCents / 100.0 * (1.0 - SmoothStep(t / 0.15));
      const double vibratoDepth = note.vibratoCents / 100.0 * SmoothStep((t - 0.15) / 0.4);
      const double clock = static_cast<double>(index) / sampleRateHz;
      semitones += vibratoDepth * std::sin(kTwoPi * kVibratoHz * clock);
      semitones += 0.03 * std::sin(kTwoPi * 0.7 * clock); // slow drift, 3 cents
      const double f0 = 440.0 * std::exp2((semitones - 69.0) / 12.0);

      double level = 1.0;
      if (!legatoIn)
        level *= SmoothStep(t / 0.05);
      if (!legatoOut)
        level *= SmoothStep(remaining / 0.07);

      for (int j = 0; j < kFormants; ++j)
        formants[j] += (kVowelFormants[note.vowel][j] - formants[j]) * formantGlide;
      const int partials = std::clamp(static_cast<int>(0.45 * sampleRateHz / f0), 1, kMaxPartials);
      if (i % kUpdateEvery == 0)
        for (int k = 1; k <= partials; ++k)
        {
          const double frequency = k * f0;
          const double nearNyquist =
              std::clamp((0.45 * sampleRateHz - frequency) / (0.05 * sampleRateHz), 0.0, 1.0);
          amplitudes[k - 1] = Envelope(formants, frequency) / k * nearNyquist;
        }

      phase += kTwoPi * f0 / sampleRateHz;
      if (phase > kTwoPi)
        phase -= kTwoPi;
      double value = 0.0;
      for (int k = 1; k <= partials; ++k)
        value += amplitudes[k - 1] * std::sin(k * phase);
      noise = noise * 1664525u + 1013904223u;
      const double breath = (static_cast<double>(noise >> 8) / 8388608.0 - 1.0) * 0.004;
      samples[index] = static_cast<float>((value + breath) * level);
    }
    previousPitch = note.note != 0 ? pitch : 0.0;
  }

  float loudest = 0.0f;
  for (float sample : samples)
    loudest = std::max(loudest, std::fabs(sample));
  if (loudest > 0.0f)
    for (float& sample : samples)
      sample *= peak / loudest;
  return samples;
}
