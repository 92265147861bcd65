#pragma once
// Set-up and signals shared by the effect suites.

#include "effect/TonveraAudioEffectPlugin.h"
#include "tests/dsp/MCorrectorTestSupport.h"

#include <memory>
#include <vector>

namespace MEffectTest
{
using Channels = std::vector<std::vector<float>>;

/// A voice-like harmonic tone: falling partials up to the fifth.
extern const std::vector<double> kPartials;

/// A new effect prepared for `channels` at `sampleRate`, with Depth and Speed as given.
std::unique_ptr<TonveraAudioEffectPlugin> MakeEffect(int channels, double sampleRate, double depth = 1.0,
                                                     double speed = 1.0);

/// Sets a parameter's plain value and lets the effect recompute, as the framework does.
void SetParameter(TonveraAudioEffectPlugin& effect, int index, double plain);

/// Runs the channels through the effect in blocks of `block` samples; answers the outputs.
Channels RunBlocks(TonveraAudioEffectPlugin& effect, const Channels& inputs, int block);

/// A harmonic tone whose note number follows `notes` (one value per sample, continuous notes,
/// 57 = 440 Hz), with kPartials.
std::vector<float> ToneFollowing(const std::vector<double>& notes, double sampleRate);

/// Pitch of x[begin, begin + 2048) near `expectedHz` by autocorrelation over 8 periods, in cents
/// from `expectedHz`.
double CentsFrom(const std::vector<float>& x, std::size_t begin, double expectedHz, double sampleRate);

using MCorrectorTest::FrequencyOfNote;
} // namespace MEffectTest
