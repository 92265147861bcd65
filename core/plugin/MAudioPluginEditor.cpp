// The editor link and the editor refresh requests: everything of the editor that needs no GUI
// toolkit. What builds windows and controls is the editor library's (MAudioPluginEditorToolkit.cpp).

#include "base/MHostCallShield.h"
#include "core/plugin/MAudioPlugin.h"
#include "core/plugin/MPluginParameters.h"
#include "gui/MGuiTypes.h" // MSize: a value type, no GUI library

#include <algorithm>
#include <cmath>

std::atomic<const MAudioPlugin::EditorToolkit*> MAudioPlugin::s_editorToolkit{nullptr};

void MAudioPlugin::NeedUpdateEditor(AutomationAdapter* adapter)
{
  // No lock and no allocation: a VST 3 host applies parameter changes inside process, so this
  // runs on the audio thread, and the GUI thread must never be able to make it wait. The flag
  // lives in the adapter; only its first setting counts.
  if (adapter != nullptr && !adapter->m_editorRefresh.exchange(true, std::memory_order_relaxed))
    m_needUpdateCount.fetch_add(1, std::memory_order_relaxed);
}

std::int32_t MAudioPlugin::GetNeedUpdateCount() const
{
  return std::max(0, m_needUpdateCount.load(std::memory_order_relaxed));
}

bool MAudioPlugin::TakeEditorRefresh(AutomationAdapter& adapter) noexcept
{
  if (!adapter.m_editorRefresh.exchange(false, std::memory_order_relaxed))
    return false;
  m_needUpdateCount.fetch_sub(1, std::memory_order_relaxed);
  return true;
}

std::int32_t MAudioPlugin::ProcessAutomationUpdates()
{
  return MHostCallShield::Run("MAudioPlugin::ProcessAutomationUpdates", std::int32_t{0}, [&] {
    // The adapter list only changes on this thread (under the processing lock), so walking it
    // here needs no lock; a flag set again during the refresh is seen next time.
    m_updating.clear();
    for (AutomationAdapter* adapter : m_adapters)
    {
      if (TakeEditorRefresh(*adapter))
        m_updating.push_back(adapter);
    }
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
  const EditorToolkit* toolkit = s_editorToolkit.load(std::memory_order_acquire);
  return toolkit != nullptr ? toolkit->CreateEditorControl(*this, system, parent) : nullptr;
}

void MAudioPlugin::CreateEditorContents(MContainer& contents)
{
  if (const EditorToolkit* toolkit = s_editorToolkit.load(std::memory_order_acquire))
    toolkit->CreateEditorContents(*this, contents);
}

void MAudioPlugin::CreateUserControls(MContainer&) {}

void MAudioPlugin::ReleaseUserControls() {}

void MAudioPlugin::CreateParameterPanel(MContainer& container)
{
  if (const EditorToolkit* toolkit = s_editorToolkit.load(std::memory_order_acquire))
    toolkit->CreateParameterPanel(*this, container);
}

void MAudioPlugin::DestroyParameterPanel()
{
  if (m_parameterPanel != nullptr)
  {
    MParameterPanelCalls& calls = *m_parameterPanel;
    calls.EndGestures();
  }
  m_parameterPanel = nullptr;
}

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

MSize MAudioPlugin::GetEditorSize() const
{
  if (m_editor != nullptr)
    return m_editor->GetSize();
  const MSize logical = GetDefaultEditorSize();
  const double scale = ChooseEditorScale();
  return MSize{static_cast<std::int32_t>(std::lround(logical.x * scale)),
               static_cast<std::int32_t>(std::lround(logical.y * scale))};
}

double MAudioPlugin::QuantiseEditorScale(double scale)
{
  if (!(scale > 0.0) || !std::isfinite(scale))
    return 1.0;
  const double clamped = std::clamp(scale, kMinEditorScale, kMaxEditorScale);
  return std::round(clamped / kEditorScaleStep) * kEditorScaleStep;
}

double MAudioPlugin::ChooseEditorScale() const
{
  return QuantiseEditorScale(m_hostContentScale > 0.0 ? m_hostContentScale : m_systemContentScale);
}

bool MAudioPlugin::ApplyEditorScale()
{
  return MHostCallShield::Run("MAudioPlugin::ApplyEditorScale", false, [&] {
    if (m_editor == nullptr)
      return false;
    const double scale = ChooseEditorScale();
    if (scale == m_editor->GetScale())
      return false;
    m_editor->SetScale(scale);
    // The host's window follows; a host that refuses keeps its frame, the editor draws zoomed in it.
    if (m_hostAdapter != nullptr)
      m_hostAdapter->ChangeEditorSize(m_editor->GetSize().x, m_editor->GetSize().y);
    return true;
  });
}

void MAudioPlugin::DestroyEditor()
{
  MHostCallShield::Run("MAudioPlugin::DestroyEditor", [&] {
    MEditor* editor = m_editor;
    m_editor = nullptr;
    SetEditorOpen(false);
    DestroyParameterPanel();
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
    if (GetOpenGestureCount(index) == 0)
      return;
    if (--m_openGestures[static_cast<std::size_t>(index)] == 0 && m_hostAdapter != nullptr)
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
