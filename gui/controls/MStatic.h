#pragma once
// Static texts and decorative panels:
//  - MStatic: one line of text (the content), aligned by the text alignment.
//  - MStaticMultiLine: text broken at line feeds, one line per row of the font's height.
//  - MPanelGradient: a panel with a vertical gradient from the style's light colour to its dark
//    colour; MPanelGradientBlack: the same ending in black.

#include "gui/controls/MControlContent.h"

class MStatic : public MControlContent
{
public:
  MStatic();
  explicit MStatic(const MString& text);
  ~MStatic() override = default;
};

class MStaticMultiLine : public MStatic
{
public:
  MStaticMultiLine();
  explicit MStaticMultiLine(const MString& text);
  ~MStaticMultiLine() override = default;

  /// Paints each line of the text in its own row (the style's frame first).
  void Paint(MDrawer& drawer) override;

protected:
  /// The widest line by the number of lines.
  MSize MeasureText(const MFont& font) const override;
};

class MPanelGradient : public MStatic
{
public:
  MPanelGradient();
  ~MPanelGradient() override = default;

  void Paint(MDrawer& drawer) override;

protected:
  /// Top and bottom colours of the gradient.
  virtual void GetGradientColors(MColor& top, MColor& bottom) const;
};

class MPanelGradientBlack : public MPanelGradient
{
public:
  MPanelGradientBlack() = default;
  ~MPanelGradientBlack() override = default;

protected:
  void GetGradientColors(MColor& top, MColor& bottom) const override;
};
