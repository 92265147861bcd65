#include "gui/MDrawerToMBitmap.h"
#include "gui/MFont.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <tuple>

namespace
{
constexpr std::uint32_t kSentinel = 0xFF102030;
constexpr MColor kWhite{255, 255, 255, 255};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// Sum of the alpha channel / 255: the covered area after drawing opaque white on transparent black.
double CoveredArea(const MBitmap& bitmap)
{
  double sum = 0;
  for (std::int32_t y = 0; y < bitmap.Height(); ++y)
    for (std::int32_t x = 0; x < bitmap.Width(); ++x)
      sum += (bitmap.Row(y)[x] >> 24) / 255.0;
  return sum;
}

MBitmap Pattern(std::int32_t w, std::int32_t h)
{
  MBitmap bitmap(w, h);
  for (std::int32_t y = 0; y < h; ++y)
    for (std::int32_t x = 0; x < w; ++x)
      bitmap.Row(y)[x] = 0xFF000000u | std::uint32_t(x * 16) << 8 | std::uint32_t(y * 16);
  return bitmap;
}
} // namespace

TEST(MDrawerToMBitmapTest, OriginAndClipNestAndRestore)
{
  MBitmap target(100, 80);
  MDrawerToMBitmap drawer(target);
  EXPECT_EQ(drawer.GetClip(), (MRect{0, 0, 100, 80}));
  EXPECT_EQ(drawer.SetOrigin(MPoint{10, 20}), (MPoint{0, 0}));
  EXPECT_EQ(drawer.GetClip(), (MRect{-10, -20, 90, 60}));
  const MRect outer = drawer.IntersectClip(MRect{0, 0, 50, 50});
  EXPECT_EQ(drawer.GetClip(), (MRect{0, 0, 50, 50}));
  const MRect inner = drawer.IntersectClip(MRect{40, -5, 200, 10});
  EXPECT_EQ(drawer.GetClip(), (MRect{40, 0, 50, 10}));
  drawer.RestoreClip(inner);
  EXPECT_EQ(drawer.GetClip(), (MRect{0, 0, 50, 50}));
  drawer.SetClip(MRect{-100, -100, 1000, 1000}); // SetClip may widen, but never past the target
  EXPECT_EQ(drawer.GetClip(), (MRect{-10, -20, 90, 60}));
  drawer.RestoreClip(outer);
  EXPECT_EQ(drawer.GetClip(), (MRect{-10, -20, 90, 60}));
  drawer.FillRectangle(MRect{0, 0, 1, 1}, kWhite);
  EXPECT_EQ(target.GetPixel(10, 20), 0xFFFFFFFFu);
  // The surface shrinking under the drawer shrinks its clip too.
  target.Resize(5, 5);
  drawer.SetOrigin(MPoint{0, 0});
  EXPECT_EQ(drawer.GetClip(), (MRect{0, 0, 5, 5}));
}

