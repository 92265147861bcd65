#include "sdk/vst3/ParameterChanges.h"

#include <algorithm>

namespace Steinberg::Vst
{
ParamValueQueue::ParamValueQueue(FUnknown& owner, int32 maxPoints)
    : m_owner(owner), m_points(static_cast<size_t>(std::max(maxPoints, 1)))
{}

void ParamValueQueue::Reset(ParamID id)
{
  m_id = id;
  m_count = 0;
}

tresult PLUGIN_API ParamValueQueue::queryInterface(const TUID iid, void** obj)
{
  if (obj == nullptr)
  {
    return kInvalidArgument;
  }
  if (FUnknown::iid.Matches(iid) || IParamValueQueue::iid.Matches(iid))
  {
    addRef();
    *obj = static_cast<IParamValueQueue*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

tresult PLUGIN_API ParamValueQueue::getPoint(int32 index, int32& sampleOffset, ParamValue& value)
{
  if (index < 0 || index >= m_count)
  {
    return kInvalidArgument;
  }
  sampleOffset = m_points[static_cast<size_t>(index)].offset;
  value = m_points[static_cast<size_t>(index)].value;
  return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::addPoint(int32 sampleOffset, ParamValue value, int32& index)
{
  index = -1;
  if (sampleOffset < 0)
  {
    return kInvalidArgument;
  }
  int32 position = 0;
  while (position < m_count && m_points[static_cast<size_t>(position)].offset < sampleOffset)
  {
    ++position;
  }
  if (position < m_count && m_points[static_cast<size_t>(position)].offset == sampleOffset)
  {
    m_points[static_cast<size_t>(position)].value = value;
    index = position;
    return kResultOk;
  }
  if (m_count == static_cast<int32>(m_points.size()))
  {
    return kResultFalse;
  }
  for (int32 i = m_count; i > position; --i)
  {
    m_points[static_cast<size_t>(i)] = m_points[static_cast<size_t>(i - 1)];
  }
  m_points[static_cast<size_t>(position)] = Point{sampleOffset, value};
  ++m_count;
  index = position;
  return kResultOk;
}

ParameterChanges::ParameterChanges(int32 maxParameters, int32 maxPointsPerQueue)
{
  const int32 count = std::max(maxParameters, 1);
  m_queues.reserve(static_cast<size_t>(count));
  for (int32 i = 0; i < count; ++i)
  {
    m_queues.push_back(
        std::make_unique<ParamValueQueue>(static_cast<IParameterChanges&>(*this), maxPointsPerQueue));
  }
}

IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData(int32 index)
{
  if (index < 0 || index >= m_count)
  {
    return nullptr;
  }
  return m_queues[static_cast<size_t>(index)].get();
}

IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData(const ParamID& id, int32& index)
{
  for (int32 i = 0; i < m_count; ++i)
  {
    if (m_queues[static_cast<size_t>(i)]->getParameterId() == id)
    {
      index = i;
      return m_queues[static_cast<size_t>(i)].get();
    }
  }
  if (m_count == static_cast<int32>(m_queues.size()))
  {
    index = -1;
    return nullptr;
  }
  index = m_count++;
  ParamValueQueue* queue = m_queues[static_cast<size_t>(index)].get();
  queue->Reset(id);
  return queue;
}

void ParameterChanges::CollectInterfaces(InterfaceTable& table)
{
  FObject::CollectInterfaces(table);
  table.Add(IParameterChanges::iid, static_cast<IParameterChanges*>(this));
}
} // namespace Steinberg::Vst
