#pragma once
// The user-settable part of a style: MBaseStyleConfiguration (the palette and text size the base
// style draws with) and MTexturedStyleConfiguration (adds the style name, the four main colours
// that tint the package bitmaps and the contrast / brightness / saturation adjustments).
//
// Both are plain values for now; the configuration panel that edits them and the preset manager
// that stores them use Load/Save on an MXmlItem.
//
// Attribute names (colours as "RRGGBBAA"):
//   base:     "background", "surface", "raised", "sunken", "border", "text", "textdisabled",
//             "accent", "accenttext", "red", "green", "blue", "fontsize" (pixels of the normal
//             font, 9 .. 20)
//   textured: "Style", "maincolor0" .. "maincolor3", "changecontrast" (0 .. 4, default 1),
//             "changebrightness" (-1 .. 1, default 0), "changesaturation" (-1 .. 1, default 0),
//             "multiplysaturation" (0 .. 4, default 1)
// Loading: a missing, malformed or out-of-range value keeps the value the configuration had
// before the call (so loading into a default configuration keeps the defaults). Never throws for
// bad values. Saving writes every attribute. Threads: GUI thread (or any, for a private copy).

#include "gui/MGuiTypes.h"

#include <array>
#include <cstdint>

class MXmlItem;

class MBaseStyleConfiguration
{
public:
  /// The dark palette (charcoal surfaces, amber accent).
  MBaseStyleConfiguration();
  virtual ~MBaseStyleConfiguration() = default;
  MBaseStyleConfiguration(const MBaseStyleConfiguration&) = default;
  MBaseStyleConfiguration& operator=(const MBaseStyleConfiguration&) = default;

  /// The dark palette of the style "Default".
  static MBaseStyleConfiguration Dark();
  /// The light palette of the style "Silver" (brushed grey, blue accent).
  static MBaseStyleConfiguration Light();

  virtual void Load(const MXmlItem& item);
  virtual void Save(MXmlItem& item) const;

  MColor background{0x1E, 0x21, 0x26, 0xFF}; ///< window background
  MColor surface{0x25, 0x29, 0x2F, 0xFF};    ///< panels
  MColor raised{0x33, 0x38, 0x40, 0xFF};     ///< buttons, knob bodies, thumbs
  MColor sunken{0x15, 0x17, 0x1B, 0xFF};     ///< edit fields, lists, grooves
  MColor border{0x0D, 0x0F, 0x12, 0xFF};     ///< outer frames
  MColor text{0xE4, 0xE7, 0xEB, 0xFF};
  MColor textDisabled{0x80, 0x87, 0x91, 0xFF};
  MColor accent{0xF2, 0xA2, 0x3A, 0xFF};     ///< value arcs, selection, focus ring
  MColor accentText{0x1A, 0x1C, 0x20, 0xFF}; ///< text on the accent colour
  MColor red{0xE5, 0x48, 0x4D, 0xFF};
  MColor green{0x4C, 0xC3, 0x6A, 0xFF};
  MColor blue{0x4A, 0x9B, 0xE8, 0xFF};
  std::int32_t fontSize = 13;

  /// True for palettes whose surfaces are light (the highlights and shadows flip).
  bool IsLight() const;
  /// Sets the colour of a palette attribute name ("surface", "accent", ...) or an MStdColor name
  /// ("shape" = raised, "dark" = sunken, "highlight" = accent); false for any other name.
  bool SetNamedColor(const MString& name, MColor color);

  friend bool operator==(const MBaseStyleConfiguration&, const MBaseStyleConfiguration&) = default;
};

class MTexturedStyleConfiguration : public MBaseStyleConfiguration
{
public:
  static constexpr const char* kDefaultMainColors[4] = {"AEDCF8D8", "F10A0FFF", "E7819BF3", "E33012FF"};
  /// Name written into a configuration created fresh (no configuration could be loaded).
  static constexpr const char* kFreshStyle = "Silver";

  MTexturedStyleConfiguration();

  /// The item written when no configuration could be loaded: the defaults with "Style" = "Silver".
  static MTexturedStyleConfiguration Fresh();
  /// The main colour defaults as colours.
  static MColor DefaultMainColor(int index);

  void Load(const MXmlItem& item) override;
  void Save(MXmlItem& item) const override;

  /// Selected style; empty selects the package's default style.
  MString style;
  std::array<MColor, 4> mainColors;
  double contrast = 1.0;
  double brightness = 0.0;
  double saturation = 0.0;
  double multiplySaturation = 1.0;

  /// Whether the tint and the adjustments leave every pixel unchanged.
  bool IsNeutral() const;

  friend bool operator==(const MTexturedStyleConfiguration&, const MTexturedStyleConfiguration&) = default;
};
