#include "effect/MTuningIndicator.h"

#include "base/MFormat.h"
#include "effect/TonveraAudioEffectPlugin.h"

#include <algorithm>
#include <cmath>

MTuningIndicator::MTuningIndicator() = default;

std::int32_t MTuningIndicator::Cents(double note, std::int32_t chosen)
{
  const double cents = (note - chosen) * 100.0;
  if (!std::isfinite(cents))
    return 0;
  return static_cast<std::int32_t>(std::clamp(std::floor(cents + 0.5), -50.0, 50.0));
}

MString MTuningIndicator::Text(std::int32_t chosen, double inputNote, double outputNote)
{
  if (chosen < 0)
    return MFormat::Format(kTemplate, MString(), 0, 0);
  return MFormat::Format(kTemplate,
                         MString::FromLiteral(TonveraAudioEffectPlugin::PitchClassName(chosen % 12)),
                         Cents(inputNote, chosen), Cents(outputNote, chosen));
}

bool MTuningIndicator::Show(std::int32_t chosen, double inputNote, double outputNote)
{
  const std::int32_t pitchClass = chosen < 0 ? -1 : chosen % 12;
  const std::int32_t input = chosen < 0 ? 0 : Cents(inputNote, chosen);
  const std::int32_t output = chosen < 0 ? 0 : Cents(outputNote, chosen);
  if (pitchClass == m_pitchClass && input == m_input && output == m_output)
    return false;
  m_pitchClass = pitchClass;
  m_input = input;
  m_output = output;
  SetSTML(Text(chosen, inputNote, outputNote));
  return true;
}
