// The editor library's side of MIDI learn: the learn menu on the editor window, and which
// parameter an editor control stands for. It installs the adapter's EditorPart when a target
// links the editor library (the library's link options name tonvera_framework_editor_learn_menu).
// GUI thread.

#include "core/plugin/MPluginParameters.h"
#include "framework/MAudioEffectPluginToAudioPluginAdapter.h"
#include "framework/MMIDILearnMenu.h"
#include "gui/MWindow.h"
#include "gui/controls/MControlValue.h"

#include <memory>

class MAudioEffectPluginToAudioPluginAdapter::LearnMenuPart final : public EditorPart
{
public:
  LearnMenuPart() { s_editorPart.store(this, std::memory_order_release); }

  void AttachLearnMenu(MAudioEffectPluginToAudioPluginAdapter& plugin) const override
  {
    MEditor* editor = plugin.GetEditor();
    MWindow* window = editor != nullptr ? editor->GetWindow() : nullptr;
    if (window == nullptr)
      return;
    if (plugin.m_learnMenu == nullptr)
      plugin.m_learnMenu = std::make_shared<MMIDILearnMenu>(plugin);
    if (window->GetControlMenu() != plugin.m_learnMenu.get())
      window->SetControlMenu(plugin.m_learnMenu.get());
    plugin.m_learnMenu->Idle(*window);
  }

  void DetachLearnMenu(MAudioEffectPluginToAudioPluginAdapter& plugin) const override
  {
    if (plugin.m_learnMenu != nullptr)
      plugin.m_learnMenu->Close();
  }
};

namespace
{
const MAudioEffectPluginToAudioPluginAdapter::LearnMenuPart s_learnMenuPart;
} // namespace

// Named by the editor library's link options, so that every target linking the library keeps
// this object and its installation above.
extern "C" void tonvera_framework_editor_learn_menu() {}

std::int32_t MAudioEffectPluginToAudioPluginAdapter::ParameterOfControl(const MControl& control,
                                                                        std::int32_t part)
{
  if (const MPluginParameters* panel = *GetParameterPanelLink())
  {
    for (std::int32_t index = 0; index < GetNumParameters(); ++index)
      if (panel->FindParameterControl(index) == &control)
        return index;
  }
  const std::int32_t index = m_effect != nullptr ? m_effect->GetControlParameter(control, part) : -1;
  return index >= 0 && index < GetNumParameters() ? index : -1;
}
