#include "dsp/MRealFFT.h"

MRealFFT::~MRealFFT()
{
  Release();
}

bool MRealFFT::Prepare(int size)
{
  if (size == m_preparedSize && m_setup != nullptr)
    return true;
  Release();

  int order = 0;
  while ((1 << order) < size && order < 16)
    ++order;
  if (order < 3 || order > 15 || (1 << order) != size)
    return false;

  MVector::MRealFFTSetup* setup = nullptr;
  if (MVector::CreateRealFFT(&setup, order, MVector::kNoNormalisation, 0) != MVector::kOk || setup == nullptr)
    return false;
  int bytes = 0;
  MVector::RealFFTWorkSize(setup, &bytes);
  // The transforms refuse a null work pointer, so even a set-up that needs no work
  // space gets a small buffer.
  unsigned char* work = MVector::Allocate(bytes > 64 ? bytes : 64);
  if (work == nullptr)
  {
    MVector::FreeRealFFT(setup);
    return false;
  }
  m_setup = setup;
  m_work = work;
  m_order = order;
  m_preparedSize = size;
  return true;
}

void MRealFFT::Forward(float* data) const
{
  if (m_setup != nullptr)
    MVector::ForwardRealFFT(data, m_setup, m_work);
}

void MRealFFT::Inverse(float* data) const
{
  if (m_setup != nullptr)
    MVector::InverseRealFFT(data, m_setup, m_work);
}

void MRealFFT::Release()
{
  MVector::FreeRealFFT(m_setup);
  MVector::Free(m_work);
  m_setup = nullptr;
  m_work = nullptr;
  m_order = 0;
  m_preparedSize = 0;
}
