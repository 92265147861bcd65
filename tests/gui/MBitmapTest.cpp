#include "gui/MBitmap.h"

#include "tests/base/MExpectMessage.h"
#include "tests/gui/MPngBuilder.h"

#include <gtest/gtest.h>

#include <cstdio>

using MPngBuilder::Bytes;

namespace
{
const char* const kLoad = "Error loading a PNG file.";
const char* const kPalette = "Error loading PNG palette.";

MBitmap Load(const Bytes& bytes)
{
  return MBitmap::LoadPNG(bytes.data(), bytes.size());
}

std::vector<std::uint32_t> PixelsOf(const MBitmap& bitmap)
{
  return std::vector<std::uint32_t>(bitmap.Pixels(), bitmap.Pixels() + bitmap.Width() * bitmap.Height());
}
} // namespace

TEST(MBitmapTest, SizesBeyondTheCapsThrowBeforeAnythingChanges)
{
  MBitmap bitmap(3, 2);
  bitmap.Fill(MColor{1, 2, 3, 4});
  for (const std::pair<int, int>& size : {std::pair{-1, 5}, {5, -1}, {16385, 1}, {1, 16385}, {16384, 16384}})
  {
    const int w = size.first, h = size.second;
    EXPECT_EQ(MessageOf([&] { bitmap.Resize(w, h); }),
              "Bitmap size " + std::to_string(w) + " x " + std::to_string(h) + " is out of range.");
  }
  EXPECT_EQ(bitmap.Size(), (MSize{3, 2}));
  EXPECT_EQ(bitmap.GetColor(2, 1), (MColor{1, 2, 3, 4}));
  EXPECT_EQ(bitmap.GetPixel(3, 0), 0u);
  EXPECT_EQ(bitmap.GetPixel(-1, 0), 0u);
  bitmap.SetPixel(100, 100, 7); // ignored
  bitmap.Resize(0, 0);
  EXPECT_TRUE(bitmap.IsEmpty());
}

TEST(MBitmapTest, SavedPngLoadsBackPixelForPixel)
{
  MBitmap bitmap(7, 5);
  std::uint32_t state = 12345;
  for (std::int32_t y = 0; y < 5; ++y)
    for (std::int32_t x = 0; x < 7; ++x)
      bitmap.Row(y)[x] = (state = state * 1664525u + 1013904223u);
  const std::vector<std::uint8_t> encoded = bitmap.SavePNG();
  EXPECT_EQ(Load(encoded), bitmap);

  const std::string path = ::testing::TempDir() + "/tonvera-bitmap-test.png";
  bitmap.SavePNGFile(MString::FromUTF8(path));
  EXPECT_EQ(MBitmap::LoadPNGFile(MString::FromUTF8(path)), bitmap);
  std::remove(path.c_str());
  EXPECT_EQ(MessageOf([] { MBitmap().SavePNG(); }), "Empty image cannot be saved to PNG.");

  // An alpha mask takes the alpha channel.
  {
    MBitmap bitmap(2, 1);
    bitmap.Row(0)[0] = 0x80FFFFFF;
    bitmap.Row(0)[1] = 0x01000000;
    const MAlphaMask mask = MAlphaMask::FromAlpha(bitmap);
    EXPECT_EQ(mask.Get(0, 0), 0x80);
    EXPECT_EQ(mask.Get(1, 0), 0x01);
    EXPECT_EQ(mask.Get(2, 0), 0);
  }
}

