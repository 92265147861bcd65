#pragma once
// MSTMLControl: a control that shows an STML text (help panes, the tuning indicator), laid out
// for its client width and drawn with its style's fonts and colours (fixed defaults without a
// style). The style paints the background as for a static control first.
//
// Threads: GUI thread (the document is replaced there; post an event from other threads).
// Failure: SetSTML throws the parser's MException and keeps the text shown before.

#include "gui/MControl.h"
#include "gui/stml/MSTML.h"

class MSTMLControl : public MControl
{
public:
  MSTMLControl();
  ~MSTMLControl() override = default;

  /// Parses `text` (with the help definitions in front when `help`) and shows it; invalidates.
  void SetSTML(const MString& text, bool help = false);
  const MSTML& GetDocument() const { return m_document; }

  /// Height of the text laid out for the current client width, plus the frame.
  MSize GetPreferredSize() const override;
  void Paint(MDrawer& drawer) override;
  /// Reads "stml" (the text shown) besides the control's attributes.
  void LoadAttributes(const MXmlItem& item) override;

private:
  /// Lays the document out for `width` unless it already is.
  void EnsureLayout(std::int32_t width) const;

  mutable MSTML m_document;
  mutable std::int32_t m_laidOutWidth = -1;
  mutable const MStyle* m_laidOutStyle = nullptr;
};
