#include "framework/MMIDIControllerWindow.h"

#include "base/MException.h"
#include "base/MMemoryStream.h"
#include "base/MStringList.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "core/plugin/MSettingsFolder.h"
#include "framework/MAudioEffectPluginToAudioPluginAdapter.h"
#include "framework/MMIDIControllers.h"
#include "framework/MSettingsText.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MCheckBox.h"
#include "gui/controls/MEdit.h"
#include "gui/controls/MSelector.h"
#include "gui/MGridPlacer.h"
#include "gui/controls/MStatic.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <type_traits>

extern const unsigned char kFactoryControllerSets[];
extern const std::size_t kFactoryControllerSetsSize;

namespace
{
constexpr const char* kPitchNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
// The rows, left to right: each kind of row is a table of column widths (the check boxes are
// narrow, the rest share the width).
constexpr std::int32_t kCheck = 20;
constexpr std::int32_t kGap = 6;
constexpr std::int32_t kLabel = 18;
constexpr MGridColumn kSwitchColumns[5] = {{130}, {164}, {112}, {110}, {70}};
// The label sits close to its choice, the name apart from the buttons that act on the chosen set;
// the choice is wide enough for the factory set's name (a new set's name needs less).
constexpr MGridColumn kSetColumns[6] = {{30, 4}, {240}, {62}, {62, 2 * kGap}, {120}, {62}};
constexpr MGridColumn kViewColumns[2] = {{180}, {110}};
constexpr MGridColumn kControllerColumns[9] = {{kCheck}, {120}, {66}, {110},   {112},
                                               {44},     {44},  {44}, {kCheck}};
constexpr MGridColumn kNoteColumns[7] = {{kCheck}, {120}, {66}, {70}, {154}, {44}, {44}};
/// Rows shown at a time: the lists are paged (eight pages of eight rows in two lists).
constexpr std::int32_t kPageRows = 8;
constexpr const char* kControllerHeads[9] = {"On",    "Parameter", "Channel", "Source", "Mode",
                                             "Value", "Max",       "Range",   "Inv"};
constexpr const char* kNoteHeads[7] = {"On", "Parameter", "Channel", "Note", "Mode", "Value", "Max"};
constexpr const char* kActionLoad = "MIDISetLoad";
constexpr const char* kActionDelete = "MIDISetDelete";
constexpr const char* kActionSave = "MIDISetSave";

MString Percent(double normalised)
{
  // Tenths of a percent, without a fraction where there is none: "0", "50.4", "100".
  const double tenths = std::round(std::clamp(normalised, 0.0, 1.0) * 1000.0);
  const auto whole = static_cast<std::int64_t>(tenths) / 10;
  const auto fraction = static_cast<std::int64_t>(tenths) % 10;
  MString text = MString::FromInteger(whole);
  if (fraction != 0)
    text += MString(".") + MString::FromInteger(fraction);
  return text;
}

// Typed percent ("50", "50 %", "12.5") as 0..1; the fallback when it is no number.
double ReadPercent(const MString& text, double fallback)
{
  MString digits = text;
  std::string narrow = digits.ToUTF8();
  narrow.erase(std::remove(narrow.begin(), narrow.end(), '%'), narrow.end());
  narrow.erase(std::remove(narrow.begin(), narrow.end(), ' '), narrow.end());
  double value = 0.0;
  if (!MSettingsText::ReadDouble(MString::FromUTF8(narrow), value) || !std::isfinite(value))
    return fallback;
  return std::clamp(value / 100.0, 0.0, 1.0);
}

bool Same(const MControllerAssignment& a, const MControllerAssignment& b)
{
  return a.enabled == b.enabled && a.parameter == b.parameter && a.value == b.value &&
         a.maxValue == b.maxValue && a.range == b.range && a.channel == b.channel &&
         a.controller == b.controller && a.rangeMode == b.rangeMode && a.invert == b.invert;
}

bool Same(const MNoteControllerAssignment& a, const MNoteControllerAssignment& b)
{
  return a.enabled == b.enabled && a.parameter == b.parameter && a.mode == b.mode && a.channel == b.channel &&
         a.note == b.note && a.value == b.value && a.maxValue == b.maxValue;
}

template <class Row, std::size_t N>
bool Same(const std::array<Row, N>& a, const std::array<Row, N>& b)
{
  for (std::size_t index = 0; index < N; ++index)
    if (!Same(a[index], b[index]))
      return false;
  return true;
}

// A percent field: the value shown when the user left its text as shown, else what they typed.
double Edited(const MEdit& edit, double shown)
{
  return edit.GetText() == Percent(shown) ? shown : ReadPercent(edit.GetText(), shown);
}

// A selector: the value shown when the user left it, else the choice (`offset` below the value).
std::int32_t Edited(const MSelector& selector, std::int32_t shown, std::int32_t displayed,
                    std::int32_t offset = 0)
{
  return selector.GetSelection() == displayed ? shown : selector.GetSelection() - offset;
}

// The names of the values first..last, in order.
template <class Name>
MStringList Names(std::int32_t first, std::int32_t last, Name name)
{
  MStringList names;
  for (std::int32_t value = first; value <= last; ++value)
  {
    if constexpr (std::is_same_v<decltype(name(value)), const char*>)
      names.Add(MString::FromLiteral(name(value)));
    else
      names.Add(name(value));
  }
  return names;
}

MString Id(const char* kind, std::int32_t row, const char* field)
{
  return MString::FromLiteral(kind) + MString::FromInteger(row + 1) + MString::FromLiteral(field);
}
} // namespace

