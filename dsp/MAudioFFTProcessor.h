#pragma once
// The short-time Fourier frame engine: overlapping windowed frames in, a spectrum
// hook per frame, overlap-added frames out.
//
// MAudioFFTProcessor cuts a sample stream into frames of N samples every hop
// H = N / oversampling samples, windows each frame, transforms it to the spectrum
// layout of the vector layer (element 0 DC, element 1 Nyquist, elements 2k and 2k+1
// the real and imaginary part of bin k), hands it to ProcessSpectrum, transforms it
// back, windows it again when the synthesis window is on, scales it and overlap-adds
// it into the output. Every input sample comes out exactly N samples later, whatever
// the block lengths; the first N output samples after Reset are zero.
//
// Transparency (spectrum untouched, oversampling 4, synthesis window on, complementary
// Hann): the output equals the input delayed by N to within float rounding, measured
// at 3e-7 of full scale at most on full-scale white noise for N = 512, 1024 and 4096
// (tests/dsp/MAudioFFTProcessorTest.cpp).
//
// Lifecycle: the owner sets N (SetFrameSize), the oversampling factor and the
// synthesis-window flag, calls Resize after changing N and Reset before streaming,
// then calls Process from one thread (the audio thread). Resize allocates; Reset and
// Process allocate nothing and never block, provided Resize ran after the last change
// of N. All buffers are fixed arrays sized for the largest frame (4096).

#include "base/MObject.h"
#include "dsp/MRealFFT.h"
#include "dsp/MSignalWindow.h"

/// The virtual operations of a frame engine, in slot order.
class MAudioFFTProcessorBase : public MObject
{
public:
  /// Rebuilds what depends on the frame size (window, transform set-up). Allocates;
  /// configuration time only.
  virtual void Resize() = 0;
  /// Clears the stream: the next output samples are the silence before the first frame.
  /// Allocates nothing.
  virtual void Reset() = 0;
  /// Called on the processing thread once per frame with the frameSize floats of the
  /// frame's spectrum, which may be changed in place. Must not allocate or block.
  virtual void ProcessSpectrum(int frameSize, float* spectrum) = 0;
  /// Spare slot for derived classes; the frame engine itself never calls it.
  virtual void ReservedSlot() {}
};

class MAudioFFTProcessor : public MAudioFFTProcessorBase
{
public:
  static constexpr int kMinFrameSize = 8;
  static constexpr int kMaxFrameSize = 4096;
  static constexpr int kDefaultFrameSize = 1024;
  static constexpr int kDefaultOversampling = 8;

  /// N = 1024, oversampling 8, synthesis window off; window and transform set-up
  /// are built here. Allocates.
  MAudioFFTProcessor();
  ~MAudioFFTProcessor() override = default;
  MAudioFFTProcessor(const MAudioFFTProcessor&) = delete;
  MAudioFFTProcessor& operator=(const MAudioFFTProcessor&) = delete;

  /// Rebuilds the window when its length is not N or it is not the complementary Hann,
  /// and prepares the transform for N. Allocates.
  void Resize() override;
  /// Zeroes the input buffer and the output accumulator and restarts the stream: the
  /// next N output samples are exact silence, then the input follows, delayed by N.
  /// Call after changing the oversampling factor as well. Allocates nothing.
  void Reset() override;
  /// No behaviour here: the spectrum passes through unchanged.
  void ProcessSpectrum(int frameSize, float* spectrum) override;

  /// Consumes `count` input samples and writes `count` output samples, the input
  /// delayed by N samples after passing through ProcessSpectrum. Input and output must
  /// not overlap. Allocates nothing, unless N changed without a Resize since (then the
  /// missing Resize runs here, once). A count below 1 or a null buffer does nothing.
  void Process(const float* input, float* output, int count);

  /// Replaces the streams of two engines by linear mixes of both, a' = aa a + ab b and
  /// b' = ba a + bb b: the input gathered for the coming frames and the output not yet handed
  /// out. An owner that changes what the two carry (left and right into mid and side, say) keeps
  /// the output continuous that way. Both must have the same frame size and oversampling and
  /// have streamed the same number of samples; otherwise nothing changes and the answer is
  /// false. Processing thread; allocates nothing.
  static bool MixStreams(MAudioFFTProcessor& a, MAudioFFTProcessor& b, float aa, float ab, float ba,
                         float bb) noexcept;

  /// Sets N, rounded down to a power of two within 8..4096. A change clears the
  /// stream; call Resize (and Reset) afterwards.
  void SetFrameSize(int frameSize);
  int FrameSize() const { return m_frameSize; }
  /// Frames per frame length, at least 1; the hop is N / oversampling (at least 1).
  void SetOversampling(int oversampling);
  int Oversampling() const { return m_oversampling; }
  int HopSize() const;
  /// When on, each frame is windowed again after the inverse transform.
  void SetSynthesisWindow(bool on) { m_synthesisWindow = on; }
  bool SynthesisWindow() const { return m_synthesisWindow; }
  /// Delay from input to output in samples: N.
  int LatencySamples() const { return m_frameSize; }

  const MSignalWindow& Window() const { return m_window; }
  /// The scale applied after the inverse transform in the last Process call.
  float OutputScale() const { return m_outputScale; }
  /// True until the first Process call after construction.
  bool IsFresh() const { return m_fresh; }
  /// During ProcessSpectrum: how many samples of the current Process call the frame took in
  /// (the frame ends at that sample), and the frame's N input samples before windowing.
  int FrameInputOffset() const { return m_frameInputOffset; }
  const float* FrameInput() const { return m_input + m_inputBase; }
  /// The frame size the transform set-up exists for (0 when none).
  int PreparedSize() const { return m_fft.PreparedSize(); }

private:
  void ClearStream();
  void RunFrame(float scale);

  int m_outputPosition = 0;
  int m_inputFill = 0;
  int m_frameInputOffset = 0;
  int m_silenceLeft = 0;
  int m_frameSize = kDefaultFrameSize;
  bool m_fresh = true;
  float m_outputScale = 1.0f;
  MRealFFT m_fft;
  int m_oversampling = kDefaultOversampling;
  MSignalWindow m_window;
  bool m_synthesisWindow = false;

  // The output position never passes N and a read from it spans at most one hop, so
  // the accumulator needs 2N; the input and frame buffers need N. Input and accumulator are
  // windows that slide through their arrays by a hop per frame (from m_inputBase and
  // m_accumulatorBase) and are moved back to the start only when they reach the end, so a
  // frame smaller than the largest moves its samples only now and then. Everything from
  // m_accumulatorBase + 2N on is zero.
  int m_inputBase = 0;
  int m_accumulatorBase = 0;
  alignas(64) float m_input[kMaxFrameSize];
  alignas(64) float m_accumulator[2 * kMaxFrameSize];
  alignas(64) float m_frame[kMaxFrameSize];
};
