#pragma once
// Dialogs and small helper windows.
//  - MDialog: the content of every dialog: a panel with its title at the top, the content in the
//    middle and a row of buttons at the bottom right, each ending the dialog with its
//    MModalValue. Return presses the default button, Escape cancels. A dialog is a control, so
//    it can be shown two ways:
//      * as a sheet inside an existing window (MSheet, gui/controls/MSheet.h): the editor of a
//        plug-in shows every dialog this way, answered through a completion callback, because
//        code a host calls must never run a nested event loop;
//      * in a top-level window of its own (MDialogWindow::Run, the window system's modal loop):
//        only for programs that own their loop (tools, tests, the gallery).
//  - MMessageDialog: a message with OK, OK/Cancel, Yes/No or Yes/No/Cancel.
//  - MProgressDialog: a message, a progress bar and a Cancel button for a long task. The task
//    updates it (GUI thread) and polls IsCancelled (any thread).
//  - MEditTextDialog: a prompt and one edit field; OK answers the typed text.
//  - MDialogWindow: a top-level window holding one MDialog, for programs that own their loop.
//  - MViewerWindow: a resizable window showing a long text in a scroller.
//  - MNoteWindow: a small frameless popup with a note (help text) that closes on a click, a key,
//    or after its display time.
//
// Threads: GUI thread, except MProgressDialog::IsCancelled.

#include "base/MEvent.h"
#include "gui/MWindow.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class MButton;
class MEdit;
class MProgressBar;
class MScroller;
class MStaticMultiLine;
class MWindowSystemCommon;

class MDialog : public MControl
{
public:
  /// Told the dialog's answer once, on the GUI thread, just before the dialog leaves the screen
  /// (its fields can still be read).
  using Completion = std::function<void(MModalValue)>;
  /// Told by End which host (sheet or window) shows the dialog; set by that host only.
  using HostHook = std::function<void(MDialog&)>;

  MDialog();
  ~MDialog() override;

  /// Adds a button ending the dialog with `value`; the first added (or `isDefault`) is the
  /// default button. Its id names the answer: "DialogOk", "DialogCancel", "DialogYes", "DialogNo".
  /// Answers it.
  MButton& AddButton(const MString& text, MModalValue value, bool isDefault = false);
  /// Ends the dialog with `value` (the first call wins): stores the result, runs the completion,
  /// then lets the host take the dialog off the screen (a sheet may destroy it then: do not use
  /// the dialog after End). Safe inside a handler of one of the dialog's own controls: a sheet
  /// destroys the dialog only after that handler returned.
  void End(MModalValue value);
  /// The answer; None while the dialog runs.
  MModalValue GetResult() const { return m_result; }
  bool IsEnded() const { return m_result != MModalValue::None; }
  void SetCompletion(Completion completion) { m_completion = std::move(completion); }
  void SetHostHook(HostHook hook) { m_host = std::move(hook); }
  /// Escape, the window's close box: ends with Cancel. MProgressDialog also marks itself cancelled.
  virtual void Dismiss() { End(MModalValue::Cancel); }
  /// The host (sheet or dialog window) has put the dialog into its window: timers and focus
  /// requests work from now on (they do nothing while the dialog is detached). Hosts only.
  virtual void OnShown() {}

  /// The control focused when the dialog opens (default: the first button).
  void SetInitialFocus(MControl* control) { m_initialFocus = control; }
  MControl* GetInitialFocus() const;
  /// A token that expires when the dialog is destroyed: owners that keep a pointer to a dialog a
  /// sheet owns check it before they use the pointer.
  std::weak_ptr<void> GetLifetime() const { return m_lifetime; }

  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  /// Clicks on the dialog's background keep the keyboard focus in the dialog.
  bool AcceptsFocus() const override { return true; }
  /// The panel, a thin frame and the title (the caption) at the top.
  void Paint(MDrawer& drawer) override;

  static constexpr std::int32_t kMargin = 14;
  static constexpr std::int32_t kTitleHeight = 28;

protected:
  /// Places the content in `content` (between the title and the buttons). Called after resizing.
  virtual void LayoutContent(const MRect& content) = 0;
  /// Places buttons and content; dialogs call it after building their parts.
  void Layout();
  void OnSizeChanged() override { Layout(); }
  /// Height a dialog adds to its content for the title, the buttons and the margins.
  std::int32_t FrameHeight() const;

private:
  class DialogButton;
  std::vector<MButton*> m_buttons;
  MControl* m_initialFocus = nullptr;
  MModalValue m_defaultValue = MModalValue::Ok;
  MModalValue m_result = MModalValue::None;
  Completion m_completion;
  HostHook m_host;
  std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};

class MMessageDialog : public MDialog
{
public:
  enum class Buttons
  {
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel,
  };

  /// The widest a message dialog grows; longer lines of the message break between words.
  static constexpr std::int32_t kMaximumWidth = 640;

  MMessageDialog(const MString& title, const MString& message, Buttons buttons = Buttons::Ok);
  ~MMessageDialog() override = default;

  const MString& GetMessage() const { return m_message; }

protected:
  void LayoutContent(const MRect& content) override;

private:
  MString m_message;
  MStaticMultiLine* m_text = nullptr;
};

class MProgressDialog : public MDialog
{
public:
  explicit MProgressDialog(const MString& title, const MString& message = MString());
  ~MProgressDialog() override = default;

  /// Progress 0..1 and an optional new message. GUI thread.
  void SetProgress(double progress, const MString& message = MString());
  double GetProgress() const;
  /// Whether the user pressed Cancel (or dismissed the dialog). Any thread.
  bool IsCancelled() const { return m_cancelled.load(std::memory_order_acquire); }
  void Dismiss() override;

protected:
  void LayoutContent(const MRect& content) override;

private:
  void OnCancel(MOnNotifyParams& params);

  MStaticMultiLine* m_text = nullptr;
  MProgressBar* m_bar = nullptr;
  std::atomic<bool> m_cancelled{false};
};

class MEditTextDialog : public MDialog
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

/// A top-level window holding one dialog, sized to it. For programs that own their event loop
/// (tools, tests, the gallery): Run uses the window system's modal loop, which code a host calls
/// must never do (show the dialog as an MSheet there).
class MDialogWindow : public MWindow
{
public:
  explicit MDialogWindow(std::unique_ptr<MDialog> dialog);
  ~MDialogWindow() override;

  MDialog& GetDialog() const { return *m_dialog; }
  /// Opens the window (centred on the work area, or in `parent`), runs the modal loop, closes it
  /// and answers the dialog's result (Cancel when the window was closed). The dialog's
  /// completion has run by then.
  MModalValue Run(MWindowSystemCommon& system, MNativeHandle parent = 0);

protected:
  void OnSizeChanged() override;
  /// The close box dismisses the dialog.
  void OnCloseRequested() override;

private:
  MDialog* m_dialog;
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
