// The common editor of every effect of the family: the preset bar above the effect's controls.
//
// The bar has two rows on a panel of its own:
//   [<] [ current preset ] [>] [Presets]            [Copy] [Paste]  [Settings]
//   [A/B] [A] [B] [C] [D] [E] [F] [G] [H] [Morph]  [AGC] [Set] [ channel mode ]
// The left groups end at the same place, and so do the right ones; wider editors give the room
// between the groups, narrower ones shrink every control alike. The bar reads the plug-in's state
// whenever it changes something and on the editor's idle tick, so a program change, a host's
// state or a slot chosen elsewhere shows without delay.
//
// Part of the framework's editor library: the plug-in reaches it through
// MQuorvelAudioEffectPlugin::EditorPart, installed below.

#include "base/MException.h"
#include "base/MHostCallShield.h"
#include "base/MStringList.h"
#include "core/plugin/MAudioPluginEditorWindow.h"
#include "framework/MChannelModes.h"
#include "framework/MGeneralSettings.h"
#include "framework/MMIDIControllerWindow.h"
#include "framework/MQuorvelAudioEffectPlugin.h"
#include "framework/MQuorvelPresetWindow.h"
#include "framework/MStyleSettings.h"
#include "gui/MWindow.h"
#include "gui/MWindowSystemCommon.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MContainer.h"
#include "gui/controls/MSelector.h"
#include "gui/controls/MSheet.h"
#include "gui/controls/MStatic.h"

#include <algorithm>
#include <array>
#include <memory>

namespace
{
constexpr const char* kPresetNameId = "PresetName";
constexpr const char* kAGCId = "AGC";
constexpr const char* kSetAGCId = "SetAGC";
constexpr const char* kChannelModeId = "ChannelModeMenu";
constexpr const char* kSlotIds[MQuorvelAudioEffectPlugin::kPresetSlots] = {
    "SlotA", "SlotB", "SlotC", "SlotD", "SlotE", "SlotF", "SlotG", "SlotH"};

// One control of a row: its id, its width at the editor's default size, the room before it and,
// for those with room to spare (a name of any length, one letter, a short word on a small button),
// the width it may shrink to before the others do.
struct Cell
{
  const char* id;
  std::int32_t width;
  std::int32_t gapBefore;
  std::int32_t minimum = 0;
};
// The rows, left group then right group (the right group ends at the bar's right edge).
constexpr Cell kRow0Left[] = {
    {"PreviousPreset", 28, 0}, {kPresetNameId, 238, 2, 124}, {"NextPreset", 28, 2}, {"Presets", 80, 8}};
constexpr Cell kRow0Right[] = {{"Copy", 78, 0}, {"Paste", 78, 2}, {"MIDI", 56, 8}, {"Settings", 92, 2}};
constexpr Cell kRow1Left[] = {{"AB", 44, 0},        {"SlotA", 30, 8, 18}, {"SlotB", 30, 2, 18},
                              {"SlotC", 30, 2, 18}, {"SlotD", 30, 2, 18}, {"SlotE", 30, 2, 18},
                              {"SlotF", 30, 2, 18}, {"SlotG", 30, 2, 18}, {"SlotH", 30, 2, 18},
                              {"Morph", 72, 8}};
constexpr Cell kRow1Right[] = {{kAGCId, 48, 0, 40}, {kSetAGCId, 36, 2, 30}, {kChannelModeId, 164, 8, 90}};

// The bar: lays its two rows out whenever its size changes.
class MPresetBar : public MContainer
{
public:
  static constexpr std::int32_t kPadding = 8;
  static constexpr std::int32_t kRow = 26;
  static constexpr std::int32_t kRowGap = 6;
  static constexpr std::int32_t kHeight = 2 * kPadding + 2 * kRow + kRowGap;
  static constexpr std::int32_t kMiddleGap = 12;

  void Arrange() override
  {
    const std::int32_t inner = std::max(1, GetSize().x - 2 * kPadding);
    PlaceRow(kRow0Left, kRow0Right, kPadding, inner);
    PlaceRow(kRow1Left, kRow1Right, kPadding + kRow + kRowGap, inner);
  }

