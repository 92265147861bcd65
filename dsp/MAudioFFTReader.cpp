#include "dsp/MAudioFFTReader.h"

#include "vector/MVector.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace
{
// Keeps every bin's phase defined, as in the frame engine.
constexpr float kSpectrumFloor = 1e-15f;
} // namespace

MAudioFFTReader::MAudioFFTReader()
{
  std::fill(std::begin(m_input), std::end(m_input), 0.0f);
  std::fill(std::begin(m_frame), std::end(m_frame), 0.0f);
  MAudioFFTReader::Resize(kMaxFrameSize, 0.0);
}

void MAudioFFTReader::Resize(int frameSize, double overlapFraction)
{
  int size = kMinFrameSize;
  while (size * 2 <= std::min(frameSize, kMaxFrameSize))
    size *= 2;
  m_frameSize = size;

  if (m_window.Length() != size || m_window.Type() != MSignalWindow::kHann || m_window.HasComplement())
    m_window.Build(MSignalWindow::kHann, size, MSignalWindow::Complement::kNo);

  m_requestedOverlapFraction = overlapFraction;
  // The comparison form also sends NaN to 0.
  const double wanted = overlapFraction > 0.0 ? std::trunc(size * std::min(overlapFraction, 1.0)) : 0.0;
  m_overlap = std::clamp(static_cast<int>(wanted), 0, size - 1);
  m_overlapFraction = static_cast<double>(m_overlap) / size;

  m_fft.Prepare(size);
  m_inputFill = 0;
}

void MAudioFFTReader::ProcessFrame(int, float*) {}

void MAudioFFTReader::Process(const float* input, int count)
{
  if (input == nullptr || count < 1)
    return;
  if (m_fft.PreparedSize() != m_frameSize)
    return; // the transform could not be made; Resize reported nothing to stream into

  const int n = m_frameSize;
  int remaining = count;
  while (remaining > 0)
  {
    const int take = std::min(n - m_inputFill, remaining);
    MVector::CopyFloats(input, m_input + m_inputFill, take);
    input += take;
    m_inputFill += take;
    remaining -= take;
    if (m_inputFill < n)
      break;

    MVector::CopyFloats(m_input, m_frame, n);
    MVector::MultiplyElementwise(m_window.Coefficients(), m_frame, n);
    m_fft.Forward(m_frame);
    MVector::AddConstantInPlace(kSpectrumFloor, m_frame, n);
    ProcessFrame(n, m_frame);

    MVector::MoveFloats(m_input + n - m_overlap, m_input, m_overlap);
    m_inputFill = m_overlap;
  }
}
