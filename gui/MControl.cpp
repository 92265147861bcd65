#include "gui/MControl.h"

#include "base/MEnumerations.h"
#include "base/MException.h"
#include "base/MFormat.h"
#include "base/MLockGuard.h"
#include "base/MXmlItem.h"
#include "gui/MDrawer.h"
#include "gui/MWindow.h"
#include "gui/MWindowSystemCommon.h"

#include <algorithm>

namespace
{

// The tree lock's holds on the GUI thread's hot paths give the processor away on release only
// when asked: a yield per invalidation or move let every busy process on the machine run first,
// and building an editor does thousands of them (seconds under load).
constexpr std::uint32_t kNoYield = MSynchronizationObject::kNoYieldAfterRelease;

// Takes the tree lock of `window` exclusively for a structural change; nothing when detached.
class MTreeWriteGuard
{
public:
  explicit MTreeWriteGuard(MWindow* window) : m_window(window)
  {
    if (m_window != nullptr)
      m_window->GetTreeLock().Acquire(MSynchronizationObject::kModeExclusive);
  }
  ~MTreeWriteGuard()
  {
    if (m_window != nullptr)
      m_window->GetTreeLock().Release(MSynchronizationObject::kModeExclusive | kNoYield);
  }
  MTreeWriteGuard(const MTreeWriteGuard&) = delete;
  MTreeWriteGuard& operator=(const MTreeWriteGuard&) = delete;

private:
  MWindow* m_window;
};

// --- attribute helpers ------------------------------------------------------------------------

struct FlagAttribute
{
  const char* name;
  MControl::Flag flag;
};

// Boolean attributes of the control table, in table order.
constexpr FlagAttribute kFlagAttributes[] = {
    {"visible", MControl::FlagVisible},
    {"enabled", MControl::FlagEnabled},
    {"tabstop", MControl::FlagTabStop},
    {"autodetectminimalsize", MControl::FlagAutoDetectMinimalSize},
    {"overlaycontrol", MControl::FlagOverlayControl},
    {"adaptsize", MControl::FlagAdaptSize},
    {"plastic", MControl::FlagPlastic},
    {"plasticadaptsize", MControl::FlagPlasticAdaptSize},
    {"collapsable", MControl::FlagCollapsable},
    {"collapsed", MControl::FlagCollapsed},
    {"clientlayout", MControl::FlagClientLayout},
    {"layoutsaveratio", MControl::FlagSaveLayoutRatio},
    {"showhelp", MControl::FlagShowHelp},
    {"useparenthelp", MControl::FlagUseParentHelp},
    {"closeonescape", MControl::FlagCloseOnEscape},
    {"movetoscreencenter", MControl::FlagMoveToScreenCenter},
    {"autosavestate", MControl::FlagAutoSaveState},
    {"enablesavestate", MControl::FlagEnableSaveState},
    {"savewindowpos", MControl::FlagSaveWindowPos},
    {"savewindowsize", MControl::FlagSaveWindowSize},
    {"savesubcontrolstate", MControl::FlagSaveSubControlState},
};

bool ReadAttribute(const MXmlItem& item, const char* name, MString& value)
{
  if (!item.HasAttribute(MString::FromLiteral(name)))
    return false;
  value = item.GetAttribute();
  return true;
}

void ReadInteger(const MXmlItem& item, const char* name, std::int32_t& value)
{
  MString text;
  if (ReadAttribute(item, name, text))
    value = static_cast<std::int32_t>(std::clamp<std::int64_t>(text.ToInteger(), INT32_MIN, INT32_MAX));
}

[[noreturn]] void ThrowBadAttribute(const char* name, const MString& message)
{
  throw MException(
      MFormat::Format("Invalid value of attribute \"{0}\": {1}", MString::FromLiteral(name), message));
}

// Item of `table` named by the attribute, or throws naming the attribute and the enumeration.
template <class Enum>
bool ReadEnumeration(const MXmlItem& item, const char* name, const MEnumeration& table, const char* typeName,
                     Enum& value)
{
  MString text;
  if (!ReadAttribute(item, name, text))
    return false;
  const int index = table.Find(text);
  if (index < 0)
    ThrowBadAttribute(name, MFormat::Format("Invalid {0} identifier to parse ({1}).",
                                            MString::FromLiteral(typeName), text));
  value = static_cast<Enum>(index);
  return true;
}

void WriteInteger(MXmlItem& item, const char* name, std::int64_t value)
{
  item.SetAttribute(MString::FromLiteral(name), MString::FromInteger(value));
}

} // namespace

MControl::MControl() = default;

