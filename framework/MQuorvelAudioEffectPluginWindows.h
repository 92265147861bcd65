#pragma once
// The windows of the common editor: the ABCD morphing editor and the "General settings" window.
//
// Both are dialogs shown as sheets (MSheet) over the editor window that holds the control the
// user clicked (MQuorvelAudioEffectPlugin::OpenABCDEditor / OpenSettingsWindow): centred in it,
// over the dimmed editor, no larger than it. Opening returns at once; the host's loop and audio go
// on. Asking again while a sheet is shown in that window does nothing (the sheet covers the
// buttons anyway). Closing the editor destroys them with it.
//
// Threads: GUI thread (the host's UI thread), like the editor.

#include "framework/MGeneralSettings.h"
#include "gui/styles/MStyleConfiguration.h"
#include "framework/MQuorvelAudioEffectPlugin.h"
#include "gui/controls/MDialogWindow.h"
#include "gui/controls/MVector2DEditor.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class MButton;
class MCheckBox;
class MColorButton;
class MSelector;
class MStatic;
class MSTMLControl;

/// The (u, v) pad of the morphing editor: u runs left to right, v top to bottom, so that slot A
/// sits at the top-left corner (0, 0), B top-right (1, 0), C bottom-left (0, 1) and D
/// bottom-right (1, 1); the corners carry the slot letters. The handle jumps to a click and
/// follows the mouse while the button is held (a drag started with Shift moves it ten times
/// finer, relative to the mouse); the arrow keys move it by 1/50 (Shift: 1/500); a double click centres it.
/// Every move fires the changed event. The gesture hook is told when a drag or a key move starts (true) and
/// ends (false), so that everything one drag changes travels in one gesture.
class MMorphPad : public MVector2DEditor
{
public:
  MMorphPad();

  double GetU() const { return GetX(); }
  double GetV() const { return 1.0 - GetY(); }
  /// Places the handle (each limited to 0..1) without the changed event.
  void SetUV(double u, double v) { SetPoint(u, 1.0 - v); }
  /// The window pixel of (u, v), for tests and scripted input.
  MPoint UVToWindow(double u, double v) const;

  /// Gesture hook: open (true) before the first move of a drag or key press, close (false) after.
  std::function<void(bool open)> m_gesture;

  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  void OnCaptureLost() override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  /// The pad of MVector2DEditor, with the slot letters in its corners.
  void Paint(MDrawer& drawer) override;

private:
  void Gesture(bool open);
  bool m_gestureOpen = false;
  bool m_fine = false;
};

/// "ABCD morphing": the pad, a label at each corner (whether that slot is the active one, which
/// morphing changes, or one never visited, which blends the current settings) and a Close button. Opening it
/// runs PrepareMorph (the opener does); each move of the handle calls Morph (u, v), which sets the
/// parameters, reports them to the host and refreshes the editor's controls.
class MQuorvelAudioEffectPlugin::ABCDEditor : public MDialog
{
public:
  static constexpr const char* kPadId = "MorphPad";

  explicit ABCDEditor(MQuorvelAudioEffectPlugin& plugin);
  /// Closes a gesture a drag left open.
  ~ABCDEditor() override;

  MMorphPad& GetPad() { return *m_pad; }
  /// The label of corner `slot` (0..3).
  const MStatic& GetLabel(std::int32_t slot) const { return *m_labels[static_cast<std::size_t>(slot)]; }

protected:
  void LayoutContent(const MRect& content) override;

private:
  void OnPadChanged(MOnNotifyParams& params);
  /// Opens or closes a gesture on every parameter that differs between the four corners.
  void SetGestures(bool open);

  MQuorvelAudioEffectPlugin& m_plugin;
  MMorphPad* m_pad = nullptr;
  MStatic* m_hint = nullptr;
  std::array<MStatic*, 4> m_labels{};
  std::vector<std::int32_t> m_openGestures;
};

