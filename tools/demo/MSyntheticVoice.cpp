#include "MSyntheticVoice.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Resonances of an open "ah": centre and bandwidth in Hz, relative gain.
struct Formant
{
  double centreHz;
  double bandwidthHz;
  double gain;
};
constexpr Formant kFormants[] = {{730.0, 90.0, 1.0}, {1090.0, 110.0, 0.5}, {2440.0, 170.0, 0.25}};

double Envelope(double frequencyHz)
{
  // A source falling by about 6 dB per octave, lifted near the formants.
  double lift = 0.15;
  for (const Formant& f : kFormants)
  {
    const double x = (frequencyHz - f.centreHz) / f.bandwidthHz;
    lift += f.gain / (1.0 + x * x);
  }
  return lift * 200.0 / std::max(frequencyHz, 100.0);
}
} // namespace

namespace MSyntheticVoice
{
std::vector<Note> DefaultPhrase()
{
  return {{220.0, 0.55}, {261.63, 0.5}, {329.63, 0.6}, {293.66, 0.45}, {246.94, 0.7}};
}

std::vector<float> Sing(const std::vector<Note>& phrase, double sampleRateHz, float peak)
{
  std::vector<double> voice;
  double phase = 0.0;
  double previousHz = phrase.empty() ? 0.0 : phrase.front().frequencyHz;
  for (const Note& note : phrase)
  {
    const auto samples = static_cast<std::size_t>(note.seconds * sampleRateHz);
    for (std::size_t i = 0; i < samples; ++i)
    {
      const double t = static_cast<double>(i) / sampleRateHz;
      // 40 ms glide from the previous note, then vibrato of 5.5 Hz and up to 35 cents
      // that fades in over the first 300 ms.
      const double glide = std::min(t / 0.04, 1.0);
      const double centre = previousHz * std::pow(note.frequencyHz / previousHz, glide);
      const double depthCents = 35.0 * std::min(t / 0.3, 1.0);
      const double frequency = centre * std::pow(2.0, depthCents / 1200.0 * std::sin(kTwoPi * 5.5 * t));
      phase = std::fmod(phase + kTwoPi * frequency / sampleRateHz, kTwoPi);

      double sample = 0.0;
      for (int k = 1; k * frequency < 0.45 * sampleRateHz && k <= 40; ++k)
        sample += Envelope(k * frequency) * std::sin(k * phase);

      const double attack = std::min(t / 0.03, 1.0);
      const double release = std::min((note.seconds - t) / 0.06, 1.0);
      voice.push_back(sample * attack * std::max(release, 0.0));
    }
    previousHz = note.frequencyHz;
  }

  double loudest = 1e-12;
  for (double x : voice)
    loudest = std::max(loudest, std::fabs(x));
  std::vector<float> out(voice.size());
  for (std::size_t i = 0; i < voice.size(); ++i)
    out[i] = static_cast<float>(voice[i] / loudest * peak);
  return out;
}
} // namespace MSyntheticVoice