MControl::~MControl()
{
  // Children first, while this control is still whole (their destructors look at the window).
  DeleteChildren();
  if (MWindow* window = GetWindow(); window != nullptr && window != static_cast<MControl*>(this))
    window->ForgetControl(this);
}

// --- tree -------------------------------------------------------------------------------------

MControl* MControl::GetChild(std::size_t index) const
{
  return index < m_children.size() ? m_children[index].get() : nullptr;
}

MControl& MControl::AddChild(std::unique_ptr<MControl> child, std::size_t index)
{
  if (child == nullptr)
    throw MException(MString("MControl::AddChild: no control given."));
  if (child->m_parent != nullptr || child->GetWindow() == child.get())
    throw MException(MString("MControl::AddChild: the control already has a parent or is a window."));
  MControl& reference = *child;
  {
    MWindow* window = GetWindow();
    MTreeWriteGuard guard(window);
    index = std::min(index, m_children.size());
    m_children.insert(m_children.begin() + static_cast<std::ptrdiff_t>(index), std::move(child));
    reference.m_parent = this;
    reference.SetWindowRecursive(window);
  }
  reference.Invalidate();
  return reference;
}

std::unique_ptr<MControl> MControl::RemoveChild(MControl& child)
{
  auto it = std::find_if(m_children.begin(), m_children.end(),
                         [&child](const std::unique_ptr<MControl>& c) { return c.get() == &child; });
  if (it == m_children.end())
    return nullptr;
  child.Invalidate();
  MWindow* window = GetWindow();
  MTreeWriteGuard guard(window);
  std::unique_ptr<MControl> owned = std::move(*it);
  m_children.erase(it);
  if (window != nullptr)
    window->ForgetControl(owned.get());
  owned->m_parent = nullptr;
  owned->SetWindowRecursive(nullptr);
  return owned;
}

void MControl::DeleteChildren()
{
  if (m_children.empty())
    return;
  MWindow* window = GetWindow();
  std::vector<std::unique_ptr<MControl>> children;
  {
    MTreeWriteGuard guard(window);
    children.swap(m_children);
    for (auto& child : children)
      child->m_parent = nullptr;
  }
  if (window != nullptr && window != this)
    InvalidateHeld(GetRect());
  // Destroyed outside the lock: their destructors take it themselves (recursively, one by one).
  children.clear();
}

MControl* MControl::FindChild(const MString& id) const
{
  for (const auto& child : m_children)
  {
    if (child->m_id == id)
      return child.get();
    if (MControl* found = child->FindChild(id))
      return found;
  }
  return nullptr;
}

bool MControl::IsAncestorOf(const MControl* control) const
{
  for (; control != nullptr; control = control->m_parent)
    if (control == this)
      return true;
  return false;
}

void MControl::SetWindowRecursive(MWindow* window)
{
  if (GetWindow() == static_cast<MControl*>(this))
    return; // a window inside a tree keeps itself
  m_window.store(window, std::memory_order_release);
  for (auto& child : m_children)
    child->SetWindowRecursive(window);
}

// --- geometry -----------------------------------------------------------------------------------

MPoint MControl::GetWindowPosition() const
{
  MPoint p;
  for (const MControl* c = this; c != nullptr && c != static_cast<const MControl*>(GetWindow());
       c = c->m_parent)
  {
    p.x += c->m_position.x;
    p.y += c->m_position.y;
  }
  return p;
}

MRect MControl::GetWindowRect() const
{
  const MPoint p = GetWindowPosition();
  return MRect::FromSize(p.x, p.y, m_size.x, m_size.y);
}

void MControl::SetPosition(MPoint position)
{
  if (position == m_position)
    return;
  Invalidate();
  {
    MTreeWriteGuard guard(GetWindow());
    m_position = position;
  }
  Invalidate();
}

void MControl::SetSize(MSize size)
{
  size.x = std::max(size.x, 0);
  size.y = std::max(size.y, 0);
  if (size == m_size)
    return;
  Invalidate();
  {
    MTreeWriteGuard guard(GetWindow());
    m_size = size;
  }
  Invalidate();
  OnSizeChanged();
}

void MControl::SetBounds(const MRect& bounds)
{
  SetPosition(MPoint{bounds.left, bounds.top});
  SetSize(MSize{bounds.Width(), bounds.Height()});
}

MRect MControl::GetClientRect() const
{
  if (const MStyle* style = GetStyle())
    return style->GetClientRect(m_controlType, m_captionType, m_size);
  return GetRect();
}

