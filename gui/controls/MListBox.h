#pragma once
// Lists of items.
//
// Item types (plain records the list owns by value):
//  - MListItem: a text, an enabled flag and a word of user data; base of the others.
//  - MStringItem: a text item.
//  - MFileItem: a directory entry (name, full path, folder flag, size in bytes).
//  - MMenuItem: a menu entry: text, shortcut text, check mark, separator, optional colour swatch.
//
// MListBoxBase does the work for every list: one selected row (or none), rows of the style's row
// height scrolled by a vertical scroll bar at the right when they do not fit, and:
//   click               selects the row (the changed event fires when the selection changes)
//   double click        chooses the row (the chosen event fires with its index)
//   Up/Down             previous/next enabled row; PageUp/PageDown a page; Home/End first/last
//   Return              chooses the selected row
//   a letter            the next row whose text starts with it (case folded)
//   wheel               scrolls three rows
// Disabled rows and separators are never selected. The selection is kept visible.
// MListBoxT<Item> stores the items; MListBox is the list of texts.
//
// Threads: GUI thread.

#include "base/MCallback.h"
#include "base/MEventParams.h"
#include "gui/MControl.h"

#include <cstdint>
#include <vector>

class MListItem
{
public:
  MListItem() = default;
  explicit MListItem(const MString& text) : m_text(text) {}
  virtual ~MListItem() = default;
  MListItem(const MListItem&) = default;
  MListItem& operator=(const MListItem&) = default;

  const MString& GetText() const { return m_text; }
  void SetText(const MString& text) { m_text = text; }
  bool IsEnabled() const { return m_enabled; }
  void SetEnabled(bool enabled) { m_enabled = enabled; }
  std::intptr_t GetData() const { return m_data; }
  void SetData(std::intptr_t data) { m_data = data; }
  /// Rows that can never be selected (separators).
  virtual bool IsSelectable() const { return m_enabled; }

private:
  MString m_text;
  std::intptr_t m_data = 0;
  bool m_enabled = true;
};

class MStringItem : public MListItem
{
public:
  using MListItem::MListItem;
};

class MFileItem : public MListItem
{
public:
  MFileItem() = default;
  /// `name` is shown; `path` is the full path (UTF-8 file names as MString).
  MFileItem(const MString& name, const MString& path, bool directory, std::uint64_t size = 0)
      : MListItem(name), m_path(path), m_size(size), m_directory(directory)
  {}
  const MString& GetPath() const { return m_path; }
  bool IsDirectory() const { return m_directory; }
  std::uint64_t GetSize() const { return m_size; }

private:
  MString m_path;
  std::uint64_t m_size = 0;
  bool m_directory = false;
};

class MMenuItem : public MListItem
{
public:
  MMenuItem() = default;
  explicit MMenuItem(const MString& text, const MString& shortcut = MString())
      : MListItem(text), m_shortcut(shortcut)
  {}
  static MMenuItem Separator()
  {
    MMenuItem item;
    item.m_separator = true;
    return item;
  }

  const MString& GetShortcut() const { return m_shortcut; }
  bool IsChecked() const { return m_checked; }
  void SetChecked(bool checked) { m_checked = checked; }
  bool IsSeparator() const { return m_separator; }
  bool HasSwatch() const { return m_hasSwatch; }
  MColor GetSwatch() const { return m_swatch; }
  void SetSwatch(MColor color)
  {
    m_swatch = color;
    m_hasSwatch = true;
  }
  bool IsSelectable() const override { return !m_separator && IsEnabled(); }

private:
  MString m_shortcut;
  MColor m_swatch;
  bool m_checked = false;
  bool m_separator = false;
  bool m_hasSwatch = false;
};

class MListBoxBase : public MControl
{
public:
  using ChosenEvent = MCallback<MOnItemParams<std::int32_t>>;

  MListBoxBase();
  ~MListBoxBase() override = default;

  virtual std::int32_t GetItemCount() const = 0;
  /// Item `index` (0 <= index < GetItemCount()).
  virtual const MListItem& GetItemAt(std::int32_t index) const = 0;

