#pragma once
// MW32Input: the pure translations of the Win32 back end (MWindowSystemMSWindows): mouse messages
// to the toolkit's event codes, the message's key-state word to modifier bits, UTF-16 WM_CHAR units
// to code points, the toolkit's cursors to Windows' stock cursors, and the copy of a surface's
// rectangle to a device context. GUI thread; nothing here keeps state of its own.

#include "gui/MWindowSystem.h"

#include <windows.h>

#include <cstdint>

class MBitmap;

namespace MW32Input
{
/// The event code of a mouse message (button down/up/double click, move); MouseMove for others.
MSystemEvent::Code MouseCode(unsigned message);
/// Modifier bits from a mouse message's key-state word (MK_*) and whether Alt is down.
std::uint32_t Modifiers(std::uintptr_t keyState, bool alt);
/// Modifier bits of a key message.
std::uint32_t KeyModifiers(bool control, bool alt, bool shift);
/// The code point a WM_CHAR unit completes: 0 while `highSurrogate` waits for its second half.
/// A lone half of a surrogate pair becomes U+FFFD.
std::uint32_t Character(std::uint16_t& highSurrogate, std::uint16_t unit);
/// Windows' stock cursor for `cursor` (null for Hollow: no cursor).
HCURSOR LoadStdCursor(MStdCursor cursor);
/// Copies `rect` of `surface` (0xAARRGGBB rows, top to bottom) to the same place of `dc`.
void CopyToDevice(HDC dc, const MBitmap& surface, const MRect& rect);
} // namespace MW32Input
