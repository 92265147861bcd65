#include "gui/MDrawerScaled.h"

#include "gui/MBitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace
{
// Coordinates beyond this many pixels draw nothing anyway (MDrawerToMBitmap); clamping before the
// conversion keeps a huge logical value from overflowing.
constexpr double kFar = 1.0e8;

std::int32_t Round(double value)
{
  if (!(value == value))
    return 0;
  return static_cast<std::int32_t>(std::lround(std::clamp(value, -kFar, kFar)));
}
} // namespace

void MDrawerScaled::Begin(MDrawer& target, double scale)
{
  const double next = scale > 0.0 ? scale : 1.0;
  if (next != m_scale)
    m_fonts.clear();
  m_scale = next;
  m_target = &target;
  m_savedOrigin = target.SetOrigin(MPoint{});
  m_origin = MPoint{};
}

void MDrawerScaled::End()
{
  if (m_target != nullptr)
    m_target->SetOrigin(m_savedOrigin);
  m_target = nullptr;
}

std::int32_t MDrawerScaled::DeviceX(double x) const
{
  return Round(X(x));
}

std::int32_t MDrawerScaled::DeviceY(double y) const
{
  return Round(Y(y));
}

MRect MDrawerScaled::ToDevice(const MRect& rect) const
{
  return MRect{DeviceX(rect.left), DeviceY(rect.top), DeviceX(rect.right), DeviceY(rect.bottom)};
}

MRect MDrawerScaled::FromDevice(const MRect& rect) const
{
  return MRect{static_cast<std::int32_t>(std::floor(rect.left / m_scale)) - m_origin.x,
               static_cast<std::int32_t>(std::floor(rect.top / m_scale)) - m_origin.y,
               static_cast<std::int32_t>(std::ceil(rect.right / m_scale)) - m_origin.x,
               static_cast<std::int32_t>(std::ceil(rect.bottom / m_scale)) - m_origin.y};
}

MSize MDrawerScaled::GetTargetSize() const
{
  const MSize device = m_target->GetTargetSize();
  return MSize{static_cast<std::int32_t>(std::ceil(device.x / m_scale)),
               static_cast<std::int32_t>(std::ceil(device.y / m_scale))};
}

MPoint MDrawerScaled::SetOrigin(MPoint origin)
{
  return std::exchange(m_origin, origin);
}

MRect MDrawerScaled::SetClip(const MRect& clip)
{
  return m_target->SetClip(ToDevice(clip));
}

MRect MDrawerScaled::IntersectClip(const MRect& clip)
{
  return m_target->IntersectClip(ToDevice(clip));
}

void MDrawerScaled::RestoreClip(const MRect& targetClip)
{
  m_target->RestoreClip(targetClip);
}

MRect MDrawerScaled::GetClip() const
{
  return FromDevice(m_target->GetClip());
}

void MDrawerScaled::FillRectangle(const MRect& rect, MColor color, MColorOp op)
{
  m_target->FillRectangle(ToDevice(rect), color, op);
}

void MDrawerScaled::FrameRectangle(const MRect& rect, MColor color, std::int32_t thickness)
{
  if (thickness <= 0)
    return;
  m_target->FrameRectangle(ToDevice(rect), color, std::max(1, Round(thickness * m_scale)));
}

void MDrawerScaled::FillGradient(const MRect& rect, MColor from, MColor to, bool vertical)
{
  m_target->FillGradient(ToDevice(rect), from, to, vertical);
}

void MDrawerScaled::FillCircle(double cx, double cy, double radius, MColor color)
{
  m_target->FillCircle(X(cx), Y(cy), radius * m_scale, color);
}

void MDrawerScaled::FrameCircle(double cx, double cy, double radius, double thickness, MColor color)
{
  m_target->FrameCircle(X(cx), Y(cy), radius * m_scale, thickness * m_scale, color);
}

void MDrawerScaled::FrameArc(double cx, double cy, double radius, double thickness, double fromAngle,
                             double toAngle, MColor color)
{
  m_target->FrameArc(X(cx), Y(cy), radius * m_scale, thickness * m_scale, fromAngle, toAngle, color);
}

