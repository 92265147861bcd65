// The editor link and the editor refresh requests.

#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "core/plugin/MAudioPlugin.h"
#include "core/plugin/MAutomationUpdateRequestThread.h"

#include <cmath>

void MAudioPlugin::NeedUpdateEditor(AutomationAdapter* adapter)
{
  MHostCallShield::Run("MAudioPlugin::NeedUpdateEditor", [&] {
    if (adapter == nullptr)
      return;
    MLockGuard guard(m_needUpdateLock);
    for (AutomationAdapter* queued : m_needUpdate)
    {
      if (queued == adapter)
        return;
    }
    // The list was reserved for every adapter when the adapters were registered, so this never
    // allocates: setters may run on the audio thread (a VST 3 host applies parameter changes
    // inside process). The update thread was started there too, off the audio thread.
    if (m_needUpdate.size() < m_needUpdate.capacity())
      m_needUpdate.push_back(adapter);
  });
}

std::int32_t MAudioPlugin::GetNeedUpdateCount() const
{
  MLockGuard guard(m_needUpdateLock);
  return static_cast<std::int32_t>(m_needUpdate.size());
}

std::int32_t MAudioPlugin::ProcessAutomationUpdates()
{
  return MHostCallShield::Run("MAudioPlugin::ProcessAutomationUpdates", std::int32_t{0}, [&] {
    {
      MLockGuard guard(m_needUpdateLock);
      m_updating.assign(m_needUpdate.begin(), m_needUpdate.end());
      m_needUpdate.clear();
    }
    // Controls are refreshed outside the list's lock: a refresh may queue the
    // adapter again.
    for (AutomationAdapter* adapter : m_updating)
      adapter->UpdateEditorControls();
    if (m_editor != nullptr && !m_updating.empty())
      m_editor->RefreshAdapters(m_updating.data(), static_cast<std::int32_t>(m_updating.size()));
    const std::int32_t count = static_cast<std::int32_t>(m_updating.size());
    m_updating.clear();
    return count;
  });
}

bool MAudioPlugin::EnsureGUISystem()
{
  return true;
}

MAudioPlugin::MEditor* MAudioPlugin::CreateEditorControl(void*, void*)
{
  return nullptr;
}

void MAudioPlugin::CreateParameterPanel() {}

void MAudioPlugin::DestroyParameterPanel() {}

bool MAudioPlugin::CreateEditor()
{
  return MHostCallShield::Run("MAudioPlugin::CreateEditor", false, [&] { return EnsureGUISystem(); });
}

bool MAudioPlugin::ResizeEditor(std::int32_t width, std::int32_t height)
{
  return MHostCallShield::Run("MAudioPlugin::ResizeEditor", false, [&] {
    if (m_hostAdapter == nullptr || width <= 0 || height <= 0 ||
        !m_hostAdapter->ChangeEditorSize(width, height))
      return false;
    if (m_editor != nullptr)
      m_editor->SetSize(width, height);
    return true;
  });
}

bool MAudioPlugin::OpenEditor(void* parent)
{
  return MHostCallShield::Run("MAudioPlugin::OpenEditor", false, [&] {
    if (m_editor == nullptr && CreateEditor())
      m_editor = CreateEditorControl(parent, nullptr);
    SetEditorOpen(m_editor != nullptr);
    return m_editor != nullptr;
  });
}

void MAudioPlugin::DestroyEditor()
{
  MHostCallShield::Run("MAudioPlugin::DestroyEditor", [&] {
    MEditor* editor = m_editor;
    m_editor = nullptr;
    SetEditorOpen(false);
    delete editor;
  });
}

void MAudioPlugin::SetEditorOpen(bool open)
{
  m_editorOpen = open;
}

void MAudioPlugin::SendAutomationToHost(std::int32_t index, double value)
{
  MHostCallShield::Run("MAudioPlugin::SendAutomationToHost", [&] {
    // Only the slots the host knows about: temporary slots have no host index.
    if (m_hostAdapter != nullptr && index >= 0 && index < GetNumParameters() && std::isfinite(value))
      m_hostAdapter->SendAutomation(index, value);
  });
}
