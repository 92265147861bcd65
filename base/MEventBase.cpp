#include "base/MEventBase.h"

#include "base/MEventProcessor.h"
#include "base/MLockGuard.h"

#include <algorithm>
#include <new>

MLock& MEventBase::GetGlobalLock()
{
  // Never destroyed: targets and events of static lifetime still take it during process exit.
  alignas(MLock) static unsigned char storage[sizeof(MLock)];
  static MLock* lock = new (storage) MLock;
  return *lock;
}

std::vector<MEventProcessor*>& MEventBase::GetProcessorsHeld()
{
  alignas(std::vector<MEventProcessor*>) static unsigned char storage[sizeof(std::vector<MEventProcessor*>)];
  static auto* processors = new (storage) std::vector<MEventProcessor*>;
  return *processors;
}

MEventBase::~MEventBase()
{
  MLockGuard guard(GetGlobalLock());
  WithdrawHeld();
  // End every dispatch loop of this event: their next step sees a dead event and stops.
  for (Cursor* cursor = m_cursors; cursor != nullptr; cursor = cursor->link)
    cursor->event = nullptr;
  m_cursors = nullptr;
  for (const Handler& handler : m_handlers)
  {
    auto& list = handler.target->m_subscriptions;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  m_handlers.clear();
}

void MEventBase::SubscribeRaw(MEventTarget* target, void* context, RawFunction function)
{
  MLockGuard guard(GetGlobalLock());
  auto& list = target->m_subscriptions;
  const bool known = std::find(list.begin(), list.end(), this) != list.end();
  if (!known)
    list.push_back(this);
  try
  {
    m_handlers.push_back(Handler{target, context, function});
  }
  catch (...)
  {
    if (!known)
      list.pop_back();
    throw;
  }
}

void MEventBase::Unsubscribe(MEventTarget* target)
{
  MLockGuard guard(GetGlobalLock());
  if (!EraseHandlersOfHeld(target))
    return;
  auto& list = target->m_subscriptions;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void MEventBase::UnsubscribeAll()
{
  MLockGuard guard(GetGlobalLock());
  while (!m_handlers.empty())
  {
    MEventTarget* target = m_handlers.front().target;
    EraseHandlersOfHeld(target);
    auto& list = target->m_subscriptions;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
}

std::size_t MEventBase::GetHandlerCount() const
{
  MLockGuard guard(GetGlobalLock());
  return m_handlers.size();
}

bool MEventBase::EraseHandlersOfHeld(MEventTarget* target)
{
  bool removed = false;
  std::size_t index = 0;
  while (index < m_handlers.size())
  {
    if (m_handlers[index].target != target)
    {
      ++index;
      continue;
    }
    m_handlers.erase(m_handlers.begin() + std::ptrdiff_t(index));
    removed = true;
    // A running dispatch that already passed this entry must not skip the one that moves
    // into its place.
    for (Cursor* cursor = m_cursors; cursor != nullptr; cursor = cursor->link)
      if (cursor->next > index)
        --cursor->next;
  }
  return removed;
}

namespace
{
// Gives the lock up for the lifetime of the object and takes it back afterwards, also when a
// handler throws.
class MUnlocked
{
public:
  explicit MUnlocked(MLock& lock) : m_lock(lock) { m_lock.Release(); }
  ~MUnlocked() { m_lock.Acquire(); }
  MUnlocked(const MUnlocked&) = delete;
  MUnlocked& operator=(const MUnlocked&) = delete;

private:
  MLock& m_lock;
};
} // namespace

// Links a cursor into its event for the duration of one handler loop. Runs with the global lock
// held on construction and destruction.
class MEventBase::CursorScope
{
public:
  CursorScope(MEventBase* event, Cursor& cursor) : m_cursor(cursor)
  {
    cursor = Cursor{event, 0, event->m_cursors};
    // The event keeps the address of a caller's local only until ~CursorScope unlinks it;
    // g++ 12 cannot see that and warns.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
#endif
    event->m_cursors = &cursor;
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
  }
  ~CursorScope()
  {
    if (m_cursor.event == nullptr)
      return; // the event died and dropped its cursors already
    for (Cursor** link = &m_cursor.event->m_cursors; *link != nullptr; link = &(*link)->link)
    {
      if (*link == &m_cursor)
      {
        *link = m_cursor.link;
        break;
      }
    }
  }
  CursorScope(const CursorScope&) = delete;
  CursorScope& operator=(const CursorScope&) = delete;

private:
  Cursor& m_cursor;
};

void MEventBase::CallHandlersHeld(Invoker invoker, void* state)
{
  Cursor cursor;
  CursorScope scope(this, cursor);
  // Once the event died (cursor.event null) nothing of it may be touched any more.
  while (cursor.event != nullptr && cursor.next < cursor.event->m_handlers.size())
  {
    const Handler handler = cursor.event->m_handlers[cursor.next++];
    MUnlocked unlocked(GetGlobalLock());
    invoker(state, handler.target, handler.context, handler.function);
  }
}

void MEventBase::WithdrawHeld(bool oldestOnly)
{
  if (oldestOnly)
  {
    // The processor the event was last posted to first; an event posted to several processors
    // (unusual) gives up an entry of whichever holds one.
    auto removeOldest = [this](MEventProcessor* processor) {
      auto& pending = processor->m_pending;
      auto it = std::find(pending.begin(), pending.end(), this);
      if (it == pending.end())
        return false;
      pending.erase(it);
      return true;
    };
    if (m_processor != nullptr && removeOldest(m_processor))
      return;
    for (MEventProcessor* processor : GetProcessorsHeld())
      if (removeOldest(processor))
        return;
    return;
  }
  for (MEventProcessor* processor : GetProcessorsHeld())
  {
    auto& pending = processor->m_pending;
    pending.erase(std::remove(pending.begin(), pending.end(), this), pending.end());
  }
}
