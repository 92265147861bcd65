#include "gui/MFont.h"

#include "base/MException.h"
#include "base/MFormat.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstddef>
#include <list>
#include <mutex>
#include <unordered_map>

// The typeface bytes, generated at build time by cmake/TonveraEmbedFile.cmake (gui/draw.cmake).
extern const unsigned char kFontDejaVuSans[];
extern const std::size_t kFontDejaVuSansSize;
extern const unsigned char kFontDejaVuSansBold[];
extern const std::size_t kFontDejaVuSansBoldSize;

namespace
{
// Slant of the synthesised italics: tan(12°) in 16.16 fixed point.
constexpr FT_Fixed kSlant = 0x0366A;
constexpr std::int32_t kMaxPixelHeight = 512;

// One FreeType library for the process, created with the first font and released with the last.
// FreeType requires creating and destroying faces of one library to be serialised; each face is
// then used under its own font's lock.
std::mutex& LibraryMutex()
{
  static std::mutex mutex;
  return mutex;
}
FT_Library g_library = nullptr;
int g_libraryUsers = 0;

FT_Face OpenFace(bool bold, std::int32_t pixelHeight, const MString& faceName)
{
  const std::lock_guard lock(LibraryMutex());
  if (g_library == nullptr)
  {
    if (FT_Init_FreeType(&g_library) != 0)
    {
      g_library = nullptr;
      throw MException("Could not initialize the font engine.");
    }
  }
  FT_Face face = nullptr;
  const unsigned char* data = bold ? kFontDejaVuSansBold : kFontDejaVuSans;
  const std::size_t size = bold ? kFontDejaVuSansBoldSize : kFontDejaVuSansSize;
  if (FT_New_Memory_Face(g_library, data, FT_Long(size), 0, &face) != 0 ||
      FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelHeight)) != 0)
  {
    if (face != nullptr)
    {
      FT_Done_Face(face);
    }
    if (g_libraryUsers == 0)
    {
      FT_Done_FreeType(g_library);
      g_library = nullptr;
    }
    throw MException(MFormat::Format("Could not load font {0}.", faceName));
  }
  ++g_libraryUsers;
  return face;
}

void CloseFace(FT_Face face) noexcept
{
  const std::lock_guard lock(LibraryMutex());
  FT_Done_Face(face);
  if (--g_libraryUsers == 0)
  {
    FT_Done_FreeType(g_library);
    g_library = nullptr;
  }
}

/// Next code point of `text` from `index` (advanced past it); lone surrogates read as U+FFFD.
char32_t NextCodePoint(const MString& text, std::int32_t& index) noexcept
{
  const char16_t unit = text.At(index++);
  if (unit >= 0xD800 && unit <= 0xDBFF)
  {
    const char16_t low = text.At(index);
    if (index < text.Length() && low >= 0xDC00 && low <= 0xDFFF)
    {
      ++index;
      return 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(low) - 0xDC00);
    }
    return 0xFFFD;
  }
  if (unit >= 0xDC00 && unit <= 0xDFFF)
  {
    return 0xFFFD;
  }
  return unit;
}
} // namespace

struct MFont::Impl
{
  std::mutex mutex;
  FT_Face face = nullptr;
  bool italic = false;
  bool kerning = false;
  std::int32_t extraSpacing64 = 0;
  // The glyph cache: least recently used first out once it holds kMaxCachedGlyphs glyphs or
  // kMaxCachedBytes of coverage. Glyphs are shared, so a layout keeps the ones it placed alive.
  struct Entry
  {
    std::shared_ptr<const Glyph> glyph;
    std::list<char32_t>::iterator age; // position in `ages`
  };
  std::unordered_map<char32_t, Entry> glyphs;
  std::list<char32_t> ages;        // most recently used first
  std::array<Entry*, 256> latin{}; // fast path for the common code points (nodes of `glyphs`)
  std::size_t coverageBytes = 0;   // coverage held by the cached glyphs
  std::uint64_t rasterised = 0;

  const std::shared_ptr<const Glyph>& Get(char32_t codePoint);
  void Rasterise(char32_t codePoint, Glyph& glyph);
  void Trim();
};

void MFont::Impl::Rasterise(char32_t codePoint, Glyph& glyph)
{
  glyph.advance64 = extraSpacing64;
  if (codePoint < 0x20)
  {
    glyph.advance64 = 0;
    return; // control characters take no room
  }
  glyph.glyphIndex = FT_Get_Char_Index(face, FT_ULong(codePoint));
  if (FT_Load_Glyph(face, glyph.glyphIndex, FT_LOAD_TARGET_LIGHT | FT_LOAD_NO_BITMAP) != 0)
  {
    return;
  }
  FT_GlyphSlot slot = face->glyph;
  if (italic && slot->format == FT_GLYPH_FORMAT_OUTLINE)
  {
    FT_Matrix shear{0x10000, kSlant, 0, 0x10000};
    FT_Outline_Transform(&slot->outline, &shear);
  }
  glyph.advance64 += std::int32_t(slot->advance.x);
  // Hinting moved the outline's sides; the layout compensates the spacing with these.
  glyph.lsbDelta = std::int32_t(slot->lsb_delta);
  glyph.rsbDelta = std::int32_t(slot->rsb_delta);
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
  {
    return;
  }
  const FT_Bitmap& bitmap = slot->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.width == 0 || bitmap.rows == 0)
  {
    return;
  }
  glyph.width = std::int32_t(bitmap.width);
  glyph.height = std::int32_t(bitmap.rows);
  glyph.left = slot->bitmap_left;
  glyph.top = slot->bitmap_top;
  glyph.coverage.resize(std::size_t(glyph.width) * std::size_t(glyph.height));
  for (std::int32_t y = 0; y < glyph.height; ++y)
  {
    const unsigned char* row = bitmap.pitch >= 0
                                   ? bitmap.buffer + std::ptrdiff_t(y) * bitmap.pitch
                                   : bitmap.buffer + std::ptrdiff_t(glyph.height - 1 - y) * -bitmap.pitch;
    std::copy_n(row, glyph.width, glyph.coverage.begin() + std::ptrdiff_t(y) * glyph.width);
  }
}

