#include "gui/MControlInvalidator.h"

#include "base/MLockGuard.h"
#include "gui/MWindow.h"
#include "gui/MWindowSystemCommon.h"

#include <algorithm>
#include <memory>
#include <mutex>

MControlInvalidator::MControlInvalidator(MWindow& owner) : m_owner(owner)
{
  m_repaint.Subscribe<&MControlInvalidator::OnRepaint>(this);
}

MControlInvalidator::~MControlInvalidator()
{
  Unregister();
}

void MControlInvalidator::Add(const MRect& rect)
{
  if (rect.IsEmpty())
    return;
  MLockGuard guard(m_lock);
  m_dirty = m_dirty.Union(rect);
}

MRect MControlInvalidator::Take()
{
  MLockGuard guard(m_lock);
  const MRect dirty = m_dirty;
  m_dirty = MRect{};
  return dirty;
}

MRect MControlInvalidator::Peek() const
{
  MLockGuard guard(m_lock);
  return m_dirty;
}

// --- global list ---------------------------------------------------------------------------------

MLock& MControlInvalidator::GetListLock()
{
  // Never destroyed: invalidators of windows with static lifetime may outlive it otherwise.
  static MLock* lock = new MLock;
  return *lock;
}

std::vector<MControlInvalidator*>& MControlInvalidator::GetListHeld()
{
  static auto* list = new std::vector<MControlInvalidator*>;
  return *list;
}

void MControlInvalidator::Register()
{
  MLockGuard guard(GetListLock());
  if (m_registered)
    return;
  GetListHeld().push_back(this);
  m_registered = true;
}

void MControlInvalidator::Unregister()
{
  {
    MLockGuard guard(GetListLock());
    if (!m_registered)
      return;
    auto& list = GetListHeld();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    m_registered = false;
  }
  // Withdrawn after leaving the list: the thread cannot post it again.
  m_repaint.ClearQueue();
}

bool MControlInvalidator::IsRegistered() const
{
  MLockGuard guard(GetListLock());
  return m_registered;
}

int MControlInvalidator::PostDirtyRepaints()
{
  int posted = 0;
  MLockGuard guard(GetListLock());
  for (MControlInvalidator* invalidator : GetListHeld())
  {
    if (!invalidator->IsDirty() || invalidator->m_repaint.GetPendingCount() != 0)
      continue;
    if (invalidator->m_repaint.Post(nullptr, RepaintParams{invalidator}))
    {
      ++posted;
      // The owner is open while its invalidator is listed (it leaves the list before closing).
      if (MWindowSystemCommon* system = invalidator->m_owner.GetWindowSystem())
        system->SetEventsPending();
    }
  }
  return posted;
}

void MControlInvalidator::OnRepaint(RepaintParams&)
{
  Repaint();
}

void MControlInvalidator::Repaint()
{
  const MRect dirty = Take();
  if (dirty.IsEmpty())
    return;
  MWindowSystemCommon* system = m_owner.GetWindowSystem();
  MWindowDescriptor* descriptor = m_owner.GetDescriptor();
  if (system == nullptr || descriptor == nullptr || !m_owner.IsVisible() || system->IsMinimized(*descriptor))
    return;
  const MRect clipped = dirty.Intersect(m_owner.GetRect());
  if (!clipped.IsEmpty())
    system->InvalidateRect(*descriptor, clipped);
}

// --- the thread ---------------------------------------------------------------------------------------

namespace
{

std::mutex& ThreadMutex()
{
  static auto* mutex = new std::mutex;
  return *mutex;
}

// Guarded by ThreadMutex.
int g_threadUsers = 0;
MControlInvalidatorThread* g_thread = nullptr;

} // namespace

MControlInvalidatorThread::~MControlInvalidatorThread()
{
  RequestStop();
  Wait();
}

void MControlInvalidatorThread::Acquire()
{
  std::lock_guard lock(ThreadMutex());
  if (g_threadUsers++ == 0)
  {
    g_thread = new MControlInvalidatorThread;
    try
    {
      g_thread->Start(MThread::Idle);
    }
    catch (...)
    {
      delete g_thread;
      g_thread = nullptr;
      --g_threadUsers;
      throw;
    }
  }
}

void MControlInvalidatorThread::Release()
{
  std::unique_ptr<MControlInvalidatorThread> stopping;
  {
    std::lock_guard lock(ThreadMutex());
    if (g_threadUsers == 0 || --g_threadUsers != 0)
      return;
    stopping.reset(g_thread);
    g_thread = nullptr;
  }
  // Joined outside the mutex: its round takes the list lock, never this mutex.
  stopping.reset();
}

void MControlInvalidatorThread::Poke()
{
  std::lock_guard lock(ThreadMutex());
  if (g_thread != nullptr)
    g_thread->WakeUp();
}

std::int32_t MControlInvalidatorThread::Run()
{
  while (!IsStopRequested())
  {
    MControlInvalidator::PostDirtyRepaints();
    WaitForWakeUp(kPeriodMs);
  }
  return 0;
}
