#pragma once
// MControl: a node of the control tree that every window paints and routes input through.
//
// A control is a rectangle inside its parent (position relative to the parent's top-left corner,
// size in pixels) with flags, a caption, a help text, a font and a control type that tells the
// style how to draw it. A parent owns its children; children are painted after (above) their
// parent, in child order, and clipped to the parent. The tree hangs below an MWindow, which owns
// the native window, the tree lock and the invalidator.
//
// Threads:
//  - Everything runs on the GUI thread, except Invalidate and GetWindow, which a worker may call
//    as long as the control stays alive meanwhile.
//  - Structural changes (AddChild, RemoveChild, SetPosition, SetSize, SetVisible, SetCollapsed and
//    destroying an attached control) take the window's tree lock exclusively; input dispatch and
//    painting hold it shared; Invalidate from a worker takes it shared to compute the rectangle.
//
// Input: the window calls the virtual handlers below with positions in the control's own
// coordinates. A handler answers true when it consumed the event; an unconsumed event goes to the
// parent, and so on up to the window. A control that wants the mouse while a button is held calls
// SetCapture in its down handler and ReleaseCapture in its up handler.
//
// Failure: reading XML attributes throws MException for an unknown enumeration name, naming the
// attribute; nothing is changed for the attributes after the failing one.

#include "base/MCallback.h"
#include "base/MEventParams.h"
#include "base/MEventTarget.h"
#include "base/MString.h"
#include "gui/MGuiTypes.h"
#include "gui/MStyle.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class MDrawer;
class MWindow;
class MXmlItem;

/// Mouse buttons, in the order of the MSystemEvent codes (LeftDown, RightDown, MiddleDown).
enum class MMouseButton : std::int32_t
{
  Left = 0,
  Right = 1,
  Middle = 2,
};

class MControl : public MEventTarget
{
public:
  /// Flag bits (GetFlags). Defaults: visible, enabled, enable save state, save sub-control state.
  enum Flag : std::uint32_t
  {
    FlagVisible = 1u << 0,
    FlagEnabled = 1u << 1,
    FlagTabStop = 1u << 2,
    FlagAutoDetectMinimalSize = 1u << 3,
    /// Painted after the whole tree and hit before it, clipped by the window only, not by its
    /// parents (a typed-entry field wider than its control).
    FlagOverlayControl = 1u << 4,
    FlagAdaptSize = 1u << 5,
    FlagPlastic = 1u << 6,
    FlagPlasticAdaptSize = 1u << 7,
    FlagCollapsable = 1u << 8,
    FlagCollapsed = 1u << 9,
    FlagSaveLayoutRatio = 1u << 10,
    FlagUseParentHelp = 1u << 11,
    FlagCloseOnEscape = 1u << 12,
    FlagMoveToScreenCenter = 1u << 13,
    FlagAutoSaveState = 1u << 14,
    FlagSaveWindowPos = 1u << 15,
    FlagSaveWindowSize = 1u << 16,
    FlagEnableSaveState = 1u << 17,
    FlagSaveSubControlState = 1u << 18,
    FlagClientLayout = 1u << 19, ///< becomes the parent container's client control
    FlagShowHelp = 1u << 20,     ///< shows a help button
  };
  static constexpr std::uint32_t kDefaultFlags =
      FlagVisible | FlagEnabled | FlagEnableSaveState | FlagSaveSubControlState;

  /// Notification that something about a control changed (value, check state, selection ...).
  using ChangedEvent = MCallback<MOnNotifyParams>;

  MControl();
  MControl(const MControl&) = delete;
  MControl& operator=(const MControl&) = delete;
  /// Destroys the children first. An attached control also forgets itself in its window (focus,
  /// capture, highlight, timers). GUI thread.
  ~MControl() override;

