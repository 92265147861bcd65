#include "gui/controls/MDialogWindow.h"

#include "base/MStringList.h"
#include "gui/MDrawer.h"
#include "gui/MWindowSystemCommon.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MControlUtility.h"
#include "gui/controls/MEdit.h"
#include "gui/controls/MProgressBar.h"
#include "gui/controls/MScrollBar.h"
#include "gui/controls/MStatic.h"

#include <algorithm>

namespace
{
constexpr std::int32_t kButtonWidth = 84;
constexpr std::int32_t kButtonHeight = 26;
constexpr std::int32_t kTimerDismiss = 1;

/// Lines of `text` and the width of the longest, for sizing dialogs.
MSize MeasureLines(const MControl& control, const MString& text, MStdFont font)
{
  const MStringList lines = MStringList::Split(text, u'\n');
  std::int32_t width = 0;
  for (const MString& line : lines)
    width = std::max(width, MControlUtility::MeasureText(control, line, font).x);
  return MSize{width, std::max<std::int32_t>(1, lines.Count()) * MControlUtility::LineHeight(control, font)};
}
} // namespace

// --- MDialogWindow ----------------------------------------------------------------------------------

/// A button that ends its dialog with a value.
class MDialogWindow::DialogButton : public MButton
{
public:
  DialogButton(MDialogWindow& dialog, const MString& text, MModalValue value)
      : MButton(text), m_dialog(dialog), m_value(value)
  {}
  void Click() override
  {
    MButton::Click();
    m_dialog.End(m_value);
  }

private:
  MDialogWindow& m_dialog;
  MModalValue m_value;
};

MDialogWindow::MDialogWindow()
{
  SetControlType(MControlType::Window);
  SetFlag(FlagCloseOnEscape, true);
  SetFlag(FlagMoveToScreenCenter, true);
  SetVisible(false);
}

MDialogWindow::~MDialogWindow() = default;

MButton& MDialogWindow::AddButton(const MString& text, MModalValue value, bool isDefault)
{
  MButton& button = Add<DialogButton>(*this, text, value);
  if (m_buttons.empty() || isDefault)
    m_defaultValue = value;
  m_buttons.push_back(&button);
  Layout();
  return button;
}

void MDialogWindow::End(MModalValue value)
{
  if (GetModalResult() != MModalValue::None)
    return;
  if (MWindowSystemCommon* system = GetWindowSystem())
    system->EndModal(*this, value);
  else
    SetModalResult(value);
}

MModalValue MDialogWindow::Run(MWindowSystemCommon& system, MNativeHandle parent)
{
  SetModalResult(MModalValue::None);
  SetVisible(true);
  Open(system, parent);
  if (m_initialFocus != nullptr)
    SetFocusControl(m_initialFocus);
  else if (!m_buttons.empty())
    SetFocusControl(m_buttons.front());
  MModalValue result = system.RunModal(*this);
  Close();
  if (result == MModalValue::None)
    result = MModalValue::Cancel;
  return result;
}

bool MDialogWindow::OnKeyDown(std::int32_t key, std::uint32_t modifiers)
{
  if (key == MVirtualKey::Return)
  {
    End(m_defaultValue);
    return true;
  }
  return MWindow::OnKeyDown(key, modifiers);
}

void MDialogWindow::Layout()
{
  const MRect client = GetClientRect();
  std::int32_t x = client.right - kMargin;
  const std::int32_t y = client.bottom - kMargin - kButtonHeight;
  for (auto it = m_buttons.rbegin(); it != m_buttons.rend(); ++it)
  {
    const std::int32_t width = std::max(kButtonWidth, (*it)->GetPreferredSize().x);
    (*it)->SetBounds(MRect{x - width, y, x, y + kButtonHeight});
    x -= width + 8;
  }
  const std::int32_t bottom = m_buttons.empty() ? client.bottom - kMargin : y - kMargin;
  LayoutContent(MRect{client.left + kMargin, client.top + kMargin,
                      std::max(client.left + kMargin, client.right - kMargin),
                      std::max(client.top + kMargin, bottom)});
}

// --- MMessageDialogWindow ---------------------------------------------------------------------------

