#include "dsp/MHarmonicShifter.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <mutex>
#include <numbers>
#include <vector>

namespace
{
constexpr double kTwoPi = 2.0 * std::numbers::pi;
// The fit reads the main lobe: bins floor(b) - 1 .. floor(b) + 2.
constexpr int kFitFirst = MHarmonicShifter::kKernelReach - 1;
constexpr int kFitEnd = MHarmonicShifter::kKernelReach + 3;
constexpr double kTopHarmonicShare = 6000.0 / 22050.0;
// A harmonic is kept when its kernel explains at least 80 % of its main lobe's energy.
constexpr double kExplainedOverLeft = 4.0;
// Rounds of the fit for harmonics closer than kConfirmedSpacing: on E2 (1.95 bins) three leave
// -53 dB between the output's harmonics, four -65 dB, six -76 dB.
constexpr int kClosePasses = 6;
// Power ratio of a round's change to the harmonic below which the change is not applied.
constexpr double kNegligibleChange = 1e-8;
// The refinement reads the harmonics up to this frequency, at most this many.
constexpr double kRefineTopHz = 4000.0;
constexpr int kRefineHarmonicsY = 16;
// A harmonic whose measured frequency lies further than this share from h * f0 is not one.
constexpr double kRefineTolerance = 0.03;

// Adds a * kernel to the bins 1 .. half - 1 of `spectrum` that the kernel at `base` covers.
void AddKernel(float* spectrum, int half, int base, const float* re, const float* im, double aRe, double aIm)
{
  // The DC value is real: it takes the real part of the partial's share here and that of its
  // mirror image (the conjugate, added apart), whose imaginary parts cancel.
  if (base <= 0 && -base < MHarmonicShifter::kKernelSpan)
    spectrum[0] += static_cast<float>(aRe * re[-base] - aIm * im[-base]);
  const float fRe = static_cast<float>(aRe);
  const float fIm = static_cast<float>(aIm);
  const int end = std::min(MHarmonicShifter::kKernelSpan, half - base);
  for (int j = std::max(0, 1 - base); j < end; ++j)
  {
    float* bin = spectrum + 2 * (base + j);
    bin[0] += fRe * re[j] - fIm * im[j];
    bin[1] += fRe * im[j] + fIm * re[j];
  }
}

// e^(i h phi) for rising whole h, by repeated rotation from h = 0.
class RisingPowers
{
public:
  explicit RisingPowers(double phi) : m_stepRe(std::cos(phi)), m_stepIm(std::sin(phi)) {}
  // Moves on to h (at least the last h asked for) and multiplies (re, im) by e^(i h phi).
  void Rotate(int h, double& re, double& im)
  {
    for (; m_h < h; ++m_h)
    {
      const double next = m_re * m_stepRe - m_im * m_stepIm;
      m_im = m_re * m_stepIm + m_im * m_stepRe;
      m_re = next;
    }
    const double rotated = re * m_re - im * m_im;
    im = re * m_im + im * m_re;
    re = rotated;
  }

private:
  double m_stepRe;
  double m_stepIm;
  int m_h = 0;
  double m_re = 1.0;
  double m_im = 0.0;
};

// atan2(y, x) within 1e-5 radians (a minimax polynomial of atan on [0, 1]; 0 for the origin).
double Angle(double y, double x)
{
  const double ax = std::abs(x);
  const double ay = std::abs(y);
  const double big = std::max(ax, ay);
  if (!(big > 0.0))
    return 0.0;
  const double z = std::min(ax, ay) / big;
  const double z2 = z * z;
  double a = z * (0.9998660 + z2 * (-0.3302995 + z2 * (0.1801410 + z2 * (-0.0851330 + z2 * 0.0208351))));
  if (ay > ax)
    a = 0.5 * std::numbers::pi - a;
  if (x < 0.0)
    a = std::numbers::pi - a;
  return y < 0.0 ? -a : a;
}

double Wrap(double angle)
{
  return angle - kTwoPi * std::nearbyint(angle / kTwoPi);
}
} // namespace

