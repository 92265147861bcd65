#pragma once
// MBitmap: the 32-bit image every drawing lands in (window surfaces, style images, glyph
// composites), and MAlphaMask, its 8-bit coverage sibling.
//
// Pixels are 0xAARRGGBB in a native 32-bit word with straight (not premultiplied) alpha, the form
// of MColor::ToARGB. Rows are stored top to bottom without padding: Row(y)[x] is pixel (x, y).
//
// Sizes are capped before anything is allocated: at most kMaxSide pixels on each side and
// kMaxPixels pixels in all. A larger or negative size throws MException
// "Bitmap size {0} x {1} is out of range." and leaves the bitmap as it was. Every decoder (PNG,
// the style package) goes through the same check, so hostile headers never reach the allocator.
//
// PNG (libpng): LoadPNG/LoadPNGFile decode any PNG colour type, bit depth and interlacing into
// the pixel form above; SavePNG/SavePNGFile write 8-bit RGBA. Failures throw MException with
//   "Could not initialize libpng."                 libpng refused to create its read/write state
//   "Could not initialize libpng info structure."  ... or its info structure
//   "Error loading a PNG file."                    bad signature, truncated data, broken chunk or
//                                                  CRC, dimensions beyond the caps, more pixels
//                                                  than the compressed data can possibly hold
//   "Error loading PNG palette."                   palette image with a missing or malformed
//                                                  palette, or a pixel index beyond its entries
//   "Empty image cannot be saved to PNG."          saving a bitmap with no pixels
// plus the file stream's messages for files that cannot be opened, read or written.
//
// Threads: a bitmap is a value; one thread at a time may change it, any number may read it.
// Decoding allocates: GUI or worker threads, never the audio thread.

#include "gui/MGuiTypes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/// Size bookkeeping shared by MBitmap and MAlphaMask.
class MBaseBitmap
{
public:
  static constexpr std::int32_t kMaxSide = 16384;
  static constexpr std::int64_t kMaxPixels = std::int64_t(1) << 26; // 64 Mi pixels (256 MiB)

  std::int32_t Width() const noexcept { return m_width; }
  std::int32_t Height() const noexcept { return m_height; }
  MSize Size() const noexcept { return MSize{m_width, m_height}; }
  MRect Bounds() const noexcept { return MRect{0, 0, m_width, m_height}; }
  bool IsEmpty() const noexcept { return m_width <= 0 || m_height <= 0; }

  /// Throws the size message unless 0 <= width, height <= kMaxSide and width × height <= kMaxPixels.
  static void CheckSize(std::int64_t width, std::int64_t height);

protected:
  MBaseBitmap() = default;
  ~MBaseBitmap() = default;
  MBaseBitmap(const MBaseBitmap&) = default;
  MBaseBitmap& operator=(const MBaseBitmap&) = default;

  std::int32_t m_width = 0;
  std::int32_t m_height = 0;
};

class MBitmap : public MBaseBitmap
{
public:
  /// An empty bitmap (0 × 0).
  MBitmap() = default;
  /// A bitmap of the given size, every pixel 0 (transparent black). Throws the size message.
  MBitmap(std::int32_t width, std::int32_t height);

  /// Changes the size; the pixels become 0 (transparent black). Keeps its storage when it is big
  /// enough, so a window surface that resizes back and forth does not reallocate. Throws the
  /// size message (the bitmap stays as it was).
  void Resize(std::int32_t width, std::int32_t height);
  /// Every pixel set to `color`.
  void Fill(MColor color) noexcept;
  /// Every pixel set to 0 (transparent black).
  void Clear() noexcept;

  /// Row `y` (0 <= y < Height(); not checked): Width() pixels.
  std::uint32_t* Row(std::int32_t y) noexcept
  {
    return m_pixels.data() + std::size_t(y) * std::size_t(m_width);
  }
  const std::uint32_t* Row(std::int32_t y) const noexcept
  {
    return m_pixels.data() + std::size_t(y) * std::size_t(m_width);
  }
  std::uint32_t* Pixels() noexcept { return m_pixels.data(); }
  const std::uint32_t* Pixels() const noexcept { return m_pixels.data(); }

  /// Checked pixel access: 0 outside the bitmap; writes outside are ignored.
  std::uint32_t GetPixel(std::int32_t x, std::int32_t y) const noexcept;
  void SetPixel(std::int32_t x, std::int32_t y, std::uint32_t argb) noexcept;
  MColor GetColor(std::int32_t x, std::int32_t y) const noexcept { return MColor::FromARGB(GetPixel(x, y)); }

  // --- PNG (gui/MPng.cpp) ---------------------------------------------------------------------
  /// Decodes a PNG held in memory. Throws the PNG messages above.
  static MBitmap LoadPNG(const void* data, std::size_t size);
  /// Reads and decodes a PNG file (UTF-8 name on POSIX). Throws the file or PNG messages.
  static MBitmap LoadPNGFile(const MString& fileName);
  /// Encodes as 8-bit RGBA PNG. Throws "Empty image cannot be saved to PNG." for an empty bitmap.
  std::vector<std::uint8_t> SavePNG() const;
  void SavePNGFile(const MString& fileName) const;

  friend bool operator==(const MBitmap& a, const MBitmap& b) noexcept
  {
    return a.m_width == b.m_width && a.m_height == b.m_height &&
           std::equal(a.m_pixels.begin(), a.m_pixels.begin() + std::ptrdiff_t(a.m_width) * a.m_height,
                      b.m_pixels.begin());
  }

private:
  std::vector<std::uint32_t> m_pixels;
};

/// An 8-bit coverage image (0 = transparent, 255 = opaque), the shape of an icon or glyph run
/// that the drawer fills with one colour. Same size rules as MBitmap.
class MAlphaMask : public MBaseBitmap
{
public:
  MAlphaMask() = default;
  /// A mask of the given size, every value 0. Throws the size message.
  MAlphaMask(std::int32_t width, std::int32_t height);
  void Resize(std::int32_t width, std::int32_t height);
  void Fill(std::uint8_t value) noexcept;

  std::uint8_t* Row(std::int32_t y) noexcept
  {
    return m_values.data() + std::size_t(y) * std::size_t(m_width);
  }
  const std::uint8_t* Row(std::int32_t y) const noexcept
  {
    return m_values.data() + std::size_t(y) * std::size_t(m_width);
  }
  /// 0 outside the mask.
  std::uint8_t Get(std::int32_t x, std::int32_t y) const noexcept;

  /// The alpha channel of `bitmap`.
  static MAlphaMask FromAlpha(const MBitmap& bitmap);

private:
  std::vector<std::uint8_t> m_values;
};
