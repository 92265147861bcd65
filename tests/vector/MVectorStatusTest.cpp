// Argument checks of every vector operation, table-driven: a null pointer is refused first
// (kNullPointer), then a length below the minimum (kBadLength), and a refused call changes
// nothing.

#include "vector/MVector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace
{
struct Buffers
{
  float a[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  float b[8] = {8, 7, 6, 5, 4, 3, 2, 1};
  float c[16] = {1, -1, 2, -2, 3, -3, 4, -4, 5, -5, 6, -6, 7, -7, 8, -8};
  double da[8] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8};
  double db[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  double dc[8] = {7, 7, 7, 7, 7, 7, 7, 7};
  float r1 = 42.0f;
  float r2 = 43.0f;
  int index = 44;
};

// Hands out each pointer argument, or null for the argument whose bit is set in nullMask.
struct Args
{
  Buffers& b;
  unsigned nullMask;
  template <typename T>
  T* P(unsigned bit, T* p) const
  {
    return (nullMask >> bit) & 1 ? nullptr : p;
  }
};

struct OpCase
{
  const char* name;
  int pointers;
  int minimum;
  std::function<int(const Args&, int)> call;
};

const std::vector<OpCase>& Ops()
{
  using namespace MVector;
  static const std::vector<OpCase> ops = {
      {"ZeroDoubles", 1, 1, [](const Args& x, int n) { return ZeroDoubles(x.P(0, x.b.da), n); }},
      {"ZeroFloats", 1, 1, [](const Args& x, int n) { return ZeroFloats(x.P(0, x.b.a), n); }},
      {"SetFloats", 1, 1, [](const Args& x, int n) { return SetFloats(3.0f, x.P(0, x.b.a), n); }},
      {"CopyFloats", 2, 1, [](const Args& x, int n) { return CopyFloats(x.P(0, x.b.a), x.P(1, x.b.b), n); }},
      {"MoveFloats", 2, 1, [](const Args& x, int n) { return MoveFloats(x.P(0, x.b.a), x.P(1, x.b.b), n); }},
      {"CopyDoubles", 2, 1,
       [](const Args& x, int n) { return CopyDoubles(x.P(0, x.b.da), x.P(1, x.b.db), n); }},
      {"AddFloats", 3, 1,
       [](const Args& x, int n) { return AddFloats(x.P(0, x.b.a), x.P(1, x.b.b), x.P(2, x.b.c), n); }},
      {"SubtractFloats", 3, 1,
       [](const Args& x, int n) { return SubtractFloats(x.P(0, x.b.a), x.P(1, x.b.b), x.P(2, x.b.c), n); }},
      {"AddFloatsInPlace", 2, 1,
       [](const Args& x, int n) { return AddFloatsInPlace(x.P(0, x.b.a), x.P(1, x.b.b), n); }},
      {"AddConstantInPlace", 1, 1,
       [](const Args& x, int n) { return AddConstantInPlace(2.0f, x.P(0, x.b.a), n); }},
      {"DotProduct", 3, 1,
       [](const Args& x, int n) { return DotProduct(x.P(0, x.b.a), x.P(1, x.b.b), n, x.P(2, &x.b.r1)); }},
      {"Maximum", 2, 1, [](const Args& x, int n) { return Maximum(x.P(0, x.b.a), n, x.P(1, &x.b.r1)); }},
      {"MinMax", 3, 1,
       [](const Args& x, int n) { return MinMax(x.P(0, x.b.a), n, x.P(1, &x.b.r1), x.P(2, &x.b.r2)); }},
      {"MaximumWithIndex", 3, 1,
       [](const Args& x, int n) {
         return MaximumWithIndex(x.P(0, x.b.a), n, x.P(1, &x.b.r1), x.P(2, &x.b.index));
       }},
      {"MinimumWithIndex", 3, 1,
       [](const Args& x, int n) {
         return MinimumWithIndex(x.P(0, x.b.a), n, x.P(1, &x.b.r1), x.P(2, &x.b.index));
       }},
      {"Magnitude", 2, 1, [](const Args& x, int n) { return Magnitude(x.P(0, x.b.c), x.P(1, x.b.a), n); }},
      {"Phase", 2, 1, [](const Args& x, int n) { return Phase(x.P(0, x.b.c), x.P(1, x.b.a), n); }},
      {"HannWindowInPlace", 1, 3, [](const Args& x, int n) { return HannWindowInPlace(x.P(0, x.b.a), n); }},
      {"BlackmanWindowInPlace", 1, 1,
       [](const Args& x, int n) { return BlackmanWindowInPlace(x.P(0, x.b.a), n); }},
      {"TriangularWindowInPlace", 1, 1,
       [](const Args& x, int n) { return TriangularWindowInPlace(x.P(0, x.b.a), n); }},
      {"SinCosDoubles", 3, 1,
       [](const Args& x, int n) { return SinCosDoubles(x.P(0, x.b.da), x.P(1, x.b.db), x.P(2, x.b.dc), n); }},
      {"MultiplyByScalar", 1, 1,
       [](const Args& x, int n) { return MultiplyByScalar(2.0f, x.P(0, x.b.a), n); }},
      {"MultiplyElementwise", 2, 1,
       [](const Args& x, int n) { return MultiplyElementwise(x.P(0, x.b.a), x.P(1, x.b.b), n); }},
      {"Sum", 2, 1, [](const Args& x, int n) { return Sum(x.P(0, x.b.a), n, x.P(1, &x.b.r1)); }},
  };
  return ops;
}

bool Unchanged(const Buffers& b)
{
  const Buffers f;
  return std::memcmp(b.a, f.a, sizeof f.a) == 0 && std::memcmp(b.b, f.b, sizeof f.b) == 0 &&
         std::memcmp(b.c, f.c, sizeof f.c) == 0 && std::memcmp(b.da, f.da, sizeof f.da) == 0 &&
         std::memcmp(b.db, f.db, sizeof f.db) == 0 && std::memcmp(b.dc, f.dc, sizeof f.dc) == 0 &&
         b.r1 == f.r1 && b.r2 == f.r2 && b.index == f.index;
}

TEST(MVector, NullPointersThenLengthsBelowTheMinimumAreRefusedAndChangeNothing)
{
  for (const OpCase& op : Ops())
  {
    for (int which = 0; which < op.pointers; ++which)
    {
      for (int n : {8, 0, -1})
      {
        Buffers b;
        EXPECT_EQ(op.call(Args{b, 1u << which}, n), MVector::kNullPointer) << op.name << " pointer " << which;
        EXPECT_TRUE(Unchanged(b)) << op.name;
      }
    }
  }

  // Then lengths below the minimum.
  for (const OpCase& op : Ops())
  {
    for (int n : {op.minimum - 1, 0, -5, -2147483647 - 1})
    {
      if (n >= op.minimum)
        continue;
      Buffers b;
      EXPECT_EQ(op.call(Args{b, 0}, n), MVector::kBadLength) << op.name << " n=" << n;
      EXPECT_TRUE(Unchanged(b)) << op.name;
    }
    Buffers b;
    EXPECT_EQ(op.call(Args{b, 0}, op.minimum), MVector::kOk) << op.name;
  }
}

TEST(MVector, AddingZeroReturnsAtOnceWithoutTouchingTheArray)
{
  // A NaN plus 0 is still NaN, but a signalling pattern or -0 would change; the array must
  // not even be rewritten. -0 + 0 = +0 shows whether the loop ran.
  float f[3] = {-0.0f, 1.0f, -0.0f};
  EXPECT_EQ(MVector::AddConstantInPlace(0.0f, f, 3), MVector::kOk);
  EXPECT_TRUE(std::signbit(f[0]));
  EXPECT_TRUE(std::signbit(f[2]));
}

} // namespace
