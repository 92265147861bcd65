// Fonts and PNG in a build without the editor (TONVERA_EDITOR OFF, gui/draw.cmake): the font
// engine and the PNG codec are not linked, so every entry answers the failure its callers
// already handle when the library cannot start.

#include "base/MException.h"
#include "gui/MBitmap.h"
#include "gui/MFont.h"

namespace
{
constexpr const char* kFontMessage = "Could not initialize the font engine.";
constexpr const char* kPngMessage = "Could not initialize libpng.";
} // namespace

struct MFont::Impl
{};

MFont::MFont(const MFontDescriptor& descriptor) : MFontDescriptor(descriptor)
{
  throw MException(kFontMessage);
}

MFont::~MFont() = default;

// A font is never constructed here; the members below exist for the linker only.
const MFont::Glyph& MFont::GetGlyph(char32_t /*codePoint*/) const
{
  throw MException(kFontMessage);
}

std::size_t MFont::CachedGlyphCount() const
{
  return 0;
}

std::uint64_t MFont::RasterisedGlyphCount() const
{
  return 0;
}

std::int32_t MFont::Layout(const MString& /*text*/, std::vector<PlacedGlyph>& out) const
{
  out.clear();
  return 0;
}

std::int32_t MFont::TextWidth(const MString& /*text*/) const
{
  return 0;
}

MBitmap MBitmap::LoadPNG(const void* /*data*/, std::size_t /*size*/)
{
  throw MException(kPngMessage);
}

MBitmap MBitmap::LoadPNGFile(const MString& /*fileName*/)
{
  throw MException(kPngMessage);
}

std::vector<std::uint8_t> MBitmap::SavePNG() const
{
  throw MException(kPngMessage);
}

void MBitmap::SavePNGFile(const MString& /*fileName*/) const
{
  throw MException(kPngMessage);
}
