#include "gui/styles/MBaseStyle.h"

#include "gui/MDrawer.h"
#include "gui/MFont.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kPi = 3.14159265358979323846;

std::uint8_t MixChannel(std::uint8_t a, std::uint8_t b, double t)
{
  return std::uint8_t(std::clamp(std::lround(a + (double(b) - a) * t), 0L, 255L));
}

MColor Mix(MColor a, MColor b, double t)
{
  return MColor{MixChannel(a.r, b.r, t), MixChannel(a.g, b.g, t), MixChannel(a.b, b.b, t),
                MixChannel(a.a, b.a, t)};
}

MColor Lighter(MColor c, double t)
{
  return Mix(c, MColor{255, 255, 255, c.a}, t);
}

MColor Darker(MColor c, double t)
{
  return Mix(c, MColor{0, 0, 0, c.a}, t);
}

double Clamp01(double v)
{
  return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
}

bool IsRowType(MControlType type)
{
  return type == MControlType::ListBox || type == MControlType::TreeControl || type == MControlType::Menu ||
         type == MControlType::MenuBar || type == MControlType::TabSet;
}

bool IsVertical(const MRect& r)
{
  return r.Height() > r.Width();
}
} // namespace

MBaseStyle::MBaseStyle(const MBaseStyleConfiguration& configuration, const MString& name)
    : m_palette(configuration), m_name(name)
{
  CreateFonts();
}

MBaseStyle::~MBaseStyle() = default;

std::array<MFontDescriptor, kStdFontCount> MBaseStyle::DefaultFonts(std::int32_t size)
{
  struct Shape
  {
    std::int32_t delta;
    bool bold;
    bool italic;
  };
  // normal, bold, italic, small, large1 .. large4
  static constexpr Shape kShapes[kStdFontCount] = {{0, false, false},  {0, true, false},  {0, false, true},
                                                   {-3, false, false}, {3, true, false},  {7, true, false},
                                                   {13, false, false}, {21, false, false}};
  std::array<MFontDescriptor, kStdFontCount> fonts;
  for (std::size_t i = 0; i < fonts.size(); ++i)
  {
    fonts[i].pixelHeight = size + kShapes[i].delta;
    fonts[i].bold = kShapes[i].bold;
    fonts[i].italic = kShapes[i].italic;
  }
  return fonts;
}

void MBaseStyle::SetFonts(const std::array<MFontDescriptor, kStdFontCount>& fonts)
{
  for (std::size_t i = 0; i < fonts.size(); ++i)
    if (!m_fonts[i] || !(fonts[i] == m_fontDescriptors[i]))
    {
      m_fonts[i] = std::make_unique<MFont>(fonts[i]);
      m_fontDescriptors[i] = fonts[i];
    }
}

void MBaseStyle::CreateFonts()
{
  const std::int32_t size = std::clamp(m_palette.fontSize, 9, 20);
  if (size == m_fontSize && m_fonts[0])
    return;
  SetFonts(DefaultFonts(size));
  m_fontSize = size;
}

MPoint MBaseStyle::PressedContentShift(MControlType type) const
{
  return type == MControlType::Button || type == MControlType::CaptionButton ? MPoint{0, 1} : MPoint{};
}

void MBaseStyle::SetPalette(const MBaseStyleConfiguration& palette)
{
  m_palette = palette;
  CreateFonts();
  Changed();
}

void MBaseStyle::LoadConfiguration(const MXmlItem& item)
{
  MBaseStyleConfiguration palette = m_palette;
  palette.Load(item);
  SetPalette(palette);
}

void MBaseStyle::SaveConfiguration(MXmlItem& item) const
{
  m_palette.Save(item);
}

std::int32_t MBaseStyle::GetMetric(std::int32_t index) const
{
  static constexpr std::int32_t kMetrics[MetricCount] = {6, 1, 20, 12, 44, 24};
  return index >= 0 && index < MetricCount ? kMetrics[index] : 0;
}

std::int32_t MBaseStyle::CaptionHeight(MCaptionType captionType)
{
  switch (captionType)
  {
  case MCaptionType::Small:
    return 16;
  case MCaptionType::Normal:
    return 22;
  case MCaptionType::Large:
    return 28;
  default:
    return 0;
  }
}

