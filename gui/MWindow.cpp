#include "gui/MWindow.h"

#include "base/MException.h"
#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "base/MXmlItem.h"
#include "gui/MBitmap.h"
#include "gui/MDrawer.h"
#include "gui/MDrawerScaled.h"
#include "gui/MWindowSystemCommon.h"

#include <algorithm>
#include <cmath>

namespace
{

const MString kTraceMessages = "MWindowProc (messages)";

// Whether a visible control below `control` is drawn above the tree (FlagOverlayControl).
bool HasVisibleOverlay(const MControl& control)
{
  for (std::size_t i = 0; i < control.GetChildCount(); ++i)
  {
    const MControl& child = *control.GetChild(i);
    if (child.IsVisible() && (child.HasFlag(MControl::FlagOverlayControl) || HasVisibleOverlay(child)))
      return true;
  }
  return false;
}

// The tree lock's holds here run on the GUI thread for every size change, paint and event: a
// yield at each release would let every busy process on the machine run first (see MControl).
constexpr std::uint32_t kNoYield = MSynchronizationObject::kNoYieldAfterRelease;

bool IsMouseCode(MSystemEvent::Code code)
{
  return code <= MSystemEvent::MouseWheel;
}

bool IsButtonPress(MSystemEvent::Code code)
{
  return code == MSystemEvent::LeftDown || code == MSystemEvent::RightDown ||
         code == MSystemEvent::MiddleDown || code == MSystemEvent::LeftDoubleClick ||
         code == MSystemEvent::RightDoubleClick || code == MSystemEvent::MiddleDoubleClick;
}

// Visible, enabled, tab-stop controls below `control` in tree order (collapsed ones hide theirs).
void CollectTabStops(MControl& control, std::vector<MControl*>& list)
{
  for (std::size_t i = 0; i < control.GetChildCount(); ++i)
  {
    MControl& child = *control.GetChild(i);
    if (!child.IsVisible() || !child.IsEnabled())
      continue;
    if (child.HasFlag(MControl::FlagTabStop))
      list.push_back(&child);
    if (!child.IsCollapsed())
      CollectTabStops(child, list);
  }
}

MControl* HitTestBelow(MControl& control, MPoint position);

// The topmost visible overlay control (FlagOverlayControl) below `control` that contains
// `position` (in `control`'s coordinates): overlays are hit before anything else, wherever their
// parents end.
MControl* HitOverlayBelow(MControl& control, MPoint position)
{
  if (control.IsCollapsed())
    return nullptr;
  for (std::size_t i = control.GetChildCount(); i-- > 0;)
  {
    MControl& child = *control.GetChild(i);
    if (!child.IsVisible())
      continue;
    const MPoint inside{position.x - child.GetPosition().x, position.y - child.GetPosition().y};
    if (MControl* nested = HitOverlayBelow(child, inside))
      return nested;
    if (child.HasFlag(MControl::FlagOverlayControl) && child.GetBounds().Contains(position))
      return HitTestBelow(child, inside);
  }
  return nullptr;
}

MControl* HitTestBelow(MControl& control, MPoint position)
{
  // Children later in the list lie on top.
  if (control.IsCollapsed())
    return &control;
  for (std::size_t i = control.GetChildCount(); i-- > 0;)
  {
    MControl& child = *control.GetChild(i);
    if (!child.IsVisible())
      continue;
    if (child.GetBounds().Contains(position))
      return HitTestBelow(child,
                          MPoint{position.x - child.GetPosition().x, position.y - child.GetPosition().y});
  }
  return &control;
}

} // namespace

MWindow::MWindow() : m_invalidator(*this)
{
  m_window.store(this, std::memory_order_release);
  SetControlType(MControlType::Window);
}

MWindow::~MWindow()
{
  Close();
  DeleteChildren();
}

// --- native window ----------------------------------------------------------------------------------

