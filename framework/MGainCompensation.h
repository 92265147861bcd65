#pragma once
// MGainCompensation: keeps a plug-in's output as loud as its input.
//
// Per block the mean square of the active input channels (before the effect) and of the output
// channels (after the effect, before the correction) are measured and each is smoothed over about
// a second. The target gain is sqrt(input / output), limited to -12..+12 dB. The applied gain
// follows the target by at most 6 dB per second, ramped sample by sample inside the block, so it
// neither steps nor pumps on a short phrase. A block whose input or output is below -60 dBFS is
// not measured: the gain holds through pauses and through an effect that falls silent.
//
// The optimal-gain computation measures the gain afresh: it holds the applied gain, averages the
// next two seconds of audible audio, then lands on the measured gain at 240 dB per second (0.1 s
// at most) and goes on tracking from there. A cancelled computation keeps the gain from before it.
//
// Switched off, the gain returns to unity at the same rate, within 50 ms (no click); IsRunning
// stays true until it got there, so the block driver keeps calling Apply meanwhile.
//
// Threads: Prepare runs on the host thread while no block is processed (under the plug-in's
// locks). MeasureInput and Apply run on the audio thread, in that order around each block; they
// allocate nothing, take no lock and throw nothing. The gain shown, the computation's requests
// and its progress cross between the threads as relaxed atomics: the getters suit any thread,
// StartComputation and CancelComputation one thread at a time (the GUI's).

#include "core/plugin/MRelaxed.h"

#include <cstdint>

class MGainCompensation
{
public:
  static constexpr double kLimitDb = 12.0;
  static constexpr double kSmoothingSeconds = 1.0;
  static constexpr double kTrackingDbPerSecond = 6.0;
  /// Slope of the landing after a computation and of the return to unity (24 dB in 0.1 s).
  static constexpr double kLandingDbPerSecond = 240.0;
  /// Mean square below which a block counts as silent (-60 dBFS).
  static constexpr double kSilentMeanSquare = 1e-6;
  /// Audible audio the optimal-gain computation averages.
  static constexpr double kComputationSeconds = 2.0;
  /// Input RMS assumed when a plug-in has no input buses (about -26 dBFS).
  static constexpr double kNoInputLevel = 0.05;

  /// The host rate for the next blocks (ignored unless positive and finite). Host thread, while
  /// no block runs; the measurements and the gain are kept across a new set-up.
  void Prepare(double sampleRateHz) noexcept;

  /// Back to unity at once: the gain, the measured levels and any computation are dropped (a
  /// computation asked for earlier is not taken any more). Host thread while no block runs
  /// (under the plug-in's locks), like Prepare.
  void Reset() noexcept;

  /// Measures one block's input: `inputs` holds `buses` * 8 pointer slots of which the first
  /// `channels` (counted across buses of `perBus` channels) are active; null or repeated
  /// pointers are skipped. Null `inputs` or no buses: the fixed no-input level. Audio thread.
  void MeasureInput(const float* const* inputs, std::int32_t buses, std::int32_t channels,
                    std::int32_t perBus, std::int32_t samples) noexcept;
  /// Measures the same block's output and scales it in place (each buffer once, even when a
  /// host hands the same buffer for several channels). `enabled` false: back to unity. Audio
  /// thread, after MeasureInput.
  void Apply(float* const* outputs, std::int32_t buses, std::int32_t channels, std::int32_t perBus,
             std::int32_t samples, bool enabled) noexcept;

  /// Whether Apply still has work while switched off (the gain is not back at unity). Any thread.
  bool IsRunning() const noexcept { return m_running; }
  /// The gain applied at the end of the last block, in dB. Any thread.
  double GetGainDb() const noexcept { return m_shownGainDb; }

  // ---- the optimal-gain computation (GUI thread) ----

  /// Asks for a new computation (any earlier one is dropped); the audio thread takes it with the
  /// next enabled block. Answers its ticket (never 0).
  std::uint32_t StartComputation() noexcept;
  /// Cancels computation `ticket`: measuring stops and the gain stays; when it had finished
  /// already, the gain returns to the one from before it.
  void CancelComputation(std::uint32_t ticket) noexcept;
  bool IsComputationFinished(std::uint32_t ticket) const noexcept { return m_finished == ticket; }
  /// Share of the audible audio measured so far, 0..1 (1 once finished).
  double GetComputationProgress(std::uint32_t ticket) const noexcept;

private:
  void TakeRequests() noexcept;
  void Measure(double inputMeanSquare, double outputMeanSquare, std::int32_t samples) noexcept;
  void Ramp(float* const* outputs, std::int32_t count, double targetDb, double dbPerSecond,
            std::int32_t samples) noexcept;

  MRelaxed<double> m_sampleRate{44100.0};

  // Audio thread only.
  double m_inputMeanSquare = 0.0;  // smoothed
  double m_outputMeanSquare = 0.0; // smoothed
  bool m_seeded = false;           // the smoothed levels hold a measurement
  bool m_wasEnabled = false;
  double m_blockInput = 0.0; // MeasureInput's figure for Apply
  double m_gainDb = 0.0;     // applied at the end of the last block
  double m_targetDb = 0.0;
  bool m_landing = false;
  std::uint32_t m_ticket = 0; // the computation taken last
  std::uint32_t m_cancelTaken = 0;
  bool m_measuring = false;
  double m_sumInput = 0.0;
  double m_sumOutput = 0.0;
  double m_counted = 0.0; // audible samples measured
  // What a cancelled computation that had finished puts back.
  double m_gainBeforeDb = 0.0;
  double m_savedInput = 0.0;
  double m_savedOutput = 0.0;
  bool m_savedSeeded = false;

  // Shared.
  MRelaxed<bool> m_running{false};
  MRelaxed<double> m_shownGainDb{0.0};
  MRelaxed<std::uint32_t> m_requested{0};
  MRelaxed<std::uint32_t> m_cancelled{0};
  MRelaxed<std::uint32_t> m_finished{0};
  MRelaxed<std::uint32_t> m_progressTicket{0};
  MRelaxed<double> m_progress{0.0};
};