// Every primitive, with sane and hostile arguments, stays inside the clip (ASan watches the target).
TEST(MDrawerToMBitmapTest, NothingIsWrittenOutsideTheClip)
{
  const MBitmap source = Pattern(8, 8);
  const MFont font;
  MAlphaMask mask(30, 9);
  mask.Fill(200);
  const MDrawer::PointF star[] = {{-1e6, 5}, {20, -1e6}, {1e6, 30}, {5, 1e6}, {kNaN, 3}};
  using Paint = std::function<void(MDrawerToMBitmap&)>;
  const Paint paints[] = {
      [](auto& d) {
        d.FillRectangle(MRect{kMin, kMin, kMax, kMax}, kWhite, MColorOp::Copy);
      },
      [](auto& d) {
        d.FillRectangle(MRect{kMax - 1, 0, kMin, 5}, kWhite, MColorOp::Invert);
      },
      [](auto& d) {
        d.FrameRectangle(MRect{-5, -5, 40, 40}, kWhite, kMax);
      },
      [](auto& d) {
        d.FillGradient(MRect{kMin, 0, kMax, 40}, kWhite, MColor{}, false);
      },
      [](auto& d) {
        d.FillGradient(MRect{0, kMin, 40, kMax}, kWhite, MColor{}, true);
      },
      [](auto& d) { d.FillCircle(16, 16, 1e9, kWhite); },
      [](auto& d) { d.FillCircle(kNaN, 16, 5, kWhite); },
      [](auto& d) { d.FillCircle(16, 16, kInf, kWhite); },
      [](auto& d) { d.FrameCircle(16, 16, 30, 50, kWhite); },
      [](auto& d) { d.FrameArc(16, 16, 14, 40, -100, 100, kWhite); },
      [](auto& d) { d.FrameArc(16, 16, 14, 4, 0, kInf, kWhite); },
      [](auto& d) {
        d.FillRoundRectangle(MRect{kMin, kMin, kMax, kMax}, 1e300, kWhite);
      },
      [](auto& d) {
        d.FillRoundRectangle(MRect{-3, -3, 50, 50}, 6, kWhite);
      },
      [](auto& d) {
        d.FrameRoundRectangle(MRect{-3, -3, 50, 50}, 60, 3, kWhite);
      },
      [&](auto& d) { d.FillPolygon(std::span(star, 4), kWhite); },
      [&](auto& d) { d.FillPolygon(star, kWhite); },
      [](auto& d) { d.Line(-1e6, -1e6, 1e6, 1e6, kWhite, 3); },
      [](auto& d) { d.Line(0, 0, 30, 30, kWhite, kNaN); },
      [&](auto& d) {
        d.BitBlt(-4, -4, source, MRect{kMin, kMin, kMax, kMax}, MColorOp::Copy);
      },
      [&](auto& d) { d.BitBlt(kMax, kMin, source, source.Bounds(), MColorOp::Add); },
      [&](auto& d) {
        d.BitBlt(2, 2, d.GetTarget(), MRect{0, 0, 40, 40}, MColorOp::Copy);
      },
      [&](auto& d) {
        d.StretchBlt(MRect{-50, -50, 90, 90}, source, MRect{-2, -2, 5, 5});
      },
      [&](auto& d) {
        d.StretchBlt(MRect{kMin, kMin, kMax, kMax}, source, source.Bounds(), MColorOp::Difference);
      },
      [&](auto& d) {
        d.StretchBlt(MRect{0, 0, 60, 60}, d.GetTarget(), MRect{0, 0, 7, 9});
      },
      [&](auto& d) {
        d.DrawBordered(MRect{-7, -7, 45, 45}, source, 3, 3, MBitmapFill::Pattern);
      },
      [&](auto& d) {
        d.DrawBordered(MRect{kMin, kMin, kMax, kMax}, source, kMax, -4, MBitmapFill::HPattern);
      },
      [&](auto& d) {
        d.DrawBordered(MRect{0, 0, 35, 37}, source, 2, 1, MBitmapFill::VPattern, MColorOp::Modulate);
      },
      [&](auto& d) {
        d.AlignedTextOut(MRect{-20, -20, 60, 60}, "Wide text gj|", font, kWhite);
      },
      [&](auto& d) {
        d.AlignedTextOut(MRect{kMin, kMin, kMax, kMax}, "Huge", font, kWhite, MAlign::Right);
      },
      [&](auto& d) { d.FillMask(-3, 20, mask, kWhite); },
  };
  const MPoint origins[] = {{0, 0}, {-7, 3}, {kMax, kMin}, {kMin, kMax}};
  int index = 0;
  for (const Paint& paint : paints)
  {
    for (const MPoint origin : origins)
    {
      MBitmap target(32, 32);
      target.Fill(MColor::FromARGB(kSentinel));
      MDrawerToMBitmap drawer(target);
      drawer.SetOrigin(origin);
      const MRect clip{5, 7, 23, 19}; // target pixels
      drawer.RestoreClip(clip);
      paint(drawer);
      for (std::int32_t y = 0; y < 32; ++y)
        for (std::int32_t x = 0; x < 32; ++x)
        {
          if (!clip.Contains(MPoint{x, y}))
          {
            ASSERT_EQ(target.Row(y)[x], kSentinel) << "paint " << index << " at " << x << "," << y;
          }
        }
    }
    ++index;
  }
}

