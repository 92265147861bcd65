#include "gui/controls/MColorEditor.h"

#include "base/MException.h"
#include "gui/MDrawer.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MControlUtility.h"
#include "gui/controls/MEdit.h"
#include "gui/controls/MTracker.h"

#include <algorithm>
#include <cmath>

// --- MHsv -----------------------------------------------------------------------------------------

MHsv MHsv::FromColor(MColor color)
{
  const double r = color.r / 255.0, g = color.g / 255.0, b = color.b / 255.0;
  const double max = std::max({r, g, b}), min = std::min({r, g, b});
  const double delta = max - min;
  MHsv hsv;
  hsv.v = max;
  hsv.s = max > 0 ? delta / max : 0.0;
  if (delta > 0)
  {
    double h = max == r ? (g - b) / delta : max == g ? 2.0 + (b - r) / delta : 4.0 + (r - g) / delta;
    h /= 6.0;
    hsv.h = h < 0 ? h + 1.0 : h;
  }
  return hsv;
}

MColor MHsv::ToColor(std::uint8_t alpha) const
{
  const double hue = std::isfinite(h) ? (h - std::floor(h)) * 6.0 : 0.0;
  const double sat = std::isnan(s) ? 0.0 : std::clamp(s, 0.0, 1.0);
  const double val = std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0);
  const int sector = std::min(5, int(hue));
  const double f = hue - sector;
  const double p = val * (1 - sat), q = val * (1 - sat * f), t = val * (1 - sat * (1 - f));
  double r = val, g = t, b = p;
  switch (sector)
  {
  case 0:
    r = val;
    g = t;
    b = p;
    break;
  case 1:
    r = q;
    g = val;
    b = p;
    break;
  case 2:
    r = p;
    g = val;
    b = t;
    break;
  case 3:
    r = p;
    g = q;
    b = val;
    break;
  case 4:
    r = t;
    g = p;
    b = val;
    break;
  default:
    r = val;
    g = p;
    b = q;
    break;
  }
  const auto byte = [](double x) { return std::uint8_t(std::lround(std::clamp(x, 0.0, 1.0) * 255)); };
  return MColor{byte(r), byte(g), byte(b), alpha};
}

// --- MColorEditorField ----------------------------------------------------------------------------

MColorEditorField::MColorEditorField()
{
  SetControlType(MControlType::NoBackground);
  SetFlag(FlagTabStop, true);
}

void MColorEditorField::SetColor(MColor color)
{
  const MHsv hsv = MHsv::FromColor(color);
  m_hsv.s = hsv.s;
  m_hsv.v = hsv.v;
  if (hsv.s > 0 && hsv.v > 0)
    m_hsv.h = hsv.h;
  m_alpha = color.a;
  Invalidate();
}

bool MColorEditorField::ChangeHsv(const MHsv& hsv)
{
  MHsv next{std::isfinite(hsv.h) ? std::clamp(hsv.h, 0.0, 1.0) : 0.0,
            std::isnan(hsv.s) ? 0.0 : std::clamp(hsv.s, 0.0, 1.0),
            std::isnan(hsv.v) ? 0.0 : std::clamp(hsv.v, 0.0, 1.0)};
  if (next.h == m_hsv.h && next.s == m_hsv.s && next.v == m_hsv.v)
    return false;
  m_hsv = next;
  Invalidate();
  NotifyChanged();
  return true;
}

MRect MColorEditorField::GetHueRect() const
{
  const MRect client = GetClientRect();
  const std::int32_t width = std::min(16, client.Width() / 4);
  return MRect{client.right - width, client.top, client.right, client.bottom};
}

MRect MColorEditorField::GetSquareRect() const
{
  const MRect client = GetClientRect();
  return MRect{client.left, client.top, std::max(client.left, GetHueRect().left - 8), client.bottom};
}

MSize MColorEditorField::GetPreferredSize() const
{
  return MSize{200, 150};
}

