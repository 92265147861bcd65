// The scale: predefined patterns, the twelve host slots, the editor's handlers and the settings.

#include "base/MLockGuard.h"
#include "base/MXmlItem.h"
#include "core/parameters/MParameterMapping.h"
#include "effect/TonveraAudioEffectPlugin.h"

namespace
{

constexpr int kKinds = TonveraAudioEffectPlugin::kScaleKindCount;
constexpr int kClasses = TonveraAudioEffectPlugin::kPitchClasses;

constexpr bool kPatterns[kKinds][kClasses] = {
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, // Chromatic
    {1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1}, // Major
    {1, 0, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0}, // Minor
    {1, 0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 0}, // Pentatonic
};

constexpr const char* kScaleNames[kKinds] = {"Chromatic", "Major", "Minor", "Pentatonic"};

constexpr const char* kPitchClassNames[kClasses] = {"C",  "C#", "D",  "D#", "E",  "F",
                                                    "F#", "G",  "G#", "A",  "A#", "B"};

} // namespace

const bool* TonveraAudioEffectPlugin::ScalePattern(int kind) noexcept
{
  return kind >= 0 && kind < kScaleKindCount ? kPatterns[kind] : nullptr;
}

const char* TonveraAudioEffectPlugin::ScaleName(int kind) noexcept
{
  return kind >= 0 && kind < kScaleKindCount ? kScaleNames[kind] : "";
}

const char* TonveraAudioEffectPlugin::PitchClassName(int pitchClass) noexcept
{
  return pitchClass >= 0 && pitchClass < kPitchClasses ? kPitchClassNames[pitchClass] : "";
}

// ---- AutomationAdapterType ---------------------------------------------------------------------

TonveraAudioEffectPlugin::AutomationAdapterType::AutomationAdapterType(TonveraAudioEffectPlugin& owner)
    : AutomationAdapter(kPitchClasses), m_owner(owner)
{
  // The effect holds this adapter as a member; the plug-in only lists it.
  SetOwned(false);
}

void TonveraAudioEffectPlugin::AutomationAdapterType::SetValue(std::int32_t slot, double value, bool silent)
{
  if (slot < 0 || slot >= kPitchClasses)
    return;
  // A value set through the slot is the host's own (its automation, or a change the plug-in
  // reports itself): the next report of the user's edits must not send it back.
  m_owner.m_lastReportedScale[static_cast<std::size_t>(slot)].store(value > 0.5, std::memory_order_relaxed);
  m_owner.SetScaleNoteEnabled(slot, value > 0.5);
  if (silent)
    return;
  m_owner.OnParametersChanged();
  if (MAudioPlugin* plugin = GetPlugin())
    plugin->NeedUpdateEditor(this);
}

double TonveraAudioEffectPlugin::AutomationAdapterType::GetValue(std::int32_t slot) const
{
  return m_owner.IsScaleNoteEnabled(slot) ? 1.0 : 0.0;
}

MString TonveraAudioEffectPlugin::AutomationAdapterType::GetName(std::int32_t slot) const
{
  return MString::FromLiteral(PitchClassName(slot));
}

MString TonveraAudioEffectPlugin::AutomationAdapterType::GetValueName(std::int32_t slot) const
{
  return MParameterMapping::BooleanText(m_owner.IsScaleNoteEnabled(slot));
}

MString TonveraAudioEffectPlugin::AutomationAdapterType::GetValueNameFrom01(std::int32_t, double value) const
{
  return MParameterMapping::BooleanText(value > 0.5);
}

double TonveraAudioEffectPlugin::AutomationAdapterType::ParseValueName(std::int32_t,
                                                                       const MString& text) const
{
  // The displayed texts read back as their own values, so a host that lets the user type "On"
  // switches the note on.
  return MParameterMapping::BooleanParse(text);
}

MString TonveraAudioEffectPlugin::AutomationAdapterType::GetUnitsName(std::int32_t) const
{
  return MString();
}

std::int32_t TonveraAudioEffectPlugin::AutomationAdapterType::GetType(std::int32_t) const
{
  return MParameterInfo::kBoolean;
}

double TonveraAudioEffectPlugin::AutomationAdapterType::GetDefaultValue(std::int32_t) const
{
  // A fresh effect has every note on: a host's "reset to default" must give that state back
  // (0.5 would read as off by the slot's own rule).
  return 1.0;
}

void TonveraAudioEffectPlugin::AutomationAdapterType::UpdateEditorControls()
{
  m_owner.RefreshPiano();
}

// ---- scale operations --------------------------------------------------------------------------

bool TonveraAudioEffectPlugin::IsScaleNoteEnabled(int pitchClass) const noexcept
{
  if (pitchClass < 0 || pitchClass >= kPitchClasses)
    return false;
  return m_tracker.ScaleNotes()[static_cast<std::size_t>(pitchClass)].load(std::memory_order_relaxed);
}

void TonveraAudioEffectPlugin::SetScaleNoteEnabled(int pitchClass, bool enabled) noexcept
{
  if (pitchClass < 0 || pitchClass >= kPitchClasses)
    return;
  m_tracker.ScaleNotes()[static_cast<std::size_t>(pitchClass)].store(enabled, std::memory_order_relaxed);
}

void TonveraAudioEffectPlugin::ResetScale()
{
  // The chromatic scale as a choice too, so that the scale box names what the piano shows and
  // the next root button keeps every note. The root stays: it is the user's last pick.
  ApplyScale(kChromatic, -1, true);
}

