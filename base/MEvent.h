#pragma once
// A queued event: Post stores a copy of the parameter record and registers the event with an
// event processor; the thread that drains the processor later delivers the record to every
// handler. Posting is safe from any thread (worker threads post, the GUI thread delivers).

#include "base/MCallback.h"
#include "base/MEventProcessor.h"
#include "base/MException.h"
#include "base/MString.h"

#include <cstddef>
#include <deque>
#include <utility>

template <class Params, class Policy = MHandlerNoAdditionals>
class MEvent : public MCallback<Params, Policy>
{
  using Base = MCallback<Params, Policy>;

public:
  MEvent() = default;

  /// Withdraws the event from its processor and drops the pending records.
  ~MEvent() override
  {
    MLockGuard guard(MEventBase::GetGlobalLock());
    this->WithdrawHeld();
    DropPendingHeld();
  }

  /// Queues a copy of `params` for delivery by `processor` (null: the global processor).
  /// Returns false, queuing nothing, when the event has no handler. Any thread; takes the global
  /// event lock; allocates. Does not wake the draining thread: call the processor's WakeUp.
  bool Post(MEventProcessor* processor, Params params)
  {
    if (processor == nullptr)
      processor = &MEventProcessor::GetGlobal();
    MLockGuard guard(MEventBase::GetGlobalLock());
    if (!this->HasHandlersHeld())
      return false;
    m_queue.push_back(std::move(params));
    try
    {
      processor->m_pending.push_back(this);
    }
    catch (...)
    {
      m_queue.pop_back();
      throw;
    }
    this->m_processor = processor;
    return true;
  }

  /// Delivers the oldest pending record to every handler on the calling thread and withdraws the
  /// processor's entry for it. Throws MException "Index out of range." when nothing is pending.
  void Dispatch()
  {
    MLockGuard guard(MEventBase::GetGlobalLock());
    if (m_queue.empty())
      throw MException(MString("Index out of range."));
    this->WithdrawHeld(true);
    DeliverOldestHeld();
  }

  /// Drops every pending record; the event becomes idle. Any thread.
  void ClearQueue()
  {
    MLockGuard guard(MEventBase::GetGlobalLock());
    this->WithdrawHeld();
    DropPendingHeld();
  }

  /// Number of records waiting for delivery. Any thread.
  std::size_t GetPendingCount() const
  {
    MLockGuard guard(MEventBase::GetGlobalLock());
    return m_queue.size();
  }

protected:
  void DispatchPendingHeld() override
  {
    // An entry can outlive its record when the record was dispatched directly meanwhile.
    if (!m_queue.empty())
      DeliverOldestHeld();
  }

  void DropPendingHeld() override
  {
    m_queue.clear();
    this->m_processor = nullptr;
  }

private:
  void DeliverOldestHeld()
  {
    Params params = std::move(m_queue.front());
    m_queue.pop_front();
    if (m_queue.empty())
      this->m_processor = nullptr;
    this->CallHandlersWithHeld(params);
  }

  // Guarded by the global event lock.
  std::deque<Params> m_queue;
};
