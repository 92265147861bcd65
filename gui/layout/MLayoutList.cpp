#include "gui/layout/MLayoutList.h"

#include "base/MException.h"
#include "base/MSynchronizationObject.h"
#include "gui/MStyle.h"
#include "gui/MWindow.h"
#include "gui/controls/MContainer.h"

#include <algorithm>

namespace
{

// Takes the tree lock of `window` exclusively; nothing while detached.
class MExclusiveTree
{
public:
  explicit MExclusiveTree(MWindow* window) : m_window(window)
  {
    if (m_window != nullptr)
      m_window->GetTreeLock().Acquire(MSynchronizationObject::kModeExclusive);
  }
  ~MExclusiveTree()
  {
    if (m_window != nullptr)
      m_window->GetTreeLock().Release(MSynchronizationObject::kModeExclusive);
  }
  MExclusiveTree(const MExclusiveTree&) = delete;
  MExclusiveTree& operator=(const MExclusiveTree&) = delete;

private:
  MWindow* m_window;
};

} // namespace

MLayoutList::~MLayoutList() = default;

MLayout& MLayoutList::Add(std::unique_ptr<MLayout> layout)
{
  if (layout == nullptr)
    throw MException(MString("MLayoutList::Add: no layout given."));
  if (layout->m_list != nullptr)
    throw MException(MString("MLayoutList::Add: the layout already belongs to a container."));
  layout->m_list = this;
  m_layouts.push_back(std::move(layout));
  return *m_layouts.back();
}

std::unique_ptr<MLayout> MLayoutList::Remove(MLayout& layout)
{
  const auto it = std::find_if(m_layouts.begin(), m_layouts.end(),
                               [&layout](const std::unique_ptr<MLayout>& l) { return l.get() == &layout; });
  if (it == m_layouts.end())
    return nullptr;
  std::unique_ptr<MLayout> owned = std::move(*it);
  m_layouts.erase(it);
  owned->m_list = nullptr;
  return owned;
}

void MLayoutList::Arrange(MControl* client)
{
  if (m_arranging)
    return;
  m_arranging = true;
  struct Reset
  {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{m_arranging};

  MExclusiveTree lock(m_container.GetWindow());
  const MStyle* style = m_container.GetStyle();
  for (std::size_t i = 0; i < m_container.GetChildCount(); ++i)
  {
    MControl& child = *m_container.GetChild(i);
    if (child.IsCollapsed())
    {
      const std::int32_t caption =
          style != nullptr ? style->GetControlSize(child.GetControlType(), child.GetCaptionType(), MSize{}).y
                           : 0;
      child.SetCollapsedSize(MSize{0, std::max(caption, 0)});
    }
  }
  const MRect clientRect = m_container.GetClientRect();
  MLayout::FreeRect free = MLayout::FreeRect::FromRect(clientRect);
  MLayout::CurrentSizeComputer computer(style);
  for (const auto& layout : m_layouts)
    free = layout->Arrange(computer, free);
  if (client != nullptr && client->GetParent() == &m_container)
    client->SetBounds(free.ToRect().Intersect(clientRect));
}

MControl* MLayoutList::FindClient() const
{
  if (MControl* client = m_container.GetClientControl())
    return client;
  for (std::size_t i = 0; i < m_container.GetChildCount(); ++i)
    if (MControl* child = m_container.GetChild(i); child->HasFlag(MControl::FlagClientLayout))
      return child;
  return nullptr;
}

MSize MLayoutList::Measure(MLayout::SizeComputer& computer) const
{
  MLayout::FreeRect free = MLayout::FreeRect::FromRect(m_container.GetClientRect());
  for (const auto& layout : m_layouts)
    free = layout->Compute(computer, free);
  if (const MControl* client = FindClient(); client != nullptr && client->IsVisible())
    computer.NeedArea(computer.ClientExtent(*client, MLayout::Axis::X),
                      computer.ClientExtent(*client, MLayout::Axis::Y));
  MSize need = computer.GetNeededSize();
  const MSize own = m_container.GetMinimalClientSize();
  need.x = std::max(need.x, own.x);
  need.y = std::max(need.y, own.y);
  if (const MStyle* style = computer.GetStyle())
    return style->GetControlSize(m_container.GetControlType(), m_container.GetCaptionType(), need);
  return need;
}

MSize MLayoutList::GetMinimalSize() const
{
  MLayout::MinimalSizeComputer computer(m_container.GetStyle());
  return Measure(computer);
}

MSize MLayoutList::GetPreferredSize() const
{
  MLayout::CurrentSizeComputer computer(m_container.GetStyle());
  return Measure(computer);
}
