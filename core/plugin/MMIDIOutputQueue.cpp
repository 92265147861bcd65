#include "core/plugin/MMIDIOutputQueue.h"

bool MMIDIOutputQueue::Push(std::int32_t sampleOffset, std::uint8_t status, std::uint8_t data1,
                            std::uint8_t data2) noexcept
{
  if (m_count >= kCapacity)
    return false;
  Event& event = m_events[static_cast<std::size_t>(m_count++)];
  event.sampleOffset = sampleOffset < 0 ? 0 : sampleOffset;
  event.bytes[0] = status;
  event.bytes[1] = data1;
  event.bytes[2] = data2;
  event.bytes[3] = 0;
  return true;
}

bool MMIDIOutputQueue::NoteOn(std::int32_t sampleOffset, int channel, int note, int velocity) noexcept
{
  if (channel < 0 || channel > 15 || note < 0 || note > 127 || velocity < 1 || velocity > 127)
    return false;
  if (!Push(sampleOffset, static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(note),
            static_cast<std::uint8_t>(velocity)))
    return false;
  m_sounding.set(Index(note));
  m_channels[Index(note)] = static_cast<std::uint8_t>(channel);
  return true;
}

void MMIDIOutputQueue::EndNotes(std::int32_t sampleOffset) noexcept
{
  for (int note = 0; note < 128 && m_sounding.any(); ++note)
  {
    // A note whose note-off finds no room stays on: the next call ends it.
    if (m_sounding.test(Index(note)) &&
        Push(sampleOffset, static_cast<std::uint8_t>(0x80 | m_channels[Index(note)]),
             static_cast<std::uint8_t>(note), 0))
      m_sounding.reset(Index(note));
  }
}
