#pragma once
// MLayoutList: the ordered layouts of one container (MContainer::GetLayouts), and the container's
// arrangement and sizing through them.
//
// Arrangement (MContainer::Arrange, after every size change): with the window's tree lock held
// exclusively, the collapsed size of each collapsed child is taken from the style (its caption
// strip: the outer height of an empty client area; width 0 = keeps its width), then the layouts
// run in list order starting from the client rectangle, each on what the previous one left; the
// rest, clipped to the client rectangle, goes to the client control. A layout only places
// visible children of this container. An arrangement started while one runs for the same
// container (a control that resizes its parent from its own size change) returns at once.
//
// Sizing: the same run with MLayout::MinimalSizeComputer gives the minimal client size (the bands
// plus what the filling layouts and the client control need), with CurrentSizeComputer the
// preferred one; each is raised to the container's own minimal client size and turned into an
// outer size by the style.
//
// Adding layouts or controls, and showing, hiding or collapsing a control, does not arrange by
// itself: call MContainer::Arrange afterwards (resizing the container does).
//
// Threads: GUI thread.

#include "gui/MGuiTypes.h"
#include "gui/layout/MLayout.h"

#include <memory>
#include <utility>
#include <vector>

class MContainer;
class MControl;

class MLayoutList
{
public:
  explicit MLayoutList(MContainer& container) : m_container(container) {}
  MLayoutList(const MLayoutList&) = delete;
  MLayoutList& operator=(const MLayoutList&) = delete;
  /// Destroys the layouts (their controls are unlinked).
  ~MLayoutList();

  MContainer& GetContainer() const { return m_container; }

  /// Appends `layout` (owned from now on) and answers it. A null layout or one that already
  /// belongs to a list throws MException.
  MLayout& Add(std::unique_ptr<MLayout> layout);
  /// Creates a layout of class T at the end of the list.
  template <class T, class... Arguments>
  T& Add(Arguments&&... arguments)
  {
    auto layout = std::make_unique<T>(std::forward<Arguments>(arguments)...);
    T& reference = *layout;
    Add(std::move(layout));
    return reference;
  }
  /// Takes `layout` out of the list and hands it back (null when it is not in the list).
  std::unique_ptr<MLayout> Remove(MLayout& layout);
  std::size_t GetCount() const { return m_layouts.size(); }
  MLayout* Get(std::size_t index) const
  {
    return index < m_layouts.size() ? m_layouts[index].get() : nullptr;
  }

  /// Arranges the container's children (see the file comment); `client` (may be null) is the
  /// container's client control.
  void Arrange(MControl* client);
  /// Outer sizes (see the file comment).
  MSize GetMinimalSize() const;
  MSize GetPreferredSize() const;

private:
  MSize Measure(MLayout::SizeComputer& computer) const;
  MControl* FindClient() const;

  MContainer& m_container;
  std::vector<std::unique_ptr<MLayout>> m_layouts;
  bool m_arranging = false;
};