MRect MBaseStyle::ContentInsets(MControlType type)
{
  switch (type)
  {
  case MControlType::Panel:
    return MRect{5, 5, 5, 5};
  case MControlType::Button:
    return MRect{6, 2, 6, 2};
  case MControlType::Edit:
    return MRect{6, 3, 6, 3};
  case MControlType::ListBox:
  case MControlType::TreeControl:
    return MRect{2, 2, 2, 2};
  case MControlType::Menu:
    return MRect{3, 3, 3, 3};
  case MControlType::CheckBox:
    return MRect{20, 0, 0, 0};
  default:
    return MRect{};
  }
}

std::int32_t MBaseStyle::CaptionHeightOf(MControlType, MCaptionType captionType) const
{
  return CaptionHeight(captionType);
}

MRect MBaseStyle::InsetsOf(MControlType type, MCaptionType) const
{
  return ContentInsets(type);
}

MRect MBaseStyle::GetClientRect(MControlType type, MCaptionType captionType, MSize size) const
{
  const MRect insets = InsetsOf(type, captionType);
  const std::int32_t width = std::max(size.x, 0);
  const std::int32_t height = std::max(size.y, 0);
  MRect r{insets.left, CaptionHeightOf(type, captionType) + insets.top, width - insets.right,
          height - insets.bottom};
  r.left = std::min(r.left, width);
  r.top = std::min(r.top, height);
  r.right = std::max(r.right, r.left);
  r.bottom = std::max(r.bottom, r.top);
  return r;
}

MSize MBaseStyle::GetControlSize(MControlType type, MCaptionType captionType, MSize clientSize) const
{
  const MRect insets = InsetsOf(type, captionType);
  return MSize{std::max(clientSize.x, 0) + insets.left + insets.right,
               std::max(clientSize.y, 0) + insets.top + insets.bottom + CaptionHeightOf(type, captionType)};
}

MColor MBaseStyle::GetColor(MStdColor color) const
{
  switch (color)
  {
  case MStdColor::Text:
    return m_palette.text;
  case MStdColor::Shape:
    return m_palette.raised;
  case MStdColor::Highlight:
    return m_palette.accent;
  case MStdColor::Light:
    return Lighter(m_palette.raised, 0.25);
  case MStdColor::Dark:
    return m_palette.sunken;
  case MStdColor::Red:
    return m_palette.red;
  case MStdColor::Green:
    return m_palette.green;
  case MStdColor::Blue:
    return m_palette.blue;
  }
  return m_palette.text;
}

const MFont& MBaseStyle::GetFont(MStdFont font) const
{
  const auto index = std::size_t(font);
  return *m_fonts[index < m_fonts.size() ? index : 0];
}

double MBaseStyle::KnobBodyRadius(double r)
{
  return r - std::max(2.0, std::round(r * 0.11)) - std::max(2.0, r * 0.08);
}

double MBaseStyle::KnobAngle(double value)
{
  return kKnobStartAngle + (kKnobEndAngle - kKnobStartAngle) * Clamp01(value);
}

MRect MBaseStyle::KnobSquare(const MRect& client)
{
  const std::int32_t side = std::min(client.Width(), client.Height());
  const std::int32_t x = client.left + (client.Width() - side) / 2;
  const std::int32_t y = client.top + (client.Height() - side) / 2;
  return MRect::FromSize(x, y, std::max(side, 0), std::max(side, 0));
}

MRect MBaseStyle::TrackerThumb(const MRect& client, double value)
{
  const double v = Clamp01(value);
  if (IsVertical(client))
  {
    const std::int32_t length = std::min(10, client.Height());
    const std::int32_t thick = std::min(client.Width(), 20);
    const std::int32_t y = client.top + std::int32_t(std::lround((1.0 - v) * (client.Height() - length)));
    const std::int32_t x = client.left + (client.Width() - thick) / 2;
    return MRect::FromSize(x, y, thick, length);
  }
  const std::int32_t length = std::min(10, client.Width());
  const std::int32_t thick = std::min(client.Height(), 20);
  const std::int32_t x = client.left + std::int32_t(std::lround(v * (client.Width() - length)));
  const std::int32_t y = client.top + (client.Height() - thick) / 2;
  return MRect::FromSize(x, y, length, thick);
}

