// The editor link and the editor refresh requests.

#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "core/plugin/MAudioPlugin.h"
#include "core/plugin/MAudioPluginEditorWindow.h"
#include "core/plugin/MAutomationUpdateRequestThread.h"
#include "core/plugin/MPluginParameters.h"
#include "gui/controls/MContainer.h"
#include "gui/controls/MStatic.h"
#include "gui/MWindow.h"
#include "gui/MWindowSystemCommon.h"
#include "gui/stml/MSTMLControl.h"

#include <algorithm>
#include <cmath>
#include <memory>

#ifndef TONVERA_EDITOR_VERSION
#define TONVERA_EDITOR_VERSION "0"
#endif

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
  if (parent == 0)
    return nullptr;
  return new MAudioPluginEditorWindow(*this, system, parent, GetDefaultEditorSize());
}

void MAudioPlugin::CreateEditorContents(MContainer& contents)
{
  // The header strip: the product's name large, vendor, version and format small.
  auto header = std::make_unique<MPanelGradient>();
  header->SetId(MAudioPluginEditorWindow::kHeaderId);
  MPanelGradient& strip = *header;
  contents.AddChild(std::move(header));
  auto& title = strip.Add<MStatic>(m_pluginName.IsEmpty() ? MString("Tonvera") : m_pluginName);
  title.SetId(MString("Title"));
  title.SetFont(MStdFont::Large2);
  title.SetTextAlignment(MAlign::Left | MAlign::VCenter);
  // Vendor, version and host format, as far as they are known.
  const MString dot = MString::FromUTF8("  \xC2\xB7  ");
  MString about = MString("v" TONVERA_EDITOR_VERSION);
  if (!m_vendorName.IsEmpty())
    about = m_vendorName + dot + about;
  if (!m_hostFormat.IsEmpty())
    about = about + dot + m_hostFormat;
  auto& version = strip.Add<MStatic>(about);
  version.SetId(MString("Version"));
  version.SetFont(MStdFont::Small);
  version.SetTextAlignment(MAlign::Right | MAlign::VCenter);

  // The effect's own controls, then the generic parameter panel, then the help line.
  auto user = std::make_unique<MContainer>();
  user->SetId(MAudioPluginEditorWindow::kUserControlsId);
  user->SetControlType(MControlType::NoBackground);
  MContainer& userArea = *user;
  contents.AddChild(std::move(user));

  auto parameters = std::make_unique<MContainer>();
  parameters->SetId(MAudioPluginEditorWindow::kParametersContainerId);
  parameters->SetControlType(MControlType::NoBackground);
  // Editor mode 1 is the compact editor: the tuning controls without the parameter knobs.
  parameters->SetVisible(GetEditorMode() != 1);
  MContainer& parameterArea = *parameters;
  contents.AddChild(std::move(parameters));

  auto help = std::make_unique<MSTMLControl>();
  help->SetId(MAudioPluginEditorWindow::kHelpId);
  MAudioPluginEditorWindow::SetHelpText(*help, MAudioPluginEditorWindow::DefaultHelp());
  contents.AddChild(std::move(help));

  MAudioPluginEditorWindow::ArrangeContents(contents);
  CreateParameterPanel(parameterArea);
  CreateUserControls(userArea);
}

void MAudioPlugin::CreateUserControls(MContainer&) {}

void MAudioPlugin::ReleaseUserControls() {}

void MAudioPlugin::CreateParameterPanel(MContainer& container)
{
  auto panel = std::make_unique<MPluginParameters>(*this);
  panel->SetId(MAudioPluginEditorWindow::kParametersId);
  MPluginParameters& created = *panel;
  container.AddChild(std::move(panel));
  container.SetClientControl(&created);
  m_parameterPanel = &created;
  created.Build();
}

void MAudioPlugin::DestroyParameterPanel()
{
  if (m_parameterPanel != nullptr)
    m_parameterPanel->EndGestures();
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
    {
      // The host's idle without an editor (a tick already queued): the reports still go.
      if (m_hostAdapter != nullptr)
        m_hostAdapter->DeliverPendingReports();
      return;
    }
    // What this tick invalidates, the editor's Idle below paints (the window system outlives the
    // editor, which the tick may close).
    const MWindowSystemCommon::IdleTickScope tick(
        m_editor->GetWindow() != nullptr ? m_editor->GetWindow()->GetWindowSystem() : nullptr);
    ApplyRequestedProgram();
    if (m_hostAdapter != nullptr)
      m_hostAdapter->DeliverPendingReports();
    // A latency the effect changed by itself (a parameter that switches its method) reaches the
    // host from here, the host's UI thread, never from inside the host's own call that made it.
    ReportLatency();
    // Values the host changed reach the controls from this tick: the update thread (low
    // priority, every 100 ms) only helps when the host idles rarely, it never gates the picture.
    if (GetNeedUpdateCount() != 0)
      ProcessAutomationUpdates();
    OnEditorIdle();
    if (m_editor != nullptr)
      m_editor->Idle();
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