std::shared_ptr<const MHarmonicShifter::KernelTable> MHarmonicShifter::KernelTableFor(const float* window,
                                                                                      int n)
{
  // The tables built so far, by window; a process holds one or two (a frame size per rate range).
  struct Entry
  {
    std::vector<float> window;
    std::shared_ptr<const KernelTable> table;
  };
  static std::mutex mutex;
  static std::vector<Entry> tables;
  const std::lock_guard lock(mutex);
  for (const Entry& entry : tables)
    if (std::equal(entry.window.begin(), entry.window.end(), window, window + n))
      return entry.table;

  auto table = std::make_shared<KernelTable>();
  // W(kappa) = sum_t w[t] exp(-2 pi i kappa t / n), by a rotating phasor per entry.
  for (int step = 0; step <= kKernelSteps; ++step)
    for (int j = 0; j < kKernelSpan; ++j)
    {
      const double kappa = (j - kKernelReach) - static_cast<double>(step) / kKernelSteps;
      const double angle = -kTwoPi * kappa / n;
      const double stepRe = std::cos(angle);
      const double stepIm = std::sin(angle);
      double zRe = 1.0;
      double zIm = 0.0;
      double sumRe = 0.0;
      double sumIm = 0.0;
      for (int t = 0; t < n; ++t)
      {
        sumRe += window[t] * zRe;
        sumIm += window[t] * zIm;
        const double re = zRe * stepRe - zIm * stepIm;
        zIm = zRe * stepIm + zIm * stepRe;
        zRe = re;
      }
      // A cosine of amplitude 1 puts half the kernel on the positive frequencies.
      table->re[step][j] = static_cast<float>(0.5 * sumRe);
      table->im[step][j] = static_cast<float>(0.5 * sumIm);
    }
  tables.push_back(Entry{std::vector<float>(window, window + n), table});
  return table;
}

void MHarmonicShifter::Prepare(const float* window, int n)
{
  if (window == nullptr || n < 64 || n > 2 * kMaxBins || (n & (n - 1)) != 0)
  {
    m_preparedSize = 0;
    return;
  }
  if (n == m_preparedSize)
    return;
  m_table = KernelTableFor(window, n);
  m_preparedSize = n;
  m_historyValid = false;
}

void MHarmonicShifter::ResetHistory()
{
  m_historyValid = false;
  std::fill(std::begin(m_centreRe), std::end(m_centreRe), 0.0);
  std::fill(std::begin(m_centreIm), std::end(m_centreIm), 0.0);
  m_handOverCount = 0;
}

void MHarmonicShifter::Kernel(double b, float* re, float* im) const
{
  const double base = std::floor(b);
  const double position = (b - base) * kKernelSteps;
  const int step = std::min(static_cast<int>(position), kKernelSteps - 1);
  const float f = static_cast<float>(position - step);
  const float g = 1.0f - f;
  const KernelTable& table = *m_table;
  for (int j = 0; j < kKernelSpan; ++j)
  {
    re[j] = g * table.re[step][j] + f * table.re[step + 1][j];
    im[j] = g * table.im[step][j] + f * table.im[step + 1][j];
  }
}

double MHarmonicShifter::RefineFundamental(const float* spectrum, int n, double f0, double binWidth,
                                           double phaseStep)
{
  const int half = std::min(n / 2, kMaxBins);
  // The harmonics read reach kRefineTopHz, and one bin beyond.
  const int top = binWidth > 0.0 ? static_cast<int>(kRefineTopHz / binWidth) + 2 : 0;
  const int last = std::min({half - 2, kRefineBins - 1, top});
  if (spectrum == nullptr || last < 2 || !(binWidth > 0.0) || !(phaseStep > 0.0))
  {
    m_historyValid = false;
    return f0;
  }
  // Y of bins 1 .. last; bin 0's value is the real DC value.
  float yRe[kRefineBins];
  float yIm[kRefineBins];
  yRe[0] = 0.0f;
  yIm[0] = 0.0f;
  for (int k = 1; k <= last; ++k)
  {
    const float leftRe = k == 1 ? spectrum[0] : spectrum[2 * k - 2];
    const float leftIm = k == 1 ? 0.0f : spectrum[2 * k - 1];
    yRe[k] = 0.5f * spectrum[2 * k] - 0.25f * (leftRe + spectrum[2 * k + 2]);
    yIm[k] = 0.5f * spectrum[2 * k + 1] - 0.25f * (leftIm + spectrum[2 * k + 3]);
  }

  double refined = f0;
  if (m_historyValid && f0 > 0.0)
  {
    double numerator = 0.0;
    double denominator = 0.0;
    for (int h = 1; h <= kRefineHarmonicsY && h * f0 <= kRefineTopHz; ++h)
    {
      const int centre = static_cast<int>(std::lround(h * f0 / binWidth));
      if (centre + 1 > last)
        break;
      int k = std::max(centre, 1);
      float loudest = yRe[k] * yRe[k] + yIm[k] * yIm[k];
      for (int c : {centre - 1, centre + 1})
      {
        if (c < 1)
          continue;
        const float power = yRe[c] * yRe[c] + yIm[c] * yIm[c];
        if (power > loudest)
        {
          loudest = power;
          k = c;
        }
      }
      // The phase advance since the last frame, less a bin-centred partial's, is the offset
      // from the bin centre.
      const double re =
          static_cast<double>(yRe[k]) * m_previousYRe[k] + static_cast<double>(yIm[k]) * m_previousYIm[k];
      const double im =
          static_cast<double>(yIm[k]) * m_previousYRe[k] - static_cast<double>(yRe[k]) * m_previousYIm[k];
      if (re == 0.0 && im == 0.0)
        continue;
      const double deviation = Wrap(std::atan2(im, re) - Wrap(k * phaseStep));
      const double frequency = (k + deviation / phaseStep) * binWidth;
      if (!(std::abs(frequency - h * f0) <= kRefineTolerance * h * f0))
        continue;
      numerator += loudest * h * frequency;
      denominator += loudest * h * h;
    }
    if (denominator > 0.0)
      refined = numerator / denominator;
  }
  std::copy(yRe, yRe + last + 1, m_previousYRe);
  std::copy(yIm, yIm + last + 1, m_previousYIm);
  m_historyValid = true;
  return std::isfinite(refined) ? refined : f0;
}