MRect MBaseStyle::ScrollThumb(const MRect& client, bool vertical, double value, double length)
{
  const std::int32_t track = vertical ? client.Height() : client.Width();
  const double span = length < 0 ? 0.1 : Clamp01(length);
  std::int32_t size = std::max(std::int32_t(std::lround(span * track)), std::min(16, track));
  size = std::min(size, track);
  const std::int32_t start = std::int32_t(std::lround(Clamp01(value) * track));
  const std::int32_t at = std::clamp(start, 0, track - size);
  return vertical ? MRect{client.left, client.top + at, client.right, client.top + at + size}
                  : MRect{client.left + at, client.top, client.left + at + size, client.bottom};
}

MRect MBaseStyle::CheckBoxBox(const MRect& client)
{
  const std::int32_t side = std::min({14, client.Height(), client.Width()});
  return MRect::FromSize(client.left + 1, client.top + (client.Height() - side) / 2, std::max(side, 0),
                         std::max(side, 0));
}

MBaseStyle::Ink MBaseStyle::MakeInk(const MControlPaint& paint) const
{
  const MBaseStyleConfiguration& p = m_palette;
  const bool light = p.IsLight();
  Ink ink;
  ink.body = p.raised;
  ink.accent = p.accent;
  ink.text = p.text;
  ink.sunken = p.sunken;
  ink.frame = light ? p.border : Darker(p.border, 0.0);
  if (paint.clicked)
    ink.body =
        Mix(Darker(p.raised, light ? 0.10 : 0.18), p.accent, paint.type == MControlType::Button ? 0.12 : 0.0);
  else if (paint.highlighted)
    ink.body = Lighter(p.raised, light ? 0.35 : 0.08);
  ink.bodyTop = paint.clicked ? Darker(ink.body, 0.06) : Lighter(ink.body, light ? 0.5 : 0.07);
  ink.highlight =
      paint.clicked ? MColor{255, 255, 255, 0} : MColor{255, 255, 255, std::uint8_t(light ? 200 : 28)};
  if (paint.disabled)
  {
    // The whole control fades to 40 %, text included (no second dimming by textDisabled).
    ink.opacity = kDisabledAlpha;
  }
  return ink;
}

void MBaseStyle::PaintControl(MDrawer& drawer, const MControlPaint& paint)
{
  if (paint.rect.IsEmpty() || paint.type == MControlType::Empty)
    return;
  const std::int32_t captionHeight =
      std::min(CaptionHeightOf(paint.type, paint.captionType), paint.rect.Height());
  MRect body = paint.rect;
  body.top += captionHeight;
  // Everything stays inside the control, whatever a derived part draws.
  const MRect savedClip = drawer.IntersectClip(paint.rect);
  if (!body.IsEmpty())
  {
    PaintBody(drawer, paint, body);
    PaintIndicator(drawer, paint, body);
    if (paint.focused && !paint.disabled)
      PaintFocus(drawer, paint, body);
  }
  if (captionHeight > 0)
    PaintCaption(drawer, paint,
                 MRect{paint.rect.left, paint.rect.top, paint.rect.right, paint.rect.top + captionHeight});
  drawer.RestoreClip(savedClip);
}

