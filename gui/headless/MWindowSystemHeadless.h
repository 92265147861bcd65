#pragma once
// MWindowSystemHeadless: a window system without a screen. Every window is an off-screen MBitmap;
// nothing is shown anywhere. Tests, golden snapshots, the gallery and the renderer's pictures use
// it. It is deterministic: messages are handled only inside ProcessPendingMessages (and the modal
// and message loops), in the order they arrived, and timers fire by a clock the caller may
// drive by hand.
//
// What stands in for the platform:
//  - CreateNativeWindow: a descriptor with a serial-number handle, a surface bitmap of the
//    window's size and a drawer on it.
//  - InvalidateRect (any thread): unions the rectangle into the window's dirty area and queues a
//    paint message; ProcessPendingMessages paints dirty areas into the surface (PaintSurface).
//  - Input: InjectEvent (any thread) queues an MSystemEvent for a window; it is dispatched like
//    a native message. Key state and cursor position follow the injected events.
//  - WakeGuiThread (any thread): queues a wake message and signals WaitForMessages.
//  - Timers: SetTimer registers a period; ProcessPendingMessages turns due timers into Timer
//    events by GetTickMs, which is the steady clock or, after SetManualClock, a clock the test
//    advances with AdvanceClock.
//  - ProcessPendingMessages keeps the bounds of a native pump: at most 1024 messages per call,
//    stopping after more than 10 paint/timer/wake messages in a row; then it drains the event
//    processor.
//
// Threads: the thread that calls Initialize is the GUI thread; only the operations marked "any
// thread" may be called from others.

#include "gui/MBitmap.h"
#include "gui/MDrawerToMBitmap.h"
#include "gui/MWindowSystemCommon.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>

class MWindowSystemHeadless : public MWindowSystemCommon
{
public:
  static constexpr std::uint32_t kType = 0x48444C53u; // 'HDLS'
  static constexpr int kMaxMessagesPerCall = 1024;
  static constexpr int kMaxIdleMessagesInRow = 10;

  /// A headless window's native data.
  class Descriptor : public MWindowDescriptor
  {
  public:
    Descriptor(MWindow& window, MNativeHandle handle, const MNativeWindowParams& params);
    MNativeHandle GetHandle() const override { return m_handle; }
    MBitmap& GetSurface() override { return m_surface; }
    MDrawer& GetDrawer() override { return m_drawer; }
    MWindow& GetWindow() const { return m_window; }

  private:
    friend class MWindowSystemHeadless;
    MWindow& m_window;
    MNativeHandle m_handle;
    MBitmap m_surface;
    MDrawerToMBitmap m_drawer;
    MRect m_rect; // position in the parent or on the "screen", and size
    MNativeHandle m_parent = 0;
    MString m_title;
    bool m_visible = false;
    bool m_minimized = false;
    bool m_foreground = false;
    bool m_paintQueued = false; // guarded by the system's mutex
    MRect m_dirty;              // guarded by the system's mutex
  };

  MWindowSystemHeadless();
  ~MWindowSystemHeadless() override;

  // --- MWindowSystem ----------------------------------------------------------------------------
  MString GetName() const override;
  void Initialize() override;
  MRect GetWorkArea(MPoint point) const override;
  std::unique_ptr<MWindowDescriptor> CreateNativeWindow(MWindow& window,
                                                        const MNativeWindowParams& params) override;
  void DestroyNativeWindow(std::unique_ptr<MWindowDescriptor> descriptor) override;
  void SetParent(MWindowDescriptor& window, MNativeHandle parent) override;
  void SetParentAndStyle(MWindowDescriptor& window, MNativeHandle parent, bool child) override;
  bool IsVisible(const MWindowDescriptor& window) const override;
  void SetTitle(MWindowDescriptor& window, const MString& title) override;
  void SetPosition(MWindowDescriptor& window, MPoint position) override;
  void SetSize(MWindowDescriptor& window, MSize size) override;
  void SetZOrder(MWindowDescriptor& window, bool top) override;
  void SetShape(MWindowDescriptor& window, const MRect& visible) override;
  MRect GetWindowRect(const MWindowDescriptor& window) const override;
  void Move(MWindowDescriptor& window, const MRect& rect) override;
  void MoveAndShow(MWindowDescriptor& window, const MRect& rect) override;
  void Show(MWindowDescriptor& window, bool show) override;
  bool IsMinimized(const MWindowDescriptor& window) const override;
  void ShowFromAnyThread(MWindowDescriptor& window) override;
  void Hide(MWindowDescriptor& window) override;
  void ActivateAndFocus(MWindowDescriptor& window) override;
  bool IsForeground(const MWindowDescriptor& window) const override;
  void ProcessPendingMessages() override;
  MModalValue RunModal(MWindow& window) override;
  void RunMessageLoop() override;
  void Quit() override;
  void WakeGuiThread() override;
  void InvalidateRect(MWindowDescriptor& window, const MRect& rect) override;
  void UpdateNow(MWindowDescriptor& window) override;
  void SetCapture(MWindowDescriptor* window) override;
  void SetCursor(MStdCursor cursor) override;
  MPoint GetCursorScreenPosition() const override;
  MPoint GetCursorClientPosition(const MWindowDescriptor& window) const override;
  void MoveCursor(const MWindowDescriptor& window, MPoint client) override;
  void RequestMouseLeave(MWindowDescriptor& window) override;
  bool IsKeyDown(std::int32_t key) const override;
  void SetTimer(MWindowDescriptor& window, std::int32_t id, std::int32_t periodMs) override;

