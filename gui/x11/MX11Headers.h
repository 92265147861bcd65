#pragma once
// The X headers the back end uses, in one place. X.h defines macros with common names (None,
// Bool, Status, True, False, Success) that collide with the toolkit's enumerators
// (MModalValue::None, MCaptionType::None), so every source file of gui/x11 includes this header
// LAST, after all toolkit headers, and writes kX11None where X code means None.

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/shape.h>

#undef None
inline constexpr unsigned long kX11None = 0L;
