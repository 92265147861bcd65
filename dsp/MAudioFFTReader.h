#pragma once
// Analysis-only sibling of the frame engine: frames, windows and transforms a sample
// stream and hands each spectrum to ProcessFrame, producing no output.
//
// Frames are N samples long (a power of two, 8..4096, default 4096) and start every
// N - overlap samples; the window is the symmetric Hann shape. The spectrum layout is
// the vector layer's (element 0 DC, element 1 Nyquist, then real/imaginary pairs).
//
// Lifecycle: call Resize (configuration time, allocates) before streaming, then
// Process from one thread; Process allocates nothing and never blocks.

#include "base/MObject.h"
#include "dsp/MRealFFT.h"
#include "dsp/MSignalWindow.h"

class MAudioFFTReader : public MObject
{
public:
  static constexpr int kMinFrameSize = 8;
  static constexpr int kMaxFrameSize = 4096;

  /// N = 4096 with no overlap until Resize says otherwise. Allocates.
  MAudioFFTReader();
  ~MAudioFFTReader() override = default;
  MAudioFFTReader(const MAudioFFTReader&) = delete;
  MAudioFFTReader& operator=(const MAudioFFTReader&) = delete;

  /// Sets N = frameSize limited to 8..4096 and rounded down to a power of two,
  /// rebuilds the window if needed, sets the overlap to trunc(N * overlapFraction)
  /// limited to 0..N-1, prepares the transform and restarts the stream (the input
  /// gathered so far is dropped). Allocates. Derived classes extend it with their own
  /// set-up.
  virtual void Resize(int frameSize, double overlapFraction);

  /// Called on the processing thread for every complete frame with its N spectrum
  /// floats (may be changed in place; they are not used afterwards).
  virtual void ProcessFrame(int frameSize, float* spectrum);

  /// Consumes `count` samples; calls ProcessFrame once for each frame they complete.
  /// Allocates nothing. A count below 1 or a null input does nothing.
  void Process(const float* input, int count);

  int FrameSize() const { return m_frameSize; }
  /// Samples shared by consecutive frames.
  int Overlap() const { return m_overlap; }
  /// Samples between frame starts: N - overlap.
  int HopSize() const { return m_frameSize - m_overlap; }
  double RequestedOverlapFraction() const { return m_requestedOverlapFraction; }
  /// overlap / N.
  double OverlapFraction() const { return m_overlapFraction; }
  /// Samples waiting for the next frame.
  int InputFill() const { return m_inputFill; }
  const MSignalWindow& Window() const { return m_window; }

private:
  alignas(64) float m_input[kMaxFrameSize];
  alignas(64) float m_frame[kMaxFrameSize];
  int m_inputFill = 0;
  int m_frameSize = kMaxFrameSize;
  double m_requestedOverlapFraction = 0.0;
  double m_overlapFraction = 0.0;
  int m_overlap = 0;
  MSignalWindow m_window;
  MRealFFT m_fft;
};
