#include "framework/MMIDIControllers.h"

#include <algorithm>
#include <cmath>

namespace MMIDIControllers
{
namespace
{
const char* const kRangeModes[] = {"Up and down", "Full range", "Up only", "Down only", "Interval"};
const char* const kNoteModes[] = {"Linear",
                                  "Logarithmic",
                                  "On/Off",
                                  "On/Off (all octaves)",
                                  "Switch",
                                  "Switch (all octaves)",
                                  "Held notes (all octaves)"};
} // namespace

const char* RangeModeName(std::int32_t mode) noexcept
{
  return mode >= 0 && mode < 5 ? kRangeModes[mode] : "";
}

const char* NoteControllerModeName(std::int32_t mode) noexcept
{
  return mode >= 0 && mode <= kNoteHeldAllOctaves ? kNoteModes[mode] : "";
}

double MapController(const MControllerAssignment& assignment, double x) noexcept
{
  const double value = assignment.value;
  const double range = assignment.range;
  const double s = assignment.invert ? -x : x;
  const double t = (s + 1.0) * 0.5;
  switch (assignment.rangeMode)
  {
  case kRangeUpAndDown:
    return value + s * std::min({range * 0.5, value, 1.0 - value});
  case kRangeFull:
  {
    const double half = range * 0.5;
    const double centre = value > 1.0 - half ? std::max(half, 1.0 - half) : std::max(half, value);
    return centre + s * half;
  }
  case kRangeUpOnly:
    return value + t * std::min(range, 1.0 - value);
  case kRangeDownOnly:
    return value - t * std::min(range, value);
  case kRangeInterval:
    return value + (assignment.maxValue - value) * t;
  default:
    return value;
  }
}

bool Matches(const MControllerAssignment& assignment, std::int32_t channel, std::int32_t controller) noexcept
{
  return assignment.enabled && (assignment.channel == 0 || assignment.channel == channel + 1) &&
         assignment.controller == controller;
}

double NoteFrequencyValue(const MNoteControllerAssignment& controller, std::int32_t note,
                          double bend) noexcept
{
  // The reference is the frequency of note 60 (440 Hz * 2^0.25).
  const double frequency = 523.2511306011972 * std::pow(2.0, (note + bend - 60.0) / 12.0);
  double t = 0.0;
  if (controller.mode == kNoteLinear)
    t = (frequency - 20.0) / 19980.0;
  else
    t = (std::log10(frequency) - 1.3010299956639813) / 3.0;
  return controller.value + (controller.maxValue - controller.value) * t;
}

bool NoteMatches(const MNoteControllerAssignment& controller, std::int32_t note) noexcept
{
  if (controller.mode == kNoteOnOffAllOctaves || controller.mode == kNoteSwitchAllOctaves ||
      controller.mode == kNoteHeldAllOctaves)
    return note % 12 == ((controller.note % 12) + 12) % 12;
  return note == controller.note;
}

std::int32_t PresetSwitch::Step(double value) noexcept
{
  constexpr double kLow = 1.0 / 3.0;
  constexpr double kHigh = 2.0 / 3.0;
  std::int32_t step = 0;
  if (last >= kLow && value < kLow)
    step = -1;
  else if (last < kHigh && value >= kHigh)
    step = 1;
  last = value;
  return step;
}

void LearnQueue::Post(LearnRecord record) noexcept
{
  const std::uint32_t head = m_head.load(std::memory_order_relaxed);
  if (head - m_tail.load(std::memory_order_acquire) >= kCapacity)
    return;
  m_records[head % kCapacity] = record;
  m_head.store(head + 1, std::memory_order_release);
}

bool LearnQueue::Pop(LearnRecord& record) noexcept
{
  const std::uint32_t tail = m_tail.load(std::memory_order_relaxed);
  if (tail == m_head.load(std::memory_order_acquire))
    return false;
  record = m_records[tail % kCapacity];
  m_tail.store(tail + 1, std::memory_order_release);
  return true;
}
} // namespace MMIDIControllers
