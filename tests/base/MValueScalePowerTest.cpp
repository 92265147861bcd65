// The decorators that bend a scale's normalised mapping.
#include "base/MValueScalePower.h"
#include "base/MValueUnits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace
{

TEST(MValueScalePower, PositionIsTheRootOfTheInnerPosition)
{
  MValueVolume inner;
  MValueScaleSqr square(inner);
  MValueScalePower<4> fourth(inner);
  const double positions[] = {0.0, 0.1, 0.25, 0.5, 0.9, 1.0};
  for (double x : positions)
  {
    square.SetNormalised(x);
    EXPECT_NEAR(inner.Get(), x * x, 1e-15) << x;
    EXPECT_NEAR(square.GetNormalised(), x, 1e-15) << x;
    fourth.SetNormalised(x);
    EXPECT_NEAR(inner.Get(), x * x * x * x, 1e-15) << x;
    EXPECT_NEAR(fourth.GetNormalised(), x, 1e-15) << x;
  }
}

/// Counts its destructions, to see who owns it.
class CountedPercents : public MValuePercents
{
public:
  explicit CountedPercents(int& destroyed) : m_destroyed(destroyed) {}
  ~CountedPercents() override { ++m_destroyed; }

private:
  int& m_destroyed;
};

TEST(MValueScalePower, AnOwningDecoratorDestroysItsInnerScale)
{
  int destroyed = 0;
  {
    MValueScalePower<4> owner(std::make_unique<CountedPercents>(destroyed));
    EXPECT_TRUE(owner.OwnsInner());
  }
  EXPECT_EQ(destroyed, 1);
  {
    CountedPercents inner(destroyed);
    {
      MValueScaleSqr borrower(inner);
      EXPECT_FALSE(borrower.OwnsInner());
    }
    EXPECT_EQ(destroyed, 1);
  }
  EXPECT_EQ(destroyed, 2);
}

} // namespace
