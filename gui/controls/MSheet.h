#pragma once
// MSheet: a dialog shown inside an existing window, over a dimmed picture of that window.
//
// Plug-in editors live in a window the host owns and are driven by the host's own loop (VST 2.4
// effEditIdle, the VST 3 run loop). A nested modal loop inside such a call freezes the host, and
// a second top-level window may open behind it; so the editor shows every dialog as a sheet:
// Show adds a sheet as the window's topmost child, covering the whole window, and returns at
// once. The dialog's answer arrives later through its completion (MDialog::SetCompletion), on
// the GUI thread.
//
// Input: the sheet is the hit-test target everywhere in the window, so the controls behind it
// get no mouse input; its handlers consume every mouse event and every key that the dialog does
// not use (Tab moves the focus among the dialog's tab stops only). The keyboard focus moves into
// the dialog when it opens (MDialog::GetInitialFocus). Sheets stack: a question shown over a
// sheet covers it and takes the input; when it ends, the focus goes back into the sheet below.
//
// Size: the dialog is centred at the size it asked for; in a smaller window it shrinks to the
// window (keeping kMinimum), and what still does not fit scrolls with the mouse wheel. The
// sheet follows the window's size (FlagClientLayout).
//
// Ending: MDialog::End takes the sheet out of the window at once and destroys it after the
// handler that ended it has returned (the window system drains the deferred deletion when no
// handler runs any more), so a button that ends its own sheet never runs on freed memory.
// Destroying the window destroys its sheets without their completions (the editor closed).
//
// Threads: GUI thread.

#include "gui/controls/MDialogWindow.h"

#include <memory>
#include <vector>

class MSheet : public MControl
{
public:
  /// The smallest panel a sheet shrinks its dialog to before it scrolls.
  static constexpr MSize kMinimum{300, 180};
  /// Room kept free around the panel when the window is large enough.
  static constexpr std::int32_t kBorder = 12;

  /// Shows `dialog` as the topmost sheet of `window` and answers it. `completion` (optional)
  /// replaces the dialog's. Returns at once; the window need not be open (tests).
  static MDialog& Show(MWindow& window, std::unique_ptr<MDialog> dialog, MDialog::Completion completion = {});
  /// The sheet of the window that holds `origin`; null when `origin` is in no window.
  static MDialog* ShowOver(MControl& origin, std::unique_ptr<MDialog> dialog,
                           MDialog::Completion completion = {});
  /// The sheets of `window`, bottom to top.
  static std::vector<MSheet*> SheetsOf(const MWindow& window);
  /// The topmost sheet's dialog; null when no sheet is shown.
  static MDialog* TopDialog(const MWindow& window);

  explicit MSheet(std::unique_ptr<MDialog> dialog);
  ~MSheet() override;

  MDialog& GetDialog() const { return *m_dialog; }
  /// Where the panel sits now (sheet coordinates).
  MRect GetPanelRect() const { return m_dialog->GetBounds(); }

  /// The dimmed window and the panel's shadow.
  void Paint(MDrawer& drawer) override;
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseWheel(MPoint position, std::int32_t delta, std::uint32_t modifiers) override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  bool OnKeyUp(std::int32_t key, std::uint32_t modifiers) override;
  bool OnCharacter(std::int32_t character, std::uint32_t modifiers) override;

protected:
  void OnSizeChanged() override { PlacePanel(); }

private:
  /// The dialog ended: out of the window now, destroyed once no handler runs.
  void Remove();
  void PlacePanel();

  MDialog* m_dialog;
  MSize m_wanted;
  MPoint m_scroll;
};
