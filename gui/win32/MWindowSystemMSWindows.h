#pragma once
// MWindowSystemMSWindows: the window system on Win32.
//
// Initialize (on the thread that becomes the GUI thread) registers the window class "MWindow" of
// the module this code lives in, so that two modules loaded into one process each keep their own
// class. Every native window of the toolkit is of that class; the window's user data points to
// its descriptor. Windows are top-level windows, popups (menus, tooltips: no frame, topmost) or
// children of a window a host gives (its HWND). Each window paints into its off-screen MBitmap;
// WM_PAINT paints the invalid part of the tree into it and copies that part to the screen with
// GDI (StretchDIBits of a top-down 32-bit DIB over the surface's rows); WM_PRINTCLIENT copies the
// whole surface, so PrintWindow captures what the user sees.
//
// The window procedure raises the window system's handler nesting count, translates the message
// inside MHostCallShield ("MWindowProc (messages)"), lowers the count and, when no handler runs
// anymore, drains the global event processor. Unhandled messages go to DefWindowProcW.
//
// Private messages of the class: kMessageEndModal (a modal loop looks again), kMessageProcessEvents
// (drain the event processor), both to a message-only window of ours that Initialize makes;
// kMessageInvalidate (repaint what other threads asked for), kMessageShow / kMessageHide (show or
// hide from another thread), to the window concerned. No thread message is ever posted or taken:
// the thread's queue belongs to the host, whose own WM_USER.. messages (and other plug-ins')
// stay where they are.
//
// Threads. Native windows are only touched on the GUI thread. From other threads WakeGuiThread,
// ShowFromAnyThread and InvalidateRect post a message to one of our windows; at most one
// wake-up message is in flight. Quit posts WM_QUIT for RunMessageLoop.
//
// Who drives the loop: in a plug-in the host's message loop dispatches our windows' messages like
// any other's; Idle (effEditIdle, run-loop ticks) only drains what is due. Our own programs call
// RunMessageLoop / RunModal. ProcessPendingMessages handles our windows' messages (first painting
// what controls invalidated) without waiting: at most 1024 per call, stopping after more than 10
// paint, timer and wake-up messages in a row, so a flood of repaints cannot starve the host.

#include "gui/MWindowSystemCommon.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class MW32WindowDescriptor;

class MWindowSystemMSWindows : public MWindowSystemCommon
{
public:
  /// Descriptor type of this back end.
  static constexpr std::uint32_t kDescriptorType = (std::uint32_t('W') << 24) | (std::uint32_t('3') << 16) |
                                                   (std::uint32_t('2') << 8) | std::uint32_t(' ');
  static constexpr unsigned kMessageEndModal = 0x400;
  static constexpr unsigned kMessageProcessEvents = 0x401;
  static constexpr unsigned kMessageInvalidate = 0x402;
  static constexpr unsigned kMessageShow = 0x403;
  static constexpr unsigned kMessageHide = 0x404;
  static constexpr int kMaxMessagesPerCall = 1024;
  static constexpr int kMaxQuietInARow = 10;

  MWindowSystemMSWindows();
  /// Stops the threads, destroys the windows left and unregisters the class. Close every MWindow
  /// first. GUI thread.
  ~MWindowSystemMSWindows() override;

  // --- MWindowSystem ---------------------------------------------------------------------------
  MString GetName() const override;
  /// Registers the window class. Throws MException "Could not register the window class." when
  /// Windows refuses. Calling it again does nothing.
  void Initialize() override;
  MRect GetWorkArea(MPoint point) const override;
  /// The DPI of `window` (GetDpiForWindow where Windows has it: the monitor's DPI for a
  /// per-monitor aware host) else of the screen, divided by 96.
  double GetContentScale(MNativeHandle window) const override;
  /// Throws MException when the parent is not a window or Windows refuses the window.
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
  /// Ends RunMessageLoop (and any modal loop inside it). Any thread.
  void Quit() override;
  void WakeGuiThread() override;
  /// Any thread: from another thread the rectangle is kept and kMessageInvalidate posted.
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

  /// The window procedure's body for one message of one of our windows (GUI thread). Answers
  /// whether the message was handled, and its result in `result`.
  bool HandleMessage(MW32WindowDescriptor& descriptor, unsigned message, std::uintptr_t wParam,
                     std::intptr_t lParam, std::intptr_t& result);
  /// The descriptor of our open window `handle`; null for any other. GUI thread.
  MW32WindowDescriptor* FindDescriptor(MNativeHandle handle) const;
  /// Whether `handle` is the message-only window that takes the wake-up and end-modal messages.
  /// Any thread.
  bool IsMessageWindow(MNativeHandle handle) const;
  /// That window's procedure for one message; false for messages it leaves to DefWindowProc.
  /// GUI thread.
  bool HandleWakeMessage(unsigned message);

protected:
  void OnEndModal(MWindow& window) override;

private:
  static MW32WindowDescriptor& Cast(MWindowDescriptor& window);
  static const MW32WindowDescriptor& Cast(const MWindowDescriptor& window);
  void CheckGuiThread(const char* operation) const;
  void Dispatch(MW32WindowDescriptor& descriptor, const MSystemEvent& event);
  void Paint(MW32WindowDescriptor& descriptor);
  void ApplyRequests(MW32WindowDescriptor& descriptor);
  void ResizeSurface(MW32WindowDescriptor& descriptor, MSize size);
  /// Posts a private message to the message-only window; false when there is none (before
  /// Initialize, after destruction began) or Windows refused. Any thread.
  bool PostToGuiThread(unsigned message);
  /// Translates and dispatches one message taken from the queue.
  void DeliverMessage(const void* msg);

  std::vector<MW32WindowDescriptor*> m_windows;
  void* m_instance = nullptr; // HINSTANCE of this module
  bool m_classRegistered = false;
  std::atomic<std::uint32_t> m_guiThreadId{0};
  std::atomic<MNativeHandle> m_wakeTarget{0}; // the message-only window, for private messages
  std::atomic<bool> m_wakePosted{false};
  std::atomic<bool> m_quitRequested{false};
  MStdCursor m_cursor = MStdCursor::Arrow;
};
