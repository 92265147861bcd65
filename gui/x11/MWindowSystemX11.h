#pragma once
// MWindowSystemX11: the window system on an X server, through Xlib.
//
// One Display connection of its own (never the host's), opened by Initialize on the thread that
// becomes the GUI thread. Windows are top-level windows (managed by the window manager, closed
// through WM_DELETE_WINDOW), popups (override-redirect) or children embedded into a window id a
// host gives (XCreateWindow with the host's window as parent). Each window paints into its
// off-screen MBitmap; the painted part is copied out with MIT-SHM when the server shares memory
// with us, else with XPutImage (see MX11Image).
//
// Threads. Xlib is only ever called on the GUI thread, so the connection needs no XInitThreads
// and no Xlib lock. Other threads reach the GUI thread through a wake-up descriptor (an eventfd,
// a self-pipe off Linux): WakeGuiThread, ShowFromAnyThread and InvalidateRect from another thread
// store their request under a small lock and signal it; the GUI thread applies the requests the
// next time it pumps. XInitThreads is not used: it must be the process's first Xlib call, which a
// plug-in loaded into a host that already has its own connections cannot promise, and it would
// put a lock on every Xlib call of the process (the host's too) that no thread of ours needs.
//
// Who drives the loop:
//  - a host's run loop (VST 3 IRunLoop): watch GetEventFileDescriptor() (readable when X events
//    or a wake-up are pending) and call Idle() when it fires and from a ~30 Hz timer;
//  - effEditIdle (VST 2.4): call Idle() from it;
//  - our own programs: RunMessageLoop / RunModal, which poll the connection and the wake-up
//    descriptor, with the next timer as the poll timeout.
// Idle and ProcessPendingMessages never block: at most 1024 messages per call, and a call stops
// after more than 10 paint/timer/wake-up messages in a row so that a flood of repaints cannot
// starve the host. A call that leaves work behind keeps GetEventFileDescriptor() readable.
//
// Keyboard: a top-level window gets the focus from the window manager. An embedded window never
// gets it from the host's window manager, so it takes it (XSetInputFocus) while one of its text
// fields is being edited, and hands it back when the edit ends (SetTextInput); clicks elsewhere
// (a knob, a button) leave the host's keyboard alone, so its shortcuts keep working.
//
// Clipboard: the CLIPBOARD selection, owned by an unmapped window of our connection. Our own text
// is answered as UTF8_STRING (and TARGETS) to any requestor; reading another client's text asks
// for UTF8_STRING and waits for the answer at most kClipboardWaitMs (the other client is another
// process, so the wait cannot depend on our own pump). Texts the owner sends in pieces (INCR)
// and texts beyond kMaxClipboardBytes read as empty.
//
// Messages, in the order the pump takes them: X events (input, exposure, structure, close
// requests), then the wake-up signal (applies other threads' requests and drains the global event
// processor), then due timers, then paints of windows with a dirty area, after taking what the
// windows' invalidators collected (so no paint waits for the invalidator thread).

#include "gui/MWindowSystemCommon.h"

#include <atomic>
#include <memory>
#include <vector>

class MX11Wake;
class MX11WindowDescriptor;

class MWindowSystemX11 : public MWindowSystemCommon
{
public:
  /// Descriptor type of this back end.
  static constexpr std::uint32_t kDescriptorType = (std::uint32_t('X') << 24) | (std::uint32_t('1') << 16) |
                                                   (std::uint32_t('1') << 8) | std::uint32_t(' ');
  /// Messages one ProcessPendingMessages handles at most, and paint/timer/wake-up messages in a
  /// row after which it stops.
  static constexpr int kMaxMessagesPerCall = 1024;
  static constexpr int kMaxQuietInARow = 10;

  /// `displayName`: the X display to connect to ("" uses $DISPLAY). Connects only in Initialize.
  explicit MWindowSystemX11(const MString& displayName = MString());
  /// Stops the threads, destroys what windows are left and closes the connection. Close every
  /// MWindow first: a window still open keeps a descriptor of this system. GUI thread.
  ~MWindowSystemX11() override;

  /// Whether to copy through MIT-SHM when the server offers it (default true). Before Initialize.
  void SetUseSharedMemory(bool use) { m_useSharedMemory = use; }
  /// Whether the last copy to `window` went through shared memory. GUI thread.
  bool UsesSharedMemory(const MWindowDescriptor& window) const;

