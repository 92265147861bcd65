#pragma once
// MBaseStyle: the style that draws every control type with vector primitives in the colours of an
// MBaseStyleConfiguration (no bitmaps). It is the style of the window system when no style
// package is available, and the fallback of MTexturedStyle for whatever a package lacks.
//
// What PaintControl draws per MControlType (always inside paint.rect; the caption, when
// paint.captionType is not None, is a bar across the top of that rectangle):
//   Empty, NoBackground   nothing (NoBackground still draws a caption)
//   Window                the window background
//   Panel                 raised surface with a 1-px frame and rounded corners
//   Control, Static       Control fills the surface colour, Static is transparent
//   Button, CaptionButton rounded body with a top highlight; hover brightens, pressed darkens
//                         (a toggled button that is on is tinted with the accent)
//   CheckBox              a box at the left (check mark for On, a bar for Grayed); the client
//                         rectangle starts right of it, where PaintContent puts the label
//   Knob                  body, value track from the start angle (-135°, clockwise to +135°) and
//                         pointer; with value2 >= 0 the arc starts at value2 (bipolar)
//   Rotator               endless knob: body, ring and a marker at value × 360°
//   Tracker               slider, horizontal when wider than high (value 0 at the left, or at
//                         the bottom when vertical); the fill starts at value2 when it is set
//   Switcher              toggle track with a thumb at value (check On counts as value 1)
//   HScrollBar/VScrollBar track and a thumb from value to value + value2 (fractions of the track)
//   Edit                  sunken field; the frame turns to the accent when focused
//   ProgressBar           sunken track filled with the accent up to value
//   ListBox, TreeControl  sunken field with a frame (rows come from PaintContent)
//   TabSet                page surface under a strip of tabs (tabs come from PaintContent)
//   Menu, MenuBar         popup body with a frame / the bar (items come from PaintContent)
// Focus rings (accent) are drawn for focused controls; disabled controls draw at 40 % opacity.
//
// PaintContent draws text with paint.font and paint.textAlignment in the state's text colour. For
// the row types it paints one ROW or TAB: ListBox, TreeControl, Menu, MenuBar and TabSet take
// `rect` as the row (or tab) rectangle, paint.clicked as "selected" (accent background, or the
// active tab) and paint.highlighted as "under the mouse".
//
// Metrics (GetMetric): spacing 6, border 1, row height 20, scroll bar 12, knob 44, button height
// 24. Client rectangles: the caption bar (16 / 22 / 28 px for small / normal / large) comes off
// the top; framed types lose their frame and padding; GetControlSize is the exact inverse for any
// client size.
//
// Fonts: one MFont per MStdFont, DejaVu Sans: normal, bold and italic at the configured size
// (13 px by default), small at size - 3, large1..4 at size + 3, + 7, + 13, + 21.
//
// Threads: GUI thread only. Allocation: construction and SetConfiguration (fonts); painting only
// in the drawer's glyph cache.

#include "gui/MFont.h"
#include "gui/MStyle.h"
#include "gui/styles/MStyleConfiguration.h"

#include <array>
#include <memory>

class MBaseStyle : public MStyle
{
public:
  static constexpr double kKnobStartAngle = -2.35619449019234492885; ///< -135° in radians
  static constexpr double kKnobEndAngle = 2.35619449019234492885;    ///< +135°
  static constexpr std::uint8_t kDisabledAlpha = 102;                ///< 40 %

  explicit MBaseStyle(const MBaseStyleConfiguration& configuration = MBaseStyleConfiguration::Dark(),
                      const MString& name = "Base");
  ~MBaseStyle() override;

  MString GetName() const override { return m_name; }
  std::int32_t GetMetric(std::int32_t index) const override;
  MRect GetClientRect(MControlType type, MCaptionType captionType, MSize size) const override;
  MSize GetControlSize(MControlType type, MCaptionType captionType, MSize clientSize) const override;
  void PaintControl(MDrawer& drawer, const MControlPaint& paint) override;
  void PaintContent(MDrawer& drawer, const MRect& rect, const MControlPaint& paint) override;
  MColor GetColor(MStdColor color) const override;
  const MFont& GetFont(MStdFont font) const override;
  /// Reads the palette attributes of MBaseStyleConfiguration; re-creates the fonts when the size
  /// changed.
  void LoadConfiguration(const MXmlItem& item) override;
  void SaveConfiguration(MXmlItem& item) const override;

