#include "gui/controls/MMenu.h"

#include "gui/MDrawer.h"
#include "gui/MWindowSystemCommon.h"
#include "gui/controls/MControlUtility.h"

#include <algorithm>

namespace
{
constexpr std::int32_t kGutter = 20;
} // namespace

void PaintMenuRow(MDrawer& drawer, MStyle& style, const MMenuItem& item, const MRect& rect,
                  MControlPaint& paint, bool gutter)
{
  const MColor text = MControlUtility::Disabled(style.GetColor(MStdColor::Text), paint.disabled);
  if (item.IsSeparator())
  {
    const std::int32_t y = (rect.top + rect.bottom) / 2;
    drawer.FillRectangle(MRect{rect.left + 6, y, rect.right - 6, y + 1}, text.WithAlpha(45));
    return;
  }
  // The style's row (selection background and text), the text moved right of the gutter.
  MControlPaint row = paint;
  MRect textRect = rect;
  if (gutter)
  {
    MControlPaint background = paint;
    background.text = MString(" ");
    style.PaintContent(drawer, rect, background);
    textRect.left += kGutter - 4;
    row.clicked = false;
    row.highlighted = false;
    row.type = MControlType::Menu;
  }
  style.PaintContent(drawer, textRect, row);
  const MColor mark = paint.clicked ? MControlUtility::Mix(text, MColor{255, 255, 255, 255}, 0.6)
                                    : style.GetColor(MStdColor::Highlight);
  if (gutter && item.HasSwatch())
  {
    const std::int32_t side = std::min(12, rect.Height() - 6);
    const MRect swatch = MRect::FromSize(rect.left + 5, rect.top + (rect.Height() - side) / 2, side, side);
    drawer.FillRoundRectangle(swatch, 2, MColor{0, 0, 0, 120});
    drawer.FillRoundRectangle(swatch.Inset(1, 1), 2,
                              MControlUtility::Disabled(item.GetSwatch(), paint.disabled));
  }
  else if (gutter && item.IsChecked())
  {
    const double x = rect.left + 6, y = rect.top + rect.Height() / 2.0;
    drawer.Line(x, y, x + 3.5, y + 3.5, MControlUtility::Disabled(mark, paint.disabled), 1.8);
    drawer.Line(x + 3, y + 3.5, x + 9, y - 3.5, MControlUtility::Disabled(mark, paint.disabled), 1.8);
  }
  if (!item.GetShortcut().IsEmpty())
  {
    MControlPaint shortcut = paint;
    shortcut.type = MControlType::Static;
    shortcut.text = item.GetShortcut();
    shortcut.font = MStdFont::Small;
    shortcut.textAlignment = MAlign::Right | MAlign::VCenter;
    style.PaintContent(drawer, rect.Inset(8, 0), shortcut);
  }
}

std::int32_t MeasureMenuRow(const MControl& control, const MMenuItem& item, bool gutter)
{
  std::int32_t width = MControlUtility::MeasureText(control, item.GetText(), control.GetFont()).x + 16;
  if (gutter)
    width += kGutter;
  if (!item.GetShortcut().IsEmpty())
    width += MControlUtility::MeasureText(control, item.GetShortcut(), MStdFont::Small).x + 24;
  return width;
}

// --- MMenu ----------------------------------------------------------------------------------------------

MMenu::MMenu() = default;

// --- MWindowMenu ----------------------------------------------------------------------------------------

/// The popup's menu: losing the focus (a click elsewhere) closes the popup.
class MWindowMenu::Body : public MMenu
{
public:
  explicit Body(MWindowMenu& owner) : m_owner(owner) {}
  void OnFocusOut() override
  {
    MMenu::OnFocusOut();
    if (m_owner.m_closing)
      return;
    // The focus went to another window, usually by a click there: when that click arrives
    // after this, it must not also reach the control under it.
    if (MWindowSystemCommon* system = m_owner.GetWindowSystem())
      system->SuppressInput();
    m_owner.Dismiss();
  }

private:
  MWindowMenu& m_owner;
};

