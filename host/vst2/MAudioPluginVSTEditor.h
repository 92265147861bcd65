#pragma once
// MAudioPluginVSTEditor: the effEdit* opcodes of one MAudioPluginVSTAdapter.
//
// The editor window is the plug-in's (MAudioPlugin::OpenEditor) opened with the module's window
// system (MModuleLibrary::GetWindowSystem) inside the window the host passes to effEditOpen (an
// HWND on Windows, an X11 window id on Linux). effEditIdle is the only clock: it runs the plug-in's idle work
// and pumps the window system; a host that never idles gets the first picture (painted at open) and nothing
// more, never a hang.
//
// Threads: the host's UI thread for every call; it becomes the window system's GUI thread. Every
// operation runs inside MHostCallShield ("MAudioPluginVSTAdapter::MEditor::<operation>") and
// answers false/nothing when the plug-in throws.

#include "sdk/vst2/AEffEditor.h"

class MAudioPlugin;

namespace Vst2
{
class MAudioPluginVSTEditor : public AEffEditor
{
public:
  /// `plugin` is the adapter's (not owned; the adapter closes the editor before deleting it).
  MAudioPluginVSTEditor(AudioEffect* effect, MAudioPlugin& plugin);
  ~MAudioPluginVSTEditor() override = default;

  /// A rectangle {0, 0, height, width} of the editor's size (the default size while closed) in a
  /// record that stays valid until the next call; sizes below 5 read as 0.
  bool getRect(ERect** rect) override;
  /// Opens the editor in the host's window (null: false); a second open without close answers
  /// true and keeps the first window.
  bool open(void* parent) override;
  void close() override;
  void idle() override;
  bool onKeyDown(VstKeyCode& keyCode) override;
  bool onKeyUp(VstKeyCode& keyCode) override;

private:
  bool OnKey(bool down, const VstKeyCode& keyCode);

  MAudioPlugin& m_plugin;
  ERect m_rect{0, 0, 0, 0};
};
} // namespace Vst2
