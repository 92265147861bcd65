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
#include <iterator>

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

// Breaks the lines of `text` between words so that none is wider than `width` (a single word
// wider than that keeps its own line).
MString WrapLines(const MControl& control, const MString& text, MStdFont font, std::int32_t width)
{
  MString wrapped;
  const MStringList lines = MStringList::Split(text, u'\n');
  for (std::int32_t l = 0; l < lines.Count(); ++l)
  {
    if (l > 0)
      wrapped += MString("\n");
    MString line;
    const MStringList words = MStringList::Split(lines[l], u' ');
    for (std::int32_t w = 0; w < words.Count(); ++w)
    {
      const MString candidate = w == 0 ? words[w] : line + MString(" ") + words[w];
      if (w > 0 && MControlUtility::MeasureText(control, candidate, font).x > width)
      {
        wrapped += line + MString("\n");
        line = words[w];
      }
      else
        line = candidate;
    }
    wrapped += line;
  }
  return wrapped;
}
} // namespace

// --- MDialog ----------------------------------------------------------------------------------------

/// A button that ends its dialog with a value.
class MDialog::DialogButton : public MButton
{
public:
  DialogButton(MDialog& dialog, const MString& text, MModalValue value)
      : MButton(text), m_dialog(dialog), m_value(value)
  {}
  void Click() override
  {
    MButton::Click();
    m_dialog.End(m_value);
  }

private:
  MDialog& m_dialog;
  MModalValue m_value;
};

MDialog::MDialog()
{
  SetControlType(MControlType::Window);
}

MDialog::~MDialog() = default;

MButton& MDialog::AddButton(const MString& text, MModalValue value, bool isDefault)
{
  MButton& button = Add<DialogButton>(*this, text, value);
  // Ids by answer, so that scripts and tests find "the Cancel button" of any dialog.
  const char* const ids[] = {"DialogNone", "DialogOk", "DialogCancel", "DialogYes", "DialogNo"};
  const auto which = static_cast<std::size_t>(value);
  if (which < std::size(ids))
    button.SetId(MString::FromLiteral(ids[which]));
  if (m_buttons.empty() || isDefault)
    m_defaultValue = value;
  m_buttons.push_back(&button);
  Layout();
  return button;
}

void MDialog::End(MModalValue value)
{
  if (m_result != MModalValue::None || value == MModalValue::None)
    return;
  m_result = value;
  // The completion first, while the dialog's fields can still be read (it may open the next
  // dialog, which stacks above this one); then the host takes this one away, after which the
  // dialog may be gone.
  Completion completion = std::move(m_completion);
  m_completion = nullptr;
  HostHook host = m_host;
  if (completion)
    completion(value);
  if (host)
    host(*this);
}

MControl* MDialog::GetInitialFocus() const
{
  if (m_initialFocus != nullptr)
    return m_initialFocus;
  if (m_buttons.empty())
    return const_cast<MDialog*>(this);
  return m_buttons.front();
}

bool MDialog::OnKeyDown(std::int32_t key, std::uint32_t modifiers)
{
  if (key == MVirtualKey::Return)
  {
    End(m_defaultValue);
    return true;
  }
  if (key == MVirtualKey::Escape)
  {
    Dismiss();
    return true;
  }
  return MControl::OnKeyDown(key, modifiers);
}

void MDialog::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
  {
    drawer.FillRectangle(GetRect(), MWindow::kPlainBackground, MColorOp::Copy);
    return;
  }
  if (GetRect().IsEmpty())
    return;
  // Inside the panel however small it is (the style's window art has a size of its own).
  const MRect oldClip = drawer.IntersectClip(GetRect());
  // The panel alone: the caption is drawn below as the title, not as the style's content.
  MControlPaint paint;
  FillPaint(paint);
  paint.text = MString();
  paint.captionType = MCaptionType::None;
  style->PaintControl(drawer, paint);
  drawer.FrameRectangle(GetRect(), style->GetColor(MStdColor::Light).WithAlpha(150));
  if (!GetCaption().IsEmpty())
  {
    const MRect title{kMargin, kMargin - 4, GetSize().x - kMargin, kMargin - 4 + kTitleHeight};
    drawer.AlignedTextOut(title, GetCaption(), style->GetFont(MStdFont::Large1),
                          style->GetColor(MStdColor::Text), MAlign::Left | MAlign::VCenter);
  }
  drawer.RestoreClip(oldClip);
}

std::int32_t MDialog::FrameHeight() const
{
  return 3 * kMargin + kButtonHeight + (GetCaption().IsEmpty() ? 0 : kTitleHeight);
}

void MDialog::Layout()
{
  const MRect client = GetRect();
  std::int32_t x = client.right - kMargin;
  const std::int32_t y = client.bottom - kMargin - kButtonHeight;
  for (auto it = m_buttons.rbegin(); it != m_buttons.rend(); ++it)
  {
    const std::int32_t width = std::max(kButtonWidth, (*it)->GetPreferredSize().x);
    (*it)->SetBounds(MRect{x - width, y, x, y + kButtonHeight});
    x -= width + 8;
  }
  const std::int32_t top = client.top + kMargin + (GetCaption().IsEmpty() ? 0 : kTitleHeight);
  const std::int32_t bottom = m_buttons.empty() ? client.bottom - kMargin : y - kMargin;
  LayoutContent(MRect{client.left + kMargin, top, std::max(client.left + kMargin, client.right - kMargin),
                      std::max(top, bottom)});
}