  // --- tree ---------------------------------------------------------------------------------
  MControl* GetParent() const { return m_parent; }
  /// The window whose tree holds this control (the control itself for a window); null while
  /// detached. Any thread.
  MWindow* GetWindow() const { return m_window.load(std::memory_order_acquire); }
  std::size_t GetChildCount() const { return m_children.size(); }
  /// Child at `index`; null outside the list.
  MControl* GetChild(std::size_t index) const;
  /// Takes ownership of `child` and inserts it before `index` (default: at the end, on top).
  /// A null child, one that already has a parent, or a window (windows are never children: an
  /// owner keeps its popup windows itself) throws MException. Answers the child.
  MControl& AddChild(std::unique_ptr<MControl> child, std::size_t index = SIZE_MAX);
  /// Creates a child of class T in place and answers it.
  template <class T, class... Arguments>
  T& Add(Arguments&&... arguments)
  {
    auto child = std::make_unique<T>(std::forward<Arguments>(arguments)...);
    T& reference = *child;
    AddChild(std::move(child));
    return reference;
  }
  /// Detaches `child` and hands it back (null when it is not a child of this control).
  std::unique_ptr<MControl> RemoveChild(MControl& child);
  /// Destroys every child.
  void DeleteChildren();
  /// First control with that id (exact comparison) in a depth-first search of the descendants,
  /// this control excluded; null when none.
  MControl* FindChild(const MString& id) const;
  /// Whether `control` is this control or one of its descendants.
  bool IsAncestorOf(const MControl* control) const;

  // --- identity and geometry ----------------------------------------------------------------
  const MString& GetId() const { return m_id; }
  void SetId(const MString& id) { m_id = id; }

  /// Position relative to the parent (a window: its native position).
  MPoint GetPosition() const { return m_position; }
  MSize GetSize() const { return m_size; }
  /// Rectangle in the control's own coordinates: (0, 0, width, height).
  MRect GetRect() const { return MRect{0, 0, m_size.x, m_size.y}; }
  /// Rectangle in the parent's coordinates.
  MRect GetBounds() const { return MRect::FromSize(m_position.x, m_position.y, m_size.x, m_size.y); }
  /// Top-left corner in window client coordinates (a window's own is 0, 0).
  MPoint GetWindowPosition() const;
  /// Rectangle in window client coordinates.
  MRect GetWindowRect() const;
  /// Moves the control (and invalidates the old and new area). Negative sizes become 0.
  virtual void SetPosition(MPoint position);
  virtual void SetSize(MSize size);
  void SetBounds(const MRect& bounds);

  /// Client rectangle (control coordinates): the style's client area for the control type and
  /// caption, or the whole control when there is no style.
  virtual MRect GetClientRect() const;

  MSize GetMinimalClientSize() const { return m_minClientSize; }
  void SetMinimalClientSize(MSize size) { m_minClientSize = size; }
  MSize GetLayoutRatio() const { return m_layoutRatio; }
  void SetLayoutRatio(MSize ratio) { m_layoutRatio = ratio; }
  MSize GetLayoutBorder() const { return m_layoutBorder; }
  void SetLayoutBorder(MSize border) { m_layoutBorder = border; }
  MAlignment GetLayoutPlacement() const { return m_layoutPlacement; }
  void SetLayoutPlacement(MAlignment placement) { m_layoutPlacement = placement; }

  /// Smallest outer size: the style's control size for the minimal client size (without a style
  /// the minimal client size itself). A collapsed control needs only its caption height.
  virtual MSize GetMinimalSize() const;
  /// Size the control would like; the minimal size unless a control knows better.
  virtual MSize GetPreferredSize() const;

  // --- flags and appearance -----------------------------------------------------------------
  std::uint32_t GetFlags() const { return m_flags; }
  bool HasFlag(Flag flag) const { return (m_flags & flag) != 0; }
  /// Sets or clears flag bits without side effects (no invalidation); see the setters below.
  void SetFlag(Flag flag, bool on);

