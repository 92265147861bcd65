#pragma once
// MControlValue: a content control bound to an MValue. It shows the value's content and changes
// the value only through the value's own operations (SetNormalised, Increment, IncrementFine,
// SetStep, SetText, SetDefault); each change that took effect fires the changed event and
// invalidates the control. Knob, rotator, tracker, switcher and value button derive from it and
// map mouse and keys onto these operations.
//
// Ownership: Bind leaves the value with the caller (who keeps it alive while bound, e.g. a
// parameter); BindOwned makes the control own it (values created from XML).
// Gestures: a user edit is framed by the gesture event (item true = begin, false = end), so that
// whoever records the changes (a host's automation) sees one edit per gesture. A drag opens the
// gesture on mouse down and closes it on release or capture loss (MValueGesture); any change
// that arrives while no gesture is open (wheel, keys, typed entry, a switch click, double click)
// is framed on its own: begin, changed event, end.
//
// Threads: GUI thread. A value changed elsewhere (automation) is shown after Refresh.

#include "base/MCallback.h"
#include "base/MEventParams.h"
#include "gui/controls/MControlContent.h"

#include <memory>

class MValue;

class MControlValue : public MControlContent
{
public:
  MControlValue();
  ~MControlValue() override;

  /// Binds `value` (not owned; null unbinds) and refreshes.
  void Bind(MValue* value);
  /// Binds and owns `value`.
  void BindOwned(std::unique_ptr<MValue> value);
  MValue* GetValue() const { return m_value; }

  /// Re-reads the content from the value and invalidates when it changed.
  void Refresh();

  /// The value's operations; each answers whether the value changed (false when unbound) and,
  /// when it did, refreshes, fires the changed event and invalidates.
  bool SetNormalised(double x);
  bool Increment(int steps, int level = 0);
  bool IncrementFine(int steps);
  bool SetStep(int step);
  bool SetValueText(const MString& text);
  bool SetDefault();
  /// The value's normalised position; -1 when unbound.
  double GetNormalised() const;

  /// Fired with item true when a user edit begins and false when it ends (see the file comment).
  using GestureEvent = MCallback<MOnItemParams<bool>>;
  GestureEvent& GetGestureEvent() { return m_gestureEvent; }
  /// Opens / closes the gesture; nothing when it already is open / closed. Destroying the
  /// control fires nothing: an owner that forwards gestures closes what is still open itself.
  void BeginGesture();
  void EndGesture();
  bool IsGestureOpen() const { return m_gestureOpen; }

  /// Tablet mode (MWindow::IsTabletMode): the normalised value a pen press at `position`
  /// (control coordinates) points at, or a negative number when the control has no shape of its
  /// own for it (MValueGesture then maps the position along its axis over the client rectangle).
  virtual double NormalisedAt(MPoint position) const;

  /// Adds the normalised value and the value's text ("Learn..." while the window's control menu
  /// waits for this control).
  void FillPaint(MControlPaint& paint) const override;

protected:
  /// Common tail of the operations: refresh, notify (inside a gesture), invalidate when `changed`.
  bool AfterChange(bool changed);

private:
  MValue* m_value = nullptr;
  std::unique_ptr<MValue> m_ownedValue;
  GestureEvent m_gestureEvent;
  bool m_gestureOpen = false;
};