MWindowMenu::MWindowMenu() : m_menu(nullptr)
{
  SetControlType(MControlType::NoBackground);
  SetFlag(FlagCloseOnEscape, true);
  SetVisible(false);
  m_menu = &Add<Body>(*this);
  m_menu->GetChosenEvent().Subscribe<&MWindowMenu::OnChosen>(this);
  m_dismiss.Subscribe<&MWindowMenu::OnDismiss>(this);
}

MWindowMenu::~MWindowMenu()
{
  m_dismiss.ClearQueue();
}

bool MWindowMenu::Popup(MControl& owner, const MRect& anchor, ChooseHandler handler)
{
  MWindow* ownerWindow = owner.GetWindow();
  MWindowSystemCommon* system = ownerWindow != nullptr ? ownerWindow->GetWindowSystem() : nullptr;
  MWindowDescriptor* ownerDescriptor = ownerWindow != nullptr ? ownerWindow->GetDescriptor() : nullptr;
  if (system == nullptr || ownerDescriptor == nullptr)
    return false;
  m_handler = std::move(handler);
  SetStyle(ownerWindow->GetOwnStyle());
  m_menu->SetFont(owner.GetFont());
  // Screen position: the owner window's place plus the anchor's place in the window. The menu
  // takes the owner's zoom; screen positions are device pixels, the menu's size logical ones.
  SetScale(ownerWindow->GetScale());
  const MRect windowRect = system->GetWindowRect(*ownerDescriptor);
  const MPoint origin = owner.GetWindowPosition();
  MSize size = m_menu->GetPreferredSize();
  size.x = std::max(size.x, anchor.Width());
  const MRect placed = ownerWindow->ToDevice(MRect{origin.x + anchor.left, origin.y + anchor.top,
                                                   origin.x + anchor.right, origin.y + anchor.bottom});
  MSize device = ToDevice(size);
  MPoint at{windowRect.left + placed.left, windowRect.top + placed.bottom};
  const MRect work = system->GetWorkArea(at);
  if (!work.IsEmpty())
  {
    device.y = std::min(device.y, std::max(40, work.Height()));
    size.y = FromDevice(device).y;
    if (at.y + device.y > work.bottom) // no room below: open above the anchor
      at.y = std::max(work.top, windowRect.top + placed.top - device.y);
    at.x = std::clamp(at.x, work.left, std::max(work.left, work.right - device.x));
  }
  SetPosition(at);
  SetSize(size);
  m_menu->SetBounds(GetRect());
  m_menu->EnsureVisible(m_menu->GetSelection());
  if (!IsOpen())
  {
    SetVisible(true);
    Open(*system, 0, true);
  }
  if (MWindowDescriptor* descriptor = GetDescriptor())
    system->ActivateAndFocus(*descriptor);
  SetFocusControl(m_menu);
  Invalidate();
  return true;
}

void MWindowMenu::OnSizeChanged()
{
  MWindow::OnSizeChanged();
  if (m_menu != nullptr)
    m_menu->SetBounds(GetRect());
}

void MWindowMenu::Paint(MDrawer& drawer)
{
  // A popup surface has no parent to show through its rounded corners.
  drawer.FillRectangle(GetRect(), MControlUtility::Color(*this, MStdColor::Dark, kPlainBackground));
}

void MWindowMenu::Dismiss()
{
  MWindowSystemCommon* system = GetWindowSystem();
  if (system == nullptr)
    return;
  if (m_dismiss.GetPendingCount() == 0)
    m_dismiss.Post(nullptr, MOnNotifyParams{this});
  system->SetEventsPending();
}

void MWindowMenu::OnChosen(MOnItemParams<std::int32_t>& params)
{
  // Close first: the handler may open another popup or a dialog.
  Dismiss();
  ChooseHandler handler = m_handler;
  if (handler)
    handler(params.item);
}

