// Cost of painting through the styles: one full repaint of a 600x400 window holding 40 controls
// (knobs, buttons, check boxes, trackers, edit fields, switchers, progress bars and a list with
// rows, each with its text) by PaintControl / PaintContent, as a window repaint does it:
//   style paint style=<name> controls=40 us=... limit_us=2000
// Times are CPU time per iteration in microseconds.

#include "gui/MDrawerToMBitmap.h"
#include "gui/styles/MTexturedStyle.h"

#include "MCapturingReporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
MStyle& StyleAt(int index)
{
  static std::unique_ptr<MStyle> styles[3];
  if (!styles[index])
  {
    if (index == 0)
      styles[index] = std::make_unique<MBaseStyle>();
    else
    {
      MTexturedStyleConfiguration configuration;
      configuration.style = MString::FromLiteral(index == 1 ? "Default" : "Silver");
      styles[index] = std::make_unique<MTexturedStyle>(configuration);
    }
  }
  return *styles[index];
}

void Paint(MDrawer& d, MStyle& style, MControlType type, const MRect& cell, int i)
{
  MControlPaint paint;
  paint.type = type;
  paint.rect = MRect{0, 0, cell.Width(), cell.Height()};
  paint.text = "Speed";
  paint.value = 0.02 * i;
  paint.highlighted = i % 5 == 0;
  paint.focused = i % 7 == 0;
  paint.check = i % 2 != 0 ? MCheckState::On : MCheckState::Off;
  d.SetOrigin(MPoint{cell.left, cell.top});
  const MRect saved = d.IntersectClip(paint.rect);
  style.PaintControl(d, paint);
  const MRect client = style.GetClientRect(type, paint.captionType, MSize{cell.Width(), cell.Height()});
  if (type == MControlType::ListBox)
    for (int row = 0; row < 4; ++row)
    {
      MControlPaint item = paint;
      item.clicked = row == 1;
      style.PaintContent(
          d, MRect{client.left, client.top + 20 * row, client.right, client.top + 20 * row + 20}, item);
    }
  else if (type != MControlType::Knob && type != MControlType::Tracker && type != MControlType::ProgressBar &&
           type != MControlType::Switcher)
    style.PaintContent(d, client, paint);
  d.RestoreClip(saved);
}

void Repaint40(benchmark::State& state, int styleIndex)
{
  MStyle& style = StyleAt(styleIndex);
  MBitmap surface(600, 400);
  MDrawerToMBitmap d(surface);
  for (auto _ : state)
  {
    d.Reset();
    MControlPaint window;
    window.type = MControlType::Window;
    window.rect = surface.Bounds();
    style.PaintControl(d, window);
    for (int i = 0; i < 8; ++i)
    {
      Paint(d, style, MControlType::Knob, MRect::FromSize(10 + i * 72, 10, 56, 56), i);
      Paint(d, style, MControlType::Button, MRect::FromSize(10 + i * 72, 80, 64, 24), i);
      Paint(d, style, MControlType::CheckBox, MRect::FromSize(10 + i * 72, 115, 64, 20), i);
    }
    for (int i = 0; i < 4; ++i)
    {
      Paint(d, style, MControlType::Tracker, MRect::FromSize(10 + i * 145, 150, 135, 20), i);
      Paint(d, style, MControlType::Edit, MRect::FromSize(10 + i * 145, 180, 135, 22), i);
      Paint(d, style, MControlType::Switcher, MRect::FromSize(10 + i * 145, 215, 44, 22), i);
    }
    for (int i = 0; i < 3; ++i)
      Paint(d, style, MControlType::ProgressBar, MRect::FromSize(10 + i * 145, 250, 135, 12), i);
    Paint(d, style, MControlType::ListBox, MRect::FromSize(10, 275, 280, 110), 1);
    benchmark::ClobberMemory();
  }
}

BENCHMARK_CAPTURE(Repaint40, Base, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Repaint40, Default, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Repaint40, Silver, 2)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
  MCapturingReporter reporter;
  if (!reporter.RunAll(argc, argv))
    return 1;
  for (const char* name : {"Base", "Default", "Silver"})
  {
    const double us = reporter.Micros(std::string("Repaint40/") + name);
    if (us >= 0.0)
      std::printf("style paint style=%s controls=40 us=%.1f limit_us=2000\n", name, us);
  }
  return 0;
}
