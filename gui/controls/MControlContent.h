#pragma once
// MControlContent: a control that shows an MContentData (text, or a picture kind of the toolkit).
// Base of statics, buttons, check boxes and value controls. The content is shared and immutable;
// replacing it invalidates the control.
//
// Threads: GUI thread (SetContent from another thread is not allowed: post an event instead).

#include "base/MContentData.h"
#include "gui/MControl.h"

class MFont;

class MControlContent : public MControl
{
public:
  MControlContent();
  ~MControlContent() override = default;

  const MContentDataPtr& GetContent() const { return m_content; }
  /// Replaces the content (null: none) and invalidates.
  void SetContent(MContentDataPtr content);
  /// Text of the content; empty without content.
  MString GetText() const;
  /// Replaces the content by a text content.
  void SetText(const MString& text);

  MAlignment GetTextAlignment() const { return m_textAlignment; }
  void SetTextAlignment(MAlignment alignment);

  /// With FlagAutoDetectMinimalSize and a style: the outer size of a client area that holds the
  /// text in the control's font (and at least the minimal client size); else MControl's.
  MSize GetMinimalSize() const override;

  /// Adds the content's text and the text alignment.
  void FillPaint(MControlPaint& paint) const override;
  /// Reads "text" (the content) and "textalign" (MAlignment name) besides the control's.
  void LoadAttributes(const MXmlItem& item) override;
  void SaveAttributes(MXmlItem& item) const override;

protected:
  /// Size of the text laid out by this control (one line; MStaticMultiLine: one row per line).
  virtual MSize MeasureText(const MFont& font) const;

private:
  MContentDataPtr m_content;
  MAlignment m_textAlignment = MAlign::Center;
};
