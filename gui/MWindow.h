#pragma once
// MWindow: a control that is a native window (top-level, or a child embedded in a host's window).
//
// The window keeps the native side in a table of 16 descriptor slots, one per window-system type
// (a descriptor holds the native handle and the off-screen surface the tree is painted into).
// It owns the tree lock (an MERWLock: shared while input is dispatched and while painting,
// exclusive while the tree changes) and the invalidator that collects its dirty rectangle.
//
// Who calls what:
//  - The application (GUI thread): Open, Close, SetStyle, RunModal through the window system.
//  - A back end (GUI thread): PaintSurface when a part of the surface must be repainted, then
//    copies that part to the screen; DispatchSystemEvent for every translated native event.
//  - Controls (GUI thread): focus, capture, timer and highlight requests.
//  - Any thread: Invalidate on a control (through the invalidator), GetInvalidator.
//
// Input routing (DispatchSystemEvent):
//  1. The handler nesting counters rise (the window's and the window system's).
//  2. While the window system suppresses input (100 ms after a window was hidden), the user's
//     input is swallowed; moves and state notifications still arrive (MWindowSystemCommon).
//     A button press while another window that ClosesOnOutsideClick is open (a popup menu)
//     closes that window and is swallowed, with the rest of the click: the click that dismisses
//     a menu never reaches the control below.
//  3. With the tree lock shared: mouse events go to the captured control, else to the deepest
//     visible, enabled control under the mouse; positions are converted into its coordinates;
//     unconsumed events go up the parent chain (a handler that takes its control or a parent out
//     of the tree ends the walk). Moves keep the highlight (leave, then enter).
//     A double click nobody consumes is delivered as a down event with ModDoubleClick. A down
//     event focuses the first control up the chain that accepts focus. Keys and characters go to
//     the focused control (else the window) and up the chain; an unconsumed Tab moves the focus
//     over the tab-stop controls (Shift+Tab backwards), an unconsumed Escape closes a window with
//     FlagCloseOnEscape (ending its modal loop with Cancel). Timer goes to the control that
//     started it, CaptureLost to the captured control, FocusIn/FocusOut to the focused one,
//     MouseLeave clears the highlight. After each mouse event the window shows the cursor of the
//     captured control, else of the control under the mouse (MControl::GetCursor). Size (the back end has
//     resized its surface already) and Close (OnCloseRequested) are handled without the tree lock.
//     A press outside a focused control that takes typed text ends that edit (the focus leaves
//     it). After every event, focus change and close the window tells its window system whether
//     the focused control takes typed text (MWindowSystem::SetTextInput).
//  4. The counters fall; when no handler runs anywhere, the global event processor is drained.
// Every handler runs inside MHostCallShield ("MWindowProc (messages)" or the keyboard texts), so
// nothing escapes to the back end.

#include "base/MERWLock.h"
#include "gui/MControl.h"
#include "gui/MControlInvalidator.h"
#include "gui/MWindowSystem.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class MControlMenu;
class MDrawerScaled;
class MWindowSystemCommon;

class MWindow : public MControl
{
public:
  static constexpr int kDescriptorSlots = 16;
  /// Background painted when no style exists (charcoal).
  static constexpr MColor kPlainBackground{0x1E, 0x21, 0x26, 0xFF};

  using ClosedEvent = MCallback<MOnNotifyParams>;

  MWindow();
  /// Closes the native window when open and destroys the tree. GUI thread.
  ~MWindow() override;

  // --- native window --------------------------------------------------------------------------
  /// Creates the native window through `system` (child of `parent`, or top-level when 0) at the
  /// window's position and size, registers the invalidator, and shows it. Opening an open window
  /// does nothing. Throws MException when the back end cannot create it. GUI thread.
  void Open(MWindowSystemCommon& system, MNativeHandle parent = 0, bool popup = false);
  /// Hides and destroys the native window, withdraws pending repaints, releases focus and capture,
  /// and fires the closed event. Closing a closed window does nothing. GUI thread.
  void Close();
  bool IsOpen() const { return m_system.load(std::memory_order_acquire) != nullptr; }
  /// The window system the window is open with; null when closed. Any thread.
  MWindowSystemCommon* GetWindowSystem() const { return m_system.load(std::memory_order_acquire); }
  /// The descriptor of the window system it is open with; null when closed.
  MWindowDescriptor* GetDescriptor() const;
  /// The descriptor of window-system `type`; null when none.
  MWindowDescriptor* GetDescriptor(std::uint32_t type) const;
  /// Shows or hides the native window (hiding suppresses input for 100 ms); SetVisible on a
  /// window does this. GUI thread.
  void SetVisible(bool visible) override;
  /// Moves/resizes the native window too when open; an open window takes the size its surface
  /// got (MWindowSystemCommon::ClampWindowSize caps sides and area).
  void SetPosition(MPoint position) override;
  void SetSize(MSize size) override;
  void SetCaption(const MString& caption) override;

