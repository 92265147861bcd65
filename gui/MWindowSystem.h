#pragma once
// MWindowSystem: the one seam between the toolkit and a platform's native windows. The toolkit
// paints every window itself into an off-screen bitmap; a back end only creates native windows,
// copies the painted pixels to them, translates native input into MSystemEvent, and runs the
// message pump, timers and the modal loop. Back ends: gui/headless (off-screen, deterministic),
// gui/x11 (Xlib), gui/win32. This header carries no platform type: native handles travel as
// MNativeHandle (an X11 window id, an HWND's bits, a headless serial number).
//
// Threads: every operation runs on the GUI thread unless its comment says "any thread". Other
// threads only invalidate, show, wake and post events (see MControlInvalidator).
//
// The virtual operations keep a fixed slot order; reserved slots answer neutrally.

#include "gui/MGuiTypes.h"

#include <cstdint>
#include <memory>

class MBitmap;
class MDrawer;
class MWindow;

using MNativeHandle = std::uintptr_t;

/// One native input or window event, already translated.
struct MSystemEvent
{
  enum Code : std::int32_t
  {
    LeftDown = 0,
    RightDown = 1,
    MiddleDown = 2,
    LeftUp = 3,
    RightUp = 4,
    MiddleUp = 5,
    LeftDoubleClick = 6,
    RightDoubleClick = 7,
    MiddleDoubleClick = 8,
    MouseMove = 9,
    MouseWheel = 10,
    MouseLeave = 11,
    CaptureLost = 12,
    FocusIn = 13,
    FocusOut = 14,
    Size = 15,    ///< the native window changed size (position = new size)
    Timer = 16,   ///< `value` = timer id
    Close = 17,   ///< the user asked to close the window
    KeyDown = 18, ///< `value` = virtual key code (Windows VK_ numbering, see MVirtualKey)
    KeyUp = 19,
    Character = 20, ///< `value` = Unicode code point typed
    DropFiles = 21,
  };

  /// Modifier bits.
  enum Modifier : std::uint32_t
  {
    ModLeftButton = 1,
    ModMiddleButton = 2,
    ModRightButton = 4,
    ModControl = 16,
    ModAlt = 32,
    ModShift = 64,
    ModDoubleClick = 128, ///< a down event that follows a double click the control ignored
  };

  Code code = MouseMove;
  MPoint position; ///< client coordinates of the window (mouse events), or the new size
  std::uint32_t modifiers = 0;
  std::int32_t value = 0; ///< wheel delta (120 per notch, positive away from the user), key, timer id
};

/// Virtual key codes used in KeyDown/KeyUp (the Windows numbering, so the Win32 back end passes
/// them through; other back ends map their key symbols onto these).
namespace MVirtualKey
{
inline constexpr std::int32_t Back = 0x08, Tab = 0x09, Return = 0x0D, Shift = 0x10, Control = 0x11,
                              Menu = 0x12, Escape = 0x1B, Space = 0x20, PageUp = 0x21, PageDown = 0x22,
                              End = 0x23, Home = 0x24, Left = 0x25, Up = 0x26, Right = 0x27, Down = 0x28,
                              Insert = 0x2D, Delete = 0x2E, F1 = 0x70;
// Letters and digits are their upper-case ASCII codes ('A' = 0x41, '0' = 0x30).
} // namespace MVirtualKey

/// A back end's native data for one window (the window keeps up to 16, one per window-system
/// type). Created by CreateNativeWindow, destroyed by DestroyNativeWindow.
class MWindowDescriptor
{
public:
  explicit MWindowDescriptor(std::uint32_t type) : m_type(type) {}
  virtual ~MWindowDescriptor() = default;
  MWindowDescriptor(const MWindowDescriptor&) = delete;
  MWindowDescriptor& operator=(const MWindowDescriptor&) = delete;

