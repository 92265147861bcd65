#include "gui/stml/MSTMLControl.h"

#include "base/MXmlItem.h"
#include "gui/MDrawer.h"

#include <algorithm>

MSTMLControl::MSTMLControl()
{
  SetControlType(MControlType::Static);
}

void MSTMLControl::SetSTML(const MString& text, bool help)
{
  MSTML document;
  if (help)
    document.ParseHelp(text);
  else
    document.Parse(text);
  m_document.SwapItems(document);
  m_laidOutWidth = -1;
  Invalidate();
}

void MSTMLControl::EnsureLayout(std::int32_t width) const
{
  const MStyle* style = GetStyle();
  if (width == m_laidOutWidth && style == m_laidOutStyle)
    return;
  m_document.Layout(width, MSTMLResources(style));
  m_laidOutWidth = width;
  m_laidOutStyle = style;
}

MSize MSTMLControl::GetPreferredSize() const
{
  const MRect client = GetClientRect();
  EnsureLayout(client.Width());
  const MSize minimal = GetMinimalSize();
  const MSize size{GetSize().x, GetSize().y - client.Height() + m_document.GetLayoutSize().y};
  return MSize{std::max(size.x, minimal.x), std::max(size.y, minimal.y)};
}

void MSTMLControl::Paint(MDrawer& drawer)
{
  MControl::Paint(drawer);
  const MRect client = GetClientRect();
  if (client.IsEmpty())
    return;
  EnsureLayout(client.Width());
  const MRect saved = drawer.IntersectClip(client);
  m_document.Draw(drawer, MPoint{client.left, client.top}, MSTMLResources(GetStyle()));
  drawer.RestoreClip(saved);
}

void MSTMLControl::LoadAttributes(const MXmlItem& item)
{
  MControl::LoadAttributes(item);
  if (item.HasAttribute("stml"))
    SetSTML(item.GetAttribute());
}
