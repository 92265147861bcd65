#include "gui/MGuiTypes.h"

#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

TEST(MGuiTypesTest, ColorTextRoundTripsAndBadTextNamesItself)
{
  EXPECT_EQ(MColor::Parse("000000A0"), (MColor{0, 0, 0, 0xA0}));
  EXPECT_EQ(MColor::Parse("aedcf8d8"), (MColor{0xAE, 0xDC, 0xF8, 0xD8}));
  EXPECT_EQ(MColor::Parse("F10A0F"), (MColor{0xF1, 0x0A, 0x0F, 0xFF}));
  EXPECT_EQ((MColor{0xE3, 0x30, 0x12, 0xFF}.ToText()), MString("E33012FF"));
  for (const char* bad : {"", "12345", "1234567", "GG000000", "00000000FF", " 0000000"})
  {
    EXPECT_EQ(MessageOf([&] { MColor::Parse(MString::FromNarrow(bad)); }),
              std::string("Invalid color (") + bad + ").");
  }
  EXPECT_EQ(MColor::FromARGB(MColor{1, 2, 3, 4}.ToARGB()), (MColor{1, 2, 3, 4}));
}

TEST(MGuiTypesTest, EnumerationNamesRoundTripFoldCaseAndRejectUnknownNames)
{
  for (int i = 0; i < kColorOpCount; ++i)
  {
    const MString name = ColorOpName(MColorOp(i));
    EXPECT_EQ(ParseColorOp(name), MColorOp(i));
  }
  EXPECT_EQ(ColorOpName(MColorOp::DarkenByContrast), MString("DarkenByContrast"));
  EXPECT_EQ(ParseColorOp("addandoverflow"), MColorOp::AddAndOverflow);
  for (int i = 0; i < kBitmapFillCount; ++i)
  {
    EXPECT_EQ(ParseBitmapFill(BitmapFillName(MBitmapFill(i))), MBitmapFill(i));
  }
  EXPECT_EQ(ParseBitmapFill("HPATTERN"), MBitmapFill::HPattern);
  EXPECT_EQ(MessageOf([] { ParseColorOp("Multiply"); }), "Invalid MColorOp identifier to parse (Multiply).");
  EXPECT_EQ(MessageOf([] { ParseColorOp("Add "); }), "Invalid MColorOp identifier to parse (Add ).");
  EXPECT_EQ(MessageOf([] { ParseBitmapFill("Tile"); }), "Invalid MBitmapFill identifier to parse (Tile).");
}

TEST(MGuiTypesTest, AlignmentNamesByValueAndStrictParsing)
{
  // Nine combinations have a name ("left,top" and so on) and each parses back to its value.
  int named = 0;
  for (int value = 0; value < 256; ++value)
  {
    const MString name = AlignmentName(MAlignment(value));
    if (name.IsEmpty())
      continue;
    ++named;
    EXPECT_EQ(ParseAlignment(name), value) << name.ToUTF8();
  }
  EXPECT_EQ(named, 9);
  EXPECT_EQ(AlignmentName(MAlignment(5)), MString("left,top"));
  EXPECT_EQ(ParseAlignment("Left,Top"), 5);
  for (const char* bad : {"top,left", "left, top", "left", "", "left,top,"})
  {
    EXPECT_EQ(MessageOf([&] { ParseAlignment(MString::FromNarrow(bad)); }),
              std::string("Invalid MAlignment identifier to parse (") + bad + ").");
  }
}
