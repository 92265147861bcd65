#pragma once
// MAudioPluginEditorWindow: the plug-in editor as a toolkit window embedded in the host's window.
//
// Built by MAudioPlugin::CreateEditorControl on the host's UI thread, which is the window
// system's GUI thread: an MWindow the size asked for, holding one MContainer that the plug-in
// fills (MAudioPlugin::CreateEditorContents), opened as a child of the host's native window
// through the window system the host adapter hands in (the module's process-wide one). The
// window system is not owned; it outlives every editor.
//
// The contents, from top to bottom (ids for FindChild): the header strip "Header" (product name
// "Title"; vendor, version and format "Version"), the preset bar "PresetBar" when the plug-in adds
// one (at the height it gave it), the plug-in's own controls "UserControls", the generic
// parameter panel "MainPluginParameters" inside "PluginParametersContainer" (hidden in the
// compact editor mode, leaving its room to the plug-in's controls) and the help line "Help",
// which shows the STML help of the control under the mouse (or of its nearest ancestor that has
// one), else a short hint. ArrangeContents places them for the contents' size; it runs again
// whenever the window is resized.
//
// Threads: every operation runs on the GUI thread. Idle pumps the window system without blocking
// (host idle hooks and run-loop ticks call it). Destroying the editor closes the native window.

#include "core/plugin/MAudioPlugin.h"
#include "gui/MGuiTypes.h"
#include "gui/MWindowSystem.h"

#include <memory>

class MControl;
class MSTMLControl;

class MAudioPluginEditorWindow : public MAudioPlugin::MEditor
{
public:
  /// Builds the window and its contents and opens it in `parent`. Throws MException when the
  /// back end cannot create the native window (nothing stays open then).
  MAudioPluginEditorWindow(MAudioPlugin& plugin, MWindowSystemCommon& system, MNativeHandle parent,
                           MSize size);
  /// Closes the window and destroys the tree.
  ~MAudioPluginEditorWindow() override;

  /// Nothing left to do: the adapters already refreshed their own controls (the parameter panel's
  /// knobs and switches, the plug-in's controls) in UpdateEditorControls, and a control whose
  /// value or text changed repaints itself.
  void RefreshAdapters(MAudioPlugin::AutomationAdapter* const* adapters, std::int32_t count) override;
  /// Updates the help line for the control under the mouse, then one bounded round of the window
  /// system's work; never blocks.
  void Idle() override;
  /// Resizes the window and its contents to `width` x `height` device pixels (the host's; the
  /// layout gets them divided by the zoom; sizes below 1 are ignored); when the area of the
  /// plug-in's own controls changed, the plug-in builds them anew for it.
  void SetSize(std::int32_t width, std::int32_t height) override;
  /// The size the editor was opened with or last given through SetSize. Not the native window's:
  /// a host whose frame fits the embedded window to its own area (a few pixels larger) would read
  /// that back as the editor's size, size its frame larger again at the next open, and so on.
  MSize GetSize() const override;
  MWindow* GetWindow() const override { return m_window.get(); }
  /// Zoom: the window draws at `scale` with the same logical layout; GetSize answers the device
  /// size. The editor opens at MAudioPlugin::ChooseEditorScale (the window system's scale for the
  /// host's window taken first).
  void SetScale(double scale) override;
  double GetScale() const override;
  /// Routes the key to the window (its focused control); true when a control has the focus.
  bool OnHostKey(const MSystemEvent& event) override;

  /// The contents the plug-in filled.
  MContainer& GetContents() const { return *m_contents; }

  /// Id of the control that shows parameter `index` (MPluginParameters::ControlId), and the text
  /// it shows (display value and units).
  static MString ValueId(std::int32_t index);
  static MString ValueText(const MAudioPlugin& plugin, std::int32_t index);

  /// Ids of the parts of the contents.
  static constexpr const char* kHeaderId = "Header";
  static constexpr const char* kPresetBarId = "PresetBar";
  static constexpr const char* kUserControlsId = "UserControls";
  static constexpr const char* kParametersContainerId = "PluginParametersContainer";
  static constexpr const char* kParametersId = "MainPluginParameters";
  static constexpr const char* kHelpId = "Help";
  /// Heights of the fixed parts, in pixels.
  static constexpr std::int32_t kHeaderHeight = 40;
  static constexpr std::int32_t kParametersHeight = 112;
  static constexpr std::int32_t kHelpHeight = 46;
  static constexpr std::int32_t kMargin = 12;

  /// Places the parts that `contents` has (any may be missing) for its current size.
  static void ArrangeContents(MContainer& contents);
  /// The help line's text while no control under the mouse has help of its own (STML).
  static MString DefaultHelp();
  /// Shows help text `help` (STML) in the help line, in the small font. Throws MException for
  /// malformed mark-up (the line keeps its text).
  static void SetHelpText(MSTMLControl& line, const MString& help);
  /// The help text the help line shows for `control`: its own or its nearest ancestor's.
  static MString HelpFor(const MControl* control);

private:
  /// Shows the help of `control` in the help line (when it changed).
  void ShowHelpFor(const MControl* control);

  MAudioPlugin& m_plugin;
  MWindowSystemCommon& m_system;
  std::unique_ptr<MWindow> m_window;
  MContainer* m_contents = nullptr;
  MSize m_size;                           // see GetSize
  const MControl* m_helpSource = nullptr; // compared only, never followed
  MString m_helpText;
};