void MWindow::Open(MWindowSystemCommon& system, MNativeHandle parent, bool popup)
{
  if (IsOpen())
    return;
  if (HasFlag(FlagMoveToScreenCenter) && parent == 0)
  {
    const MRect area =
        system.GetWorkArea(MPoint{GetPosition().x + GetSize().x / 2, GetPosition().y + GetSize().y / 2});
    m_position =
        MPoint{area.left + (area.Width() - GetSize().x) / 2, area.top + (area.Height() - GetSize().y) / 2};
  }
  MNativeWindowParams params;
  params.parent = parent;
  params.rect =
      MRect::FromSize(GetPosition().x, GetPosition().y, ToDevice(GetSize()).x, ToDevice(GetSize()).y);
  params.title = GetCaption();
  params.popup = popup;
  std::unique_ptr<MWindowDescriptor> descriptor = system.CreateNativeWindow(*this, params);
  if (descriptor == nullptr)
    throw MException(MString("The window system created no native window."));
  MWindowDescriptor& created = *descriptor;
  // The slot tagged with this type, else the first free one.
  auto slot = std::find_if(m_descriptors.begin(), m_descriptors.end(), [&created](const auto& d) {
    return d != nullptr && d->GetType() == created.GetType();
  });
  if (slot == m_descriptors.end())
    slot = std::find(m_descriptors.begin(), m_descriptors.end(), nullptr);
  if (slot == m_descriptors.end() || *slot != nullptr)
  {
    system.DestroyNativeWindow(std::move(descriptor));
    throw MException(MString("All descriptor slots of the window are in use."));
  }
  *slot = std::move(descriptor);
  AdoptSurfaceSize(created);
  m_system.store(&system, std::memory_order_release);
  system.AddWindow(*this);
  m_invalidator.Register();
  // Timers the controls started before (or while closed) tick from now on.
  for (const auto& [nativeId, entry] : m_timers)
    system.SetTimer(created, nativeId, entry.periodMs);
  if (IsVisible())
    system.Show(created, true);
  // Paint at once through the native path, so the first frame does not wait for the thread.
  system.InvalidateRect(created, ToDevice(GetRect()));
}

void MWindow::Close()
{
  MWindowSystemCommon* system = GetWindowSystem();
  if (system == nullptr)
    return;
  if (m_capture != nullptr)
    SetCaptureControl(nullptr);
  if (m_focus != nullptr)
    SetFocusControl(nullptr);
  UpdateTextInput();
  UpdateHighlight(nullptr);
  // Timers pause while the window is closed (they are kept for the next Open).
  for (const auto& [nativeId, entry] : m_timers)
    if (MWindowDescriptor* descriptor = GetDescriptor())
      system->SetTimer(*descriptor, nativeId, 0);
  m_invalidator.Unregister();
  for (auto& slot : m_descriptors)
  {
    if (slot != nullptr && slot.get() == GetDescriptor())
    {
      std::unique_ptr<MWindowDescriptor> descriptor = std::move(slot);
      system->DestroyNativeWindow(std::move(descriptor));
    }
  }
  system->RemoveWindow(*this);
  m_system.store(nullptr, std::memory_order_release);
  // A modal loop waiting for this window ends.
  if (GetModalResult() == MModalValue::None)
    SetModalResult(MModalValue::Cancel);
  MOnNotifyParams params{this};
  m_closed.Call(params);
}

MWindowDescriptor* MWindow::GetDescriptor() const
{
  for (const auto& slot : m_descriptors)
    if (slot != nullptr)
      return slot.get();
  return nullptr;
}

MWindowDescriptor* MWindow::GetDescriptor(std::uint32_t type) const
{
  for (const auto& slot : m_descriptors)
    if (slot != nullptr && slot->GetType() == type)
      return slot.get();
  return nullptr;
}

void MWindow::SetVisible(bool visible)
{
  if (visible == IsVisible())
    return;
  SetFlag(FlagVisible, visible);
  MWindowSystemCommon* system = GetWindowSystem();
  MWindowDescriptor* descriptor = GetDescriptor();
  if (system == nullptr || descriptor == nullptr)
    return;
  if (visible)
  {
    system->Show(*descriptor, true);
    Invalidate();
  }
  else
  {
    if (m_capture != nullptr)
      SetCaptureControl(nullptr);
    UpdateHighlight(nullptr);
    system->Hide(*descriptor);
  }
}

void MWindow::SetPosition(MPoint position)
{
  if (position == GetPosition())
    return;
  {
    MSynchronizationObjectGuard write(m_treeLock, MSynchronizationObject::kModeExclusive | kNoYield);
    m_position = position;
  }
  MWindowSystemCommon* system = GetWindowSystem();
  MWindowDescriptor* descriptor = GetDescriptor();
  if (system != nullptr && descriptor != nullptr && !m_inNativeSize)
    system->SetPosition(*descriptor, position);
}

