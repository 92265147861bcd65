#pragma once
// Dialog windows and small helper windows.
//  - MDialogWindow: base of the dialogs: a window with a row of buttons at the bottom right, each
//    ending the dialog with its MModalValue. Return presses the default button, Escape cancels.
//    Run opens it, runs the window system's modal loop and closes it again.
//  - MMessageDialogWindow: a message with OK, OK/Cancel, Yes/No or Yes/No/Cancel.
//  - MProgressWindow: a message, a progress bar and a Cancel button for a long task. Not modal:
//    the task updates it (GUI thread) and polls IsCancelled (any thread).
//  - MEditTextDialog: a prompt and one edit field; OK answers the typed text.
//  - MViewerWindow: a resizable window showing a long text in a scroller.
//  - MNoteWindow: a small frameless popup with a note (help text) that closes on a click, a key,
//    or after its display time.
//
// Threads: GUI thread, except MProgressWindow::IsCancelled.

#include "base/MEvent.h"
#include "gui/MWindow.h"

#include <atomic>
#include <cstdint>
#include <vector>

class MButton;
class MEdit;
class MProgressBar;
class MScroller;
class MStaticMultiLine;
class MWindowSystemCommon;

class MDialogWindow : public MWindow
{
public:
  MDialogWindow();
  ~MDialogWindow() override;

  /// Adds a button ending the dialog with `value`; the first added (or `isDefault`) is the
  /// default button. Answers it.
  MButton& AddButton(const MString& text, MModalValue value, bool isDefault = false);
  /// Ends the dialog with `value` (first call wins): stores the modal result and ends a running
  /// modal loop.
  void End(MModalValue value);
  /// Opens the dialog (centred on the work area, or in `parent`), runs the modal loop, closes it
  /// and answers the result (Cancel when the window was closed).
  MModalValue Run(MWindowSystemCommon& system, MNativeHandle parent = 0);

  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  /// The control focused when the dialog opens (default: the first button).
  void SetInitialFocus(MControl* control) { m_initialFocus = control; }

protected:
  /// Places the content in `content` (client area above the buttons). Called after resizing.
  virtual void LayoutContent(const MRect& content) = 0;
  /// Places buttons and content; dialogs call it after building their parts.
  void Layout();
  void OnSizeChanged() override { Layout(); }
  static constexpr std::int32_t kMargin = 14;

private:
  class DialogButton;
  std::vector<MButton*> m_buttons;
  MControl* m_initialFocus = nullptr;
  MModalValue m_defaultValue = MModalValue::Ok;
};

class MMessageDialogWindow : public MDialogWindow
{
public:
  enum class Buttons
  {
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel,
  };

  MMessageDialogWindow(const MString& title, const MString& message, Buttons buttons = Buttons::Ok);
  ~MMessageDialogWindow() override = default;

  const MString& GetMessage() const { return m_message; }

protected:
  void LayoutContent(const MRect& content) override;

private:
  MString m_message;
  MStaticMultiLine* m_text = nullptr;
};

class MProgressWindow : public MDialogWindow
{
public:
  explicit MProgressWindow(const MString& title, const MString& message = MString());
  ~MProgressWindow() override = default;

  /// Progress 0..1 and an optional new message. GUI thread.
  void SetProgress(double progress, const MString& message = MString());
  double GetProgress() const;
  /// Whether the user pressed Cancel (or closed the window). Any thread.
  bool IsCancelled() const { return m_cancelled.load(std::memory_order_acquire); }

protected:
  void LayoutContent(const MRect& content) override;
  void OnCloseRequested() override;

private:
  void OnCancel(MOnNotifyParams& params);

  MStaticMultiLine* m_text = nullptr;
  MProgressBar* m_bar = nullptr;
  std::atomic<bool> m_cancelled{false};
};

class MEditTextDialog : public MDialogWindow
{
public:
  MEditTextDialog(const MString& title, const MString& prompt, const MString& text = MString());
  ~MEditTextDialog() override = default;

  /// The text in the field.
  MString GetText() const;
  MEdit& GetEdit() { return *m_edit; }

protected:
  void LayoutContent(const MRect& content) override;

private:
  MStaticMultiLine* m_prompt = nullptr;
  MEdit* m_edit = nullptr;
};

class MViewerWindow : public MWindow
{
public:
  explicit MViewerWindow(const MString& title = MString(), const MString& text = MString());
  ~MViewerWindow() override = default;

  /// Shows `text` (line breaks kept); the scroller starts at the top.
  void SetText(const MString& text);
  const MString& GetText() const { return m_textValue; }
  MScroller& GetScroller() { return *m_scroller; }

protected:
  void OnSizeChanged() override;

private:
  MString m_textValue;
  MScroller* m_scroller = nullptr;
  MStaticMultiLine* m_text = nullptr;
};

class MNoteWindow : public MWindow
{
public:
  static constexpr std::int32_t kDefaultDisplayMs = 6000;

  MNoteWindow();
  ~MNoteWindow() override;

  /// Shows `text` at `screen` (kept on the work area) for `displayMs` (<= 0: until clicked).
  /// Answers false without a window system.
  bool ShowNote(MWindowSystemCommon& system, MPoint screen, const MString& text,
                std::int32_t displayMs = kDefaultDisplayMs);
  const MString& GetNote() const { return m_note; }
  /// Replaces the note text (repaints when shown).
  void SetNote(const MString& text);
  /// Closes soon (after the running handler).
  void Dismiss();

  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  bool OnTimer(std::int32_t id) override;
  void Paint(MDrawer& drawer) override;

private:
  void OnDismiss(MOnNotifyParams& params);

  MString m_note;
  MEvent<MOnNotifyParams> m_dismiss;
};