// ---- the controller sets -------------------------------------------------------------------------

void MMIDIControllerWindow::SetTarget::LoadPresetSettings(MXmlItem& settings)
{
  std::vector<MControllerAssignment> controllers;
  std::vector<MNoteControllerAssignment> noteControllers;
  MControllerSettings::Load(m_plugin, settings, controllers, noteControllers);
  std::int32_t on = 0;
  m_plugin.SetControllersEnabled(
      MSettingsText::ReadInteger(settings.GetAttribute(MString("ControllersEnabled"), MString("0")), on) &&
      on != 0);
  on = 0;
  m_plugin.SetNoteControllersEnabled(
      MSettingsText::ReadInteger(settings.GetAttribute(MString("NoteControllersEnabled"), MString("0")),
                                 on) &&
      on != 0);
  m_plugin.SetControllerLists(std::move(controllers), std::move(noteControllers));
}

void MMIDIControllerWindow::SetTarget::SavePresetSettings(MXmlItem& settings)
{
  MControllerSettings::Save(m_plugin, m_plugin.GetControllerAssignments(),
                            m_plugin.GetNoteControllerAssignments(), settings);
  settings.SetAttribute(MString("ControllersEnabled"),
                        m_plugin.GetControllersEnabled() ? MString("1") : MString("0"));
  settings.SetAttribute(MString("NoteControllersEnabled"),
                        m_plugin.GetNoteControllersEnabled() ? MString("1") : MString("0"));
}

// ---- the window ----------------------------------------------------------------------------------

MString MMIDIControllerWindow::ChannelName(std::int32_t channel)
{
  return channel <= 0 ? MString("Any") : MString::FromInteger(channel);
}

MString MMIDIControllerWindow::SourceName(std::int32_t source)
{
  switch (source)
  {
  case MMIDIControllers::kAftertouch:
    return MString("Aftertouch");
  case MMIDIControllers::kPitchBend:
    return MString("Pitch-bend");
  case MMIDIControllers::kVelocityOnAndOff:
    return MString("Vel. on & off");
  case MMIDIControllers::kVelocityOn:
    return MString("Vel. on");
  default:
    return MString("CC ") + MString::FromInteger(source);
  }
}

MString MMIDIControllerWindow::NoteName(std::int32_t note)
{
  // MIDI note 60 is C4, as on the piano.
  return MString::FromLiteral(kPitchNames[((note % 12) + 12) % 12]) + MString::FromInteger(note / 12 - 1);
}

