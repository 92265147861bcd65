#pragma once
// The vector suites' fixture: a check run at every processor level this machine offers, with the
// level named in its failures, and the load-time level restored after the test.

#include "vector/MVector.h"

#include <gtest/gtest.h>

class MVectorLevels : public ::testing::Test
{
protected:
  void TearDown() override { MVector::SetLevel(MVector::MaxLevel()); }

  /// Runs `check` at each level from the portable one up.
  template <typename Check>
  static void AtEveryLevel(Check check)
  {
    for (int level = 0; level <= MVector::MaxLevel(); ++level)
    {
      ASSERT_EQ(MVector::SetLevel(level), level);
      SCOPED_TRACE(::testing::Message() << "level " << level);
      check();
    }
  }
};
