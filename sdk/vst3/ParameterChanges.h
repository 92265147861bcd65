#pragma once
// Host-side parameter changes, filled by a caller before process: one point queue per parameter.
//
// Capacities are fixed at construction, so filling, reading and clearing never allocate: the
// test host fills them on its audio thread, and a plug-in may write its output changes into
// them. A full container refuses further entries (see each call). One thread at a time.

#include "sdk/vst3/FObject.h"
#include "sdk/vst3/VST3Processor.h"

#include <memory>
#include <vector>

namespace Steinberg::Vst
{
/// The points of one parameter, kept ordered by sample offset. Owned by a ParameterChanges,
/// whose reference count it shares.
class ParamValueQueue final : public IParamValueQueue
{
public:
  ParamValueQueue(FUnknown& owner, int32 maxPoints);

  /// Empties the queue and gives it a new parameter ID.
  void Reset(ParamID id);

  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
  uint32 PLUGIN_API addRef() override { return m_owner.addRef(); }
  uint32 PLUGIN_API release() override { return m_owner.release(); }

  ParamID PLUGIN_API getParameterId() override { return m_id; }
  int32 PLUGIN_API getPointCount() override { return m_count; }
  /// kResultOk, or kInvalidArgument for an index out of range.
  tresult PLUGIN_API getPoint(int32 index, int32& sampleOffset, ParamValue& value) override;
  /// Inserts in offset order and answers the point's index; a point at an offset already present
  /// replaces its value. kInvalidArgument for a negative offset, kResultFalse when full (index -1).
  tresult PLUGIN_API addPoint(int32 sampleOffset, ParamValue value, int32& index) override;

private:
  struct Point
  {
    int32 offset;
    ParamValue value;
  };
  FUnknown& m_owner;
  ParamID m_id = 0;
  std::vector<Point> m_points; // sized at construction; m_count are in use
  int32 m_count = 0;
};

class ParameterChanges : public FObject, public IParameterChanges
{
  TONVERA_VST3_FORWARD_FUNKNOWN(FObject)

public:
  /// Room for `maxParameters` queues of `maxPointsPerQueue` points each.
  explicit ParameterChanges(int32 maxParameters = 64, int32 maxPointsPerQueue = 32);

  /// Empties every queue in use (no allocation).
  void Clear() { m_count = 0; }

  int32 PLUGIN_API getParameterCount() override { return m_count; }
  /// The queue at `index`, or null when out of range.
  IParamValueQueue* PLUGIN_API getParameterData(int32 index) override;
  /// The queue of `id` (the existing one, or a new empty one) with its index; null and index -1
  /// when all queues are taken.
  IParamValueQueue* PLUGIN_API addParameterData(const ParamID& id, int32& index) override;

protected:
  void CollectInterfaces(InterfaceTable& table) override;

private:
  std::vector<std::unique_ptr<ParamValueQueue>> m_queues;
  int32 m_count = 0;
};
} // namespace Steinberg::Vst
