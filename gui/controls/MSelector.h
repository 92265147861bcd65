#pragma once
// MSelector: chooses one of N texts. It shows the chosen text between a left and a right arrow;
// clicking an arrow, Left/Right (or Up/Down) and the wheel step through the choices (without
// wrapping); clicking the text opens all choices in a popup menu. Each user change fires the
// changed event.
//
// Threads: GUI thread.

#include "base/MStringList.h"
#include "gui/MControl.h"

#include <cstdint>
#include <memory>

class MWindowMenu;

class MSelector : public MControl
{
public:
  MSelector();
  ~MSelector() override;

  void SetChoices(const MStringList& choices);
  const MStringList& GetChoices() const { return m_choices; }
  /// Index of the chosen text; -1 when there are no choices or none is shown.
  std::int32_t GetSelection() const { return m_selection; }
  /// Sets the choice without firing the changed event (clamped into the list; a negative index
  /// shows none).
  void SetSelection(std::int32_t index);
  /// The user's choice: sets it and fires the changed event when it changed.
  bool Select(std::int32_t index);
  /// Opens the popup of all choices (nothing without an open window).
  void OpenChoices();

  MRect GetLeftArrowRect() const;
  MRect GetRightArrowRect() const;

  MSize GetPreferredSize() const override;
  bool AcceptsFocus() const override { return true; }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseWheel(MPoint position, std::int32_t delta, std::uint32_t modifiers) override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  void Paint(MDrawer& drawer) override;
  /// Reads "items" (texts separated by '|') and "selection" besides the control's attributes.
  void LoadAttributes(const MXmlItem& item) override;
  void SaveAttributes(MXmlItem& item) const override;

private:
  MStringList m_choices;
  std::int32_t m_selection = -1;
  std::unique_ptr<MWindowMenu> m_popup;
};
