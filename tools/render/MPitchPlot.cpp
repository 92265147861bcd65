#include "tools/render/MPitchPlot.h"

#include "gui/MDrawerToMBitmap.h"
#include "gui/MFont.h"
#include "gui/styles/MStyleConfiguration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace
{
// Margins around the plot area: room for the title and legend above, the note names on the
// left and the time labels below.
constexpr std::int32_t kLeft = 52;
constexpr std::int32_t kRight = 18;
constexpr std::int32_t kTop = 64;
constexpr std::int32_t kBottom = 30;
constexpr std::int32_t kPad = 12;

constexpr double kMinGridPixels = 7.0;
constexpr double kMinTickPixels = 70.0;

std::string Text(const char* format, double value)
{
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The value at fraction q of the sorted values (nearest rank).
double Quantile(const std::vector<double>& sorted, double q)
{
  const auto last = static_cast<double>(sorted.size() - 1);
  return sorted[static_cast<std::size_t>(std::lround(q * last))];
}

// A horizontal dotted line: 2 pixels on, 3 off.
void DottedLine(MDrawer& drawer, std::int32_t left, std::int32_t right, std::int32_t y, MColor color)
{
  for (std::int32_t x = left; x < right; x += 5)
    drawer.FillRectangle(MRect{x, y, std::min(x + 2, right), y + 1}, color);
}

// One track as lines through its voiced frames, broken at unvoiced frames and octave slips.
void DrawTrack(MDrawer& drawer, const MPitchPlot::Axes& axes, std::span<const MPitchFrame> frames,
               double MPitchFrame::*pitch, MColor color, double width)
{
  bool open = false;
  double lastX = 0.0;
  double lastNote = 0.0;
  for (const MPitchFrame& frame : frames)
  {
    const double hz = frame.*pitch;
    if (!(hz > 0.0))
    {
      open = false;
      continue;
    }
    const double x = axes.TimeX(frame.timeSeconds);
    const double note = MPitchPlot::NoteOf(hz);
    if (open && std::fabs(note - lastNote) <= MPitchPlot::kBreakSemitones)
      drawer.Line(lastX, axes.NoteY(lastNote), x, axes.NoteY(note), color, width);
    else // a lone voiced frame still shows as a dot
      drawer.FillCircle(x, axes.NoteY(note), width * 0.6, color);
    open = true;
    lastX = x;
    lastNote = note;
  }
}

// Whether frame k of a track is voiced and within half a semitone of a neighbour: frames at an
// onset or a stop, where the detector reads a transient, are not, and do not widen the range.
bool IsSteady(std::span<const MPitchFrame> frames, std::size_t k, double MPitchFrame::*pitch)
{
  const double hz = frames[k].*pitch;
  if (!(hz > 0.0) || !std::isfinite(hz))
    return false;
  const auto near = [&](std::size_t j) {
    const double other = frames[j].*pitch;
    return other > 0.0 && std::fabs(MPitchPlot::NoteOf(other) - MPitchPlot::NoteOf(hz)) <= 0.5;
  };
  return (k > 0 && near(k - 1)) || (k + 1 < frames.size() && near(k + 1));
}

// The time step: the smallest round step whose ticks lie kMinTickPixels apart.
double TimeStep(double seconds, double pixels)
{
  static constexpr double kSteps[] = {0.1, 0.2, 0.5, 1,   2,   5,    10,   15,
                                      30,  60,  120, 300, 600, 1200, 1800, 3600};
  for (double step : kSteps)
    if (step / seconds * pixels >= kMinTickPixels)
      return step;
  return 7200.0;
}
} // namespace

double MPitchPlot::NoteOf(double frequencyHz)
{
  return 69.0 + 12.0 * std::log2(frequencyHz / 440.0);
}

double MPitchPlot::Axes::NoteY(double note) const
{
  return area.bottom - (note - lowNote) / (highNote - lowNote) * area.Height();
}

double MPitchPlot::Axes::TimeX(double time) const
{
  return area.left + time / seconds * area.Width();
}

MPitchPlot::Axes MPitchPlot::AxesFor(std::span<const MPitchFrame> frames, MSize size)
{
  Axes axes;
  axes.area = MRect{kLeft, kTop, std::max(size.x - kRight, kLeft + 1), std::max(size.y - kBottom, kTop + 1)};
  std::vector<double> notes;
  for (const MPitchFrame& frame : frames)
    axes.seconds = std::max(axes.seconds, frame.timeSeconds);
  for (double MPitchFrame::*pitch : {&MPitchFrame::inputHz, &MPitchFrame::outputHz})
    for (std::size_t k = 0; k < frames.size(); ++k)
      if (IsSteady(frames, k, pitch))
        notes.push_back(NoteOf(frames[k].*pitch));
  axes.seconds = std::max(axes.seconds, 0.1);
  double low = 60.0; // with nothing voiced: the octave above middle C
  double high = 72.0;
  if (!notes.empty())
  {
    std::sort(notes.begin(), notes.end());
    low = std::round(Quantile(notes, 0.01));
    high = std::round(Quantile(notes, 0.99));
  }
  axes.lowNote = low - kMarginSemitones;
  axes.highNote = high + kMarginSemitones;
  const double missing = kMinSemitones - (axes.highNote - axes.lowNote);
  if (missing > 0.0)
  {
    axes.lowNote -= std::floor(missing / 2.0);
    axes.highNote += std::ceil(missing / 2.0);
  }
  return axes;
}

MBitmap MPitchPlot::Draw(std::span<const MPitchFrame> frames, const MScaleText::Notes& notes,
                         const std::string& title, MSize size)
{
  const MBaseStyleConfiguration palette = MBaseStyleConfiguration::Dark();
  const MColor inputColor = palette.blue;
  const MColor outputColor = palette.accent;
  MFontDescriptor descriptor;
  descriptor.pixelHeight = 12;
  const MFont font(descriptor);
  descriptor.pixelHeight = 14;
  descriptor.bold = true;
  const MFont bold(descriptor);

  MBitmap picture(size.x, size.y);
  picture.Fill(palette.background);
  MDrawerToMBitmap drawer(picture);
  const Axes axes = AxesFor(frames, size);
  const MRect& area = axes.area;

  // Title and legend.
  drawer.AlignedTextOut(MRect{kPad, 8, size.x - kPad, 30}, MString::FromUTF8(title), bold, palette.text,
                        MAlign::Left | MAlign::VCenter);
  const MRect legend{kPad, 34, size.x - kPad, 54};
  std::int32_t x = legend.left;
  for (const auto& [name, color] :
       {std::pair{"input (as sung)", inputColor}, std::pair{"output (corrected)", outputColor}})
  {
    const double middle = (legend.top + legend.bottom) / 2.0;
    drawer.Line(x, middle, x + 22, middle, color, 2.5);
    x += 28;
    const MString text = MString::FromLiteral(name);
    drawer.AlignedTextOut(MRect{x, legend.top, legend.right, legend.bottom}, text, font, palette.text,
                          MAlign::Left | MAlign::VCenter);
    x += drawer.GetTextExtent(text, font).x + 18;
  }

  // The plot area, the cents grid, the note lines and their names.
  drawer.FillRectangle(area, palette.sunken);
  const double pixelsPerSemitone = area.Height() / (axes.highNote - axes.lowNote);
  double gridCents = 0.0;
  for (double step : {10.0, 20.0, 25.0, 50.0})
    if (gridCents == 0.0 && step / 100.0 * pixelsPerSemitone >= kMinGridPixels)
      gridCents = step;
  std::string explanation = "pitch measured by Tonvera's own detector   |   solid lines: notes of the scale";
  if (gridCents > 0.0)
  {
    explanation += Text(", dotted: every %.0f cents", gridCents);
    for (double cents = std::ceil(axes.lowNote * 100.0 / gridCents) * gridCents;
         cents < axes.highNote * 100.0; cents += gridCents)
      if (std::fmod(cents, 100.0) != 0.0)
        DottedLine(drawer, area.left, area.right, static_cast<std::int32_t>(axes.NoteY(cents / 100.0)),
                   palette.text.WithAlpha(48));
  }
  drawer.AlignedTextOut(legend, MString::FromUTF8(explanation), font, palette.textDisabled,
                        MAlign::Right | MAlign::VCenter);

  const std::int32_t labelHeight = font.LineHeight();
  std::int32_t lastLabelTop = area.bottom + labelHeight;
  for (int note = static_cast<int>(std::ceil(axes.lowNote)); note <= axes.highNote; ++note)
  {
    const bool enabled = notes[static_cast<std::size_t>((note % 12 + 12) % 12)];
    const auto y = static_cast<std::int32_t>(axes.NoteY(note));
    drawer.FillRectangle(MRect{area.left, y, area.right, y + 1}, palette.text.WithAlpha(enabled ? 80 : 26));
    // Names from the bottom up where they do not overlap the one below; the scale's notes are
    // written brighter.
    const std::int32_t top = y - labelHeight / 2;
    if (top + labelHeight <= lastLabelTop)
    {
      drawer.AlignedTextOut(MRect{0, top, area.left - 6, top + labelHeight},
                            MString::FromUTF8(MPitchErrorStats::NoteName(note)), font,
                            enabled ? palette.text : palette.textDisabled.WithAlpha(150),
                            MAlign::Right | MAlign::VCenter);
      lastLabelTop = top;
    }
  }

  // The time axis.
  const double step = TimeStep(axes.seconds, area.Width());
  for (int tick = 0; tick * step <= axes.seconds + 1e-9; ++tick)
  {
    const double time = tick * step;
    const auto tx = static_cast<std::int32_t>(axes.TimeX(time));
    drawer.FillRectangle(MRect{tx, area.top, tx + 1, area.bottom}, palette.text.WithAlpha(14));
    drawer.FillRectangle(MRect{tx, area.bottom, tx + 1, area.bottom + 4}, palette.textDisabled);
    const std::string label = Text(step < 1.0 ? "%.1f s" : "%.0f s", time);
    drawer.AlignedTextOut(
        MRect{tick == 0 ? tx : tx - 40, area.bottom + 5, tx + 40, area.bottom + 5 + labelHeight},
        MString::FromUTF8(label), font, palette.textDisabled,
        tick == 0 ? MAlign::Left | MAlign::Top : MAlign::HCenter | MAlign::Top);
  }

  // The tracks, clipped to the plot area; the output on top.
  const MRect saved = drawer.IntersectClip(area);
  DrawTrack(drawer, axes, frames, &MPitchFrame::inputHz, inputColor, 1.6);
  DrawTrack(drawer, axes, frames, &MPitchFrame::outputHz, outputColor, 2.0);
  drawer.RestoreClip(saved);
  const bool voiced = std::any_of(frames.begin(), frames.end(),
                                  [](const MPitchFrame& f) { return f.inputHz > 0.0 || f.outputHz > 0.0; });
  if (!voiced)
    drawer.AlignedTextOut(area, MString::FromLiteral("no pitch found"), bold, palette.textDisabled);
  drawer.FrameRectangle(area.Inset(-1, -1), palette.border);
  return picture;
}
