#include "core/plugin/MMIDIProcessor.h"

// ---- listeners and forwarding ---------------------------------------------------------------------

bool MMIDIProcessorBase::AddMIDIListener(MMIDIListener* listener) noexcept
{
  if (listener == nullptr)
    return false;
  for (auto& slot : m_listeners)
    if (slot.load() == listener)
      return false;
  for (auto& slot : m_listeners)
  {
    MMIDIListener* expected = nullptr;
    if (slot.compare_exchange_strong(expected, listener))
      return true;
  }
  return false;
}

void MMIDIProcessorBase::RemoveMIDIListener(MMIDIListener* listener) noexcept
{
  for (auto& slot : m_listeners)
  {
    MMIDIListener* expected = listener;
    slot.compare_exchange_strong(expected, nullptr);
  }
}

void MMIDIProcessorBase::ProcessNote(const MMIDINote& note)
{
  ForEachListener(note.channel, [&](MMIDIListener& listener) { listener.ProcessNote(note); });
}

void MMIDIProcessorBase::ProcessAllNotesOff(std::int32_t, double) {}

void MMIDIProcessorBase::ProcessController126(std::int32_t, double, std::int32_t) {}

void MMIDIProcessorBase::ProcessAftertouch(std::int32_t delta, double time, std::int32_t channel,
                                           std::int32_t note, double value)
{
  ForEachListener(channel, [&](MMIDIListener& listener) {
    listener.ProcessAftertouch(delta, time, channel, note, value);
  });
}

void MMIDIProcessorBase::ProcessProgramChange(std::int32_t, double, std::int32_t, std::int32_t) {}

void MMIDIProcessorBase::ProcessPan(std::int32_t, double, std::int32_t, double) {}

void MMIDIProcessorBase::ProcessVolume(std::int32_t, double, std::int32_t, double) {}

void MMIDIProcessorBase::ProcessPitchBend(std::int32_t delta, double time, std::int32_t channel, double value)
{
  ForEachListener(channel,
                  [&](MMIDIListener& listener) { listener.ProcessPitchBend(delta, time, channel, value); });
}

bool MMIDIProcessorBase::ProcessMIDIController(std::int32_t delta, double time, std::int32_t channel,
                                               std::int32_t controller, double value)
{
  ForEachListener(channel, [&](MMIDIListener& listener) {
    listener.ProcessMIDIController(delta, time, channel, controller, value);
  });
  return true;
}

// ---- decoding ---------------------------------------------------------------------------------------

double MMIDIProcessor::MusicalTime(std::int32_t delta) const
{
  return delta * 120.0 / (44100.0 * 60.0);
}

bool MMIDIProcessor::ProcessMIDIEvent(std::int32_t delta, const std::uint8_t bytes[3])
{
  if (bytes == nullptr)
    return false;
  if (delta > 0)
    --delta;
  const double time = MusicalTime(delta);
  const std::int32_t channel = bytes[0] & 0x0F;
  const std::int32_t data1 = bytes[1] & 0x7F;
  const std::int32_t data2 = bytes[2] & 0x7F;
  switch (bytes[0] & 0xF0)
  {
  case 0x80:
  case 0x90:
  {
    // Velocity 1 is the softest note and maps to 0, 127 to 126/127.
    const double velocity = data2 > 0 ? (data2 - 1) / 127.0 : 0.0;
    const bool noteOn = (bytes[0] & 0xF0) == 0x90 && data2 != 0;
    PerformNote(delta, time, channel, data1, velocity, noteOn);
    if (noteOn)
      noteVelocity[channel][data1] = static_cast<std::uint8_t>(data2);
    return true;
  }
  case 0xA0:
    ProcessAftertouch(delta, time, channel, data1, data2 / 127.0);
    return true;
  case 0xB0:
    controllers[channel][data1] = static_cast<std::uint8_t>(data2);
    return ProcessMIDIController(delta, time, channel, data1, data2 / 127.0);
  case 0xC0:
    ProcessProgramChange(delta, time, channel, data1);
    return false;
  case 0xD0:
    aftertouch[channel] = static_cast<std::uint8_t>(data1);
    ProcessAftertouch(delta, time, channel, 255, data1 / 127.0);
    return true;
  case 0xE0:
  {
    const std::int32_t raw = (data2 << 7) | data1;
    pitchBend[channel] = static_cast<std::int16_t>(raw - 8192);
    ProcessPitchBend(delta, time, channel, raw * 2.0 / 16383.0 - 1.0);
    return true;
  }
  default:
    return false;
  }
}

void MMIDIProcessor::PerformNote(std::int32_t delta, double time, std::int32_t channel, std::int32_t note,
                                 double velocity, bool noteOn)
{
  std::int32_t& count = held[channel][note];
  if (noteOn)
  {
    ++count;
    ++heldOnChannel[channel];
  }
  else
  {
    if (count < 1)
      return;
    if (sustain)
      ++sustained[channel][note];
    else
    {
      --count;
      --heldOnChannel[channel];
      if (count == 0)
        noteVelocity[channel][note] = 0;
    }
  }
  MMIDINote record;
  record.deltaFrames = delta;
  record.time = time;
  record.channel = static_cast<std::uint8_t>(channel);
  record.note = static_cast<std::uint8_t>(note);
  record.velocity = velocity;
  record.noteOn = noteOn;
  record.heldCount = count;
  record.heldOnChannel = heldOnChannel[channel];
  record.sustain = sustain;
  ProcessNote(record);
}

void MMIDIProcessor::ReleaseSustained(std::int32_t delta, double time, std::int32_t channel)
{
  for (std::int32_t note = 0; note < kNotes; ++note)
  {
    while (sustained[channel][note] > 0)
    {
      --sustained[channel][note];
      // A note-off was deferred only for a held note; the counts never go below zero.
      if (held[channel][note] > 0)
        --held[channel][note];
      if (heldOnChannel[channel] > 0)
        --heldOnChannel[channel];
      if (held[channel][note] == 0)
        noteVelocity[channel][note] = 0;
      MMIDINote record;
      record.deltaFrames = delta;
      record.time = time;
      record.channel = static_cast<std::uint8_t>(channel);
      record.note = static_cast<std::uint8_t>(note);
      record.heldCount = held[channel][note];
      record.heldOnChannel = heldOnChannel[channel];
      ProcessNote(record);
    }
  }
}

void MMIDIProcessor::ProcessPitchBend(std::int32_t delta, double time, std::int32_t channel, double value)
{
  bend = value;
  MMIDIProcessorBase::ProcessPitchBend(delta, time, channel, value);
}

bool MMIDIProcessor::ProcessMIDIController(std::int32_t delta, double time, std::int32_t channel,
                                           std::int32_t controller, double value)
{
  MMIDIProcessorBase::ProcessMIDIController(delta, time, channel, controller, value);
  switch (controller)
  {
  case 7:
    ProcessVolume(delta, time, channel, value);
    break;
  case 10:
    ProcessPan(delta, time, channel, value * 2.0 - 1.0);
    break;
  case 64:
  {
    const bool wasOn = sustain;
    sustain = value >= 0.5;
    // Sustain belongs to the whole plug-in, so its release ends the deferred notes of every
    // channel (releasing only the pedal's channel would leave the others held for ever).
    if (wasOn && !sustain)
      for (std::int32_t each = 0; each < kChannels; ++each)
        ReleaseSustained(delta, time, each);
    break;
  }
  case 123:
    ProcessAllNotesOff(delta, time);
    break;
  case 126:
    ProcessController126(delta, time, channel);
    break;
  default:
    break;
  }
  return true;
}
