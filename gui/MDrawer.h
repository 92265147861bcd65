#pragma once
// MDrawer: everything the toolkit draws goes through this interface. MDrawerToMBitmap draws into
// an off-screen MBitmap (the window's surface, copied to the screen by the window system);
// MDrawerUsingStyle adds style-aware helpers on top.
//
// Coordinates: pixels relative to the current origin (SetOrigin); a control paints in its own
// coordinates with the origin at its top-left corner. Every operation is clipped to the current
// clip rectangle (in the same coordinates) and to the target; nothing is ever written outside the
// target, whatever the arguments (negative sizes, huge coordinates, NaN radii draw nothing).
// Colours carry straight alpha; `op` says how a drawn pixel combines with the destination.
//
// Threads: a drawer is used by one thread at a time (the GUI thread, or a test). Drawing
// allocates only in the glyph cache and scratch buffers that grow to the largest request.
//
// Failure: the five guarded primitives (BitBlt, StretchBlt, FillCircle, FillRoundRectangle,
// AlignedTextOut) run inside MHostCallShield with the trace names "MDrawerToMBitmap::BitBlt", ...
// so a failing one leaves the rest of the paint intact; they never throw.

#include "gui/MGuiTypes.h"

#include <cstdint>
#include <span>

class MBitmap;
class MFont;

class MDrawer
{
public:
  virtual ~MDrawer() = default;

  // --- target, origin and clip --------------------------------------------------------------
  /// Size of the drawing target in pixels.
  virtual MSize GetTargetSize() const = 0;
  /// Sets the origin (target pixels) that every coordinate is relative to; answers the old one.
  virtual MPoint SetOrigin(MPoint origin) = 0;
  virtual MPoint GetOrigin() const = 0;
  /// Sets the clip rectangle (in current coordinates, intersected with the target); answers the
  /// old one in target pixels for RestoreClip.
  virtual MRect SetClip(const MRect& clip) = 0;
  /// Intersects the clip with `clip` (current coordinates); answers the old one for RestoreClip.
  virtual MRect IntersectClip(const MRect& clip) = 0;
  /// Restores a clip answered by SetClip/IntersectClip (target pixels).
  virtual void RestoreClip(const MRect& targetClip) = 0;
  /// Current clip in current coordinates.
  virtual MRect GetClip() const = 0;

  // --- areas ----------------------------------------------------------------------------------
  virtual void FillRectangle(const MRect& rect, MColor color, MColorOp op = MColorOp::Alphablend) = 0;
  /// A frame of `thickness` pixels inside `rect`.
  virtual void FrameRectangle(const MRect& rect, MColor color, std::int32_t thickness = 1) = 0;
  /// Linear gradient from `from` to `to`, top to bottom (vertical) or left to right.
  virtual void FillGradient(const MRect& rect, MColor from, MColor to, bool vertical = true) = 0;
  /// Anti-aliased filled circle; centre and radius in pixels (fractions allowed).
  virtual void FillCircle(double cx, double cy, double radius, MColor color) = 0;
  /// Anti-aliased ring (circle outline) of `thickness` pixels centred on `radius`.
  virtual void FrameCircle(double cx, double cy, double radius, double thickness, MColor color) = 0;
  /// Anti-aliased arc of a ring between two angles in radians (0 = 12 o'clock, clockwise).
  virtual void FrameArc(double cx, double cy, double radius, double thickness, double fromAngle,
                        double toAngle, MColor color) = 0;
  /// Anti-aliased filled rectangle with corners rounded by `radius`.
  virtual void FillRoundRectangle(const MRect& rect, double radius, MColor color) = 0;
  /// Anti-aliased outline of a rounded rectangle, `thickness` pixels inside `rect`.
  virtual void FrameRoundRectangle(const MRect& rect, double radius, double thickness, MColor color) = 0;
  /// Anti-aliased filled polygon (non-zero winding), points in pixels with fractions.
  struct PointF
  {
    double x = 0;
    double y = 0;
  };
  virtual void FillPolygon(std::span<const PointF> points, MColor color) = 0;
  /// Anti-aliased line of `width` pixels with butt ends.
  virtual void Line(double x0, double y0, double x1, double y1, MColor color, double width = 1.0) = 0;

  // --- bitmaps ------------------------------------------------------------------------------
  /// Copies `source` (a rectangle of `bitmap`, clipped to it) to `x`, `y`. `alpha` scales the
  /// source alpha (255 = as it is).
  virtual void BitBlt(std::int32_t x, std::int32_t y, const MBitmap& bitmap, const MRect& source,
                      MColorOp op = MColorOp::Alphablend, std::uint8_t alpha = 255) = 0;
  /// Copies `source` of `bitmap` scaled into `dest` (bilinear).
  virtual void StretchBlt(const MRect& dest, const MBitmap& bitmap, const MRect& source,
                          MColorOp op = MColorOp::Alphablend, std::uint8_t alpha = 255) = 0;
  /// Draws `bitmap` into `dest` keeping `borderX` / `borderY` pixels of each edge unscaled
  /// (corners copied, edges stretched or tiled along one axis, centre filled by `fill`).
  virtual void DrawBordered(const MRect& dest, const MBitmap& bitmap, std::int32_t borderX,
                            std::int32_t borderY, MBitmapFill fill = MBitmapFill::Stretch,
                            MColorOp op = MColorOp::Alphablend, std::uint8_t alpha = 255) = 0;

  // --- text -----------------------------------------------------------------------------------
  /// Draws one line of `text` placed inside `rect` by `alignment` (text outside `rect` is
  /// clipped). Line breaks are not interpreted.
  virtual void AlignedTextOut(const MRect& rect, const MString& text, const MFont& font, MColor color,
                              MAlignment alignment = MAlign::Center) = 0;
  /// Width of `text` in `font` (advance widths, kerning included) and the font's line height.
  virtual MSize GetTextExtent(const MString& text, const MFont& font) = 0;
};