void MBaseStyle::PaintBody(MDrawer& drawer, const MControlPaint& paint, const MRect& body)
{
  const MBaseStyleConfiguration& p = m_palette;
  const Ink ink = MakeInk(paint);
  const bool light = p.IsLight();
  switch (paint.type)
  {
  case MControlType::Empty:
  case MControlType::NoBackground:
  case MControlType::Static:
    break;
  case MControlType::Window:
    drawer.FillGradient(body, Fade(Lighter(p.background, light ? 0.12 : 0.03), ink), Fade(p.background, ink));
    break;
  case MControlType::Control:
    drawer.FillRectangle(body, Fade(p.surface, ink));
    break;
  case MControlType::Panel:
    drawer.FillRoundRectangle(body, 5, Fade(ink.frame, ink));
    drawer.FillRoundRectangle(body.Inset(1, 1), 4, Fade(p.surface, ink));
    drawer.FillRectangle(MRect{body.left + 4, body.top + 1, body.right - 4, body.top + 2},
                         Fade(ink.highlight, ink));
    break;
  case MControlType::Button:
  case MControlType::CaptionButton:
  {
    const bool flat = paint.type == MControlType::CaptionButton;
    if (flat && !paint.highlighted && !paint.clicked)
      break;
    const double radius = flat ? 3 : 4;
    const bool on = paint.clicked && !flat;
    drawer.FillRoundRectangle(body, radius + 1, Fade(on ? Mix(ink.frame, p.accent, 0.55) : ink.frame, ink));
    const MRect inner = body.Inset(1, 1);
    if (inner.IsEmpty())
      break;
    const MRect saved = drawer.IntersectClip(inner);
    drawer.FillRoundRectangle(inner, radius, Fade(ink.body, ink));
    // The gradient lives in the upper half so the corners stay the round fill's.
    MRect top = inner.Inset(1, 0);
    top.bottom = inner.top + inner.Height() / 2;
    drawer.FillGradient(top, Fade(ink.bodyTop, ink), Fade(ink.body, ink));
    drawer.RestoreClip(saved);
    drawer.FillRectangle(MRect{inner.left + 3, inner.top, inner.right - 3, inner.top + 1},
                         Fade(ink.highlight, ink));
    break;
  }
  case MControlType::CheckBox:
  {
    const MRect box = CheckBoxBox(body);
    if (box.IsEmpty())
      break;
    const bool on = paint.check != MCheckState::Off;
    drawer.FillRoundRectangle(box, 3.5, Fade(on ? Darker(p.accent, 0.25) : ink.frame, ink));
    const MColor fill = on ? (paint.highlighted ? Lighter(p.accent, 0.12) : p.accent)
                           : (paint.highlighted ? Lighter(p.sunken, light ? 0.0 : 0.08) : p.sunken);
    drawer.FillRoundRectangle(box.Inset(1, 1), 2.5, Fade(fill, ink));
    break;
  }
  case MControlType::Edit:
  case MControlType::ListBox:
  case MControlType::TreeControl:
  {
    const MColor frame = paint.focused && !paint.disabled
                             ? p.accent
                             : (paint.highlighted ? Lighter(ink.frame, 0.12) : ink.frame);
    drawer.FillRoundRectangle(body, 3, Fade(frame, ink));
    drawer.FillRoundRectangle(body.Inset(1, 1), 2, Fade(p.sunken, ink));
    break;
  }
  case MControlType::ProgressBar:
  case MControlType::HScrollBar:
  case MControlType::VScrollBar:
  {
    const double radius = std::min(body.Width(), body.Height()) / 2.0;
    drawer.FillRoundRectangle(body, std::min(radius, 4.0), Fade(p.sunken, ink));
    break;
  }
  case MControlType::Tracker:
  {
    const bool vertical = IsVertical(body);
    const std::int32_t groove = 4;
    const MRect track = vertical ? MRect{body.left + (body.Width() - groove) / 2, body.top + 4,
                                         body.left + (body.Width() - groove) / 2 + groove, body.bottom - 4}
                                 : MRect{body.left + 4, body.top + (body.Height() - groove) / 2,
                                         body.right - 4, body.top + (body.Height() - groove) / 2 + groove};
    drawer.FillRoundRectangle(track.Inset(-1, -1), 3, Fade(ink.frame, ink));
    drawer.FillRoundRectangle(track, 2, Fade(p.sunken, ink));
    break;
  }
  case MControlType::Switcher:
  {
    const std::int32_t height = std::min(body.Height(), 22);
    const MRect track{body.left, body.top + (body.Height() - height) / 2, body.right,
                      body.top + (body.Height() - height) / 2 + height};
    drawer.FillRoundRectangle(track, height / 2.0, Fade(ink.frame, ink));
    drawer.FillRoundRectangle(track.Inset(1, 1), height / 2.0 - 1, Fade(p.sunken, ink));
    break;
  }
  case MControlType::Knob:
    PaintKnob(drawer, paint, body, ink, true);
    break;
  case MControlType::Rotator:
  {
    const MRect square = KnobSquare(body);
    const double cx = square.left + square.Width() / 2.0, cy = square.top + square.Height() / 2.0;
    const double r = square.Width() / 2.0;
    if (r < 2)
      break;
    drawer.FillCircle(cx, cy, r, Fade(ink.frame, ink));
    drawer.FillCircle(cx, cy, r - 1, Fade(p.sunken, ink));
    drawer.FillCircle(cx, cy + 0.5, r * 0.74, Fade(MColor{0, 0, 0, 90}, ink));
    drawer.FillCircle(cx, cy, r * 0.72, Fade(ink.body, ink));
    drawer.FrameArc(cx, cy, r * 0.72 - 0.5, 1, -1.2, 1.2, Fade(ink.highlight, ink));
    break;
  }
  case MControlType::TabSet:
  {
    const std::int32_t strip = std::min(GetMetric(MetricRowHeight) + 6, body.Height());
    const MRect page{body.left, body.top + strip - 1, body.right, body.bottom};
    if (!page.IsEmpty())
    {
      drawer.FillRectangle(page, Fade(ink.frame, ink));
      drawer.FillRectangle(page.Inset(1, 1), Fade(p.surface, ink));
    }
    break;
  }
  case MControlType::Menu:
    drawer.FillRoundRectangle(body, 4, Fade(ink.frame, ink));
    drawer.FillRoundRectangle(body.Inset(1, 1), 3,
                              Fade(light ? Lighter(p.raised, 0.4) : Lighter(p.surface, 0.04), ink));
    break;
  case MControlType::MenuBar:
    drawer.FillGradient(body, Fade(Lighter(p.surface, light ? 0.3 : 0.05), ink), Fade(p.surface, ink));
    drawer.FillRectangle(MRect{body.left, body.bottom - 1, body.right, body.bottom}, Fade(ink.frame, ink));
    break;
  }
}