// --- MMessageDialog ----------------------------------------------------------------------------------

MMessageDialog::MMessageDialog(const MString& title, const MString& message, Buttons buttons)
    : m_message(message)
{
  SetCaption(title);
  // A long sentence is broken between words rather than cut at the dialog's edge.
  const MString shown = WrapLines(*this, message, MStdFont::Normal, kMaximumWidth - 2 * kMargin - 8);
  m_text = &Add<MStaticMultiLine>(shown);
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
  const MSize text = MeasureLines(*this, shown, MStdFont::Normal);
  SetSize(MSize{std::clamp(text.x + 2 * kMargin + 8, 320, kMaximumWidth),
                std::min(text.y, 400) + FrameHeight() + 8});
}

void MMessageDialog::LayoutContent(const MRect& content)
{
  if (m_text != nullptr)
    m_text->SetBounds(content);
}

// --- MProgressDialog ---------------------------------------------------------------------------------

MProgressDialog::MProgressDialog(const MString& title, const MString& message)
{
  SetCaption(title);
  m_text = &Add<MStaticMultiLine>(message);
  m_bar = &Add<MProgressBar>();
  MButton& cancel = AddButton("Cancel", MModalValue::Cancel);
  cancel.GetChangedEvent().Subscribe<&MProgressDialog::OnCancel>(this);
  SetSize(MSize{380, 120 + FrameHeight() - 3 * kMargin - kButtonHeight});
}

void MProgressDialog::SetProgress(double progress, const MString& message)
{
  m_bar->SetProgress(progress);
  if (!message.IsEmpty())
    m_text->SetText(message);
}

double MProgressDialog::GetProgress() const
{
  return m_bar->GetProgress();
}

void MProgressDialog::LayoutContent(const MRect& content)
{
  if (m_text == nullptr || m_bar == nullptr)
    return;
  const std::int32_t barHeight = 18;
  m_text->SetBounds(
      MRect{content.left, content.top, content.right, std::max(content.top, content.bottom - barHeight - 8)});
  m_bar->SetBounds(
      MRect{content.left, std::max(content.top, content.bottom - barHeight), content.right, content.bottom});
}

void MProgressDialog::OnCancel(MOnNotifyParams&)
{
  m_cancelled.store(true, std::memory_order_release);
}

void MProgressDialog::Dismiss()
{
  m_cancelled.store(true, std::memory_order_release);
  MDialog::Dismiss();
}

// --- MEditTextDialog --------------------------------------------------------------------------------

namespace
{
/// The dialog's field leaves Return and Escape to the dialog.
class MDialogEdit : public MEdit
{
public:
  using MEdit::MEdit;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override
  {
    return key != MVirtualKey::Return && key != MVirtualKey::Escape && MEdit::OnKeyDown(key, modifiers);
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
  SetSize(MSize{360, 150 + kTitleHeight});
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

// --- MDialogWindow ----------------------------------------------------------------------------------

MDialogWindow::MDialogWindow(std::unique_ptr<MDialog> dialog)
{
  SetControlType(MControlType::Window);
  SetFlag(FlagMoveToScreenCenter, true);
  SetVisible(false);
  m_dialog = dialog.get();
  SetCaption(m_dialog->GetCaption());
  const MSize size = m_dialog->GetSize();
  AddChild(std::move(dialog));
  // The window ends its modal loop when the dialog ends; the dialog stays for its result.
  m_dialog->SetHostHook([this](MDialog& ended) {
    if (MWindowSystemCommon* system = GetWindowSystem();
        system != nullptr && GetModalResult() == MModalValue::None)
      system->EndModal(*this, ended.GetResult());
    else
      SetModalResult(ended.GetResult());
  });
  SetSize(size);
  m_dialog->OnShown();
}

MDialogWindow::~MDialogWindow() = default;

void MDialogWindow::OnSizeChanged()
{
  if (m_dialog != nullptr)
    m_dialog->SetBounds(GetRect());
}

void MDialogWindow::OnCloseRequested()
{
  m_dialog->Dismiss();
  MWindow::OnCloseRequested();
}

MModalValue MDialogWindow::Run(MWindowSystemCommon& system, MNativeHandle parent)
{
  SetModalResult(MModalValue::None);
  SetVisible(true);
  Open(system, parent);
  SetFocusControl(m_dialog->GetInitialFocus());
  MModalValue result = m_dialog->IsEnded() ? m_dialog->GetResult() : system.RunModal(*this);
  Close();
  m_dialog->End(MModalValue::Cancel); // closed without an answer: the completion hears Cancel
  if (result == MModalValue::None)
    result = MModalValue::Cancel;
  return m_dialog->GetResult() != MModalValue::None ? m_dialog->GetResult() : result;
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