  /// Four-character type of the window system that made it ('X11 ', 'HDLS', 'W32 ').
  std::uint32_t GetType() const { return m_type; }
  virtual MNativeHandle GetHandle() const = 0;
  /// The window's off-screen surface: the toolkit paints here, the back end copies it out.
  virtual MBitmap& GetSurface() = 0;
  virtual MDrawer& GetDrawer() = 0;

private:
  std::uint32_t m_type;
};

/// How a native window is created.
struct MNativeWindowParams
{
  /// Host window to embed into (0: a top-level window).
  MNativeHandle parent = 0;
  MRect rect; ///< position (in the parent, or on the screen) and size
  MString title;
  bool popup = false; ///< menus and tooltips: no frame, above other windows
  bool resizable = false;
};

class MWindowSystem
{
public:
  virtual ~MWindowSystem() = default;

  /* 1 */ virtual void Reserved1() {}
  /* 2 */ virtual MString GetName() const = 0;
  /// Connects to the platform, remembers the calling thread as the GUI thread, starts the
  /// invalidator and event-forcing threads. Throws MException when the platform is unavailable
  /// (no X display). Calling it again does nothing.
  /* 3 */ virtual void Initialize() = 0;
  /// Work area of the monitor that contains `point` (screen pixels).
  /* 4 */ virtual MRect GetWorkArea(MPoint point) const = 0;
  /* 5 */ virtual std::int32_t SmallQuery() const { return 0; }
  /// Creates the native window of `window`. Throws MException on failure.
  /* 6 */ virtual std::unique_ptr<MWindowDescriptor>
  CreateNativeWindow(MWindow& window, const MNativeWindowParams& params) = 0;
  /// Destroys a native window made by CreateNativeWindow (no more events for it afterwards).
  /* 7 */ virtual void DestroyNativeWindow(std::unique_ptr<MWindowDescriptor> descriptor) = 0;
  /* 8 */ virtual void NoOperation() {}
  /* 9 */ virtual void SetParent(MWindowDescriptor& window, MNativeHandle parent) = 0;
  /* 10 */ virtual void SetParentAndStyle(MWindowDescriptor& window, MNativeHandle parent, bool child) = 0;
  /* 11 */ virtual std::int32_t Query11() const { return 0; }
  /* 12 */ virtual std::int32_t Query12() const { return 0; }
  /* 13 */ virtual bool IsVisible(const MWindowDescriptor& window) const = 0;
  /* 14 */ virtual void SetTitle(MWindowDescriptor& window, const MString& title) = 0;
  /* 15 */ virtual void SetPosition(MWindowDescriptor& window, MPoint position) = 0;
  /// Resizes the native window and its surface.
  /* 16 */ virtual void SetSize(MWindowDescriptor& window, MSize size) = 0;
  /* 17 */ virtual void SetZOrder(MWindowDescriptor& window, bool top) = 0;
  /* 18 */ virtual void SetShape(MWindowDescriptor& window, const MRect& visible) = 0;
  /* 19 */ virtual MRect GetWindowRect(const MWindowDescriptor& window) const = 0;
  /* 20 */ virtual void Move(MWindowDescriptor& window, const MRect& rect) = 0;
  /* 21 */ virtual void MoveAndShow(MWindowDescriptor& window, const MRect& rect) = 0;
  /* 22 */ virtual void Show(MWindowDescriptor& window, bool show) = 0;
  /* 23 */ virtual void Reserved23() {}
  /* 24 */ virtual bool IsMinimized(const MWindowDescriptor& window) const = 0;
  /// Shows the window; any thread (posts to the GUI thread from others).
  /* 25 */ virtual void ShowFromAnyThread(MWindowDescriptor& window) = 0;
  /// Hides the window and swallows clicks for the next 100 ms (see SuppressInput).
  /* 26 */ virtual void Hide(MWindowDescriptor& window) = 0;
  /* 27 */ virtual void ActivateAndFocus(MWindowDescriptor& window) = 0;
  /* 28 */ virtual bool IsForeground(const MWindowDescriptor& window) const = 0;
  /// Handles pending native messages without waiting: at most 1024 per call, stopping after more
  /// than 10 paint/timer/wake messages in a row; then drains the global event processor.
  /* 29 */ virtual void ProcessPendingMessages() = 0;
  /// Runs a nested loop until `window`'s modal result is set, EndModal is called for it or Quit
  /// arrives; drains the event processor after each message. Answers the modal result.
  /* 30 */ virtual MModalValue RunModal(MWindow& window) = 0;
  /// Ends the modal loop of `window` with `value`. A second call for the same loop throws
  /// MException "MWindowSystemMSWindows::EndModal called more than once".
  /* 31 */ virtual void EndModal(MWindow& window, MModalValue value) = 0;
  /* 32 */ virtual void RunMessageLoop() = 0;
  /* 33 */ virtual void Quit() = 0;
  /// Makes the GUI thread drain the event processor soon. Any thread; never blocks.
  /* 34 */ virtual void WakeGuiThread() = 0;
  /* 35 */ virtual void Reserved35() {}
  /// Marks `rect` (window client pixels) for repaint. Any thread.
  /* 36 */ virtual void InvalidateRect(MWindowDescriptor& window, const MRect& rect) = 0;
  /// Paints what is invalid now.
  /* 37 */ virtual void UpdateNow(MWindowDescriptor& window) = 0;
  /* 38 */ virtual void Reserved38() {}
  /* 39 */ virtual void Reserved39() {}
  /* 40 */ virtual void SetCapture(MWindowDescriptor* window) = 0; ///< null releases
  /* 41 */ virtual void SetCursor(MStdCursor cursor) = 0;
  /* 42 */ virtual MPoint GetCursorScreenPosition() const = 0;
  /* 43 */ virtual MPoint GetCursorClientPosition(const MWindowDescriptor& window) const = 0;
  /* 44 */ virtual void MoveCursor(const MWindowDescriptor& window, MPoint client) = 0;
  /* 45 */ virtual void RequestMouseLeave(MWindowDescriptor& window) = 0;
  /// Whether virtual key `key` is down now.
  /* 46 */ virtual bool IsKeyDown(std::int32_t key) const = 0;
  /// Starts (period > 0 ms) or stops (period <= 0) timer `id` of `window`; ticks arrive as Timer.
  /* 47 */ virtual void SetTimer(MWindowDescriptor& window, std::int32_t id, std::int32_t periodMs) = 0;

