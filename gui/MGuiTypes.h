#pragma once
// Plain value types shared by the whole GUI toolkit: geometry, colours and the enumerations that
// controls, styles and drawers exchange.
//
// Layering: gui/ includes base/ (and vector/ for pixel loops) and nothing above it. The plug-in
// layers (core, framework, effect, host) may include gui/ headers; gui/ never includes theirs.
// Platform back ends live in gui/headless, gui/x11 and gui/win32; nothing else in gui/ includes a
// platform header.
//
// Coordinates are pixels, 32-bit signed, y pointing down. Rectangles are half-open: a pixel
// (x, y) lies inside when left <= x < right and top <= y < bottom.

#include "base/MString.h"

#include <algorithm>
#include <cstdint>

struct MPoint
{
  std::int32_t x = 0;
  std::int32_t y = 0;

  friend bool operator==(const MPoint&, const MPoint&) = default;
};

struct MSize
{
  std::int32_t x = 0;
  std::int32_t y = 0;

  friend bool operator==(const MSize&, const MSize&) = default;
};

struct MRect
{
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  static constexpr MRect FromSize(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height)
  {
    return MRect{x, y, x + width, y + height};
  }

  constexpr std::int32_t Width() const { return right - left; }
  constexpr std::int32_t Height() const { return bottom - top; }
  constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
  constexpr bool Contains(MPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }

  constexpr MRect Offset(std::int32_t dx, std::int32_t dy) const
  {
    return MRect{left + dx, top + dy, right + dx, bottom + dy};
  }
  /// Shrinks by `dx` on the left and right and `dy` on the top and bottom (negative grows).
  constexpr MRect Inset(std::int32_t dx, std::int32_t dy) const
  {
    return MRect{left + dx, top + dy, right - dx, bottom - dy};
  }
  /// Common part; an empty rectangle when they do not overlap.
  constexpr MRect Intersect(const MRect& o) const
  {
    MRect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
            std::min(bottom, o.bottom)};
    return r.IsEmpty() ? MRect{} : r;
  }
  /// Smallest rectangle holding both; an empty operand does not count.
  constexpr MRect Union(const MRect& o) const
  {
    if (IsEmpty())
      return o;
    if (o.IsEmpty())
      return *this;
    return MRect{std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
                 std::max(bottom, o.bottom)};
  }

  friend bool operator==(const MRect&, const MRect&) = default;
};

/// A colour, 8 bits per channel, straight (not premultiplied) alpha. Text form: eight
/// hexadecimal digits red, green, blue, alpha ("000000A0" is black at alpha 0xA0).
struct MColor
{
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  std::uint8_t a = 255;

  /// The pixel form of MBitmap: 0xAARRGGBB in a native 32-bit word.
  constexpr std::uint32_t ToARGB() const
  {
    return (std::uint32_t(a) << 24) | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | std::uint32_t(b);
  }
  static constexpr MColor FromARGB(std::uint32_t p)
  {
    return MColor{std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p), std::uint8_t(p >> 24)};
  }
  /// The same colour with alpha scaled by `alpha` / 255.
  constexpr MColor WithAlpha(std::uint8_t alpha) const
  {
    return MColor{r, g, b, std::uint8_t((unsigned(a) * alpha + 127) / 255)};
  }

  /// Parses "RRGGBBAA" (case-insensitive; six digits mean opaque). Throws MException
  /// "Invalid color ({0})." for anything else.
  static MColor Parse(const MString& text);
  /// "RRGGBBAA", upper case.
  MString ToText() const;

  friend bool operator==(const MColor&, const MColor&) = default;
};

