// The effect's controls in the plug-in editor: the scale panel and the tuning indicator. Part of
// the effect's editor library: the effect reaches it through TonveraAudioEffectPlugin::EditorPart,
// installed below.

#include "base/MHostCallShield.h"
#include "base/MStringList.h"
#include "effect/MTuningIndicator.h"
#include "effect/TonveraAudioEffectPlugin.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MContainer.h"
#include "gui/controls/MPiano.h"
#include "gui/controls/MSelector.h"

#include <algorithm>

namespace
{
constexpr const char* kScaleHelp =
    "<name>Scale panel</name> contains configuration for current song's scale. The plugin will then allow "
    "only enabled notes to be played. You can either manually set the notes to play using the piano keyboard "
    "on the left, or use the predefined set of basic scales. Default scale is chromatic, which allows all 12 "
    "semitones to be played. Note that you can automate each semitone.";
constexpr const char* kResetHelp = "<name>Reset button</name> restores the original chromatic scale.";
constexpr const char* kIndicatorHelp =
    "<name>Tuning indicator</name> displays how closely the input and output are in tune. On the left you "
    "can "
    "see the note chosen to be the best for actual input. <value>Red bar</value> shows the tuning of the "
    "input. <value>Green bar</value> shows the same thing for the output, hence in most cases this will be "
    "smaller than the red bar, since the output will be more in tune than the input.";

// Each root button's pitch class, handed to the click handler as its context.
constexpr std::int32_t kPitchClassOf[TonveraAudioEffectPlugin::kPitchClasses] = {0, 1, 2, 3, 4,  5,
                                                                                 6, 7, 8, 9, 10, 11};

// Shows the chosen root as the pressed one of the twelve root buttons (siblings in the panel).
void MarkRoot(MControl& panel, int root)
{
  for (int i = 0; i < TonveraAudioEffectPlugin::kPitchClasses; ++i)
  {
    if (auto* button = dynamic_cast<MButton*>(
            panel.FindChild(MString::FromLiteral(TonveraAudioEffectPlugin::PitchClassName(i)))))
      button->SetOn(i == root);
  }
}
} // namespace

std::int32_t TonveraAudioEffectPlugin::CreateScaleControls(MContainer* contents)
{
  if (contents == nullptr)
    return -1;
  const MSize area = contents->GetSize();
  constexpr std::int32_t kGap = 8;
  constexpr std::int32_t kPadding = 12;
  constexpr std::int32_t kRowHeight = 28;
  constexpr std::int32_t kSideWidth = 200;
  // The indicator runs across the top like a tuner's display; the scale panel takes the rest:
  // the piano with the scale type and Reset beside it, the root buttons in a row below both.
  constexpr std::int32_t kIndicatorHeight = 60;
  const std::int32_t panelTop = kIndicatorHeight + kGap;
  const std::int32_t panelHeight = std::max(1, area.y - panelTop);
  const std::int32_t inner = std::max(1, area.x - 2 * kPadding);
  const std::int32_t rootRow = std::max(kPadding, panelHeight - kPadding - kRowHeight);
  const std::int32_t pianoHeight = std::max(24, rootRow - kGap - kPadding);
  // Keys about two thirds as wide as they are tall, as on an instrument; the rest goes beside.
  const std::int32_t pianoWidth =
      std::clamp(pianoHeight * 7 * 2 / 3, 1, std::max(1, inner - kSideWidth - 2 * kGap));
  const std::int32_t sideLeft = kPadding + pianoWidth + 2 * kGap;
  const std::int32_t sideWidth = std::max(1, kPadding + inner - sideLeft);

  auto panel = std::make_unique<MPanel>();
  panel->SetId(MString("Scale"));
  panel->SetCaption(MString("Scale"));
  panel->SetHelp(MString(kScaleHelp));
  panel->SetBounds(MRect::FromSize(0, panelTop, area.x, panelHeight));
  MPanel& scale = *panel;
  contents->AddChild(std::move(panel));

  // Beside the piano, centred on it: the scale type, and Reset below it.
  const std::int32_t sideTop = kPadding + std::max(0, (pianoHeight - 2 * kRowHeight - kGap) / 2);
  auto& reset = scale.Add<MButton>(MString("Reset"));
  reset.SetId(MString("Reset"));
  reset.SetHelp(MString(kResetHelp));
  reset.SetBounds(MRect::FromSize(sideLeft, sideTop + kRowHeight + kGap, sideWidth, kRowHeight));
  reset.GetChangedEvent().Subscribe(this, nullptr, &TonveraAudioEffectPlugin::OnResetClicked);

  auto& piano = scale.Add<MPiano>();
  piano.SetId(MString("piano"));
  piano.SetRange(kPianoFirstNote, kPitchClasses);
  piano.SetBounds(MRect::FromSize(kPadding, kPadding, pianoWidth, pianoHeight));
  piano.GetNoteEvent().Subscribe(this, nullptr, &TonveraAudioEffectPlugin::OnPianoNote);

  // Twelve equal buttons across the panel, the remainder spread over the first ones.
  for (int i = 0; i < kPitchClasses; ++i)
  {
    const std::int32_t left = kPadding + inner * i / kPitchClasses;
    const std::int32_t right = kPadding + inner * (i + 1) / kPitchClasses;
    auto& button = scale.Add<MButton>(MString::FromLiteral(PitchClassName(i)));
    button.SetId(MString::FromLiteral(PitchClassName(i)));
    button.SetToggle(true);
    button.SetBounds(MRect{left + 1, rootRow, right - 1, rootRow + kRowHeight});
    button.GetChangedEvent().Subscribe(this, const_cast<std::int32_t*>(&kPitchClassOf[i]),
                                       &TonveraAudioEffectPlugin::OnRootClicked);
  }

  auto& selector = scale.Add<MSelector>();
  selector.SetId(MString("ScaleType"));
  MStringList kinds;
  for (int kind = 0; kind < kScaleKindCount; ++kind)
    kinds.Add(MString::FromLiteral(ScaleName(kind)));
  selector.SetChoices(kinds);
  selector.SetSelection(m_scaleType.Load());
  selector.SetBounds(MRect::FromSize(sideLeft, sideTop, sideWidth, kRowHeight));
  selector.GetChangedEvent().Subscribe(this, nullptr, &TonveraAudioEffectPlugin::OnScaleTypeChanged);

  auto indicator = std::make_unique<MTuningIndicator>();
  indicator->SetId(MString("Log"));
  indicator->SetHelp(MString(kIndicatorHelp));
  indicator->SetControlType(MControlType::Panel);
  indicator->SetBounds(MRect::FromSize(0, 0, area.x, kIndicatorHeight));
  MTuningIndicator& shown = *indicator;
  contents->AddChild(std::move(indicator));

  SetEditorControls(&piano, &shown);
  RefreshPiano();
  ProcessUpdate();
  return 0;
}

