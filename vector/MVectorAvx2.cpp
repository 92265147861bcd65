// AVX2 + FMA kernels. Compiled with -mavx2 -mfma and reached only through the level-4 table
// when the processor reports AVX2 and FMA and the system enables AVX.

#include "vector/MVectorKernels.h"

namespace MVector::Detail
{
const Kernels* Avx2Kernels()
{
  return nullptr;
}
} // namespace MVector::Detail
