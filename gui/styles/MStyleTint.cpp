#include "gui/styles/MStyleTint.h"

#include "gui/MBitmap.h"

#include <algorithm>
#include <cmath>

namespace
{
struct Hsl
{
  double h = 0, s = 0, l = 0;
};

Hsl ToHsl(double r, double g, double b)
{
  const double hi = std::max({r, g, b}), lo = std::min({r, g, b});
  Hsl out;
  out.l = (hi + lo) / 2;
  const double d = hi - lo;
  if (d <= 1e-12)
    return out;
  out.s = out.l > 0.5 ? d / (2 - hi - lo) : d / (hi + lo);
  if (hi == r)
    out.h = (g - b) / d + (g < b ? 6 : 0);
  else if (hi == g)
    out.h = (b - r) / d + 2;
  else
    out.h = (r - g) / d + 4;
  out.h *= 60;
  return out;
}

double HueChannel(double p, double q, double t)
{
  if (t < 0)
    t += 1;
  if (t > 1)
    t -= 1;
  if (t < 1.0 / 6)
    return p + (q - p) * 6 * t;
  if (t < 0.5)
    return q;
  if (t < 2.0 / 3)
    return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

void FromHsl(const Hsl& c, double& r, double& g, double& b)
{
  if (c.s <= 1e-12)
  {
    r = g = b = c.l;
    return;
  }
  const double q = c.l < 0.5 ? c.l * (1 + c.s) : c.l + c.s - c.l * c.s;
  const double p = 2 * c.l - q;
  const double h = c.h / 360;
  r = HueChannel(p, q, h + 1.0 / 3);
  g = HueChannel(p, q, h);
  b = HueChannel(p, q, h - 1.0 / 3);
}

std::uint8_t ToByte(double v)
{
  return std::uint8_t(std::lround(std::clamp(v, 0.0, 255.0)));
}
} // namespace

MStyleTint::MStyleTint(const MTexturedStyleConfiguration& configuration)
{
  for (int i = 0; i < kSlotCount; ++i)
  {
    const MColor d = MTexturedStyleConfiguration::DefaultMainColor(i);
    const MColor c = configuration.mainColors[std::size_t(i)];
    Shift& shift = m_shifts[std::size_t(i)];
    if (c == d)
      continue;
    const Hsl hd = ToHsl(d.r / 255.0, d.g / 255.0, d.b / 255.0);
    const Hsl hc = ToHsl(c.r / 255.0, c.g / 255.0, c.b / 255.0);
    shift.active = true;
    shift.hue = hc.h - hd.h;
    shift.saturation = hd.s > 0 ? hc.s / hd.s : 1.0;
    shift.lightness = hc.l - hd.l;
    shift.alpha = d.a > 0 ? double(c.a) / d.a : 1.0;
    m_neutral = false;
  }
  m_contrast = configuration.contrast;
  m_brightness = configuration.brightness;
  m_saturation = configuration.saturation;
  m_multiplySaturation = configuration.multiplySaturation;
  m_adjust = m_contrast != 1.0 || m_brightness != 0.0 || m_saturation != 0.0 || m_multiplySaturation != 1.0;
  m_neutral = m_neutral && !m_adjust;
}

int MStyleTint::SlotOf(int elementIndex)
{
  // Indices of MStyleDefinition::kElementNames.
  switch (elementIndex)
  {
  case 11:
  case 12:
  case 13:
  case 14:
  case 15:
  case 16:
  case 17:
  case 18:
    return 1;
  case 7:
  case 8:
  case 9:
  case 10:
  case 20:
    return 2;
  default:
    return 0;
  }
}

MColor MStyleTint::Apply(MColor color, int slot) const
{
  if (m_neutral || color.a == 0)
    return color;
  const Shift& shift = m_shifts[std::size_t(std::clamp(slot, 0, kSlotCount - 1))];
  double r = color.r / 255.0, g = color.g / 255.0, b = color.b / 255.0;
  double a = color.a;
  const bool recolour = shift.active || m_saturation != 0.0 || m_multiplySaturation != 1.0;
  if (recolour)
  {
    Hsl hsl = ToHsl(r, g, b);
    if (shift.active)
    {
      if (hsl.s > 0)
        hsl.h = std::fmod(hsl.h + shift.hue + 720.0, 360.0);
      hsl.s *= shift.saturation;
      hsl.l += shift.lightness;
      a *= shift.alpha;
    }
    hsl.s = std::clamp(hsl.s * m_multiplySaturation + m_saturation, 0.0, 1.0);
    hsl.l = std::clamp(hsl.l, 0.0, 1.0);
    FromHsl(hsl, r, g, b);
  }
  double channels[3] = {r * 255, g * 255, b * 255};
  for (double& c : channels)
  {
    c = (c - 128) * m_contrast + 128;
    c += 255 * m_brightness;
  }
  return MColor{ToByte(channels[0]), ToByte(channels[1]), ToByte(channels[2]), ToByte(a)};
}

void MStyleTint::Apply(MBitmap& bitmap, int slot) const
{
  if (m_neutral)
    return;
  std::uint32_t* pixels = bitmap.Pixels();
  const std::size_t count = std::size_t(bitmap.Width()) * std::size_t(std::max(bitmap.Height(), 0));
  for (std::size_t i = 0; i < count; ++i)
    pixels[i] = Apply(MColor::FromARGB(pixels[i]), slot).ToARGB();
}