  // What the bar shows now, so that the idle tick touches nothing while the state stands still.
  std::int32_t shownSlot = -1;
  std::int32_t shownPreset = -2;
  std::int32_t shownMode = -1;
  bool shownAGC = false;

private:
  // Wider than the default: the room goes between the groups. Narrower: the name, the slots, AGC,
  // Set and the menu give up their spare width first, then every width and gap shrinks alike, so
  // that the buttons keep their words as long as they can.
  template <std::size_t L, std::size_t R>
  void PlaceRow(const Cell (&left)[L], const Cell (&right)[R], std::int32_t y, std::int32_t inner)
  {
    std::int32_t natural = kMiddleGap, spare = 0, flexible = 0;
    const auto measure = [&](const Cell& cell) {
      natural += cell.width + cell.gapBefore;
      if (cell.minimum > 0)
      {
        spare += cell.width - cell.minimum;
        flexible += cell.width;
      }
    };
    std::for_each(std::begin(left), std::end(left), measure);
    std::for_each(std::begin(right), std::end(right), measure);
    const std::int32_t missing = std::max(0, natural - inner);
    const std::int32_t given = std::min(missing, spare);
    const std::int32_t rigid = std::max(1, natural - flexible - kMiddleGap);
    // In 1/1024: what is still missing after the spare width, shared by everything rigid.
    const std::int32_t scale = std::max(0, rigid - (missing - given)) * 1024 / rigid;
    const auto width = [&](const Cell& cell) {
      if (cell.minimum > 0)
        return cell.width - (spare > 0 ? (cell.width - cell.minimum) * given / spare : 0);
      return std::max(1, cell.width * scale / 1024);
    };
    const auto gap = [&](const Cell& cell) { return cell.gapBefore * scale / 1024; };
    std::int32_t x = kPadding;
    for (const Cell& cell : left)
    {
      x += gap(cell);
      Place(cell.id, x, y, width(cell));
      x += width(cell);
    }
    std::int32_t rightSpan = 0;
    for (const Cell& cell : right)
      rightSpan += width(cell) + gap(cell);
    x = kPadding + inner - rightSpan;
    for (const Cell& cell : right)
    {
      x += gap(cell);
      Place(cell.id, x, y, width(cell));
      x += width(cell);
    }
  }

