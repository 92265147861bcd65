#pragma once
// MTexturedStyle: draws controls from the state images of a style in the style package
// ("mstyle.mrf", embedded as the resource "mstyle"; container: MStylePackage.h, definition keys:
// MStyleDefinition.h), recoloured by the configuration's tint (pixel rules: MStyleTint.h).
//
// Selecting the style: the package index lists the styles; the configuration's "Style" names
// one, an empty name selects the index's default ("Default"), and a name the package does not
// hold falls back to that default too (an old settings file must not stop the editor).
//
// Drawing a control: the element of its type supplies the image of the current state (normal,
// focused, hl, focusedhl, clicked, clickedhl, disabled, with the fallbacks of
// MStyleElement::ImageFor) drawn with MDrawer::DrawBordered ("borderx"/"bordery" stay unscaled,
// the centre stretches) at the state's opacity: the state's own alpha key, else the element's
// "alpha", else the global "focusedalpha" / "highlightedalpha" / "clickedalpha" /
// "disabledalpha". Where the image goes, per type:
//   most types     the control's body (below the caption bar), offset by contentoffsetx/y
//   checkbox       the box; then "image" (On), "grayed" (Grayed) or "off" (Off) over it
//   knob           the body disc; the value ring is drawn in the accent colour, then the
//                  "selector" image is centred at selectorratio × radius on the value's angle,
//                  "baseangle" degrees either side of 12 o'clock
//   rotator        the whole disc, then "selector" as for knobs (a full turn)
//   tracker        the thumb (the groove is drawn in the palette's colours)
//   scroll bars    the track; "locator" is the thumb
//   progressbar    the track; "image" is the fill
//   selector       (switchers) the track; "selector" is the thumb
//   captions       the caption image of the caption size ("smallcaption" ...) across the bar; the
//                  text combines with it by "captiontextop" (Alphablend: drawn over it)
//   rows           "item" under the row under the mouse, "selecteditem" under the selected row
//                  (row images keep 4 px of each edge unscaled whatever the element's borders)
// Fonts come from the definition's "fonts" entries (face, height, bold, italic,
// spacebetweenchars); a missing entry keeps the base style's font. Check boxes put "hspace"
// pixels between box and label; pressed controls move their content by "contentmovex/y".
// Only those images are decoded and tinted: the elements no control type is drawn with
// ("radiobutton", "valuebutton", "controlcheckbox", "splitter") and the keys no painter reads
// ("valuebutton" of knobs, "selectoroverlay", "iconon"/"iconoff"/"icongrayed", the global
// "bitmap") stay in the definition unread, so a package may name files it does not hold there.
// Anything the style lacks (an element, an image) is drawn by MBaseStyle with the palette made
// from the definition's "colors" (tinted as well), so a partial package still draws everything.
//
// Failure: the constructors and LoadConfiguration throw MException "No style definition has been
// found." (no package, no index, or a style without its definition), "No styles are available.
// Please reinstall the software." (an index listing no style), and the package, definition and
// PNG messages for damaged data. Painting never throws.
// Threads: GUI thread only.

#include "gui/MBitmap.h"
#include "gui/styles/MBaseStyle.h"
#include "gui/styles/MStyleDefinition.h"
#include "gui/styles/MStylePackage.h"
#include "gui/styles/MStyleTint.h"

#include <compare>
#include <map>
#include <span>
#include <string>
#include <vector>

class MTexturedStyle : public MBaseStyle
{
public:
  static constexpr const char* kMessageNoDefinition = "No style definition has been found.";
  static constexpr const char* kMessageNoStyles = "No styles are available. Please reinstall the software.";

  /// The caption of one control type and caption size.
  using ControlCaptionInstance = MStyleCaption;
  /// A button placed in a caption bar (close, help ...): what it is and where it sits, in the
  /// control's coordinates. Laid out by CaptionButtons.
  struct SpecialCaptionButtonTag
  {
    MString tag; ///< "close", "help", ...
    MRect rect;
  };

  /// Loads the style the configuration names from the embedded package.
  explicit MTexturedStyle(const MTexturedStyleConfiguration& configuration = MTexturedStyleConfiguration());
  /// Loads from a package given as bytes (tests and tools).
  MTexturedStyle(std::span<const std::uint8_t> package, const MTexturedStyleConfiguration& configuration);
  ~MTexturedStyle() override;