void MWindow::SetSize(MSize size)
{
  size.x = std::max(size.x, 0);
  size.y = std::max(size.y, 0);
  if (size == GetSize())
    return;
  {
    MSynchronizationObjectGuard write(m_treeLock, MSynchronizationObject::kModeExclusive | kNoYield);
    m_size = size;
  }
  MWindowSystemCommon* system = GetWindowSystem();
  MWindowDescriptor* descriptor = GetDescriptor();
  if (system != nullptr && descriptor != nullptr && !m_inNativeSize)
  {
    system->SetSize(*descriptor, ToDevice(size));
    AdoptSurfaceSize(*descriptor);
  }
  Invalidate();
  OnSizeChanged();
  // A window arranges its children like a container: a client child fills it.
  for (std::size_t i = 0; i < GetChildCount(); ++i)
    if (MControl* child = GetChild(i); child->HasFlag(FlagClientLayout))
      child->SetBounds(GetClientRect());
}

void MWindow::AdoptSurfaceSize(MWindowDescriptor& descriptor)
{
  const MSize surface = FromDevice(descriptor.GetSurface().Size());
  if (surface == GetSize())
    return;
  MSynchronizationObjectGuard write(m_treeLock, MSynchronizationObject::kModeExclusive | kNoYield);
  m_size = surface;
}

void MWindow::SetScale(double scale)
{
  scale = std::clamp(scale == scale ? scale : 1.0, 0.5, 4.0);
  if (scale == m_scale)
    return;
  m_scale = scale;
  MWindowSystemCommon* system = GetWindowSystem();
  MWindowDescriptor* descriptor = GetDescriptor();
  if (system != nullptr && descriptor != nullptr)
  {
    system->SetSize(*descriptor, ToDevice(GetSize()));
    AdoptSurfaceSize(*descriptor);
  }
  Invalidate();
}

void MWindow::NotifyContentScaleChanged() noexcept
{
  MHostCallShield::Run(kTraceMessages, [&] {
    if (m_contentScaleHandler)
      m_contentScaleHandler();
  });
}

MSize MWindow::ToDevice(MSize size) const
{
  return MSize{static_cast<std::int32_t>(std::lround(size.x * m_scale)),
               static_cast<std::int32_t>(std::lround(size.y * m_scale))};
}

MRect MWindow::ToDevice(const MRect& rect) const
{
  if (m_scale == 1.0)
    return rect;
  return MRect{static_cast<std::int32_t>(std::floor(rect.left * m_scale)),
               static_cast<std::int32_t>(std::floor(rect.top * m_scale)),
               static_cast<std::int32_t>(std::ceil(rect.right * m_scale)),
               static_cast<std::int32_t>(std::ceil(rect.bottom * m_scale))};
}

MSize MWindow::FromDevice(MSize size) const
{
  return MSize{static_cast<std::int32_t>(std::lround(size.x / m_scale)),
               static_cast<std::int32_t>(std::lround(size.y / m_scale))};
}

void MWindow::SetCaption(const MString& caption)
{
  MControl::SetCaption(caption);
  MWindowSystemCommon* system = GetWindowSystem();
  MWindowDescriptor* descriptor = GetDescriptor();
  if (system != nullptr && descriptor != nullptr)
    system->SetTitle(*descriptor, caption);
}

void MWindow::OnNativeSize(MSize size)
{
  m_inNativeSize = true;
  try
  {
    SetSize(FromDevice(size));
  }
  catch (...)
  {
    m_inNativeSize = false;
    throw;
  }
  m_inNativeSize = false;
}

// --- painting ---------------------------------------------------------------------------------------