void MDrawerScaled::FillRoundRectangle(const MRect& rect, double radius, MColor color)
{
  m_target->FillRoundRectangle(ToDevice(rect), radius * m_scale, color);
}

void MDrawerScaled::FrameRoundRectangle(const MRect& rect, double radius, double thickness, MColor color)
{
  // Whole device pixels keep the frame crisp (the target fills its straight parts as rectangles).
  const double scaled =
      thickness >= 1.0 ? std::max(1.0, std::round(thickness * m_scale)) : thickness * m_scale;
  m_target->FrameRoundRectangle(ToDevice(rect), radius * m_scale, scaled, color);
}

void MDrawerScaled::FillPolygon(std::span<const PointF> points, MColor color)
{
  m_points.clear();
  for (const PointF& point : points)
    m_points.push_back(PointF{X(point.x), Y(point.y)});
  m_target->FillPolygon(m_points, color);
}

void MDrawerScaled::Line(double x0, double y0, double x1, double y1, MColor color, double width)
{
  m_target->Line(X(x0), Y(y0), X(x1), Y(y1), color, width * m_scale);
}

void MDrawerScaled::BitBlt(std::int32_t x, std::int32_t y, const MBitmap& bitmap, const MRect& source,
                           MColorOp op, std::uint8_t alpha)
{
  const MRect part = source.Intersect(MRect{0, 0, bitmap.Width(), bitmap.Height()});
  if (part.IsEmpty())
    return;
  const MRect dest{x, y, x + part.Width(), y + part.Height()};
  m_target->StretchBlt(ToDevice(dest), bitmap, part, op, alpha);
}

void MDrawerScaled::StretchBlt(const MRect& dest, const MBitmap& bitmap, const MRect& source, MColorOp op,
                               std::uint8_t alpha)
{
  m_target->StretchBlt(ToDevice(dest), bitmap, source, op, alpha);
}

void MDrawerScaled::DrawBordered(const MRect& dest, const MBitmap& bitmap, std::int32_t borderX,
                                 std::int32_t borderY, MBitmapFill fill, MColorOp op, std::uint8_t alpha)
{
  if (dest.IsEmpty() || bitmap.IsEmpty())
    return;
  // The nine cells of the target's own DrawBordered, with borders and tiles of scaled size.
  const MRect device = ToDevice(dest);
  const std::int32_t w = bitmap.Width(), h = bitmap.Height();
  const std::int32_t bx = std::clamp(borderX, 0, w / 2), by = std::clamp(borderY, 0, h / 2);
  const std::int32_t dbx = std::min(Round(bx * m_scale), device.Width() / 2);
  const std::int32_t dby = std::min(Round(by * m_scale), device.Height() / 2);
  const std::int32_t srcX[4] = {0, bx, w - bx, w};
  const std::int32_t srcY[4] = {0, by, h - by, h};
  const std::int32_t dstX[4] = {device.left, device.left + dbx, device.right - dbx, device.right};
  const std::int32_t dstY[4] = {device.top, device.top + dby, device.bottom - dby, device.bottom};
  const bool tileX = fill == MBitmapFill::HPattern || fill == MBitmapFill::Pattern;
  const bool tileY = fill == MBitmapFill::VPattern || fill == MBitmapFill::Pattern;
  for (int j = 0; j < 3; ++j)
  {
    for (int i = 0; i < 3; ++i)
    {
      const MRect s{srcX[i], srcY[j], srcX[i + 1], srcY[j + 1]};
      const MRect d{dstX[i], dstY[j], dstX[i + 1], dstY[j + 1]};
      if (s.IsEmpty() || d.IsEmpty())
        continue;
      const bool tx = tileX && i == 1, ty = tileY && j == 1;
      if (!tx && !ty)
      {
        m_target->StretchBlt(d, bitmap, s, op, alpha);
        continue;
      }
      const MRect visible = m_target->GetClip().Intersect(d);
      if (visible.IsEmpty())
        continue;
      const std::int32_t stepX = tx ? std::max(1, Round(s.Width() * m_scale)) : d.Width();
      const std::int32_t stepY = ty ? std::max(1, Round(s.Height() * m_scale)) : d.Height();
      const MRect saved = m_target->IntersectClip(d);
      const std::int64_t firstX = d.left + (std::int64_t(visible.left) - d.left) / stepX * stepX;
      const std::int64_t firstY = d.top + (std::int64_t(visible.top) - d.top) / stepY * stepY;
      for (std::int64_t y0 = firstY; y0 < visible.bottom; y0 += stepY)
        for (std::int64_t x0 = firstX; x0 < visible.right; x0 += stepX)
          m_target->StretchBlt(MRect{static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0),
                                     static_cast<std::int32_t>(x0 + stepX),
                                     static_cast<std::int32_t>(y0 + stepY)},
                               bitmap, s, op, alpha);
      m_target->RestoreClip(saved);
    }
  }
}

