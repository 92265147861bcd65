#pragma once
// MTabSet: a strip of tabs over a page area. Each tab may own a page control, which is shown
// (filling the page area) while its tab is selected and hidden otherwise. A click on a tab or
// Left/Right while focused selects; each user change fires the changed event.
//
// Threads: GUI thread.

#include "gui/MControl.h"

#include <cstdint>
#include <memory>
#include <vector>

class MTabSet : public MControl
{
public:
  MTabSet();
  ~MTabSet() override = default;

  /// Appends a tab with an optional page (owned, a child of the tab set); answers its index.
  std::int32_t AddTab(const MString& title, std::unique_ptr<MControl> page = nullptr);
  std::int32_t GetTabCount() const { return std::int32_t(m_tabs.size()); }
  const MString& GetTabTitle(std::int32_t index) const { return m_tabs[std::size_t(index)].title; }
  MControl* GetPage(std::int32_t index) const;
  std::int32_t GetSelection() const { return m_selection; }
  /// Selects without the changed event.
  void SetSelection(std::int32_t index);
  /// The user's choice; fires the changed event when it changed.
  bool Select(std::int32_t index);

  MRect GetTabRect(std::int32_t index) const;
  /// The area pages fill (control coordinates).
  MRect GetPageRect() const;
  std::int32_t TabAt(MPoint position) const;

  MSize GetPreferredSize() const override;
  bool AcceptsFocus() const override { return true; }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  void OnMouseLeave() override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  void Paint(MDrawer& drawer) override;

protected:
  void OnSizeChanged() override { LayoutPages(); }

private:
  struct Tab
  {
    MString title;
    MControl* page;
  };
  std::int32_t StripHeight() const;
  void LayoutPages();

  std::vector<Tab> m_tabs;
  std::int32_t m_selection = -1;
  std::int32_t m_hover = -1;
};
