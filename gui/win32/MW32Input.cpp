#include "gui/win32/MW32Input.h"

#include "gui/MBitmap.h"

MSystemEvent::Code MW32Input::MouseCode(unsigned message)
{
  switch (message)
  {
  case WM_LBUTTONDOWN:
    return MSystemEvent::LeftDown;
  case WM_RBUTTONDOWN:
    return MSystemEvent::RightDown;
  case WM_MBUTTONDOWN:
    return MSystemEvent::MiddleDown;
  case WM_LBUTTONUP:
    return MSystemEvent::LeftUp;
  case WM_RBUTTONUP:
    return MSystemEvent::RightUp;
  case WM_MBUTTONUP:
    return MSystemEvent::MiddleUp;
  case WM_LBUTTONDBLCLK:
    return MSystemEvent::LeftDoubleClick;
  case WM_RBUTTONDBLCLK:
    return MSystemEvent::RightDoubleClick;
  case WM_MBUTTONDBLCLK:
    return MSystemEvent::MiddleDoubleClick;
  default:
    return MSystemEvent::MouseMove;
  }
}

std::uint32_t MW32Input::Modifiers(std::uintptr_t keyState, bool alt)
{
  std::uint32_t bits = 0;
  if (keyState & MK_LBUTTON)
    bits |= MSystemEvent::ModLeftButton;
  if (keyState & MK_MBUTTON)
    bits |= MSystemEvent::ModMiddleButton;
  if (keyState & MK_RBUTTON)
    bits |= MSystemEvent::ModRightButton;
  if (keyState & MK_CONTROL)
    bits |= MSystemEvent::ModControl;
  if (keyState & MK_SHIFT)
    bits |= MSystemEvent::ModShift;
  if (alt)
    bits |= MSystemEvent::ModAlt;
  return bits;
}

std::uint32_t MW32Input::KeyModifiers(bool control, bool alt, bool shift)
{
  return (control ? std::uint32_t(MSystemEvent::ModControl) : 0u) |
         (alt ? std::uint32_t(MSystemEvent::ModAlt) : 0u) |
         (shift ? std::uint32_t(MSystemEvent::ModShift) : 0u);
}

std::uint32_t MW32Input::Character(std::uint16_t& highSurrogate, std::uint16_t unit)
{
  constexpr std::uint32_t kReplacement = 0xFFFD;
  const bool high = unit >= 0xD800 && unit <= 0xDBFF;
  const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
  const std::uint16_t waiting = highSurrogate;
  highSurrogate = 0;
  if (high)
  {
    // A second high half means the first was lone: it is lost, this one waits.
    highSurrogate = unit;
    return 0;
  }
  if (low)
    return waiting != 0
               ? 0x10000u + ((std::uint32_t(waiting) - 0xD800u) << 10) + (std::uint32_t(unit) - 0xDC00u)
               : kReplacement;
  return unit;
}

HCURSOR MW32Input::LoadStdCursor(MStdCursor cursor)
{
  LPCSTR id = IDC_ARROW; // integer resources: the narrow entry takes them as well
  switch (cursor)
  {
  case MStdCursor::Wait:
    id = IDC_WAIT;
    break;
  case MStdCursor::Cross:
  case MStdCursor::Selection:
    id = IDC_CROSS;
    break;
  case MStdCursor::IBeam:
    id = IDC_IBEAM;
    break;
  case MStdCursor::Link:
    id = IDC_HAND;
    break;
  case MStdCursor::No:
    id = IDC_NO;
    break;
  case MStdCursor::Move:
  case MStdCursor::Size:
    id = IDC_SIZEALL;
    break;
  case MStdCursor::ArrowUD:
    id = IDC_SIZENS;
    break;
  case MStdCursor::ArrowLR:
    id = IDC_SIZEWE;
    break;
  case MStdCursor::Hollow:
    return nullptr;
  default:
    break;
  }
  return LoadCursorA(nullptr, id);
}

void MW32Input::CopyToDevice(HDC dc, const MBitmap& surface, const MRect& rect)
{
  const MRect clipped = rect.Intersect(MRect{0, 0, surface.Width(), surface.Height()});
  if (dc == nullptr || clipped.IsEmpty())
    return;
  // A top-down DIB over the surface's rows from the rectangle's first row on: the pixel words are
  // already the 32-bit BGRA layout of a DIB (alpha ignored), so nothing is converted.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = surface.Width();
  info.bmiHeader.biHeight = -clipped.Height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  StretchDIBits(dc, clipped.left, clipped.top, clipped.Width(), clipped.Height(), clipped.left, 0,
                clipped.Width(), clipped.Height(), surface.Row(clipped.top), &info, DIB_RGB_COLORS, SRCCOPY);
}