  const MBaseStyleConfiguration& GetPalette() const { return m_palette; }
  /// Replaces the palette (and the fonts when the size changed).
  void SetPalette(const MBaseStyleConfiguration& palette);

  /// Height of the caption bar of a caption type (0 for None).
  static std::int32_t CaptionHeight(MCaptionType captionType);
  /// Frame and padding between the outer rectangle (below the caption) and the client area:
  /// left, top, right, bottom.
  static MRect ContentInsets(MControlType type);
  /// Angle (radians, 0 = 12 o'clock, clockwise) of a knob at normalised position `value`.
  static double KnobAngle(double value);
  /// Geometry shared with MTexturedStyle: the square a knob or rotator occupies inside `client`,
  /// and the thumb of a tracker or scroll bar.
  static MRect KnobSquare(const MRect& client);
  static MRect TrackerThumb(const MRect& client, double value);
  static MRect ScrollThumb(const MRect& client, bool vertical, double value, double length);
  static MRect CheckBoxBox(const MRect& client);

protected:
  /// Colours of one paint in its state (hover, pressed, disabled already applied).
  struct Ink
  {
    MColor body;      ///< main fill of the control
    MColor bodyTop;   ///< top of the body gradient
    MColor frame;     ///< 1-px frame
    MColor highlight; ///< 1-px top highlight of raised parts
    MColor text;
    MColor accent;
    MColor sunken;
    std::uint8_t opacity = 255; ///< 255, or kDisabledAlpha when disabled
  };
  Ink MakeInk(const MControlPaint& paint) const;
  MColor Fade(MColor color, const Ink& ink) const { return color.WithAlpha(ink.opacity); }

  /// Caption bar height and content insets of a type; GetClientRect, GetControlSize and
  /// PaintControl all go through these, so a derived style changes the geometry in one place.
  virtual std::int32_t CaptionHeightOf(MControlType type, MCaptionType captionType) const;
  virtual MRect InsetsOf(MControlType type, MCaptionType captionType) const;

  /// The parts of PaintControl, each overridable (MTexturedStyle draws them from bitmaps and
  /// falls back here). `body` is paint.rect without the caption bar.
  virtual void PaintBody(MDrawer& drawer, const MControlPaint& paint, const MRect& body);
  virtual void PaintCaption(MDrawer& drawer, const MControlPaint& paint, const MRect& bar);
  /// Value parts drawn over the body: knob arc and pointer, tracker and switcher thumbs, scroll
  /// thumbs, progress fill, check marks.
  virtual void PaintIndicator(MDrawer& drawer, const MControlPaint& paint, const MRect& body);
  virtual void PaintFocus(MDrawer& drawer, const MControlPaint& paint, const MRect& body);

  /// Knob parts: the body disc when `bodyToo`, the value ring, and the pointer line when `pointer`.
  void PaintKnob(MDrawer& drawer, const MControlPaint& paint, const MRect& body, const Ink& ink, bool bodyToo,
                 bool pointer = true);
  /// One row or tab of the row types (see PaintContent).
  virtual void PaintRow(MDrawer& drawer, const MRect& rect, const MControlPaint& paint);
  /// Radius of a knob's body disc inside a knob square of radius `r` (the value ring is outside).
  static double KnobBodyRadius(double r);

  MBaseStyleConfiguration m_palette;
  MString m_name;
  /// Half the sweep of knobs in radians (the range runs from -sweep to +sweep).
  double m_knobHalfSweep = kKnobEndAngle;

  /// Descriptors of the eight standard fonts for a normal font of `size` pixels (see the top).
  static std::array<MFontDescriptor, kStdFontCount> DefaultFonts(std::int32_t size);
  /// Replaces the fonts; only those whose descriptor changed are created again.
  void SetFonts(const std::array<MFontDescriptor, kStdFontCount>& fonts);
  /// How far the content of a pressed control of `type` moves (buttons: one pixel down).
  virtual MPoint PressedContentShift(MControlType type) const;

private:
  void CreateFonts();

  std::array<std::unique_ptr<MFont>, kStdFontCount> m_fonts;
  std::array<MFontDescriptor, kStdFontCount> m_fontDescriptors;
  std::int32_t m_fontSize = 0;
};
