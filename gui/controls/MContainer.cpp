#include "gui/controls/MContainer.h"

MContainer::MContainer() = default;

MContainer::~MContainer() = default;

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
  if (client != nullptr)
    client->SetBounds(GetClientRect());
}
