// The effect's parameter descriptors: keys, names, ranges, defaults, display texts, help texts.

#include "base/MFormat.h"
#include "base/MValueUnits.h"
#include "effect/TonveraAudioEffectPlugin.h"

#include <algorithm>
#include <cmath>

namespace
{

double RoundHalfUp(double x)
{
  const double whole = std::floor(x);
  return x - whole >= 0.5 ? whole + 1.0 : whole;
}

// Percent display of a 0..1 value ("50.0%", "0.50%"); typed p reads as p * 0.01.
void PercentFormatter(MString& result, MParameterInfo& info, const MString& input)
{
  if (input.IsEmpty())
  {
    result = MValuePercents::Text(info.floating.value);
    return;
  }
  info.floating.value = input.ToDouble() * 0.01;
}

// Dry/wet x in 0..2: wet min(x, 1), dry min(2 - |x|, 1), both in whole percent.
void DryWetFormatter(MString& result, MParameterInfo& info, const MString& input)
{
  if (input.IsEmpty())
  {
    const double x = info.floating.value;
    const auto wet = static_cast<std::int64_t>(RoundHalfUp(std::min(x, 1.0) * 100.0));
    const auto dry = static_cast<std::int64_t>(RoundHalfUp(std::min(2.0 - std::abs(x), 1.0) * 100.0));
    result = MFormat::Format("{0}% wet, {1}% dry", wet, dry);
    return;
  }
  // A plain number p is p percent of the 0..2 range's unit (150 is "100% wet, 50% dry"). A text
  // in the display form names both gains; below full wet the wet gain alone says it, at full wet
  // the dry gain does, so every displayed text reads back as its own value.
  const double wet = input.ToDouble();
  double x = wet * 0.01;
  const std::int32_t comma = input.Find(u',');
  if (comma >= 0 && input.Find(MString("dry"), comma) > comma && wet >= 100.0)
  {
    const double dry = input.Substring(comma + 1).ToDouble();
    x = 2.0 - dry * 0.01;
  }
  info.floating.value = x;
}

void SetFloat(MParameterInfo& info, const char* key, const char* name, double minimum, double maximum,
              double defaultValue, const char* help)
{
  info.type = MParameterInfo::kFloat;
  info.flags = MParameterInfo::kHostVisible | MParameterInfo::kRandomizable;
  info.key = MString::FromLiteral(key);
  info.name = MString::FromLiteral(name);
  info.help = MString::FromLiteral(help);
  info.floating.minimum = minimum;
  info.floating.maximum = maximum;
  info.floating.defaultValue = defaultValue;
  info.floating.value = defaultValue;
  info.floating.smoothed = defaultValue;
  info.floating.previous = defaultValue;
}

const char* const kQualityNames[] = {"Standard", "High"};

void SetGroup(MParameterInfo& info, const char* name, const char* help)
{
  info.type = MParameterInfo::kGroup;
  // Visible so that it names the group of the parameters after it; without a switch it makes
  // no host parameter of its own.
  info.flags = MParameterInfo::kHostVisible;
  info.name = MString::FromLiteral(name);
  info.help = MString::FromLiteral(help);
}

const char* const kOffOn[] = {"Off", "On"};

} // namespace