void MWindow::PaintSurface(MDrawer& drawer, const MRect& dirty)
{
  MWindowSystemCommon* system = GetWindowSystem();
  m_nesting.fetch_add(1, std::memory_order_relaxed);
  if (system != nullptr)
    system->EnterHandler();
  const bool painted = MHostCallShield::Run(kTraceMessages, [&] {
    MSynchronizationObjectGuard read(m_treeLock, MSynchronizationObject::kModeShared | kNoYield);
    if (m_scale != 1.0)
    {
      // Zoomed: the tree paints in logical pixels through the scaling drawer.
      if (m_scaledDrawer == nullptr)
        m_scaledDrawer = std::make_unique<MDrawerScaled>();
      m_scaledDrawer->Begin(drawer, m_scale);
      struct EndScaled
      {
        MDrawerScaled& scaled;
        ~EndScaled() { scaled.End(); }
      } end{*m_scaledDrawer};
      PaintLogical(*m_scaledDrawer, m_scaledDrawer->FromDevice(dirty));
      return;
    }
    PaintLogical(drawer, dirty);
  });
  if (!painted)
    m_invalidator.Add(
        MRect{static_cast<std::int32_t>(std::floor(dirty.left / m_scale)),
              static_cast<std::int32_t>(std::floor(dirty.top / m_scale)),
              static_cast<std::int32_t>(std::ceil(dirty.right / m_scale)),
              static_cast<std::int32_t>(std::ceil(dirty.bottom / m_scale))}); // painted again later
  m_nesting.fetch_sub(1, std::memory_order_relaxed);
  if (system != nullptr)
    system->LeaveHandler();
}

void MWindow::PaintLogical(MDrawer& drawer, const MRect& dirty)
{
  {
    const MPoint oldOrigin = drawer.SetOrigin(MPoint{});
    const MRect target = MRect{0, 0, drawer.GetTargetSize().x, drawer.GetTargetSize().y};
    const MRect oldClip = drawer.IntersectClip(target);
    const MRect area = dirty.Intersect(target).Intersect(GetRect());
    std::vector<Overlay> overlays;
    // A change inside a control that paints itself opaquely (the tuning indicator at every new
    // figure) starts there: what its parents would paint beneath is covered anyway. Not while an
    // overlay is shown: it may lie above the area from elsewhere in the tree.
    MPoint at{};
    MControl* cover = HasVisibleOverlay(*this) ? nullptr : FindOpaqueCover(drawer, *this, MPoint{}, area, at);
    if (cover != nullptr)
      PaintTree(drawer, *cover, at, area, overlays);
    else
      PaintTree(drawer, *this, MPoint{}, area, overlays);
    // Overlays last, above the whole tree and clipped by the window only (the list grows while
    // overlays inside overlays are found).
    for (std::size_t i = 0; i < overlays.size(); ++i)
    {
      const Overlay overlay = overlays[i];
      PaintTree(drawer, *overlay.control, overlay.origin, area, overlays);
    }
    drawer.SetOrigin(MPoint{});
    drawer.RestoreClip(oldClip);
    drawer.SetOrigin(oldOrigin);
  }
}

void MWindow::PaintTree(MDrawer& drawer, MControl& control, MPoint origin, const MRect& clip,
                        std::vector<Overlay>& overlays)
{
  const MRect rect =
      MRect::FromSize(origin.x, origin.y, control.GetSize().x, control.GetSize().y).Intersect(clip);
  // Outside the dirty area nothing is painted, but the walk goes on: an overlay below may reach
  // into it.
  if (!rect.IsEmpty())
  {
    drawer.SetOrigin(MPoint{});
    drawer.SetClip(rect);
    drawer.SetOrigin(origin);
    // A control whose paint fails leaves the others intact and is painted again later.
    if (!MHostCallShield::Run(kTraceMessages, [&] { control.Paint(drawer); }))
      m_invalidator.Add(rect);
  }
  if (control.IsCollapsed())
    return;
  for (std::size_t i = 0; i < control.GetChildCount(); ++i)
  {
    MControl& child = *control.GetChild(i);
    if (!child.IsVisible())
      continue;
    const MPoint childOrigin{origin.x + child.GetPosition().x, origin.y + child.GetPosition().y};
    if (child.HasFlag(FlagOverlayControl))
      overlays.push_back(Overlay{&child, childOrigin});
    else
      PaintTree(drawer, child, childOrigin, rect, overlays);
  }
}

MControl* MWindow::FindOpaqueCover(const MDrawer& drawer, MControl& control, MPoint origin,
                                   const MRect& dirty, MPoint& at)
{
  if (control.IsCollapsed())
    return nullptr;
  // Topmost first: the last child painted is the one seen where children overlap.
  for (std::size_t i = control.GetChildCount(); i-- > 0;)
  {
    MControl& child = *control.GetChild(i);
    if (!child.IsVisible())
      continue;
    const MPoint childOrigin{origin.x + child.GetPosition().x, origin.y + child.GetPosition().y};
    const MRect covered =
        MRect::FromSize(childOrigin.x, childOrigin.y, child.GetSize().x, child.GetSize().y).Intersect(dirty);
    if (covered.IsEmpty())
      continue;
    if (covered != dirty)
      return nullptr; // partly on top: what lies beneath shows beside it
    if (MControl* deeper = FindOpaqueCover(drawer, child, childOrigin, dirty, at))
      return deeper;
    if (!child.PaintsOpaquely(drawer))
      return nullptr;
    at = childOrigin;
    return &child;
  }
  return nullptr;
}