  // --- clock ------------------------------------------------------------------------------------
  std::uint64_t GetTickMs() const override;
  /// From now on the clock stands at `nowMs` until changed (any thread).
  void SetManualClock(std::uint64_t nowMs);
  void AdvanceClock(std::uint64_t ms);
  /// Back to the steady clock.
  void UseSteadyClock();

  // --- for tests and snapshots -----------------------------------------------------------------
  /// Queues `event` for `window` (which must be open). Any thread.
  void InjectEvent(MWindow& window, const MSystemEvent& event);
  /// Waits up to `timeoutMs` for a message (injected event, wake, paint). Answers whether one is
  /// pending. GUI thread.
  bool WaitForMessages(std::uint32_t timeoutMs);
  /// Number of WakeGuiThread calls so far. Any thread.
  std::uint64_t GetWakeCount() const;
  /// The window's surface; null when it is not open here. GUI thread.
  const MBitmap* GetSurface(const MWindow& window) const;
  /// The dirty area not yet painted. Any thread.
  MRect GetDirtyRect(const MWindow& window) const;
  /// Paints the whole window now and answers its surface (opens nothing). GUI thread. Throws
  /// MException when the window is not open, or a handler closed it while pending work ran.
  const MBitmap& Render(MWindow& window);
  MStdCursor GetCursor() const { return m_cursor; }
  /// The window holding the mouse capture; null when none.
  MWindowDescriptor* GetCaptureWindow() const { return m_capture; }
  /// Whether a timer runs for that native id.
  bool HasTimer(const MWindow& window, std::int32_t nativeId) const;
  /// Messages handled by the last ProcessPendingMessages call.
  int GetLastMessageCount() const { return m_lastMessageCount; }

private:
  enum class Kind
  {
    Event,
    Wake,
    Paint,
    Show,
  };
  struct Message
  {
    Kind kind = Kind::Wake;
    MNativeHandle handle = 0;
    MSystemEvent event;
  };
  struct Timer
  {
    std::int32_t periodMs = 0;
    std::uint64_t dueMs = 0;
  };

  void Post(const Message& message);
  void QueueDueTimers();
  Descriptor* FindDescriptor(MNativeHandle handle) const;
  void PaintDirty(Descriptor& descriptor);
  void TrackInput(const MSystemEvent& event);
  /// A window size the surface can take: the common clamp, but 0 stays 0.
  static MSize FitSize(std::int32_t width, std::int32_t height);
  static Descriptor& Cast(MWindowDescriptor& window);
  static const Descriptor& Cast(const MWindowDescriptor& window);

  mutable std::mutex m_mutex;
  std::condition_variable m_signal;
  std::deque<Message> m_messages; // guarded by m_mutex
  std::uint64_t m_wakeCount = 0;  // guarded by m_mutex
  bool m_quit = false;            // guarded by m_mutex
  bool m_manualClock = false;     // guarded by m_mutex
  std::uint64_t m_clockMs = 0;    // guarded by m_mutex

  std::map<MNativeHandle, Descriptor*> m_descriptors;
  std::map<std::pair<MNativeHandle, std::int32_t>, Timer> m_timers;
  std::set<std::int32_t> m_keysDown;
  MNativeHandle m_nextHandle = 1;
  MWindowDescriptor* m_capture = nullptr;
  MStdCursor m_cursor = MStdCursor::Arrow;
  MPoint m_cursorScreen;
  int m_lastMessageCount = 0;
};
