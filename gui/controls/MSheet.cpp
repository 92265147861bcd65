#include "gui/controls/MSheet.h"

#include "base/MEvent.h"
#include "base/MException.h"
#include "gui/MDrawer.h"
#include "gui/MWindowSystemCommon.h"

#include <algorithm>
#include <mutex>

namespace
{
// Sheets that ended while a handler ran: out of their window, destroyed by the window system's
// drain of the event processor once no handler runs any more (MWindowSystemCommon::LeaveHandler).
// Process-wide and never destroyed, so that a drain during the module's unload finds it.
class Graveyard : public MEventTarget
{
public:
  Graveyard() { m_reap.Subscribe<&Graveyard::OnReap>(this); }

  void Bury(std::unique_ptr<MControl> control, MWindowSystemCommon* system)
  {
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_graves.push_back(std::move(control));
    }
    if (m_reap.GetPendingCount() == 0)
      m_reap.Post(nullptr, MOnNotifyParams{this});
    if (system != nullptr)
      system->SetEventsPending();
  }

private:
  void OnReap(MOnNotifyParams&)
  {
    std::vector<std::unique_ptr<MControl>> graves;
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      graves.swap(m_graves);
    }
    graves.clear(); // outside the lock: a dialog's destructor may end more sheets
  }

  std::mutex m_mutex;
  std::vector<std::unique_ptr<MControl>> m_graves;
  MEvent<MOnNotifyParams> m_reap;
};

Graveyard& Graves()
{
  static Graveyard& graveyard = *new Graveyard;
  return graveyard;
}

} // namespace

MDialog& MSheet::Show(MWindow& window, std::unique_ptr<MDialog> dialog, MDialog::Completion completion)
{
  if (dialog == nullptr)
    throw MException(MString("MSheet::Show: no dialog."));
  if (completion)
    dialog->SetCompletion(std::move(completion));
  auto owned = std::make_unique<MSheet>(std::move(dialog));
  MSheet& sheet = *owned;
  window.AddChild(std::move(owned));
  sheet.SetBounds(window.GetClientRect());
  sheet.m_dialog->OnShown();
  // The mouse and the keys belong to the sheet from now on.
  if (window.GetCaptureControl() != nullptr && !sheet.IsAncestorOf(window.GetCaptureControl()))
    window.SetCaptureControl(nullptr);
  window.SetFocusControl(sheet.m_dialog->GetInitialFocus());
  return *sheet.m_dialog;
}

MDialog* MSheet::ShowOver(MControl& origin, std::unique_ptr<MDialog> dialog, MDialog::Completion completion)
{
  MWindow* window = origin.GetWindow();
  if (window == nullptr)
    return nullptr;
  return &Show(*window, std::move(dialog), std::move(completion));
}

std::vector<MSheet*> MSheet::SheetsOf(const MWindow& window)
{
  std::vector<MSheet*> sheets;
  for (std::size_t i = 0; i < window.GetChildCount(); ++i)
    if (auto* sheet = dynamic_cast<MSheet*>(window.GetChild(i)))
      sheets.push_back(sheet);
  return sheets;
}

MDialog* MSheet::TopDialog(const MWindow& window)
{
  for (std::size_t i = window.GetChildCount(); i-- > 0;)
    if (auto* sheet = dynamic_cast<MSheet*>(window.GetChild(i)))
      return &sheet->GetDialog();
  return nullptr;
}

MSheet::MSheet(std::unique_ptr<MDialog> dialog)
{
  SetControlType(MControlType::NoBackground);
  SetFlag(FlagClientLayout, true);
  m_dialog = dialog.get();
  m_wanted = m_dialog->GetSize();
  AddChild(std::move(dialog));
  m_dialog->SetHostHook([this](MDialog&) { Remove(); });
}

MSheet::~MSheet() = default;

void MSheet::Remove()
{
  MControl* parent = GetParent();
  if (parent == nullptr)
    return;
  MWindow* window = GetWindow();
  MWindowSystemCommon* system = window != nullptr ? window->GetWindowSystem() : nullptr;
  const bool hadFocus = window != nullptr && IsAncestorOf(window->GetFocusControl());
  std::unique_ptr<MControl> self = parent->RemoveChild(*this);
  if (window != nullptr && (hadFocus || window->GetFocusControl() == nullptr))
  {
    // The focus goes back into the sheet below, if any (the controls behind it get none).
    MDialog* below = TopDialog(*window);
    window->SetFocusControl(below != nullptr ? below->GetInitialFocus() : nullptr);
  }
  if (self == nullptr)
    return;
  // A handler of the sheet's own controls may be on the stack (the button that ended it):
  // destroyed only once no handler runs.
  if (system != nullptr && system->GetHandlerNesting() > 0)
    Graves().Bury(std::move(self), system);
  else
    self.reset();
}

void MSheet::PlacePanel()
{
  const MSize area = GetSize();
  const auto fit = [](std::int32_t wanted, std::int32_t room, std::int32_t minimum) {
    return std::min(wanted, std::max(room - 2 * kBorder, std::min(minimum, wanted)));
  };
  const MSize size{fit(m_wanted.x, area.x, kMinimum.x), fit(m_wanted.y, area.y, kMinimum.y)};
  // Centred when it fits; otherwise it starts at the top left and scrolls.
  m_scroll.x = std::clamp(m_scroll.x, 0, std::max(0, size.x - area.x));
  m_scroll.y = std::clamp(m_scroll.y, 0, std::max(0, size.y - area.y));
  const std::int32_t x = size.x <= area.x ? (area.x - size.x) / 2 : -m_scroll.x;
  const std::int32_t y = size.y <= area.y ? (area.y - size.y) / 2 : -m_scroll.y;
  m_dialog->SetBounds(MRect::FromSize(x, y, size.x, size.y));
}

void MSheet::Paint(MDrawer& drawer)
{
  // The window behind, dimmed: it is still there, but it is not what the user works with now.
  drawer.FillRectangle(GetRect(), MColor{0x06, 0x08, 0x0C, 0xA8});
  const MRect panel = GetPanelRect();
  for (std::int32_t spread = 1; spread <= 6; ++spread)
    drawer.FillRectangle(panel.Inset(-spread, -spread).Offset(0, 3), MColor{0, 0, 0, 0x12});
}

bool MSheet::OnMouseDown(MMouseButton, MPoint, std::uint32_t)
{
  return true;
}

bool MSheet::OnMouseUp(MMouseButton, MPoint, std::uint32_t)
{
  return true;
}

bool MSheet::OnMouseDoubleClick(MMouseButton, MPoint, std::uint32_t)
{
  return true;
}

bool MSheet::OnMouseMove(MPoint, std::uint32_t)
{
  return true;
}

bool MSheet::OnMouseWheel(MPoint, std::int32_t delta, std::uint32_t)
{
  if (m_dialog->GetSize().y > GetSize().y)
  {
    m_scroll.y -= delta / 3;
    PlacePanel();
  }
  return true;
}

bool MSheet::OnKeyDown(std::int32_t key, std::uint32_t modifiers)
{
  if (key == MVirtualKey::Tab && (modifiers & (MSystemEvent::ModControl | MSystemEvent::ModAlt)) == 0)
  {
    // Round the dialog's own tab stops only.
    if (MWindow* window = GetWindow())
      window->MoveFocus((modifiers & MSystemEvent::ModShift) == 0, m_dialog);
  }
  return true;
}

bool MSheet::OnKeyUp(std::int32_t, std::uint32_t)
{
  return true;
}

bool MSheet::OnCharacter(std::int32_t, std::uint32_t)
{
  return true;
}