void MWindow::Paint(MDrawer& drawer)
{
  if (GetStyle() != nullptr)
    MControl::Paint(drawer);
  else
    drawer.FillRectangle(GetRect(), kPlainBackground, MColorOp::Copy);
}

void MWindow::SetStyle(MStyle* style)
{
  m_style = style;
  Invalidate();
}

// --- input ------------------------------------------------------------------------------------------

void MWindow::DispatchSystemEvent(const MSystemEvent& event) noexcept
{
  MWindowSystemCommon* system = GetWindowSystem();
  m_nesting.fetch_add(1, std::memory_order_relaxed);
  if (system != nullptr)
    system->EnterHandler();
  const MString trace =
      event.code == MSystemEvent::KeyDown     ? MString("Processing keyboard event MSystemEvent::KeyDown")
      : event.code == MSystemEvent::KeyUp     ? MString("Processing keyboard event MSystemEvent::KeyUp")
      : event.code == MSystemEvent::Character ? MString("Processing keyboard event MSystemEvent::Character")
                                              : kTraceMessages;
  MHostCallShield::Run(trace, [&] {
    const auto dispatch = [&] {
      if (system != nullptr && system->ShouldSwallowInput(event))
        return;
      if (system != nullptr && IsButtonPress(event.code) && DismissPopupsElsewhere(*system))
        return;
      if (m_scale != 1.0 && IsMouseCode(event.code))
      {
        // The back end reports device pixels; the controls live in logical ones.
        MSystemEvent logical = event;
        logical.position = MPoint{static_cast<std::int32_t>(std::floor(event.position.x / m_scale)),
                                  static_cast<std::int32_t>(std::floor(event.position.y / m_scale))};
        DispatchHeld(logical);
        return;
      }
      DispatchHeld(event);
    };
    dispatch();
    UpdateTextInput();
  });
  m_nesting.fetch_sub(1, std::memory_order_relaxed);
  if (system != nullptr)
    system->LeaveHandler(); // drains the event processor when no handler runs anymore
}

bool MWindow::DismissPopupsElsewhere(MWindowSystemCommon& system)
{
  std::vector<MWindow*> popups;
  for (MWindow* window : system.GetWindows())
    if (window != this && window->IsVisible() && window->ClosesOnOutsideClick())
      popups.push_back(window);
  if (popups.empty())
    return false;
  // Copied first: closing changes the system's list.
  for (MWindow* popup : popups)
    popup->OnCloseRequested();
  system.SuppressInput(); // the button's release and a double click belong to the dismissal
  return true;
}

void MWindow::DispatchHeld(const MSystemEvent& event)
{
  switch (event.code)
  {
  case MSystemEvent::Size:
    OnNativeSize(MSize{event.position.x, event.position.y});
    return;
  case MSystemEvent::Close:
    OnCloseRequested();
    return;
  default:
    break;
  }
  MSynchronizationObjectGuard read(m_treeLock, MSynchronizationObject::kModeShared | kNoYield);
  if (IsMouseCode(event.code))
  {
    DispatchMouse(event);
    return;
  }
  switch (event.code)
  {
  case MSystemEvent::MouseLeave:
    if (m_capture == nullptr)
      UpdateHighlight(nullptr);
    m_cursorShown = false; // another window may set its own meanwhile
    break;
  case MSystemEvent::CaptureLost:
    if (MControl* captured = m_capture)
    {
      m_capture = nullptr;
      captured->OnCaptureLost();
    }
    break;
  case MSystemEvent::FocusIn:
    if (m_focus != nullptr)
      m_focus->OnFocusIn();
    break;
  case MSystemEvent::FocusOut:
    if (m_focus != nullptr)
      m_focus->OnFocusOut();
    break;
  case MSystemEvent::Timer:
    if (auto it = m_timers.find(event.value); it != m_timers.end())
      it->second.control->OnTimer(it->second.id);
    break;
  case MSystemEvent::KeyDown:
  case MSystemEvent::KeyUp:
  case MSystemEvent::Character:
    DispatchKey(event);
    break;
  default:
    break;
  }
}

