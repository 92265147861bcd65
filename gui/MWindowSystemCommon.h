#pragma once
// MWindowSystemCommon: the platform-neutral half of every window-system back end.
//
// A back end (headless, X11, Win32) derives from it and implements the native operations of
// MWindowSystem. This class keeps what they all share:
//  - the list of open windows and the GUI thread's id;
//  - the suppress-input-until tick: hiding a window swallows the user's input (clicks, wheel,
//    keys, close and drop requests) for the next 100 ms, so that a click that closed a popup does
//    not land in the window below; moves and state notifications (leave, capture lost, focus,
//    size, timer) still arrive;
//  - the events-pending flag, set by the invalidator thread and any poster, which the
//    force-execute-events thread (priority Low) turns into WakeGuiThread. The thread only helps:
//    it sleeps without a timeout while no window is open (a module whose editor is closed wakes
//    nothing); while one is, SetEventsPending wakes it at once, and it looks every 100 ms for
//    records others posted to the global event processor without marking them. It wakes the GUI
//    thread only when our own work is pending. The GUI thread never waits for it:
//    RepaintInvalidated paints what was invalidated from the back ends' own pumps and idle calls,
//    and their Idle drains the event processor;
//  - the handler nesting count and the draining of the global event processor once no handler
//    runs;
//  - modal bookkeeping: EndModal stores the result, a second EndModal for the same loop throws;
//  - the default style used by windows without their own.
//
// Lifecycle: a back end calls InitializeCommon from its Initialize (GUI thread) and
// ShutdownCommon first thing in its destructor: the threads call the back end's WakeGuiThread,
// so they must stop before the back end's parts go.
//
// Clock: GetTickMs (milliseconds, steady) is virtual so that the headless back end can inject one.

#include "base/MThread.h"
#include "gui/MWindowSystem.h"

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

class MStyle;
class MWindowSystemCommon;

/// Wakes the GUI thread of its window system when our events are pending and a window is open
/// (priority Low): at once for SetEventsPending and for the WakeUp of the global event processor
/// (the system sets its handler), and again every kPeriodMs while the work stays untaken; asleep
/// while nothing is pending or no window is open, so an idle editor costs it no wake-up.
class MForceExecuteEventsThread : public MThread
{
public:
  /// How long woken work may stay untaken before the GUI thread is woken again.
  static constexpr std::uint32_t kPeriodMs = 100;

  explicit MForceExecuteEventsThread(MWindowSystemCommon& system) : m_system(system) {}
  ~MForceExecuteEventsThread() override;

protected:
  std::int32_t Run() override;

private:
  MWindowSystemCommon& m_system;
};

class MWindowSystemCommon : public MWindowSystem
{
public:
  /// How long input stays suppressed after a window was hidden.
  static constexpr std::uint32_t kSuppressInputMs = 100;

  MWindowSystemCommon();
  /// Stops the threads if the back end has not (it must: see the file comment).
  ~MWindowSystemCommon() override;

  // --- lifecycle -----------------------------------------------------------------------------
  bool IsInitialized() const { return m_initialized.load(std::memory_order_acquire); }
  /// Whether the calling thread is the GUI thread (the one that initialised). Any thread.
  bool IsGuiThread() const;

  // --- windows --------------------------------------------------------------------------------
  /// Open windows in opening order. GUI thread.
  const std::vector<MWindow*>& GetWindows() const { return m_windows; }
  /// The open window whose descriptor of this system has `handle`; null when none. GUI thread.
  MWindow* FindWindow(MNativeHandle handle) const;
  /// The desktop's content scale for native window `window` (0: the desktop as a whole): device
  /// pixels per 96-dpi pixel as the user set it up. GUI thread. Base: 1.
  virtual double GetContentScale(MNativeHandle window) const
  {
    (void)window;
    return 1.0;
  }

  // --- input suppression -----------------------------------------------------------------------
  /// Milliseconds of a steady clock. Any thread.
  virtual std::uint64_t GetTickMs() const;
  /// Swallows the user's input until now + `ms` (see the file comment). Hide calls it with 100.
  /// Any thread.
  void SuppressInput(std::uint32_t ms = kSuppressInputMs);
  /// Whether `event` must be swallowed now; clears the tick once it passed. GUI thread.
  bool ShouldSwallowInput(const MSystemEvent& event);

  // --- events ---------------------------------------------------------------------------------
  /// Marks events as pending and tells the force thread, which wakes the GUI thread while a
  /// window is open. Any thread; never blocks, allocates nothing.
  void SetEventsPending()
  {
    m_eventsPending.store(true, std::memory_order_release);
    m_forceThread.WakeUp();
  }
  /// Answers the flag and clears it. Any thread.
  bool TakeEventsPending() { return m_eventsPending.exchange(false, std::memory_order_acq_rel); }
  /// Whether a window of this system is open. Any thread.
  bool HasOpenWindows() const { return m_openWindows.load(std::memory_order_acquire) > 0; }
  /// How often the force thread woke the GUI thread since Initialize (benchmarks and tests).
  /// Any thread.
  std::uint64_t GetForcedWakeCount() const { return m_forcedWakes.load(std::memory_order_relaxed); }
  /// Paints on the calling GUI thread what the open windows' invalidators collected: each dirty
  /// rectangle goes to the back end (InvalidateRect), which paints it in the same pump. The back
  /// ends call it from their pumps and Idle so that no repaint waits for the invalidator thread
  /// (idle priority) or the force thread. Answers whether anything was dirty. GUI thread.
  bool RepaintInvalidated();

