#pragma once
// Menus.
//  - MMenuT<Item>: a list whose row under the mouse is selected and whose click chooses (the
//    chosen event fires with the row). Keys as in every list; Return or Space choose. Rows of
//    MMenuItem show a check mark or colour swatch in a gutter, their shortcut at the right, and
//    separators as thin lines. MMenu is the menu of MMenuItem.
//  - MWindowMenu: a popup window holding one MMenu. Popup opens it under a rectangle of an owner
//    control; choosing an entry calls the handler and closes the popup; Escape, the popup
//    losing the focus or a click into another window of the system (ClosesOnOutsideClick)
//    closes it without a choice, and the rest of that click is swallowed for 100 ms
//    (MWindowSystemCommon::SuppressInput), so it does not also reach the control below.
//    Closing is deferred to the event processor, so a handler of the popup's own input can
//    close it safely.
//  - MMenuBarT<Item>: a horizontal bar of titles, each with its menu. Clicking a title, or
//    Down/Return on the focused bar, opens the title's menu in an MWindowMenu below it;
//    Left/Right move between titles. A choice fires the bar's chosen event with the title's and
//    the entry's index. MMenuBar is the bar of MMenuBarItem.
//
// Threads: GUI thread.

#include "base/MEvent.h"
#include "gui/MWindow.h"
#include "gui/controls/MListBox.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

/// Paints one row of a menu: gutter mark, text, shortcut, separator (shared by every MMenuT).
void PaintMenuRow(MDrawer& drawer, MStyle& style, const MMenuItem& item, const MRect& rect,
                  MControlPaint& paint, bool gutter);
/// Preferred width of a menu row.
std::int32_t MeasureMenuRow(const MControl& control, const MMenuItem& item, bool gutter);

template <class Item>
class MMenuT : public MListBoxT<Item>
{
public:
  MMenuT()
  {
    this->SetControlType(MControlType::Menu);
    this->m_hoverSelects = true;
  }
  ~MMenuT() override = default;

  MSize GetPreferredSize() const override
  {
    std::int32_t width = 120;
    if constexpr (std::is_base_of_v<MMenuItem, Item>)
    {
      const bool gutter = HasGutter();
      for (std::int32_t i = 0; i < this->GetItemCount(); ++i)
        width = std::max(width, MeasureMenuRow(*this, this->GetItem(i), gutter));
    }
    else
      width = this->MListBoxBase::GetPreferredSize().x;
    const MSize client{width, this->GetRowHeight() * std::max(1, this->GetItemCount())};
    if (const MStyle* style = this->GetStyle())
      return style->GetControlSize(this->GetControlType(), MCaptionType::None, client);
    return MSize{client.x + 6, client.y + 6};
  }

  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override
  {
    if (key == MVirtualKey::Space)
      return this->GetSelection() >= 0 && this->Choose(this->GetSelection());
    return MListBoxT<Item>::OnKeyDown(key, modifiers);
  }

protected:
  bool HasGutter() const
  {
    if constexpr (std::is_base_of_v<MMenuItem, Item>)
    {
      for (const Item& item : this->m_items)
        if (item.IsChecked() || item.HasSwatch())
          return true;
    }
    return false;
  }

  void PaintItem(MDrawer& drawer, MStyle& style, std::int32_t index, const MRect& rect,
                 MControlPaint& paint) override
  {
    if constexpr (std::is_base_of_v<MMenuItem, Item>)
      PaintMenuRow(drawer, style, this->GetItem(index), rect, paint, HasGutter());
    else
      MListBoxT<Item>::PaintItem(drawer, style, index, rect, paint);
  }
};

class MMenu : public MMenuT<MMenuItem>
{
public:
  MMenu();
  ~MMenu() override = default;

  /// Appends an entry; answers its index.
  std::int32_t AddEntry(const MString& text, const MString& shortcut = MString())
  {
    return AddItem(MMenuItem(text, shortcut));
  }
  void AddSeparator() { AddItem(MMenuItem::Separator()); }
};

class MWindowMenu : public MWindow
{
public:
  using ChooseHandler = std::function<void(std::int32_t index)>;

