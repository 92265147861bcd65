// The adapter's MIDI control: controller assignments, note controllers, the preset-switch
// controller and learn notifications, and the queue that lands their parameter changes at the
// right offset of the block.

#include "framework/MAudioEffectPluginToAudioPluginAdapter.h"

#include "base/MLockGuard.h"

#include <algorithm>
#include <limits>

double MAudioEffectPluginToAudioPluginAdapter::MusicalTime(std::int32_t delta) const
{
  const double rate = GetEffectiveSampleRate();
  const Transport& transport = const_cast<MAudioEffectPluginToAudioPluginAdapter*>(this)->GetTransport();
  return rate > 0.0 ? delta * transport.tempo / (rate * 60.0) + transport.songPosition
                    : transport.songPosition;
}

void MAudioEffectPluginToAudioPluginAdapter::ProcessNote(const MMIDINote& note)
{
  MAudioPlugin::ProcessNote(note);
  // The held keys follow the MIDI state's count of this note, before the lock: a busy lock must
  // not lose a key, and a key counts once however it was released (a note-off under the pedal,
  // then the pedal's release).
  m_heldKeys[note.channel & 15][note.note & 127] =
      static_cast<std::uint8_t>(std::clamp(note.heldCount, 0, 255));
  // Learn hears a note once, on its note-on, with its number (a switch learns the key itself).
  if (note.noteOn)
    m_learnQueue.Post({note.channel + 1, MMIDIControllers::kVelocityOn, note.note});
  // MIDI arrives before the block, outside the processing lock; loading a state replaces the
  // controller lists under that lock. A busy lock drops the mapping of this message, as the
  // block driver drops a block.
  MTryLockGuard lists(m_processingLock);
  if (!lists.IsLocked())
    return;
  if (note.noteOn)
    OnMIDIInput(note.deltaFrames, MMIDIControllers::kVelocityOn, note.channel, note.velocity);
  OnMIDIInput(note.deltaFrames, MMIDIControllers::kVelocityOnAndOff, note.channel, note.velocity);
  ProcessNoteControllers(note);
}

bool MAudioEffectPluginToAudioPluginAdapter::ProcessMIDIController(std::int32_t delta, double time,
                                                                   std::int32_t channel,
                                                                   std::int32_t controller, double value)
{
  const bool handled = MAudioPlugin::ProcessMIDIController(delta, time, channel, controller, value);
  // All sound off and all notes off end the held notes, whatever the pedal holds.
  if ((controller == 120 || controller == 123) && channel >= 0 && channel < kChannels)
    ReleaseHeldKeys(delta, channel);
  if (MTryLockGuard lists(m_processingLock); lists.IsLocked())
    OnMIDIInput(delta, controller, channel, value);
  return handled;
}

void MAudioEffectPluginToAudioPluginAdapter::ReleaseHeldKeys(std::int32_t delta, std::int32_t channel)
{
  for (std::int32_t key = 0; key < kNotes; ++key)
  {
    held[channel][key] = 0;
    sustained[channel][key] = 0;
  }
  heldOnChannel[channel] = 0;
  m_heldKeys[static_cast<std::size_t>(channel)] = {};
  if (MTryLockGuard lists(m_processingLock); lists.IsLocked() && m_noteControllersEnabled)
    RestateHeldNotes(delta, channel);
}

void MAudioEffectPluginToAudioPluginAdapter::RestateHeldNotes(std::int32_t delta, std::int32_t channel)
{
  for (const MNoteControllerAssignment& controller : m_noteControllers)
  {
    if (!controller.enabled || controller.mode != kNoteHeldAllOctaves ||
        (controller.channel != 0 && controller.channel != channel + 1))
      continue;
    // Every note restates every such controller, whatever its pitch class.
    bool held = false;
    for (std::int32_t key = ((controller.note % 12) + 12) % 12; key < 128 && !held; key += 12)
      for (const auto& keys : m_heldKeys)
        held = held || keys[static_cast<std::size_t>(key)] > 0;
    QueueParameterChange(controller.parameter, held ? controller.maxValue : controller.value, delta);
  }
}

void MAudioEffectPluginToAudioPluginAdapter::ProcessAftertouch(std::int32_t delta, double time,
                                                               std::int32_t channel, std::int32_t note,
                                                               double value)
{
  MAudioPlugin::ProcessAftertouch(delta, time, channel, note, value);
  if (MTryLockGuard lists(m_processingLock); lists.IsLocked())
    OnMIDIInput(delta, MMIDIControllers::kAftertouch, channel, value);
}

void MAudioEffectPluginToAudioPluginAdapter::ProcessPitchBend(std::int32_t delta, double time,
                                                              std::int32_t channel, double value)
{
  MAudioPlugin::ProcessPitchBend(delta, time, channel, value);
  MTryLockGuard lists(m_processingLock);
  if (!lists.IsLocked())
    return;
  OnMIDIInput(delta, MMIDIControllers::kPitchBend, channel, (value + 1.0) * 0.5);
  if (!m_noteControllersEnabled)
    return;
  // Frequency-following note controllers follow the bend of the last note.
  for (const MNoteControllerAssignment& controller : m_noteControllers)
  {
    if (!controller.enabled || (controller.channel != 0 && controller.channel != channel + 1))
      continue;
    if (controller.mode == kNoteLinear || controller.mode == kNoteLogarithmic)
      QueueParameterChange(controller.parameter,
                           MMIDIControllers::NoteFrequencyValue(controller, m_lastNote, value), delta);
  }
}

