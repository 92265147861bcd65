#include "gui/controls/MButton.h"

#include "base/MXmlItem.h"
#include "gui/MDrawer.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlUtility.h"
#include "gui/controls/MMenu.h"

#include <algorithm>

// --- MButton --------------------------------------------------------------------------------------

MButton::MButton()
{
  SetControlType(MControlType::Button);
  SetFlag(FlagTabStop, true);
}

MButton::MButton(const MString& text) : MButton()
{
  SetText(text);
}

void MButton::SetOn(bool on)
{
  m_on = on;
  SetClicked(m_pressing || (m_toggle && m_on));
}

void MButton::Click()
{
  ++m_clickCount;
  if (m_toggle)
    SetOn(!m_on);
  NotifyChanged();
}

MSize MButton::GetPreferredSize() const
{
  const MSize text = MControlUtility::MeasureText(*this, GetText(), GetFont());
  const std::int32_t height = MControlUtility::Metric(*this, MStyle::MetricButtonHeight, 24);
  return MSize{std::max(text.x + 24, 48), std::max(height, text.y + 6)};
}

bool MButton::OnMouseDown(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  m_pressing = true;
  SetCapture();
  SetClicked(true);
  return true;
}

bool MButton::OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  // A fast second click is a click like the first.
  return OnMouseDown(button, position, modifiers);
}

bool MButton::OnMouseMove(MPoint position, std::uint32_t)
{
  if (!m_pressing)
    return false;
  SetClicked(GetRect().Contains(position) || (m_toggle && m_on));
  return true;
}

bool MButton::OnMouseUp(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left || !m_pressing)
    return false;
  EndPress();
  if (GetRect().Contains(position) && IsEnabledInWindow())
    Click();
  return true;
}

void MButton::OnCaptureLost()
{
  if (m_pressing)
    EndPress();
}

void MButton::EndPress()
{
  m_pressing = false;
  ReleaseCapture();
  SetClicked(m_toggle && m_on);
}

bool MButton::OnKeyDown(std::int32_t key, std::uint32_t)
{
  if (key != MVirtualKey::Space && key != MVirtualKey::Return)
    return false;
  Click();
  return true;
}

void MButton::FillPaint(MControlPaint& paint) const
{
  MControlContent::FillPaint(paint);
  paint.check = m_on ? MCheckState::On : MCheckState::Off;
}

// --- MButtonWithInfo -----------------------------------------------------------------------------

MButtonWithInfo::MButtonWithInfo()
{
  SetTextAlignment(MAlign::Left | MAlign::VCenter);
}

MButtonWithInfo::MButtonWithInfo(const MString& text, const MString& info) : MButtonWithInfo()
{
  SetText(text);
  m_info = info;
}

void MButtonWithInfo::SetInfo(const MString& info)
{
  m_info = info;
  Invalidate();
}

MSize MButtonWithInfo::GetPreferredSize() const
{
  MSize size = MButton::GetPreferredSize();
  size.x += MControlUtility::MeasureText(*this, m_info, MStdFont::Small).x + 12;
  return size;
}

void MButtonWithInfo::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  const MRect client = GetClientRect();
  const std::int32_t infoWidth =
      m_info.IsEmpty() ? 0 : MControlUtility::MeasureText(*this, m_info, MStdFont::Small).x;
  MRect textRect = client;
  textRect.right = std::max(textRect.left, client.right - infoWidth - (infoWidth > 0 ? 8 : 0));
  MControlUtility::PaintStyled(drawer, *style, paint, textRect);
  if (infoWidth > 0)
  {
    MControlPaint info = paint;
    info.text = m_info;
    info.font = MStdFont::Small;
    info.textAlignment = MAlign::Right | MAlign::VCenter;
    style->PaintContent(drawer, client, info);
  }
}

// --- MRepeaterButton -----------------------------------------------------------------------------

MRepeaterButton::MRepeaterButton() = default;

MRepeaterButton::MRepeaterButton(const MString& text) : MButton(text) {}

bool MRepeaterButton::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  if (!MButton::OnMouseDown(button, position, modifiers))
    return false;
  m_inside = true;
  m_repeating = false;
  Click();
  SetTimer(kTimerId, kDelayMs);
  return true;
}

bool MRepeaterButton::OnMouseUp(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left || !IsPressing())
    return false;
  // The press already clicked; releasing only ends the repetition.
  (void)position;
  EndPress();
  return true;
}

bool MRepeaterButton::OnTimer(std::int32_t id)
{
  if (id != kTimerId)
    return false;
  if (!IsPressing())
  {
    SetTimer(kTimerId, 0);
    return true;
  }
  if (!m_repeating)
  {
    m_repeating = true;
    SetTimer(kTimerId, kPeriodMs);
  }
  if (IsClicked()) // still over the button
    Click();
  return true;
}

void MRepeaterButton::EndPress()
{
  SetTimer(kTimerId, 0);
  m_repeating = false;
  m_inside = false;
  MButton::EndPress();
}

// --- MColorButton --------------------------------------------------------------------------------

MColorButton::MColorButton()
{
  SetTextAlignment(MAlign::Left | MAlign::VCenter);
}

