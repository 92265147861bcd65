#pragma once
// A thread of the system. Derive, implement Run, and Start it; Run loops until IsStopRequested,
// sleeping on the wake-up signal between rounds:
//
//   std::int32_t Run() override
//   {
//     while (!IsStopRequested())
//     {
//       DoOneRound();
//       WaitForWakeUp(50);
//     }
//     return 0;
//   }
//
// Lifecycle: not started (exit state kNotStarted) -> running (Start) -> stop requested
// (RequestStop) -> finished (exit state = Run's result) -> not started again after Wait.
// Start, RequestStop and Wait may be called from any thread and repeated.
//
// A derived class whose Run uses its own members must call RequestStop and Wait in its own
// destructor: ~MThread runs after the derived parts are gone and would wait too late.

#include "base/MCallback.h"
#include "base/MEvent.h"
#include "base/MEventParams.h"
#include "base/MLock.h"
#include "base/MMutex.h"
#include "base/MObject.h"
#include "base/MSemaphore.h"
#include "base/MSynchronizer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class MEventProcessor;

class MThread : public MObject
{
public:
  enum Priority
  {
    Idle,
    Lowest,
    Low,
    Normal,
    High,
    Highest,
    Critical
  };
  static constexpr int kPriorityCount = 7;
  /// Names of the priorities, in enumeration order (used to store a priority as text).
  static constexpr const char* kPriorityNames[kPriorityCount] = {"Idle", "Lowest",  "Low",     "Normal",
                                                                 "High", "Highest", "Critical"};
  /// Exit state of a thread that is not started or was waited for.
  static constexpr std::int32_t kNotStarted = -2;

  using ThreadEndedEvent = MEvent<MOnThreadNotifyParams, MHandlerNoAdditionals>;

  MThread();
  MThread(const MThread&) = delete;
  MThread& operator=(const MThread&) = delete;

  /// Requests stop and waits without limit if the thread still runs (see the class comment).
  /// An auto-delete thread that deletes itself does not wait for itself.
  ~MThread() override;

  /// Clears a pending stop request and, unless the thread already runs, creates and runs it at
  /// `priority`. A priority that the operating system refuses (raising one usually needs rights
  /// that ordinary users lack) leaves the thread at the default priority. Any thread; allocates.
  /// Throws MException "Could not create system thread." when no thread can be created.
  void Start(Priority priority = Normal);

  /// Asks Run to end: sets the stop flag and releases the wake-up signal once. Any thread; never
  /// blocks for long; allocates nothing.
  void RequestStop();

  /// Whether a stop was requested since the last Start. Any thread.
  bool IsStopRequested();

  /// Waits up to timeoutMs milliseconds (MSynchronizer::kInfinite: no limit) for the thread to
  /// end. True when it ended (or never ran): the thread is then joined, the exit state is
  /// kNotStarted again and the stop request is cleared. False on timeout: the thread keeps
  /// running and stays joinable for a later Wait or the destructor. Not from the thread itself.
  bool Wait(std::uint32_t timeoutMs = MSynchronizer::kInfinite);

  /// Exit state: kNotStarted, or Run's result once it ended and until Wait.
  std::int32_t GetExitState() const { return m_exitState.load(std::memory_order_acquire); }

  /// With auto-delete set, the thread deletes its object after it ended (allocate it with new,
  /// and never Wait for it or touch it after Start). Set before Start.
  void SetAutoDelete(bool autoDelete) { m_autoDelete.store(autoDelete, std::memory_order_relaxed); }

  /// When set, the ended thread posts ThreadEnded (params: this thread) to `processor` and calls
  /// its WakeUp. Null switches the notification off.
  void SetNotificationTarget(MEventProcessor* processor) { m_notificationTarget.store(processor); }

  /// The event posted when the thread ends (see SetNotificationTarget). Subscribe to it.
  ThreadEndedEvent& GetThreadEndedEvent() { return m_threadEnded; }

  /// Releases the wake-up signal once without requesting stop, so Run does a round at once.
  void WakeUp() { m_wakeUp.Release(); }

  /// Priority of the table used on Windows for `priority`: -15, -2, -1, 0, 1, 2, 15 (0 for a
  /// value outside the enumeration).
  static int GetSystemPriority(Priority priority);

protected:
  /// The thread body; its result becomes the exit state. An exception that escapes ends the
  /// thread with exit state 0, as if Run had returned.
  virtual std::int32_t Run() = 0;

  /// Called on the thread after Run returned. Default: nothing.
  virtual void OnFinished() {}

  /// Sleeps until the wake-up signal is released (RequestStop, WakeUp) or timeoutMs passed.
  /// True when woken. Called by Run.
  bool WaitForWakeUp(std::uint32_t timeoutMs) { return m_wakeUp.Acquire(timeoutMs) == 0; }

private:
  void Body(Priority priority);
  void SignalFinished();

  std::thread m_thread; // guarded by m_startMutex
  std::atomic<std::int32_t> m_exitState{kNotStarted};
  std::atomic<bool> m_autoDelete{false};
  bool m_stopRequested = false; // guarded by m_stopLock
  MLock m_stopLock;
  MSemaphore m_wakeUp;
  MMutex m_startMutex;
  std::atomic<MEventProcessor*> m_notificationTarget{nullptr};
  ThreadEndedEvent m_threadEnded;

  // Lets Wait wait with a timeout (a join cannot) and holds a new thread back until Start has
  // stored its handle.
  std::mutex m_finishMutex;
  std::condition_variable m_finishedSignal;
  bool m_finished = false; // guarded by m_finishMutex
  std::mutex m_launchMutex;
};