void MBaseStyle::PaintKnob(MDrawer& drawer, const MControlPaint& paint, const MRect& body, const Ink& ink,
                           bool bodyToo, bool pointer)
{
  const MRect square = KnobSquare(body);
  const double r = square.Width() / 2.0;
  if (r < 3)
    return;
  const double cx = square.left + r, cy = square.top + r;
  const double ringWidth = std::max(2.0, std::round(r * 0.11));
  const double ringRadius = r - ringWidth / 2 - 0.5;
  const double bodyRadius = KnobBodyRadius(r);
  const double sweep = m_knobHalfSweep;
  const auto angleOf = [sweep](double v) { return -sweep + 2 * sweep * Clamp01(v); };
  if (bodyToo)
  {
    // Shadow, rim, body, and a soft light from the top.
    drawer.FillCircle(cx, cy + 1, bodyRadius + 0.5, Fade(MColor{0, 0, 0, 110}, ink));
    drawer.FillCircle(cx, cy, bodyRadius, Fade(ink.frame, ink));
    drawer.FillCircle(cx, cy, bodyRadius - 1, Fade(ink.body, ink));
    drawer.FillCircle(cx, cy - bodyRadius * 0.18, bodyRadius * 0.72, Fade(MColor{255, 255, 255, 10}, ink));
    drawer.FrameArc(cx, cy, bodyRadius - 1.5, 1, -1.1, 1.1, Fade(ink.highlight, ink));
  }
  // Track and value arc.
  // The unlit part of the ring is a groove: darker than the surface in both palettes.
  const MColor groove = m_palette.IsLight() ? Darker(m_palette.surface, 0.16) : ink.sunken;
  drawer.FrameArc(cx, cy, ringRadius, ringWidth, -sweep, sweep, Fade(groove, ink));
  if (paint.value >= 0)
  {
    const double to = angleOf(paint.value);
    const double from = paint.value2 >= 0 ? angleOf(paint.value2) : -sweep;
    if (std::fabs(to - from) > 1e-6)
      drawer.FrameArc(cx, cy, ringRadius, ringWidth, std::min(from, to), std::max(from, to),
                      Fade(ink.accent, ink));
    const double dx = std::sin(to), dy = -std::cos(to);
    if (pointer)
      drawer.Line(cx + dx * bodyRadius * 0.30, cy + dy * bodyRadius * 0.30, cx + dx * (bodyRadius - 3),
                  cy + dy * (bodyRadius - 3), Fade(paint.disabled ? ink.text : m_palette.text, ink),
                  std::max(2.0, r * 0.07));
  }
}

