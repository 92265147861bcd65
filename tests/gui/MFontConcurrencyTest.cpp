#include "gui/MFont.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

// One font measured from several threads while other fonts come and go beside it: the glyph cache
// is filled once, and the process-wide FreeType library survives its users.
TEST(MFontConcurrencyTest, GlyphCacheIsFilledOnceAndSharedAcrossThreads)
{
  MFontDescriptor slanted;
  slanted.italic = true;
  const MFont font(slanted);
  const MString text = "The quick brown fox";
  const std::int32_t width = font.TextWidth(text);
  const std::size_t cached = font.CachedGlyphCount();
  EXPECT_EQ(cached, 16u); // distinct characters
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
  {
    threads.emplace_back([&] {
      for (int i = 0; i < 20; ++i)
      {
        const MFont own;
        EXPECT_EQ(font.TextWidth(text), width);
        EXPECT_GT(own.TextWidth(text), 0);
      }
    });
  }
  for (std::thread& thread : threads)
  {
    thread.join();
  }
  EXPECT_EQ(font.CachedGlyphCount(), cached);
}
