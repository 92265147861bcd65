#pragma once
// MX11Image: copies rectangles of a window's off-screen surface (32-bit 0xAARRGGBB pixels, the
// MBitmap form) into the native window. Internal to gui/x11; include the X headers after it.
//
// Three ways, chosen when the image is created:
// - shared memory (MIT-SHM) when the server offers it and the visual stores 0x00RRGGBB in 32-bit
//   pixels: rows of the rectangle are copied into a segment the server reads (XShmPutImage);
//   small rectangles still go the next way, which needs no round trip;
// - otherwise the same pixel format is sent from the surface's own memory with XPutImage, no
//   copy on our side (Xlib swaps bytes for a server of the other byte order);
// - any other TrueColor format (16-bit, other channel orders) is converted pixel by pixel into a
//   private image first.
// A shared-memory attach that the server refuses (a remote display that still advertises the
// extension) falls back to XPutImage for this image and reports it through UsesSharedMemory().
//
// GUI thread only (it makes Xlib calls on the window system's connection).

#include "gui/MGuiTypes.h"

#include <cstdint>
#include <memory>

struct _XDisplay;

class MX11Image
{
public:
  /// `visual` is the X Visual* of the windows it paints (void* keeps X types out of this header),
  /// `depth` their depth. `trySharedMemory`: try MIT-SHM (the caller checked the extension).
  MX11Image(_XDisplay* display, void* visual, int depth, bool trySharedMemory);
  ~MX11Image();
  MX11Image(const MX11Image&) = delete;
  MX11Image& operator=(const MX11Image&) = delete;

  /// Copies `rect` (clipped to `size`) of `pixels` (row stride `strideBytes`) to the same place of
  /// drawable `target` with graphics context `gc`. When `size` differs from the previous call the
  /// image memory is made again. Returns once the server has read shared memory, so the caller
  /// may paint the surface again at once.
  void Put(unsigned long target, void* gc, const std::uint32_t* pixels, std::int32_t strideBytes, MSize size,
           const MRect& rect);

  /// Whether the last Put went through shared memory (a large enough rectangle on a server that
  /// took the segment).
  bool UsesSharedMemory() const;

  /// Whether the visual stores pixels as 0x00RRGGBB in 32 bits, so that the surface is sent as it is.
  static bool IsDirectFormat(_XDisplay* display, void* visual, int depth);

private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};