void MWindow::DispatchMouse(const MSystemEvent& event)
{
  const MControl* highlightBefore = m_highlight;
  MControl* under = HitTest(event.position);
  if (under != nullptr && !under->IsEnabledInWindow())
    under = nullptr;
  // The highlight follows the mouse, except while a control holds the capture.
  if (m_capture == nullptr)
  {
    DispatchFrame underFrame(*this, under);
    UpdateHighlight(under); // enter and leave handlers may change the tree
    if (underFrame.gone)
      under = nullptr;
  }
  if (MWindowSystemCommon* system = GetWindowSystem(); system != nullptr && under != nullptr)
    if (MWindowDescriptor* descriptor = GetDescriptor())
      system->RequestMouseLeave(*descriptor);

  MControl* target = m_capture != nullptr ? m_capture : under;
  if (target == nullptr)
  {
    UpdateCursor(event.position, m_highlight != highlightBefore); // the arrow over nothing
    return;
  }
  DispatchFrame targetFrame(*this, target);
  // A press elsewhere ends a text edit, as it would in a native field, even on a control that
  // takes no focus itself.
  if (IsButtonPress(event.code) && m_focus != nullptr && m_focus->WantsTextInput() &&
      !m_focus->IsAncestorOf(target))
  {
    SetFocusControl(nullptr);
    if (targetFrame.gone)
      return;
  }

  const auto deliver = [&](MSystemEvent::Code code, std::uint32_t modifiers) {
    const MMouseButton button = static_cast<MMouseButton>(static_cast<int>(code) % 3);
    // Up the chain until someone consumes it; a handler that takes its control (or a parent)
    // out of the tree ends the walk there: the parents may be gone.
    for (MControl* c = target; c != nullptr; c = (c == this) ? nullptr : c->GetParent())
    {
      DispatchFrame frame(*this, c);
      const MPoint origin = c->GetWindowPosition();
      const MPoint p{event.position.x - origin.x, event.position.y - origin.y};
      if (code == MSystemEvent::LeftDown || code == MSystemEvent::RightDown ||
          code == MSystemEvent::MiddleDown)
      {
        if (c->AcceptsFocus() && m_focus != c)
          SetFocusControl(c);
        if (frame.gone)
          return true;
      }
      bool consumed = false;
      switch (code)
      {
      case MSystemEvent::LeftDown:
      case MSystemEvent::RightDown:
      case MSystemEvent::MiddleDown:
        consumed = c->OnMouseDown(button, p, modifiers);
        break;
      case MSystemEvent::LeftUp:
      case MSystemEvent::RightUp:
      case MSystemEvent::MiddleUp:
        consumed = c->OnMouseUp(button, p, modifiers);
        break;
      case MSystemEvent::LeftDoubleClick:
      case MSystemEvent::RightDoubleClick:
      case MSystemEvent::MiddleDoubleClick:
        consumed = c->OnMouseDoubleClick(button, p, modifiers);
        break;
      case MSystemEvent::MouseMove:
        consumed = c->OnMouseMove(p, modifiers);
        break;
      case MSystemEvent::MouseWheel:
        consumed = c->OnMouseWheel(p, event.value, modifiers);
        break;
      default:
        break;
      }
      if (consumed || frame.gone)
        return true;
      // Moves only reach the control itself (parents track their own through enter/leave).
      if (code == MSystemEvent::MouseMove)
        return false;
    }
    return false;
  };

  switch (event.code)
  {
  case MSystemEvent::LeftDoubleClick:
  case MSystemEvent::RightDoubleClick:
  case MSystemEvent::MiddleDoubleClick:
    if (!deliver(event.code, event.modifiers) && !targetFrame.gone)
    {
      // Nobody wanted the double click: it is a second click.
      const auto down = static_cast<MSystemEvent::Code>(event.code - MSystemEvent::LeftDoubleClick);
      deliver(down, event.modifiers | MSystemEvent::ModDoubleClick);
    }
    break;
  default:
    deliver(event.code, event.modifiers);
    break;
  }
  // The handlers may have taken the capture or changed the tree: look again.
  UpdateCursor(event.position, m_highlight != highlightBefore);
}