MSize MControl::GetMinimalSize() const
{
  const MStyle* style = GetStyle();
  if (style == nullptr)
    return m_minClientSize;
  if (IsCollapsed())
  {
    // Only the caption: the outer size of an empty client area.
    MSize size = style->GetControlSize(m_controlType, m_captionType, MSize{m_minClientSize.x, 0});
    return size;
  }
  return style->GetControlSize(m_controlType, m_captionType, m_minClientSize);
}

MSize MControl::GetPreferredSize() const
{
  return GetMinimalSize();
}

// --- flags and appearance -------------------------------------------------------------------------

void MControl::SetFlag(Flag flag, bool on)
{
  if (on)
    m_flags |= flag;
  else
    m_flags &= ~static_cast<std::uint32_t>(flag);
}

bool MControl::IsVisibleInWindow() const
{
  for (const MControl* c = this; c != nullptr; c = c->m_parent)
  {
    if (!c->IsVisible())
      return false;
    if (c == static_cast<const MControl*>(GetWindow()))
      break;
  }
  return true;
}

void MControl::SetVisible(bool visible)
{
  if (visible == IsVisible())
    return;
  MWindow* window = GetWindow();
  if (!visible)
    Invalidate();
  {
    MTreeWriteGuard guard(window);
    SetFlag(FlagVisible, visible);
  }
  if (visible)
    Invalidate();
  else if (window != nullptr && window != this)
  {
    // Nothing hidden keeps the focus, the capture or the highlight.
    if (IsAncestorOf(window->GetFocusControl()))
      window->SetFocusControl(nullptr);
    if (IsAncestorOf(window->GetCaptureControl()))
      window->SetCaptureControl(nullptr);
    if (IsAncestorOf(window->GetHighlightControl()))
      window->UpdateHighlight(nullptr);
  }
}

bool MControl::IsEnabledInWindow() const
{
  for (const MControl* c = this; c != nullptr; c = c->m_parent)
  {
    if (!c->IsEnabled())
      return false;
    if (c == static_cast<const MControl*>(GetWindow()))
      break;
  }
  return true;
}

void MControl::SetEnabled(bool enabled)
{
  if (enabled == IsEnabled())
    return;
  SetFlag(FlagEnabled, enabled);
  MWindow* window = GetWindow();
  if (!enabled && window != nullptr && window != this)
  {
    if (IsAncestorOf(window->GetFocusControl()))
      window->SetFocusControl(nullptr);
    if (IsAncestorOf(window->GetCaptureControl()))
      window->SetCaptureControl(nullptr);
  }
  Invalidate();
}

void MControl::SetCollapsed(bool collapsed)
{
  if (collapsed == IsCollapsed() || (collapsed && !HasFlag(FlagCollapsable)))
    return;
  {
    MTreeWriteGuard guard(GetWindow());
    SetFlag(FlagCollapsed, collapsed);
  }
  // Nothing inside a collapsed control keeps the focus or the capture.
  MWindow* window = GetWindow();
  if (collapsed && window != nullptr && window != this)
  {
    if (MControl* focus = window->GetFocusControl(); focus != this && IsAncestorOf(focus))
      window->SetFocusControl(nullptr);
    if (MControl* capture = window->GetCaptureControl(); capture != this && IsAncestorOf(capture))
      window->SetCaptureControl(nullptr);
  }
  Invalidate();
}

void MControl::SetCaption(const MString& caption)
{
  m_caption = caption;
  Invalidate();
}

void MControl::SetCaptionType(MCaptionType type)
{
  m_captionType = type;
  Invalidate();
}

MString MControl::GetHelp() const
{
  if (m_help.IsEmpty() && HasFlag(FlagUseParentHelp) && m_parent != nullptr)
    return m_parent->GetHelp();
  return m_help;
}

void MControl::SetFont(MStdFont font)
{
  m_font = font;
  Invalidate();
}

void MControl::SetControlType(MControlType type)
{
  m_controlType = type;
  Invalidate();
}

MStyle* MControl::GetStyle() const
{
  MWindow* window = GetWindow();
  if (window == nullptr)
    return nullptr;
  if (MStyle* style = window->GetOwnStyle())
    return style;
  if (MWindowSystemCommon* system = window->GetWindowSystem())
    return system->GetDefaultStyle();
  return nullptr;
}

bool MControl::IsFocused() const
{
  const MWindow* window = GetWindow();
  return window != nullptr && window->GetFocusControl() == this;
}

bool MControl::HasCapture() const
{
  const MWindow* window = GetWindow();
  return window != nullptr && window->GetCaptureControl() == this;
}

void MControl::SetClicked(bool clicked)
{
  if (clicked == m_clicked)
    return;
  m_clicked = clicked;
  Invalidate();
}

// --- repaint ------------------------------------------------------------------------------------------

