#pragma once
// Test helper: writes PNG files chunk by chunk (zlib for IDAT and CRCs), so that tests can build
// every colour type and damage any part of a file on purpose.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace MPngBuilder
{
using Bytes = std::vector<std::uint8_t>;

inline void Put32(Bytes& out, std::uint32_t v)
{
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(std::uint8_t(v >> shift));
}

inline void Chunk(Bytes& out, const char* type, const Bytes& data)
{
  Put32(out, std::uint32_t(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Put32(out, std::uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

inline Bytes Header(std::uint32_t width, std::uint32_t height, int bitDepth, int colorType, int interlace = 0)
{
  Bytes ihdr;
  Put32(ihdr, width);
  Put32(ihdr, height);
  ihdr.insert(ihdr.end(), {std::uint8_t(bitDepth), std::uint8_t(colorType), 0, 0, std::uint8_t(interlace)});
  return ihdr;
}

/// A whole file: IHDR, optional PLTE and tRNS, IDAT of `raw` (filter bytes included), IEND.
inline Bytes File(const Bytes& ihdr, const Bytes& raw, const Bytes& palette = {},
                  const Bytes& transparency = {})
{
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Chunk(out, "IHDR", ihdr);
  if (!palette.empty())
    Chunk(out, "PLTE", palette);
  if (!transparency.empty())
    Chunk(out, "tRNS", transparency);
  uLongf size = compressBound(uLong(raw.size()));
  Bytes packed(size);
  compress2(packed.data(), &size, raw.data(), uLong(raw.size()), 9);
  packed.resize(size);
  Chunk(out, "IDAT", packed);
  Chunk(out, "IEND", {});
  return out;
}
} // namespace MPngBuilder