  bool IsVisible() const { return HasFlag(FlagVisible); }
  /// Visible itself and every ancestor up to the window.
  bool IsVisibleInWindow() const;
  /// Hides or shows the control; invalidates its area. Hiding drops focus and capture inside.
  virtual void SetVisible(bool visible);
  bool IsEnabled() const { return HasFlag(FlagEnabled); }
  /// Enabled itself and every ancestor.
  bool IsEnabledInWindow() const;
  virtual void SetEnabled(bool enabled);
  bool IsCollapsed() const { return HasFlag(FlagCollapsed); }
  /// Collapses to the caption (only a collapsable control); children are not painted or hit.
  virtual void SetCollapsed(bool collapsed);

  const MString& GetCaption() const { return m_caption; }
  virtual void SetCaption(const MString& caption);
  MCaptionType GetCaptionType() const { return m_captionType; }
  void SetCaptionType(MCaptionType type);
  /// Help text (STML); with FlagUseParentHelp and an empty text, the parent's.
  MString GetHelp() const;
  void SetHelp(const MString& help) { m_help = help; }
  MStdFont GetFont() const { return m_font; }
  void SetFont(MStdFont font);
  MControlType GetControlType() const { return m_controlType; }
  void SetControlType(MControlType type);

  /// The style that paints this control: the window's style, else the window system's default;
  /// null when neither exists (then nothing but a plain window background is painted).
  MStyle* GetStyle() const;

  // --- state seen by the style --------------------------------------------------------------
  /// Under the mouse (set by the window).
  bool IsHighlighted() const { return m_highlighted; }
  /// Holds the keyboard focus of its window.
  bool IsFocused() const;
  /// Holds the mouse capture of its window.
  bool HasCapture() const;
  /// Pressed look (buttons while held, toggles that are on). Set by the controls themselves.
  bool IsClicked() const { return m_clicked; }
  void SetClicked(bool clicked);

  // --- repaint --------------------------------------------------------------------------------
  /// Marks the whole control for repaint. Any thread; never blocks for long; does nothing while
  /// the control is not in a window.
  void Invalidate();
  /// Marks `rect` (control coordinates, clipped to the control) for repaint. Any thread.
  void Invalidate(const MRect& rect);

  /// Paints the control itself (not its children) with the drawer's origin at the control's
  /// top-left corner and the clip set to the visible part. Default: fills an MControlPaint
  /// (FillPaint) and lets the style draw it (PaintControl, then PaintContent on the client
  /// rectangle when the paint carries text). Does nothing without a style. GUI thread, tree lock
  /// held shared; must not change the tree.
  virtual void Paint(MDrawer& drawer);
  /// Whether the next Paint on `drawer` covers every pixel of the control without reading what
  /// lies beneath: the window then paints a change inside it from this control on, without its
  /// parents. Default: false. Same thread and lock as Paint.
  virtual bool PaintsOpaquely(const MDrawer& drawer) const;
  /// Fills what the style needs to know; controls add their text, value and check state.
  virtual void FillPaint(MControlPaint& paint) const;