void MControl::Invalidate()
{
  InvalidateShared(nullptr);
}

void MControl::Invalidate(const MRect& rect)
{
  InvalidateShared(&rect);
}

void MControl::InvalidateShared(const MRect* rect)
{
  MWindow* window = GetWindow();
  if (window == nullptr)
    return;
  // Shared: sizes and the positions up the chain must not change while they are read.
  MSynchronizationObjectGuard read(window->GetTreeLock(), MSynchronizationObject::kModeShared | kNoYield);
  if (GetWindow() != window)
    return; // detached meanwhile
  InvalidateHeld(rect != nullptr ? *rect : GetRect());
}

void MControl::InvalidateHeld(const MRect& rect)
{
  MWindow* window = GetWindow();
  if (window == nullptr)
    return;
  const MRect clipped = rect.Intersect(GetRect());
  if (clipped.IsEmpty())
    return;
  const MPoint origin = GetWindowPosition();
  window->GetInvalidator().Add(clipped.Offset(origin.x, origin.y));
}

bool MControl::PaintsOpaquely(const MDrawer&) const
{
  return false;
}

void MControl::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  style->PaintControl(drawer, paint);
  if (!paint.text.IsEmpty())
    style->PaintContent(drawer, GetClientRect(), paint);
}

void MControl::FillPaint(MControlPaint& paint) const
{
  paint.type = m_controlType;
  paint.captionType = m_captionType;
  paint.rect = GetRect();
  paint.caption = m_caption;
  paint.font = m_font;
  paint.focused = IsFocused();
  paint.highlighted = m_highlighted;
  paint.clicked = m_clicked;
  paint.disabled = !IsEnabledInWindow();
}

// --- input --------------------------------------------------------------------------------------------

bool MControl::OnMouseDown(MMouseButton, MPoint, std::uint32_t)
{
  return false;
}
bool MControl::OnMouseUp(MMouseButton, MPoint, std::uint32_t)
{
  return false;
}
bool MControl::OnMouseDoubleClick(MMouseButton, MPoint, std::uint32_t)
{
  return false;
}
bool MControl::OnMouseMove(MPoint, std::uint32_t)
{
  return false;
}
bool MControl::OnMouseWheel(MPoint, std::int32_t, std::uint32_t)
{
  return false;
}
void MControl::OnMouseEnter()
{
  InvalidateHeld(GetRect());
}
void MControl::OnMouseLeave()
{
  InvalidateHeld(GetRect());
}
void MControl::OnCaptureLost() {}
bool MControl::OnKeyDown(std::int32_t, std::uint32_t)
{
  return false;
}
bool MControl::OnKeyUp(std::int32_t, std::uint32_t)
{
  return false;
}
bool MControl::OnCharacter(std::int32_t, std::uint32_t)
{
  return false;
}
void MControl::OnFocusIn()
{
  InvalidateHeld(GetRect());
}
void MControl::OnFocusOut()
{
  InvalidateHeld(GetRect());
}
bool MControl::OnTimer(std::int32_t)
{
  return false;
}

bool MControl::AcceptsFocus() const
{
  return HasFlag(FlagTabStop);
}

MStdCursor MControl::GetCursor(MPoint) const
{
  return MStdCursor::Arrow;
}

void MControl::SetFocus()
{
  if (MWindow* window = GetWindow())
    window->SetFocusControl(this);
}

void MControl::SetCapture()
{
  if (MWindow* window = GetWindow())
    window->SetCaptureControl(this);
}

void MControl::ReleaseCapture()
{
  MWindow* window = GetWindow();
  if (window != nullptr && window->GetCaptureControl() == this)
    window->SetCaptureControl(nullptr);
}

void MControl::SetTimer(std::int32_t id, std::int32_t periodMs)
{
  if (MWindow* window = GetWindow())
    window->SetControlTimer(*this, id, periodMs);
}

void MControl::NotifyChanged()
{
  MOnNotifyParams params{this};
  m_changed.Call(params);
}

// --- XML ------------------------------------------------------------------------------------------------

