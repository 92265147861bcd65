// The editor link and the editor refresh requests.

#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "core/plugin/MAudioPlugin.h"
#include "core/plugin/MAudioPluginEditorWindow.h"
#include "core/plugin/MAutomationUpdateRequestThread.h"
#include "gui/controls/MContainer.h"
#include "gui/controls/MStatic.h"

#include <algorithm>
#include <cmath>
#include <memory>

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

MAudioPlugin::MEditor* MAudioPlugin::CreateEditorControl(MWindowSystemCommon& system, MNativeHandle parent)
{
  if (parent == 0)
    return nullptr;
  return new MAudioPluginEditorWindow(*this, system, parent,
                                      MSize{kDefaultEditorWidth, kDefaultEditorHeight});
}

void MAudioPlugin::CreateEditorContents(MContainer& contents)
{
  // Until an effect brings its own panel: the title, then one row per parameter (name left, value
  // right), flowing into further columns when the window is not tall enough for one.
  constexpr std::int32_t kMargin = 16;
  constexpr std::int32_t kRow = 22;
  constexpr std::int32_t kGap = 24;
  const MSize area = contents.GetSize();
  const std::int32_t width = std::max(area.x - 2 * kMargin, 1);
  auto title = std::make_unique<MStatic>(m_pluginName.IsEmpty() ? MString("Tonvera") : m_pluginName);
  title->SetPosition(MPoint{kMargin, kMargin});
  title->SetSize(MSize{width, kRow + 6});
  title->SetFont(MStdFont::Large1);
  title->SetTextAlignment(MAlign::Left);
  contents.AddChild(std::move(title));
  const std::int32_t first = kMargin + kRow + 18;
  const std::int32_t count = GetNumParameters();
  const std::int32_t perColumn = std::max((area.y - first - kMargin) / kRow, 1);
  const std::int32_t columns = std::max((count + perColumn - 1) / perColumn, 1);
  const std::int32_t columnWidth = std::max((width - (columns - 1) * kGap) / columns, 1);
  for (std::int32_t index = 0; index < count; ++index)
  {
    const std::int32_t left = kMargin + (index / perColumn) * (columnWidth + kGap);
    const std::int32_t top = first + (index % perColumn) * kRow;
    auto name = std::make_unique<MStatic>(GetParameterName(index));
    name->SetPosition(MPoint{left, top});
    name->SetSize(MSize{columnWidth / 2, kRow});
    name->SetTextAlignment(MAlign::Left);
    contents.AddChild(std::move(name));
    auto value = std::make_unique<MStatic>(MAudioPluginEditorWindow::ValueText(*this, index));
    value->SetPosition(MPoint{left + columnWidth / 2, top});
    value->SetSize(MSize{columnWidth - columnWidth / 2, kRow});
    value->SetTextAlignment(MAlign::Right);
    value->SetId(MAudioPluginEditorWindow::ValueId(index));
    contents.AddChild(std::move(value));
  }
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

bool MAudioPlugin::OpenEditor(MWindowSystemCommon& system, MNativeHandle parent)
{
  return MHostCallShield::Run("MAudioPlugin::OpenEditor", false, [&] {
    if (m_editor == nullptr && parent != 0 && CreateEditor())
      m_editor = CreateEditorControl(system, parent);
    SetEditorOpen(m_editor != nullptr);
    return m_editor != nullptr;
  });
}

void MAudioPlugin::IdleEditor()
{
  MHostCallShield::Run("MAudioPlugin::IdleEditor", [&] {
    if (m_editor == nullptr)
      return;
    OnEditorIdle();
    if (m_editor != nullptr)
      m_editor->Idle();
  });
}

MSize MAudioPlugin::GetEditorSize() const
{
  return m_editor != nullptr ? m_editor->GetSize() : MSize{kDefaultEditorWidth, kDefaultEditorHeight};
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
    if (m_hostAdapter == nullptr || index < 0 || index >= GetNumParameters() || !std::isfinite(value))
      return;
    const bool alone = GetOpenGestureCount(index) == 0;
    if (alone)
      m_hostAdapter->BeginAutomationGesture(index);
    m_hostAdapter->SendAutomation(index, value);
    if (alone)
      m_hostAdapter->EndAutomationGesture(index);
  });
}

std::int32_t MAudioPlugin::GetOpenGestureCount(std::int32_t index) const
{
  return index >= 0 && static_cast<std::size_t>(index) < m_openGestures.size()
             ? m_openGestures[static_cast<std::size_t>(index)]
             : 0;
}

void MAudioPlugin::BeginAutomationGesture(std::int32_t index)
{
  MHostCallShield::Run("MAudioPlugin::BeginAutomationGesture", [&] {
    if (m_hostAdapter == nullptr || index < 0 || index >= GetNumParameters())
      return;
    if (m_openGestures.size() < static_cast<std::size_t>(GetNumParameters()))
      m_openGestures.resize(static_cast<std::size_t>(GetNumParameters()), 0);
    if (m_openGestures[static_cast<std::size_t>(index)]++ == 0)
      m_hostAdapter->BeginAutomationGesture(index);
  });
}

void MAudioPlugin::EndAutomationGesture(std::int32_t index)
{
  MHostCallShield::Run("MAudioPlugin::EndAutomationGesture", [&] {
    if (m_hostAdapter == nullptr || GetOpenGestureCount(index) == 0)
      return;
    if (--m_openGestures[static_cast<std::size_t>(index)] == 0)
      m_hostAdapter->EndAutomationGesture(index);
  });
}

void MAudioPlugin::EndAllAutomationGestures()
{
  MHostCallShield::Run("MAudioPlugin::EndAllAutomationGestures", [&] {
    for (std::size_t index = 0; index < m_openGestures.size(); ++index)
    {
      if (m_openGestures[index] == 0)
        continue;
      m_openGestures[index] = 0;
      if (m_hostAdapter != nullptr)
        m_hostAdapter->EndAutomationGesture(static_cast<std::int32_t>(index));
    }
  });
}

void MAudioPlugin::SetParameterFromEditor(std::int32_t index, double value)
{
  MHostCallShield::Run("MAudioPlugin::SetParameterFromEditor", [&] {
    if (index < 0 || index >= GetNumParameters() || !std::isfinite(value))
      return;
    SetParameter(index, value, false);
    SendAutomationToHost(index, GetParameter(index));
  });
}