  void Place(const char* id, std::int32_t x, std::int32_t y, std::int32_t width)
  {
    if (MControl* control = FindChild(MString::FromLiteral(id)))
      control->SetBounds(MRect::FromSize(x, y, width, kRow));
  }
};

MPresetBar* FindBar(const MAudioPlugin& plugin)
{
  MAudioPlugin::MEditor* editor = plugin.GetEditor();
  MWindow* window = editor != nullptr ? editor->GetWindow() : nullptr;
  return window != nullptr
             ? dynamic_cast<MPresetBar*>(window->FindChild(MString(MAudioPluginEditorWindow::kPresetBarId)))
             : nullptr;
}

template <class T>
T* Find(MControl& bar, const char* id)
{
  return dynamic_cast<T*>(bar.FindChild(MString::FromLiteral(id)));
}

MStringList OfferedModeNames(bool surround)
{
  MStringList names;
  for (std::int32_t mode = 0; mode < MQuorvelAudioEffectPlugin::OfferedChannelModeCount(surround); ++mode)
    names.Add(MString::FromLiteral(MChannelModes::GetInfo(mode).name));
  return names;
}

// Shows the plug-in's state in the bar.
void ShowState(MQuorvelAudioEffectPlugin& plugin, MPresetBar& bar)
{
  const std::int32_t slot = plugin.GetPresetIndex();
  const std::int32_t mode = plugin.GetChannelMode();
  const bool agc = plugin.IsAGCEnabled();
  for (std::int32_t index = 0; index < MQuorvelAudioEffectPlugin::kPresetSlots; ++index)
  {
    if (auto* slotButton = Find<MButton>(bar, kSlotIds[index]))
      slotButton->SetOn(index == slot);
  }
  if (auto* name = Find<MStatic>(bar, kPresetNameId))
    name->SetText(plugin.GetCurrentPresetName());
  if (auto* agcButton = Find<MButton>(bar, kAGCId))
    agcButton->SetOn(agc);
  if (auto* modes = Find<MSelector>(bar, kChannelModeId))
  {
    // "Activate surround" may have changed in the settings since the bar was built.
    const bool surround = MGeneralSettings::SurroundActivated();
    if (modes->GetChoices().Count() != MQuorvelAudioEffectPlugin::OfferedChannelModeCount(surround))
      modes->SetChoices(OfferedModeNames(surround));
    modes->SetSelection(mode);
  }
  bar.shownSlot = slot;
  bar.shownPreset = plugin.GetCurrentPresetIndex();
  bar.shownMode = mode;
  bar.shownAGC = agc;
}

MWindowSystemCommon* SystemOf(const MControl& control)
{
  MWindow* window = control.GetWindow();
  return window != nullptr ? window->GetWindowSystem() : nullptr;
}

MQuorvelEditorDialogs& DefaultDialogs()
{
  static MQuorvelEditorDialogs dialogs;
  return dialogs;
}

// Every button of the bar lands here; the sender's id says which one it was.
void OnBarButton(MEventTarget* target, void*, MOnNotifyParams& params)
{
  auto& plugin = *static_cast<MQuorvelAudioEffectPlugin*>(target);
  auto* control = dynamic_cast<MControl*>(params.sender);
  if (control == nullptr)
    return;
  const MString& id = control->GetId();
  for (std::int32_t slot = 0; slot < MQuorvelAudioEffectPlugin::kPresetSlots; ++slot)
  {
    if (id == MString::FromLiteral(kSlotIds[slot]))
      plugin.SelectSlot(slot);
  }
  if (id == MString("AB"))
    plugin.ToggleAB();
  else if (id == MString("PreviousPreset") || id == MString("NextPreset"))
  {
    MString error;
    if (!plugin.StepPreset(id == MString("NextPreset") ? 1 : -1, error) && error.IsEmpty())
      plugin.GetEditorDialogs().Tell(*control, MString("Presets"),
                                     MString("There are no presets yet: save one in the preset window."));
    else if (!error.IsEmpty())
      plugin.GetEditorDialogs().Tell(*control, MString("Presets"),
                                     MString("A damaged preset was skipped: ") + error);
  }
  else if (id == MString("Presets"))
    plugin.OpenPresetWindow(*control);
  else if (id == MString("Morph"))
    plugin.OpenABCDEditor(*control);
  else if (id == MString("Settings"))
    plugin.OpenSettingsWindow(*control);
  else if (id == MString("MIDI"))
    plugin.OpenMIDIWindow(*control);
  else if (id == MString("Copy"))
  {
    if (MWindowSystemCommon* system = SystemOf(*control))
      system->SetClipboardText(plugin.CopySettingsText());
  }
  else if (id == MString("Paste"))
  {
    MWindowSystemCommon* system = SystemOf(*control);
    const MString text = system != nullptr ? system->GetClipboardText() : MString();
    MString error;
    if (text.IsEmpty())
      error = MString("The clipboard holds no text.");
    if (error.IsEmpty() && !plugin.PasteSettingsText(text, error) && error.IsEmpty())
      error = MString("The text could not be read.");
    if (!error.IsEmpty())
      plugin.GetEditorDialogs().Tell(*control, MString("Paste settings"),
                                     MString("Nothing was pasted: ") + error +
                                         MString(" Copy the settings of a plug-in first."));
  }
  else if (id == MString(kAGCId))
  {
    if (auto* button = dynamic_cast<MButton*>(control))
      plugin.SetAGCEnabled(button->IsOn());
  }
  else if (id == MString(kSetAGCId))
    plugin.OpenOptimalGainWindow(*control);
  plugin.RefreshPresetBar();
}

void OnChannelMode(MEventTarget* target, void*, MOnNotifyParams& params)
{
  auto& plugin = *static_cast<MQuorvelAudioEffectPlugin*>(target);
  auto* selector = dynamic_cast<MSelector*>(params.sender);
  if (selector == nullptr || selector->GetSelection() == plugin.GetChannelMode())
    return;
  // The requested mode becomes active when processing is set up again (under the plug-in's locks).
  plugin.SetChannelMode(selector->GetSelection());
  plugin.InitProcessing();
  plugin.RefreshPresetBar();
}

constexpr const char* kHelpPrevious = "<name>Previous preset</name> loads the preset before the current one.";
constexpr const char* kHelpNext = "<name>Next preset</name> loads the preset after the current one.";
constexpr const char* kHelpName =
    "<name>Current preset</name>: the preset loaded last. Use the arrows to step through your presets.";
constexpr const char* kHelpPresets =
    "<name>Presets</name> opens the preset window: load, save, rename, delete, organise, export and import.";
constexpr const char* kHelpAB =
    "<name>A/B</name> switches back to the slot you used before, to compare two settings quickly.";
constexpr const char* kHelpSlot =
    "<name>Slots A to H</name> hold eight complete settings. Click a slot to switch to it; your changes stay "
    "in the slot you leave.";
constexpr const char* kHelpMorph = "<name>Morph</name> blends slots A, B, C and D on a pad.";
constexpr const char* kHelpCopy = "<name>Copy</name> puts all current settings on the clipboard.";
constexpr const char* kHelpPaste =
    "<name>Paste</name> loads settings copied from this or another instance of the plug-in.";
constexpr const char* kHelpMIDI =
    "<name>MIDI</name> lists the MIDI controllers and note controllers that move parameters, with their "
    "master switches, the preset switch and saved controller sets. Right-click a control for MIDI learn.";
constexpr const char* kHelpSettings =
    "<name>Settings</name> opens the general settings: automation protection, channel mode and more.";
constexpr const char* kHelpAGC =
    "<name>AGC</name> keeps the output as loud as the input, up to 12 dB either way, following level changes "
    "slowly and holding through pauses. The choice is saved with the project.";
constexpr const char* kHelpSetAGC =
    "<name>Set</name> measures the best output gain from the next two seconds of audio and switches AGC on. "
    "Play something while the window is open; Cancel keeps the gain you had.";
constexpr const char* kHelpChannelMode =
    "<name>Channel mode</name> chooses which channels are processed: left and right, one side only, mid, "
    "side, both, or surround.";
} // namespace