int MHarmonicShifter::Fit(const float* spectrum, int n, double f0Bins, float* residual,
                          const float* magnitude, float floor)
{
  m_count = 0;
  m_changedEnd = 0;
  m_fittedDc = 0.0;
  if (spectrum == nullptr || residual == nullptr || n < 4)
    return 0;
  std::copy(spectrum, spectrum + std::min(n, 2 * kMaxBins), residual);
  const int half = std::min(n / 2, kMaxBins);
  if (m_preparedSize != n || !(f0Bins >= kMinimumSpacing) || !std::isfinite(f0Bins))
    return 0;

  int count = 0;
  // Harmonics above kTopHarmonicShare of N/2 (6 kHz at 44.1 kHz) carry little of a voice and
  // cost most of the fit: they go through the peak shift.
  const double topBin = half * kTopHarmonicShare;
  for (int h = 1; count < kMaxHarmonics; ++h)
  {
    const double b = h * f0Bins;
    if (b > half - kKernelReach - 3)
      break;
    if (b > topBin)
      break;
    if (magnitude != nullptr && !(magnitude[static_cast<int>(b + 0.5)] >= floor))
      continue;
    m_position[count] = b;
    m_number[count] = h;
    Kernel(b, m_kernelRe[count], m_kernelIm[count]);
    // The kernel's energy over the main lobe the fit reads, and its inverse (a division less in
    // the chain of rounds, each harmonic's fit waiting for the one before).
    const int base = static_cast<int>(std::floor(b)) - kKernelReach;
    double norm = 0.0;
    for (int j = std::max(kFitFirst, 1 - base); j < kFitEnd; ++j)
      norm += static_cast<double>(m_kernelRe[count][j]) * m_kernelRe[count][j] +
              static_cast<double>(m_kernelIm[count][j]) * m_kernelIm[count][j];
    m_base[count] = base;
    m_norm[count] = norm;
    m_inverseNorm[count] = norm > 0.0 ? 1.0 / norm : 0.0;
    m_amplitudeRe[count] = 0.0;
    m_amplitudeIm[count] = 0.0;
    ++count;
  }

  m_fundamentalBins = f0Bins;
  // The kernels reach at most kKernelSpan bins from their base (the last lies highest).
  m_changedEnd = count > 0 ? std::min(half, m_base[count - 1] + kKernelSpan) : 0;
  float mirrorRe[kKernelSpan];
  float mirrorIm[kKernelSpan];
  const int passes = f0Bins < kConfirmedSpacing ? kClosePasses : 2;
  for (int pass = 0; pass < passes; ++pass)
  {
    for (int i = 0; i < count; ++i)
    {
      const double b = m_position[i];
      const float* kernelRe = m_kernelRe[i];
      const float* kernelIm = m_kernelIm[i];
      const int base = m_base[i];
      const bool last = pass == passes - 1;
      // A partial near DC also reaches the low bins through its mirror image at -b, whose
      // amplitude is the conjugate.
      const bool mirrored = b < kKernelReach + 2;
      const int mirrorBase = static_cast<int>(std::floor(-b)) - kKernelReach;
      if (mirrored)
        Kernel(-b, mirrorRe, mirrorIm);
      const double oldRe = m_amplitudeRe[i];
      const double oldIm = m_amplitudeIm[i];
      // Later passes fit the residual with the partial put back (its image stays out, which
      // the fit then does not have to see); the residual itself changes once, by the difference.
      double numRe = 0.0;
      double numIm = 0.0;
      double total = 0.0;
      for (int j = std::max(kFitFirst, 1 - base); j < kFitEnd; ++j)
      {
        const float* bin = residual + 2 * (base + j);
        const double kRe = kernelRe[j];
        const double kIm = kernelIm[j];
        const double re = bin[0] + (oldRe * kRe - oldIm * kIm);
        const double im = bin[1] + (oldRe * kIm + oldIm * kRe);
        numRe += kRe * re + kIm * im;
        numIm += kRe * im - kIm * re;
        if (last)
          total += re * re + im * im;
      }
      double aRe = numRe * m_inverseNorm[i];
      double aIm = numIm * m_inverseNorm[i];
      const double explained = (aRe * aRe + aIm * aIm) * m_norm[i];
      // The least-squares fit leaves total - explained in the main lobe. A harmonic it does not
      // explain well stays in the residual, image and all.
      if (!std::isfinite(aRe) || !std::isfinite(aIm) ||
          (last && !(explained >= kExplainedOverLeft * (total - explained))))
      {
        aRe = 0.0;
        aIm = 0.0;
      }
      m_amplitudeRe[i] = aRe;
      m_amplitudeIm[i] = aIm;
      if (last && base <= 0)
        m_fittedDc += 2.0 * (aRe * kernelRe[-base] - aIm * kernelIm[-base]);
      // A later round's change below -80 dB of the harmonic (one far from its neighbours) is
      // not worth writing back.
      const double changeRe = oldRe - aRe;
      const double changeIm = oldIm - aIm;
      if (pass > 0 &&
          changeRe * changeRe + changeIm * changeIm <= kNegligibleChange * (aRe * aRe + aIm * aIm))
        continue;
      AddKernel(residual, half, base, kernelRe, kernelIm, changeRe, changeIm);
      if (mirrored)
        AddKernel(residual, half, mirrorBase, mirrorRe, mirrorIm, changeRe, -changeIm);
    }
  }
  // Keep only the accepted harmonics, in rising order.
  int kept = 0;
  for (int i = 0; i < count; ++i)
  {
    if (m_amplitudeRe[i] == 0.0 && m_amplitudeIm[i] == 0.0)
      continue;
    m_position[kept] = m_position[i];
    m_number[kept] = m_number[i];
    m_amplitudeRe[kept] = m_amplitudeRe[i];
    m_amplitudeIm[kept] = m_amplitudeIm[i];
    ++kept;
  }
  m_count = kept;
  return kept;
}