  /// A message handler starts / ends (MWindow::DispatchSystemEvent and the back ends' paints).
  /// LeaveHandler drains the global event processor when the count reaches 0. GUI thread.
  void EnterHandler()
  {
    m_nesting.fetch_add(1, std::memory_order_relaxed);
    m_handlerEntries.fetch_add(1, std::memory_order_relaxed);
  }
  /// How many handlers (events dispatched, paints) ran since Initialize: a host loop that sees
  /// it unchanged for a while may tick us less often. Any thread.
  std::uint64_t GetHandlerEntryCount() const { return m_handlerEntries.load(std::memory_order_relaxed); }
  /// Whether work is waiting on a clock of ours (window timers), so the host must keep ticking
  /// at its regular rate. GUI thread. Base: none.
  virtual bool HasTimers() const { return false; }
  void LeaveHandler();
  std::int32_t GetHandlerNesting() const { return m_nesting.load(std::memory_order_relaxed); }
  /// The host's idle tick starts / ends: what the GUI thread invalidates in between is painted
  /// by the Idle call that ends the tick, so it needs no round of the invalidator thread (a
  /// display that moves with every tick then wakes no other thread). GUI thread.
  void EnterIdleTick() { ++m_idleTicks; }
  void LeaveIdleTick() { --m_idleTicks; }
  bool IsInIdleTick() const { return m_idleTicks > 0; }
  /// Enter/LeaveIdleTick for its lifetime (a null system: nothing).
  class IdleTickScope
  {
  public:
    explicit IdleTickScope(MWindowSystemCommon* system) : m_system(system)
    {
      if (m_system != nullptr)
        m_system->EnterIdleTick();
    }
    ~IdleTickScope()
    {
      if (m_system != nullptr)
        m_system->LeaveIdleTick();
    }
    IdleTickScope(const IdleTickScope&) = delete;
    IdleTickScope& operator=(const IdleTickScope&) = delete;

  private:
    MWindowSystemCommon* m_system;
  };
  /// Delivers every pending record of the global event processor on the calling thread, inside
  /// MHostCallShield; a handler that throws is reported and the rest are still delivered.
  /// GUI thread.
  void DrainEvents();

  // --- modal ----------------------------------------------------------------------------------
  /// Stores `value` as the window's modal result and tells the back end (OnEndModal) to leave
  /// the loop. Throws MException "MWindowSystemMSWindows::EndModal called more than once" when
  /// the loop was already ended. GUI thread.
  void EndModal(MWindow& window, MModalValue value) final;
  /// How many modal loops (RunModal) this window system has entered since it was made. Code a
  /// host calls must never enter one (it would freeze the host's loop): the host-editor tests
  /// assert that this stays 0 through every button of the editor. Any thread.
  std::int64_t GetModalLoopCount() const { return m_modalLoops.load(std::memory_order_relaxed); }

  // --- clipboard ------------------------------------------------------------------------------
  /// The process-wide clipboard (see MWindowSystem). Any thread; guarded by its own mutex.
  void SetClipboardText(const MString& text) override;
  MString GetClipboardText() override;

  // --- style ----------------------------------------------------------------------------------
  /// The style of windows without their own (not owned; null: plain backgrounds).
  void SetDefaultStyle(MStyle* style) { m_defaultStyle = style; }
  MStyle* GetDefaultStyle() const { return m_defaultStyle; }

protected:
  /// A window size the back ends can create: at least 1 pixel (systems refuse empty windows), at
  /// most a bitmap's largest side on each axis and its largest area in all (the surface follows
  /// the window; a larger area shrinks both sides by one factor). MWindow adopts the size its
  /// surface got, so the tree and the surface agree.
  static MSize ClampWindowSize(MSize size);
  /// Remembers the calling thread as the GUI thread and starts both threads. Repeated calls do
  /// nothing. Back ends call it at the end of Initialize.
  void InitializeCommon();
  /// Stops and joins both threads. Back ends call it first in their destructor. Idempotent.
  void ShutdownCommon();

  /// A modal loop for `window` starts: clears the result and the ended mark, and counts the loop
  /// (GetModalLoopCount). Back ends call it at the start of RunModal.
  void BeginModalLoop(MWindow& window);
  /// Whether the modal loop of `window` should end (EndModal called or a result set).
  bool IsModalLoopEnded(const MWindow& window) const;
  /// The back end's part of EndModal: wake the modal loop. Default: WakeGuiThread.
  virtual void OnEndModal(MWindow& window);

  /// Every back end's Hide calls this: suppresses input for 100 ms.
  void OnWindowHidden() { SuppressInput(kSuppressInputMs); }

private:
  friend class MWindow;

  /// MWindow::Open / Close.
  void AddWindow(MWindow& window);
  void RemoveWindow(MWindow& window);

  std::vector<MWindow*> m_windows;
  std::atomic<bool> m_initialized{false};
  std::atomic<std::thread::id> m_guiThread{};
  std::atomic<std::uint64_t> m_suppressUntil{0};
  std::atomic<bool> m_eventsPending{false};
  std::atomic<std::int32_t> m_nesting{0};
  std::atomic<std::uint64_t> m_handlerEntries{0};
  std::int32_t m_idleTicks = 0; // GUI thread
  std::atomic<std::int32_t> m_openWindows{0};
  std::atomic<std::uint64_t> m_forcedWakes{0};
  std::atomic<std::int64_t> m_modalLoops{0};
  bool m_threadsRunning = false;
  MForceExecuteEventsThread m_forceThread;
  MStyle* m_defaultStyle = nullptr;

  friend class MForceExecuteEventsThread;
};