void TonveraAudioEffectPlugin::SelectScale(int kind, int root)
{
  if (ScalePattern(kind) == nullptr || root < 0 || root >= kPitchClasses)
    return;
  ApplyScale(kind, root, false);
}

// The flags change under the processing lock, so that no block sees half a scale; the host
// hears of them only after it is released: a host answering slowly must not hold up the audio.
void TonveraAudioEffectPlugin::ApplyScale(int kind, int root, bool clearHistory)
{
  const bool* pattern = ScalePattern(kind);
  std::uint32_t changed = 0;
  {
    MLockGuard guard(m_processingLock);
    m_scaleType = kind;
    if (root >= 0)
      m_scaleNote = root;
    const int from = m_scaleNote.Load();
    for (int i = 0; i < kPitchClasses; ++i)
    {
      const bool enabled = pattern[(i - from + kPitchClasses) % kPitchClasses];
      changed |= enabled != IsScaleNoteEnabled(i) ? 1u << i : 0u;
      SetScaleNoteEnabled(i, enabled);
    }
    if (clearHistory)
      ResetChannelsLocked();
  }
  ReportScaleChanges(changed);
  OnParametersChanged();
  RefreshPiano();
}

void TonveraAudioEffectPlugin::OnPianoChanged(std::uint32_t notes)
{
  ReportScaleChanges(notes);
  OnParametersChanged();
}

void TonveraAudioEffectPlugin::ReportScaleChanges(std::uint32_t notes)
{
  for (int i = 0; i < kPitchClasses; ++i)
  {
    const bool enabled = IsScaleNoteEnabled(i);
    std::atomic<bool>& reported = m_lastReportedScale[static_cast<std::size_t>(i)];
    if ((notes & (1u << i)) == 0 || enabled == reported.load(std::memory_order_relaxed))
      continue;
    reported.store(enabled, std::memory_order_relaxed);
    // Without a plug-in these send nothing.
    m_scaleAdapter.SendAutomationValue(i, enabled ? 0.0 : 1.0);
    m_scaleAdapter.SendAutomationValue(i, enabled ? 1.0 : 0.0);
  }
}

// ---- settings ----------------------------------------------------------------------------------

bool TonveraAudioEffectPlugin::StoreSettings(MXmlItem& item)
{
  const bool result = MAudioEffectPlugin::StoreSettings(item);
  MString scale;
  for (int i = 0; i < kPitchClasses; ++i)
    scale += IsScaleNoteEnabled(i) ? u'1' : u'0';
  item.SetAttribute("Scale", scale);
  item.SetAttribute("ScaleType", MString::FromInteger(m_scaleType.Load()));
  item.SetAttribute("ScaleNote", MString::FromInteger(m_scaleNote.Load()));
  return result;
}

bool TonveraAudioEffectPlugin::ReadStoredAdapterValue(const MAudioPlugin::AutomationAdapter& adapter,
                                                      std::int32_t slot, const MXmlItem& item,
                                                      double& normalised) const
{
  if (&adapter != &m_scaleAdapter || slot < 0 || slot >= kPitchClasses)
    return false;
  // The same rule as LoadSettings: a "Scale" of any other length is not taken.
  const MString scale = item.GetAttribute("Scale", MString());
  if (scale.Length() != kPitchClasses)
    return false;
  normalised = scale[slot] == u'1' ? 1.0 : 0.0;
  return true;
}

bool TonveraAudioEffectPlugin::LoadSettings(MXmlItem& item)
{
  const MString scale = item.GetAttribute("Scale", MString());
  if (scale.Length() == kPitchClasses)
  {
    for (int i = 0; i < kPitchClasses; ++i)
    {
      const bool enabled = scale[i] == u'1';
      SetScaleNoteEnabled(i, enabled);
      m_lastReportedScale[static_cast<std::size_t>(i)].store(enabled, std::memory_order_relaxed);
    }
  }
  // Out-of-range numbers from a damaged or hostile state keep the previous choice: both index
  // tables when the scale is applied again.
  const std::int64_t type = item.GetAttribute("ScaleType", "0").ToInteger();
  if (type >= 0 && type < kScaleKindCount)
    m_scaleType = static_cast<std::int32_t>(type);
  const std::int64_t note = item.GetAttribute("ScaleNote", "0").ToInteger();
  if (note >= 0 && note < kPitchClasses)
    m_scaleNote = static_cast<std::int32_t>(note);
  // A state saved before Note hold existed has no value for it: it was made without hold, and
  // loads so, whatever this instance held before.
  MParameterInfo& hold = m_parameters[kNoteHold];
  if (!item.HasAttribute(MString("parameter") + hold.key))
    hold.floating.value = hold.floating.defaultValue;
  // Nor had it Live: it loads with the frame engine (and its latency).
  MParameterInfo& live = m_parameters[kLive];
  if (!item.HasAttribute(MString("parameter") + live.key + MString("Enum")))
    live.enumeration.value = live.enumeration.defaultIndex;
  // Nor has one saved before Quality existed: it was made with the Standard shifter and keeps it.
  MParameterInfo& quality = m_parameters[kQuality];
  if (!item.HasAttribute(MString("parameter") + quality.key + MString("Enum")))
    quality.enumeration.value = kStandardQuality;
  return MAudioEffectPlugin::LoadSettings(item);
}