  /// The wake-up descriptor alone, for a loop that watches it beside GetConnectionFileDescriptor
  /// (GetEventFileDescriptor already folds both together). -1 before Initialize.
  int GetWakeFileDescriptor() const;
  /// The X connection's descriptor; -1 before Initialize.
  int GetConnectionFileDescriptor() const;

  /// The desktop's scale: GDK_SCALE when set to a positive number, else the resource "Xft.dpi"
  /// of the display's resource database divided by 96; 1 without either. GUI thread.
  double GetContentScale(MNativeHandle window) const override;
  /// The rule of GetContentScale on given texts (`resources`: the RESOURCE_MANAGER string, may
  /// be null; `gdkScale`: the variable's value, may be null).
  static double ContentScaleFrom(const char* resources, const char* gdkScale);

  // --- MWindowSystem ---------------------------------------------------------------------------
  MString GetName() const override;
  /// Opens the display ($DISPLAY or the name given). Throws MException
  /// "Could not open the X display ({0})." when there is none.
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
  /// Ends RunMessageLoop (and any modal loop running inside it). Any thread.
  void Quit() override;
  void WakeGuiThread() override;
  /// Any thread: from another thread the rectangle waits for the GUI thread's next pump.
  void InvalidateRect(MWindowDescriptor& window, const MRect& rect) override;
  void UpdateNow(MWindowDescriptor& window) override;
  void SetCapture(MWindowDescriptor* window) override;
  void SetCursor(MStdCursor cursor) override;
  MPoint GetCursorScreenPosition() const override;
  MPoint GetCursorClientPosition(const MWindowDescriptor& window) const override;
  void MoveCursor(const MWindowDescriptor& window, MPoint client) override;
  /// X reports every pointer leave by itself; nothing to request.
  void RequestMouseLeave(MWindowDescriptor& window) override;
  bool IsKeyDown(std::int32_t key) const override;
  void SetTimer(MWindowDescriptor& window, std::int32_t id, std::int32_t periodMs) override;

  /// An epoll descriptor (Linux) that is readable while the connection or the wake-up descriptor
  /// is; elsewhere the connection's descriptor. -1 before Initialize.
  int GetEventFileDescriptor() const override;
  void Idle() override;
  bool HasTimers() const override;
  /// An embedded window takes the input focus while a text field is edited and hands it back to
  /// the window that had it (else its parent) when the edit ends, if it still holds it.
  void SetTextInput(MWindowDescriptor& window, bool active) override;

  static constexpr int kClipboardWaitMs = 1000;
  static constexpr long kMaxClipboardBytes = 16L << 20;
  /// Keeps `text` for the process (see MWindowSystemCommon) and takes the CLIPBOARD selection.
  void SetClipboardText(const MString& text) override;
  /// Our own text while we own the selection, else the selection owner's text; empty when
  /// there is none or it did not arrive in time. The process's text before Initialize.
  MString GetClipboardText() override;

private:
  enum class MessageKind
  {
    None,  ///< nothing was pending
    Input, ///< an X event
    Quiet, ///< a paint, timer or wake-up: counted towards the in-a-row bound
  };
  struct Impl;

  MessageKind HandleOneMessage();
  void HandleXEvent(void* event);
  /// Answers a SelectionRequest for the clipboard or notes a SelectionClear.
  void HandleSelectionEvent(void* event);
  /// The unmapped window that owns the clipboard and receives transfers (made on first use).
  unsigned long ClipboardWindow();
  void DispatchTo(unsigned long xWindow, const MSystemEvent& event);
  void ApplyRequests();
  void Paint(MX11WindowDescriptor& descriptor);
  /// Blocks until the connection or the wake-up descriptor is readable or the next timer is due.
  void WaitForMessages();
  MX11WindowDescriptor* FindDescriptor(unsigned long xWindow) const;
  static MX11WindowDescriptor& Cast(MWindowDescriptor& window);
  static const MX11WindowDescriptor& Cast(const MWindowDescriptor& window);
  void ResizeNative(MX11WindowDescriptor& descriptor, MSize size);
  void CheckGuiThread(const char* operation) const;

  MString m_displayName;
  bool m_useSharedMemory = true;
  std::unique_ptr<Impl> m_impl;
  // The wake-up signal as other threads see it: set once Initialize made it, cleared before it
  // goes, so that no thread reads m_impl while the GUI thread assigns it.
  std::atomic<MX11Wake*> m_wakeSignal{nullptr};
  std::atomic<bool> m_quitRequested{false};
};