void MControl::LoadAttributes(const MXmlItem& item)
{
  MString text;
  if (ReadAttribute(item, "id", text))
    m_id = text;
  for (const FlagAttribute& attribute : kFlagAttributes)
    if (ReadAttribute(item, attribute.name, text))
      SetFlag(attribute.flag, text.ToInteger() != 0);
  ReadEnumeration(item, "controltype", MEnumerations::ControlType(), "MControlType", m_controlType);
  ReadEnumeration(item, "font", MEnumerations::StdFont(), "MStdFont", m_font);
  ReadEnumeration(item, "captiontype", MEnumerations::CaptionType(), "MCaptionType", m_captionType);

  MPoint position = m_position;
  MSize size = m_size;
  ReadInteger(item, "posx", position.x);
  ReadInteger(item, "posy", position.y);
  ReadInteger(item, "sizex", size.x);
  ReadInteger(item, "sizey", size.y);
  ReadInteger(item, "minclientsizex", m_minClientSize.x);
  ReadInteger(item, "minclientsizey", m_minClientSize.y);
  ReadInteger(item, "layoutratiox", m_layoutRatio.x);
  ReadInteger(item, "layoutratioy", m_layoutRatio.y);
  ReadInteger(item, "layoutborderx", m_layoutBorder.x);
  ReadInteger(item, "layoutbordery", m_layoutBorder.y);
  if (ReadAttribute(item, "layoutplacement", text))
  {
    try
    {
      m_layoutPlacement = ParseAlignment(text);
    }
    catch (const MException& exception)
    {
      ThrowBadAttribute("layoutplacement", exception.Message());
    }
  }
  if (ReadAttribute(item, "caption", text))
    m_caption = text;
  if (ReadAttribute(item, "help", text))
    m_help = text;
  SetPosition(position);
  SetSize(size);
  Invalidate();
}

void MControl::SaveAttributes(MXmlItem& item) const
{
  item.SetAttribute("id", m_id);
  for (const FlagAttribute& attribute : kFlagAttributes)
    WriteInteger(item, attribute.name, HasFlag(attribute.flag) ? 1 : 0);
  item.SetAttribute("controltype", MEnumerations::ControlType().Name(static_cast<int>(m_controlType)));
  item.SetAttribute("font", MEnumerations::StdFont().Name(static_cast<int>(m_font)));
  item.SetAttribute("captiontype", MEnumerations::CaptionType().Name(static_cast<int>(m_captionType)));
  WriteInteger(item, "posx", m_position.x);
  WriteInteger(item, "posy", m_position.y);
  WriteInteger(item, "sizex", m_size.x);
  WriteInteger(item, "sizey", m_size.y);
  WriteInteger(item, "minclientsizex", m_minClientSize.x);
  WriteInteger(item, "minclientsizey", m_minClientSize.y);
  WriteInteger(item, "layoutratiox", m_layoutRatio.x);
  WriteInteger(item, "layoutratioy", m_layoutRatio.y);
  WriteInteger(item, "layoutborderx", m_layoutBorder.x);
  WriteInteger(item, "layoutbordery", m_layoutBorder.y);
  // Values 3 and 7 (and other invalid bytes) have no name; centre stands for them.
  MString placement = AlignmentName(m_layoutPlacement);
  item.SetAttribute("layoutplacement", placement.IsEmpty() ? AlignmentName(MAlign::Center) : placement);
  item.SetAttribute("caption", m_caption);
  item.SetAttribute("help", m_help);
}

// --- state --------------------------------------------------------------------------------------------

void MControl::SaveState(MXmlItem& item) const
{
  if (!HasFlag(FlagEnableSaveState))
    return;
  if (HasFlag(FlagCollapsable))
    WriteInteger(item, "collapsed", IsCollapsed() ? 1 : 0);
  if (HasFlag(FlagSaveLayoutRatio))
  {
    WriteInteger(item, "layoutratiox", m_layoutRatio.x);
    WriteInteger(item, "layoutratioy", m_layoutRatio.y);
  }
  if (!HasFlag(FlagSaveSubControlState))
    return;
  for (const auto& child : m_children)
  {
    if (child->m_id.IsEmpty() || !child->HasFlag(FlagEnableSaveState))
      continue;
    MXmlItem sub(child->m_id);
    child->SaveState(sub);
    if (sub.GetAttributeCount() > 0 || sub.GetSubItemCount() > 0)
      item.AddSubItem(std::move(sub));
  }
}

void MControl::LoadState(const MXmlItem& item)
{
  if (!HasFlag(FlagEnableSaveState))
    return;
  MString text;
  if (HasFlag(FlagCollapsable) && ReadAttribute(item, "collapsed", text))
    SetCollapsed(text.ToInteger() != 0);
  if (HasFlag(FlagSaveLayoutRatio))
  {
    ReadInteger(item, "layoutratiox", m_layoutRatio.x);
    ReadInteger(item, "layoutratioy", m_layoutRatio.y);
  }
  if (!HasFlag(FlagSaveSubControlState))
    return;
  for (const auto& child : m_children)
    if (!child->m_id.IsEmpty() && item.HasSubItem(child->m_id))
      child->LoadState(item.GetSubItem());
}