const MFont& MDrawerScaled::ScaledFont(const MFont& font)
{
  const MFontDescriptor& wanted = font;
  for (const auto& [descriptor, scaled] : m_fonts)
    if (descriptor == wanted)
      return *scaled;
  MFontDescriptor descriptor = wanted;
  // Rounded down: a text a little narrower than the scaled one needs no squeezing (AlignedTextOut).
  descriptor.pixelHeight =
      std::max(1, static_cast<std::int32_t>(std::floor(std::abs(wanted.pixelHeight) * m_scale + 1e-6)));
  descriptor.extraSpacing = Round(wanted.extraSpacing * m_scale);
  m_fonts.emplace_back(wanted, std::make_unique<MFont>(descriptor));
  return *m_fonts.back().second;
}

void MDrawerScaled::AlignedTextOut(const MRect& rect, const MString& text, const MFont& font, MColor color,
                                   MAlignment alignment)
{
  if (text.IsEmpty())
    return;
  const MFont& scaled = ScaledFont(font);
  const MRect device = ToDevice(rect);
  const std::int32_t natural = scaled.TextWidth(text);
  const double room = font.TextWidth(text) * m_scale;
  if (natural <= room + 1.0 || natural <= 0)
  {
    m_target->AlignedTextOut(device, text, scaled, color, alignment);
    return;
  }
  // Small sizes are hinted narrow (10 px digits are 5 px wide, 15 px ones 8 or 9): such a text
  // drawn at its natural width would run into what the layout put after it (the next run of a
  // line of mark-up). Its glyphs keep their size and go to their natural places drawn together
  // by room / natural, so that the text takes the scaled width of the 100 % one.
  const double squeeze = room / natural;
  const std::int32_t width = static_cast<std::int32_t>(std::lround(room));
  std::int32_t left = device.left;
  if ((alignment & MAlign::HMask) == MAlign::Right)
    left = device.right - width;
  else if ((alignment & MAlign::HMask) != MAlign::Left)
    left = device.left + (device.Width() - width) / 2;
  const MAlignment vertical = (alignment & MAlign::VMask) | MAlign::Left;
  const MRect saved = m_target->IntersectClip(device);
  const std::int32_t length = text.Length();
  for (std::int32_t i = 0; i < length;)
  {
    std::int32_t next = i + 1;
    if (next < length && text.At(i) >= 0xD800 && text.At(i) < 0xDC00 && text.At(next) >= 0xDC00 &&
        text.At(next) < 0xE000)
      ++next; // a surrogate pair is one glyph
    const std::int32_t pen = i == 0 ? 0 : scaled.TextWidth(text.Substring(0, i));
    const std::int32_t x = left + static_cast<std::int32_t>(std::lround(pen * squeeze));
    m_target->AlignedTextOut(MRect{x, device.top, x + natural + 1, device.bottom},
                             text.Substring(i, next - i), scaled, color, vertical);
    i = next;
  }
  m_target->RestoreClip(saved);
}

MSize MDrawerScaled::GetTextExtent(const MString& text, const MFont& font)
{
  return m_target->GetTextExtent(text, font);
}