void MBaseStyle::PaintIndicator(MDrawer& drawer, const MControlPaint& paint, const MRect& body)
{
  const MBaseStyleConfiguration& p = m_palette;
  const Ink ink = MakeInk(paint);
  switch (paint.type)
  {
  case MControlType::CheckBox:
  {
    const MRect box = CheckBoxBox(body);
    if (box.Width() < 6)
      break;
    const double x = box.left, y = box.top, s = box.Width();
    if (paint.check == MCheckState::On)
    {
      const MColor mark = Fade(p.accentText, ink);
      drawer.Line(x + s * 0.24, y + s * 0.52, x + s * 0.43, y + s * 0.71, mark, 2.0);
      drawer.Line(x + s * 0.41, y + s * 0.72, x + s * 0.77, y + s * 0.30, mark, 2.0);
    }
    else if (paint.check == MCheckState::Grayed)
      drawer.FillRectangle(
          MRect{box.left + 4, box.top + box.Height() / 2 - 1, box.right - 4, box.top + box.Height() / 2 + 1},
          Fade(p.accentText, ink));
    break;
  }
  case MControlType::Tracker:
  {
    if (paint.value < 0)
      break;
    const bool vertical = IsVertical(body);
    const MRect thumb = TrackerThumb(body.Inset(vertical ? 0 : 1, vertical ? 1 : 0), paint.value);
    // Accent fill along the groove from the origin to the thumb's centre.
    const MRect inner = body.Inset(vertical ? 0 : 1, vertical ? 1 : 0);
    const MRect origin = TrackerThumb(inner, paint.value2 >= 0 ? paint.value2 : 0.0);
    const std::int32_t groove = 4;
    if (vertical)
    {
      const std::int32_t a = (thumb.top + thumb.bottom) / 2, b = (origin.top + origin.bottom) / 2;
      const std::int32_t x = body.left + (body.Width() - groove) / 2;
      drawer.FillRoundRectangle(MRect{x, std::min(a, b), x + groove, std::max(a, b)}, 2,
                                Fade(ink.accent, ink));
    }
    else
    {
      const std::int32_t a = (thumb.left + thumb.right) / 2, b = (origin.left + origin.right) / 2;
      const std::int32_t y = body.top + (body.Height() - groove) / 2;
      drawer.FillRoundRectangle(MRect{std::min(a, b), y, std::max(a, b), y + groove}, 2,
                                Fade(ink.accent, ink));
    }
    drawer.FillRoundRectangle(thumb, 3, Fade(ink.frame, ink));
    drawer.FillRoundRectangle(thumb.Inset(1, 1), 2, Fade(ink.body, ink));
    drawer.FillRectangle(MRect{thumb.left + 2, thumb.top + 1, thumb.right - 2, thumb.top + 2},
                         Fade(ink.highlight, ink));
    const MRect grip = vertical ? MRect{thumb.left + 3, (thumb.top + thumb.bottom) / 2 - 1, thumb.right - 3,
                                        (thumb.top + thumb.bottom) / 2 + 1}
                                : MRect{(thumb.left + thumb.right) / 2 - 1, thumb.top + 3,
                                        (thumb.left + thumb.right) / 2 + 1, thumb.bottom - 3};
    drawer.FillRectangle(grip, Fade(ink.accent, ink));
    break;
  }
  case MControlType::Switcher:
  {
    const std::int32_t height = std::min(body.Height(), 22);
    const MRect track{body.left, body.top + (body.Height() - height) / 2, body.right,
                      body.top + (body.Height() - height) / 2 + height};
    const double value =
        paint.value >= 0 ? Clamp01(paint.value) : (paint.check == MCheckState::On ? 1.0 : 0.0);
    const double r = height / 2.0 - 2;
    if (r < 1)
      break;
    const double cx = track.left + 2 + r + value * (track.Width() - 4 - 2 * r);
    const double cy = track.top + height / 2.0;
    if (value > 0)
      drawer.FillRoundRectangle(
          MRect{track.left + 1, track.top + 1, std::int32_t(std::ceil(cx + r)), track.bottom - 1},
          height / 2.0 - 1, Fade(paint.highlighted ? Lighter(ink.accent, 0.1) : ink.accent, ink));
    drawer.FillCircle(cx, cy + 0.5, r, Fade(MColor{0, 0, 0, 80}, ink));
    drawer.FillCircle(cx, cy, r, Fade(paint.highlighted ? Lighter(p.text, 0.3) : p.text, ink));
    break;
  }
  case MControlType::HScrollBar:
  case MControlType::VScrollBar:
  {
    if (paint.value < 0)
      break;
    const bool vertical = paint.type == MControlType::VScrollBar;
    const MRect thumb = ScrollThumb(body, vertical, paint.value, paint.value2).Inset(2, 2);
    if (thumb.IsEmpty())
      break;
    const MColor fill =
        paint.clicked ? p.accent : (paint.highlighted ? Lighter(p.raised, 0.2) : Lighter(p.raised, 0.06));
    drawer.FillRoundRectangle(thumb, std::min(thumb.Width(), thumb.Height()) / 2.0, Fade(fill, ink));
    break;
  }
  case MControlType::ProgressBar:
  {
    if (paint.value <= 0)
      break;
    const MRect inner = body.Inset(1, 1);
    MRect fill = inner;
    fill.right = inner.left + std::int32_t(std::lround(Clamp01(paint.value) * inner.Width()));
    if (fill.IsEmpty())
      break;
    const double radius = std::min(3.0, std::min(inner.Width(), inner.Height()) / 2.0);
    drawer.FillRoundRectangle(fill, radius, Fade(ink.accent, ink));
    MRect shine = fill.Inset(1, 1);
    shine.bottom = fill.top + fill.Height() / 2;
    drawer.FillGradient(shine, Fade(MColor{255, 255, 255, 60}, ink), Fade(MColor{255, 255, 255, 0}, ink));
    break;
  }
  case MControlType::Rotator:
  {
    if (paint.value < 0)
      break;
    const MRect square = KnobSquare(body);
    const double r = square.Width() / 2.0;
    if (r < 3)
      break;
    const double cx = square.left + r, cy = square.top + r;
    const double angle = Clamp01(paint.value) * 2 * kPi;
    const double dx = std::sin(angle), dy = -std::cos(angle);
    drawer.FillCircle(cx + dx * (r - 3.5), cy + dy * (r - 3.5), std::max(1.5, r * 0.08),
                      Fade(ink.accent, ink));
    drawer.Line(cx + dx * r * 0.2, cy + dy * r * 0.2, cx + dx * r * 0.62, cy + dy * r * 0.62,
                Fade(p.text, ink), 2.0);
    break;
  }
  default:
    break;
  }
}