void TonveraAudioEffectPlugin::BuildParameters()
{
  auto& p = m_parameters;
  SetGroup(
      p[kTuningGroup], "Automatic tuning",
      "<name>Tuning panel</name> contains parameters controlling the automatic tuning algorithm. Most of "
      "them affect the naturality of the output.");
  SetFloat(
      p[kDepth], "AutoTuneDepth", "Depth", 0.0, 1.0, 0.5,
      "<name>Depth</name> defines how accurate the output should be. With 100% depth the output usually "
      "sounds \"machine-like\", exactly in tune. With lower depth the plugin tolerates more deviations.");
  p[kDepth].formatter = PercentFormatter;
  p[kDepth].unit = MParameterInfo::kPercent;
  SetFloat(p[kSpeed], "AutoTuneSpeed", "Speed", 0.0, 1.0, 0.5,
           "<name>Speed</name> defines how quickly the plugin adjusts, when a note has been changed. Higher "
           "speed makes the results immediately in tune, but can cause less natural results.");
  p[kSpeed].formatter = PercentFormatter;
  p[kSpeed].unit = MParameterInfo::kPercent;
  SetFloat(p[kNoteHold], "NoteHold", "Note hold", 0.0, 50.0, 0.0,
           "<name>Note hold</name> keeps the chosen note while the voice hovers between two notes of the "
           "scale. The output moves to the other note only when the voice passes the midpoint between them "
           "by more than this many cents, so a note sung sharp with vibrato no longer flips back and forth. "
           "At 0 cents the nearest note is always taken.");
  p[kNoteHold].format = "{0;.1} cents";
  p[kNoteHold].unit = MParameterInfo::kCents;
  // Its host slot comes after all the older ones (see the file comment of the effect).
  p[kNoteHold].flags2 = MParameterInfo::kAppendedSlot;
  SetFloat(p[kDetune], "Detune", "Detune", -100.0, 100.0, 0.0,
           "<name>Detune</name> defines global pitch change in cents of a semitone.");
  p[kDetune].format = "{0;+.1} cents";
  p[kDetune].unit = MParameterInfo::kCents;
  MParameterInfo& live = p[kLive];
  live.type = MParameterInfo::kEnumeration;
  live.flags = MParameterInfo::kHostVisible; // never randomised: it changes the latency
  live.key = "Live";
  live.name = "Live";
  live.help = MString::FromLiteral(
      "<name>Live</name> corrects with a latency short enough to sing through (256 samples at 44.1 and 48 "
      "kHz, about 6 ms), for tracking and the stage; the host learns the new latency when the editor is "
      "open, otherwise when it next starts processing. Scale, note hold, depth, speed, detune, width and "
      "detected notes as MIDI work as usual. Live does not keep formants: <name>Keep formants</name> and "
      "<name>Formant shift</name> have no effect while it is on, so large corrections sound brighter or "
      "darker.");
  live.enumeration.names = kOffOn;
  live.enumeration.count = 2;
  live.enumeration.defaultIndex = 0;
  live.enumeration.value = 0;
  // Its host slot comes after all the older ones (see the file comment of the effect). A singer
  // monitoring through Live who picks a preset that does not name it stays in Live.
  live.flags2 = MParameterInfo::kAppendedSlot | MParameterInfo::kKeptByPresets;

  SetGroup(p[kEffectsGroup], "Effects",
           "<name>Effects panel</name> contains additional parameters that affect resulting sound.");
  SetFloat(
      p[kDryWet], "DryWet", "Dry/wet", 0.0, 2.0, 2.0,
      "<name>Dry/wet</name> defines amount of the dry & wet signals. Note that if you don't apply any "
      "global pitch shifting and leave C0 key enabled, than the C0 will basically contain the dry signal.");
  p[kDryWet].formatter = DryWetFormatter;
  p[kDryWet].unit = MParameterInfo::kPercent; // 0..200 %, as typed into the editor
  SetFloat(p[kWidth], "Width", "Width", -100.0, 100.0, 0.0,
           "<name>Width</name> defines pitch difference between channels. This can generally be used to "
           "perform some kind of stereo expansion or make the track sound like it has been recorded twice "
           "and panned hard left and hard right.");
  p[kWidth].format = "{0;+.1} cents";
  p[kWidth].unit = MParameterInfo::kCents;
  SetFloat(p[kKeepFormants], "KeepFormants", "Keep formants", 0.0, 1.0, 1.0,
           "<name>Keep formants</name> makes the vocoder algorithm try to smaller the altering of the "
           "spectral envelope. Most natural instruments including human voice does not change complete "
           "spectrum when changing pitch. However pitch shifting algorith does that since it does not follow "
           "the complex physical laws, which results in the typical mickey-mouse effect etc. Keeping formats "
           "tries to approximate these physical laws.");
  p[kKeepFormants].formatter = PercentFormatter;
  p[kKeepFormants].unit = MParameterInfo::kPercent;
  SetFloat(p[kFormantShift], "FormantShift", "Formant shift", -12.0, 12.0, 0.0,
           "<name>Formant shift</name> lets you manually alter the formant information, which generally "
           "results in no pitch shifting, but creating the mickey-mouse effect for example.");
  p[kFormantShift].format = "{0;+.2} semitones";
  p[kFormantShift].unit = MParameterInfo::kSemitones;
  p[kQuality].type = MParameterInfo::kEnumeration;
  p[kQuality].flags = MParameterInfo::kHostVisible;
  p[kQuality].key = "Quality";
  p[kQuality].name = "Quality";
  p[kQuality].help =
      "<name>Quality</name> chooses the pitch shifter. <name>High</name> moves every harmonic of the voice "
      "by exactly the corrected ratio and keeps the harmonics' phases together, so strong correction and "
      "low voices stay clean and the waveform keeps its shape. <name>Standard</name> is the shifter of "
      "earlier versions; projects saved with them keep it.";
  p[kQuality].enumeration.names = kQualityNames;
  p[kQuality].enumeration.count = 2;
  p[kQuality].enumeration.defaultIndex = kHighQuality;
  p[kQuality].enumeration.value = kHighQuality;
  // Its host slot comes after all the older ones, Note hold's included. The factory presets and
  // presets saved before it existed do not name it: choosing one keeps the instance's shifter.
  p[kQuality].flags2 = MParameterInfo::kAppendedSlot | MParameterInfo::kKeptByPresets;

  // A change of these needs new per-channel ratios or gains before the next block.
  for (int index : {kDetune, kDryWet, kWidth})
    p[static_cast<std::size_t>(index)].flags.SetBits(MParameterInfo::kSetsChangedBit);
  for (int index = 0; index < kParameterCount; ++index)
    p[static_cast<std::size_t>(index)].orderKey = index;

  // The scale: a special entry of the group kind that carries the twelve-slot adapter, which the
  // effect registers itself (AddAutomationAdapters).
  m_scaleEntry.type = MParameterInfo::kGroup;
  m_scaleEntry.name = "Scale";
  m_scaleEntry.key = "Scale";

  m_parameterTable.descriptors = m_parameters.data();
  m_parameterTable.count = kParameterCount;
  m_parameterTable.specials = &m_scaleEntry;
  m_parameterTable.specialCount = 1;
}
