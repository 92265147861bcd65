#pragma once
// A style for tests of the control tree: every control is a flat rectangle whose colour says its
// type and state, so snapshots need no fonts or art, and every PaintControl call is recorded with
// the drawer's origin and clip. A non-empty caption takes a 10-pixel strip at the top.

#include "gui/MDrawer.h"
#include "gui/MFont.h"
#include "gui/MStyle.h"

#include <vector>

class MRecordingStyle : public MStyle
{
public:
  static constexpr std::int32_t kCaptionHeight = 10;

  struct Call
  {
    MControlPaint paint;
    MPoint origin;
    MRect clip; // target pixels
  };
  std::vector<Call> calls;

  MString GetName() const override { return "Recording"; }
  std::int32_t GetMetric(std::int32_t index) const override { return index == MetricSpacing ? 4 : 0; }
  MRect GetClientRect(MControlType, MCaptionType caption, MSize size) const override
  {
    const std::int32_t top = caption == MCaptionType::None ? 0 : std::min(kCaptionHeight, size.y);
    return MRect{0, top, size.x, size.y};
  }
  MSize GetControlSize(MControlType, MCaptionType caption, MSize client) const override
  {
    return MSize{client.x, client.y + (caption == MCaptionType::None ? 0 : kCaptionHeight)};
  }
  void PaintControl(MDrawer& drawer, const MControlPaint& paint) override
  {
    const MPoint origin = drawer.GetOrigin();
    const MRect clip = drawer.GetClip().Offset(origin.x, origin.y);
    calls.push_back(Call{paint, origin, clip});
    drawer.FillRectangle(paint.rect, ColorOf(paint), MColorOp::Copy);
    if (paint.captionType != MCaptionType::None)
      drawer.FillRectangle(MRect{0, 0, paint.rect.right, kCaptionHeight}, MColor{0x50, 0x56, 0x60, 0xFF});
  }
  void PaintContent(MDrawer&, const MRect&, const MControlPaint&) override {}
  MColor GetColor(MStdColor) const override { return MColor{0x80, 0x80, 0x80, 0xFF}; }
  const MFont& GetFont(MStdFont) const override { return m_font; }
  void LoadConfiguration(const MXmlItem&) override {}
  void SaveConfiguration(MXmlItem&) const override {}

  static MColor ColorOf(const MControlPaint& paint)
  {
    if (paint.disabled)
      return MColor{0x40, 0x40, 0x40, 0xFF};
    if (paint.clicked)
      return MColor{0xF0, 0x90, 0x20, 0xFF};
    if (paint.highlighted)
      return MColor{0x60, 0x70, 0x90, 0xFF};
    if (paint.focused)
      return MColor{0x30, 0x90, 0xE0, 0xFF};
    switch (paint.type)
    {
    case MControlType::Window:
      return MColor{0x1E, 0x21, 0x26, 0xFF};
    case MControlType::Panel:
      return MColor{0x2A, 0x2E, 0x35, 0xFF};
    default:
      return MColor{0x3A, 0x40, 0x4A, 0xFF};
    }
  }

private:
  MFont m_font;
};