TEST(MDrawerToMBitmapTest, ColorOpsFollowTheDocumentedPixelRules)
{
  const struct
  {
    MColorOp op;
    std::uint32_t destination;
    std::uint32_t source;
    std::uint32_t expected;
  } table[] = {
      {MColorOp::None, 0xFF123456, 0xFFFFFFFF, 0xFF123456},
      {MColorOp::Alphablend, 0xFF000000, 0x80FFFFFF, 0xFF808080},
      {MColorOp::Alphablend, 0x00000000, 0x80FF0000, 0x80FF0000}, // over transparent keeps the colour
      {MColorOp::Alphablend, 0x80FF0000, 0x800000FF, 0xC05500AA},
      {MColorOp::Copy, 0xFF123456, 0x00ABCDEF, 0x00ABCDEF},
      {MColorOp::Modulate, 0xFF80FF40, 0xFF8080FF, 0xFF408040},
      {MColorOp::Modulate, 0xFF80FF40, 0x008080FF, 0xFF80FF40}, // transparent source: no change
      {MColorOp::Overlay, 0xFF40C080, 0xFF808080, 0xFF40C080},
      {MColorOp::Overlay, 0xFF20E000, 0xFFFF0000, 0xFF40C100},
      {MColorOp::Color, 0xFF808080, 0xFFFF0000, 0xFFFF4B4B},
      {MColorOp::Invert, 0xFF00FF80, 0xFF000000, 0xFFFF007F},
      {MColorOp::Invert, 0xFF000000, 0x80000000, 0xFF808080},
      {MColorOp::Add, 0xFFF01020, 0xFF202020, 0xFFFF3040},
      {MColorOp::Subtract, 0xFF10F020, 0xFF202020, 0xFF00D000},
      {MColorOp::Lighten, 0xFF10F020, 0xFF808080, 0xFF80F080},
      {MColorOp::Darken, 0xFF10F020, 0xFF808080, 0xFF108020},
      {MColorOp::Difference, 0xFF10F080, 0xFF808080, 0xFF707000},
      {MColorOp::IncContrast, 0xFF40C080, 0xFFFFFFFF, 0xFF00FF80},
      {MColorOp::DecContrast, 0xFF00FF80, 0xFFFFFFFF, 0xFF808080},
      {MColorOp::DecContrast, 0xFF00FF80, 0xFF000000, 0xFF00FF80},
      {MColorOp::LightenByContrast, 0xFF000000, 0xFF808080, 0xFF808080},
      {MColorOp::LightenByContrast, 0xFF808080, 0xFFFFFFFF, 0xFF808080}, // mid grey has no contrast
      {MColorOp::DarkenByContrast, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF010101},
      {MColorOp::AddAndOverflow, 0xFFF01020, 0xFF202020, 0xFF103040},
  };
  for (const auto& row : table)
  {
    EXPECT_EQ(MDrawerToMBitmap::CombinePixel(row.destination, row.source, row.op, 255), row.expected)
        << ColorOpName(row.op) << std::hex << " " << row.destination << " " << row.source;
    // Filling a rectangle applies the same rule to every pixel.
    MBitmap target(3, 2);
    target.Fill(MColor::FromARGB(row.destination));
    MDrawerToMBitmap(target).FillRectangle(target.Bounds(), MColor::FromARGB(row.source), row.op);
    EXPECT_EQ(target.GetPixel(2, 1), row.expected) << ColorOpName(row.op);
  }
}

TEST(MDrawerToMBitmapTest, AntiAliasedShapesCoverTheirArea)
{
  constexpr double pi = std::numbers::pi;
  const struct
  {
    const char* name;
    std::function<void(MDrawer&)> paint;
    double area;
  } table[] = {
      {"circle r=10", [](MDrawer& d) { d.FillCircle(20, 20, 10, kWhite); }, pi * 100},
      {"circle r=3.3 off-grid", [](MDrawer& d) { d.FillCircle(11.3, 17.8, 3.3, kWhite); }, pi * 3.3 * 3.3},
      {"circle r=0.4", [](MDrawer& d) { d.FillCircle(5.5, 5.5, 0.4, kWhite); }, pi * 0.16},
      {"ring", [](MDrawer& d) { d.FrameCircle(20, 20, 12, 3, kWhite); }, pi * (13.5 * 13.5 - 10.5 * 10.5)},
      {"half ring", [](MDrawer& d) { d.FrameArc(20, 20, 12, 3, 0, pi, kWhite); },
       pi * (13.5 * 13.5 - 10.5 * 10.5) / 2},
      {"round rectangle",
       [](MDrawer& d) {
         d.FillRoundRectangle(MRect{4, 4, 34, 24}, 5, kWhite);
       },
       600 - (4 - pi) * 25},
      {"round frame",
       [](MDrawer& d) {
         d.FrameRoundRectangle(MRect{4, 4, 34, 24}, 2, 2, kWhite);
       },
       600 - (4 - pi) * 4 - 26 * 16},
      {"diagonal line", [](MDrawer& d) { d.Line(5, 5, 35, 35, kWhite, 2); }, std::sqrt(1800.0) * 2},
      {"triangle",
       [](MDrawer& d) {
         const MDrawer::PointF points[] = {{2.5, 3}, {30.25, 10}, {8, 33.5}};
         d.FillPolygon(points, kWhite);
       },
       0.5 * std::fabs((30.25 - 2.5) * (33.5 - 3) - (8 - 2.5) * (10 - 3))},
  };
  for (const auto& row : table)
  {
    MBitmap target(40, 40);
    MDrawerToMBitmap drawer(target);
    row.paint(drawer);
    EXPECT_NEAR(CoveredArea(target), row.area, 0.01 * row.area + 0.15) << row.name;
  }
  // Edges on whole pixels are exact: a rectangle polygon leaves no partial pixel.
  MBitmap target(10, 10);
  MDrawerToMBitmap drawer(target);
  const MDrawer::PointF square[] = {{2, 3}, {7, 3}, {7, 8}, {2, 8}};
  drawer.FillPolygon(square, kWhite);
  for (std::int32_t y = 0; y < 10; ++y)
    for (std::int32_t x = 0; x < 10; ++x)
      EXPECT_EQ(target.GetPixel(x, y), (x >= 2 && x < 7 && y >= 3 && y < 8) ? 0xFFFFFFFFu : 0u);
}

