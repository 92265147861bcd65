#pragma once
// The part of every event that does not depend on its parameter record: the handler list, the
// processor it is queued on, and the bookkeeping that keeps targets, events and processors
// consistent when any of them dies. Use MEvent (queued) or MCallback (called at once).
//
// One global lock (GetGlobalLock) guards every handler list, subscription list, queue and
// processor. Handlers run with that lock released, so a handler may post, subscribe,
// unsubscribe, and destroy targets or events, including the one that is calling it.

#include "base/MEventTarget.h"
#include "base/MLock.h"

#include <cstddef>
#include <vector>

class MEventProcessor;

class MEventBase : public MEventTarget
{
public:
  MEventBase(const MEventBase&) = delete;
  MEventBase& operator=(const MEventBase&) = delete;

  /// Withdraws the event from every processor, drops its handlers and removes it from every
  /// subscriber's list. A dispatch of this event that is running on this thread stops after the
  /// current handler. Do not destroy an event while another thread dispatches it.
  ~MEventBase() override;

  /// Removes every handler of `target`; the others keep their order. Any thread; takes the
  /// global lock; allocates nothing.
  void Unsubscribe(MEventTarget* target);

  /// Removes every handler. Any thread; takes the global lock.
  void UnsubscribeAll();

  /// Number of handler entries. Any thread; takes the global lock.
  std::size_t GetHandlerCount() const;

  /// The one lock of all event bookkeeping. Created on first use and never destroyed, so events
  /// of static lifetime may die in any order.
  static MLock& GetGlobalLock();

protected:
  using RawFunction = void (*)();

  MEventBase() = default;

  /// Appends a handler entry and records the event in the target's subscription list.
  /// Takes the global lock; allocates.
  void SubscribeRaw(MEventTarget* target, void* context, RawFunction function);

  /// Calls invoker(state, target, context, function) for each handler in subscription order,
  /// releasing the global lock around each call. Precondition: the calling thread holds the
  /// global lock exactly once; it holds it again on return (also when a handler throws). Handlers
  /// removed meanwhile are skipped, handlers added meanwhile are called, and the loop ends quietly
  /// when a handler destroys the event.
  using Invoker = void (*)(void* state, MEventTarget* target, void* context, RawFunction function);
  void CallHandlersHeld(Invoker invoker, void* state);

  /// Delivers one pending record for a processor; the global lock is held exactly once.
  /// Queued events override it; an event without pending records does nothing.
  virtual void DispatchPendingHeld() {}

  /// Drops the pending records and makes the event idle (no processor). Queued events override
  /// it; the global lock is held.
  virtual void DropPendingHeld() { m_processor = nullptr; }

  /// Removes this event's entries from every processor: all of them, or only the oldest one.
  void WithdrawHeld(bool oldestOnly = false);

  bool HasHandlersHeld() const { return !m_handlers.empty(); }

  /// The processor the event is queued on; null when idle. Guarded by the global lock.
  MEventProcessor* m_processor = nullptr;

private:
  friend class MEventTarget;
  friend class MEventProcessor;

  struct Handler
  {
    MEventTarget* target;
    void* context;
    RawFunction function;
  };

  // A running CallHandlersHeld loop, linked into its event so that removals can move its
  // position and the event's destruction can end it. `event` becomes null when the event dies.
  struct Cursor
  {
    MEventBase* event;
    std::size_t next;
    Cursor* link;
  };

  class CursorScope;

  /// Removes the handlers of `target` without touching the target's list; true if any existed.
  bool EraseHandlersOfHeld(MEventTarget* target);

  /// Every live processor, so that a dying event can withdraw from all of them.
  static std::vector<MEventProcessor*>& GetProcessorsHeld();

  std::vector<Handler> m_handlers;
  Cursor* m_cursors = nullptr;
};
