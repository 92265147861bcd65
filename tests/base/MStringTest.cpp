#include "base/MString.h"

#include <gtest/gtest.h>

TEST(MStringTest, LiteralIsBorrowedUntilChanged)
{
  MString text = "abc";
  EXPECT_TRUE(text.IsLiteral());
  text.Append(u'd');
  EXPECT_FALSE(text.IsLiteral());
  EXPECT_EQ(text, MString("abcd"));
}
