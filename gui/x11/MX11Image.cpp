#include "gui/x11/MX11Image.h"

#include "gui/x11/MX11Errors.h"

#include "gui/x11/MX11Headers.h"

#include <bit>
#include <cstdlib>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace
{
constexpr int kHostByteOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
// Rectangles of at most this many pixels are sent with XPutImage even where shared memory works.
constexpr std::int64_t kSmallPixels = 128 * 128;

int BitsPerPixelForDepth(Display* display, int depth)
{
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
  int bits = 0;
  for (int i = 0; i < count; ++i)
    if (formats[i].depth == depth)
      bits = formats[i].bits_per_pixel;
  if (formats)
    XFree(formats);
  return bits;
}

// Position and width of a channel mask, to place an 8-bit channel into it.
struct Channel
{
  int shift = 0;
  int bits = 0;

  explicit Channel(unsigned long mask)
  {
    if (!mask)
      return;
    shift = std::countr_zero(mask);
    bits = std::popcount(mask);
  }
  unsigned long Place(std::uint32_t value8) const
  {
    const unsigned long scaled = bits >= 8 ? (value8 << (bits - 8)) : (value8 >> (8 - bits));
    return scaled << shift;
  }
};
} // namespace

struct MX11Image::Impl
{
  Display* display;
  Visual* visual;
  int depth;
  bool direct;
  bool trySharedMemory;
  bool lastShared = false;

  // Shared memory: one segment the size of the surface.
  XImage* shared = nullptr;
  XShmSegmentInfo segment{};
  MSize sharedSize;

  // Converted formats: a private image the size of the surface.
  XImage* converted = nullptr;
  MSize convertedSize;

  bool CreateShared(MSize size)
  {
    shared = XShmCreateImage(display, visual, unsigned(depth), ZPixmap, nullptr, &segment, unsigned(size.x),
                             unsigned(size.y));
    if (!shared)
      return false;
    const std::size_t bytes = std::size_t(shared->bytes_per_line) * std::size_t(size.y);
    segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (segment.shmid < 0)
    {
      XDestroyImage(shared);
      shared = nullptr;
      return false;
    }
    segment.shmaddr = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
    // Marked for removal at once: the kernel frees it when both sides detach, even after a crash.
    shmctl(segment.shmid, IPC_RMID, nullptr);
    if (segment.shmaddr == reinterpret_cast<char*>(-1))
    {
      segment.shmaddr = nullptr;
      XDestroyImage(shared);
      shared = nullptr;
      return false;
    }
    shared->data = segment.shmaddr;
    segment.readOnly = False;
    // A server on another machine may advertise the extension and refuse the attach; the error
    // arrives asynchronously, hence the XSync before looking at the count.
    const unsigned long errorsBefore = MX11Errors::Count(display);
    const Status attached = XShmAttach(display, &segment);
    XSync(display, False);
    if (!attached || MX11Errors::Count(display) != errorsBefore)
    {
      shmdt(segment.shmaddr);
      shared->data = nullptr;
      XDestroyImage(shared);
      shared = nullptr;
      return false;
    }
    sharedSize = size;
    return true;
  }

  void ReleaseShared()
  {
    if (!shared)
      return;
    XShmDetach(display, &segment);
    shmdt(segment.shmaddr);
    shared->data = nullptr; // not malloc'd: XDestroyImage must not free it
    XDestroyImage(shared);
    shared = nullptr;
  }

  void ReleaseConverted()
  {
    if (converted)
      XDestroyImage(converted); // frees the malloc'd pixels too
    converted = nullptr;
  }

  bool CreateConverted(MSize size)
  {
    converted = XCreateImage(display, visual, unsigned(depth), ZPixmap, 0, nullptr, unsigned(size.x),
                             unsigned(size.y), 32, 0);
    if (!converted)
      return false;
    converted->data =
        static_cast<char*>(std::malloc(std::size_t(converted->bytes_per_line) * std::size_t(size.y)));
    if (!converted->data)
    {
      XDestroyImage(converted);
      converted = nullptr;
      return false;
    }
    convertedSize = size;
    return true;
  }
};

MX11Image::MX11Image(_XDisplay* display, void* visual, int depth, bool trySharedMemory)
    : m_impl(std::make_unique<Impl>())
{
  m_impl->display = display;
  m_impl->visual = static_cast<Visual*>(visual);
  m_impl->depth = depth;
  m_impl->direct = IsDirectFormat(display, visual, depth);
  // Shared memory holds the server's own pixel layout; only the direct format is copied into it
  // row by row, and only a server of our byte order can share our memory at all.
  m_impl->trySharedMemory = trySharedMemory && m_impl->direct && ImageByteOrder(display) == kHostByteOrder;
}