void MAudioEffectPluginToAudioPluginAdapter::OnMIDIInput(std::int32_t delta, std::int32_t source,
                                                         std::int32_t channel, double value)
{
  using namespace MMIDIControllers;
  if (m_presetController.enabled.Load())
  {
    const std::int32_t wanted = m_presetController.channel.Load();
    const std::int32_t number = m_presetController.controller.Load();
    if ((wanted == 0 || wanted == channel + 1) && number == source)
    {
      // Note velocities step forward on every matching note; continuous input steps on crossings.
      const std::int32_t step = source >= kVelocityOnAndOff ? 1 : m_presetController.Step(value);
      if (step != 0)
        RequestPresetStep(step);
    }
  }
  // Notes reach learn from ProcessNote, with their number.
  if (source < kVelocityOnAndOff)
    m_learnQueue.Post({channel + 1, source});
  if (!m_controllersEnabled)
    return;
  const double x = 2.0 * value - 1.0;
  for (const MControllerAssignment& assignment : m_controllers)
  {
    if (Matches(assignment, channel, source))
      QueueParameterChange(assignment.parameter, MapController(assignment, x), delta);
  }
}

void MAudioEffectPluginToAudioPluginAdapter::ProcessNoteControllers(const MMIDINote& note)
{
  // The held keys for the "held notes" mode are counted in ProcessNote (with the switch off
  // too, so that switching it on while keys are down does not lose them).
  if (!m_noteControllersEnabled)
    return;
  m_heldNotes = m_heldNotes + (note.noteOn ? 1 : -1);
  for (const MNoteControllerAssignment& controller : m_noteControllers)
  {
    if (!controller.enabled || (controller.channel != 0 && controller.channel != note.channel + 1))
      continue;
    switch (controller.mode)
    {
    case kNoteLinear:
    case kNoteLogarithmic:
      if (note.noteOn)
      {
        QueueParameterChange(controller.parameter,
                             MMIDIControllers::NoteFrequencyValue(controller, note.note, bend),
                             note.deltaFrames);
        m_lastNote = note.note;
      }
      break;
    case kNoteOnOff:
    case kNoteOnOffAllOctaves:
      if (MMIDIControllers::NoteMatches(controller, note.note))
        QueueParameterChange(controller.parameter, note.noteOn ? controller.maxValue : controller.value,
                             note.deltaFrames);
      break;
    case kNoteSwitch:
    case kNoteSwitchAllOctaves:
      if (note.noteOn && MMIDIControllers::NoteMatches(controller, note.note))
      {
        // The switch reads the value as it will be once earlier changes of this block landed.
        double current = GetParameter(controller.parameter);
        for (std::int32_t i = m_pendingChangeCount - 1; i >= 0; --i)
        {
          if (m_pendingChanges[static_cast<std::size_t>(i)].parameter == controller.parameter)
          {
            current = m_pendingChanges[static_cast<std::size_t>(i)].value;
            break;
          }
        }
        QueueParameterChange(controller.parameter, current < 0.5 ? controller.maxValue : controller.value,
                             note.deltaFrames);
      }
      break;
    default:
      break;
    }
  }
  RestateHeldNotes(note.deltaFrames, note.channel);
}

void MAudioEffectPluginToAudioPluginAdapter::QueueParameterChange(std::int32_t parameter, double value,
                                                                  std::int32_t offset) noexcept
{
  if (parameter < 0)
    return;
  // Offsets count host samples; the chunks run at the effect's (oversampled) rate.
  offset *= std::clamp<std::int32_t>(m_oversampling, 1, 16);
  if (m_pendingChangeCount >= kMaxPendingChanges)
  {
    SetParameter(parameter, value);
    return;
  }
  m_pendingChanges[static_cast<std::size_t>(m_pendingChangeCount++)] = {parameter, value,
                                                                        std::max(0, offset)};
}

std::int32_t MAudioEffectPluginToAudioPluginAdapter::ApplyPendingChanges(std::int32_t position) noexcept
{
  std::int32_t next = std::numeric_limits<std::int32_t>::max();
  std::int32_t kept = 0;
  // In arrival order, so the later of two changes at the same offset wins.
  for (std::int32_t i = 0; i < m_pendingChangeCount; ++i)
  {
    const PendingChange change = m_pendingChanges[static_cast<std::size_t>(i)];
    if (change.offset <= position)
      SetParameter(change.parameter, change.value);
    else
    {
      next = std::min(next, change.offset);
      m_pendingChanges[static_cast<std::size_t>(kept++)] = change;
    }
  }
  m_pendingChangeCount = kept;
  return next;
}

void MAudioEffectPluginToAudioPluginAdapter::FlushMIDIParameterChanges() noexcept
{
  ApplyPendingChanges(std::numeric_limits<std::int32_t>::max());
}

void MAudioEffectPluginToAudioPluginAdapter::AfterBlock(float**, float**, std::int32_t, bool)
{
  // Offsets beyond the block's end (a host's mistake) take effect before the next block; the
  // later pieces of a long block still have theirs to come.
  if (IsLastPiece())
    FlushMIDIParameterChanges();
}
