// Cost of the bitmap drawer's hot paths, each beside a reference measured in the same run:
//   draw text glyphs=100 us=... fill_same_area_us=... ratio_to_fill=... limit_us=50
//     one line of 100 characters in the 13 px font, glyph cache warm, against FillRectangle of
//     the rectangle the text covers;
//   draw surface=600x400 fill_blit_us=... memcpy_us=... ratio_to_memcpy=...
//     an opaque fill plus an alpha-blended full-size blit, against memcpy of the surface's bytes;
//   draw panel controls=40 us=... limit_us=2000
//     a 600x400 repaint of 40 knob-like controls (rounded frame, gradient, knob with value arc
//     and pointer, caption), the kind of work a window repaint does;
//   draw bordered controls=40 size=70x75 us=... ratio_to_surface_fill_blit=...
//     40 nine-slice images (24x24, 4-pixel borders, translucent rim) stretched over their
//     controls, as the textured style paints them.
// Times are CPU time per iteration in microseconds.

#include "gui/MDrawerToMBitmap.h"
#include "gui/MFont.h"

#include "bench/MCapturingReporter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace
{
const MString kText =
    "Pitch correction speed 25 ms, depth 100 %, formant shift -3.5 semitones, reference 440.0 Hz, A4 tune";
constexpr MColor kPanel{0x1E, 0x21, 0x26, 0xFF};
constexpr MColor kRaised{0x2A, 0x2E, 0x35, 0xFF};
constexpr MColor kText1{0xE6, 0xE6, 0xE6, 0xFF};
constexpr MColor kAccent{0xFF, 0xA0, 0x28, 0xFF};

struct Fixture
{
  MBitmap surface{600, 400};
  MDrawerToMBitmap drawer{surface};
  MFont font;
  Fixture() { surface.Fill(kPanel); }
};

Fixture& Shared()
{
  static Fixture fixture;
  return fixture;
}

MRect TextRect()
{
  Fixture& f = Shared();
  return MRect{0, 0, f.font.TextWidth(kText), f.font.LineHeight()};
}

void Text100Glyphs(benchmark::State& state)
{
  Fixture& f = Shared();
  const MRect rect = TextRect().Offset(4, 100);
  f.drawer.AlignedTextOut(rect, kText, f.font, kText1, MAlign::Left); // warm the cache
  for (auto _ : state)
  {
    f.drawer.AlignedTextOut(rect, kText, f.font, kText1, MAlign::Left);
    benchmark::ClobberMemory();
  }
}

void FillSameArea(benchmark::State& state)
{
  Fixture& f = Shared();
  const MRect rect = TextRect().Offset(4, 100);
  for (auto _ : state)
  {
    f.drawer.FillRectangle(rect, MColor{0x30, 0x30, 0x30, 0xC0});
    benchmark::ClobberMemory();
  }
}

void SurfaceFillAndBlit(benchmark::State& state)
{
  Fixture& f = Shared();
  MBitmap overlay(600, 400);
  overlay.Fill(MColor{0x40, 0x80, 0xC0, 0x80});
  for (auto _ : state)
  {
    f.drawer.FillRectangle(f.surface.Bounds(), kPanel);
    f.drawer.BitBlt(0, 0, overlay, overlay.Bounds());
    benchmark::ClobberMemory();
  }
}

void SurfaceMemcpy(benchmark::State& state)
{
  Fixture& f = Shared();
  std::vector<std::uint32_t> copy(600 * 400);
  for (auto _ : state)
  {
    std::memcpy(copy.data(), f.surface.Pixels(), copy.size() * sizeof(std::uint32_t));
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
}

void Panel40Controls(benchmark::State& state)
{
  Fixture& f = Shared();
  MDrawerToMBitmap& d = f.drawer;
  for (auto _ : state)
  {
    d.FillRectangle(f.surface.Bounds(), kPanel);
    for (int i = 0; i < 40; ++i)
    {
      const MRect cell = MRect::FromSize(5 + (i % 8) * 74, 5 + (i / 8) * 79, 70, 75);
      d.SetOrigin(MPoint{cell.left, cell.top});
      const MRect saved = d.IntersectClip(MRect{0, 0, cell.Width(), cell.Height()});
      d.FillRoundRectangle(MRect{0, 0, 70, 75}, 6, kRaised);
      d.FrameRoundRectangle(MRect{0, 0, 70, 75}, 6, 1, MColor{0x45, 0x4A, 0x52, 0xFF});
      d.FillGradient(MRect{1, 1, 69, 16}, MColor{255, 255, 255, 20}, MColor{255, 255, 255, 0});
      d.FillCircle(35, 40, 19, MColor{0x33, 0x37, 0x3E, 0xFF});
      d.FrameArc(35, 40, 23, 3, -2.4, 2.4, MColor{0x45, 0x4A, 0x52, 0xFF});
      d.FrameArc(35, 40, 23, 3, -2.4, -2.4 + 0.1 * i, kAccent);
      d.Line(35, 40, 35 + 15 * std::sin(-2.4 + 0.1 * i), 40 - 15 * std::cos(-2.4 + 0.1 * i), kText1, 2);
      d.AlignedTextOut(MRect{0, 60, 70, 75}, "Speed", f.font, kText1);
      d.RestoreClip(saved);
    }
    d.SetOrigin(MPoint{0, 0});
    benchmark::ClobberMemory();
  }
}

// The textured style's way: every control a nine-slice image stretched over its rectangle.
void Bordered40Controls(benchmark::State& state)
{
  Fixture& f = Shared();
  MBitmap image(24, 24);
  for (std::int32_t y = 0; y < 24; ++y)
    for (std::int32_t x = 0; x < 24; ++x)
      image.Row(y)[x] =
          x < 2 || y < 2 || x > 21 || y > 21 ? 0x80454A52u : 0xFF2A2E35u - std::uint32_t(y) * 0x10101u;
  for (auto _ : state)
  {
    for (int i = 0; i < 40; ++i)
    {
      f.drawer.DrawBordered(MRect::FromSize(5 + (i % 8) * 74, 5 + (i / 8) * 79, 70, 75), image, 4, 4);
    }
    benchmark::ClobberMemory();
  }
}

BENCHMARK(Text100Glyphs)->Unit(benchmark::kMicrosecond);
BENCHMARK(FillSameArea)->Unit(benchmark::kMicrosecond);
BENCHMARK(SurfaceFillAndBlit)->Unit(benchmark::kMicrosecond);
BENCHMARK(SurfaceMemcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(Panel40Controls)->Unit(benchmark::kMicrosecond);
BENCHMARK(Bordered40Controls)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
  MCapturingReporter reporter;
  if (!reporter.RunAll(argc, argv))
    return 1;

  const double text = reporter.Micros("Text100Glyphs"), fill = reporter.Micros("FillSameArea");
  if (text >= 0.0 && fill > 0.0)
    std::printf("draw text glyphs=%d us=%.2f fill_same_area_us=%.2f ratio_to_fill=%.2f limit_us=50\n",
                kText.Length(), text, fill, text / fill);
  const double surface = reporter.Micros("SurfaceFillAndBlit"), copy = reporter.Micros("SurfaceMemcpy");
  if (surface >= 0.0 && copy > 0.0)
    std::printf("draw surface=600x400 fill_blit_us=%.1f memcpy_us=%.1f ratio_to_memcpy=%.2f\n", surface, copy,
                surface / copy);
  const double panel = reporter.Micros("Panel40Controls");
  if (panel >= 0.0)
    std::printf("draw panel controls=40 us=%.1f limit_us=2000\n", panel);
  const double bordered = reporter.Micros("Bordered40Controls");
  if (bordered >= 0.0 && surface > 0.0)
    std::printf("draw bordered controls=40 size=70x75 us=%.1f ratio_to_surface_fill_blit=%.2f\n", bordered,
                bordered / surface);
  return 0;
}
