#include "base/MThread.h"

#include "base/MEventProcessor.h"
#include "base/MException.h"
#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "base/MString.h"

#include <chrono>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#elif defined(__linux__)
#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace
{
constexpr int kSystemPriorities[MThread::kPriorityCount] = {-15, -2, -1, 0, 1, 2, 15};

// Applies `priority` to the calling thread. A refusal is ignored: the thread then keeps the
// priority it inherited. Raising a priority needs rights that an ordinary user does not have
// on most systems, and a GUI thread that cannot start would be worse than one at normal priority.
void ApplyPriorityToCurrentThread(MThread::Priority priority)
{
#ifdef _WIN32
  SetThreadPriority(GetCurrentThread(), MThread::GetSystemPriority(priority));
#elif defined(__linux__)
  // Linux keeps a nice value per thread. The steps are relative to the inherited value, so
  // Normal changes nothing and Idle/Critical reach the ends of the range.
  constexpr int kNiceSteps[MThread::kPriorityCount] = {19, 10, 5, 0, -5, -10, -20};
  const int step = priority >= MThread::Idle && priority <= MThread::Critical ? kNiceSteps[priority] : 0;
  if (step == 0)
    return;
  const id_t tid = id_t(syscall(SYS_gettid));
  errno = 0;
  const int current = getpriority(PRIO_PROCESS, tid);
  if (errno != 0)
    return;
  const int wanted = std::clamp(current + step, -20, 19);
  if (wanted != current)
    setpriority(PRIO_PROCESS, tid, wanted);
#else
  (void)priority;
#endif
}
} // namespace

int MThread::GetSystemPriority(Priority priority)
{
  return priority >= Idle && priority <= Critical ? kSystemPriorities[priority] : 0;
}

MThread::MThread() = default;

MThread::~MThread()
{
  MLockGuard guard(m_startMutex);
  if (!m_thread.joinable())
    return;
  if (m_thread.get_id() == std::this_thread::get_id())
  {
    // An auto-delete thread deleting itself: it ends right after this destructor.
    m_thread.detach();
    return;
  }
  RequestStop();
  Wait(MSynchronizer::kInfinite);
}

void MThread::Start(Priority priority)
{
  MLockGuard guard(m_startMutex);
  {
    MLockGuard stopGuard(m_stopLock);
    m_stopRequested = false;
  }
  if (m_thread.joinable())
    return;
  {
    std::lock_guard<std::mutex> finishLock(m_finishMutex);
    m_finished = false;
  }
  // The new thread first takes the launch mutex, so it cannot end (and an auto-delete thread
  // cannot delete this object) before m_thread holds its handle.
  std::lock_guard<std::mutex> launch(m_launchMutex);
  try
  {
    m_thread = std::thread([this, priority] { Body(priority); });
  }
  catch (const std::system_error&)
  {
    throw MException(MString("Could not create system thread."));
  }
}

void MThread::RequestStop()
{
  // The signal is released before the stop lock: the thread cannot see the flag earlier, so an
  // auto-delete thread cannot end and delete its object while this call still uses it.
  MLockGuard guard(m_stopLock);
  m_stopRequested = true;
  m_wakeUp.Release();
}

bool MThread::IsStopRequested()
{
  MLockGuard guard(m_stopLock);
  return m_stopRequested;
}

bool MThread::Wait(std::uint32_t timeoutMs)
{
  MLockGuard guard(m_startMutex);
  if (!m_thread.joinable())
    return true;
  if (m_thread.get_id() == std::this_thread::get_id())
    return false;
  {
    std::unique_lock<std::mutex> lock(m_finishMutex);
    auto hasFinished = [this] { return m_finished; };
    if (timeoutMs == MSynchronizer::kInfinite)
      m_finishedSignal.wait(lock, hasFinished);
    else if (!m_finishedSignal.wait_for(lock, std::chrono::milliseconds(timeoutMs), hasFinished))
      return false;
  }
  m_thread.join();
  m_exitState.store(kNotStarted, std::memory_order_release);
  MLockGuard stopGuard(m_stopLock);
  m_stopRequested = false;
  return true;
}

void MThread::Body(Priority priority)
{
  {
    std::lock_guard<std::mutex> launch(m_launchMutex);
  }
  ApplyPriorityToCurrentThread(priority);

  // Nothing may escape a thread's entry point: an exception ends the thread as if Run had
  // returned 0, and one that is not an MException reaches the diagnostic log.
  std::int32_t exitState = 0;
  if (!IsStopRequested())
    exitState = MHostCallShield::Run("MThread::Run", std::int32_t{0}, [this] { return Run(); });
  m_exitState.store(exitState, std::memory_order_release);
  MHostCallShield::Run("MThread::OnFinished", [this] { OnFinished(); });

  // Read before posting: a handler on another thread may delete this object once the
  // notification is out (non-auto-delete objects wait for SignalFinished in their destructor,
  // so the members used below stay valid).
  const bool autoDelete = m_autoDelete.load(std::memory_order_relaxed);
  if (MEventProcessor* target = m_notificationTarget.load())
  {
    MHostCallShield::Run("MThread::NotifyEnded", [this, target] {
      m_threadEnded.Post(target, MOnThreadNotifyParams{this});
      target->WakeUp();
    });
  }
  // A stop requested before Run began still ends here, so an auto-delete object is deleted in
  // every case.
  if (autoDelete)
  {
    delete this;
    return;
  }
  SignalFinished();
}

void MThread::SignalFinished()
{
  // Notify while holding the mutex: the waiter then joins this thread, so the object outlives
  // everything done here.
  std::lock_guard<std::mutex> lock(m_finishMutex);
  m_finished = true;
  m_finishedSignal.notify_all();
}
