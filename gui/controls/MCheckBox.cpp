#include "gui/controls/MCheckBox.h"

#include "base/MXmlItem.h"
#include "gui/MDrawer.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlUtility.h"

#include <algorithm>

MCheckBox::MCheckBox()
{
  SetControlType(MControlType::CheckBox);
  SetFlag(FlagTabStop, true);
  SetTextAlignment(MAlign::Left | MAlign::VCenter);
}

MCheckBox::MCheckBox(const MString& text, MCheckState state) : MCheckBox()
{
  SetText(text);
  m_check = state;
}

void MCheckBox::SetCheck(MCheckState state)
{
  if (state == m_check)
    return;
  m_check = state;
  Invalidate();
}

void MCheckBox::Toggle()
{
  if (m_threeState)
    SetCheck(m_check == MCheckState::Off  ? MCheckState::On
             : m_check == MCheckState::On ? MCheckState::Grayed
                                          : MCheckState::Off);
  else
    SetCheck(m_check == MCheckState::On ? MCheckState::Off : MCheckState::On);
  NotifyChanged();
}

MSize MCheckBox::GetPreferredSize() const
{
  const MSize text = MControlUtility::MeasureText(*this, GetText(), GetFont());
  return MSize{text.x + 26, std::max(20, text.y + 4)};
}

bool MCheckBox::OnMouseDown(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  m_pressing = true;
  SetCapture();
  SetClicked(true);
  return true;
}

bool MCheckBox::OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  return OnMouseDown(button, position, modifiers);
}

bool MCheckBox::OnMouseMove(MPoint position, std::uint32_t)
{
  if (!m_pressing)
    return false;
  SetClicked(GetRect().Contains(position));
  return true;
}

bool MCheckBox::OnMouseUp(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left || !m_pressing)
    return false;
  m_pressing = false;
  ReleaseCapture();
  SetClicked(false);
  if (GetRect().Contains(position) && IsEnabledInWindow())
    Toggle();
  return true;
}

void MCheckBox::OnCaptureLost()
{
  m_pressing = false;
  SetClicked(false);
}

bool MCheckBox::OnKeyDown(std::int32_t key, std::uint32_t)
{
  if (key != MVirtualKey::Space && key != MVirtualKey::Return)
    return false;
  Toggle();
  return true;
}

void MCheckBox::FillPaint(MControlPaint& paint) const
{
  MControlContent::FillPaint(paint);
  paint.check = m_check;
}

void MCheckBox::LoadAttributes(const MXmlItem& item)
{
  MControlContent::LoadAttributes(item);
  if (item.HasAttribute("checked"))
  {
    const std::int64_t value = item.GetAttribute().ToInteger();
    m_check = value == 1 ? MCheckState::On : value == 2 ? MCheckState::Grayed : MCheckState::Off;
  }
  if (item.HasAttribute("threestate"))
    m_threeState = item.GetAttribute().ToInteger() != 0;
}

void MCheckBox::SaveAttributes(MXmlItem& item) const
{
  MControlContent::SaveAttributes(item);
  item.SetAttribute("checked", MString::FromInteger(static_cast<std::int64_t>(m_check)));
  item.SetAttribute("threestate", m_threeState ? MString("1") : MString("0"));
}

// --- MCheckBoxWithInfo ----------------------------------------------------------------------------

MCheckBoxWithInfo::MCheckBoxWithInfo() = default;

MCheckBoxWithInfo::MCheckBoxWithInfo(const MString& text, const MString& info) : MCheckBox(text)
{
  m_info = info;
}

void MCheckBoxWithInfo::SetInfo(const MString& info)
{
  m_info = info;
  Invalidate();
}

MSize MCheckBoxWithInfo::GetPreferredSize() const
{
  MSize size = MCheckBox::GetPreferredSize();
  size.x += MControlUtility::MeasureText(*this, m_info, MStdFont::Small).x + 10;
  return size;
}

void MCheckBoxWithInfo::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  const MRect client = GetClientRect();
  MControlUtility::PaintStyled(drawer, *style, paint, client);
  if (m_info.IsEmpty())
    return;
  MControlPaint info = paint;
  info.text = m_info;
  info.font = MStdFont::Small;
  info.textAlignment = MAlign::Right | MAlign::VCenter;
  info.clicked = false;
  style->PaintContent(drawer, client, info);
}