  // --- input (GUI thread, tree lock held shared; true = consumed) ----------------------------
  virtual bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers);
  virtual bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers);
  /// A double click; when no control consumes it, a down event with ModDoubleClick follows.
  virtual bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers);
  virtual bool OnMouseMove(MPoint position, std::uint32_t modifiers);
  /// `delta`: 120 per notch, positive away from the user.
  virtual bool OnMouseWheel(MPoint position, std::int32_t delta, std::uint32_t modifiers);
  /// The mouse entered / left the control (highlight). Default: invalidate.
  virtual void OnMouseEnter();
  virtual void OnMouseLeave();
  /// The window took the capture away (another window, or the system).
  virtual void OnCaptureLost();
  /// `key`: MVirtualKey code.
  virtual bool OnKeyDown(std::int32_t key, std::uint32_t modifiers);
  virtual bool OnKeyUp(std::int32_t key, std::uint32_t modifiers);
  /// `character`: Unicode code point.
  virtual bool OnCharacter(std::int32_t character, std::uint32_t modifiers);
  /// Focus arrived / left. Default: invalidate.
  virtual void OnFocusIn();
  virtual void OnFocusOut();
  /// A timer started with SetTimer fired.
  virtual bool OnTimer(std::int32_t id);
  /// Whether the control, while it holds the focus, is taking typed text (an edit field being
  /// edited): the window then asks its window system for the keyboard. Default: false.
  virtual bool WantsTextInput() const { return false; }
  /// Whether a click on the control gives it the keyboard focus. Default: the tab-stop flag.
  virtual bool AcceptsFocus() const;
  /// The mouse cursor over `position` (control coordinates); the window shows it while the
  /// control is under the mouse or holds the capture. Default: the arrow. Edit fields answer the
  /// text beam, splitters a resize arrow over the divider, value controls what their drag does
  /// (MValueGesture::GetCursor).
  virtual MStdCursor GetCursor(MPoint position) const;

  /// Requests focus, capture and timers through the window; nothing happens while detached.
  void SetFocus();
  void SetCapture();
  void ReleaseCapture();
  /// Starts (period > 0 ms) or stops (period <= 0) timer `id` of this control. Timers go on
  /// while the control is hidden or disabled, pause while the window is closed, and stop
  /// when the control leaves the window.
  void SetTimer(std::int32_t id, std::int32_t periodMs);

  // --- XML ------------------------------------------------------------------------------------
  /// Reads the attributes of the control table ("id", "visible", "controltype", ... ,
  /// "savesubcontrolstate") that `item` has; absent ones keep their values. Enumerations by
  /// their names (ASCII case folded). Throws MException naming the attribute for an unknown
  /// enumeration name. Subclasses add their own attributes.
  virtual void LoadAttributes(const MXmlItem& item);
  /// Writes every attribute of the table (so that LoadAttributes restores the same control).
  virtual void SaveAttributes(MXmlItem& item) const;

  /// Saves the user-visible state into `item`: "collapsed" (collapsable controls), and with
  /// FlagSaveSubControlState a sub-item per child with an id (named by the id). Nothing without
  /// FlagEnableSaveState. Windows add their position and size.
  virtual void SaveState(MXmlItem& item) const;
  /// Applies a state saved by SaveState (same rules); absent attributes change nothing.
  virtual void LoadState(const MXmlItem& item);

  /// Fires when the control's content or value changed through the user (value controls, check
  /// boxes ...). GUI thread; handlers run at once.
  ChangedEvent& GetChangedEvent() { return m_changed; }

protected:
  /// Called after the size changed (containers arrange their children here).
  virtual void OnSizeChanged() {}
  /// Fires the changed event with this control as sender.
  void NotifyChanged();
  /// Invalidates on the GUI thread only (no tree lock taken); used while the lock is held.
  void InvalidateHeld(const MRect& rect);

private:
  friend class MWindow;

  /// Invalidate with the tree lock taken shared; null: the whole control.
  void InvalidateShared(const MRect* rect);
  /// Sets the window of this subtree (null when detached).
  void SetWindowRecursive(MWindow* window);

  MControl* m_parent = nullptr;
  std::atomic<MWindow*> m_window{nullptr};
  std::vector<std::unique_ptr<MControl>> m_children;
  MString m_id;
  MPoint m_position;
  MSize m_size;
  MSize m_minClientSize;
  MSize m_layoutRatio{1, 1};
  MSize m_layoutBorder;
  MAlignment m_layoutPlacement = MAlign::Center;
  std::uint32_t m_flags = kDefaultFlags;
  MString m_caption;
  MCaptionType m_captionType = MCaptionType::None;
  MString m_help;
  MStdFont m_font = MStdFont::Normal;
  MControlType m_controlType = MControlType::Control;
  bool m_highlighted = false;
  bool m_clicked = false;
  ChangedEvent m_changed;
};