TEST(MDrawerToMBitmapTest, BlitsCopyStretchAndSliceBitmaps)
{
  const MBitmap source = Pattern(6, 6);
  MBitmap target(20, 20);
  MDrawerToMBitmap drawer(target);
  drawer.SetOrigin(MPoint{1, 1});
  drawer.BitBlt(2, 3, source, MRect{1, 1, 4, 4}, MColorOp::Copy);
  EXPECT_EQ(target.GetPixel(3, 4), source.GetPixel(1, 1));
  EXPECT_EQ(target.GetPixel(5, 6), source.GetPixel(3, 3));
  EXPECT_EQ(target.GetPixel(6, 6), 0u);

  // Scrolling a surface onto itself, overlapping, both ways.
  MBitmap scroll = Pattern(6, 6);
  MDrawerToMBitmap self(scroll);
  self.BitBlt(0, 1, scroll, MRect{0, 0, 6, 5}, MColorOp::Copy);
  self.BitBlt(1, 0, scroll, MRect{0, 0, 5, 6}, MColorOp::Alphablend);
  EXPECT_EQ(scroll.GetPixel(5, 5), source.GetPixel(4, 4));
  EXPECT_EQ(scroll.GetPixel(1, 1), source.GetPixel(0, 0));

  // Doubling a 2x2 image: bilinear between the samples, exact at the clamped edges.
  MBitmap small(2, 1);
  small.Row(0)[0] = 0xFF000000;
  small.Row(0)[1] = 0xFF0000FF;
  target.Clear();
  drawer.SetOrigin(MPoint{0, 0});
  drawer.StretchBlt(MRect{0, 0, 4, 2}, small, small.Bounds(), MColorOp::Copy);
  const std::uint32_t expected[4] = {0xFF000000, 0xFF000040, 0xFF0000BF, 0xFF0000FF};
  for (std::int32_t x = 0; x < 4; ++x)
    EXPECT_EQ(target.GetPixel(x, 1), expected[x]) << x;
  // A transparent neighbour fades the alpha, never the colour.
  small.Row(0)[1] = 0x00000000;
  small.Row(0)[0] = 0xFFFF0000;
  drawer.StretchBlt(MRect{0, 0, 4, 1}, small, small.Bounds(), MColorOp::Copy);
  EXPECT_EQ(target.GetPixel(1, 0) & 0xFFFFFF, 0xFF0000u);

  // Nine-slice: corners unscaled, edges stretched or tiled.
  for (MBitmapFill fill :
       {MBitmapFill::Stretch, MBitmapFill::HPattern, MBitmapFill::VPattern, MBitmapFill::Pattern})
  {
    target.Clear();
    drawer.DrawBordered(MRect{0, 0, 17, 15}, source, 2, 2, fill, MColorOp::Copy);
    EXPECT_EQ(target.GetPixel(1, 1), source.GetPixel(1, 1)) << BitmapFillName(fill);
    EXPECT_EQ(target.GetPixel(16, 14), source.GetPixel(5, 5)) << BitmapFillName(fill);
    EXPECT_EQ(target.GetPixel(16, 0), source.GetPixel(5, 0)) << BitmapFillName(fill);
    EXPECT_EQ(target.GetPixel(0, 14), source.GetPixel(0, 5)) << BitmapFillName(fill);
    EXPECT_EQ(target.GetPixel(17, 0), 0u);
  }
  // Tiled horizontally, the 2-pixel centre repeats along the top edge.
  drawer.DrawBordered(MRect{0, 0, 17, 15}, source, 2, 2, MBitmapFill::Pattern, MColorOp::Copy);
  EXPECT_EQ(target.GetPixel(6, 0), source.GetPixel(2, 0));
  EXPECT_EQ(target.GetPixel(7, 6), source.GetPixel(3, 2));
}