void MQuorvelAudioEffectPlugin::CreateCommonEditorContents(MContainer& contents)
{
  auto owned = std::make_unique<MPresetBar>();
  MPresetBar& bar = *owned;
  bar.SetId(MString(MAudioPluginEditorWindow::kPresetBarId));
  bar.SetControlType(MControlType::Panel);
  bar.SetSize(MSize{std::max(1, contents.GetSize().x), MPresetBar::kHeight});

  const auto button = [&](const char* id, const MString& text, const char* help) -> MButton& {
    MButton& made = bar.Add<MButton>(text);
    made.SetId(MString::FromLiteral(id));
    made.SetHelp(MString::FromLiteral(help));
    made.GetChangedEvent().Subscribe(this, nullptr, &OnBarButton);
    return made;
  };
  button("PreviousPreset", MString::FromUTF8("\xE2\x97\x80"), kHelpPrevious);
  MStatic& name = bar.Add<MStatic>(GetCurrentPresetName());
  name.SetId(MString(kPresetNameId));
  name.SetHelp(MString(kHelpName));
  name.SetControlType(MControlType::Edit);
  name.SetTextAlignment(MAlign::HCenter | MAlign::VCenter);
  button("NextPreset", MString::FromUTF8("\xE2\x96\xB6"), kHelpNext);
  button("Presets", MString("Presets"), kHelpPresets);
  button("Copy", MString("Copy"), kHelpCopy);
  button("Paste", MString("Paste"), kHelpPaste);
  button("MIDI", MString("MIDI"), kHelpMIDI);
  button("Settings", MString("Settings"), kHelpSettings);
  button("AB", MString("A/B"), kHelpAB);
  for (std::int32_t slot = 0; slot < kPresetSlots; ++slot)
    button(kSlotIds[slot], SlotName(slot), kHelpSlot).SetToggle(true);
  button("Morph", MString("Morph"), kHelpMorph);
  button(kAGCId, MString("AGC"), kHelpAGC).SetToggle(true);
  button(kSetAGCId, MString("Set"), kHelpSetAGC);
  MSelector& modes = bar.Add<MSelector>();
  modes.SetId(MString(kChannelModeId));
  modes.SetHelp(MString(kHelpChannelMode));
  modes.SetChoices(OfferedModeNames(MGeneralSettings::SurroundActivated()));
  modes.GetChangedEvent().Subscribe(this, nullptr, &OnChannelMode);

  // The bar goes in first: the editor's arrangement puts the effect's controls below it.
  contents.AddChild(std::move(owned));
  MAudioEffectPluginToAudioPluginAdapter::CreateEditorContents(contents);
  bar.Arrange();
  // The editor is not linked to the plug-in yet while it is being built.
  ShowState(*this, bar);
}

