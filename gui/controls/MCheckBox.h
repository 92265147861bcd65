#pragma once
// Check boxes.
//  - MCheckBox: a box with a label. A click (press and release over it), Space or Return while
//    focused toggles it: Off -> On, On -> Off, Grayed -> On; a three-state box cycles
//    Off -> On -> Grayed -> Off. Each user toggle fires the changed event.
//  - MCheckBoxWithInfo: a check box with a second, smaller text right-aligned after the label
//    (a hint such as "(recommended)" or a value).
//
// Threads: GUI thread.

#include "gui/controls/MControlContent.h"

#include <cstdint>

class MCheckBox : public MControlContent
{
public:
  MCheckBox();
  explicit MCheckBox(const MString& text, MCheckState state = MCheckState::Off);
  ~MCheckBox() override = default;

  MCheckState GetCheck() const { return m_check; }
  bool IsChecked() const { return m_check == MCheckState::On; }
  /// Sets the state without firing the changed event; invalidates.
  void SetCheck(MCheckState state);
  void SetThreeState(bool threeState) { m_threeState = threeState; }
  /// The user's toggle (see the file comment); fires the changed event.
  virtual void Toggle();

  MSize GetPreferredSize() const override;
  bool AcceptsFocus() const override { return true; }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  void OnCaptureLost() override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  void FillPaint(MControlPaint& paint) const override;
  /// Reads "checked" (0, 1, 2 = grayed) and "threestate" besides the content attributes.
  void LoadAttributes(const MXmlItem& item) override;
  void SaveAttributes(MXmlItem& item) const override;

private:
  MCheckState m_check = MCheckState::Off;
  bool m_threeState = false;
  bool m_pressing = false;
};

class MCheckBoxWithInfo : public MCheckBox
{
public:
  MCheckBoxWithInfo();
  MCheckBoxWithInfo(const MString& text, const MString& info);
  ~MCheckBoxWithInfo() override = default;

  const MString& GetInfo() const { return m_info; }
  void SetInfo(const MString& info);

  MSize GetPreferredSize() const override;
  void Paint(MDrawer& drawer) override;

private:
  MString m_info;
};
