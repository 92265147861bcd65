#pragma once
// MMIDIControllerWindow: the "MIDI" sheet of the editor, where every MIDI assignment of the
// plug-in is seen and edited.
//
// From the top: the two master switches ("ControllersEnabled", "NoteControllersEnabled"); the
// preset-switch controller (on, source, channel); the controller sets (a saved set chosen from
// the second preset tree, loaded or deleted, and the current lists saved under a name); then the
// 32 controller assignment rows (on, parameter, channel, source, range mode, value, maximum,
// range, invert) and the 32 note controller rows (on, parameter, channel, note, mode, value,
// maximum), eight at a time: a menu chooses the list, another the rows. A row whose parameter is
// "(none)" is an empty slot. Values are shown and typed in percent of the parameter's range
// (0..100).
//
// Every edit reaches the plug-in at once (MAudioEffectPluginToAudioPluginAdapter::
// SetControllerLists and the master switches; the lists cross to the audio thread under the
// processing lock as a loaded state does) and the host hears that the state changed. Only what
// the user changed goes back: the rows, switches and preset-switch fields that differ from what
// the sheet last showed, laid over the plug-in's lists as they are now. The lists also change
// under the sheet (a state the host loads, a program change, a MIDI learn): the plug-in's idle
// tick calls FollowPluginState, which shows them again.
//
// A controller set is named by its id (MPresetTree::IdOf), never by its place in the choice:
// Load and Delete after another instance deleted the set refuse and say so.
//
// The controller sets live in their own file (controllersets.xml beside presets.xml) in a
// preset tree of their own (MPresetManagerT instantiated for the lists): a set is the
// "Controllers" and "NoteControllers" items with the master switches, stored as a preset. A
// missing file starts as the factory sets (resources/presets/controllersets.xml, embedded).
//
// Threads: GUI thread, inside the editor's window.

#include "base/MEventParams.h"
#include "base/MString.h"
#include "framework/MControllerSettings.h"
#include "framework/MPresetManagerT.h"
#include "gui/controls/MDialogWindow.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class MAudioEffectPluginToAudioPluginAdapter;
class MButton;
class MCheckBox;
class MControl;
class MEdit;
class MSelector;
class MStatic;

class MMIDIControllerWindow : public MDialog
{
public:
  static constexpr std::int32_t kRows = MControllerSettings::kMaxAssignments;
  static constexpr std::int32_t kRowHeight = 24;
  static constexpr std::int32_t kRowGap = 4;
  /// Width the rows need.
  static constexpr std::int32_t kContentWidth = 628;

  /// The lists as one preset of the controller-set tree.
  class SetTarget
  {
  public:
    explicit SetTarget(MAudioEffectPluginToAudioPluginAdapter& plugin) : m_plugin(plugin) {}
    void LoadPresetSettings(MXmlItem& settings);
    void SavePresetSettings(MXmlItem& settings);
    std::int32_t GetCurrentPresetIndex() const { return m_current; }
    void SetCurrentPresetIndex(std::int32_t index) { m_current = index; }

  private:
    MAudioEffectPluginToAudioPluginAdapter& m_plugin;
    std::int32_t m_current = -1;
  };
  using SetManager = MPresetManagerT<SetTarget>;

  /// `setsPath`: the controller-set file (read now; a missing or unreadable one gives no sets
  /// and says so in the note line).
  MMIDIControllerWindow(MAudioEffectPluginToAudioPluginAdapter& plugin, const MString& setsPath);
  ~MMIDIControllerWindow() override;

  /// The factory controller sets as a preset tree; an empty tree when the embedded document does
  /// not pass the tree's check (the tests read it).
  static MXmlItem GetFactorySets();

  /// Re-reads the plug-in's lists, switches and preset switch into the rows.
  void ShowPluginState();
  /// ShowPluginState when the plug-in's assignments differ from what the rows show.
  void FollowPluginState();
  /// The note line's text (outcome of a set action, a file problem).
  MString GetNote() const;

  /// Texts of the choices, shared with the tests: "Any", "1".."16"; "CC 0".."CC 127",
  /// "Aftertouch", "Pitch-bend", "Velocity (on & off)", "Velocity (on)"; "C-1".."G9".
  static MString ChannelName(std::int32_t channel);
  static MString SourceName(std::int32_t source);
  static MString NoteName(std::int32_t note);

protected:
  void LayoutContent(const MRect& content) override;

private:
  struct ControllerRow
  {
    MCheckBox* enabled = nullptr;
    MSelector* parameter = nullptr;
    MSelector* channel = nullptr;
    MSelector* source = nullptr;
    MSelector* mode = nullptr;
    MEdit* value = nullptr;
    MEdit* maxValue = nullptr;
    MEdit* range = nullptr;
    MCheckBox* invert = nullptr;
    /// In the order of the columns.
    std::array<MControl*, 9> Controls() const;
  };
  struct NoteRow
  {
    MCheckBox* enabled = nullptr;
    MSelector* parameter = nullptr;
    MSelector* channel = nullptr;
    MSelector* note = nullptr;
    MSelector* mode = nullptr;
    MEdit* value = nullptr;
    MEdit* maxValue = nullptr;
    std::array<MControl*, 7> Controls() const;
  };

  /// What the rows, switches and preset switch showed last: an edit is what differs from it.
  struct Shown
  {
    std::array<MControllerAssignment, kRows> controllers{};
    std::array<MNoteControllerAssignment, kRows> notes{};
    bool controllersOn = false, notesOn = false, switchOn = false;
    std::int32_t switchSource = 0, switchChannel = 0;
  };
  Shown ReadPlugin() const;

  MEdit& AddPercentEdit(const MString& id);
  void OnChanged(MOnNotifyParams& params);
  void OnSetAction(MOnNotifyParams& params);
  /// Another list or page: the rows shown change.
  void OnViewChanged(MOnNotifyParams& params);
  /// Rows, switches and preset switch into the plug-in; the host hears of it.
  void Apply();
  void ShowSets();
  void SetNote(const MString& note);

  MAudioEffectPluginToAudioPluginAdapter& m_plugin;
  MString m_setsPath;
  SetTarget m_setTarget;
  SetManager m_sets;
  bool m_showing = false; // ShowPluginState fills the rows: no Apply meanwhile
  Shown m_shown;
  std::vector<MString> m_setIds, m_setNames; // the choice's sets, in its order
  MCheckBox* m_controllersOn = nullptr;
  MCheckBox* m_noteControllersOn = nullptr;
  MCheckBox* m_presetSwitchOn = nullptr;
  MSelector* m_presetSwitchSource = nullptr;
  MSelector* m_presetSwitchChannel = nullptr;
  MStatic* m_setLabel = nullptr;
  MSelector* m_setChoice = nullptr;
  MButton* m_loadSet = nullptr;
  MButton* m_deleteSet = nullptr;
  MEdit* m_setName = nullptr;
  MButton* m_saveSet = nullptr;
  MStatic* m_note = nullptr;
  MSelector* m_list = nullptr; ///< which list the rows show: controllers or note controllers
  MSelector* m_page = nullptr; ///< which eight rows of it
  std::array<MControl*, 9> m_controllerHeads{};
  std::array<MControl*, 7> m_noteHeads{};
  std::array<ControllerRow, kRows> m_controllerRows{};
  std::array<NoteRow, kRows> m_noteRows{};
};
