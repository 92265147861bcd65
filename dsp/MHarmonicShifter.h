#pragma once
// The harmonic part of the high-quality shift: the partials of a voiced frame, modelled as
// windowed sinusoids at the multiples of the fundamental, are taken out of the frame and put
// back at exactly ratio times their frequency.
//
// Per frame the owner (MTonveraFFTProcessor) calls, in this order:
//  - RefineFundamental (detecting channel only): the pitch pick refined from the phase advance
//    of the first harmonics on the Hann²-weighted spectrum Y[k] = X[k]/2 - (X[k-1] + X[k+1])/4,
//    whose side lobes fall much faster than the Hann window's, so neighbouring harmonics barely
//    disturb each other's estimate; the harmonics are weighted as a least-squares fit of
//    f_h = h * f0;
//  - Fit: every harmonic h * f0 up to 6 kHz (at 44.1 kHz) is fitted with the analysis window's own
//    transform (its kernel, tabulated at 1/128 bin) by least squares over its main lobe,
//    twice round (the second pass takes out what neighbouring lobes left in the first; six
//    times for harmonics closer than kConfirmedSpacing, whose lobes overlap more),
//    and subtracted over +-8 bins; a harmonic whose kernel explains less than 80 % of its main
//    lobe's energy (noise, a missing harmonic) is left in the frame. What remains (the
//    residual) goes through the ordinary peak shift;
//  - Synthesize: each fitted harmonic is added at ratio * h * f0 with its kernel. Its phase is
//    its input phase plus h * theta, where theta is 2 pi times a delay common to all harmonics
//    (kept per channel in the phase store, in samples) over the fundamental's period; the
//    delay grows by (ratio - 1) per sample, so the output phase of every harmonic advances by
//    ratio times its own advance, and since all harmonics are delayed alike the waveform keeps
//    its shape (and its peak level);
//  - HandOverPhases, in the next frame before the peak shift: a harmonic that the peak shift
//    moves from now on goes on from the phase Synthesize gave it.
//
// Memory: fixed arrays inside the object (about 96 KiB). Prepare allocates nothing but takes
// O(N) per table entry (configuration time); everything else runs on the audio thread,
// allocates nothing and never throws.

#include <cstdint>
#include <memory>

class MHarmonicShifter
{
public:
  static constexpr int kMaxBins = 2048;
  /// Kernel bins on each side of a partial that are fitted, subtracted and added.
  static constexpr int kKernelReach = 8;
  static constexpr int kKernelSpan = 2 * kKernelReach + 2;
  /// Fractional bin positions tabulated per bin.
  static constexpr int kKernelSteps = 128;
  /// Harmonics closer than this (in bins) share their main lobes too much to be told apart:
  /// Fit finds none (80 Hz at 44.1 kHz and N = 1024 lies at 1.86 bins).
  static constexpr double kMinimumSpacing = 1.84;
  /// Below this spacing the harmonics' Hann²-weighted values overlap (the pick is not refined)
  /// and Fit needs more rounds to take each harmonic's neighbours out of its main lobe.
  static constexpr double kConfirmedSpacing = 2.3;
  /// Harmonics Fit looks at, at most: those below 6 kHz of 80 Hz at N = 4096 and 44.1 kHz.
  static constexpr int kMaxHarmonics = 320;
  /// Bins whose Hann²-weighted value is kept for the next frame's refinement.
  static constexpr int kRefineBins = 256;

  /// Tabulates the transform of `window` (length n, at most 2 * kMaxBins) at fractional bin
  /// offsets. Nothing happens when the table already belongs to this window length and a
  /// null window or a bad length leaves the shifter unprepared (Fit then finds nothing).
  void Prepare(const float* window, int n);
  int PreparedSize() const { return m_preparedSize; }

  /// Forgets the previous frame (a new stream starts).
  void ResetHistory();
  /// Forgets the previous frame of RefineFundamental alone (a frame that needs no refinement).
  void ResetRefinement() { m_historyValid = false; }

  /// The fundamental `f0` (Hz) of a frame refined from the phase advances of its harmonics
  /// since the previous call (see the file comment); f0 itself when no harmonic can be measured.
  /// Keeps this frame's values for the next call (ResetRefinement instead on a frame that
  /// needs none).
  double RefineFundamental(const float* spectrum, int n, double f0, double binWidth, double phaseStep);

  /// Fits the harmonics of `f0Bins` (the fundamental in bins) in `spectrum` (the frame
  /// engine's layout, n floats) and writes the frame less the accepted harmonics into
  /// `residual` (same layout, DC and Nyquist copied). Answers the number of harmonics kept: none
  /// when the harmonics lie closer than kMinimumSpacing.
  /// Harmonics whose nearest bin's magnitude (`magnitude`, the frame's) lies below `floor` are
  /// left in the residual unfitted: they are too quiet to matter, and skipping them is most of
  /// what keeps the fit cheap.
  int Fit(const float* spectrum, int n, double f0Bins, float* residual, const float* magnitude, float floor);

