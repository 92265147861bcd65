// Host-side parameter changes and event lists: ordering, the last point, bounds and capacity,
// and that filling them on the audio thread allocates nothing.

#include "sdk/vst3/EventList.h"
#include "sdk/vst3/ParameterChanges.h"
#include "tests/support/MAllocationCounter.h"

#include <gtest/gtest.h>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
/// Offset and value of the last point: the value a plug-in applies for the whole block.
std::pair<int32, ParamValue> LastPoint(IParamValueQueue* queue)
{
  int32 offset = -1;
  ParamValue value = -1.0;
  EXPECT_EQ(queue->getPoint(queue->getPointCount() - 1, offset, value), kResultOk);
  return {offset, value};
}

template <typename T>
struct Owned
{
  T* object;
  ~Owned() { EXPECT_EQ(object->release(), 0u); }
  T* operator->() const { return object; }
};
} // namespace

TEST(ParameterChangesTest, PointsAreOrderedBySampleOffsetWhateverTheOrderAdded)
{
  Owned<ParameterChanges> changes{new ParameterChanges(4, 8)};
  int32 index = -1;
  IParamValueQueue* queue = changes->addParameterData(7, index);
  ASSERT_NE(queue, nullptr);
  int32 pointIndex = -1;
  ASSERT_EQ(queue->addPoint(63, 0.9, pointIndex), kResultOk);
  ASSERT_EQ(queue->addPoint(0, 0.1, pointIndex), kResultOk);
  ASSERT_EQ(queue->addPoint(31, 0.5, pointIndex), kResultOk);
  EXPECT_EQ(pointIndex, 1);
  EXPECT_EQ(queue->getPointCount(), 3);
  EXPECT_EQ(LastPoint(queue), std::make_pair(63, 0.9));

  // A second point at an existing offset replaces that point's value.
  ASSERT_EQ(queue->addPoint(63, 0.25, pointIndex), kResultOk);
  EXPECT_EQ(pointIndex, 2);
  EXPECT_EQ(queue->getPointCount(), 3);
  EXPECT_EQ(LastPoint(queue), std::make_pair(63, 0.25));
}

TEST(ParameterChangesTest, OneQueuePerParameterAndBoundsAndCapacityAreEnforced)
{
  Owned<ParameterChanges> changes{new ParameterChanges(2, 2)};
  int32 first = -1, again = -1, index = -1;
  IParamValueQueue* queue = changes->addParameterData(1, first);
  changes->addParameterData(32767, index);
  EXPECT_EQ(changes->addParameterData(1, again), queue) << "one queue per parameter";
  EXPECT_EQ(again, first);
  EXPECT_EQ(changes->getParameterCount(), 2);
  EXPECT_EQ(changes->getParameterData(index)->getParameterId(), 32767u);
  EXPECT_EQ(changes->addParameterData(3, index), nullptr) << "all queues taken";
  EXPECT_EQ(index, -1);
  EXPECT_EQ(changes->getParameterData(-1), nullptr);
  EXPECT_EQ(changes->getParameterData(2), nullptr);

  int32 pointIndex = 0;
  EXPECT_EQ(queue->addPoint(-1, 0.5, pointIndex), kInvalidArgument);
  ASSERT_EQ(queue->addPoint(0, 0.5, pointIndex), kResultOk);
  ASSERT_EQ(queue->addPoint(5, 0.6, pointIndex), kResultOk);
  EXPECT_EQ(queue->addPoint(9, 0.7, pointIndex), kResultFalse) << "queue full";
  EXPECT_EQ(pointIndex, -1);
  int32 offset = 0;
  ParamValue value = 0.0;
  EXPECT_EQ(queue->getPoint(2, offset, value), kInvalidArgument);
  EXPECT_EQ(queue->getPoint(-1, offset, value), kInvalidArgument);

  changes->Clear();
  EXPECT_EQ(changes->getParameterCount(), 0);
  IParamValueQueue* reused = changes->addParameterData(9, index);
  EXPECT_EQ(reused->getPointCount(), 0) << "a cleared queue starts empty";
  EXPECT_EQ(reused->getParameterId(), 9u);
}

TEST(ParameterChangesTest, QueuesShareTheContainersReferenceCount)
{
  auto* changes = new ParameterChanges(1, 1);
  int32 index = 0;
  IParamValueQueue* queue = changes->addParameterData(1, index);
  queue->addRef();
  EXPECT_EQ(static_cast<IParameterChanges*>(changes)->release(), 1u) << "the queue's reference keeps it";
  void* answer = nullptr;
  EXPECT_EQ(queue->queryInterface(IParameterChanges::iid.data, &answer), kNoInterface);
  EXPECT_EQ(queue->release(), 0u);
}

TEST(ParameterChangesTest, FillingAndClearingAllocateNothing)
{
  Owned<ParameterChanges> changes{new ParameterChanges(8, 16)};
  Owned<EventList> events{new EventList(64)};
  MAllocationCounter::Scope scope;
  for (int block = 0; block < 3; ++block)
  {
    changes->Clear();
    events->Clear();
    for (ParamID id = 0; id < 8; ++id)
    {
      int32 index = 0;
      IParamValueQueue* queue = changes->addParameterData(id, index);
      for (int32 offset = 15; offset >= 0; --offset)
      {
        queue->addPoint(offset, 0.5, index);
      }
    }
    Event e{};
    for (int i = 0; i < 64; ++i)
    {
      events->addEvent(e);
    }
  }
  EXPECT_EQ(scope.Count(), 0u);
}

TEST(EventListTest, KeepsEventsInOrderWithinItsCapacity)
{
  Owned<EventList> events{new EventList(2)};
  Event e{};
  e.type = Event::kNoteOnEvent;
  e.noteOn.pitch = 60;
  ASSERT_EQ(events->addEvent(e), kResultOk);
  e.type = Event::kNoteOffEvent;
  e.noteOff.pitch = 61;
  ASSERT_EQ(events->addEvent(e), kResultOk);
  EXPECT_EQ(events->addEvent(e), kResultFalse) << "list full";
  EXPECT_EQ(events->getEventCount(), 2);

  Event out{};
  ASSERT_EQ(events->getEvent(0, out), kResultOk);
  EXPECT_EQ(out.type, Event::kNoteOnEvent);
  EXPECT_EQ(out.noteOn.pitch, 60);
  ASSERT_EQ(events->getEvent(1, out), kResultOk);
  EXPECT_EQ(out.noteOff.pitch, 61);
  EXPECT_EQ(events->getEvent(2, out), kInvalidArgument);
  EXPECT_EQ(events->getEvent(-1, out), kInvalidArgument);
  events->Clear();
  EXPECT_EQ(events->getEventCount(), 0);
}