MMIDIControllerWindow::MMIDIControllerWindow(MAudioEffectPluginToAudioPluginAdapter& plugin,
                                             const MString& setsPath)
    : m_plugin(plugin), m_setsPath(setsPath), m_setTarget(plugin), m_sets(m_setTarget)
{
  SetCaption(MString("MIDI"));
  MStringList parameters;
  parameters.Add(MString("(none)"));
  for (std::int32_t index = 0; index < plugin.GetNumParameters(); ++index)
  {
    // One-letter names (the scale's notes) read better with their group.
    const MString name = plugin.GetParameterName(index);
    parameters.Add(name.Length() <= 2 ? plugin.GetParameterID(index) : name);
  }
  const MStringList channels = Names(0, 16, ChannelName);
  const MStringList sources = Names(0, MMIDIControllers::kVelocityOn, SourceName);
  const MStringList notes = Names(0, 127, NoteName);
  const MStringList rangeModes = Names(kRangeUpAndDown, kRangeInterval, MMIDIControllers::RangeModeName);
  const MStringList noteModes =
      Names(kNoteLinear, kNoteHeldAllOctaves, MMIDIControllers::NoteControllerModeName);

  const auto check = [&](const MString& id, const MString& caption) -> MCheckBox& {
    MCheckBox& made = Add<MCheckBox>(caption);
    made.SetId(id);
    made.GetChangedEvent().Subscribe<&MMIDIControllerWindow::OnChanged>(this);
    return made;
  };
  const auto selector = [&](const MString& id, const MStringList& choices) -> MSelector& {
    MSelector& made = Add<MSelector>();
    made.SetId(id);
    made.SetChoices(choices);
    made.GetChangedEvent().Subscribe<&MMIDIControllerWindow::OnChanged>(this);
    return made;
  };
  const auto label = [&](const char* text, MStdFont font = MStdFont::Normal) -> MStatic& {
    MStatic& made = Add<MStatic>(MString::FromLiteral(text));
    made.SetFont(font);
    made.SetTextAlignment(MAlign::Left | MAlign::VCenter);
    return made;
  };
  const auto button = [&](const char* id, const char* caption) -> MButton& {
    MButton& made = Add<MButton>(MString::FromLiteral(caption));
    made.SetId(MString::FromLiteral(id));
    made.GetChangedEvent().Subscribe<&MMIDIControllerWindow::OnSetAction>(this);
    return made;
  };

  m_controllersOn = &check(MString("ControllersEnabled"), MString("Controllers on"));
  m_noteControllersOn = &check(MString("NoteControllersEnabled"), MString("Note controllers on"));
  m_presetSwitchOn = &check(MString("PresetSwitchEnabled"), MString("Preset switch"));
  m_presetSwitchSource = &selector(MString("PresetSwitchSource"), sources);
  m_presetSwitchChannel = &selector(MString("PresetSwitchChannel"), channels);

  m_setLabel = &label("Set");
  m_setChoice = &Add<MSelector>();
  m_setChoice->SetId(MString("MIDISetChoice"));
  m_loadSet = &button(kActionLoad, "Load");
  m_deleteSet = &button(kActionDelete, "Delete");
  m_setName = &Add<MEdit>(MString("Controller set"));
  m_setName->SetId(MString("MIDISetName"));
  m_saveSet = &button(kActionSave, "Save");
  m_note = &label("");
  m_note->SetId(MString("MIDINote"));

  MStringList lists, pages;
  lists.Add(MString("Controllers"));
  lists.Add(MString("Note controllers"));
  for (std::int32_t first = 1; first <= kRows; first += kPageRows)
    pages.Add(MString("Rows ") + MString::FromInteger(first) + MString::FromUTF8("\xE2\x80\x93") +
              MString::FromInteger(first + kPageRows - 1));
  m_list = &Add<MSelector>();
  m_list->SetId(MString("MIDIList"));
  m_list->SetChoices(lists);
  m_list->GetChangedEvent().Subscribe<&MMIDIControllerWindow::OnViewChanged>(this);
  m_page = &Add<MSelector>();
  m_page->SetId(MString("MIDIPage"));
  m_page->SetChoices(pages);
  m_page->GetChangedEvent().Subscribe<&MMIDIControllerWindow::OnViewChanged>(this);
  for (std::size_t i = 0; i < m_controllerHeads.size(); ++i)
    m_controllerHeads[i] = &label(kControllerHeads[i], MStdFont::Small);
  for (std::int32_t row = 0; row < kRows; ++row)
  {
    ControllerRow& r = m_controllerRows[static_cast<std::size_t>(row)];
    r.enabled = &check(Id("Controller", row, "Enabled"), MString());
    r.parameter = &selector(Id("Controller", row, "Parameter"), parameters);
    r.channel = &selector(Id("Controller", row, "Channel"), channels);
    r.source = &selector(Id("Controller", row, "Source"), sources);
    r.mode = &selector(Id("Controller", row, "Mode"), rangeModes);
    r.value = &AddPercentEdit(Id("Controller", row, "Value"));
    r.maxValue = &AddPercentEdit(Id("Controller", row, "MaxValue"));
    r.range = &AddPercentEdit(Id("Controller", row, "Range"));
    r.invert = &check(Id("Controller", row, "Invert"), MString());
  }
  for (std::size_t i = 0; i < m_noteHeads.size(); ++i)
    m_noteHeads[i] = &label(kNoteHeads[i], MStdFont::Small);
  for (std::int32_t row = 0; row < kRows; ++row)
  {
    NoteRow& r = m_noteRows[static_cast<std::size_t>(row)];
    r.enabled = &check(Id("NoteController", row, "Enabled"), MString());
    r.parameter = &selector(Id("NoteController", row, "Parameter"), parameters);
    r.channel = &selector(Id("NoteController", row, "Channel"), channels);
    r.note = &selector(Id("NoteController", row, "Note"), notes);
    r.mode = &selector(Id("NoteController", row, "Mode"), noteModes);
    r.value = &AddPercentEdit(Id("NoteController", row, "Value"));
    r.maxValue = &AddPercentEdit(Id("NoteController", row, "MaxValue"));
  }

  try
  {
    // A missing file starts as the factory sets, written at once (unless another instance wrote
    // it meanwhile: that one is read); an existing one is only read, without its lock.
    std::error_code error;
    if (m_setsPath.IsEmpty())
      m_sets.SetTree(GetFactorySets());
    else if (!std::filesystem::exists(MSettingsFolder::ToPath(m_setsPath), error))
      m_sets.LoadOrCreate(m_setsPath, GetFactorySets());
    else
      m_sets.Load(m_setsPath); // replaced only whole: read without the lock
  }
  catch (const MException& problem)
  {
    SetNote(MString("The controller sets could not be read: ") + problem.Message());
  }
  ShowSets();
  ShowPluginState();
  AddButton(MString("Close"), MModalValue::Ok, true);
  SetInitialFocus(m_controllersOn);
  const std::int32_t height =
      4 * (kRowHeight + kRowGap) + 2 * kLabel + kRowGap + kPageRows * (kRowHeight + kRowGap);
  SetSize(MSize{kContentWidth + 2 * kMargin, height + 8 + FrameHeight()});
  Layout();
}