  /// Selected row; -1 when none.
  std::int32_t GetSelection() const { return m_selection; }
  /// Selects `index` (-1 or out of range: nothing) without firing the changed event.
  void SetSelection(std::int32_t index);
  /// The user's selection: selects, keeps it visible, fires the changed event when it changed.
  void Select(std::int32_t index);
  /// Fires the chosen event for `index` (a selectable row); answers whether it fired.
  virtual bool Choose(std::int32_t index);
  ChosenEvent& GetChosenEvent() { return m_chosen; }

  /// First visible row.
  std::int32_t GetTopIndex() const { return m_top; }
  void SetTopIndex(std::int32_t index);
  /// Scrolls so that `index` is visible.
  void EnsureVisible(std::int32_t index);
  std::int32_t GetRowHeight() const;
  /// Rows that fit the client height (at least 1).
  std::int32_t GetVisibleRows() const;
  /// The row under `position` (control coordinates); -1 when none.
  std::int32_t RowAt(MPoint position) const;
  /// Rectangle of row `index` (control coordinates), whether visible or not.
  MRect GetRowRect(std::int32_t index) const;

  MSize GetPreferredSize() const override;
  bool AcceptsFocus() const override { return true; }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseWheel(MPoint position, std::int32_t delta, std::uint32_t modifiers) override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  bool OnCharacter(std::int32_t character, std::uint32_t modifiers) override;
  void OnMouseLeave() override;
  void OnCaptureLost() override;
  void Paint(MDrawer& drawer) override;

protected:
  /// Keeps the scroll position valid and the selection in view.
  void OnSizeChanged() override;
  /// Paints row `index` into `rect`; `paint` has the row's text and state (clicked = selected,
  /// highlighted = under the mouse). Default: the style's row.
  virtual void PaintItem(MDrawer& drawer, MStyle& style, std::int32_t index, const MRect& rect,
                         MControlPaint& paint);
  /// The client area without the scroll bar.
  MRect GetRowsRect() const;
  /// The scroll bar; empty when every row fits.
  MRect GetScrollBarRect() const;
  /// The next selectable row from `from` in `direction` (±1), or `from` when none.
  std::int32_t NextSelectable(std::int32_t from, std::int32_t direction) const;
  /// Items were added or removed: clamps the selection and the scroll position.
  void ItemsChanged();

  /// Menus: the row under the mouse is selected, a click chooses it.
  bool m_hoverSelects = false;
  std::int32_t m_hover = -1;

private:
  std::int32_t m_selection = -1;
  std::int32_t m_top = 0;
  bool m_draggingThumb = false;
  std::int32_t m_thumbGrab = 0;
  ChosenEvent m_chosen;
};

/// A list box over items of type Item (an MListItem).
template <class Item>
class MListBoxT : public MListBoxBase
{
public:
  MListBoxT() = default;
  ~MListBoxT() override = default;

  std::int32_t GetItemCount() const override { return static_cast<std::int32_t>(m_items.size()); }
  const MListItem& GetItemAt(std::int32_t index) const override
  {
    return m_items[static_cast<std::size_t>(index)];
  }
  const Item& GetItem(std::int32_t index) const { return m_items[static_cast<std::size_t>(index)]; }
  Item& GetItem(std::int32_t index) { return m_items[static_cast<std::size_t>(index)]; }

  /// Appends an item; answers its index.
  std::int32_t AddItem(Item item)
  {
    m_items.push_back(std::move(item));
    ItemsChanged();
    return GetItemCount() - 1;
  }
  /// Removes item `index` (ignored outside the list).
  void RemoveItem(std::int32_t index)
  {
    if (index < 0 || index >= GetItemCount())
      return;
    m_items.erase(m_items.begin() + index);
    if (GetSelection() == index)
      SetSelection(-1);
    else if (GetSelection() > index)
      SetSelection(GetSelection() - 1);
    ItemsChanged();
  }
  void Clear()
  {
    m_items.clear();
    SetSelection(-1);
    ItemsChanged();
  }

protected:
  std::vector<Item> m_items;
};

class MListBox : public MListBoxT<MStringItem>
{
public:
  MListBox();
  ~MListBox() override = default;

  /// Appends a text row; answers its index.
  std::int32_t AddString(const MString& text) { return AddItem(MStringItem(text)); }
  /// Text of the selected row; empty when none.
  MString GetSelectedText() const;
  /// Reads "items" (texts separated by '|') and "selection" besides the control's attributes.
  void LoadAttributes(const MXmlItem& item) override;
  void SaveAttributes(MXmlItem& item) const override;
};