void MWindow::UpdateCursor(MPoint position, bool force)
{
  MControl* control = m_capture;
  if (control == nullptr)
  {
    control = HitTest(position);
    if (control != nullptr && !control->IsEnabledInWindow())
      control = nullptr;
  }
  MStdCursor cursor = MStdCursor::Arrow;
  if (control != nullptr)
  {
    const MPoint origin = control->GetWindowPosition();
    cursor = control->GetCursor(MPoint{position.x - origin.x, position.y - origin.y});
  }
  if (m_cursorShown && cursor == m_cursor && !force)
    return;
  MWindowSystemCommon* system = GetWindowSystem();
  if (system == nullptr)
    return;
  // The back end shows it over this window (X11 defines it on the window under the pointer,
  // Win32 answers WM_SETCURSOR with it).
  system->SetCursor(cursor);
  m_cursor = cursor;
  m_cursorShown = true;
}

void MWindow::DispatchKey(const MSystemEvent& event)
{
  MControl* target = m_focus != nullptr ? m_focus : this;
  for (MControl* c = target; c != nullptr; c = (c == this) ? nullptr : c->GetParent())
  {
    DispatchFrame frame(*this, c);
    bool consumed = false;
    if (event.code == MSystemEvent::KeyDown)
      consumed = c->OnKeyDown(event.value, event.modifiers);
    else if (event.code == MSystemEvent::KeyUp)
      consumed = c->OnKeyUp(event.value, event.modifiers);
    else
      consumed = c->OnCharacter(event.value, event.modifiers);
    // A control that left the tree ends the walk: its parents may be gone.
    if (consumed || frame.gone)
      return;
  }
  if (event.code != MSystemEvent::KeyDown)
    return;
  if (event.value == MVirtualKey::Tab &&
      (event.modifiers & (MSystemEvent::ModControl | MSystemEvent::ModAlt)) == 0)
    MoveFocus((event.modifiers & MSystemEvent::ModShift) == 0);
  else if (event.value == MVirtualKey::Escape && HasFlag(FlagCloseOnEscape))
    OnCloseRequested();
}

void MWindow::UpdateHighlight(MControl* control)
{
  if (control == m_highlight)
    return;
  MControl* old = m_highlight;
  m_highlight = control;
  if (old != nullptr)
  {
    old->m_highlighted = false;
    old->OnMouseLeave();
  }
  if (control != nullptr)
  {
    control->m_highlighted = true;
    control->OnMouseEnter();
  }
}

MControl* MWindow::HitTest(MPoint position) const
{
  if (!GetRect().Contains(position))
    return nullptr;
  MWindow& self = const_cast<MWindow&>(*this);
  if (MControl* overlay = HitOverlayBelow(self, position))
    return overlay;
  return HitTestBelow(self, position);
}

void MWindow::SetFocusControl(MControl* control)
{
  if (control == this)
    control = nullptr;
  if (control == m_focus)
    return;
  MControl* old = m_focus;
  m_focus = control;
  if (old != nullptr)
    old->OnFocusOut();
  if (control != nullptr)
    control->OnFocusIn();
  UpdateTextInput();
}

void MWindow::UpdateTextInput()
{
  const bool wanted = m_focus != nullptr && m_focus->WantsTextInput();
  if (wanted == m_textInput)
    return;
  MWindowSystemCommon* system = GetWindowSystem();
  MWindowDescriptor* descriptor = GetDescriptor();
  m_textInput = wanted && system != nullptr && descriptor != nullptr;
  if (system != nullptr && descriptor != nullptr)
    system->SetTextInput(*descriptor, wanted);
}

void MWindow::SetCaptureControl(MControl* control)
{
  if (control == m_capture)
    return;
  MControl* old = m_capture;
  m_capture = control;
  MWindowSystemCommon* system = GetWindowSystem();
  MWindowDescriptor* descriptor = GetDescriptor();
  if (system != nullptr)
    system->SetCapture(control != nullptr ? descriptor : nullptr);
  if (old != nullptr && control != nullptr)
    old->OnCaptureLost();
}

