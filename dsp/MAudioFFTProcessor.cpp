#include "dsp/MAudioFFTProcessor.h"

#include "vector/MVector.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace
{
// Added to every spectrum float so that no bin of a silent frame is exactly zero and
// every bin's phase stays defined.
constexpr float kSpectrumFloor = 1e-15f;

int PowerOfTwoAtMost(int value)
{
  int p = 1;
  while (p <= value / 2)
    p *= 2;
  return p;
}
} // namespace

MAudioFFTProcessor::MAudioFFTProcessor()
{
  ClearStream();
  std::fill(std::begin(m_frame), std::end(m_frame), 0.0f);
  MAudioFFTProcessor::Resize();
}

void MAudioFFTProcessor::Resize()
{
  if (m_window.Length() != m_frameSize || m_window.Type() != MSignalWindow::kHann ||
      !m_window.HasComplement())
    m_window.Build(MSignalWindow::kHann, m_frameSize, MSignalWindow::Complement::kYes);
  // Made here rather than lazily in Process so that streaming never allocates.
  m_fft.Prepare(m_frameSize);
}

void MAudioFFTProcessor::Reset()
{
  ClearStream();
}

void MAudioFFTProcessor::ProcessSpectrum(int, float*) {}

void MAudioFFTProcessor::SetFrameSize(int frameSize)
{
  const int size = PowerOfTwoAtMost(std::clamp(frameSize, kMinFrameSize, kMaxFrameSize));
  if (size == m_frameSize)
    return;
  m_frameSize = size;
  // The stream positions refer to the old size and could lie beyond the new one.
  ClearStream();
}

void MAudioFFTProcessor::SetOversampling(int oversampling)
{
  m_oversampling = std::max(1, oversampling);
}

int MAudioFFTProcessor::HopSize() const
{
  return std::max(1, m_frameSize / std::max(1, m_oversampling));
}

bool MAudioFFTProcessor::MixStreams(MAudioFFTProcessor& a, MAudioFFTProcessor& b, float aa, float ab,
                                    float ba, float bb) noexcept
{
  if (&a == &b || a.m_frameSize != b.m_frameSize || a.m_oversampling != b.m_oversampling ||
      a.m_inputFill != b.m_inputFill || a.m_outputPosition != b.m_outputPosition ||
      a.m_silenceLeft != b.m_silenceLeft)
    return false;
  const auto mix = [=](float* x, float* y, int count) {
    for (int i = 0; i < count; ++i)
    {
      const float u = x[i];
      const float v = y[i];
      x[i] = aa * u + ab * v;
      y[i] = ba * u + bb * v;
    }
  };
  mix(a.m_input + a.m_inputBase, b.m_input + b.m_inputBase, a.m_frameSize);
  mix(a.m_accumulator + a.m_accumulatorBase, b.m_accumulator + b.m_accumulatorBase, 2 * a.m_frameSize);
  return true;
}

void MAudioFFTProcessor::ClearStream()
{
  std::fill(std::begin(m_input), std::end(m_input), 0.0f);
  std::fill(std::begin(m_accumulator), std::end(m_accumulator), 0.0f);
  m_inputBase = 0;
  m_accumulatorBase = 0;
  // The input starts as if N - H samples of silence had already been gathered: the
  // first frame then completes after one hop, and every real sample, the first ones
  // included, lies in the full number of overlapping frames. Starting from an empty
  // input would fade in the first N - H samples of every stream.
  const int primed = m_frameSize - HopSize();
  m_inputFill = primed;
  m_outputPosition = primed;
  m_silenceLeft = m_frameSize;
}

void MAudioFFTProcessor::Process(const float* input, float* output, int count)
{
  if (input == nullptr || output == nullptr || count < 1)
    return;

  const int n = m_frameSize;
  const int hop = HopSize();
  const int keep = n - hop;
  // Every sample lies in `oversampling` frames; normalising by that count times the
  // window's sum (of squares, when windowed twice) gives unit gain.
  const float windowSum = m_synthesisWindow ? m_window.SumOfSquares() : m_window.Sum();
  const double framesPerSample = std::min(m_oversampling, n);
  m_outputScale = windowSum > 0.0f ? static_cast<float>(1.0 / (framesPerSample * windowSum)) : 1.0f;
  m_fresh = false;

  if (m_fft.PreparedSize() != n || m_window.Length() != n)
    Resize();

  float* const blockStart = output;
  int remainingIn = count;
  int remainingOut = count;
  while (remainingIn > 0)
  {
    const int take = std::min(n - m_inputFill, remainingIn);
    MVector::CopyFloats(input, m_input + m_inputBase + m_inputFill, take);
    input += take;
    m_inputFill += take;
    remainingIn -= take;
    if (m_inputFill < n)
      break;

    m_frameInputOffset = count - remainingIn;
    RunFrame(m_outputScale);

    const int out = std::min(hop, remainingOut);
    MVector::CopyFloats(m_accumulator + m_accumulatorBase + m_outputPosition, output, out);
    output += out;
    remainingOut -= out;
    m_outputPosition += out - hop;

    // Both windows move on by a hop. The accumulator's new last hop lies beyond its old end,
    // where everything is zero; at the array's end the part not yet handed out (from the
    // output position on) moves back to the start and the rest is cleared.
    if (m_accumulatorBase + hop + 2 * n <= 2 * kMaxFrameSize)
    {
      m_accumulatorBase += hop;
    }
    else
    {
      const int from = std::max(m_outputPosition, 0);
      MVector::MoveFloats(m_accumulator + m_accumulatorBase + hop + from, m_accumulator + from,
                          keep + n - from);
      MVector::ZeroFloats(m_accumulator + keep + n, 2 * kMaxFrameSize - (keep + n));
      m_accumulatorBase = 0;
    }
    m_inputBase += hop;
    if (m_inputBase + n > kMaxFrameSize)
    {
      MVector::MoveFloats(m_input + m_inputBase, m_input, keep);
      m_inputBase = 0;
    }
    m_inputFill = keep;
  }
  if (remainingOut > 0)
  {
    MVector::CopyFloats(m_accumulator + m_accumulatorBase + m_outputPosition, output, remainingOut);
    m_outputPosition += remainingOut;
  }
  if (m_silenceLeft > 0)
  {
    // The first N outputs stand for the time before the stream began. The primed
    // frames leave only rounding residue there (or a changed spectrum's pre-echo);
    // it is cleared so that the stream starts with exact silence.
    const int silent = std::min(m_silenceLeft, count);
    MVector::ZeroFloats(blockStart, silent);
    m_silenceLeft -= silent;
  }
}

void MAudioFFTProcessor::RunFrame(float scale)
{
  const int n = m_frameSize;
  const float* window = m_window.Coefficients();

  MVector::MultiplyFloats(m_input + m_inputBase, window, m_frame, n);
  m_fft.Forward(m_frame);
  MVector::AddConstantInPlace(kSpectrumFloor, m_frame, n);

  ProcessSpectrum(n, m_frame);

  m_fft.Inverse(m_frame);
  if (m_synthesisWindow)
  {
    // Scaled, windowed and added in one pass, rounded as the separate steps (a scale of 1 is
    // exact, so an unscaled frame comes out as if only windowed and added).
    MVector::ScaleWeightAddInPlace(m_frame, scale, window, m_accumulator + m_accumulatorBase + n, n);
    return;
  }
  if (std::fabs(scale - 1.0f) >= 1e-20f)
    MVector::MultiplyByScalar(scale, m_frame, n);
  MVector::AddFloatsInPlace(m_frame, m_accumulator + m_accumulatorBase + n, n);
}
