#include "gui/controls/MControlContent.h"

#include "base/MException.h"
#include "base/MFormat.h"
#include "base/MXmlItem.h"
#include "gui/MFont.h"

#include <algorithm>

MControlContent::MControlContent() = default;

void MControlContent::SetContent(MContentDataPtr content)
{
  m_content = std::move(content);
  Invalidate();
}

MString MControlContent::GetText() const
{
  return m_content != nullptr ? m_content->GetText() : MString();
}

void MControlContent::SetText(const MString& text)
{
  if (m_content != nullptr && m_content->GetKind() == MContentData::Kind::Text &&
      m_content->GetText() == text)
    return;
  SetContent(MContentData::MakeText(text));
}

void MControlContent::SetTextAlignment(MAlignment alignment)
{
  m_textAlignment = alignment;
  Invalidate();
}

MSize MControlContent::MeasureText(const MFont& font) const
{
  return MSize{font.TextWidth(GetText()), font.LineHeight()};
}

MSize MControlContent::GetMinimalSize() const
{
  const MStyle* style = GetStyle();
  if (!HasFlag(FlagAutoDetectMinimalSize) || style == nullptr || IsCollapsed())
    return MControl::GetMinimalSize();
  const MSize text = MeasureText(style->GetFont(GetFont()));
  const MSize minimal = GetMinimalClientSize();
  return style->GetControlSize(GetControlType(), GetCaptionType(),
                               MSize{std::max(text.x, minimal.x), std::max(text.y, minimal.y)});
}

void MControlContent::FillPaint(MControlPaint& paint) const
{
  MControl::FillPaint(paint);
  paint.text = GetText();
  paint.textAlignment = m_textAlignment;
}

void MControlContent::LoadAttributes(const MXmlItem& item)
{
  MControl::LoadAttributes(item);
  if (item.HasAttribute("textalign"))
  {
    const MString text = item.GetAttribute();
    try
    {
      m_textAlignment = ParseAlignment(text);
    }
    catch (const MException& exception)
    {
      throw MException(MFormat::Format("Invalid value of attribute \"{0}\": {1}", MString("textalign"),
                                       exception.Message()));
    }
  }
  if (item.HasAttribute("text"))
    SetText(item.GetAttribute());
}

void MControlContent::SaveAttributes(MXmlItem& item) const
{
  MControl::SaveAttributes(item);
  const MString alignment = AlignmentName(m_textAlignment);
  item.SetAttribute("textalign", alignment.IsEmpty() ? AlignmentName(MAlign::Center) : alignment);
  item.SetAttribute("text", GetText());
}
