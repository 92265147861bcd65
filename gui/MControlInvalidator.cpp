#include "gui/MControlInvalidator.h"

#include "base/MLockGuard.h"
#include "gui/MWindow.h"
#include "gui/MWindowSystemCommon.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

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
  bool turnedDirty = false;
  {
    MLockGuard guard(m_lock);
    turnedDirty = m_dirty.IsEmpty();
    m_dirty = m_dirty.Union(rect);
  }
  if (turnedDirty && !PaintedByThisIdleTick())
    MControlInvalidatorThread::NoteDirty();
}

bool MControlInvalidator::PaintedByThisIdleTick() const
{
  // The window system is the GUI thread's to read; on any other thread the answer is no.
  if (std::this_thread::get_id() != m_guiThread.load(std::memory_order_relaxed))
    return false;
  const MWindowSystemCommon* system = m_owner.GetWindowSystem();
  return system != nullptr && system->IsInIdleTick();
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
  m_guiThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
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
    m_guiThread.store(std::thread::id(), std::memory_order_relaxed);
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
    system->InvalidateRect(*descriptor, m_owner.ToDevice(clipped));
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

// Invalidators that turned dirty so far, and whether the thread sleeps until the next one. Both
// sequentially consistent: the thread sets the flag and then reads the count, Add raises the count
// and then reads the flag, so at least one of them sees the other's write and no invalidation is
// left to a thread that has gone to sleep.
std::atomic<std::uint64_t> g_dirtied{0};
std::atomic<bool> g_sleeping{false};

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

void MControlInvalidatorThread::NoteDirty()
{
  g_dirtied.fetch_add(1);
  if (!g_sleeping.load())
    return;
  // Never waiting for the thread's start or stop: Add runs on any thread. A wake skipped here
  // leaves the invalidation to the GUI thread's own pump and idle, which paint it regardless.
  std::unique_lock lock(ThreadMutex(), std::try_to_lock);
  if (lock.owns_lock() && g_thread != nullptr)
    g_thread->WakeUp();
}

bool MControlInvalidatorThread::IsSleeping()
{
  return g_sleeping.load();
}

std::int32_t MControlInvalidatorThread::Run()
{
  std::uint64_t seen = g_dirtied.load();
  std::uint32_t quiet = 0;
  while (!IsStopRequested())
  {
    MControlInvalidator::PostDirtyRepaints();
    const std::uint64_t dirtied = g_dirtied.load();
    quiet = dirtied == seen ? quiet + 1 : 0;
    seen = dirtied;
    if (quiet < kQuietRounds)
    {
      WaitForWakeUp(kPeriodMs);
      continue;
    }
    g_sleeping.store(true);
    if (g_dirtied.load() == seen)
      WaitForWakeUp(MSynchronizer::kInfinite);
    g_sleeping.store(false);
    quiet = 0;
  }
  return 0;
}
