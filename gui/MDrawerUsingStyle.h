#pragma once
// MDrawerUsingStyle<Drawer>: a drawer that also knows a style, for code that draws content no
// control type covers (piano keys, curves, meters, editors) in the style's colours and fonts:
//
//   MDrawerUsingStyle<MDrawerToMBitmap> drawer(style, surface);
//   drawer.FillStyled(keyRect, MStdColor::Light);
//   drawer.DrawStyledText(labelRect, "C4", MStdColor::Text, MStdFont::Small);
//   drawer.DrawFrame(MControlType::Button, buttonRect, MControlState{.highlighted = true});
//
// `Drawer` is any MDrawer implementation; its constructor arguments follow the style. The style
// is not owned and must outlive the drawer (SetStyle switches it). Threads and failure: those of
// the drawer and the style (GUI thread; painting never throws).

#include "gui/MDrawer.h"
#include "gui/MStyle.h"

#include <utility>

/// State flags of a control drawn through DrawFrame.
struct MControlState
{
  bool focused = false;
  bool highlighted = false;
  bool clicked = false;
  bool disabled = false;
};

template <class Drawer>
class MDrawerUsingStyle : public Drawer
{
public:
  template <typename... Arguments>
  explicit MDrawerUsingStyle(MStyle& style, Arguments&&... arguments)
      : Drawer(std::forward<Arguments>(arguments)...), m_style(&style)
  {}

  MStyle& GetStyle() const { return *m_style; }
  void SetStyle(MStyle& style) { m_style = &style; }

  /// Background, frame, state image and indicator of a control described by `paint`.
  void DrawControl(const MControlPaint& paint) { m_style->PaintControl(*this, paint); }

  /// The frame and state image of a control of `type` filling `rect` (no caption, no value).
  void DrawFrame(MControlType type, const MRect& rect, const MControlState& state = {})
  {
    MControlPaint paint;
    paint.type = type;
    paint.rect = rect;
    paint.focused = state.focused;
    paint.highlighted = state.highlighted;
    paint.clicked = state.clicked;
    paint.disabled = state.disabled;
    m_style->PaintControl(*this, paint);
  }

  /// One line of text in a style colour and font.
  void DrawStyledText(const MRect& rect, const MString& text, MStdColor color = MStdColor::Text,
                      MStdFont font = MStdFont::Normal, MAlignment alignment = MAlign::Center)
  {
    this->AlignedTextOut(rect, text, m_style->GetFont(font), m_style->GetColor(color), alignment);
  }

  /// A rectangle filled (or framed) in a style colour, its alpha scaled by `alpha` / 255.
  void FillStyled(const MRect& rect, MStdColor color, std::uint8_t alpha = 255)
  {
    this->FillRectangle(rect, m_style->GetColor(color).WithAlpha(alpha));
  }
  void FrameStyled(const MRect& rect, MStdColor color, std::int32_t thickness = 1)
  {
    this->FrameRectangle(rect, m_style->GetColor(color), thickness);
  }

private:
  MStyle* m_style;
};