  // --- hosts that own the loop (beyond the slot table) ---------------------------------------
  /// A file descriptor that becomes readable when the back end has native messages or a wake-up
  /// pending (X11: the display connection; the wake-up pipe is folded in), or -1. A host's run
  /// loop watches it and calls Idle when it fires.
  virtual int GetEventFileDescriptor() const { return -1; }
  /// One bounded round of work: ProcessPendingMessages plus due timers. Hosts call it from their
  /// idle hook or run-loop timer; never blocks.
  virtual void Idle() { ProcessPendingMessages(); }

  // --- keyboard (beyond the slot table) -------------------------------------------------------
  /// A text field of `window` starts (true) or ends (false) being edited. A back end whose
  /// embedded windows get no keyboard from the platform takes the input focus for the edit and
  /// hands it back to the window that had it when the edit ends; nothing else moves the focus.
  /// Default: nothing (the platform focuses what the user clicks). GUI thread.
  virtual void SetTextInput(MWindowDescriptor& window, bool active)
  {
    (void)window;
    (void)active;
  }

  // --- clipboard (beyond the slot table) ------------------------------------------------------
  /// Puts `text` on the clipboard. GUI thread. MWindowSystemCommon keeps a clipboard shared by
  /// every window system of the process (so one plug-in instance pastes what another copied); a
  /// back end that reaches the platform's clipboard overrides both operations.
  virtual void SetClipboardText(const MString& text) = 0;
  /// The clipboard's text; empty when it holds none. GUI thread.
  virtual MString GetClipboardText() = 0;
};