MAudioPlugin::MEditor* MQuorvelAudioEffectPlugin::CreateCommonEditorControl(MWindowSystemCommon& system,
                                                                            MNativeHandle parent)
{
  if (parent != 0)
    MStyleSettings::ApplyStored(system);
  return MAudioEffectPluginToAudioPluginAdapter::CreateEditorControl(system, parent);
}

void MQuorvelAudioEffectPlugin::IdleCommonEditor()
{
  UpdateOptimalGainWindow();
  FollowMIDIWindow();
  if (m_zoomChangesSeen != s_zoomChanges)
  {
    // A zoom chosen in another editor: this one redraws at it and asks its host for the size.
    m_zoomChangesSeen = s_zoomChanges;
    ApplyEditorScale();
  }
  if (MAudioPlugin::MEditor* editor = GetEditor(); editor != nullptr && editor->GetWindow() != nullptr &&
                                                   editor->GetWindow()->GetWindowSystem() != nullptr)
    MStyleSettings::FollowStored(*editor->GetWindow()->GetWindowSystem());
  // The bar reads the preset state; while another thread changes it, the next tick looks.
  std::unique_lock presets(m_presetMutex, std::try_to_lock);
  if (!presets.owns_lock())
    return;
  RefreshPresetBarIfChanged();
  FollowPresetFile();
}

class MQuorvelAudioEffectPlugin::CommonEditorPart final : public EditorPart
{
public:
  CommonEditorPart() { s_editorPart.store(this, std::memory_order_release); }

  void CreateEditorContents(MQuorvelAudioEffectPlugin& plugin, MContainer& contents) const override
  {
    plugin.CreateCommonEditorContents(contents);
  }
  MEditor* CreateEditorControl(MQuorvelAudioEffectPlugin& plugin, MWindowSystemCommon& system,
                               MNativeHandle parent) const override
  {
    return plugin.CreateCommonEditorControl(system, parent);
  }
  void SetEditorOpen(MQuorvelAudioEffectPlugin& plugin, bool open) const override
  {
    plugin.SetCommonEditorOpen(open);
  }
  void OnEditorIdle(MQuorvelAudioEffectPlugin& plugin) const override { plugin.IdleCommonEditor(); }
  void EndOptimalGainDialog(MQuorvelAudioEffectPlugin& plugin) const override
  {
    plugin.EndOptimalGainDialog();
  }
};

namespace
{
const MQuorvelAudioEffectPlugin::CommonEditorPart s_commonEditorPart;
} // namespace

// Named by the editor library's link options, so that every target linking the library keeps
// this object and its installation above.
extern "C" void tonvera_framework_editor_common_editor() {}

void MQuorvelAudioEffectPlugin::RefreshPresetBar()
{
  if (MPresetBar* bar = FindBar(*this))
    ShowState(*this, *bar);
}