void MBaseStyle::PaintFocus(MDrawer& drawer, const MControlPaint& paint, const MRect& body)
{
  const MColor ring = m_palette.accent.WithAlpha(200);
  switch (paint.type)
  {
  case MControlType::Button:
    drawer.FrameRoundRectangle(body, 5, 1.5, ring);
    break;
  case MControlType::CheckBox:
    drawer.FrameRoundRectangle(CheckBoxBox(body).Inset(-1, -1).Intersect(body), 4, 1.5, ring);
    break;
  case MControlType::Knob:
  case MControlType::Rotator:
  {
    const MRect square = KnobSquare(body);
    const double r = square.Width() / 2.0;
    if (paint.type == MControlType::Rotator)
      drawer.FrameCircle(square.left + r, square.top + r, r - 0.75, 1.5, ring);
    else
      drawer.FillCircle(square.left + r, square.bottom - 2.5, 2, ring);
    break;
  }
  case MControlType::Tracker:
  case MControlType::Switcher:
  case MControlType::TabSet:
  case MControlType::HScrollBar:
  case MControlType::VScrollBar:
    drawer.FrameRoundRectangle(body, 4, 1, ring.WithAlpha(150));
    break;
  default:
    // Edit fields, lists and trees show focus in their frame colour.
    break;
  }
}

