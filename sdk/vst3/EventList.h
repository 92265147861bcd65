#pragma once
// Host-side event list, filled by a caller before process (or by a plug-in with its output).
//
// The capacity is fixed at construction, so adding, reading and clearing never allocate.
// One thread at a time.

#include "sdk/vst3/FObject.h"
#include "sdk/vst3/VST3Processor.h"

#include <vector>

namespace Steinberg::Vst
{
class EventList : public FObject, public IEventList
{
  TONVERA_VST3_FORWARD_FUNKNOWN(FObject)

public:
  explicit EventList(int32 maxEvents = 512);

  void Clear() { m_count = 0; }

  int32 PLUGIN_API getEventCount() override { return m_count; }
  /// kResultOk, or kInvalidArgument for an index out of range.
  tresult PLUGIN_API getEvent(int32 index, Event& e) override;
  /// Appends a copy; kResultFalse when the list is full.
  tresult PLUGIN_API addEvent(Event& e) override;

protected:
  void CollectInterfaces(InterfaceTable& table) override;

private:
  std::vector<Event> m_events; // sized at construction; m_count are in use
  int32 m_count = 0;
};
} // namespace Steinberg::Vst
