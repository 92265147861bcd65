#include "gui/MDrawerToMBitmap.h"
#include "gui/MFont.h"

#include <gtest/gtest.h>

namespace
{
// Bounding box of the pixels text left on a black target.
MRect InkBox(const MBitmap& bitmap)
{
  MRect box{bitmap.Width(), bitmap.Height(), 0, 0};
  for (std::int32_t y = 0; y < bitmap.Height(); ++y)
    for (std::int32_t x = 0; x < bitmap.Width(); ++x)
      if ((bitmap.Row(y)[x] & 0xFFFFFF) != 0)
        box = MRect{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                    std::max(box.bottom, y + 1)};
  return box;
}
} // namespace

TEST(MFontTest, MetricsAndExtentsFollowTheFont)
{
  const MFont normal;
  EXPECT_EQ(normal.Ascent(), 12);
  EXPECT_EQ(normal.Descent(), 3);
  MFontDescriptor large;
  large.pixelHeight = 26;
  const MFont big(large);
  MFontDescriptor heavy;
  heavy.bold = true;
  const MFont bold(heavy);
  MBitmap target(1, 1);
  MDrawerToMBitmap drawer(target);
  const MSize extent = drawer.GetTextExtent("Tonvera 440 Hz", normal);
  EXPECT_EQ(extent.y, 15);
  EXPECT_GT(extent.x, 70);
  EXPECT_LT(extent.x, 110);
  EXPECT_NEAR(big.TextWidth("Tonvera 440 Hz"), 2 * extent.x, 4);
  EXPECT_GT(bold.TextWidth("Tonvera 440 Hz"), extent.x);
  large.pixelHeight = -26; // the magnitude counts
  EXPECT_EQ(MFont(large).TextWidth("Tonvera 440 Hz"), big.TextWidth("Tonvera 440 Hz"));
  EXPECT_EQ(normal.TextWidth(""), 0);
  EXPECT_EQ(normal.TextWidth("ab\r\ncd"), normal.TextWidth("abcd")); // control characters take no room
  EXPECT_EQ(normal.TextWidth("AV") < normal.TextWidth("A") + normal.TextWidth("V"), true); // kerning
  // A surrogate pair is one glyph, a lone surrogate is U+FFFD.
  const char16_t pair[] = {0xD834, 0xDD1E, 0};
  const char16_t lone[] = {0xD834, u'a', 0};
  const char16_t replaced[] = {0xFFFD, u'a', 0};
  std::vector<MFont::PlacedGlyph> placed;
  EXPECT_EQ(normal.Layout(MString(pair), placed), normal.TextWidth(MString(pair)));
  EXPECT_EQ(placed.size(), 1u);
  EXPECT_EQ(normal.TextWidth(MString(lone)), normal.TextWidth(MString(replaced)));
}

TEST(MFontTest, AlignmentPlacesTheTextInsideItsRectangle)
{
  const MFont font;
  const MRect rect{10, 10, 150, 50};
  const std::int32_t width = font.TextWidth("Hxy");
  const struct
  {
    MAlignment alignment;
    std::int32_t left; // expected pen start
    std::int32_t top;  // expected line top
  } table[] = {
      {MAlign::Left | MAlign::Top, 10, 10},
      {MAlign::Right | MAlign::Top, 150 - width, 10},
      {MAlign::Center, 10 + (140 - width) / 2, 10 + (40 - 15) / 2},
      {MAlign::Left | MAlign::Bottom, 10, 50 - 15},
  };
  for (const auto& row : table)
  {
    MBitmap target(160, 60);
    MDrawerToMBitmap drawer(target);
    drawer.AlignedTextOut(rect, "Hxy", font, MColor{255, 255, 255, 255}, row.alignment);
    const MRect ink = InkBox(target);
    // "H" starts about one pixel right of the pen and reaches the cap height; "y" descends.
    EXPECT_NEAR(ink.left, row.left + 1, 1) << int(row.alignment);
    EXPECT_NEAR(ink.top, row.top + font.Ascent() - 9, 1) << int(row.alignment);
    EXPECT_NEAR(ink.bottom, row.top + font.Ascent() + 3, 1) << int(row.alignment);
  }
  // Text wider than its rectangle is clipped to it.
  MBitmap target(60, 30);
  MDrawerToMBitmap drawer(target);
  drawer.AlignedTextOut(MRect{5, 5, 25, 25}, "Clipped long text", font, MColor{255, 255, 255, 255});
  const MRect ink = InkBox(target);
  EXPECT_GE(ink.left, 5);
  EXPECT_LE(ink.right, 25);
}

TEST(MFontTest, TheGlyphCacheKeepsItsBoundAndTheRecentlyUsedGlyphs)
{
  const MFont font;
  constexpr char32_t kFirst = 0x400, kEnd = kFirst + 3 * MFont::kMaxCachedGlyphs;
  for (char32_t c = kFirst; c < kEnd; ++c)
    font.GetGlyph(c % 16 == 0 ? U'A' : c); // 'A' is used all along
  EXPECT_EQ(font.CachedGlyphCount(), MFont::kMaxCachedGlyphs);
  const std::uint64_t rasterised = font.RasterisedGlyphCount();
  font.GetGlyph(U'A');
  font.GetGlyph(kEnd - 1);
  EXPECT_EQ(font.RasterisedGlyphCount(), rasterised) << "recently used glyphs were dropped";
  font.GetGlyph(kFirst + 1);
  EXPECT_EQ(font.RasterisedGlyphCount(), rasterised + 1) << "the oldest glyph stayed";
  // A text with more distinct characters than the cache holds: its placed glyphs stay valid
  // (AddressSanitizer checks the reads) although the cache dropped the first ones.
  std::u16string wide(MFont::kMaxCachedGlyphs + 10, u'B');
  for (std::size_t i = 1; i < wide.size(); ++i)
    wide[i] = char16_t(0x2000 + i);
  std::vector<MFont::PlacedGlyph> placed;
  font.Layout(MString(std::u16string_view(wide)), placed);
  EXPECT_GT(placed.front().glyph->coverage.size(), 0u);
  EXPECT_LE(font.CachedGlyphCount(), MFont::kMaxCachedGlyphs);
}
