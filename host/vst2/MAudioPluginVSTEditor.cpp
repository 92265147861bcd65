#include "host/vst2/MAudioPluginVSTEditor.h"

#include "base/MHostCallShield.h"
#include "core/plugin/MAudioPlugin.h"
#include "host/module/MHostEditorKeys.h"
#include "host/module/MModule.h"
#include "gui/MWindowSystemCommon.h"

#include <algorithm>

namespace Vst2
{
namespace
{
VstInt16 RectSide(std::int32_t pixels)
{
  return pixels < 5 ? VstInt16{0} : static_cast<VstInt16>(std::min<std::int32_t>(pixels, 32767));
}
} // namespace

MAudioPluginVSTEditor::MAudioPluginVSTEditor(AudioEffect* effect, MAudioPlugin& plugin)
    : AEffEditor(effect), m_plugin(plugin)
{}

bool MAudioPluginVSTEditor::getRect(ERect** rect)
{
  return MAudioPluginAdapter::RunHostCall("MAudioPluginVSTAdapter::MEditor::getRect", false, [&] {
    if (rect == nullptr)
      return false;
    // Before the editor opens, the size is the default at the zoom it will open with.
    if (m_plugin.GetEditor() == nullptr)
      if (MWindowSystemCommon* system = MModuleLibrary::GetWindowSystem())
        m_plugin.SetSystemContentScale(system->GetContentScale(0));
    const MSize size = m_plugin.GetEditorSize();
    m_rect = ERect{0, 0, RectSide(size.y), RectSide(size.x)};
    *rect = &m_rect;
    return true;
  });
}

bool MAudioPluginVSTEditor::open(void* parent)
{
  return MAudioPluginAdapter::RunHostCall("MAudioPluginVSTAdapter::MEditor::open", false, [&] {
    if (parent == nullptr)
      return false;
    if (m_plugin.GetEditor() != nullptr)
      return true;
    MWindowSystemCommon* system = MModuleLibrary::GetWindowSystem();
    if (system == nullptr)
      return false;
    // The host passes its HWND, or on Linux the X11 window id in the pointer's bits.
    if (!m_plugin.OpenEditor(*system, reinterpret_cast<MNativeHandle>(parent)))
      return false;
    m_systemWindow = parent;
    return true;
  });
}

void MAudioPluginVSTEditor::close()
{
  MAudioPluginAdapter::RunHostCall("MAudioPluginVSTAdapter::MEditor::close", [&] {
    m_systemWindow = nullptr;
    m_plugin.DestroyEditor();
    // A control held down while the host closed the window never sees its release.
    m_plugin.EndAllAutomationGestures();
  });
}

void MAudioPluginVSTEditor::idle()
{
  MHostCallShield::Run("MAudioPluginVSTAdapter::MEditor::idle", [&] { m_plugin.IdleEditor(); });
}

bool MAudioPluginVSTEditor::onKeyDown(VstKeyCode& keyCode)
{
  return OnKey(true, keyCode);
}

bool MAudioPluginVSTEditor::onKeyUp(VstKeyCode& keyCode)
{
  return OnKey(false, keyCode);
}

bool MAudioPluginVSTEditor::OnKey(bool down, const VstKeyCode& keyCode)
{
  auto handle = [&] {
    MAudioPlugin::MEditor* editor = m_plugin.GetEditor();
    MSystemEvent event;
    MSystemEvent typed;
    if (editor == nullptr ||
        !MHostEditorKeys::Translate(down, keyCode.character, keyCode.virt, keyCode.modifier, event, &typed))
      return false;
    const bool used = editor->OnHostKey(event);
    if (used && typed.code == MSystemEvent::Character)
      editor->OnHostKey(typed);
    return used;
  };
  return down ? MHostCallShield::Run("MAudioPluginVSTAdapter::MEditor::onKeyDown", false, handle)
              : MHostCallShield::Run("MAudioPluginVSTAdapter::MEditor::onKeyUp", false, handle);
}
} // namespace Vst2