const std::shared_ptr<const MFont::Glyph>& MFont::Impl::Get(char32_t codePoint)
{
  Entry* entry = nullptr;
  if (codePoint < latin.size())
    entry = latin[codePoint];
  else if (const auto found = glyphs.find(codePoint); found != glyphs.end())
    entry = &found->second;
  if (entry != nullptr)
  {
    ages.splice(ages.begin(), ages, entry->age); // no allocation on a hit
    return entry->glyph;
  }
  auto glyph = std::make_shared<Glyph>();
  Rasterise(codePoint, *glyph);
  ++rasterised;
  coverageBytes += glyph->coverage.size();
  ages.push_front(codePoint);
  Entry& stored = glyphs.emplace(codePoint, Entry{std::move(glyph), ages.begin()}).first->second;
  if (codePoint < latin.size())
    latin[codePoint] = &stored;
  Trim();
  return stored.glyph;
}

void MFont::Impl::Trim()
{
  // The newest glyph (at the front) always stays.
  while (glyphs.size() > 1 && (glyphs.size() > kMaxCachedGlyphs || coverageBytes > kMaxCachedBytes))
  {
    const char32_t oldest = ages.back();
    const auto found = glyphs.find(oldest);
    coverageBytes -= found->second.glyph->coverage.size();
    if (oldest < latin.size())
      latin[oldest] = nullptr;
    glyphs.erase(found);
    ages.pop_back();
  }
}

MFont::MFont(const MFontDescriptor& descriptor)
    : MFontDescriptor(descriptor), m_impl(std::make_unique<Impl>())
{
  pixelHeight =
      std::clamp(pixelHeight == INT32_MIN ? kMaxPixelHeight : std::abs(pixelHeight), 1, kMaxPixelHeight);
  m_impl->face = OpenFace(bold, pixelHeight, face);
  m_impl->italic = italic;
  m_impl->kerning = FT_HAS_KERNING(m_impl->face);
  m_impl->extraSpacing64 = std::clamp(extraSpacing, -kMaxPixelHeight, kMaxPixelHeight) * 64;
  // Rounded from the unhinted design metrics: DejaVu Sans at 13 px gives 12 + 3 = 15 pixels a line.
  const FT_Size_Metrics& metrics = m_impl->face->size->metrics;
  m_ascent = std::int32_t(std::lround(double(FT_MulFix(m_impl->face->ascender, metrics.y_scale)) / 64.0));
  m_descent = std::int32_t(std::lround(double(-FT_MulFix(m_impl->face->descender, metrics.y_scale)) / 64.0));
}

MFont::~MFont()
{
  CloseFace(m_impl->face);
}

const MFont::Glyph& MFont::GetGlyph(char32_t codePoint) const
{
  const std::lock_guard lock(m_impl->mutex);
  return *m_impl->Get(codePoint);
}

std::size_t MFont::CachedGlyphCount() const
{
  const std::lock_guard lock(m_impl->mutex);
  return m_impl->glyphs.size();
}

std::uint64_t MFont::RasterisedGlyphCount() const
{
  const std::lock_guard lock(m_impl->mutex);
  return m_impl->rasterised;
}

template <typename Place>
std::int32_t MFont::Walk(const MString& text, Place&& place) const
{
  const std::lock_guard lock(m_impl->mutex);
  std::int64_t pen = 0;
  std::uint32_t previous = 0;
  std::int32_t previousRsb = 0;
  for (std::int32_t i = 0; i < text.Length();)
  {
    // Valid until the next Get (which may evict it); `place` runs before that.
    const std::shared_ptr<const Glyph>& shared = m_impl->Get(NextCodePoint(text, i));
    const Glyph& glyph = *shared;
    if (glyph.advance64 == 0 && glyph.width == 0)
    {
      continue;
    }
    if (previous != 0 && glyph.glyphIndex != 0)
    {
      if (m_impl->kerning)
      {
        FT_Vector kern{0, 0};
        if (FT_Get_Kerning(m_impl->face, previous, glyph.glyphIndex, FT_KERNING_UNFITTED, &kern) == 0)
        {
          pen += kern.x;
        }
      }
      if (previousRsb - glyph.lsbDelta > 32)
      {
        pen -= 64;
      }
      else if (previousRsb - glyph.lsbDelta < -31)
      {
        pen += 64;
      }
    }
    place(shared, std::int32_t((pen + 32) >> 6));
    pen += glyph.advance64;
    previous = glyph.glyphIndex;
    previousRsb = glyph.rsbDelta;
  }
  return std::int32_t(std::clamp<std::int64_t>((pen + 32) >> 6, 0, INT32_MAX));
}

std::int32_t MFont::Layout(const MString& text, std::vector<PlacedGlyph>& out) const
{
  out.clear();
  return Walk(text, [&out](const std::shared_ptr<const Glyph>& glyph, std::int32_t x) {
    out.push_back(PlacedGlyph{glyph.get(), x, glyph});
  });
}

std::int32_t MFont::TextWidth(const MString& text) const
{
  return Walk(text, [](const std::shared_ptr<const Glyph>&, std::int32_t) {});
}