double MHarmonicShifter::MeasureFundamental(double binWidth, int n, int hop)
{
  double numerator = 0.0;
  double denominator = 0.0;
  double centreRe[kRefineHarmonics + 1] = {};
  double centreIm[kRefineHarmonics + 1] = {};
  const double advancePerHertz = kTwoPi * hop / (binWidth * n);
  // The previous frame's harmonic h is the same partial only when it was fitted on this
  // fundamental: after a pick an octave off, the same numbers name other partials.
  const bool sameFundamental =
      std::abs(m_fundamentalBins - m_centreFundamentalBins) <= kRefineTolerance * m_fundamentalBins;
  m_centreFundamentalBins = m_fundamentalBins;
  RisingPowers toCentre(std::numbers::pi * m_fundamentalBins);
  RisingPowers expectedTurn(-m_fundamentalBins * binWidth * advancePerHertz);
  for (int i = 0; i < m_count && m_number[i] <= kRefineHarmonics; ++i)
  {
    const int h = m_number[i];
    const double expected = m_position[i] * binWidth;
    if (expected > kRefineTopHz)
      break;
    // A phase measured from the frame's start carries pi times the error of the fitted
    // position; referred to the centre of the (symmetric) window it carries none. The
    // position is h times the fundamental's: the turn is h times the fundamental's.
    double re = m_amplitudeRe[i];
    double im = m_amplitudeIm[i];
    toCentre.Rotate(h, re, im);
    centreRe[h] = re;
    centreIm[h] = im;
    const double gainedRe = re * m_centreRe[h] + im * m_centreIm[h];
    const double gainedIm = im * m_centreRe[h] - re * m_centreIm[h];
    if (!sameFundamental || (gainedRe == 0.0 && gainedIm == 0.0))
      continue;
    // Less the advance of a partial at exactly h times the fundamental.
    double deviationRe = gainedRe;
    double deviationIm = gainedIm;
    expectedTurn.Rotate(h, deviationRe, deviationIm);
    const double deviation = Angle(deviationIm, deviationRe);
    const double frequency = expected + deviation / advancePerHertz;
    if (!(std::abs(frequency - expected) <= kRefineTolerance * expected))
      continue;
    const double weight = re * re + im * im;
    numerator += weight * h * frequency;
    denominator += weight * h * h;
  }
  std::copy(centreRe, centreRe + kRefineHarmonics + 1, m_centreRe);
  std::copy(centreIm, centreIm + kRefineHarmonics + 1, m_centreIm);
  const double f0 = denominator > 0.0 ? numerator / denominator : -1.0;
  return std::isfinite(f0) ? f0 : -1.0;
}

