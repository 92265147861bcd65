#include "tools/stylegen/MStyleArt.h"

#include "base/MException.h"
#include "base/MFormat.h"
#include "gui/MDrawerToMBitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace
{
constexpr double kPi = 3.14159265358979323846;

MColor Mix(MColor a, MColor b, double t)
{
  const auto ch = [t](std::uint8_t x, std::uint8_t y) {
    return std::uint8_t(std::clamp(std::lround(x + (double(y) - x) * t), 0L, 255L));
  };
  return MColor{ch(a.r, b.r), ch(a.g, b.g), ch(a.b, b.b), ch(a.a, b.a)};
}
MColor Lighter(MColor c, double t)
{
  return Mix(c, MColor{255, 255, 255, c.a}, t);
}
MColor Darker(MColor c, double t)
{
  return Mix(c, MColor{0, 0, 0, c.a}, t);
}

enum class State
{
  Normal,
  Hl,
  Clicked,
  ClickedHl,
  Focused,
  FocusedHl,
  Disabled
};

bool ParseState(const std::string& text, State& state)
{
  static const std::pair<const char*, State> kStates[] = {
      {"normal", State::Normal},       {"hl", State::Hl},           {"clicked", State::Clicked},
      {"clickedhl", State::ClickedHl}, {"focused", State::Focused}, {"focusedhl", State::FocusedHl},
      {"disabled", State::Disabled}};
  for (const auto& [name, value] : kStates)
    if (text == name)
    {
      state = value;
      return true;
    }
  return false;
}

bool IsHl(State s)
{
  return s == State::Hl || s == State::ClickedHl || s == State::FocusedHl;
}
bool IsClicked(State s)
{
  return s == State::Clicked || s == State::ClickedHl;
}
bool IsFocused(State s)
{
  return s == State::Focused || s == State::FocusedHl;
}

/// One canvas: a transparent bitmap with a drawer on it.
struct Canvas
{
  MBitmap bitmap;
  MDrawerToMBitmap drawer;
  Canvas(std::int32_t w, std::int32_t h) : bitmap(w, h), drawer(bitmap) {}
  MRect All() const { return bitmap.Bounds(); }
};

/// Row-by-row lightness streaks of brushed metal, from a fixed linear congruential sequence so
/// every build draws the same grain.
void Brush(Canvas& c, const MRect& area, double strength)
{
  std::uint32_t seed = 0x2545F491u;
  for (std::int32_t y = area.top; y < area.bottom; ++y)
  {
    seed = seed * 1664525u + 1013904223u;
    const double n = double(seed >> 8) / double(1u << 24) - 0.5; // -0.5 .. 0.5
    const std::uint8_t alpha = std::uint8_t(std::min(255.0, std::fabs(n) * 2 * strength * 255));
    c.drawer.FillRectangle(MRect{area.left, y, area.right, y + 1},
                           n > 0 ? MColor{255, 255, 255, alpha} : MColor{0, 0, 0, alpha});
  }
}

struct Painter
{
  const MBaseStyleConfiguration& p;
  bool light;

  MColor Body(State s) const
  {
    if (IsClicked(s))
      return Darker(p.raised, light ? 0.10 : 0.20);
    if (IsHl(s))
      return Lighter(p.raised, light ? 0.45 : 0.08);
    return p.raised;
  }
  MColor Highlight(State s) const
  {
    return IsClicked(s) ? MColor{255, 255, 255, 0} : MColor{255, 255, 255, std::uint8_t(light ? 210 : 26)};
  }

  MBitmap Window() const
  {
    Canvas c(light ? 256 : 16, 256);
    c.drawer.FillGradient(c.All(), Lighter(p.background, light ? 0.16 : 0.035),
                          Darker(p.background, light ? 0.04 : 0.12));
    if (light)
      Brush(c, c.All(), 0.035);
    return std::move(c.bitmap);
  }

  MBitmap Panel() const
  {
    Canvas c(light ? 96 : 32, 48);
    c.drawer.FillRoundRectangle(c.All(), 5, light ? p.border.WithAlpha(200) : p.border);
    const MRect inner = c.All().Inset(1, 1);
    c.drawer.FillRoundRectangle(inner, 4, p.surface);
    const MRect saved = c.drawer.IntersectClip(inner.Inset(1, 1));
    c.drawer.FillGradient(inner.Inset(1, 1), Lighter(p.surface, light ? 0.25 : 0.025),
                          Darker(p.surface, light ? 0.02 : 0.06));
    if (light)
      Brush(c, inner.Inset(1, 1), 0.03);
    c.drawer.RestoreClip(saved);
    c.drawer.FillRectangle(MRect{5, 1, c.bitmap.Width() - 5, 2},
                           MColor{255, 255, 255, std::uint8_t(light ? 200 : 22)});
    return std::move(c.bitmap);
  }

  MBitmap Control() const
  {
    Canvas c(8, 8);
    c.drawer.FillRectangle(c.All(), p.surface);
    return std::move(c.bitmap);
  }

  MBitmap Caption(std::int32_t height) const
  {
    Canvas c(32, height);
    // Rounded top corners matching the panel, square bottom edge.
    const MRect saved = c.drawer.IntersectClip(c.All());
    c.drawer.FillRoundRectangle(MRect{0, 0, 32, height + 6}, 5, light ? p.border.WithAlpha(200) : p.border);
    const MColor top = light ? Lighter(p.background, 0.35) : Lighter(p.surface, 0.07);
    const MColor bottom = light ? Darker(p.background, 0.0) : Darker(p.surface, 0.12);
    c.drawer.FillRoundRectangle(MRect{1, 1, 31, height + 6}, 4, top);
    c.drawer.FillGradient(MRect{2, 2, 30, height - 1}, top, bottom);
    c.drawer.RestoreClip(saved);
    c.drawer.FillRectangle(MRect{5, 1, 27, 2}, MColor{255, 255, 255, std::uint8_t(light ? 220 : 30)});
    c.drawer.FillRectangle(MRect{1, height - 1, 31, height}, light ? p.border.WithAlpha(160) : p.border);
    return std::move(c.bitmap);
  }

  MBitmap Button(State s) const
  {
    Canvas c(32, 24);
    const MColor body = Body(s);
    const MColor fill = IsClicked(s) ? Mix(body, p.accent, 0.12) : body;
    c.drawer.FillRoundRectangle(c.All(), 5, IsClicked(s) ? Mix(p.border, p.accent, 0.55) : p.border);
    const MRect inner = c.All().Inset(1, 1);
    c.drawer.FillRoundRectangle(inner, 4, fill);
    const MRect saved = c.drawer.IntersectClip(inner);
    c.drawer.FillGradient(MRect{inner.left + 1, inner.top, inner.right - 1, inner.top + 11},
                          IsClicked(s) ? Darker(fill, 0.06) : Lighter(fill, light ? 0.55 : 0.08), fill);
    c.drawer.RestoreClip(saved);
    c.drawer.FillRectangle(MRect{4, 1, 28, 2}, Highlight(s));
    if (IsFocused(s))
      c.drawer.FrameRoundRectangle(c.All(), 5, 1.5, p.accent.WithAlpha(220));
    return std::move(c.bitmap);
  }

  MBitmap CaptionButton(State s) const
  {
    Canvas c(16, 16);
    const MColor fill = IsClicked(s) ? (light ? Darker(p.surface, 0.15) : MColor{0, 0, 0, 70})
                                     : (light ? MColor{255, 255, 255, 150} : MColor{255, 255, 255, 26});
    c.drawer.FillRoundRectangle(c.All(), 3, fill);
    return std::move(c.bitmap);
  }

  MBitmap CheckBox(State s) const
  {
    Canvas c(14, 14);
    c.drawer.FillRoundRectangle(c.All(), 3.5,
                                IsFocused(s) ? p.accent : (IsHl(s) ? Lighter(p.border, 0.2) : p.border));
    c.drawer.FillRoundRectangle(c.All().Inset(1, 1), 2.5,
                                IsHl(s) ? Lighter(p.sunken, light ? 0.0 : 0.08) : p.sunken);
    if (!light)
      c.drawer.FillRectangle(MRect{3, 1, 11, 2}, MColor{0, 0, 0, 60});
    return std::move(c.bitmap);
  }

  MBitmap CheckMark(bool grayed) const
  {
    Canvas c(14, 14);
    c.drawer.FillRoundRectangle(c.All(), 3.5, Darker(p.accent, 0.25));
    c.drawer.FillRoundRectangle(c.All().Inset(1, 1), 2.5, p.accent);
    c.drawer.FillGradient(MRect{2, 1, 12, 7}, Lighter(p.accent, 0.18), p.accent);
    if (grayed)
      c.drawer.FillRectangle(MRect{4, 6, 10, 8}, p.accentText);
    else
    {
      c.drawer.Line(3.4, 7.3, 6.0, 9.9, p.accentText, 2.0);
      c.drawer.Line(5.7, 10.0, 10.8, 4.2, p.accentText, 2.0);
    }
    return std::move(c.bitmap);
  }

  MBitmap Field(State s) const
  {
    Canvas c(16, 16);
    const MColor frame =
        IsFocused(s) ? p.accent : (IsHl(s) ? Lighter(p.border, light ? 0.0 : 0.18) : p.border);
    c.drawer.FillRoundRectangle(c.All(), 3, IsHl(s) && light ? Darker(p.border, 0.15) : frame);
    c.drawer.FillRoundRectangle(c.All().Inset(1, 1), 2, p.sunken);
    // An inner shadow along the top edge makes the field read as recessed.
    c.drawer.FillRectangle(MRect{2, 1, 14, 2}, MColor{0, 0, 0, std::uint8_t(light ? 24 : 70)});
    if (IsFocused(s))
      c.drawer.FrameRoundRectangle(c.All().Inset(1, 1), 2, 1, p.accent.WithAlpha(70));
    return std::move(c.bitmap);
  }

  MBitmap Row(bool selected) const
  {
    Canvas c(16, 16);
    if (selected)
    {
      c.drawer.FillRoundRectangle(c.All(), 3, p.accent);
      c.drawer.FillGradient(MRect{1, 1, 15, 8}, Lighter(p.accent, 0.12), p.accent);
    }
    else
      c.drawer.FillRoundRectangle(c.All(), 3, light ? p.accent.WithAlpha(48) : MColor{255, 255, 255, 20});
    return std::move(c.bitmap);
  }

  MBitmap Menu() const
  {
    Canvas c(16, 16);
    c.drawer.FillRoundRectangle(c.All(), 4, p.border);
    c.drawer.FillRoundRectangle(c.All().Inset(1, 1), 3,
                                light ? Lighter(p.raised, 0.4) : Lighter(p.surface, 0.04));
    return std::move(c.bitmap);
  }

  MBitmap MenuBar() const
  {
    Canvas c(8, 24);
    c.drawer.FillGradient(c.All(), Lighter(p.surface, light ? 0.3 : 0.05), p.surface);
    c.drawer.FillRectangle(MRect{0, 23, 8, 24}, p.border);
    return std::move(c.bitmap);
  }

  MBitmap Tab(bool selected) const
  {
    Canvas c(16, 24);
    if (selected)
    {
      c.drawer.FillRectangle(c.All(), p.border);
      c.drawer.FillRectangle(MRect{1, 1, 15, 24}, p.surface);
      c.drawer.FillRectangle(MRect{1, 1, 15, 3}, p.accent);
    }
    else
      c.drawer.FillRoundRectangle(MRect{1, 2, 15, 22}, 3,
                                  light ? MColor{255, 255, 255, 100} : MColor{255, 255, 255, 14});
    return std::move(c.bitmap);
  }

  /// A knob body disc filling a 64-px square (2 px of it are the shadow).
  void Disc(Canvas& c, double cx, double cy, double r, State s) const
  {
    const MColor body = Body(s);
    c.drawer.FillCircle(cx, cy + 1.2, r + 0.6, MColor{0, 0, 0, std::uint8_t(light ? 70 : 140)});
    c.drawer.FillCircle(cx, cy, r, light ? Darker(p.border, 0.1) : p.border);
    c.drawer.FillCircle(cx, cy, r - 1, Darker(body, light ? 0.06 : 0.12));
    // Soft light from above: stacked discs shifted up.
    for (int i = 0; i < 8; ++i)
      c.drawer.FillCircle(cx, cy - r * 0.05 * i, (r - 1.5) * (1 - 0.07 * i),
                          MColor{255, 255, 255, std::uint8_t(light ? 22 : 7)});
    // Grip: fine radial grooves around the rim.
    for (int i = 0; i < 36; ++i)
    {
      const double a = i * 2 * kPi / 36;
      c.drawer.Line(cx + std::sin(a) * (r - 4.5), cy - std::cos(a) * (r - 4.5), cx + std::sin(a) * (r - 1.5),
                    cy - std::cos(a) * (r - 1.5), MColor{0, 0, 0, std::uint8_t(light ? 40 : 60)}, 1.0);
    }
    c.drawer.FrameArc(cx, cy, r - 1.5, 1, -1.2, 1.2, Highlight(s));
  }

  MBitmap Knob(State s) const
  {
    Canvas c(64, 64);
    Disc(c, 32, 31.5, 29.5, s);
    return std::move(c.bitmap);
  }

  MBitmap Rotator(State s) const
  {
    Canvas c(64, 64);
    c.drawer.FillCircle(32, 32, 32, p.border);
    c.drawer.FillCircle(32, 32, 31, p.sunken);
    for (int i = 0; i < 24; ++i)
    {
      const double a = i * 2 * kPi / 24;
      c.drawer.Line(32 + std::sin(a) * 26, 32 - std::cos(a) * 26, 32 + std::sin(a) * 29.5,
                    32 - std::cos(a) * 29.5, p.textDisabled.WithAlpha(120), 1.0);
    }
    Disc(c, 32, 31.5, 23, s);
    return std::move(c.bitmap);
  }

  MBitmap KnobSelector() const
  {
    Canvas c(16, 16);
    c.drawer.FillCircle(8, 8.6, 6.5, MColor{0, 0, 0, 90});
    c.drawer.FillCircle(8, 8, 6, light ? p.accent : p.text);
    c.drawer.FillCircle(8, 7, 3, MColor{255, 255, 255, std::uint8_t(light ? 60 : 90)});
    return std::move(c.bitmap);
  }

  MBitmap Thumb(State s) const
  {
    Canvas c(12, 20);
    const MColor body = Body(s);
    c.drawer.FillRoundRectangle(c.All(), 3, p.border);
    c.drawer.FillRoundRectangle(c.All().Inset(1, 1), 2, body);
    c.drawer.FillGradient(MRect{2, 1, 10, 10}, Lighter(body, light ? 0.5 : 0.1), body);
    c.drawer.FillRectangle(MRect{5, 5, 7, 15}, IsClicked(s) ? Lighter(p.accent, 0.1) : p.accent);
    return std::move(c.bitmap);
  }

  MBitmap Switch(bool on) const
  {
    Canvas c(44, 22);
    if (on)
    {
      c.drawer.FillRoundRectangle(c.All(), 11, Darker(p.accent, 0.2));
      c.drawer.FillRoundRectangle(c.All().Inset(1, 1), 10, p.accent);
    }
    else
    {
      c.drawer.FillRoundRectangle(c.All(), 11, p.border);
      c.drawer.FillRoundRectangle(c.All().Inset(1, 1), 10, p.sunken);
    }
    return std::move(c.bitmap);
  }

  MBitmap SwitchThumb() const
  {
    Canvas c(22, 22);
    c.drawer.FillCircle(11, 11.8, 8.5, MColor{0, 0, 0, 90});
    c.drawer.FillCircle(11, 11, 8, light ? MColor{255, 255, 255, 255} : p.text);
    c.drawer.FillCircle(11, 9.5, 5, MColor{255, 255, 255, 60});
    return std::move(c.bitmap);
  }

  MBitmap Track() const
  {
    Canvas c(12, 12);
    c.drawer.FillRoundRectangle(c.All(), 4, light ? Darker(p.sunken, 0.06) : p.sunken);
    return std::move(c.bitmap);
  }

  MBitmap ScrollThumb() const
  {
    Canvas c(12, 12);
    c.drawer.FillRoundRectangle(c.All(), 4, light ? Darker(p.raised, 0.25) : Lighter(p.raised, 0.12));
    return std::move(c.bitmap);
  }

  MBitmap Progress(bool fill) const
  {
    Canvas c(12, 12);
    if (fill)
    {
      c.drawer.FillRoundRectangle(c.All(), 3, p.accent);
      c.drawer.FillGradient(MRect{1, 1, 11, 6}, Lighter(p.accent, 0.25), p.accent);
    }
    else
    {
      c.drawer.FillRoundRectangle(c.All(), 3, p.border);
      c.drawer.FillRoundRectangle(c.All().Inset(1, 1), 2, p.sunken);
    }
    return std::move(c.bitmap);
  }
};
} // namespace

