#pragma once
// Anything that can subscribe to events. A target remembers the events it is subscribed to, so
// that its destruction removes its handlers from all of them: an event never calls a dead target.

#include "base/MObject.h"

#include <cstddef>
#include <vector>

class MEventBase;

class MEventTarget : public MObject
{
public:
  MEventTarget() = default;
  /// A copy starts without subscriptions: handlers belong to the object that subscribed.
  MEventTarget(const MEventTarget&) : MObject() {}
  /// Assignment keeps this target's own subscriptions.
  MEventTarget& operator=(const MEventTarget&) { return *this; }

  /// Unsubscribes from every event. Takes the global event lock. A target whose handlers may run
  /// on another thread (the one draining the event processor) must be destroyed on that thread or
  /// unsubscribe before its derived parts go: the handler may be running while this runs.
  ~MEventTarget() override;

  /// Number of events this target has handlers in. Takes the global event lock.
  std::size_t GetSubscriptionCount() const;

private:
  friend class MEventBase;
  // Guarded by the global event lock.
  std::vector<MEventBase*> m_subscriptions;
};