MX11Image::~MX11Image()
{
  m_impl->ReleaseShared();
  m_impl->ReleaseConverted();
}

bool MX11Image::UsesSharedMemory() const
{
  return m_impl->lastShared;
}

bool MX11Image::IsDirectFormat(_XDisplay* display, void* visualPointer, int depth)
{
  const Visual* visual = static_cast<const Visual*>(visualPointer);
  return visual && (depth == 24 || depth == 32) && visual->red_mask == 0xFF0000ul &&
         visual->green_mask == 0x00FF00ul && visual->blue_mask == 0x0000FFul &&
         BitsPerPixelForDepth(display, depth) == 32;
}

void MX11Image::Put(unsigned long target, void* gcPointer, const std::uint32_t* pixels,
                    std::int32_t strideBytes, MSize size, const MRect& rect)
{
  Impl& impl = *m_impl;
  GC gc = static_cast<GC>(gcPointer);
  const MRect area = rect.Intersect(MRect{0, 0, size.x, size.y});
  impl.lastShared = false;
  if (area.IsEmpty() || !pixels || strideBytes < size.x * 4)
    return;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(pixels);
  const std::size_t stride = std::size_t(strideBytes);

  if (impl.trySharedMemory)
  {
    if (impl.shared && !(impl.sharedSize == size))
      impl.ReleaseShared();
    if (!impl.shared && !impl.CreateShared(size))
      impl.trySharedMemory = false; // refused once: this image keeps to XPutImage
  }
  // A small rectangle (a moving indicator, a knob) costs less sent in the request than a shared
  // segment costs in the round trip that waits for the server to read it.
  const bool small = std::int64_t(area.Width()) * area.Height() <= kSmallPixels;
  if (impl.shared && !(small && impl.direct))
  {
    const std::size_t rowBytes = std::size_t(area.Width()) * 4;
    for (std::int32_t y = area.top; y < area.bottom; ++y)
      std::memcpy(impl.shared->data + std::size_t(y) * std::size_t(impl.shared->bytes_per_line) +
                      std::size_t(area.left) * 4,
                  bytes + std::size_t(y) * stride + std::size_t(area.left) * 4, rowBytes);
    XShmPutImage(impl.display, target, gc, impl.shared, area.left, area.top, area.left, area.top,
                 unsigned(area.Width()), unsigned(area.Height()), False);
    // The segment is written again by the next paint: wait until the server has read it.
    XSync(impl.display, False);
    impl.lastShared = true;
    return;
  }

  if (impl.direct)
  {
    // An image header over the surface's own memory: Xlib sends the rectangle from there.
    XImage image{};
    image.width = size.x;
    image.height = size.y;
    image.format = ZPixmap;
    image.data = const_cast<char*>(reinterpret_cast<const char*>(pixels));
    image.byte_order = kHostByteOrder;
    image.bitmap_unit = 32;
    image.bitmap_bit_order = kHostByteOrder;
    image.bitmap_pad = 32;
    image.depth = impl.depth;
    image.bytes_per_line = strideBytes;
    image.bits_per_pixel = 32;
    image.red_mask = impl.visual->red_mask;
    image.green_mask = impl.visual->green_mask;
    image.blue_mask = impl.visual->blue_mask;
    if (XInitImage(&image))
      XPutImage(impl.display, target, gc, &image, area.left, area.top, area.left, area.top,
                unsigned(area.Width()), unsigned(area.Height()));
    XFlush(impl.display);
    return;
  }

  if (impl.converted && !(impl.convertedSize == size))
    impl.ReleaseConverted();
  if (!impl.converted && !impl.CreateConverted(size))
    return;
  const Channel red(impl.visual->red_mask), green(impl.visual->green_mask), blue(impl.visual->blue_mask);
  for (std::int32_t y = area.top; y < area.bottom; ++y)
  {
    const auto* row = reinterpret_cast<const std::uint32_t*>(bytes + std::size_t(y) * stride);
    for (std::int32_t x = area.left; x < area.right; ++x)
    {
      const std::uint32_t p = row[x];
      XPutPixel(impl.converted, x, y,
                red.Place((p >> 16) & 0xFF) | green.Place((p >> 8) & 0xFF) | blue.Place(p & 0xFF));
    }
  }
  XPutImage(impl.display, target, gc, impl.converted, area.left, area.top, area.left, area.top,
            unsigned(area.Width()), unsigned(area.Height()));
  XFlush(impl.display);
}
