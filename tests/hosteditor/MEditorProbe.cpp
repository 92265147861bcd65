// The probe functions of the editor tests' copy of the module (see MEditorProbe.h).

#include "tests/hosteditor/MEditorProbe.h"

#include "base/MHostCallShield.h"
#include "core/plugin/MAudioPlugin.h"
#include "effect/MTuningIndicator.h"
#include "effect/TonveraAudioEffectPlugin.h"
#include "framework/MAudioEffectPluginToAudioPluginAdapter.h"
#include "gui/MWindow.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MControlContent.h"
#include "gui/controls/MPiano.h"
#include "gui/controls/MSelector.h"
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
  auto* adapter =
      dynamic_cast<MAudioPluginVST3Adapter*>(static_cast<Steinberg::Vst::IEditController*>(instance));
  return adapter != nullptr ? adapter->GetPlugin() : nullptr;
}

void CopyText(const MString& text, char (&target)[512])
{
  const std::string utf8 = text.ToUTF8();
  std::memcpy(target, utf8.data(), std::min(utf8.size(), sizeof target - 1));
}
} // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t
TonveraEditorProbeFind(std::int32_t format, void* instance, const char* id, std::int32_t note,
                       MEditorProbeControl* control)
{
  return MHostCallShield::Run("TonveraEditorProbeFind", std::int32_t{0}, [&]() -> std::int32_t {
    MAudioPlugin* plugin = PluginOf(format, instance);
    MAudioPlugin::MEditor* editor = plugin != nullptr ? plugin->GetEditor() : nullptr;
    MWindow* window = editor != nullptr ? editor->GetWindow() : nullptr;
    MControl* found = window != nullptr && id != nullptr ? window->FindChild(MString::FromUTF8(id)) : nullptr;
    auto* piano = dynamic_cast<MPiano*>(found);
    if (found == nullptr || control == nullptr || (note >= 0 && piano == nullptr))
      return 0;
    *control = MEditorProbeControl{};
    MRect rect = found->GetWindowRect();
    if (note >= 0)
    {
      const MRect key = piano->GetKeyRect(note);
      rect = MRect::FromSize(rect.left + key.left, rect.top + key.top, key.Width(), key.bottom - key.top);
    }
    control->x = rect.left;
    control->y = rect.top;
    control->width = rect.right - rect.left;
    control->height = rect.bottom - rect.top;
    if (auto* content = dynamic_cast<MControlContent*>(found))
      CopyText(content->GetText(), control->text);
    if (auto* button = dynamic_cast<MButton*>(found))
      control->state = button->IsOn() ? 1 : 0;
    if (auto* selector = dynamic_cast<MSelector*>(found))
    {
      control->state = selector->GetSelection();
      if (control->state >= 0 && control->state < selector->GetChoices().Count())
        CopyText(selector->GetChoices()[control->state], control->text);
    }
    if (piano != nullptr)
    {
      control->first = piano->GetFirstNote();
      for (std::int32_t i = 0; i < std::min(piano->GetNoteCount(), 31); ++i)
        control->state |= piano->IsNoteEnabled(control->first + i) ? 1 << i : 0;
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

extern "C" __attribute__((visibility("default"))) std::int32_t
TonveraEditorProbeTuning(std::int32_t format, void* instance, std::int32_t* chosen, std::int32_t* inputCents,
                         std::int32_t* outputCents)
{
  return MHostCallShield::Run("TonveraEditorProbeTuning", std::int32_t{0}, [&]() -> std::int32_t {
    auto* adapter = dynamic_cast<MAudioEffectPluginToAudioPluginAdapter*>(PluginOf(format, instance));
    auto* effect =
        adapter != nullptr ? dynamic_cast<TonveraAudioEffectPlugin*>(adapter->GetEffect()) : nullptr;
    if (effect == nullptr || chosen == nullptr || inputCents == nullptr || outputCents == nullptr)
      return 0;
    *chosen = effect->GetDisplayChosenNote();
    *inputCents = MTuningIndicator::Cents(effect->GetDisplayInputNote(), *chosen);
    *outputCents = MTuningIndicator::Cents(effect->GetDisplayOutputNote(), *chosen);
    return 1;
  });
}