MMIDIControllerWindow::~MMIDIControllerWindow() = default;

MXmlItem MMIDIControllerWindow::GetFactorySets()
{
  try
  {
    MMemoryStream stream(kFactoryControllerSets, kFactoryControllerSetsSize);
    MXmlItem document;
    MXmlReader::Read(stream, document);
    MPresetTree::Check(document, MString("presets"));
    return document;
  }
  catch (const MException&)
  {
    // The shipped document is checked by the tests; a damaged build ships no factory sets.
    return MXmlItem(MString("presets"));
  }
}

MEdit& MMIDIControllerWindow::AddPercentEdit(const MString& id)
{
  MEdit& edit = Add<MEdit>();
  edit.SetId(id);
  edit.SetMaxLength(8);
  edit.SetCommitHandler([this](bool accepted) {
    if (accepted)
      Apply();
  });
  return edit;
}

MString MMIDIControllerWindow::GetNote() const
{
  return m_note->GetText();
}

void MMIDIControllerWindow::SetNote(const MString& note)
{
  m_note->SetText(note);
}

MMIDIControllerWindow::Shown MMIDIControllerWindow::ReadPlugin() const
{
  Shown state;
  const std::vector<MControllerAssignment> controllers = m_plugin.GetControllerAssignments();
  for (std::size_t row = 0; row < controllers.size() && row < state.controllers.size(); ++row)
    state.controllers[row] = controllers[row];
  const std::vector<MNoteControllerAssignment> notes = m_plugin.GetNoteControllerAssignments();
  for (std::size_t row = 0; row < notes.size() && row < state.notes.size(); ++row)
    state.notes[row] = notes[row];
  state.controllersOn = m_plugin.GetControllersEnabled();
  state.notesOn = m_plugin.GetNoteControllersEnabled();
  MMIDIControllers::PresetSwitch& presetSwitch = m_plugin.GetPresetSwitch();
  state.switchOn = presetSwitch.enabled.Load();
  state.switchSource = presetSwitch.controller.Load();
  state.switchChannel = presetSwitch.channel.Load();
  return state;
}