MMessageDialogWindow::MMessageDialogWindow(const MString& title, const MString& message, Buttons buttons)
    : m_message(message)
{
  SetCaption(title);
  m_text = &Add<MStaticMultiLine>(message);
  switch (buttons)
  {
  case Buttons::Ok:
    AddButton("OK", MModalValue::Ok);
    break;
  case Buttons::OkCancel:
    AddButton("OK", MModalValue::Ok);
    AddButton("Cancel", MModalValue::Cancel);
    break;
  case Buttons::YesNo:
    AddButton("Yes", MModalValue::Yes);
    AddButton("No", MModalValue::No);
    break;
  case Buttons::YesNoCancel:
    AddButton("Yes", MModalValue::Yes);
    AddButton("No", MModalValue::No);
    AddButton("Cancel", MModalValue::Cancel);
    break;
  }
  const MSize text = MeasureLines(*this, message, MStdFont::Normal);
  SetSize(MSize{std::clamp(text.x + 2 * kMargin + 8, 320, 640),
                std::min(text.y, 400) + 3 * kMargin + kButtonHeight + 8});
}

void MMessageDialogWindow::LayoutContent(const MRect& content)
{
  if (m_text != nullptr)
    m_text->SetBounds(content);
}

// --- MProgressWindow --------------------------------------------------------------------------------

MProgressWindow::MProgressWindow(const MString& title, const MString& message)
{
  SetCaption(title);
  m_text = &Add<MStaticMultiLine>(message);
  m_bar = &Add<MProgressBar>();
  MButton& cancel = AddButton("Cancel", MModalValue::Cancel);
  cancel.GetChangedEvent().Subscribe<&MProgressWindow::OnCancel>(this);
  SetSize(MSize{380, 150});
}

void MProgressWindow::SetProgress(double progress, const MString& message)
{
  m_bar->SetProgress(progress);
  if (!message.IsEmpty())
    m_text->SetText(message);
}

double MProgressWindow::GetProgress() const
{
  return m_bar->GetProgress();
}

void MProgressWindow::LayoutContent(const MRect& content)
{
  if (m_text == nullptr || m_bar == nullptr)
    return;
  const std::int32_t barHeight = 18;
  m_text->SetBounds(
      MRect{content.left, content.top, content.right, std::max(content.top, content.bottom - barHeight - 8)});
  m_bar->SetBounds(
      MRect{content.left, std::max(content.top, content.bottom - barHeight), content.right, content.bottom});
}

void MProgressWindow::OnCancel(MOnNotifyParams&)
{
  m_cancelled.store(true, std::memory_order_release);
}

void MProgressWindow::OnCloseRequested()
{
  m_cancelled.store(true, std::memory_order_release);
  MDialogWindow::OnCloseRequested();
}

// --- MEditTextDialog --------------------------------------------------------------------------------

namespace
{
/// The dialog's field leaves Return to the dialog (which ends with OK).
class MDialogEdit : public MEdit
{
public:
  using MEdit::MEdit;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override
  {
    return key != MVirtualKey::Return && MEdit::OnKeyDown(key, modifiers);
  }
};
} // namespace

MEditTextDialog::MEditTextDialog(const MString& title, const MString& prompt, const MString& text)
{
  SetCaption(title);
  m_prompt = &Add<MStaticMultiLine>(prompt);
  m_edit = &Add<MDialogEdit>(text);
  m_edit->GetBuffer().SelectAll();
  SetInitialFocus(m_edit);
  AddButton("OK", MModalValue::Ok);
  AddButton("Cancel", MModalValue::Cancel);
  SetSize(MSize{360, 150});
}

MString MEditTextDialog::GetText() const
{
  return m_edit->GetText();
}

void MEditTextDialog::LayoutContent(const MRect& content)
{
  if (m_prompt == nullptr || m_edit == nullptr)
    return;
  const std::int32_t editHeight = 26;
  m_prompt->SetBounds(MRect{content.left, content.top, content.right,
                            std::max(content.top, content.bottom - editHeight - 6)});
  m_edit->SetBounds(
      MRect{content.left, std::max(content.top, content.bottom - editHeight), content.right, content.bottom});
}

// --- MViewerWindow ----------------------------------------------------------------------------------

