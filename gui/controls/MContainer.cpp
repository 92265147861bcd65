#include "gui/controls/MContainer.h"

#include "gui/layout/MLayoutList.h"

MContainer::MContainer() = default;

MContainer::~MContainer() = default;

MLayoutList& MContainer::GetLayouts()
{
  if (m_layouts == nullptr)
    m_layouts = std::make_unique<MLayoutList>(*this);
  return *m_layouts;
}

MSize MContainer::GetMinimalSize() const
{
  return m_layouts != nullptr && !IsCollapsed() ? m_layouts->GetMinimalSize() : MPanel::GetMinimalSize();
}

MSize MContainer::GetPreferredSize() const
{
  return m_layouts != nullptr && !IsCollapsed() ? m_layouts->GetPreferredSize() : MPanel::GetPreferredSize();
}

void MContainer::SetClientControl(MControl* control)
{
  if (control != nullptr && control->GetParent() != this)
    return;
  m_client = control;
  Arrange();
}

void MContainer::Arrange()
{
  MControl* client = m_client;
  if (client == nullptr)
  {
    for (std::size_t i = 0; i < GetChildCount() && client == nullptr; ++i)
      if (GetChild(i)->HasFlag(FlagClientLayout))
        client = GetChild(i);
  }
  else
  {
    // The client may have been removed meanwhile.
    bool found = false;
    for (std::size_t i = 0; i < GetChildCount() && !found; ++i)
      found = GetChild(i) == client;
    if (!found)
      client = m_client = nullptr;
  }
  if (m_layouts != nullptr)
    m_layouts->Arrange(client);
  else if (client != nullptr)
    client->SetBounds(GetClientRect());
}