// Row blending has a vector path for opaque destinations; every pixel must still follow the rule.
TEST(MDrawerToMBitmapTest, BlendedBlitsAndFillsFollowThePixelRuleEverywhere)
{
  MBitmap source(37, 3), target(37, 3);
  std::uint32_t state = 99;
  for (std::int32_t y = 0; y < 3; ++y)
    for (std::int32_t x = 0; x < 37; ++x)
    {
      source.Row(y)[x] = (state = state * 1664525u + 1013904223u);
      // Row 0 opaque, row 1 opaque but for one pixel, row 2 random.
      const std::uint32_t d = (state = state * 1664525u + 1013904223u);
      target.Row(y)[x] = y == 2 || (y == 1 && x == 21) ? d : (d | 0xFF000000u);
    }
  for (const std::uint8_t alpha : {std::uint8_t(255), std::uint8_t(77)})
  {
    MBitmap blitted = target, filled = target;
    MDrawerToMBitmap(blitted).BitBlt(0, 0, source, source.Bounds(), MColorOp::Alphablend, alpha);
    const MColor color = MColor::FromARGB(source.Row(0)[3]).WithAlpha(alpha);
    MDrawerToMBitmap(filled).FillRectangle(filled.Bounds(), color);
    for (std::int32_t y = 0; y < 3; ++y)
      for (std::int32_t x = 0; x < 37; ++x)
      {
        const std::uint32_t d = target.Row(y)[x];
        ASSERT_EQ(blitted.Row(y)[x],
                  MDrawerToMBitmap::CombinePixel(d, source.Row(y)[x], MColorOp::Alphablend, alpha))
            << x << "," << y;
        ASSERT_EQ(filled.Row(y)[x],
                  MDrawerToMBitmap::CombinePixel(d, color.ToARGB(), MColorOp::Alphablend, 255))
            << x << "," << y;
      }
  }
}

// The separable, vectorised filter against a plain bilinear filter in premultiplied alpha.
TEST(MDrawerToMBitmapTest, StretchedImagesMatchAPlainBilinearFilter)
{
  MBitmap source(5, 4);
  std::uint32_t state = 7;
  for (std::int32_t y = 0; y < 4; ++y)
    for (std::int32_t x = 0; x < 5; ++x)
      source.Row(y)[x] = (state = state * 1664525u + 1013904223u) | (x == 2 ? 0u : 0x30000000u);
  for (const MSize size : {MSize{13, 9}, MSize{3, 11}, MSize{5, 2}})
  {
    MBitmap target(size.x, size.y);
    MDrawerToMBitmap(target).StretchBlt(target.Bounds(), source, source.Bounds(), MColorOp::Copy);
    for (std::int32_t y = 0; y < size.y; ++y)
      for (std::int32_t x = 0; x < size.x; ++x)
      {
        const double u = std::clamp((x + 0.5) * 5 / size.x - 0.5, 0.0, 4.0);
        const double v = std::clamp((y + 0.5) * 4 / size.y - 0.5, 0.0, 3.0);
        const int x0 = int(u), y0 = int(v), x1 = std::min(x0 + 1, 4), y1 = std::min(y0 + 1, 3);
        double sum[4] = {0, 0, 0, 0}; // b, g, r premultiplied, then alpha
        for (const auto& [px, py, weight] :
             {std::tuple{x0, y0, (1 - (u - x0)) * (1 - (v - y0))},
              std::tuple{x1, y0, (u - x0) * (1 - (v - y0))}, std::tuple{x0, y1, (1 - (u - x0)) * (v - y0)},
              std::tuple{x1, y1, (u - x0) * (v - y0)}})
        {
          const std::uint32_t p = source.Row(py)[px];
          for (int k = 0; k < 3; ++k)
            sum[k] += weight * (p >> (8 * k) & 255) * (p >> 24);
          sum[3] += weight * (p >> 24);
        }
        const std::uint32_t got = target.Row(y)[x];
        EXPECT_NEAR(got >> 24, sum[3], 1.0) << x << "," << y;
        for (int k = 0; k < 3; ++k)
          EXPECT_NEAR(got >> (8 * k) & 255, sum[k] / sum[3], 1.5) << x << "," << y << " channel " << k;
      }
  }
}