  // --- painting -------------------------------------------------------------------------------
  /// Paints the part `dirty` (device pixels of the surface; at a scale other than 1 the tree is
  /// painted through MDrawerScaled) of the tree into `drawer`: each visible
  /// control whose window rectangle meets `dirty` gets the origin at its window position and the
  /// clip = its rectangle ∩ its parent's clip ∩ dirty, parents before children; collapsed
  /// controls hide their children. Takes the tree lock shared. A control whose Paint throws is
  /// contained (the others are painted) and its area invalidated again. GUI thread (the back
  /// end's paint).
  void PaintSurface(MDrawer& drawer, const MRect& dirty);
  /// The window's own look: the style's window background, or a plain background.
  void Paint(MDrawer& drawer) override;

  // --- zoom -----------------------------------------------------------------------------------
  /// Device pixels per logical pixel (1 = 100 %; clamped to 0.5..4). The tree keeps its logical
  /// sizes and positions; the native window and its surface take the scaled size, painting goes
  /// through MDrawerScaled (text rasterised at the scaled size), and mouse positions are scaled
  /// back before they reach the controls. An open window resizes its native window at once.
  /// GUI thread.
  void SetScale(double scale);
  double GetScale() const { return m_scale; }
  /// Logical size / rectangle (window coordinates) in device pixels, and back.
  MSize ToDevice(MSize size) const;
  MRect ToDevice(const MRect& rect) const;
  MSize FromDevice(MSize size) const;

  /// Called (GUI thread) when the back end learns that the desktop's scale for this window
  /// changed (Windows: WM_DPICHANGED); the owner then chooses its zoom again.
  void SetContentScaleHandler(std::function<void()> handler) { m_contentScaleHandler = std::move(handler); }
  void NotifyContentScaleChanged() noexcept;

  /// The style of this window (not owned); null falls back to the window system's default.
  void SetStyle(MStyle* style);
  MStyle* GetOwnStyle() const { return m_style; }
  /// The context menu its controls offer (not owned; null: none). See MControlMenu.
  void SetControlMenu(MControlMenu* menu) { m_controlMenu = menu; }
  MControlMenu* GetControlMenu() const { return m_controlMenu; }

  // --- input ----------------------------------------------------------------------------------
  /// Routes one translated native event (see the file comment). GUI thread; never throws.
  void DispatchSystemEvent(const MSystemEvent& event) noexcept;

  MControl* GetFocusControl() const { return m_focus; }
  MControl* GetCaptureControl() const { return m_capture; }
  MControl* GetHighlightControl() const { return m_highlight; }
  /// Moves the keyboard focus (null: the window itself); calls OnFocusOut/OnFocusIn.
  void SetFocusControl(MControl* control);
  /// Gives `control` the mouse (null releases); the native capture follows.
  void SetCaptureControl(MControl* control);
  /// Starts/stops timer `id` of `control` (native timers are numbered per window). Timers are
  /// kept while the window is closed and tick again once it opens.
  void SetControlTimer(MControl& control, std::int32_t id, std::int32_t periodMs);
  /// Moves the focus to the next (or previous) visible, enabled tab-stop control in tree order,
  /// wrapping around, among the controls below `within` (null: the whole window; a sheet keeps
  /// Tab inside its dialog). Answers whether a control got it.
  bool MoveFocus(bool forward, MControl* within = nullptr);
  /// The deepest visible, enabled control under `position` (window coordinates); the window
  /// itself when no child is hit; null outside the window.
  MControl* HitTest(MPoint position) const;

  // --- modal state ----------------------------------------------------------------------------
  MModalValue GetModalResult() const { return m_modalResult.load(std::memory_order_acquire); }
  void SetModalResult(MModalValue value) { m_modalResult.store(value, std::memory_order_release); }
  /// Number of message handlers of this window running now (nested loops raise it).
  std::int32_t GetHandlerNesting() const { return m_nesting.load(std::memory_order_relaxed); }

  // --- locks and repaint ----------------------------------------------------------------------
  MERWLock& GetTreeLock() { return m_treeLock; }
  MControlInvalidator& GetInvalidator() { return m_invalidator; }

  /// Fires after the window closed.
  ClosedEvent& GetClosedEvent() { return m_closed; }

  /// Saves the control state plus "windowposx", "windowposy" (FlagSaveWindowPos),
  /// "windowsizex", "windowsizey" (FlagSaveWindowSize) and "maximized".
  void SaveState(MXmlItem& item) const override;
  void LoadState(const MXmlItem& item) override;
  bool IsMaximized() const { return m_maximized; }
  void SetMaximized(bool maximized) { m_maximized = maximized; }