void MColorEditorField::DragTo(MPoint position)
{
  MHsv next = m_hsv;
  if (m_drag == Drag::Hue)
  {
    const MRect hue = GetHueRect();
    next.h = hue.Height() > 1 ? double(position.y - hue.top) / (hue.Height() - 1) : 0.0;
  }
  else
  {
    const MRect square = GetSquareRect();
    next.s = square.Width() > 1 ? double(position.x - square.left) / (square.Width() - 1) : 0.0;
    next.v = square.Height() > 1 ? 1.0 - double(position.y - square.top) / (square.Height() - 1) : 0.0;
  }
  ChangeHsv(next);
}

bool MColorEditorField::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  if (GetHueRect().Contains(position))
    m_drag = Drag::Hue;
  else if (GetSquareRect().Contains(position))
    m_drag = Drag::Square;
  else
    return false;
  SetCapture();
  DragTo(position);
  return true;
}

bool MColorEditorField::OnMouseMove(MPoint position, std::uint32_t)
{
  if (m_drag == Drag::None)
    return false;
  DragTo(position);
  return true;
}

bool MColorEditorField::OnMouseUp(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left || m_drag == Drag::None)
    return false;
  m_drag = Drag::None;
  ReleaseCapture();
  return true;
}

bool MColorEditorField::OnKeyDown(std::int32_t key, std::uint32_t modifiers)
{
  const double step = (modifiers & MSystemEvent::ModShift) != 0 ? 0.005 : 0.05;
  MHsv next = m_hsv;
  switch (key)
  {
  case MVirtualKey::Left:
    next.s -= step;
    break;
  case MVirtualKey::Right:
    next.s += step;
    break;
  case MVirtualKey::Up:
    next.v += step;
    break;
  case MVirtualKey::Down:
    next.v -= step;
    break;
  case MVirtualKey::PageUp:
    next.h -= step;
    break;
  case MVirtualKey::PageDown:
    next.h += step;
    break;
  default:
    return false;
  }
  ChangeHsv(next);
  return true;
}

void MColorEditorField::OnCaptureLost()
{
  m_drag = Drag::None;
}

void MColorEditorField::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  const MRect square = GetSquareRect();
  const MRect hue = GetHueRect();
  const std::uint8_t alpha = paint.disabled ? 102 : 255;
  if (square.Width() >= 2 && square.Height() >= 2)
  {
    // Columns from white to the pure hue, darkened towards black at the bottom.
    const std::int32_t columns = std::min(square.Width(), 512);
    for (std::int32_t i = 0; i < columns; ++i)
    {
      const std::int32_t left = square.left + std::int32_t(std::int64_t(i) * square.Width() / columns);
      const std::int32_t right = square.left + std::int32_t(std::int64_t(i + 1) * square.Width() / columns);
      const MColor top = MHsv{m_hsv.h, double(i) / std::max(1, columns - 1), 1.0}.ToColor(alpha);
      drawer.FillGradient(MRect{left, square.top, right, square.bottom}, top, MColor{0, 0, 0, alpha});
    }
    drawer.FrameRectangle(square, MColor{0, 0, 0, 120});
    const double x = square.left + m_hsv.s * (square.Width() - 1) + 0.5;
    const double y = square.top + (1.0 - m_hsv.v) * (square.Height() - 1) + 0.5;
    drawer.FrameCircle(x, y, 5.5, 2.0, MColor{0, 0, 0, 160});
    drawer.FrameCircle(x, y, 5, 1.5, MColor{255, 255, 255, 240});
  }
  if (hue.Width() >= 2 && hue.Height() >= 6)
  {
    for (int segment = 0; segment < 6; ++segment)
    {
      const std::int32_t top = hue.top + hue.Height() * segment / 6;
      const std::int32_t bottom = hue.top + hue.Height() * (segment + 1) / 6;
      drawer.FillGradient(MRect{hue.left, top, hue.right, bottom}, MHsv{segment / 6.0, 1, 1}.ToColor(alpha),
                          MHsv{(segment + 1) / 6.0, 1, 1}.ToColor(alpha));
    }
    drawer.FrameRectangle(hue, MColor{0, 0, 0, 120});
    const std::int32_t y = hue.top + std::int32_t(std::lround(m_hsv.h * (hue.Height() - 1)));
    drawer.FillRectangle(MRect{hue.left - 2, y - 2, hue.right + 2, y + 2}, MColor{0, 0, 0, 170});
    drawer.FillRectangle(MRect{hue.left - 1, y - 1, hue.right + 1, y + 1}, MColor{255, 255, 255, 240});
  }
  if (paint.focused && !square.IsEmpty())
    drawer.FrameRectangle(square, style->GetColor(MStdColor::Highlight), 2);
}

