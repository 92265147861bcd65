#include "sdk/vst3/Bus.h"

#include "sdk/vst3/VST3String.h"

namespace Steinberg::Vst
{
Bus::Bus(std::u16string_view name, BusType busType, int32 flags)
    : m_busType(busType), m_flags(flags), m_active((flags & BusInfo::kDefaultActive) != 0)
{
  SetName(name);
}

void Bus::SetName(std::u16string_view name)
{
  CopyString16(m_name, name);
}

void Bus::GetInfo(BusInfo& info) const
{
  CopyString16(info.name, std::u16string_view(m_name, static_cast<size_t>(StringLength16(m_name, 128))));
  info.busType = m_busType;
  info.flags = static_cast<uint32>(m_flags);
  info.channelCount = GetChannelCount();
}

AudioBus::AudioBus(std::u16string_view name, BusType busType, int32 flags, SpeakerArrangement arrangement)
    : Bus(name, busType, flags), m_arrangement(arrangement)
{}

EventBus::EventBus(std::u16string_view name, BusType busType, int32 flags, int32 channelCount)
    : Bus(name, busType, flags), m_channelCount(channelCount)
{}

Bus* BusList::At(int32 index) const
{
  if (index < 0 || index >= Count())
  {
    return nullptr;
  }
  return m_buses[static_cast<size_t>(index)].get();
}

Bus* BusList::Add(std::unique_ptr<Bus> bus)
{
  m_buses.push_back(std::move(bus));
  return m_buses.back().get();
}

bool BusList::GetInfo(int32 index, BusInfo& info) const
{
  const Bus* bus = At(index);
  if (bus == nullptr)
  {
    return false;
  }
  info.mediaType = m_type;
  info.direction = m_direction;
  bus->GetInfo(info);
  return true;
}
} // namespace Steinberg::Vst