  /// Tablet mode: value controls follow the pointer's absolute position (a pen press on a knob's
  /// arc sets that value) instead of dragging relatively (MValueGesture). Default: off. GUI thread.
  void SetTabletMode(bool tablet) { m_tabletMode = tablet; }
  bool IsTabletMode() const { return m_tabletMode; }

  /// Whether a click into another window of the same window system closes this one (popup
  /// menus). That click is swallowed: it only dismisses. Default: false.
  virtual bool ClosesOnOutsideClick() const { return false; }

protected:
  /// The user asked to close the window (native close, Escape, a click outside a window that
  /// ClosesOnOutsideClick). Default: ends a running modal loop with Cancel, then closes.
  virtual void OnCloseRequested();
  /// A control leaves the tree: forget focus, capture, highlight and its timers.
  void ForgetControl(const MControl* control);

private:
  friend class MControl;
  friend class MWindowSystemCommon;

  /// Marks a control that input is being delivered to, for as long as the frame lives (frames
  /// nest with handlers; ForgetControl sets `gone` when the control or a parent leaves the tree,
  /// and the walk up the parents then stops instead of touching freed controls).
  class DispatchFrame
  {
  public:
    DispatchFrame(MWindow& window, const MControl* control);
    ~DispatchFrame();
    DispatchFrame(const DispatchFrame&) = delete;
    DispatchFrame& operator=(const DispatchFrame&) = delete;

    bool gone = false;

  private:
    friend class MWindow;
    MWindow& m_window;
    const MControl* m_control;
    DispatchFrame* m_next;
  };

  void DispatchHeld(const MSystemEvent& event);
  /// A button went down in this window: asks the other open windows that ClosesOnOutsideClick
  /// to close and suppresses the rest of the click. Answers whether there was one.
  bool DismissPopupsElsewhere(MWindowSystemCommon& system);
  void DispatchMouse(const MSystemEvent& event);
  void DispatchKey(const MSystemEvent& event);
  /// Tells the window system when the focused control starts or stops taking typed text.
  void UpdateTextInput();
  void UpdateHighlight(MControl* control);
  /// Shows the cursor of the control that has the capture, else of the one under `position`
  /// (window coordinates), when it differs from the one shown or `force` (the highlight moved).
  void UpdateCursor(MPoint position, bool force);
  /// A control with FlagOverlayControl met while painting, painted after the tree.
  struct Overlay
  {
    MControl* control;
    MPoint origin; ///< window position
  };
  /// PaintSurface's work in logical pixels (`drawer` already scales).
  void PaintLogical(MDrawer& drawer, const MRect& dirty);
  void PaintTree(MDrawer& drawer, MControl& control, MPoint origin, const MRect& clip,
                 std::vector<Overlay>& overlays);
  /// The control on top everywhere in `dirty` (window coordinates) that paints it opaquely, and
  /// its window position in `at`; null when the parents must be painted too.
  MControl* FindOpaqueCover(const MDrawer& drawer, MControl& control, MPoint origin, const MRect& dirty,
                            MPoint& at);
  /// The window system resized the native window.
  void OnNativeSize(MSize size);
  /// Takes the size the back end gave the surface (it caps sides and area), so that the tree and
  /// the surface agree.
  void AdoptSurfaceSize(MWindowDescriptor& descriptor);

  std::array<std::unique_ptr<MWindowDescriptor>, kDescriptorSlots> m_descriptors;
  std::atomic<MWindowSystemCommon*> m_system{nullptr};
  std::atomic<MModalValue> m_modalResult{MModalValue::None};
  std::atomic<std::int32_t> m_nesting{0};
  // Set by the first EndModal of a modal loop, cleared when the next loop starts.
  std::atomic<bool> m_modalEnded{false};
  MERWLock m_treeLock;
  MControlInvalidator m_invalidator;
  MStyle* m_style = nullptr;
  MControlMenu* m_controlMenu = nullptr;
  MControl* m_focus = nullptr;
  MControl* m_capture = nullptr;
  MControl* m_highlight = nullptr;
  bool m_maximized = false;
  bool m_tabletMode = false;
  double m_scale = 1.0;
  std::unique_ptr<MDrawerScaled> m_scaledDrawer; // kept: it keeps the scaled fonts
  std::function<void()> m_contentScaleHandler;
  bool m_inNativeSize = false;
  DispatchFrame* m_dispatchFrames = nullptr; // innermost first
  MStdCursor m_cursor = MStdCursor::Arrow;   // the cursor this window set last
  bool m_textInput = false;                  // the window system was told a text edit runs
  bool m_cursorShown = false;                // false: set it at the next mouse event

  // Native timer id -> (control, the control's own id).
  struct TimerEntry
  {
    MControl* control;
    std::int32_t id;
    std::int32_t periodMs;
  };
  std::map<std::int32_t, TimerEntry> m_timers;
  std::int32_t m_nextTimerId = 1;
  ClosedEvent m_closed;
};
