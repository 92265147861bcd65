#pragma once
// MStyleDefinition: one style of the style package, read from its definition XML.
//
// Document shape (attribute names fold ASCII case, so "Focusedalpha" and "focusedalpha" are one):
//   <style bitmap= colors= disabledalpha= focusedalpha= highlightedalpha= clickedalpha=>
//     <fonts><font name="normal" (or id="0") face= width= height= italic= bold= align=
//            spacebetweenchars=/> ...</fonts>
//     <cursor name="arrow"/> ...   (the cursors the style offers for dragging)
//     <button normal= normalalpha= focused= Focusedalpha= hl= HLalpha= ... borderx= bordery= .../>
//     ... one element per control type (kElementNames)
//   </style>
// Value forms:
//   colours          "RRGGBBAA"
//   alphas           0 .. 255 (opacity of a state image; a state without its own alpha uses the
//                    element's "alpha", which defaults to the global state alpha: "focusedalpha",
//                    "highlightedalpha", "clickedalpha", "disabledalpha", or 255)
//   booleans         "0"/"1", "false"/"true"
//   "colors"         "name:RRGGBBAA" pairs separated by commas; names are the palette attributes
//                    of MBaseStyleConfiguration ("surface", "accent", ...) and the MStdColor names
//   images           entry names relative to the definition's folder
//   "baseangle"      degrees from 12 o'clock to the knob's start position (default 135, i.e. the
//                    range runs from -135° to +135°); "selectorratio" = distance of the knob's
//                    selector image from the centre as a fraction of the radius (default 0.62)
//   "captiontextop"  an MColorOp name; "captionfont" an MStdFont name; "align" an MAlignment name
// Caption keys may stand on the element itself (all caption sizes) and on its sub-elements
// "smallcaption", "normalcaption", "largecaption" (that size only, overriding).
//
// Failure: Read throws MException `Invalid value "{1}" for "{0}" in the style definition.` for a
// value of the wrong form, and the enumeration parsers' messages for unknown names. Unknown
// attributes and elements are ignored (newer packages may add keys), and so are the keys older
// packages carry that no control draws (iconcolor, defaultcontrolsizes, valuebutton, linecolor,
// vimage, cursor hot spots and the like): their values are not even checked.

#include "gui/MGuiTypes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

class MXmlItem;

/// A caption of a control-type element for one caption size (MTexturedStyle::ControlCaptionInstance).
struct MStyleCaption
{
  MString image;                          ///< "image" on a caption sub-element
  std::optional<MColor> textColor;        ///< "captiontextcolor"
  MColorOp textOp = MColorOp::Alphablend; ///< "captiontextop"
  std::optional<MStdFont> font;           ///< "captionfont"
  std::int32_t height = -1;               ///< "captionheight" (-1: the base style's height)
  std::int32_t topBorder = 0;             ///< "topborder": rows of the image above the caption text
  std::int32_t imageHeight = -1;          ///< "captionimageheight" (-1: the caption height)
  std::int32_t contentTopBorder = -1;     ///< "contenttopborder" .. (-1: the base style's insets)
  std::int32_t contentBottomBorder = -1;
  std::int32_t contentLeftBorder = -1;
  std::int32_t contentRightBorder = -1;
  std::int32_t textOffset = 0;         ///< "captiontextoffset": pixels from the left edge
  bool backgroundUnderCaption = false; ///< "backgroundundercaption": body image also under the bar
  bool centerText = false;             ///< "centertext"
};

/// One control-type element: state images and every key of the element.
struct MStyleElement
{
  enum State : int
  {
    Normal,
    Focused,
    Highlighted,
    FocusedHighlighted,
    Clicked,
    ClickedHighlighted,
    Disabled,
    StateCount
  };
  static constexpr const char* kStateKeys[StateCount] = {"normal",  "focused",   "hl",      "focusedhl",
                                                         "clicked", "clickedhl", "disabled"};
  static constexpr const char* kStateAlphaKeys[StateCount] = {
      "normalalpha",  "Focusedalpha",   "HLalpha",      "FocusedHLalpha",
      "Clickedalpha", "ClickedHLalpha", "Disabledalpha"};

  bool present = false;
  std::array<MString, StateCount> images;
  std::array<std::int32_t, StateCount> alphas{-1, -1, -1, -1, -1, -1, -1};
  std::int32_t alpha = -1; ///< "alpha"
  std::int32_t borderX = 0, borderY = 0;
  std::int32_t contentOffsetX = 0, contentOffsetY = 0;

  MStyleCaption caption;                                    ///< caption keys on the element itself
  std::array<std::optional<MStyleCaption>, 3> captionSizes; ///< small, normal, large

  // Control-specific keys.
  MString image, grayed, off; ///< check boxes: on, grayed and off marks
  MString selector;           ///< knob/rotator/selector/tracker thumb image
  double baseAngle = 135.0;
  double selectorRatio = 0.62;
  MString locator;            ///< scroll-bar thumb
  MString item, selectedItem; ///< list, menu and tab rows
  std::int32_t contentMoveX = 0, contentMoveY = 0;
  std::int32_t hSpace = 0;

  /// The image of `state`, falling back along focused-highlighted → highlighted → normal and
  /// clicked-highlighted → clicked → normal; empty when the element has none.
  const MString& ImageFor(State state) const;
  /// Every image name the element refers to (for loading), without duplicates.
  std::vector<MString> AllImages() const;
};

struct MStyleFontEntry
{
  MStdFont id = MStdFont::Normal;
  MString face;
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool italic = false;
  bool bold = false;
  MAlignment align = MAlign::Center;
  std::int32_t spaceBetweenChars = 0;
};

struct MStyleCursorEntry
{
  MStdCursor id = MStdCursor::Arrow;
};

class MStyleDefinition
{
public:
  static constexpr int kElementCount = 24;
  static constexpr const char* kElementNames[kElementCount] = {
      "window",     "panel",       "control",         "static",      "edit",        "menu",
      "menubar",    "button",      "captionbutton",   "checkbox",    "radiobutton", "tracker",
      "rotator",    "progressbar", "selector",        "valuebutton", "knob",        "hscrollbar",
      "vscrollbar", "tabset",      "controlcheckbox", "listcontrol", "treecontrol", "splitter"};

  /// Index into kElementNames of the element that draws `type`, or -1 (Empty, NoBackground).
  static int ElementIndexOf(MControlType type);

  /// Reads a definition document (the root element is the style). Throws as described above.
  void Read(const MXmlItem& root);

  const MStyleElement& Element(int index) const { return m_elements[std::size_t(index)]; }
  /// The element drawing `type`, or nullptr when the definition has none.
  const MStyleElement* ElementFor(MControlType type) const;

  // Global keys.
  MString bitmap; ///< background bitmap of windows (packed, not drawn)
  std::vector<std::pair<MString, MColor>> colors;
  std::int32_t disabledAlpha = 255, focusedAlpha = 255, highlightedAlpha = 255, clickedAlpha = 255;
  std::array<std::optional<MStyleFontEntry>, kStdFontCount> fonts;
  std::vector<MStyleCursorEntry> cursors;

private:
  std::array<MStyleElement, kElementCount> m_elements;
};