void TonveraAudioEffectPlugin::SetEditorControls(MPiano* piano, MTuningIndicator* tuningIndicator)
{
  m_pianoControl = piano;
  m_tuningIndicator = tuningIndicator;
}

void TonveraAudioEffectPlugin::ShowTuning()
{
  MHostCallShield::Run("TonveraAudioEffectPlugin::ProcessUpdate", [&] {
    if (m_tuningIndicator == nullptr)
      return;
    // Three relaxed reads: a frame may land between them, which shows for one refresh at most.
    const std::int32_t chosen = m_displayChosenNote.Load();
    m_tuningIndicator->Show(chosen, m_displayInputNote.Load(), m_displayOutputNote.Load(),
                            IsLive() ? GetLatency() : 0);
    if (m_pianoControl != nullptr)
      m_pianoControl->SetActiveNote(chosen < 0 ? -1 : kPianoFirstNote + chosen % kPitchClasses);
  });
}

void TonveraAudioEffectPlugin::ShowScale()
{
  // RefreshPiano calls this only while the piano is there.
  for (int i = 0; i < kPitchClasses; ++i)
    m_pianoControl->SetNoteEnabled(kPianoFirstNote + i, IsScaleNoteEnabled(i));
  m_pianoControl->Invalidate();
  // Loaded settings may also bring another scale choice: the piano's siblings show it.
  if (MControl* panel = m_pianoControl->GetParent())
  {
    MarkRoot(*panel, m_scaleNote.Load());
    if (auto* selector = dynamic_cast<MSelector*>(panel->FindChild(MString("ScaleType"))))
      selector->SetSelection(ShownScaleType());
  }
}

std::int32_t TonveraAudioEffectPlugin::ShownScaleType() const noexcept
{
  // The box names the scale only while the piano still shows it: a key switched on or off by
  // hand leaves a scale of the user's own, which none of the names fits.
  const int kind = m_scaleType.Load();
  const bool* pattern = ScalePattern(kind);
  if (pattern == nullptr)
    return -1;
  const int root = m_scaleNote.Load();
  for (int i = 0; i < kPitchClasses; ++i)
    if (IsScaleNoteEnabled(i) != pattern[((i - root) % kPitchClasses + kPitchClasses) % kPitchClasses])
      return -1;
  return kind;
}

std::uint32_t TonveraAudioEffectPlugin::ChangingNotes(const bool* target) const noexcept
{
  std::uint32_t notes = 0;
  for (int i = 0; i < kPitchClasses; ++i)
  {
    if (target[i] != IsScaleNoteEnabled(i))
      notes |= 1u << i;
  }
  return notes;
}

void TonveraAudioEffectPlugin::ScaleNoteGestures(std::uint32_t notes, bool begin)
{
  MAudioPlugin* plugin = m_scaleAdapter.GetPlugin();
  if (plugin == nullptr)
    return;
  for (int i = 0; i < kPitchClasses; ++i)
  {
    if ((notes & (1u << i)) == 0)
      continue;
    const std::int32_t index = m_scaleAdapter.GetFirstIndex() + i;
    begin ? plugin->BeginAutomationGesture(index) : plugin->EndAutomationGesture(index);
  }
}

