#pragma once
// MAudioPluginEditorWindow: the plug-in editor as a toolkit window embedded in the host's window.
//
// Built by MAudioPlugin::CreateEditorControl on the host's UI thread, which is the window
// system's GUI thread: an MWindow the size asked for, holding one MContainer that the plug-in
// fills (MAudioPlugin::CreateEditorContents), opened as a child of the host's native window
// through the window system the host adapter hands in (the module's process-wide one). The
// window system is not owned; it outlives every editor.
//
// Threads: every operation runs on the GUI thread. Idle pumps the window system without blocking
// (host idle hooks and run-loop ticks call it). Destroying the editor closes the native window.

#include "core/plugin/MAudioPlugin.h"

#include <memory>

class MAudioPluginEditorWindow : public MAudioPlugin::MEditor
{
public:
  /// Builds the window and its contents and opens it in `parent`. Throws MException when the
  /// back end cannot create the native window (nothing stays open then).
  MAudioPluginEditorWindow(MAudioPlugin& plugin, MWindowSystemCommon& system, MNativeHandle parent,
                           MSize size);
  /// Closes the window and destroys the tree.
  ~MAudioPluginEditorWindow() override;

  /// Sets the rows of the adapters' slots to their current display texts and repaints them.
  void RefreshAdapters(MAudioPlugin::AutomationAdapter* const* adapters, std::int32_t count) override;
  /// One bounded round of the window system's work; never blocks.
  void Idle() override;
  /// Resizes the window and its contents (sizes below 1 are ignored).
  void SetSize(std::int32_t width, std::int32_t height) override;
  MSize GetSize() const override;
  MWindow* GetWindow() const override { return m_window.get(); }
  /// Routes the key to the window (its focused control); true when a control has the focus.
  bool OnHostKey(const MSystemEvent& event) override;

  /// The contents the plug-in filled.
  MContainer& GetContents() const { return *m_contents; }

  /// Id of the placeholder's value row of parameter `index`, and its text (display value and
  /// units).
  static MString ValueId(std::int32_t index);
  static MString ValueText(const MAudioPlugin& plugin, std::int32_t index);

private:
  MAudioPlugin& m_plugin;
  MWindowSystemCommon& m_system;
  std::unique_ptr<MWindow> m_window;
  MContainer* m_contents = nullptr;
};