void MMIDIControllerWindow::FollowPluginState()
{
  const Shown now = ReadPlugin();
  if (!Same(now.controllers, m_shown.controllers) || !Same(now.notes, m_shown.notes) ||
      now.controllersOn != m_shown.controllersOn || now.notesOn != m_shown.notesOn ||
      now.switchOn != m_shown.switchOn || now.switchSource != m_shown.switchSource ||
      now.switchChannel != m_shown.switchChannel)
    ShowPluginState();
}

void MMIDIControllerWindow::ShowPluginState()
{
  m_showing = true;
  m_shown = ReadPlugin();
  const auto onOff = [](bool on) { return on ? MCheckState::On : MCheckState::Off; };
  m_controllersOn->SetCheck(onOff(m_shown.controllersOn));
  m_noteControllersOn->SetCheck(onOff(m_shown.notesOn));
  m_presetSwitchOn->SetCheck(onOff(m_shown.switchOn));
  m_presetSwitchSource->SetSelection(std::clamp(m_shown.switchSource, 0, MMIDIControllers::kVelocityOn));
  m_presetSwitchChannel->SetSelection(std::clamp(m_shown.switchChannel, 0, 16));

  for (std::size_t row = 0; row < m_controllerRows.size(); ++row)
  {
    const MControllerAssignment& a = m_shown.controllers[row];
    ControllerRow& r = m_controllerRows[row];
    r.enabled->SetCheck(onOff(a.enabled));
    r.parameter->SetSelection(a.parameter + 1);
    r.channel->SetSelection(std::clamp(a.channel, 0, 16));
    r.source->SetSelection(std::clamp(a.controller, 0, MMIDIControllers::kVelocityOn));
    r.mode->SetSelection(std::clamp(a.rangeMode, 0, 4));
    r.value->SetText(Percent(a.value));
    r.maxValue->SetText(Percent(a.maxValue));
    r.range->SetText(Percent(a.range));
    r.invert->SetCheck(onOff(a.invert));
  }
  for (std::size_t row = 0; row < m_noteRows.size(); ++row)
  {
    const MNoteControllerAssignment& c = m_shown.notes[row];
    NoteRow& r = m_noteRows[row];
    r.enabled->SetCheck(onOff(c.enabled));
    r.parameter->SetSelection(c.parameter + 1);
    r.channel->SetSelection(std::clamp(c.channel, 0, 16));
    r.note->SetSelection(std::clamp(c.note, 0, 127));
    r.mode->SetSelection(std::clamp(c.mode, 0, static_cast<std::int32_t>(kNoteHeldAllOctaves)));
    r.value->SetText(Percent(c.value));
    r.maxValue->SetText(Percent(c.maxValue));
  }
  m_showing = false;
}