TEST(MBitmapTest, EveryColourTypeAndEveryFuzzSeedImageDecodesToStraightArgb)
{
  using MPngBuilder::File;
  using MPngBuilder::Header;
  const struct
  {
    const char* name;
    Bytes file;
    std::vector<std::uint32_t> expected;
  } table[] = {
      {"gray 1-bit", File(Header(3, 1, 1, 0), {0, 0b10100000}), {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF}},
      {"gray 8-bit with tRNS", File(Header(2, 1, 8, 0), {0, 7, 9}, {}, {0, 9}), {0xFF070707, 0x00090909}},
      {"gray+alpha 16-bit", File(Header(1, 1, 16, 4), {0, 0x80, 0x00, 0x40, 0x00}), {0x40808080}},
      {"rgb 8-bit", File(Header(2, 1, 8, 2), {0, 1, 2, 3, 4, 5, 6}), {0xFF010203, 0xFF040506}},
      {"rgba 8-bit", File(Header(1, 1, 8, 6), {0, 10, 20, 30, 40}), {0x280A141E}},
      {"palette 4-bit with tRNS",
       File(Header(3, 1, 4, 3), {0, 0x10, 0x20}, {9, 8, 7, 1, 2, 3, 4, 5, 6}, {0x33}),
       {0xFF010203, 0x33090807, 0xFF040506}},
      {"rgba interlaced 2x2",
       File(Header(2, 2, 8, 6, 1), {0, 1, 1, 1, 1, 0, 2, 2, 2, 2, 0, 3, 3, 3, 3, 4, 4, 4, 4}),
       {0x01010101, 0x02020202, 0x03030303, 0x04040404}},
  };
  for (const auto& row : table)
  {
    EXPECT_EQ(PixelsOf(Load(row.file)), row.expected) << row.name;
  }

  // The fuzz target's seed images decode.
  for (const char* name : {"rgba-5x4.png", "gray-1bit.png", "gray-alpha-16bit.png", "rgb-tRNS.png",
                           "palette-4bit-tRNS.png", "rgba-interlaced-2x2.png"})
  {
    const MString path = MString::FromUTF8(std::string(TONVERA_SOURCE_DIR) + "/fuzz/corpus/fuzz_png/" + name);
    EXPECT_FALSE(MBitmap::LoadPNGFile(path).IsEmpty()) << name;
  }
}

TEST(MBitmapTest, DamagedOrHostilePngsThrowTheLoaderMessages)
{
  using MPngBuilder::File;
  using MPngBuilder::Header;
  const Bytes good = File(Header(4, 4, 8, 2), Bytes(4 * 13, 0));
  auto damaged = [&](std::size_t at) {
    Bytes bytes = good;
    bytes[at] ^= 0x40;
    return bytes;
  };
  const std::size_t idatData = 8 + 25 + 8; // signature, IHDR chunk, IDAT length and type
  const struct
  {
    const char* name;
    Bytes file;
    const char* message;
  } table[] = {
      {"empty", {}, kLoad},
      {"not a PNG", Bytes(64, 'x'), kLoad},
      {"signature only", Bytes(good.begin(), good.begin() + 8), kLoad},
      {"truncated in IDAT", Bytes(good.begin(), good.begin() + std::ptrdiff_t(idatData + 4)), kLoad},
      {"truncated before IEND", Bytes(good.begin(), good.end() - 12), kLoad},
      {"IHDR CRC", damaged(8 + 8 + 13), kLoad},
      {"IHDR width", damaged(8 + 8 + 2), kLoad},
      {"IDAT data", damaged(idatData + 2), kLoad},
      {"IDAT CRC", damaged(good.size() - 12 - 1), kLoad},
      {"width 0", File(Header(0, 4, 8, 2), Bytes(4, 0)), kLoad},
      {"beyond the side cap", File(Header(100000, 1, 8, 2), Bytes(1, 0)), kLoad},
      {"beyond the pixel cap", File(Header(16384, 16384, 8, 6), Bytes(16, 0)), kLoad},
      {"more pixels than the data can hold", File(Header(8000, 8000, 8, 6), Bytes(16, 0)), kLoad},
      {"bad bit depth", File(Header(1, 1, 7, 2), Bytes(4, 0)), kLoad},
      {"palette image without palette", File(Header(1, 1, 8, 3), {0, 0}), kPalette},
      {"palette of 4 bytes", File(Header(1, 1, 8, 3), {0, 0}, {1, 2, 3, 4}), kPalette},
      {"index beyond the palette", File(Header(2, 1, 8, 3), {0, 0, 1}, {1, 2, 3}), kPalette},
  };
  for (const auto& row : table)
  {
    EXPECT_EQ(MessageOf([&] { Load(row.file); }), row.message) << row.name;
  }
  EXPECT_EQ(MessageOf([] { MBitmap::LoadPNG(nullptr, 100); }), kLoad);
}
