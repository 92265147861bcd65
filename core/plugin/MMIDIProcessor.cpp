#include "core/plugin/MMIDIProcessor.h"

namespace {
bool InRange(int value, int count)
{
  return value >= 0 && value < count;
}
} // namespace

void MMIDIProcessor::ProcessNote(int channel, int note, int velocity, int)
{
  if (InRange(channel, kChannels) && InRange(note, kNotes))
    noteVelocity[channel][note] = static_cast<std::uint8_t>(velocity & 0x7F);
}

void MMIDIProcessor::ProcessAftertouch(int channel, int value, int)
{
  if (InRange(channel, kChannels))
    aftertouch[channel] = static_cast<std::uint8_t>(value & 0x7F);
}

void MMIDIProcessor::ProcessPitchBend(int channel, int value, int)
{
  if (InRange(channel, kChannels) && value >= -8192 && value <= 8191)
    pitchBend[channel] = static_cast<std::int16_t>(value);
}

void MMIDIProcessor::ProcessMIDIController(int channel, int controller, int value, int)
{
  if (InRange(channel, kChannels) && InRange(controller, kNotes))
    controllers[channel][controller] = static_cast<std::uint8_t>(value & 0x7F);
}

void MMIDIProcessor::ProcessShortMessage(const std::uint8_t bytes[3], int sampleOffset)
{
  if (bytes == nullptr)
    return;
  const int status = bytes[0] & 0xF0;
  const int channel = bytes[0] & 0x0F;
  const int data1 = bytes[1] & 0x7F;
  const int data2 = bytes[2] & 0x7F;
  switch (status)
  {
  case 0x80:
    ProcessNote(channel, data1, 0, sampleOffset);
    break;
  case 0x90:
    ProcessNote(channel, data1, data2, sampleOffset);
    break;
  case 0xB0:
    ProcessMIDIController(channel, data1, data2, sampleOffset);
    break;
  case 0xD0:
    ProcessAftertouch(channel, data1, sampleOffset);
    break;
  case 0xE0:
    ProcessPitchBend(channel, ((data2 << 7) | data1) - 8192, sampleOffset);
    break;
  default:
    break;
  }
}