void MQuorvelAudioEffectPlugin::RefreshPresetBarIfChanged()
{
  const MPresetBar* bar = FindBar(*this);
  if (bar != nullptr && (bar->shownSlot != GetPresetIndex() || bar->shownPreset != GetCurrentPresetIndex() ||
                         bar->shownMode != GetChannelMode() || bar->shownAGC != IsAGCEnabled()))
    RefreshPresetBar();
}

void MQuorvelAudioEffectPlugin::OpenPresetWindow(MControl& origin)
{
  MWindow* owner = origin.GetWindow();
  if (owner == nullptr || MSheet::TopDialog(*owner) != nullptr)
    return;
  auto window = std::make_unique<PresetWindow>(*this);
  const PresetWindow* shown = window.get();
  // The user closed it (the editor closing under it tells nothing): where they left it is kept.
  MSheet::Show(*owner, std::move(window), [this, shown](MModalValue) {
    shown->StoreWindowState();
    RefreshPresetBar();
  });
}

void MQuorvelAudioEffectPlugin::RefreshPresetWindow()
{
  MAudioPlugin::MEditor* editor = GetEditor();
  MWindow* window = editor != nullptr ? editor->GetWindow() : nullptr;
  if (window == nullptr)
    return;
  for (MSheet* sheet : MSheet::SheetsOf(*window))
    if (auto* presets = dynamic_cast<PresetWindow*>(&sheet->GetDialog()))
      presets->Refresh();
}

bool MQuorvelAudioEffectPlugin::IsPresetWindowOpen()
{
  MAudioPlugin::MEditor* editor = GetEditor();
  MWindow* window = editor != nullptr ? editor->GetWindow() : nullptr;
  if (window == nullptr)
    return false;
  for (MSheet* sheet : MSheet::SheetsOf(*window))
    if (dynamic_cast<PresetWindow*>(&sheet->GetDialog()) != nullptr)
      return true;
  return false;
}

void MQuorvelAudioEffectPlugin::FollowPresetFile()
{
  // One stat every half second while the window is open: another instance's save shows up
  // without the user doing anything, and an idle editor costs next to nothing.
  const auto now = std::chrono::steady_clock::now();
  if (now < m_nextPresetFileCheck || !IsPresetWindowOpen())
    return;
  m_nextPresetFileCheck = now + std::chrono::milliseconds(500);
  if (PresetFileChanged() && ReloadPresetTree())
  {
    RefreshPresetWindow();
    RefreshPresetBar();
  }
}

void MQuorvelAudioEffectPlugin::FollowMIDIWindow()
{
  MAudioPlugin::MEditor* editor = GetEditor();
  MWindow* window = editor != nullptr ? editor->GetWindow() : nullptr;
  if (window == nullptr)
    return;
  for (MSheet* sheet : MSheet::SheetsOf(*window))
    if (auto* midi = dynamic_cast<MMIDIControllerWindow*>(&sheet->GetDialog()))
      midi->FollowPluginState();
}

MQuorvelEditorDialogs& MQuorvelAudioEffectPlugin::GetEditorDialogs()
{
  return m_editorDialogs != nullptr ? *m_editorDialogs : DefaultDialogs();
}

MString MQuorvelAudioEffectPlugin::GetControllerSetsPath()
{
  const MString folder = GetPresetFolder();
  if (folder.IsEmpty())
    return MString();
#ifdef _WIN32
  return folder + MString("\\controllersets.xml");
#else
  return folder + MString("/controllersets.xml");
#endif
}

void MQuorvelAudioEffectPlugin::OpenMIDIWindow(MControl& origin)
{
  MHostCallShield::Run("MQuorvelAudioEffectPlugin::OpenMIDIWindow", [&] {
    MWindow* owner = origin.GetWindow();
    if (owner == nullptr || MSheet::TopDialog(*owner) != nullptr)
      return;
    MSheet::Show(*owner, std::make_unique<MMIDIControllerWindow>(*this, GetControllerSetsPath()));
  });
}