// --- MColorEditor ---------------------------------------------------------------------------------

MColorEditor::MColorEditor() : m_alphaScale(MValueBinding<double>::Variable(m_alphaValue), 0.0, 1.0)
{
  m_alphaScale.SetFormat(MString("Opacity {0;.2}"));
  m_field = &Add<MColorEditorField>();
  m_alpha = &Add<MTracker>();
  m_alpha->Bind(&m_alphaScale);
  m_swatch = &Add<MColorButton>(m_color);
  m_hex = &Add<MEdit>();
  m_hex->SetMaxLength(9);
  m_field->GetChangedEvent().Subscribe<&MColorEditor::OnFieldChanged>(this);
  m_alpha->GetChangedEvent().Subscribe<&MColorEditor::OnAlphaChanged>(this);
  m_hex->GetChangedEvent().Subscribe<&MColorEditor::OnHexChanged>(this);
  Update(nullptr, false);
}

MColorEditor::~MColorEditor() = default;

void MColorEditor::SetColor(MColor color)
{
  m_color = color;
  Update(nullptr, false);
}

MSize MColorEditor::GetPreferredSize() const
{
  return MSize{260, 230};
}

void MColorEditor::OnSizeChanged()
{
  const MRect client = GetClientRect();
  const std::int32_t row = 24;
  const std::int32_t gap = 6;
  const std::int32_t fieldBottom = std::max(client.top, client.bottom - 2 * row - 2 * gap);
  m_field->SetBounds(MRect{client.left, client.top, client.right, fieldBottom});
  m_alpha->SetBounds(
      MRect{client.left, fieldBottom + gap, client.right, std::min(client.bottom, fieldBottom + gap + row)});
  const std::int32_t y = std::min(client.bottom, fieldBottom + 2 * gap + row);
  const std::int32_t split = client.left + client.Width() / 2;
  m_swatch->SetBounds(
      MRect{client.left, y, std::max(client.left, split - gap / 2), std::min(client.bottom, y + row)});
  m_hex->SetBounds(
      MRect{std::min(client.right, split + gap / 2), y, client.right, std::min(client.bottom, y + row)});
}

void MColorEditor::Update(const MControl* source, bool notify)
{
  m_updating = true;
  if (source != m_field)
    m_field->SetColor(m_color);
  if (source != m_alpha)
  {
    m_alphaValue = m_color.a / 255.0;
    m_alpha->Refresh();
  }
  m_swatch->SetColor(m_color);
  MString opacity = MString::FromInteger(std::lround(m_color.a * 100 / 255.0));
  opacity += MString(" %");
  m_swatch->SetText(opacity);
  if (source != m_hex)
    m_hex->SetText(m_color.ToText().Substring(0, m_color.a == 255 ? 6 : 8));
  m_updating = false;
  if (notify)
    NotifyChanged();
}

void MColorEditor::OnFieldChanged(MOnNotifyParams&)
{
  if (m_updating)
    return;
  m_color = m_field->GetHsv().ToColor(m_color.a);
  Update(m_field, true);
}

void MColorEditor::OnAlphaChanged(MOnNotifyParams&)
{
  if (m_updating)
    return;
  m_color.a = std::uint8_t(std::lround(std::clamp(m_alphaValue, 0.0, 1.0) * 255));
  Update(m_alpha, true);
}

void MColorEditor::OnHexChanged(MOnNotifyParams&)
{
  if (m_updating)
    return;
  MString text = m_hex->GetText();
  if (!text.IsEmpty() && text.At(0) == u'#')
    text = text.Substring(1);
  try
  {
    m_color = MColor::Parse(text);
  }
  catch (const MException&)
  {
    // Not a colour: show the current one again.
    Update(nullptr, false);
    return;
  }
  Update(m_hex, true);
}