void MWindowMenu::OnDismiss(MOnNotifyParams&)
{
  m_closing = true;
  Close();
  m_closing = false;
}

// --- MMenuBarBase ---------------------------------------------------------------------------------------

MMenuBarBase::MMenuBarBase()
{
  SetControlType(MControlType::MenuBar);
  SetFlag(FlagTabStop, true);
}

MMenuBarBase::~MMenuBarBase() = default;

MRect MMenuBarBase::GetTitleRect(std::int32_t index) const
{
  const MRect client = GetClientRect();
  std::int32_t x = client.left + 4;
  for (std::int32_t i = 0; i < GetTitleCount(); ++i)
  {
    const std::int32_t width = MControlUtility::MeasureText(*this, GetTitle(i), GetFont()).x + 20;
    if (i == index)
      return MRect{x, client.top + 2, x + width, std::max(client.top + 2, client.bottom - 2)};
    x += width;
  }
  return MRect{};
}

std::int32_t MMenuBarBase::TitleAt(MPoint position) const
{
  for (std::int32_t i = 0; i < GetTitleCount(); ++i)
    if (GetTitleRect(i).Contains(position))
      return i;
  return -1;
}

bool MMenuBarBase::OpenMenu(std::int32_t index)
{
  if (index < 0 || index >= GetTitleCount())
    return false;
  m_active = index;
  Invalidate();
  if (m_popup == nullptr)
    m_popup = std::make_unique<MWindowMenu>();
  FillMenu(index, m_popup->GetMenu());
  return m_popup->Popup(*this, GetTitleRect(index),
                        [this, index](std::int32_t item) { ChooseItem(index, item); });
}

void MMenuBarBase::ChooseItem(std::int32_t menu, std::int32_t item)
{
  m_active = -1;
  Invalidate();
  MOnItemParams<MMenuBarChoice> params{this, MMenuBarChoice{menu, item}};
  m_chosen.Call(params);
}

MSize MMenuBarBase::GetPreferredSize() const
{
  const MRect last = GetTitleRect(GetTitleCount() - 1);
  return MSize{std::max(100, last.right + 4),
               MControlUtility::Metric(*this, MStyle::MetricRowHeight, 20) + 6};
}

bool MMenuBarBase::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  const std::int32_t title = TitleAt(position);
  if (title < 0)
    return false;
  OpenMenu(title);
  return true;
}

bool MMenuBarBase::OnMouseMove(MPoint position, std::uint32_t)
{
  const std::int32_t title = TitleAt(position);
  if (title != m_hover)
  {
    m_hover = title;
    Invalidate();
  }
  return false;
}

void MMenuBarBase::OnMouseLeave()
{
  m_hover = -1;
  MControl::OnMouseLeave();
}

bool MMenuBarBase::OnKeyDown(std::int32_t key, std::uint32_t)
{
  const std::int32_t count = GetTitleCount();
  if (count == 0)
    return false;
  switch (key)
  {
  case MVirtualKey::Left:
  case MVirtualKey::Right:
    m_active = m_active < 0 ? 0 : (m_active + (key == MVirtualKey::Right ? 1 : count - 1)) % count;
    Invalidate();
    return true;
  case MVirtualKey::Down:
  case MVirtualKey::Return:
  case MVirtualKey::Space:
    OpenMenu(m_active < 0 ? 0 : m_active);
    return true;
  default:
    return false;
  }
}

void MMenuBarBase::OnFocusOut()
{
  if (m_popup == nullptr || !m_popup->IsOpen())
    m_active = -1;
  MControl::OnFocusOut();
}

void MMenuBarBase::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  style->PaintControl(drawer, paint);
  for (std::int32_t i = 0; i < GetTitleCount(); ++i)
  {
    MControlPaint title = paint;
    title.text = GetTitle(i);
    title.clicked = i == m_active;
    title.highlighted = i == m_hover;
    style->PaintContent(drawer, GetTitleRect(i), title);
  }
}