void MBaseStyle::PaintCaption(MDrawer& drawer, const MControlPaint& paint, const MRect& bar)
{
  const MBaseStyleConfiguration& p = m_palette;
  const Ink ink = MakeInk(paint);
  const bool light = p.IsLight();
  const MColor top = light ? Lighter(p.background, 0.25) : Lighter(p.surface, 0.05);
  const MColor bottom = light ? Darker(p.background, 0.02) : Darker(p.surface, 0.15);
  drawer.FillGradient(bar, Fade(top, ink), Fade(bottom, ink));
  drawer.FillRectangle(MRect{bar.left, bar.bottom - 1, bar.right, bar.bottom}, Fade(ink.frame, ink));
  if (paint.captionType == MCaptionType::Large)
    drawer.FillRectangle(MRect{bar.left + 6, bar.top + 7, bar.left + 9, bar.bottom - 7}, Fade(p.accent, ink));
  const MStdFont font = paint.captionType == MCaptionType::Small   ? MStdFont::Small
                        : paint.captionType == MCaptionType::Large ? MStdFont::Large1
                                                                   : MStdFont::Bold;
  MRect textRect = bar.Inset(paint.captionType == MCaptionType::Large ? 15 : 7, 0);
  textRect.bottom -= 1;
  drawer.AlignedTextOut(textRect, paint.caption, GetFont(font), Fade(p.text, ink),
                        MAlign::Left | MAlign::VCenter);
}

void MBaseStyle::PaintRow(MDrawer& drawer, const MRect& rect, const MControlPaint& paint)
{
  const MBaseStyleConfiguration& p = m_palette;
  const Ink ink = MakeInk(paint);
  const bool light = p.IsLight();
  MColor text = ink.text;
  if (paint.type == MControlType::TabSet)
  {
    if (paint.clicked)
    {
      drawer.FillRectangle(rect, Fade(ink.frame, ink));
      drawer.FillRectangle(MRect{rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom},
                           Fade(p.surface, ink));
      drawer.FillRectangle(MRect{rect.left + 1, rect.top + 1, rect.right - 1, rect.top + 3},
                           Fade(p.accent, ink));
    }
    else
    {
      if (paint.highlighted)
        drawer.FillRoundRectangle(rect.Inset(1, 2), 3,
                                  Fade(light ? MColor{255, 255, 255, 90} : MColor{255, 255, 255, 14}, ink));
      text = paint.disabled ? ink.text : Mix(p.text, p.surface, 0.35);
    }
  }
  else if (paint.clicked)
  {
    drawer.FillRoundRectangle(rect, paint.type == MControlType::MenuBar ? 3 : 2, Fade(p.accent, ink));
    text = p.accentText;
  }
  else if (paint.highlighted)
    drawer.FillRoundRectangle(rect, 2, Fade(light ? p.accent.WithAlpha(50) : MColor{255, 255, 255, 20}, ink));
  const MRect textRect =
      paint.type == MControlType::TabSet || paint.type == MControlType::MenuBar ? rect : rect.Inset(6, 0);
  drawer.AlignedTextOut(textRect, paint.text, GetFont(paint.font), Fade(text, ink),
                        paint.type == MControlType::TabSet || paint.type == MControlType::MenuBar
                            ? MAlignment(MAlign::Center)
                            : MAlignment(MAlign::Left | MAlign::VCenter));
}

void MBaseStyle::PaintContent(MDrawer& drawer, const MRect& rect, const MControlPaint& paint)
{
  if (rect.IsEmpty())
    return;
  const MRect savedClip = drawer.IntersectClip(rect);
  if (IsRowType(paint.type))
    PaintRow(drawer, rect, paint);
  else if (!paint.text.IsEmpty())
  {
    const Ink ink = MakeInk(paint);
    MRect textRect = rect;
    if (paint.clicked)
    {
      const MPoint shift = PressedContentShift(paint.type);
      textRect = textRect.Offset(shift.x, shift.y);
    }
    // A pressed (or toggled-on) button shows its label in the accent colour.
    const MColor color =
        paint.clicked && paint.type == MControlType::Button
            ? (m_palette.IsLight() ? Darker(m_palette.accent, 0.15) : Lighter(m_palette.accent, 0.2))
            : ink.text;
    drawer.AlignedTextOut(textRect, paint.text, GetFont(paint.font), Fade(color, ink), paint.textAlignment);
  }
  drawer.RestoreClip(savedClip);
}
