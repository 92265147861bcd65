// The probe functions of the editor tests' copy of the module (see MEditorProbe.h).

#include "tests/hosteditor/MEditorProbe.h"

#include "base/MHostCallShield.h"
#include "core/plugin/MAudioPlugin.h"
#include "gui/MWindow.h"
#include "gui/controls/MControlValue.h"
#include "host/vst2/MAudioPluginVSTAdapter.h"
#include "host/vst3/MAudioPluginVST3Adapter.h"

#include <algorithm>
#include <cstring>

namespace
{
MAudioPlugin* PluginOf(std::int32_t format, void* instance)
{
  if (instance == nullptr)
    return nullptr;
  if (format == 2)
  {
    auto* effect = static_cast<Vst2::AEffect*>(instance);
    auto* adapter =
        dynamic_cast<Vst2::MAudioPluginVSTAdapter*>(static_cast<Vst2::AudioEffect*>(effect->object));
    return adapter != nullptr ? adapter->GetPlugin() : nullptr;
  }
  auto* controller = static_cast<Steinberg::Vst::IEditController*>(instance);
  auto* adapter = dynamic_cast<MAudioPluginVST3Adapter*>(controller);
  return adapter != nullptr ? adapter->GetPlugin() : nullptr;
}
} // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t
TonveraEditorProbeFind(std::int32_t format, void* instance, const char* id, MEditorProbeControl* control)
{
  return MHostCallShield::Run("TonveraEditorProbeFind", std::int32_t{0}, [&]() -> std::int32_t {
    MAudioPlugin* plugin = PluginOf(format, instance);
    MAudioPlugin::MEditor* editor = plugin != nullptr ? plugin->GetEditor() : nullptr;
    MWindow* window = editor != nullptr ? editor->GetWindow() : nullptr;
    MControl* found = window != nullptr && id != nullptr ? window->FindChild(MString::FromUTF8(id)) : nullptr;
    if (found == nullptr || control == nullptr)
      return 0;
    *control = MEditorProbeControl{};
    const MRect rect = found->GetWindowRect();
    control->x = rect.left;
    control->y = rect.top;
    control->width = rect.right - rect.left;
    control->height = rect.bottom - rect.top;
    if (auto* value = dynamic_cast<MControlValue*>(found))
      control->value = value->GetNormalised();
    if (auto* content = dynamic_cast<MControlContent*>(found))
    {
      const std::string text = content->GetText().ToUTF8();
      std::memcpy(control->text, text.data(), std::min(text.size(), sizeof(control->text) - 1));
    }
    return 1;
  });
}

extern "C" __attribute__((visibility("default"))) std::int32_t
TonveraEditorProbeResize(std::int32_t format, void* instance, std::int32_t width, std::int32_t height)
{
  return MHostCallShield::Run("TonveraEditorProbeResize", std::int32_t{0}, [&]() -> std::int32_t {
    MAudioPlugin* plugin = PluginOf(format, instance);
    return plugin != nullptr && plugin->ResizeEditor(width, height) ? 1 : 0;
  });
}
