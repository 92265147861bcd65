#pragma once
// Owner of one real-transform set-up and its work buffer, shared by the frame engine
// and the frame reader.
//
// Prepare allocates and belongs to configuration time; Forward and Inverse neither
// allocate nor block and are meant for the audio thread. Transforms are unnormalised:
// Inverse(Forward(x)) = N * x. Spectrum layout: element 0 DC, element 1 Nyquist,
// elements 2k and 2k+1 the real and imaginary part of bin k (1 <= k < N/2).

#include "vector/MVector.h"

class MRealFFT
{
public:
  MRealFFT() = default;
  ~MRealFFT();
  MRealFFT(const MRealFFT&) = delete;
  MRealFFT& operator=(const MRealFFT&) = delete;

  /// Makes the set-up for `size` points (a power of two, 8..32768) unless it already
  /// exists; frees the previous one first. Allocates. Returns false (and holds no
  /// set-up) when the size is not supported or the vector layer refused.
  bool Prepare(int size);

  /// The size the set-up exists for; 0 when none.
  int PreparedSize() const { return m_preparedSize; }
  /// log2 of the prepared size; 0 when none.
  int Order() const { return m_order; }

  /// In-place transforms of PreparedSize() floats; do nothing without a set-up.
  void Forward(float* data) const;
  void Inverse(float* data) const;

  /// Frees the set-up and the work buffer.
  void Release();

private:
  MVector::MRealFFTSetup* m_setup = nullptr;
  unsigned char* m_work = nullptr;
  int m_order = 0;
  int m_preparedSize = 0;
};
