#include "gui/controls/MProgressBar.h"

#include "gui/controls/MControlUtility.h"

#include <algorithm>
#include <cmath>

MProgressBar::MProgressBar()
{
  SetControlType(MControlType::ProgressBar);
}

void MProgressBar::SetProgress(double progress)
{
  if (!(progress >= 0.0))
    progress = 0.0;
  progress = std::min(progress, 1.0);
  const bool visible = std::lround(progress * 1000) != std::lround(m_progress * 1000);
  m_progress = progress;
  if (visible)
    Invalidate();
}

void MProgressBar::SetLabel(const MString& label)
{
  m_label = label;
  Invalidate();
}

void MProgressBar::SetShowPercent(bool show)
{
  m_showPercent = show;
  Invalidate();
}

MString MProgressBar::GetDisplayText() const
{
  MString text = m_label;
  if (m_showPercent)
  {
    if (!text.IsEmpty())
      text += MString("  ");
    text += MString::FromInteger(std::lround(m_progress * 100));
    text += MString(" %");
  }
  return text;
}

MSize MProgressBar::GetPreferredSize() const
{
  return MSize{200, std::max(18, MControlUtility::LineHeight(*this, MStdFont::Small) + 4)};
}

void MProgressBar::FillPaint(MControlPaint& paint) const
{
  MControl::FillPaint(paint);
  paint.value = m_progress;
  paint.text = GetDisplayText();
  paint.font = MStdFont::Small;
}

void MProgressBar::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  MControlUtility::PaintStyled(drawer, *style, paint, GetClientRect());
}