void TonveraAudioEffectPlugin::OnPianoNote(MEventTarget* target, void*, MOnItemParams<std::int32_t>& params)
{
  auto& effect = *static_cast<TonveraAudioEffectPlugin*>(target);
  auto* piano = dynamic_cast<MPiano*>(params.sender);
  const std::int32_t pitchClass = params.item - kPianoFirstNote;
  if (piano == nullptr || pitchClass < 0 || pitchClass >= kPitchClasses)
    return;
  // One gesture of the note's slot around the values the host gets for it.
  MAudioPlugin* plugin = effect.m_scaleAdapter.GetPlugin();
  const std::int32_t index = effect.m_scaleAdapter.GetFirstIndex() + pitchClass;
  if (plugin != nullptr)
    plugin->BeginAutomationGesture(index);
  effect.SetScaleNoteEnabled(pitchClass, piano->IsNoteEnabled(params.item));
  effect.OnPianoChanged(1u << pitchClass);
  effect.RefreshPiano();
  if (plugin != nullptr)
    plugin->EndAutomationGesture(index);
}

void TonveraAudioEffectPlugin::OnRootClicked(MEventTarget* target, void* context, MOnNotifyParams& params)
{
  auto& effect = *static_cast<TonveraAudioEffectPlugin*>(target);
  const std::int32_t root = *static_cast<const std::int32_t*>(context);
  const int kind = effect.m_scaleType.Load();
  // The notes the choice turns on or off reach the host inside a gesture each.
  std::uint32_t changing = 0;
  if (const bool* pattern = ScalePattern(kind))
  {
    bool target[kPitchClasses];
    for (int i = 0; i < kPitchClasses; ++i)
      target[i] = pattern[(i - root + kPitchClasses) % kPitchClasses];
    changing = effect.ChangingNotes(target);
  }
  effect.ScaleNoteGestures(changing, true);
  effect.SelectScale(kind, root);
  effect.ScaleNoteGestures(changing, false);
  if (auto* button = dynamic_cast<MControl*>(params.sender);
      button != nullptr && button->GetParent() != nullptr)
    MarkRoot(*button->GetParent(), effect.m_scaleNote.Load());
}

void TonveraAudioEffectPlugin::OnResetClicked(MEventTarget* target, void*, MOnNotifyParams&)
{
  auto& effect = *static_cast<TonveraAudioEffectPlugin*>(target);
  const bool* all = ScalePattern(kChromatic);
  const std::uint32_t changing = effect.ChangingNotes(all);
  effect.ScaleNoteGestures(changing, true);
  effect.ResetScale();
  effect.ScaleNoteGestures(changing, false);
}

void TonveraAudioEffectPlugin::OnScaleTypeChanged(MEventTarget* target, void*, MOnNotifyParams& params)
{
  // Only the choice: the notes follow when a root button is pressed.
  auto& effect = *static_cast<TonveraAudioEffectPlugin*>(target);
  if (auto* selector = dynamic_cast<MSelector*>(params.sender); selector != nullptr)
  {
    const std::int32_t kind = selector->GetSelection();
    if (kind >= 0 && kind < kScaleKindCount)
      effect.m_scaleType = kind;
  }
}

std::int32_t TonveraAudioEffectPlugin::PianoKeyParameter(const MControl& control, std::int32_t part) const
{
  const std::int32_t pitchClass = part - kPianoFirstNote;
  if (&control != m_pianoControl || pitchClass < 0 || pitchClass >= kPitchClasses ||
      m_scaleAdapter.GetPlugin() == nullptr)
    return -1;
  return m_scaleAdapter.GetFirstIndex() + pitchClass;
}

class TonveraAudioEffectPlugin::ControlsPart final : public EditorPart
{
public:
  ControlsPart() { s_editorPart.store(this, std::memory_order_release); }

  std::int32_t CreateEditorContents(TonveraAudioEffectPlugin& effect, MContainer* contents) const override
  {
    return effect.CreateScaleControls(contents);
  }
  void ProcessUpdate(TonveraAudioEffectPlugin& effect) const override { effect.ShowTuning(); }
  void RefreshPiano(TonveraAudioEffectPlugin& effect) const override { effect.ShowScale(); }
  std::int32_t GetControlParameter(const TonveraAudioEffectPlugin& effect, const MControl& control,
                                   std::int32_t part) const override
  {
    return effect.PianoKeyParameter(control, part);
  }
};

namespace
{
const TonveraAudioEffectPlugin::ControlsPart s_controlsPart;
} // namespace

// Named by the editor library's link options, so that every target linking the library keeps
// this object and its installation above.
extern "C" void tonvera_effect_editor_controls() {}