MViewerWindow::MViewerWindow(const MString& title, const MString& text)
{
  SetCaption(title);
  SetControlType(MControlType::Window);
  SetFlag(FlagCloseOnEscape, true);
  m_scroller = &Add<MScroller>();
  m_scroller->SetControlType(MControlType::NoBackground); // the text reads as part of the window
  auto content = std::make_unique<MStaticMultiLine>();
  m_text = content.get();
  m_scroller->SetContent(std::move(content));
  SetSize(MSize{480, 360});
  SetText(text);
}

void MViewerWindow::SetText(const MString& text)
{
  m_textValue = text;
  m_text->SetText(text);
  const MSize size = MeasureLines(*this, text, MStdFont::Normal);
  m_text->SetSize(MSize{size.x + 16, size.y + 8});
  m_scroller->UpdateLayout();
  m_scroller->ScrollTo(MPoint{});
}

void MViewerWindow::OnSizeChanged()
{
  if (m_scroller != nullptr)
    m_scroller->SetBounds(GetClientRect().Inset(14, 12));
}

// --- MNoteWindow ------------------------------------------------------------------------------------

MNoteWindow::MNoteWindow()
{
  SetControlType(MControlType::Menu);
  SetVisible(false);
  m_dismiss.Subscribe<&MNoteWindow::OnDismiss>(this);
}

MNoteWindow::~MNoteWindow()
{
  m_dismiss.ClearQueue();
}

bool MNoteWindow::ShowNote(MWindowSystemCommon& system, MPoint screen, const MString& text,
                           std::int32_t displayMs)
{
  m_note = text;
  const MSize lines = MeasureLines(*this, text, MStdFont::Small);
  MSize size{std::min(lines.x + 20, 420), std::min(lines.y + 14, 300)};
  const MRect work = system.GetWorkArea(screen);
  if (!work.IsEmpty())
  {
    screen.x = std::clamp(screen.x, work.left, std::max(work.left, work.right - size.x));
    screen.y = std::clamp(screen.y, work.top, std::max(work.top, work.bottom - size.y));
  }
  SetPosition(screen);
  SetSize(size);
  if (!IsOpen())
  {
    SetVisible(true);
    Open(system, 0, true);
  }
  if (displayMs > 0)
    SetTimer(kTimerDismiss, displayMs);
  Invalidate();
  return true;
}

void MNoteWindow::SetNote(const MString& text)
{
  m_note = text;
  Invalidate();
}

void MNoteWindow::Dismiss()
{
  MWindowSystemCommon* system = GetWindowSystem();
  if (system == nullptr)
    return;
  if (m_dismiss.GetPendingCount() == 0)
    m_dismiss.Post(nullptr, MOnNotifyParams{this});
  system->SetEventsPending();
}

void MNoteWindow::OnDismiss(MOnNotifyParams&)
{
  Close();
}

bool MNoteWindow::OnMouseDown(MMouseButton, MPoint, std::uint32_t)
{
  Dismiss();
  return true;
}

bool MNoteWindow::OnKeyDown(std::int32_t, std::uint32_t)
{
  Dismiss();
  return true;
}

bool MNoteWindow::OnTimer(std::int32_t id)
{
  if (id != kTimerDismiss)
    return false;
  SetTimer(kTimerDismiss, 0);
  Dismiss();
  return true;
}

void MNoteWindow::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
  {
    drawer.FillRectangle(GetRect(), kPlainBackground);
    return;
  }
  MControlPaint paint;
  FillPaint(paint);
  paint.captionType = MCaptionType::None;
  // A popup surface has no parent to show through the rounded corners of the frame.
  drawer.FillRectangle(GetRect(), style->GetColor(MStdColor::Dark));
  style->PaintControl(drawer, paint);
  MControlPaint line = paint;
  line.type = MControlType::Static;
  line.font = MStdFont::Small;
  line.textAlignment = MAlign::Left | MAlign::VCenter;
  const std::int32_t height = MControlUtility::LineHeight(*this, MStdFont::Small);
  std::int32_t top = 7;
  for (const MString& text : MStringList::Split(m_note, u'\n'))
  {
    line.text = text;
    if (!text.IsEmpty())
      style->PaintContent(drawer, MRect{10, top, GetSize().x - 10, top + height}, line);
    top += height;
  }
}