MColorButton::MColorButton(MColor color, const MString& text) : MColorButton()
{
  m_color = color;
  SetText(text);
}

void MColorButton::SetColor(MColor color)
{
  m_color = color;
  Invalidate();
}

MSize MColorButton::GetPreferredSize() const
{
  MSize size = MButton::GetPreferredSize();
  size.x += 26;
  return size;
}

void MColorButton::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  const MRect client = GetClientRect();
  const std::int32_t side = std::max(0, std::min(client.Height() - 2, 16));
  const MRect swatch =
      MRect::FromSize(client.left + 1, client.top + (client.Height() - side) / 2, side, side);
  MRect textRect = client;
  textRect.left = std::min(client.right, swatch.right + 8);
  if (paint.text.IsEmpty())
  {
    style->PaintControl(drawer, paint);
  }
  else
    MControlUtility::PaintStyled(drawer, *style, paint, textRect);
  if (swatch.IsEmpty())
    return;
  const MRect inner = swatch.Inset(1, 1);
  drawer.FillRoundRectangle(swatch, 3,
                            MControlUtility::Disabled(style->GetColor(MStdColor::Dark), paint.disabled));
  if (m_color.a < 255 && !inner.IsEmpty())
  {
    // Checkerboard so that translucent colours read as translucent.
    const MRect saved = drawer.IntersectClip(inner);
    for (std::int32_t y = inner.top; y < inner.bottom; y += 4)
      for (std::int32_t x = inner.left; x < inner.right; x += 4)
        drawer.FillRectangle(MRect::FromSize(x, y, 4, 4), ((x - inner.left + y - inner.top) / 4) % 2
                                                              ? MColor{200, 200, 200, 255}
                                                              : MColor{120, 120, 120, 255});
    drawer.RestoreClip(saved);
  }
  drawer.FillRoundRectangle(inner, 2, MControlUtility::Disabled(m_color, paint.disabled));
}

void MColorButton::LoadAttributes(const MXmlItem& item)
{
  MButton::LoadAttributes(item);
  if (item.HasAttribute("color"))
    m_color = MColor::Parse(item.GetAttribute());
}

void MColorButton::SaveAttributes(MXmlItem& item) const
{
  MButton::SaveAttributes(item);
  item.SetAttribute("color", m_color.ToText());
}

// --- MColorSelectButton ----------------------------------------------------------------------------

MColorSelectButton::MColorSelectButton()
    : m_palette{{"Amber", MColor{0xE0, 0x8A, 0x2E, 0xFF}},  {"Red", MColor{0xD9, 0x48, 0x3B, 0xFF}},
                {"Rose", MColor{0xD8, 0x5C, 0x8A, 0xFF}},   {"Violet", MColor{0x8E, 0x6B, 0xD6, 0xFF}},
                {"Blue", MColor{0x3C, 0x8C, 0xE7, 0xFF}},   {"Cyan", MColor{0x3B, 0xB8, 0xC9, 0xFF}},
                {"Green", MColor{0x4F, 0xB8, 0x6A, 0xFF}},  {"Lime", MColor{0xA6, 0xC8, 0x3A, 0xFF}},
                {"Yellow", MColor{0xE8, 0xCB, 0x3A, 0xFF}}, {"White", MColor{0xF0, 0xF0, 0xF0, 0xFF}},
                {"Grey", MColor{0x80, 0x84, 0x8A, 0xFF}},   {"Black", MColor{0x10, 0x10, 0x12, 0xFF}}}
{}

MColorSelectButton::~MColorSelectButton() = default;

bool MColorSelectButton::ChoosePaletteEntry(std::int32_t index)
{
  if (index < 0 || index >= std::int32_t(m_palette.size()))
    return false;
  SetColor(m_palette[std::size_t(index)].color);
  SetText(m_palette[std::size_t(index)].name);
  NotifyChanged();
  return true;
}

void MColorSelectButton::Click()
{
  if (m_popup == nullptr)
    m_popup = std::make_unique<MWindowMenu>();
  MMenu& menu = m_popup->GetMenu();
  menu.Clear();
  for (const Entry& entry : m_palette)
  {
    MMenuItem item(entry.name);
    item.SetSwatch(entry.color);
    menu.AddItem(std::move(item));
  }
  m_popup->Popup(*this, GetRect(), [this](std::int32_t index) { ChoosePaletteEntry(index); });
}

void MColorSelectButton::Paint(MDrawer& drawer)
{
  MColorButton::Paint(drawer);
  // A drop-down mark: the click opens a palette.
  const MRect client = GetClientRect();
  if (client.Width() < 60 || client.Height() < 10 || GetStyle() == nullptr)
    return;
  const MColor ink =
      MControlUtility::Disabled(GetStyle()->GetColor(MStdColor::Text), !IsEnabledInWindow()).WithAlpha(200);
  const double cx = client.right - 7, cy = (client.top + client.bottom) / 2.0 + (IsClicked() ? 1 : 0);
  const MDrawer::PointF arrow[3] = {{cx - 4, cy - 2}, {cx + 4, cy - 2}, {cx, cy + 3}};
  drawer.FillPolygon(arrow, ink);
}
