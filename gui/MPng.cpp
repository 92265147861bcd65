// PNG decoding and encoding of MBitmap through libpng.
//
// libpng reports errors by longjmp. A longjmp that skips a C++ frame with live destructors is
// undefined behaviour, so each libpng phase runs in a small function (ReadHeader, ReadPixels,
// WritePixels) that holds only plain locals, calls setjmp itself and answers false when libpng
// jumped back. Every C++ object (the bitmap, row pointers, the output vector, the guard that
// destroys libpng's structures) lives in the callers, which libpng's jump never crosses. Our I/O
// callbacks likewise keep their C++ work inside noexcept helpers and call png_error only with
// plain locals.

#include "gui/MBitmap.h"

#include "base/MException.h"
#include "base/MStdFileStream.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

namespace
{
constexpr const char* kInitMessage = "Could not initialize libpng.";
constexpr const char* kInfoMessage = "Could not initialize libpng info structure.";
constexpr const char* kLoadMessage = "Error loading a PNG file.";
constexpr const char* kPaletteMessage = "Error loading PNG palette.";
constexpr const char* kEmptyMessage = "Empty image cannot be saved to PNG.";

// Deflate cannot shrink data by more than about 1032:1, so an image whose raw rows exceed that
// multiple of the bytes left cannot be complete: refuse it before allocating its pixels.
constexpr std::uint64_t kMaxDeflateRatio = 1032;
// Largest PNG file read into memory, and largest ancillary chunk libpng may allocate.
constexpr std::int64_t kMaxFileBytes = std::int64_t(1) << 28;
constexpr png_alloc_size_t kMaxChunkBytes = 1u << 20;
// Ancillary chunks that are skipped, each a 4-letter type and a terminating zero.
constexpr png_byte kIgnoredChunks[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0"
                                      "sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";

// What libpng's last error was about (it reports by text only).
struct ErrorState
{
  bool palette = false;
};

[[noreturn]] void OnError(png_structp png, png_const_charp message)
{
  auto* state = static_cast<ErrorState*>(png_get_error_ptr(png));
  if (state != nullptr && message != nullptr &&
      (std::strstr(message, "PLTE") != nullptr || std::strstr(message, "palette") != nullptr))
  {
    state->palette = true; // a missing or malformed palette chunk
  }
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// --- reading ---------------------------------------------------------------------------------

struct ReadJob
{
  const png_byte* data = nullptr;
  std::size_t size = 0;
  std::size_t position = 0;
  // From the header.
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bitDepth = 0;
  int colorType = 0;
  int channels = 0;
  // Palette images: entries as 0xAARRGGBB.
  int paletteCount = 0;
  std::uint32_t palette[256] = {};
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count)
{
  auto* job = static_cast<ReadJob*>(png_get_io_ptr(png));
  if (count > job->size - job->position)
  {
    png_error(png, "truncated");
  }
  std::memcpy(out, job->data + job->position, count);
  job->position += count;
}

bool ReadHeader(png_structp png, png_infop info, ReadJob* job)
{
  if (setjmp(png_jmpbuf(png)))
  {
    return false;
  }
  png_set_user_limits(png, MBaseBitmap::kMaxSide, MBaseBitmap::kMaxSide);
  png_set_chunk_malloc_max(png, kMaxChunkBytes);
  // Only the image, its palette and transparency matter to us: skip the ancillary chunks
  // unread (text, colour profiles and the like), which keeps their decompression off the path.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, int(sizeof(kIgnoredChunks) / 5));
  png_set_read_fn(png, job, ReadFromMemory);
  png_read_info(png, info);
  int interlace = 0;
  png_get_IHDR(png, info, &job->width, &job->height, &job->bitDepth, &job->colorType, &interlace, nullptr,
               nullptr);
  job->channels = png_get_channels(png, info);
  return true;
}

// Sets up the transformations to 8-bit RGBA (or 8-bit palette indices), then reads every row.
bool ReadPixels(png_structp png, png_infop info, ReadJob* job, png_bytep* rows)
{
  if (setjmp(png_jmpbuf(png)))
  {
    return false;
  }
  if (job->colorType == PNG_COLOR_TYPE_PALETTE)
  {
    png_set_packing(png);
    png_colorp entries = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &entries, &count) == PNG_INFO_PLTE && count > 0 && count <= 256)
    {
      png_bytep alphas = nullptr;
      int alphaCount = 0;
      if (png_get_tRNS(png, info, &alphas, &alphaCount, nullptr) != PNG_INFO_tRNS)
      {
        alphaCount = 0;
      }
      for (int i = 0; i < count; ++i)
      {
        const std::uint32_t a = i < alphaCount ? alphas[i] : 255u;
        job->palette[i] = (a << 24) | (std::uint32_t(entries[i].red) << 16) |
                          (std::uint32_t(entries[i].green) << 8) | entries[i].blue;
      }
      job->paletteCount = count;
    }
  }
  else
  {
#ifdef PNG_READ_SCALE_16_TO_8_SUPPORTED
    png_set_scale_16(png);
#else
    png_set_strip_16(png);
#endif
    if (job->colorType == PNG_COLOR_TYPE_GRAY && job->bitDepth < 8)
    {
      png_set_expand_gray_1_2_4_to_8(png);
    }
    if (png_get_valid(png, info, PNG_INFO_tRNS))
    {
      png_set_tRNS_to_alpha(png);
    }
    if (job->colorType == PNG_COLOR_TYPE_GRAY || job->colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
    {
      png_set_gray_to_rgb(png);
    }
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  return true;
}

class ReadGuard
{
public:
  ReadGuard()
  {
    m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &m_errors, OnError, OnWarning);
    if (m_png == nullptr)
    {
      throw MException(kInitMessage);
    }
    m_info = png_create_info_struct(m_png);
    if (m_info == nullptr)
    {
      png_destroy_read_struct(&m_png, nullptr, nullptr);
      throw MException(kInfoMessage);
    }
  }
  ~ReadGuard() { png_destroy_read_struct(&m_png, &m_info, nullptr); }
  ReadGuard(const ReadGuard&) = delete;
  ReadGuard& operator=(const ReadGuard&) = delete;

  /// The message for a decoding failure that libpng reported.
  const char* FailureMessage() const noexcept { return m_errors.palette ? kPaletteMessage : kLoadMessage; }

  ErrorState m_errors;
  png_structp m_png = nullptr;
  png_infop m_info = nullptr;
};

// --- writing ---------------------------------------------------------------------------------

struct WriteJob
{
  std::vector<std::uint8_t>* out = nullptr;
  png_uint_32 width = 0;
  png_uint_32 height = 0;
};

bool Append(std::vector<std::uint8_t>& out, const png_byte* data, std::size_t count) noexcept
{
  try
  {
    out.insert(out.end(), data, data + count);
    return true;
  }
  catch (...)
  {
    return false;
  }
}

void WriteToVector(png_structp png, png_bytep data, png_size_t count)
{
  auto* job = static_cast<WriteJob*>(png_get_io_ptr(png));
  if (!Append(*job->out, data, count))
  {
    png_error(png, "out of memory");
  }
}

void FlushNothing(png_structp) {}

bool WritePixels(png_structp png, png_infop info, WriteJob* job, png_bytep* rows)
{
  if (setjmp(png_jmpbuf(png)))
  {
    return false;
  }
  png_set_write_fn(png, job, WriteToVector, FlushNothing);
  png_set_IHDR(png, info, job->width, job->height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

class WriteGuard
{
public:
  WriteGuard()
  {
    m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (m_png == nullptr)
    {
      throw MException(kInitMessage);
    }
    m_info = png_create_info_struct(m_png);
    if (m_info == nullptr)
    {
      png_destroy_write_struct(&m_png, nullptr);
      throw MException(kInfoMessage);
    }
  }
  ~WriteGuard() { png_destroy_write_struct(&m_png, &m_info); }
  WriteGuard(const WriteGuard&) = delete;
  WriteGuard& operator=(const WriteGuard&) = delete;

  png_structp m_png = nullptr;
  png_infop m_info = nullptr;
};
} // namespace

MBitmap MBitmap::LoadPNG(const void* data, std::size_t size)
{
  if (data == nullptr || size < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0)
  {
    throw MException(kLoadMessage);
  }
  ReadGuard guard;
  ReadJob job;
  job.data = static_cast<const png_byte*>(data);
  job.size = size;
  if (!ReadHeader(guard.m_png, guard.m_info, &job))
  {
    throw MException(MString::FromLiteral(guard.FailureMessage()));
  }
  const std::uint64_t width = job.width;
  const std::uint64_t height = job.height;
  const std::uint64_t rawBytes =
      ((width * std::uint64_t(job.channels) * std::uint64_t(job.bitDepth) + 7) / 8 + 1) * height;
  if (width == 0 || height == 0 || width > std::uint64_t(kMaxSide) || height > std::uint64_t(kMaxSide) ||
      width * height > std::uint64_t(kMaxPixels) ||
      rawBytes > std::uint64_t(size - job.position) * kMaxDeflateRatio + 4096)
  {
    throw MException(kLoadMessage);
  }

  MBitmap bitmap(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
  std::vector<png_bytep> rows(job.height);
  for (png_uint_32 y = 0; y < job.height; ++y)
  {
    rows[y] = reinterpret_cast<png_bytep>(bitmap.Row(std::int32_t(y)));
  }
  if (!ReadPixels(guard.m_png, guard.m_info, &job, rows.data()))
  {
    throw MException(MString::FromLiteral(guard.FailureMessage()));
  }

  // Each row holds RGBA bytes (or one index byte per pixel at its start); rewrite it into native
  // 0xAARRGGBB words, from the end backwards where the source is narrower than the result.
  const std::int32_t w = bitmap.Width();
  if (job.colorType == PNG_COLOR_TYPE_PALETTE)
  {
    if (job.paletteCount == 0)
    {
      throw MException(kPaletteMessage);
    }
    for (std::int32_t y = 0; y < bitmap.Height(); ++y)
    {
      std::uint32_t* row = bitmap.Row(y);
      const auto* indices = reinterpret_cast<const std::uint8_t*>(row);
      for (std::int32_t x = w - 1; x >= 0; --x)
      {
        const std::uint8_t index = indices[x];
        if (index >= job.paletteCount)
        {
          throw MException(kPaletteMessage);
        }
        row[x] = job.palette[index];
      }
    }
  }
  else
  {
    for (std::int32_t y = 0; y < bitmap.Height(); ++y)
    {
      std::uint32_t* row = bitmap.Row(y);
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(row);
      for (std::int32_t x = 0; x < w; ++x)
      {
        const std::uint8_t* p = bytes + 4 * x;
        const std::uint32_t pixel = (std::uint32_t(p[3]) << 24) | (std::uint32_t(p[0]) << 16) |
                                    (std::uint32_t(p[1]) << 8) | std::uint32_t(p[2]);
        row[x] = pixel;
      }
    }
  }
  return bitmap;
}

MBitmap MBitmap::LoadPNGFile(const MString& fileName)
{
  MStdFileStream file(fileName, MStdFileStream::Mode::Read);
  const std::int64_t size = file.GetSize();
  if (size < 0 || size > kMaxFileBytes)
  {
    throw MException(kLoadMessage);
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::size_t done = 0;
  while (done < bytes.size())
  {
    const std::size_t got = file.Read(bytes.data() + done, bytes.size() - done);
    if (got == 0)
    {
      break;
    }
    done += got;
  }
  return LoadPNG(bytes.data(), done);
}

std::vector<std::uint8_t> MBitmap::SavePNG() const
{
  if (IsEmpty())
  {
    throw MException(kEmptyMessage);
  }
  std::vector<std::uint8_t> rgba(std::size_t(m_width) * std::size_t(m_height) * 4);
  std::vector<png_bytep> rows(static_cast<std::size_t>(m_height));
  for (std::int32_t y = 0; y < m_height; ++y)
  {
    std::uint8_t* out = rgba.data() + std::size_t(y) * std::size_t(m_width) * 4;
    rows[std::size_t(y)] = out;
    const std::uint32_t* row = Row(y);
    for (std::int32_t x = 0; x < m_width; ++x, out += 4)
    {
      out[0] = std::uint8_t(row[x] >> 16);
      out[1] = std::uint8_t(row[x] >> 8);
      out[2] = std::uint8_t(row[x]);
      out[3] = std::uint8_t(row[x] >> 24);
    }
  }
  std::vector<std::uint8_t> encoded;
  WriteGuard guard;
  WriteJob job;
  job.out = &encoded;
  job.width = png_uint_32(m_width);
  job.height = png_uint_32(m_height);
  if (!WritePixels(guard.m_png, guard.m_info, &job, rows.data()))
  {
    throw std::bad_alloc(); // the only way our writer fails: the output could not grow
  }
  return encoded;
}

void MBitmap::SavePNGFile(const MString& fileName) const
{
  const std::vector<std::uint8_t> encoded = SavePNG();
  MStdFileStream file(fileName, MStdFileStream::Mode::Write);
  file.Write(encoded.data(), encoded.size());
  file.Close();
}