/// "General settings": the three check boxes kept in MGeneralSettings ("SurroundActivated",
/// "TabletMode", "showconfirmations"; each toggle is written at once), the "Automation
/// protection" menu (the level matching maxLFOBlockSize; choosing one sets it) and the "Channel
/// mode" menu ("ChannelModeMenu"; choosing a mode makes it active at once; "Surround" only while
/// surround is activated), the editor's "Zoom" ("Automatic" or 100 % to 200 %, kept in
/// MGeneralSettings; the open editor takes it at once), and a row of three
/// buttons: "Set default settings" (the current state becomes what every new instance starts
/// with), "Load default settings" (replaces this instance's settings with them, after the
/// confirmation of destructive actions) and "Panic" (MQuorvelAudioEffectPlugin::Panic). Below them
/// the look of every editor (MStyleSettings): the style menu ("StyleMenu", the package's styles),
/// the four main colours ("MainColor0" .. "MainColor3", each opening a colour sheet; OK takes the
/// colour) and "ResetColors" (the default colours); each choice is stored and redraws every open
/// editor at once. The line
/// at the bottom shows the help of the setting under the mouse, the outcome of a button, and any
/// problem with the settings file (its message and path escaped: shown as text, never as mark-up).
class MQuorvelAudioEffectPlugin::SettingsWindow : public MDialog
{
public:
  static constexpr const char* kProtectionId = "AutomationProtection";
  static constexpr const char* kChannelModeId = "ChannelModeMenu";
  static constexpr const char* kZoomId = "Zoom";
  static constexpr const char* kHelpId = "SettingsHelp";
  static constexpr const char* kSetDefaultsId = "SetDefaultSettings";
  static constexpr const char* kLoadDefaultsId = "LoadDefaultSettings";
  static constexpr const char* kPanicId = "Panic";
  static constexpr const char* kStyleId = "StyleMenu";
  static constexpr const char* kColorIds[4] = {"MainColor0", "MainColor1", "MainColor2", "MainColor3"};
  static constexpr const char* kResetColorsId = "ResetColors";
  /// Only for an effect that sends MIDI (GetMIDIOutput): this instance's switch for it.
  static constexpr const char* kSendNotesId = "SendDetectedNotes";

  /// Reads the general settings file; an unreadable one shows the defaults and says why.
  explicit SettingsWindow(MQuorvelAudioEffectPlugin& plugin);
  ~SettingsWindow() override = default;

  /// The help line's text (STML), as shown now.
  const MString& GetHelpText() const { return m_helpText; }
  /// Shows the help of `control` (or of its nearest ancestor with help); the current note (the
  /// file's problem, or a hint) when it has none.
  void ShowHelpFor(const MControl* control);
  /// The hover tick: follows the control under the mouse.
  bool OnTimer(std::int32_t id) override;
  /// Starts the hover tick once the window is shown.
  void OnShown() override;

protected:
  void LayoutContent(const MRect& content) override;

private:
  void OnCheckChanged(MOnNotifyParams& params);
  void OnProtectionChanged(MOnNotifyParams& params);
  void OnChannelModeChanged(MOnNotifyParams& params);
  void OnZoomChanged(MOnNotifyParams& params);
  void OnSetDefaults(MOnNotifyParams& params);
  void OnLoadDefaults(MOnNotifyParams& params);
  void OnPanic(MOnNotifyParams& params);
  void OnStyleChanged(MOnNotifyParams& params);
  void OnColorClicked(MOnNotifyParams& params);
  void OnResetColors(MOnNotifyParams& params);
  /// Stores the style configuration and redraws every open editor in it.
  void ApplyStyle();
  void OnSendNotesChanged(MOnNotifyParams& params);
  void SetNote(const MString& note);
  /// The protection menu (with a "Custom" entry for a block size no level has) and the channel
  /// mode as the plug-in has them now.
  void ShowPluginSettings();
  void UpdateProtectionHelp();

  MQuorvelAudioEffectPlugin& m_plugin;
  MGeneralSettings::Values m_values;
  std::array<MCheckBox*, 3> m_checks{};
  MStatic* m_protectionLabel = nullptr;
  MSelector* m_protection = nullptr;
  MStatic* m_channelLabel = nullptr;
  MSelector* m_channelMode = nullptr;
  MStatic* m_zoomLabel = nullptr;
  MSelector* m_zoom = nullptr;
  MCheckBox* m_sendNotes = nullptr;
  std::array<MButton*, 3> m_actions{};
  MTexturedStyleConfiguration m_styleConfiguration;
  MStatic* m_styleLabel = nullptr;
  MStatic* m_colorsLabel = nullptr;
  MSelector* m_style = nullptr;
  std::array<MColorButton*, 4> m_colors{};
  MButton* m_resetColors = nullptr;
  MSTMLControl* m_help = nullptr;
  MString m_note;
  MString m_helpText;
  const MControl* m_helpSource = nullptr; // compared only, never followed
};
