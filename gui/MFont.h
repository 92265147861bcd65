#pragma once
// MFontDescriptor and MFont: text rasterised with FreeType from the typeface built into the
// library (DejaVu Sans regular and bold, embedded at build time; italics are the upright
// outlines slanted by 12 degrees, so every machine draws the same pixels and no font installed on
// the user's machine is ever read).
//
// Metrics are whole pixels: `pixelHeight` is the em size (what a type setter calls the font
// size); LineHeight() = Ascent() + Descent() is the height of one line of text, and a baseline
// sits Ascent() pixels below the top of a line. Glyphs are hinted lightly (vertical snapping
// only) and rendered as 8-bit coverage, which keeps 12-13 px text crisp without distorting
// letter shapes. Pen positions advance in 1/64 pixel and are rounded per glyph; kerning pairs
// of the face are applied.
//
// Text is UTF-16 (MString); a surrogate pair is one code point, a lone surrogate reads as
// U+FFFD, and control characters below U+0020 draw nothing and take no room.
//
// Threads: an MFont may be used from several threads; each font serialises its own glyph loads
// and cache with a mutex, and the one FreeType library of the process is created, shared and
// released under a process-wide lock (with the first and last font). The GUI thread is the only
// user in practice. Construction and first use of a glyph allocate; a warm cache does not.
//
// Glyph cache: each font keeps at most kMaxCachedGlyphs glyphs and kMaxCachedBytes of coverage;
// the least recently used glyph goes first (a text in many scripts cannot grow it without end).
//
// Failure: the constructor throws MException "Could not initialize the font engine." or
// "Could not load font {0}." (only if the embedded data were damaged); glyph lookups never throw
// except std::bad_alloc.

#include "gui/MGuiTypes.h"

#include <cstdint>
#include <memory>
#include <vector>

/// What a font looks like; styles keep one per MStdFont.
struct MFontDescriptor
{
  /// Typeface name. The built-in face answers to "DejaVu Sans" and is used for any other name too.
  MString face = "DejaVu Sans";
  /// Em size in pixels; MFont takes its magnitude (a negative height, as some style definitions
  /// write it, means the same size) clamped to 1..512.
  std::int32_t pixelHeight = 13;
  bool bold = false;
  bool italic = false;
  /// Extra pixels added after every character (may be negative).
  std::int32_t extraSpacing = 0;

  friend bool operator==(const MFontDescriptor&, const MFontDescriptor&) = default;
};

/// A font ready to measure and draw. The descriptor fields are read once by the constructor;
/// every drawing path takes `const MFont&`.
class MFont : public MFontDescriptor
{
public:
  /// One rasterised glyph: coverage rows (`width` bytes each) placed with its top-left corner at
  /// (pen x + left, baseline - top).
  struct Glyph
  {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t advance64 = 0;   ///< pen advance in 1/64 pixel (extra spacing included)
    std::uint32_t glyphIndex = 0; ///< the face's glyph index (for kerning)
    std::int32_t lsbDelta = 0;    ///< hinting's shift of the left side (1/64 pixel)
    std::int32_t rsbDelta = 0;    ///< ... and of the right side
    std::vector<std::uint8_t> coverage;
  };

  /// Where one glyph of a text goes: pen position relative to the start of the text.
  struct PlacedGlyph
  {
    const Glyph* glyph = nullptr;
    std::int32_t x = 0;                 ///< pen x in pixels from the text's start
    std::shared_ptr<const Glyph> owner; ///< keeps `glyph` alive after the cache dropped it
  };

  /// Bounds of each font's glyph cache (see the file comment).
  static constexpr std::size_t kMaxCachedGlyphs = 1024;
  static constexpr std::size_t kMaxCachedBytes = std::size_t(16) << 20;

  explicit MFont(const MFontDescriptor& descriptor = MFontDescriptor{});
  ~MFont();
  MFont(const MFont&) = delete;
  MFont& operator=(const MFont&) = delete;

  std::int32_t Ascent() const noexcept { return m_ascent; }
  std::int32_t Descent() const noexcept { return m_descent; }
  std::int32_t LineHeight() const noexcept { return m_ascent + m_descent; }

  /// Advance width of `text` in pixels, kerning and extra spacing included.
  std::int32_t TextWidth(const MString& text) const;

  /// Lays `text` out in one line: appends one entry per drawn glyph to `out` (cleared first) and
  /// answers the total advance in pixels. The placed glyphs stay valid as long as `out` holds
  /// them, whatever the cache drops meanwhile.
  std::int32_t Layout(const MString& text, std::vector<PlacedGlyph>& out) const;

  /// The glyph of one code point (cached after the first call). The reference is valid until the
  /// font's next glyph lookup (any thread), which may drop it from the cache.
  const Glyph& GetGlyph(char32_t codePoint) const;

  /// Number of glyphs in the cache now (for tests of the cache).
  std::size_t CachedGlyphCount() const;
  /// Number of glyphs rasterised since construction, cache misses (for tests of the cache).
  std::uint64_t RasterisedGlyphCount() const;

private:
  struct Impl;
  template <typename Place>
  std::int32_t Walk(const MString& text, Place&& place) const;

  std::unique_ptr<Impl> m_impl;
  std::int32_t m_ascent = 0;
  std::int32_t m_descent = 0;
};
