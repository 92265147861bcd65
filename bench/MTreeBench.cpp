// Cost of painting through the control tree, beside a reference measured in the same run:
//   tree repaint controls=40 us=... direct_us=... ratio_to_direct=... limit_us=2000
//     a full 600x400 repaint of a window with a panel of 40 knob-like controls through
//     MWindow::PaintSurface (tree lock, origins, clips, MControlPaint, style calls), against the
//     same pixels drawn by a plain loop over the drawer.
// Times are CPU time per iteration in microseconds.

#include "gui/MDrawerToMBitmap.h"
#include "gui/MFont.h"
#include "gui/MWindow.h"
#include "gui/controls/MPanel.h"

#include "bench/MCapturingReporter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace
{

constexpr MColor kPanel{0x1E, 0x21, 0x26, 0xFF};
constexpr MColor kRaised{0x2A, 0x2E, 0x35, 0xFF};
constexpr MColor kEdge{0x45, 0x4A, 0x52, 0xFF};
constexpr MColor kText{0xE6, 0xE6, 0xE6, 0xFF};
constexpr MColor kAccent{0xFF, 0xA0, 0x28, 0xFF};

// Draws one knob cell in the control's coordinates (shared by both ways of painting).
void DrawKnob(MDrawer& d, const MFont& font, double value, const MString& caption)
{
  d.FillRoundRectangle(MRect{0, 0, 70, 75}, 6, kRaised);
  d.FrameRoundRectangle(MRect{0, 0, 70, 75}, 6, 1, kEdge);
  d.FillCircle(35, 40, 19, MColor{0x33, 0x37, 0x3E, 0xFF});
  d.FrameArc(35, 40, 23, 3, -2.4, 2.4, kEdge);
  d.FrameArc(35, 40, 23, 3, -2.4, -2.4 + 4.8 * value, kAccent);
  d.Line(35, 40, 35 + 15 * std::sin(-2.4 + 4.8 * value), 40 - 15 * std::cos(-2.4 + 4.8 * value), kText, 2);
  d.AlignedTextOut(MRect{0, 60, 70, 75}, caption, font, kText);
}

class MBenchStyle : public MStyle
{
public:
  MString GetName() const override { return "Bench"; }
  std::int32_t GetMetric(std::int32_t) const override { return 0; }
  MRect GetClientRect(MControlType, MCaptionType, MSize size) const override
  {
    return MRect{0, 0, size.x, size.y};
  }
  MSize GetControlSize(MControlType, MCaptionType, MSize client) const override { return client; }
  void PaintControl(MDrawer& d, const MControlPaint& paint) override
  {
    if (paint.type == MControlType::Knob)
      DrawKnob(d, m_font, paint.value, paint.caption);
    else
      d.FillRectangle(paint.rect, kPanel, MColorOp::Copy);
  }
  void PaintContent(MDrawer&, const MRect&, const MControlPaint&) override {}
  MColor GetColor(MStdColor) const override { return kText; }
  const MFont& GetFont(MStdFont) const override { return m_font; }
  void LoadConfiguration(const MXmlItem&) override {}
  void SaveConfiguration(MXmlItem&) const override {}

private:
  MFont m_font;
};

class MBenchKnob : public MControl
{
public:
  double value = 0;
  void FillPaint(MControlPaint& paint) const override
  {
    MControl::FillPaint(paint);
    paint.value = value;
  }
};

MRect Cell(int i)
{
  return MRect::FromSize(5 + (i % 8) * 74, 5 + (i / 8) * 79, 70, 75);
}

struct Fixture
{
  MBitmap surface{600, 400};
  MDrawerToMBitmap drawer{surface};
  MBenchStyle style;
  MWindow window;

  Fixture()
  {
    window.SetStyle(&style);
    window.SetSize(MSize{600, 400});
    MPanel& panel = window.Add<MPanel>();
    panel.SetBounds(MRect{0, 0, 600, 400});
    for (int i = 0; i < 40; ++i)
    {
      MBenchKnob& knob = panel.Add<MBenchKnob>();
      knob.SetControlType(MControlType::Knob);
      knob.SetCaption("Speed");
      knob.value = i / 40.0;
      knob.SetBounds(Cell(i));
    }
  }
};

Fixture& Shared()
{
  static Fixture fixture;
  return fixture;
}

void TreeRepaint40(benchmark::State& state)
{
  Fixture& f = Shared();
  for (auto _ : state)
  {
    f.window.PaintSurface(f.drawer, MRect{0, 0, 600, 400});
    benchmark::ClobberMemory();
  }
}

void DirectDraw40(benchmark::State& state)
{
  Fixture& f = Shared();
  MDrawerToMBitmap& d = f.drawer;
  const MFont& font = f.style.GetFont(MStdFont::Normal);
  for (auto _ : state)
  {
    d.FillRectangle(f.surface.Bounds(), kPanel, MColorOp::Copy);
    d.FillRectangle(f.surface.Bounds(), kPanel, MColorOp::Copy); // the window and the panel
    for (int i = 0; i < 40; ++i)
    {
      const MRect cell = Cell(i);
      d.SetOrigin(MPoint{cell.left, cell.top});
      const MRect saved = d.IntersectClip(MRect{0, 0, cell.Width(), cell.Height()});
      DrawKnob(d, font, i / 40.0, "Speed");
      d.RestoreClip(saved);
    }
    d.SetOrigin(MPoint{0, 0});
    benchmark::ClobberMemory();
  }
}

BENCHMARK(TreeRepaint40)->Unit(benchmark::kMicrosecond);
BENCHMARK(DirectDraw40)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
  MCapturingReporter reporter;
  if (!reporter.RunAll(argc, argv))
    return 1;
  const double tree = reporter.Micros("TreeRepaint40"), direct = reporter.Micros("DirectDraw40");
  if (tree >= 0.0 && direct > 0.0)
    std::printf("tree repaint controls=40 us=%.1f direct_us=%.1f ratio_to_direct=%.2f limit_us=2000\n", tree,
                direct, tree / direct);
  return 0;
}
