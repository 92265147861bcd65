#pragma once
// MDrawerScaled: an MDrawer in logical pixels on top of another drawer in device pixels, for a
// window drawn at a zoom above 100 % (MWindow::SetScale). The controls paint exactly as at 100 %;
// this drawer multiplies every coordinate by the scale on its way to the target:
//
//  - Rectangles map edge by edge, each edge rounded to the nearest device pixel after the origin
//    was added (round((origin + x) * scale)), so neighbours stay seamless and a control's rect
//    meets its parent's exactly. Shapes (circles, arcs, polygons, lines) keep their fractions;
//    line widths, ring thicknesses and radii grow by the scale (frames of whole pixels by at least
//    one pixel).
//  - Text is drawn in the same typeface rasterised again at the scaled em size, rounded down
//    (never stretched), placed in the scaled rectangle by the same alignment. Where the larger
//    size is wider than the scaled 100 % text (small sizes are hinted narrow), its glyphs are
//    drawn closer together so that it takes no more room: what the layout put after it (the next
//    run of a line of mark-up) is never overdrawn. GetTextExtent answers the logical extent (the
//    100 % font's), which is what the controls lay out with. The scaled fonts are kept per
//    descriptor while the drawer lives (an MWindow keeps one drawer for its life).
//  - Bitmaps are filtered bilinearly to their scaled size; the borders of DrawBordered grow with
//    the scale and patterns tile at the scaled tile size.
//  - Origin and clip are kept in logical pixels; SetClip/IntersectClip answer the target's clip
//    in device pixels, which only RestoreClip reads. GetTargetSize answers the logical size that
//    covers the target.
//
// The underlying drawer's origin is set to (0, 0) by Begin and put back by End; between the two
// this drawer is its only user. Threads and failure: those of the target drawer (GUI thread;
// painting never throws).

#include "gui/MDrawer.h"
#include "gui/MFont.h"

#include <memory>
#include <utility>
#include <vector>

class MDrawerScaled : public MDrawer
{
public:
  MDrawerScaled() = default;
  MDrawerScaled(const MDrawerScaled&) = delete;
  MDrawerScaled& operator=(const MDrawerScaled&) = delete;

  /// Starts drawing into `target` (device pixels) at `scale` (above 0); logical origin (0, 0),
  /// clip = the target's present clip. A scale other than the last one drops the kept fonts.
  void Begin(MDrawer& target, double scale);
  /// Gives the target its origin back.
  void End();

  double GetScale() const { return m_scale; }
  /// Device pixel of logical coordinate `x` (current origin added) on each axis.
  std::int32_t DeviceX(double x) const;
  std::int32_t DeviceY(double y) const;
  /// A logical rectangle (current coordinates) in device pixels, edge by edge.
  MRect ToDevice(const MRect& rect) const;
  /// The logical rectangle (current coordinates) that covers device rectangle `rect`.
  MRect FromDevice(const MRect& rect) const;

  MSize GetTargetSize() const override;
  MPoint SetOrigin(MPoint origin) override;
  MPoint GetOrigin() const override { return m_origin; }
  MRect SetClip(const MRect& clip) override;
  MRect IntersectClip(const MRect& clip) override;
  void RestoreClip(const MRect& targetClip) override;
  MRect GetClip() const override;

  void FillRectangle(const MRect& rect, MColor color, MColorOp op = MColorOp::Alphablend) override;
  void FrameRectangle(const MRect& rect, MColor color, std::int32_t thickness = 1) override;
  void FillGradient(const MRect& rect, MColor from, MColor to, bool vertical = true) override;
  void FillCircle(double cx, double cy, double radius, MColor color) override;
  void FrameCircle(double cx, double cy, double radius, double thickness, MColor color) override;
  void FrameArc(double cx, double cy, double radius, double thickness, double fromAngle, double toAngle,
                MColor color) override;
  void FillRoundRectangle(const MRect& rect, double radius, MColor color) override;
  void FrameRoundRectangle(const MRect& rect, double radius, double thickness, MColor color) override;
  void FillPolygon(std::span<const PointF> points, MColor color) override;
  void Line(double x0, double y0, double x1, double y1, MColor color, double width = 1.0) override;

  void BitBlt(std::int32_t x, std::int32_t y, const MBitmap& bitmap, const MRect& source,
              MColorOp op = MColorOp::Alphablend, std::uint8_t alpha = 255) override;
  void StretchBlt(const MRect& dest, const MBitmap& bitmap, const MRect& source,
                  MColorOp op = MColorOp::Alphablend, std::uint8_t alpha = 255) override;
  void DrawBordered(const MRect& dest, const MBitmap& bitmap, std::int32_t borderX, std::int32_t borderY,
                    MBitmapFill fill = MBitmapFill::Stretch, MColorOp op = MColorOp::Alphablend,
                    std::uint8_t alpha = 255) override;

  void AlignedTextOut(const MRect& rect, const MString& text, const MFont& font, MColor color,
                      MAlignment alignment = MAlign::Center) override;
  MSize GetTextExtent(const MString& text, const MFont& font) override;

private:
  double X(double x) const { return (m_origin.x + x) * m_scale; }
  double Y(double y) const { return (m_origin.y + y) * m_scale; }
  /// `font` at the scaled em size (made on first use).
  const MFont& ScaledFont(const MFont& font);

  MDrawer* m_target = nullptr;
  MPoint m_savedOrigin{};
  double m_scale = 1.0;
  MPoint m_origin{};
  std::vector<PointF> m_points;
  std::vector<std::pair<MFontDescriptor, std::unique_ptr<MFont>>> m_fonts;
};