/// How a drawn pixel combines with the destination. Text names are the enumerator names.
enum class MColorOp : std::int32_t
{
  None,              ///< draws nothing
  Alphablend,        ///< source over destination by source alpha
  Modulate,          ///< destination × source / 255 per channel, weighted by source alpha
  Copy,              ///< source replaces destination, alpha included
  Overlay,           ///< overlay blend (multiply in the darks, screen in the lights)
  Color,             ///< destination luminance with the source hue and saturation
  Invert,            ///< destination inverted, weighted by source alpha
  Add,               ///< saturating add
  Subtract,          ///< saturating subtract
  Lighten,           ///< per-channel maximum
  Darken,            ///< per-channel minimum
  Difference,        ///< absolute difference
  IncContrast,       ///< pushes destination away from mid grey by source strength
  DecContrast,       ///< pulls destination towards mid grey by source strength
  LightenByContrast, ///< lightens by source luminance weighted by destination contrast
  DarkenByContrast,  ///< darkens by source luminance weighted by destination contrast
  AddAndOverflow,    ///< add modulo 256 per channel
};
inline constexpr int kColorOpCount = 17;

/// How an image fills a rectangle.
enum class MBitmapFill : std::int32_t
{
  Stretch,
  HPattern,
  VPattern,
  Pattern,
};
inline constexpr int kBitmapFillCount = 4;

/// Text names of MColorOp and MBitmapFill; parsing folds ASCII case and throws
/// "Invalid MColorOp identifier to parse ({0})." / "Invalid MBitmapFill identifier to parse ({0}).".
MString ColorOpName(MColorOp op);
MColorOp ParseColorOp(const MString& name);
MString BitmapFillName(MBitmapFill fill);
MBitmapFill ParseBitmapFill(const MString& name);

/// Placement inside a rectangle: bits 0-1 horizontal (0 centre, 1 left, 2 right), bits 2-3
/// vertical (0 centre, 1 top, 2 bottom).
using MAlignment = std::uint8_t;
namespace MAlign
{
inline constexpr MAlignment HCenter = 0, Left = 1, Right = 2, HMask = 3;
inline constexpr MAlignment VCenter = 0, Top = 4, Bottom = 8, VMask = 12;
inline constexpr MAlignment Center = 0;
} // namespace MAlign

/// "center,center", "left,center", ... "right,bottom"; values 3 and 7 (and any invalid value)
/// have no name and give an empty text.
MString AlignmentName(MAlignment alignment);
/// Exact names as above (ASCII case folded). Throws MException
/// "Invalid MAlignment identifier to parse ({0})." for anything else, "top,left" included.
MAlignment ParseAlignment(const MString& name);

/// How the style draws a control; order and names as MEnumerations::ControlType().
enum class MControlType : std::int32_t
{
  Empty,
  NoBackground,
  Window,
  Panel,
  Control,
  Static,
  Button,
  CaptionButton,
  CheckBox,
  Tracker,
  Rotator,
  Knob,
  HScrollBar,
  VScrollBar,
  Edit,
  Switcher,
  ProgressBar,
  ListBox,
  TreeControl,
  TabSet,
  Menu,
  MenuBar,
};

/// Caption size; names as MEnumerations::CaptionType().
enum class MCaptionType : std::int32_t
{
  None,
  Small,
  Normal,
  Large,
};

/// Standard fonts; names as MEnumerations::StdFont().
enum class MStdFont : std::int32_t
{
  Normal,
  Bold,
  Italic,
  Small,
  Large1,
  Large2,
  Large3,
  Large4,
};
inline constexpr int kStdFontCount = 8;

/// Standard colours; names as MEnumerations::StdColor().
enum class MStdColor : std::int32_t
{
  Text,
  Shape,
  Highlight,
  Light,
  Dark,
  Red,
  Green,
  Blue,
};
inline constexpr int kStdColorCount = 8;

/// Mouse cursors; names as MEnumerations::StdCursor().
enum class MStdCursor : std::int32_t
{
  Arrow,
  Wait,
  Cross,
  IBeam,
  Link,
  No,
  Pen,
  Eraser,
  Selection,
  Move,
  Size,
  ArrowUD,
  ArrowLR,
  Hollow,
};

/// Result of a modal window; names as MEnumerations::ModalValue().
enum class MModalValue : std::int32_t
{
  None,
  Ok,
  Cancel,
  Yes,
  No,
};
