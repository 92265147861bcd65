#pragma once
// MProgressBar: shows how far a task is (0..1) as a filled bar with an optional text over it
// ("Analysing… 42 %"). Display only; SetProgress may be called as often as wanted (it only
// invalidates when the filled width or the text changes).
//
// Threads: GUI thread (workers post their progress to it).

#include "gui/MControl.h"

class MProgressBar : public MControl
{
public:
  MProgressBar();
  ~MProgressBar() override = default;

  double GetProgress() const { return m_progress; }
  /// Sets the progress, limited to 0..1 (not-a-number reads as 0).
  void SetProgress(double progress);
  /// Text shown over the bar; with ShowPercent the percentage is appended.
  void SetLabel(const MString& label);
  void SetShowPercent(bool show);
  /// The text shown (label and percentage).
  MString GetDisplayText() const;

  MSize GetPreferredSize() const override;
  void FillPaint(MControlPaint& paint) const override;
  void Paint(MDrawer& drawer) override;

private:
  double m_progress = 0.0;
  MString m_label;
  bool m_showPercent = true;
};