MBitmap MStyleArt::Draw(const MString& fileName, const MBaseStyleConfiguration& palette)
{
  std::string name = fileName.ToNarrow();
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0)
    name.resize(name.size() - 4);
  const Painter painter{palette, palette.IsLight()};

  if (name == "window_normal")
    return painter.Window();
  if (name == "panel_normal")
    return painter.Panel();
  if (name == "control_normal")
    return painter.Control();
  if (name == "caption_small")
    return painter.Caption(16);
  if (name == "caption_normal")
    return painter.Caption(22);
  if (name == "caption_large")
    return painter.Caption(28);
  if (name == "checkbox_on")
    return painter.CheckMark(false);
  if (name == "checkbox_grayed")
    return painter.CheckMark(true);
  if (name == "row_hl")
    return painter.Row(false);
  if (name == "row_selected")
    return painter.Row(true);
  if (name == "menu_normal")
    return painter.Menu();
  if (name == "menubar_normal")
    return painter.MenuBar();
  if (name == "tab_hl")
    return painter.Tab(false);
  if (name == "tab_selected")
    return painter.Tab(true);
  if (name == "knob_selector")
    return painter.KnobSelector();
  if (name == "valuebutton_normal")
    return painter.Button(State::Normal);
  if (name == "switch_normal")
    return painter.Switch(false);
  if (name == "switch_on")
    return painter.Switch(true);
  if (name == "switch_thumb")
    return painter.SwitchThumb();
  if (name == "scroll_normal")
    return painter.Track();
  if (name == "scroll_thumb")
    return painter.ScrollThumb();
  if (name == "progress_normal")
    return painter.Progress(false);
  if (name == "progress_fill")
    return painter.Progress(true);

  const std::size_t underscore = name.rfind('_');
  State state = State::Normal;
  if (underscore != std::string::npos && ParseState(name.substr(underscore + 1), state))
  {
    const std::string kind = name.substr(0, underscore);
    if (kind == "button")
      return painter.Button(state);
    if (kind == "captionbutton")
      return painter.CaptionButton(state);
    if (kind == "checkbox")
      return painter.CheckBox(state);
    if (kind == "edit" || kind == "list")
      return painter.Field(state);
    if (kind == "knob")
      return painter.Knob(state);
    if (kind == "rotator")
      return painter.Rotator(state);
    if (kind == "tracker")
      return painter.Thumb(state);
  }
  throw MException(MFormat::Format("The style art has no bitmap \"{0}\".", fileName));
}