  /// Harmonics kept by the last Fit.
  int HarmonicCount() const { return m_count; }
  /// Whether the last Fit kept the fundamental itself.
  bool FundamentalKept() const { return m_count > 0 && m_number[0] == 1; }
  /// The bin below which the last Fit changed the residual (above it, it is the frame's copy).
  int ChangedEnd() const { return m_changedEnd; }
  /// The share of the frame's DC value that the harmonics kept by the last Fit spread into it
  /// (the window's leakage from the lowest ones).
  double FittedDc() const { return m_fittedDc; }

  /// The fundamental (Hz) measured from the harmonics the last Fit kept: the phase each of the
  /// first ones (up to kRefineHarmonics, below 4 kHz) gained at its centre since the previous
  /// call, which the joint fit keeps free of its neighbours' lobes, combined as in
  /// RefineFundamental; -1 when no harmonic was kept in both frames (fitted on the same
  /// fundamental). `hop` is the frame's hop in samples. Keeps this frame's harmonics for the
  /// next call, so call it after every Fit.
  double MeasureFundamental(double binWidth, int n, int hop);

  /// Adds every harmonic kept by the last Fit to `spectrum` at `ratio` times its frequency,
  /// rotated by h * theta, times `gain` and, when `envelope` is given, times the formant
  /// weight envelope(e) / envelope(source) (at most `maxFormantGain`) with
  /// e = (target * keep + source * (1 - keep)) * formantRatio, all in fractional bins.
  /// Harmonics whose target lies too near N/2 are dropped. Their leakage into the DC value is
  /// added to element 0. Keeps each harmonic's output phase in the bins round its target for
  /// HandOverPhases.
  void Synthesize(float* spectrum, int n, double ratio, double theta, double gain, const float* envelope,
                  double keep, double formantRatio, float maxFormantGain);

  /// Writes into `phases` (the peak shift's output phase of each bin, kMaxBins of them) the
  /// phases the last Synthesize kept, but for the bins within 1.5 of a harmonic that this frame
  /// synthesizes again (when `synthesizing`, at `ratio` times the last Fit's positions): there
  /// the peak shift keeps its own. Call it once per frame, before the peak shift.
  void HandOverPhases(double* phases, double ratio, bool synthesizing);

private:
  // The kernel at bins floor(b) - kKernelReach .. floor(b) + kKernelReach + 1 for a partial at
  // fractional bin b, into re/im.
  void Kernel(double b, float* re, float* im) const;

  // re[step][j], im[step][j]: the window's transform at (j - kKernelReach) - step / kKernelSteps,
  // for a unit complex amplitude. It depends on the window alone: every shifter prepared with the
  // same window shares one table, built by the first (KernelTableFor).
  struct KernelTable
  {
    float re[kKernelSteps + 1][kKernelSpan] = {};
    float im[kKernelSteps + 1][kKernelSpan] = {};
  };
  static std::shared_ptr<const KernelTable> KernelTableFor(const float* window, int n);

  int m_preparedSize = 0;
  std::shared_ptr<const KernelTable> m_table;

  bool m_historyValid = false;
  float m_previousYRe[kRefineBins] = {};
  float m_previousYIm[kRefineBins] = {};

  // The previous frame's harmonics 1 .. kRefineHarmonics for MeasureFundamental: their complex
  // amplitude referred to the frame's centre (0 where none was kept).
  static constexpr int kRefineHarmonics = 32;
  double m_centreRe[kRefineHarmonics + 1] = {};
  double m_centreIm[kRefineHarmonics + 1] = {};
  // The fundamental (bins) of the Fit those harmonics came from.
  double m_centreFundamentalBins = 0.0;

  int m_count = 0;
  int m_changedEnd = 0;
  double m_fittedDc = 0.0;
  // The fundamental (bins) of the last Fit: harmonic h lies at h times it.
  double m_fundamentalBins = 0.0;
  double m_position[kMaxHarmonics] = {};
  std::int32_t m_number[kMaxHarmonics] = {};
  double m_amplitudeRe[kMaxHarmonics] = {};
  double m_amplitudeIm[kMaxHarmonics] = {};
  // Each candidate's first kernel bin, its kernel's energy over the fitted bins and that
  // energy's inverse, and its kernel at its position: worked out once per Fit for all rounds.
  std::int32_t m_base[kMaxHarmonics] = {};
  double m_norm[kMaxHarmonics] = {};
  double m_inverseNorm[kMaxHarmonics] = {};
  float m_kernelRe[kMaxHarmonics][kKernelSpan] = {};
  float m_kernelIm[kMaxHarmonics][kKernelSpan] = {};
  // The last Synthesize's output phases, three bins per harmonic, for HandOverPhases.
  static constexpr int kHandOverBins = 3 * kMaxHarmonics;
  std::int32_t m_handOverBin[kHandOverBins] = {};
  double m_handOverPhase[kHandOverBins] = {};
  int m_handOverCount = 0;
};