  /// The styles a package lists, in index order, and its default. Throw as described above.
  static std::vector<MString> ListStyles(const MStylePackage& package);
  static MString DefaultStyle(const MStylePackage& package);

  /// Reads the configuration (MTexturedStyleConfiguration attributes); switches the style when
  /// "Style" changed and re-tints. On a failure the previous style stays in use and the
  /// exception propagates.
  void LoadConfiguration(const MXmlItem& item) override;
  void SaveConfiguration(MXmlItem& item) const override;
  const MTexturedStyleConfiguration& GetConfiguration() const { return m_configuration; }
  /// `wanted` when the definition lists a cursor of that shape, else the hand (Link).
  MStdCursor GetDragCursor(MStdCursor wanted) const override;
  void SetConfiguration(const MTexturedStyleConfiguration& configuration);

  const MStyleDefinition& GetDefinition() const { return m_definition; }
  /// The caption record of a type and size, or nullptr when the element has none.
  const ControlCaptionInstance* GetCaption(MControlType type, MCaptionType captionType) const;
  /// Caption buttons of a bar (right-aligned squares, `tags` from right to left).
  std::vector<SpecialCaptionButtonTag> CaptionButtons(const MRect& bar, std::span<const MString> tags) const;
  /// The tinted image of an entry name (relative to the style's folder), or nullptr.
  const MBitmap* GetImage(const MString& name) const;

protected:
  std::int32_t CaptionHeightOf(MControlType type, MCaptionType captionType) const override;
  MRect InsetsOf(MControlType type, MCaptionType captionType) const override;
  void PaintBody(MDrawer& drawer, const MControlPaint& paint, const MRect& body) override;
  void PaintCaption(MDrawer& drawer, const MControlPaint& paint, const MRect& bar) override;
  void PaintIndicator(MDrawer& drawer, const MControlPaint& paint, const MRect& body) override;
  void PaintRow(MDrawer& drawer, const MRect& rect, const MControlPaint& paint) override;
  /// "contentmovex" / "contentmovey" of the type's element.
  MPoint PressedContentShift(MControlType type) const override;

private:
  /// Selects and loads the style `name` (empty = default) with `configuration`; commits only
  /// when everything loaded.
  void Load(const MTexturedStyleConfiguration& configuration);
  MStyleElement::State StateOf(const MControlPaint& paint) const;
  std::uint8_t AlphaOf(const MStyleElement& element, MStyleElement::State state) const;
  /// Draws `image` nine-sliced with the element's borders into `rect`; false when there is none.
  bool DrawImage(MDrawer& drawer, const MStyleElement& element, const MString& image, const MRect& rect,
                 std::uint8_t alpha) const;
  /// The same with explicit stretch borders.
  bool DrawImage(MDrawer& drawer, const MString& image, const MRect& rect, std::int32_t borderX,
                 std::int32_t borderY, std::uint8_t alpha) const;
  void DrawCentred(MDrawer& drawer, const MString& image, double cx, double cy, double size,
                   std::uint8_t alpha) const;

  /// `source` drawn nine-sliced (borders bx, by) at `size`, kept for the next paint: a window
  /// repaint then blits 1:1 instead of filtering every image again. Cleared when the style loads;
  /// bounded to kScaledCacheEntries images and kScaledCachePixels pixels in all (the least
  /// recently used half goes when a new image would pass either).
  const MBitmap& Scaled(const MBitmap& source, MSize size, std::int32_t bx, std::int32_t by) const;

  struct ScaledKey
  {
    const MBitmap* source;
    std::int32_t width, height, bx, by;
    friend auto operator<=>(const ScaledKey&, const ScaledKey&) = default;
  };
  static constexpr std::size_t kScaledCacheEntries = 256;
  static constexpr std::int64_t kScaledCachePixels = std::int64_t(1) << 23; // 32 MiB
  mutable std::map<ScaledKey, std::pair<std::uint64_t, MBitmap>> m_scaled;
  mutable std::uint64_t m_scaledClock = 0;
  mutable std::int64_t m_scaledPixels = 0;

  MStylePackage m_package;
  MTexturedStyleConfiguration m_configuration;
  MString m_folder;
  MStyleDefinition m_definition;
  std::map<std::string, MBitmap> m_images; ///< tinted, by entry name relative to the folder
};
