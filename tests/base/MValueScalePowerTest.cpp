// The decorators that bend a scale's normalised mapping.
#include "base/MValueScalePower.h"
#include "base/MValueUnits.h"
#include "base/MXmlItem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

namespace
{

TEST(MValueScalePower, PositionIsTheRootOfTheInnerPositionAndSoIsTheContentForIt)
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
  // Position 0.5 of the square law is gain 0.25, 12.04 dB down; the variable stays.
  inner.Set(1.0);
  EXPECT_EQ(square.GetContentForNormalised(0.5)->GetText().ToUTF8(), "-12.0 dB");
  EXPECT_EQ(fourth.GetContentForNormalised(0.5)->GetText().ToUTF8(), "-24.1 dB");
  EXPECT_EQ(inner.Get(), 1.0);
}

TEST(MValueScalePower, TextStorageAndCoarseStepsGoToTheInnerScaleFineStepsMoveTheOwnPosition)
{
  MValueVolume inner;
  inner.SetId("gain");
  MValueScaleSqr square(inner);
  EXPECT_EQ(square.GetId().ToUTF8(), "gain");
  EXPECT_TRUE(square.SetText("-6 dB"));
  EXPECT_NEAR(inner.Get(), std::pow(10.0, -0.3), 1e-12);
  EXPECT_EQ(square.GetText().ToUTF8(), "-6.00 dB");
  EXPECT_EQ(square.ToString().ToUTF8(), inner.ToString().ToUTF8());
  MXmlItem saved("settings");
  EXPECT_TRUE(square.Save(saved));
  inner.Set(1.0);
  square.Load(saved);
  EXPECT_NEAR(inner.Get(), std::pow(10.0, -0.3), 1e-12);
  EXPECT_EQ(&square.GetTypeInfo(), &inner.GetTypeInfo());
  EXPECT_EQ(square.GetStepCount(), 0);
  inner.SetDefaultValue(0.5);
  square.SetDefault();
  EXPECT_EQ(inner.Get(), 0.5);

  // Fine steps move the decorator's own position; coarse ones are the inner scale's, in its units.
  MValueVolume fineInner;
  MValueScaleSqr fineSquare(fineInner);
  fineSquare.SetNormalised(0.5);
  fineSquare.IncrementFine(100);
  EXPECT_NEAR(fineSquare.GetNormalised(), 0.6, 1e-12);
  EXPECT_NEAR(fineInner.Get(), 0.36, 1e-12);
  fineSquare.IncrementFine(-1000);
  EXPECT_EQ(fineInner.Get(), 0.0);
  // Coarse steps are the fineInner scale's own, in its units.
  fineInner.SetIncrements(0.1, 0.1);
  fineSquare.Increment(2, 0);
  EXPECT_NEAR(fineInner.Get(), 0.2, 1e-12);
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