void MHarmonicShifter::Synthesize(float* spectrum, int n, double ratio, double theta, double gain,
                                  const float* envelope, double keep, double formantRatio,
                                  float maxFormantGain)
{
  m_handOverCount = 0;
  const int half = std::min(n / 2, kMaxBins);
  if (spectrum == nullptr || m_count < 1 || m_preparedSize != n)
    return;
  const auto envelopeAt = [&](double x) {
    x = std::clamp(x, 0.0, static_cast<double>(half - 1));
    const int i = static_cast<int>(x);
    const int next = std::min(i + 1, half - 1);
    const double f = x - i;
    return (1.0 - f) * envelope[i] + f * envelope[next];
  };
  float kernelRe[kKernelSpan];
  float kernelIm[kKernelSpan];
  // Harmonic h turns by h * theta, and by pi * (source - target) = h * pi * f0 * (1 - ratio)
  // (f0 in bins) to keep its phase at the frame's centre (see below): h times one angle.
  RisingPowers turns(theta + std::numbers::pi * m_fundamentalBins * (1.0 - ratio));
  for (int i = 0; i < m_count; ++i)
  {
    const double source = m_position[i];
    const double target = source * ratio;
    if (target > half - kKernelReach - 3)
      break;
    if (target < 0.5)
      continue;
    double weight = gain;
    if (envelope != nullptr)
    {
      const double at = envelopeAt(source);
      const double to = envelopeAt((target * keep + source * (1.0 - keep)) * formantRatio);
      weight *= at > 0.0 ? std::min(to / at, static_cast<double>(maxFormantGain)) : 1.0;
    }
    // The phases are kept at the frame's centre, where a change of position (of the ratio, say)
    // does not move them: to the centre at the source position, by h * theta, and back from the
    // centre at the target.
    double aRe = m_amplitudeRe[i] * weight;
    double aIm = m_amplitudeIm[i] * weight;
    turns.Rotate(m_number[i], aRe, aIm);
    Kernel(target, kernelRe, kernelIm);
    const int base = static_cast<int>(std::floor(target)) - kKernelReach;
    AddKernel(spectrum, half, base, kernelRe, kernelIm, aRe, aIm);
    // The harmonic's phase in the bins the peak shift would move it to (its main lobe).
    const int nearest = static_cast<int>(std::lround(target));
    for (int k = std::max(nearest - 1, 1); k <= nearest + 1 && k < half; ++k)
    {
      const int j = k - base;
      m_handOverBin[m_handOverCount] = k;
      m_handOverPhase[m_handOverCount++] =
          Angle(aRe * kernelIm[j] + aIm * kernelRe[j], aRe * kernelRe[j] - aIm * kernelIm[j]);
    }
    if (target < kKernelReach + 2)
    {
      Kernel(-target, kernelRe, kernelIm);
      AddKernel(spectrum, half, static_cast<int>(std::floor(-target)) - kKernelReach, kernelRe, kernelIm, aRe,
                -aIm);
    }
  }
}

void MHarmonicShifter::HandOverPhases(double* phases, double ratio, bool synthesizing)
{
  // Both lists rise: a walk through the targets finds the one nearest each bin.
  int i = 0;
  for (int s = 0; s < m_handOverCount; ++s)
  {
    const int k = m_handOverBin[s];
    while (synthesizing && i < m_count && m_position[i] * ratio < k - 1.5)
      ++i;
    if (!(synthesizing && i < m_count && m_position[i] * ratio <= k + 1.5))
      phases[k] = m_handOverPhase[s];
  }
  m_handOverCount = 0;
}