void MMIDIControllerWindow::Apply()
{
  if (m_showing)
    return;
  // The plug-in's lists as they are now, with the rows the user changed laid over them: what
  // changed under the sheet since it last showed the lists stays.
  Shown state = ReadPlugin();
  const auto check = [](const MCheckBox& box, bool shown) {
    return box.IsChecked() == shown ? shown : !shown;
  };
  for (std::size_t row = 0; row < m_controllerRows.size(); ++row)
  {
    const ControllerRow& r = m_controllerRows[row];
    const MControllerAssignment& shown = m_shown.controllers[row];
    MControllerAssignment a;
    a.enabled = check(*r.enabled, shown.enabled);
    a.parameter = Edited(*r.parameter, shown.parameter, shown.parameter + 1, 1);
    a.channel = Edited(*r.channel, shown.channel, std::clamp(shown.channel, 0, 16));
    a.controller =
        Edited(*r.source, shown.controller, std::clamp(shown.controller, 0, MMIDIControllers::kVelocityOn));
    a.rangeMode = Edited(*r.mode, shown.rangeMode, std::clamp(shown.rangeMode, 0, 4));
    a.value = Edited(*r.value, shown.value);
    a.maxValue = Edited(*r.maxValue, shown.maxValue);
    a.range = Edited(*r.range, shown.range);
    a.invert = check(*r.invert, shown.invert);
    if (!Same(a, shown))
      state.controllers[row] = a;
  }
  for (std::size_t row = 0; row < m_noteRows.size(); ++row)
  {
    const NoteRow& r = m_noteRows[row];
    const MNoteControllerAssignment& shown = m_shown.notes[row];
    MNoteControllerAssignment c;
    c.enabled = check(*r.enabled, shown.enabled);
    c.parameter = Edited(*r.parameter, shown.parameter, shown.parameter + 1, 1);
    c.channel = Edited(*r.channel, shown.channel, std::clamp(shown.channel, 0, 16));
    c.note = Edited(*r.note, shown.note, std::clamp(shown.note, 0, 127));
    c.mode = Edited(*r.mode, shown.mode,
                    std::clamp(shown.mode, 0, static_cast<std::int32_t>(kNoteHeldAllOctaves)));
    c.value = Edited(*r.value, shown.value);
    c.maxValue = Edited(*r.maxValue, shown.maxValue);
    if (!Same(c, shown))
      state.notes[row] = c;
  }
  std::vector<MControllerAssignment> controllers;
  for (const MControllerAssignment& a : state.controllers)
    if (a.parameter >= 0)
      controllers.push_back(a);
  std::vector<MNoteControllerAssignment> noteControllers;
  for (const MNoteControllerAssignment& c : state.notes)
    if (c.parameter >= 0)
      noteControllers.push_back(c);
  m_plugin.SetControllerLists(std::move(controllers), std::move(noteControllers));
  if (m_controllersOn->IsChecked() != m_shown.controllersOn)
    m_plugin.SetControllersEnabled(m_controllersOn->IsChecked());
  if (m_noteControllersOn->IsChecked() != m_shown.notesOn)
    m_plugin.SetNoteControllersEnabled(m_noteControllersOn->IsChecked());
  MMIDIControllers::PresetSwitch& presetSwitch = m_plugin.GetPresetSwitch();
  presetSwitch.controller = Edited(*m_presetSwitchSource, m_shown.switchSource,
                                   std::clamp(m_shown.switchSource, 0, MMIDIControllers::kVelocityOn));
  presetSwitch.channel =
      Edited(*m_presetSwitchChannel, m_shown.switchChannel, std::clamp(m_shown.switchChannel, 0, 16));
  if (m_presetSwitchOn->IsChecked() != m_shown.switchOn)
    presetSwitch.enabled = m_presetSwitchOn->IsChecked();
  m_plugin.ReportStateChangedToHost();
  ShowPluginState();
}

void MMIDIControllerWindow::OnChanged(MOnNotifyParams&)
{
  Apply();
}

void MMIDIControllerWindow::ShowSets()
{
  // The chosen set stays chosen wherever the others' changes put it.
  const std::int32_t chosen = m_setChoice->GetSelection();
  const MString chosenId = chosen >= 0 && static_cast<std::size_t>(chosen) < m_setIds.size()
                               ? m_setIds[static_cast<std::size_t>(chosen)]
                               : MString();
  m_setIds.clear();
  m_setNames.clear();
  MStringList names;
  for (MXmlItem* preset : m_sets.ListPresets())
  {
    m_setIds.push_back(MPresetTree::IdOf(*preset));
    m_setNames.push_back(preset->GetAttribute(MString("name"), MString()));
    names.Add(m_setNames.back());
  }
  if (names.Count() == 0)
    names.Add(MString("(no saved set)"));
  m_setChoice->SetChoices(names);
  const auto kept = std::find(m_setIds.begin(), m_setIds.end(), chosenId);
  m_setChoice->SetSelection(!chosenId.IsEmpty() && kept != m_setIds.end()
                                ? static_cast<std::int32_t>(kept - m_setIds.begin())
                                : std::clamp(chosen, 0, names.Count() - 1));
  const bool any = m_sets.GetPresetCount() > 0;
  m_loadSet->SetEnabled(any);
  m_deleteSet->SetEnabled(any);
}

