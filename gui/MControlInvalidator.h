#pragma once
// Repaint scheme: invalidations from any thread are coalesced per window and repainted on the GUI
// thread.
//
//  1. Invalidating a control adds its rectangle (window coordinates) to the window's
//     MControlInvalidator: union with the dirty rectangle under the invalidator's own lock.
//     Invalidations made on the GUI thread inside the host's idle tick stop here: the tick's
//     Idle paints them (below).
//  2. The MControlInvalidatorThread (one for all windows, priority Idle) wakes every 50 ms and,
//     under the global list lock, posts the repaint event of every dirty invalidator to the
//     global event processor and sets its window system's events-pending flag.
//  3. The force-execute-events thread (see MWindowSystemCommon) wakes the GUI thread at once
//     when events are pending; the GUI thread drains the event processor.
//  4. The repaint handler (GUI thread) takes the dirty rectangle and empties it; if the window is
//     open, visible and not minimised it clips the rectangle to the window and invalidates it
//     natively (MWindowSystem::InvalidateRect); the back end then paints it.
// Steps 2 and 3 only help: the threads run at low priorities and a busy machine starves them, so
// the back ends' pumps and Idle (the host's idle or run-loop tick, on the GUI thread) take every
// dirty invalidator themselves (MWindowSystemCommon::RepaintInvalidated) and paint in the same
// call; a repaint event posted meanwhile then finds nothing left to do.
// A window registers its invalidator in the global list when it opens and removes it (withdrawing
// a pending repaint) when it closes.

#include "base/MEvent.h"
#include "base/MEventParams.h"
#include "base/MEventTarget.h"
#include "base/MLock.h"
#include "base/MThread.h"
#include "gui/MGuiTypes.h"

#include <atomic>
#include <thread>
#include <vector>

class MWindow;

class MControlInvalidator : public MEventTarget
{
public:
  struct RepaintParams
  {
    MControlInvalidator* invalidator = nullptr;
  };
  using RepaintEvent = MEvent<RepaintParams>;

  explicit MControlInvalidator(MWindow& owner);
  /// Leaves the global list. GUI thread (the owner's destruction).
  ~MControlInvalidator() override;

  MWindow& GetOwner() const { return m_owner; }

  /// Adds `rect` (window coordinates) to the dirty rectangle. Any thread; takes the
  /// invalidator's lock only (and, without waiting, the thread's to wake it from its sleep,
  /// unless the GUI thread invalidates inside the host's idle tick, which paints it itself).
  void Add(const MRect& rect);
  /// The dirty rectangle, emptied. Any thread.
  MRect Take();
  /// The dirty rectangle without changing it (empty when nothing is dirty). Any thread.
  MRect Peek() const;
  bool IsDirty() const { return !Peek().IsEmpty(); }

  /// Enters / leaves the global list (the owner opens / closes). Leaving withdraws a pending
  /// repaint event. GUI thread.
  void Register();
  void Unregister();
  bool IsRegistered() const;

  /// One round of the invalidator thread: posts the repaint event of every registered, dirty
  /// invalidator that has none pending, and tells its window system that events are pending.
  /// Answers how many were posted. Any thread; takes the global list lock.
  static int PostDirtyRepaints();

  /// The repaint handler: Take, then invalidate natively (see the file comment). GUI thread.
  void Repaint();

private:
  /// Whether the caller is the GUI thread inside an idle tick of the owner's window system.
  bool PaintedByThisIdleTick() const;
  void OnRepaint(RepaintParams& params);
  static MLock& GetListLock();
  static std::vector<MControlInvalidator*>& GetListHeld();

  MWindow& m_owner;
  mutable MLock m_lock;
  MRect m_dirty;             // guarded by m_lock; empty when clean
  bool m_registered = false; // guarded by the list lock
  // The thread that registered it (the GUI thread) while registered; read by Add on any thread.
  std::atomic<std::thread::id> m_guiThread{};
  RepaintEvent m_repaint;
};

/// The single thread that polls every invalidator (priority Idle, every 50 ms). Started and
/// stopped by the window system; a second window system shares the running one (start counting).
/// After kQuietRounds rounds in which no invalidator turned dirty it sleeps until one does (Add
/// wakes it): an editor that shows nothing new, or no editor at all, costs it no wake-ups.
class MControlInvalidatorThread : public MThread
{
public:
  static constexpr std::uint32_t kPeriodMs = 50;
  static constexpr std::uint32_t kQuietRounds = 20;

  ~MControlInvalidatorThread() override;

  /// Starts the shared thread (counted); Release stops it when the last user leaves. Any thread.
  static void Acquire();
  static void Release();
  /// Wakes the shared thread for a round now (tests, and invalidations that cannot wait).
  static void Poke();
  /// Counts an invalidator turning dirty, and wakes the thread if it sleeps. Any thread (Add).
  static void NoteDirty();
  /// Whether the thread sleeps until an invalidator turns dirty (tests). Any thread.
  static bool IsSleeping();

protected:
  std::int32_t Run() override;
};
