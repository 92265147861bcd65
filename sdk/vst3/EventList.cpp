#include "sdk/vst3/EventList.h"

#include <algorithm>

namespace Steinberg::Vst
{
EventList::EventList(int32 maxEvents) : m_events(static_cast<size_t>(std::max(maxEvents, 1))) {}

tresult PLUGIN_API EventList::getEvent(int32 index, Event& e)
{
  if (index < 0 || index >= m_count)
  {
    return kInvalidArgument;
  }
  e = m_events[static_cast<size_t>(index)];
  return kResultOk;
}

tresult PLUGIN_API EventList::addEvent(Event& e)
{
  if (m_count == static_cast<int32>(m_events.size()))
  {
    return kResultFalse;
  }
  m_events[static_cast<size_t>(m_count++)] = e;
  return kResultOk;
}

void EventList::CollectInterfaces(InterfaceTable& table)
{
  FObject::CollectInterfaces(table);
  table.Add(IEventList::iid, static_cast<IEventList*>(this));
}
} // namespace Steinberg::Vst
