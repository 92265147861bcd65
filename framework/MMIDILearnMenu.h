#pragma once
// MMIDILearnMenu: the context menu of the editor's parameter controls (knobs, switches, piano
// keys): "MIDI learn", "Forget MIDI" and, where the control has one, its typed entry.
//
// "MIDI learn" makes the control's parameter wait (MAudioEffectPluginToAudioPluginAdapter::
// StartMIDILearn): the control shows it waits until the next controller, aftertouch, pitch-bend
// or note from the host fills an assignment (the editor's idle tick, Idle), until Escape on the
// control, or until learn starts for another control. "Forget MIDI" removes the parameter's
// assignments. The plug-in owns one menu and sets it on every editor window it opens.
//
// Threads: GUI thread.

#include "gui/controls/MControlMenu.h"

#include <memory>

class MAudioEffectPluginToAudioPluginAdapter;
class MWindow;
class MWindowMenu;

class MMIDILearnMenu : public MControlMenu
{
public:
  /// Entries of the menu, in order (the typed entry only for controls that have one).
  enum Entry : std::int32_t
  {
    kLearn = 0,
    kForget = 1,
    kEnterValue = 2,
  };

  explicit MMIDILearnMenu(MAudioEffectPluginToAudioPluginAdapter& plugin);
  ~MMIDILearnMenu() override;

  bool Open(MControl& control, std::int32_t part, const MRect& anchor,
            std::function<void()> enterValue) override;
  bool IsWaiting(const MControl& control, std::int32_t part) const override;
  bool Cancel() override;

  /// Chooses entry `entry` for the control the menu was last opened for, as the user's click
  /// does (tests, and the popup's handler).
  void Choose(std::int32_t entry);
  /// The editor's idle tick: takes the learn notifications and repaints `window` when the wait
  /// began or ended since the last tick.
  void Idle(MWindow& window);
  /// Closes the popup (the editor closes) and ends learn.
  void Close();

private:
  MAudioEffectPluginToAudioPluginAdapter& m_plugin;
  std::unique_ptr<MWindowMenu> m_popup;
  std::function<void()> m_enterValue;
  std::int32_t m_parameter = -1; ///< of the control the menu was opened for
  std::int32_t m_shownWait = -1; ///< the waiting parameter the window last painted
};
