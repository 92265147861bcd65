#pragma once
// Queue of events with pending records, in posting order. Each Post registers its event once, so
// Process delivers every posted record exactly once, in posting order across all events, on the
// thread that calls Process. One global processor exists (GetGlobal); the GUI thread drains it.

#include "base/MObject.h"

#include <atomic>
#include <cstddef>
#include <deque>

class MEventBase;

class MEventProcessor : public MObject
{
public:
  MEventProcessor();
  MEventProcessor(const MEventProcessor&) = delete;
  MEventProcessor& operator=(const MEventProcessor&) = delete;

  /// Drops the records of every event still pending here. Destroy a processor only when no
  /// thread is inside its Process.
  ~MEventProcessor() override;

  /// Delivers pending records, oldest first, until none is pending; records posted by the
  /// handlers meanwhile are delivered too. Runs the handlers on the calling thread with the global
  /// event lock released. An exception from a handler propagates; the records not yet delivered
  /// stay pending.
  void Process();

  /// Number of posted records not yet delivered. Any thread; takes the global event lock.
  std::size_t GetPendingCount() const;

  /// Asks the thread that drains this processor to run Process soon. Any thread; must not block.
  /// The base version calls the wake-up handler when one is set.
  virtual void WakeUp();

  /// The function WakeUp calls (nullptr: none): the window system sets one on the global
  /// processor, so that its GUI thread hears of records posted there without looking for them
  /// on a timer. The function must not block. Any thread.
  using WakeUpHandler = void (*)();
  void SetWakeUpHandler(WakeUpHandler handler) { m_wakeUpHandler.store(handler, std::memory_order_release); }

  /// The process-wide processor, created on first use and never destroyed.
  static MEventProcessor& GetGlobal();

private:
  friend class MEventBase;
  template <class, class>
  friend class MEvent;

  // Guarded by the global event lock: one entry per posted, undelivered record.
  std::deque<MEventBase*> m_pending;
  std::atomic<WakeUpHandler> m_wakeUpHandler{nullptr};
};