  MWindowMenu();
  ~MWindowMenu() override;

  MMenu& GetMenu() { return *m_menu; }

  /// Opens the popup below `anchor` (in `owner`'s coordinates) with the menu's preferred size
  /// (kept on the work area); `handler` gets the chosen index. Answers false, opening nothing,
  /// when the owner is not in an open window. A popup already open is moved.
  bool Popup(MControl& owner, const MRect& anchor, ChooseHandler handler);
  /// Closes the popup soon (after the running handler); no choice is reported.
  void Dismiss();

  /// Square corners under the menu's rounded frame, then the menu.
  void Paint(MDrawer& drawer) override;
  /// A click into another window of the system dismisses the popup (and does nothing else).
  bool ClosesOnOutsideClick() const override { return true; }

protected:
  void OnCloseRequested() override { Dismiss(); }
  void OnSizeChanged() override;

private:
  class Body;
  void OnChosen(MOnItemParams<std::int32_t>& params);
  void OnDismiss(MOnNotifyParams& params);

  MMenu* m_menu;
  ChooseHandler m_handler;
  bool m_closing = false; // inside OnDismiss's Close
  MEvent<MOnNotifyParams> m_dismiss;
};

/// A title of a menu bar and its entries.
struct MMenuBarItem
{
  MString text;
  std::vector<MMenuItem> items;
};

/// Which entry of which title was chosen.
struct MMenuBarChoice
{
  std::int32_t menu = -1;
  std::int32_t item = -1;
};

class MMenuBarBase : public MControl
{
public:
  using ChosenEvent = MCallback<MOnItemParams<MMenuBarChoice>>;

  MMenuBarBase();
  ~MMenuBarBase() override;

  virtual std::int32_t GetTitleCount() const = 0;
  virtual MString GetTitle(std::int32_t index) const = 0;
  /// The entries of title `index` for its popup.
  virtual void FillMenu(std::int32_t index, MMenu& menu) const = 0;

  /// Rectangle of title `index` (control coordinates).
  MRect GetTitleRect(std::int32_t index) const;
  std::int32_t TitleAt(MPoint position) const;
  /// The title shown as active (open or focused); -1 when none.
  std::int32_t GetActiveTitle() const { return m_active; }
  /// Opens the popup of title `index`; false when it cannot (no open window).
  bool OpenMenu(std::int32_t index);
  /// Reports a choice as the user's: fires the chosen event.
  void ChooseItem(std::int32_t menu, std::int32_t item);
  ChosenEvent& GetChosenEvent() { return m_chosen; }

  MSize GetPreferredSize() const override;
  bool AcceptsFocus() const override { return true; }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  void OnMouseLeave() override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  void OnFocusOut() override;
  void Paint(MDrawer& drawer) override;

private:
  std::int32_t m_active = -1;
  std::int32_t m_hover = -1;
  std::unique_ptr<MWindowMenu> m_popup;
  ChosenEvent m_chosen;
};

template <class Item>
class MMenuBarT : public MMenuBarBase
{
public:
  std::int32_t GetTitleCount() const override { return static_cast<std::int32_t>(m_titles.size()); }
  MString GetTitle(std::int32_t index) const override
  {
    return m_titles[static_cast<std::size_t>(index)].text;
  }
  void FillMenu(std::int32_t index, MMenu& menu) const override
  {
    menu.Clear();
    for (const MMenuItem& item : m_titles[static_cast<std::size_t>(index)].items)
      menu.AddItem(item);
  }
  /// Appends a title; answers its index.
  std::int32_t AddTitle(Item title)
  {
    m_titles.push_back(std::move(title));
    Invalidate();
    return GetTitleCount() - 1;
  }
  const Item& GetTitleItem(std::int32_t index) const { return m_titles[static_cast<std::size_t>(index)]; }

protected:
  std::vector<Item> m_titles;
};

class MMenuBar : public MMenuBarT<MMenuBarItem>
{
public:
  MMenuBar() = default;
  ~MMenuBar() override = default;
};
