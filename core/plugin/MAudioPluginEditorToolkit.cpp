// The editor's toolkit half: the base editor window, its contents and the generic parameter panel
// (MAudioPlugin::EditorToolkit), and the two editor operations that hold a window system, opening
// the editor and its idle tick. Part of the editor library, linked wherever a window is opened.

#include "base/MHostCallShield.h"
#include "core/plugin/MAudioPlugin.h"
#include "core/plugin/MAudioPluginEditorWindow.h"
#include "core/plugin/MPluginParameters.h"
#include "gui/MWindow.h"
#include "gui/MWindowSystemCommon.h"
#include "gui/controls/MContainer.h"
#include "gui/controls/MStatic.h"
#include "gui/stml/MSTMLControl.h"

#include <memory>

#ifndef TONVERA_EDITOR_VERSION
#define TONVERA_EDITOR_VERSION "0"
#endif

namespace
{
class Toolkit final : public MAudioPlugin::EditorToolkit
{
public:
  MAudioPlugin::MEditor* CreateEditorControl(MAudioPlugin& plugin, MWindowSystemCommon& system,
                                             MNativeHandle parent) const override
  {
    if (parent == 0)
      return nullptr;
    return new MAudioPluginEditorWindow(plugin, system, parent, plugin.GetDefaultEditorSize());
  }

  void CreateEditorContents(MAudioPlugin& plugin, MContainer& contents) const override
  {
    // The header strip: the product's name large, vendor, version and format small.
    auto header = std::make_unique<MPanelGradient>();
    header->SetId(MAudioPluginEditorWindow::kHeaderId);
    MPanelGradient& strip = *header;
    contents.AddChild(std::move(header));
    auto& title =
        strip.Add<MStatic>(plugin.m_pluginName.IsEmpty() ? MString("Tonvera") : plugin.m_pluginName);
    title.SetId(MString("Title"));
    title.SetFont(MStdFont::Large2);
    title.SetTextAlignment(MAlign::Left | MAlign::VCenter);
    // Vendor, version and host format, as far as they are known.
    const MString dot = MString::FromUTF8("  \xC2\xB7  ");
    MString about = MString("v" TONVERA_EDITOR_VERSION);
    if (!plugin.m_vendorName.IsEmpty())
      about = plugin.m_vendorName + dot + about;
    if (!plugin.m_hostFormat.IsEmpty())
      about = about + dot + plugin.m_hostFormat;
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
    parameters->SetVisible(plugin.GetEditorMode() != 1);
    MContainer& parameterArea = *parameters;
    contents.AddChild(std::move(parameters));

    auto help = std::make_unique<MSTMLControl>();
    help->SetId(MAudioPluginEditorWindow::kHelpId);
    MAudioPluginEditorWindow::SetHelpText(*help, MAudioPluginEditorWindow::DefaultHelp());
    contents.AddChild(std::move(help));

    MAudioPluginEditorWindow::ArrangeContents(contents);
    plugin.CreateParameterPanel(parameterArea);
    plugin.CreateUserControls(userArea);
  }

  void CreateParameterPanel(MAudioPlugin& plugin, MContainer& container) const override
  {
    auto panel = std::make_unique<MPluginParameters>(plugin);
    panel->SetId(MAudioPluginEditorWindow::kParametersId);
    MPluginParameters& created = *panel;
    container.AddChild(std::move(panel));
    container.SetClientControl(&created);
    *plugin.GetParameterPanelLink() = &created;
    created.Build();
  }
};

const Toolkit kToolkit;
} // namespace

bool MAudioPlugin::OpenEditor(MWindowSystemCommon& system, MNativeHandle parent)
{
  return MHostCallShield::Run("MAudioPlugin::OpenEditor", false, [&] {
    s_editorToolkit.store(&kToolkit, std::memory_order_release);
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
