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
#include "gui/controls/MSheet.h"
#include "gui/MWindowSystemCommon.h"
#include "host/vst2/MAudioPluginVSTAdapter.h"
#include "host/vst3/MAudioPluginVST3Adapter.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

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

template <std::size_t N>
void CopyText(const MString& text, char (&target)[N])
{
  const std::string utf8 = text.ToUTF8();
  std::memcpy(target, utf8.data(), std::min(utf8.size(), N - 1));
}

MWindow* EditorWindow(std::int32_t format, void* instance)
{
  MAudioPlugin* plugin = PluginOf(format, instance);
  MAudioPlugin::MEditor* editor = plugin != nullptr ? plugin->GetEditor() : nullptr;
  return editor != nullptr ? editor->GetWindow() : nullptr;
}

// What the user can reach: the top sheet's controls first (the editor behind is covered).
MControl* FindInEditor(const MWindow& window, const MString& id)
{
  const std::vector<MSheet*> sheets = MSheet::SheetsOf(window);
  if (!sheets.empty())
    if (MControl* found = sheets.back()->FindChild(id))
      return found;
  return window.FindChild(id);
}

void CollectButtons(const MControl& control, std::string& ids, std::int32_t& count)
{
  for (std::size_t i = 0; i < control.GetChildCount(); ++i)
  {
    const MControl& child = *control.GetChild(i);
    if (!child.IsVisible() || dynamic_cast<const MSheet*>(&child) != nullptr)
      continue;
    if (dynamic_cast<const MButton*>(&child) != nullptr && !child.GetId().IsEmpty())
    {
      ids += child.GetId().ToUTF8() + "\n";
      ++count;
    }
    CollectButtons(child, ids, count);
  }
}
} // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t
TonveraEditorProbeFind(std::int32_t format, void* instance, const char* id, std::int32_t note,
                       MEditorProbeControl* control)
{
  return MHostCallShield::Run("TonveraEditorProbeFind", std::int32_t{0}, [&]() -> std::int32_t {
    MWindow* window = EditorWindow(format, instance);
    MControl* found =
        window != nullptr && id != nullptr ? FindInEditor(*window, MString::FromUTF8(id)) : nullptr;
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

extern "C" __attribute__((visibility("default"))) std::int32_t
TonveraEditorProbeSheets(std::int32_t format, void* instance, MEditorProbeSheets* sheets)
{
  return MHostCallShield::Run("TonveraEditorProbeSheets", std::int32_t{0}, [&]() -> std::int32_t {
    MWindow* window = EditorWindow(format, instance);
    if (window == nullptr || sheets == nullptr)
      return 0;
    *sheets = MEditorProbeSheets{};
    const std::vector<MSheet*> shown = MSheet::SheetsOf(*window);
    sheets->count = static_cast<std::int32_t>(shown.size());
    if (!shown.empty())
      CopyText(shown.back()->GetDialog().GetCaption(), sheets->title);
    if (MWindowSystemCommon* system = window->GetWindowSystem())
      sheets->modalLoops = system->GetModalLoopCount();
    return 1;
  });
}

extern "C" __attribute__((visibility("default"))) std::int32_t
TonveraEditorProbeButtons(std::int32_t format, void* instance, char* ids, std::int32_t size)
{
  return MHostCallShield::Run("TonveraEditorProbeButtons", std::int32_t{0}, [&]() -> std::int32_t {
    MWindow* window = EditorWindow(format, instance);
    if (window == nullptr || ids == nullptr || size <= 0)
      return 0;
    std::string list;
    std::int32_t count = 0;
    CollectButtons(*window, list, count);
    const std::size_t length = std::min(list.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(ids, list.data(), length);
    ids[length] = 0;
    return count;
  });
}