void MWindow::SetControlTimer(MControl& control, std::int32_t id, std::int32_t periodMs)
{
  std::int32_t nativeId = 0;
  for (const auto& [native, entry] : m_timers)
    if (entry.control == &control && entry.id == id)
      nativeId = native;
  if (periodMs <= 0 && nativeId == 0)
    return;
  if (periodMs <= 0)
    m_timers.erase(nativeId);
  else
  {
    if (nativeId == 0)
      nativeId = m_nextTimerId++;
    m_timers[nativeId] = TimerEntry{&control, id, periodMs};
  }
  MWindowSystemCommon* system = GetWindowSystem();
  MWindowDescriptor* descriptor = GetDescriptor();
  if (system != nullptr && descriptor != nullptr)
    system->SetTimer(*descriptor, nativeId, periodMs);
}

bool MWindow::MoveFocus(bool forward, MControl* within)
{
  std::vector<MControl*> stops;
  CollectTabStops(within != nullptr ? *within : *this, stops);
  if (stops.empty())
    return false;
  auto it = std::find(stops.begin(), stops.end(), m_focus);
  std::size_t index;
  if (it == stops.end())
    index = forward ? 0 : stops.size() - 1;
  else
  {
    const std::size_t current = static_cast<std::size_t>(it - stops.begin());
    index = forward ? (current + 1) % stops.size() : (current + stops.size() - 1) % stops.size();
  }
  SetFocusControl(stops[index]);
  return true;
}

MWindow::DispatchFrame::DispatchFrame(MWindow& window, const MControl* control)
    : m_window(window), m_control(control), m_next(window.m_dispatchFrames)
{
  window.m_dispatchFrames = this;
}

MWindow::DispatchFrame::~DispatchFrame()
{
  m_window.m_dispatchFrames = m_next;
}

void MWindow::ForgetControl(const MControl* control)
{
  if (control == nullptr)
    return;
  for (DispatchFrame* frame = m_dispatchFrames; frame != nullptr; frame = frame->m_next)
    if (!frame->gone && control->IsAncestorOf(frame->m_control))
      frame->gone = true;
  if (control->IsAncestorOf(m_focus))
  {
    m_focus = nullptr;
    UpdateTextInput(); // a sheet's field that goes with its sheet hands the keyboard back
  }
  if (control->IsAncestorOf(m_capture))
  {
    m_capture = nullptr;
    if (MWindowSystemCommon* system = GetWindowSystem())
      system->SetCapture(nullptr);
  }
  if (control->IsAncestorOf(m_highlight))
    m_highlight = nullptr;
  for (auto it = m_timers.begin(); it != m_timers.end();)
  {
    if (control->IsAncestorOf(it->second.control))
    {
      if (MWindowSystemCommon* system = GetWindowSystem())
        if (MWindowDescriptor* descriptor = GetDescriptor())
          system->SetTimer(*descriptor, it->first, 0);
      it = m_timers.erase(it);
    }
    else
      ++it;
  }
}

void MWindow::OnCloseRequested()
{
  if (GetModalResult() == MModalValue::None)
    SetModalResult(MModalValue::Cancel);
  Close();
}

// --- state ------------------------------------------------------------------------------------------

void MWindow::SaveState(MXmlItem& item) const
{
  if (!HasFlag(FlagEnableSaveState))
    return;
  MControl::SaveState(item);
  if (HasFlag(FlagSaveWindowPos))
  {
    item.SetAttribute("windowposx", MString::FromInteger(GetPosition().x));
    item.SetAttribute("windowposy", MString::FromInteger(GetPosition().y));
  }
  if (HasFlag(FlagSaveWindowSize))
  {
    item.SetAttribute("windowsizex", MString::FromInteger(GetSize().x));
    item.SetAttribute("windowsizey", MString::FromInteger(GetSize().y));
  }
  item.SetAttribute("maximized", m_maximized ? MString("1") : MString("0"));
}

void MWindow::LoadState(const MXmlItem& item)
{
  if (!HasFlag(FlagEnableSaveState))
    return;
  MControl::LoadState(item);
  const auto read = [&item](const char* name, std::int32_t fallback) {
    if (!item.HasAttribute(MString::FromLiteral(name)))
      return fallback;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(item.GetAttribute().ToInteger(), -1000000, 1000000));
  };
  if (HasFlag(FlagSaveWindowPos))
    SetPosition(MPoint{read("windowposx", GetPosition().x), read("windowposy", GetPosition().y)});
  if (HasFlag(FlagSaveWindowSize))
    SetSize(MSize{read("windowsizex", GetSize().x), read("windowsizey", GetSize().y)});
  if (item.HasAttribute("maximized"))
    m_maximized = item.GetAttribute().ToInteger() != 0;
}