void MMIDIControllerWindow::OnSetAction(MOnNotifyParams& params)
{
  const auto* control = dynamic_cast<const MControl*>(params.sender);
  if (control == nullptr)
    return;
  const MString id = control->GetId();
  // The set chosen is named by its id: another instance may have changed the file since the
  // choice was filled.
  const auto chosen = static_cast<std::size_t>(std::max(0, m_setChoice->GetSelection()));
  const MString setId = chosen < m_setIds.size() ? m_setIds[chosen] : MString();
  const MString setName = chosen < m_setNames.size() ? m_setNames[chosen] : MString();
  const auto gone = [&] {
    ShowSets();
    SetNote(MString("The controller set \"") + setName +
            MString("\" is no longer there: another instance deleted it. Nothing was changed."));
  };
  try
  {
    if (id == MString(kActionSave))
    {
      const MString name = m_setName->GetText().IsEmpty() ? MString("Controller set") : m_setName->GetText();
      MString saved;
      m_sets.Change(m_setsPath, [&](MPresetTree&) {
        saved = MPresetTree::IdOf(m_sets.SaveCurrent(m_sets.GetRoot(), name));
      });
      ShowSets();
      m_setChoice->SetSelection(std::max(0, m_sets.IndexOfPreset(saved)));
      ShowSets();
      SetNote(MString("Saved \"") + name + MString("\"."));
    }
    else if (id == MString(kActionLoad) && !setId.IsEmpty())
    {
      m_sets.Synchronize(m_setsPath);
      const std::int32_t index = m_sets.IndexOfPreset(setId);
      if (index < 0)
        return gone();
      m_sets.ApplyPresetAt(index);
      ShowPluginState();
      m_plugin.ReportStateChangedToHost();
      ShowSets();
      SetNote(MString("Loaded \"") + m_sets.GetPreset(index).GetAttribute(MString("name"), MString()) +
              MString("\"."));
    }
    else if (id == MString(kActionDelete) && !setId.IsEmpty())
    {
      bool found = false;
      m_sets.Change(m_setsPath, [&](MPresetTree&) {
        if (const MXmlItem* set = m_sets.FindById(setId))
          found = m_sets.Remove(*set);
      });
      if (!found)
        return gone();
      ShowSets();
      SetNote(MString("Deleted \"") + setName + MString("\"."));
    }
  }
  catch (const MException& problem)
  {
    SetNote(problem.Message());
  }
}

std::array<MControl*, 9> MMIDIControllerWindow::ControllerRow::Controls() const
{
  return {enabled, parameter, channel, source, mode, value, maxValue, range, invert};
}

std::array<MControl*, 7> MMIDIControllerWindow::NoteRow::Controls() const
{
  return {enabled, parameter, channel, note, mode, value, maxValue};
}

void MMIDIControllerWindow::LayoutContent(const MRect& content)
{
  MGridPlacer grid(content, kGap, kRowGap);
  grid.Skip(2);
  grid.PlaceRow(
      kSwitchColumns,
      {m_controllersOn, m_noteControllersOn, m_presetSwitchOn, m_presetSwitchSource, m_presetSwitchChannel},
      kRowHeight);
  grid.PlaceRow(kSetColumns, {m_setLabel, m_setChoice, m_loadSet, m_deleteSet, m_setName, m_saveSet},
                kRowHeight);
  const MGridColumn note[1] = {{std::max(1, content.Width())}};
  grid.PlaceRow(note, {m_note}, kLabel);
  // Which list and which eight of its rows; the heads sit on the rows.
  grid.PlaceRow(kViewColumns, {m_list, m_page}, kRowHeight);
  const bool notes = m_list->GetSelection() == 1;
  const std::int32_t first = std::clamp(m_page->GetSelection(), 0, kRows / kPageRows - 1) * kPageRows;
  for (MControl* head : m_controllerHeads)
    head->SetVisible(!notes);
  for (MControl* head : m_noteHeads)
    head->SetVisible(notes);
  if (notes)
    grid.PlaceRow(kNoteColumns, m_noteHeads, kLabel, 0);
  else
    grid.PlaceRow(kControllerColumns, m_controllerHeads, kLabel, 0);
  for (std::int32_t row = 0; row < kRows; ++row)
  {
    const auto controls = m_controllerRows[static_cast<std::size_t>(row)].Controls();
    const auto noteControls = m_noteRows[static_cast<std::size_t>(row)].Controls();
    const bool shown = row >= first && row < first + kPageRows;
    for (MControl* control : controls)
      control->SetVisible(shown && !notes);
    for (MControl* control : noteControls)
      control->SetVisible(shown && notes);
    if (shown && notes)
      grid.PlaceRow(kNoteColumns, noteControls, kRowHeight);
    else if (shown)
      grid.PlaceRow(kControllerColumns, controls, kRowHeight);
  }
}

void MMIDIControllerWindow::OnViewChanged(MOnNotifyParams&)
{
  Layout();
  Invalidate();
}
