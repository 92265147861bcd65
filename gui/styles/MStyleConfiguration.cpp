#include "gui/styles/MStyleConfiguration.h"

#include "base/MException.h"
#include "base/MXmlItem.h"

#include <cmath>

namespace
{
struct ColorField
{
  const char* name;
  MColor MBaseStyleConfiguration::*field;
};

constexpr ColorField kColorFields[] = {
    {"background", &MBaseStyleConfiguration::background},
    {"surface", &MBaseStyleConfiguration::surface},
    {"raised", &MBaseStyleConfiguration::raised},
    {"sunken", &MBaseStyleConfiguration::sunken},
    {"border", &MBaseStyleConfiguration::border},
    {"text", &MBaseStyleConfiguration::text},
    {"textdisabled", &MBaseStyleConfiguration::textDisabled},
    {"accent", &MBaseStyleConfiguration::accent},
    {"accenttext", &MBaseStyleConfiguration::accentText},
    {"red", &MBaseStyleConfiguration::red},
    {"green", &MBaseStyleConfiguration::green},
    {"blue", &MBaseStyleConfiguration::blue},
};

void LoadColor(const MXmlItem& item, const MString& name, MColor& color)
{
  if (!item.HasAttribute(name))
    return;
  try
  {
    color = MColor::Parse(item.GetAttribute());
  }
  catch (const MException&)
  {
    // A damaged entry keeps the previous colour: a settings file must never stop the editor.
  }
}

/// A number whose whole text is a finite decimal inside [low, high].
bool ParseNumber(const MString& text, double low, double high, double& value)
{
  const std::string narrow = text.ToNarrow();
  if (narrow.empty())
    return false;
  char* end = nullptr;
  const double parsed = std::strtod(narrow.c_str(), &end);
  if (end != narrow.c_str() + narrow.size() || !std::isfinite(parsed) || parsed < low || parsed > high)
    return false;
  value = parsed;
  return true;
}

void LoadNumber(const MXmlItem& item, const MString& name, double low, double high, double& value)
{
  if (item.HasAttribute(name))
    ParseNumber(item.GetAttribute(), low, high, value);
}
} // namespace

MBaseStyleConfiguration::MBaseStyleConfiguration() = default;

MBaseStyleConfiguration MBaseStyleConfiguration::Dark()
{
  return MBaseStyleConfiguration();
}

MBaseStyleConfiguration MBaseStyleConfiguration::Light()
{
  MBaseStyleConfiguration c;
  c.background = MColor{0xC9, 0xCD, 0xD2, 0xFF};
  c.surface = MColor{0xD8, 0xDB, 0xDF, 0xFF};
  c.raised = MColor{0xEE, 0xF0, 0xF2, 0xFF};
  c.sunken = MColor{0xF8, 0xF9, 0xFA, 0xFF};
  c.border = MColor{0x8C, 0x93, 0x9C, 0xFF};
  c.text = MColor{0x1C, 0x20, 0x26, 0xFF};
  c.textDisabled = MColor{0x7A, 0x80, 0x88, 0xFF};
  c.accent = MColor{0x2A, 0x78, 0xD6, 0xFF};
  c.accentText = MColor{0xFF, 0xFF, 0xFF, 0xFF};
  c.red = MColor{0xD0, 0x35, 0x3A, 0xFF};
  c.green = MColor{0x2E, 0x9E, 0x4F, 0xFF};
  c.blue = MColor{0x2A, 0x78, 0xD6, 0xFF};
  return c;
}

bool MBaseStyleConfiguration::IsLight() const
{
  return int(surface.r) + surface.g + surface.b > 3 * 128;
}

bool MBaseStyleConfiguration::SetNamedColor(const MString& name, MColor color)
{
  for (const ColorField& field : kColorFields)
    if (name.EqualsName(MString::FromLiteral(field.name)))
    {
      this->*field.field = color;
      return true;
    }
  static constexpr ColorField kStdNames[] = {{"shape", &MBaseStyleConfiguration::raised},
                                             {"dark", &MBaseStyleConfiguration::sunken},
                                             {"highlight", &MBaseStyleConfiguration::accent}};
  for (const ColorField& field : kStdNames)
    if (name.EqualsName(MString::FromLiteral(field.name)))
    {
      this->*field.field = color;
      return true;
    }
  return false;
}

void MBaseStyleConfiguration::Load(const MXmlItem& item)
{
  for (const ColorField& field : kColorFields)
    LoadColor(item, MString::FromLiteral(field.name), this->*field.field);
  double size = fontSize;
  LoadNumber(item, "fontsize", 9, 20, size);
  fontSize = std::int32_t(std::lround(size));
}

void MBaseStyleConfiguration::Save(MXmlItem& item) const
{
  for (const ColorField& field : kColorFields)
    item.SetAttribute(MString::FromLiteral(field.name), (this->*field.field).ToText());
  item.SetAttribute("fontsize", MString::FromInteger(fontSize));
}

MTexturedStyleConfiguration::MTexturedStyleConfiguration()
{
  for (int i = 0; i < 4; ++i)
    mainColors[std::size_t(i)] = DefaultMainColor(i);
}

MTexturedStyleConfiguration MTexturedStyleConfiguration::Fresh()
{
  MTexturedStyleConfiguration configuration;
  configuration.style = MString::FromLiteral(kFreshStyle);
  return configuration;
}

MColor MTexturedStyleConfiguration::DefaultMainColor(int index)
{
  return MColor::Parse(MString::FromLiteral(kDefaultMainColors[index & 3]));
}

bool MTexturedStyleConfiguration::IsNeutral() const
{
  for (int i = 0; i < 4; ++i)
    if (mainColors[std::size_t(i)] != DefaultMainColor(i))
      return false;
  return contrast == 1.0 && brightness == 0.0 && saturation == 0.0 && multiplySaturation == 1.0;
}

void MTexturedStyleConfiguration::Load(const MXmlItem& item)
{
  MBaseStyleConfiguration::Load(item);
  if (item.HasAttribute("Style"))
    style = item.GetAttribute();
  static constexpr const char* kMainColorNames[4] = {"maincolor0", "maincolor1", "maincolor2", "maincolor3"};
  for (std::size_t i = 0; i < 4; ++i)
    LoadColor(item, MString::FromLiteral(kMainColorNames[i]), mainColors[i]);
  LoadNumber(item, "changecontrast", 0, 4, contrast);
  LoadNumber(item, "changebrightness", -1, 1, brightness);
  LoadNumber(item, "changesaturation", -1, 1, saturation);
  LoadNumber(item, "multiplysaturation", 0, 4, multiplySaturation);
}

void MTexturedStyleConfiguration::Save(MXmlItem& item) const
{
  MBaseStyleConfiguration::Save(item);
  item.SetAttribute("Style", style);
  static constexpr const char* kMainColorNames[4] = {"maincolor0", "maincolor1", "maincolor2", "maincolor3"};
  for (std::size_t i = 0; i < 4; ++i)
    item.SetAttribute(MString::FromLiteral(kMainColorNames[i]), mainColors[i].ToText());
  item.SetAttribute("changecontrast", MString::FromDouble(contrast, 10));
  item.SetAttribute("changebrightness", MString::FromDouble(brightness, 10));
  item.SetAttribute("changesaturation", MString::FromDouble(saturation, 10));
  item.SetAttribute("multiplysaturation", MString::FromDouble(multiplySaturation, 10));
}
