#pragma once
// MQuorvelAudioEffectPlugin: the plug-in class every effect of the family is hosted in.
//
// It adds to the adapter what all these effects share:
//  - eight preset slots (A to H, index 0..7) of which one is active, with an A/B switch. The live
//    plug-in state is the state of the active slot; each other slot keeps a copy of its own
//    settings item (the adapter's StoreSettings part: effect parameters, controllers, current
//    preset). A slot that was never visited is empty and takes the live state when chosen;
//  - ABCD morphing: the live parameters as a bilinear blend of slots A, B, C and D;
//  - automatic gain compensation (MGainCompensation) with its switch and the optimal-gain
//    computation ("Set"), and the automation protection levels (maxLFOBlockSize);
//  - copy and paste of the whole state as XML text;
//  - the user's preset tree (presets.xml in the preset folder, see GetPresetFolder), with the
//    factory presets copied in on first use.
//
// Threads: as the adapter. Slots, morphing, presets and paste run on the host or GUI thread;
// none of them runs on the audio thread. A program change or preset step that MIDI or a trigger
// parameter asks for on the audio thread is queued and applied by ApplyQueuedPresetStep (the
// editor's idle tick, or the update thread within about 100 ms while no editor is open): program
// n selects preset n of the tree in tree order.
// The preset state (the tree, the slots, the current preset, and applying a preset or a slot to
// the plug-in) has one owner at a time: the preset lock (LockPresets). The GUI thread, the
// update thread and the host's program and state calls take it; the audio thread never does
// (it only queues). The update thread only tries it and leaves the work for its next tick.

#include "base/MXmlItem.h"
#include "framework/MAudioEffectPluginToAudioPluginAdapter.h"
#include "framework/MGainCompensation.h"
#include "framework/MPresetManagerT.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class MContainer;
class MControl;
class MProgressDialog;
class MQuorvelEditorDialogs;

class MQuorvelAudioEffectPlugin : public MAudioEffectPluginToAudioPluginAdapter
{
public:
  static constexpr std::int32_t kPresetSlots = 8;
  /// Slot E: where morphing moves the active slot so that slots A to D stay as they are.
  static constexpr std::int32_t kFirstSlotOutsideMorph = 4;

  /// One automation protection level of the general settings: a choice of maxLFOBlockSize.
  struct ProtectionLevel
  {
    const char* name;
    const char* help;
    std::int32_t blockSize;
  };
  static constexpr std::int32_t kProtectionLevels = 5;
  static const ProtectionLevel kProtection[kProtectionLevels];

  using PresetManager = MPresetManagerT<MQuorvelAudioEffectPlugin>;

  MQuorvelAudioEffectPlugin();
  ~MQuorvelAudioEffectPlugin() override;

  /// "AGC", "PresetIndex", the inactive slots as sub-items "Preset0" .. "Preset7", then the
  /// adapter's part. A "PresetIndex" outside 0..7 is ignored.
  void Store(MStoreContext& context) override;

  /// The preset lock (see Threads above; recursive). A caller that works on the tree across
  /// several calls, such as an action of the preset window, holds it meanwhile.
  std::unique_lock<std::recursive_mutex> LockPresets() { return std::unique_lock(m_presetMutex); }

  // ---- slots (host/GUI thread) ----

  std::int32_t GetPresetIndex() const noexcept { return m_presetIndex; }
  std::int32_t GetRequestedPresetIndex() const noexcept { return m_requestedPresetIndex; }
  /// The slot active before the current one (the A/B partner).
  std::int32_t GetPreviousPresetIndex() const noexcept { return m_previousPresetIndex; }
  /// The stored state of slot `index` (0..7); an empty item outside the range.
  const MXmlItem& GetPresetSlot(std::int32_t index) const;
  /// Whether a stored slot was never visited (it holds nothing and takes the live state).
  static bool IsEmptySlot(const MXmlItem& slot);
  /// Replaces the stored state of slot `index` (ignored outside 0..7).
  void SetPresetSlot(std::int32_t index, const MXmlItem& settings);
  /// Keeps the live state as the stored state of the active slot, makes `index` active and
  /// loads its stored state (an empty slot keeps the live state). False outside 0..7.
  bool SelectSlot(std::int32_t index);
  /// The defaults are loaded under the preset lock, taken before the processing locks as a
  /// preset load takes them.
  bool LoadDefaultSettings() override;
  /// The A/B button: back to the previously active slot.
  void ToggleAB() { SelectSlot(m_previousPresetIndex); }
  /// The slot letter "A" .. "H" (empty outside 0..7).
  static MString SlotName(std::int32_t index);

  // ---- the host's program list: the eight slots (host UI thread) ----
  //
  // Hosts list the slots, not the preset tree: the slots are a fixed count that both host
  // interfaces report alike for the plug-in's whole life, and choosing one is SelectSlot. The
  // names are fixed ("Slot A" .. "Slot H"); a host's rename is not kept.

  std::int32_t GetProgramCount() const override { return kPresetSlots; }
  std::int32_t GetCurrentProgram() const override { return m_presetIndex; }
  bool SetCurrentProgram(std::int32_t index) override { return SelectSlot(index); }
  MString GetProgramName(std::int32_t index) const override;
  /// The general setting "Activate surround" (read from its file at each call).
  bool OffersSurround() const override;
  /// The general setting "Zoom" when it names a step; automatic: the host's or desktop's scale.
  double ChooseEditorScale() const override;
  /// Channel modes the menus offer: all of them, or all but "Surround" (the last) while surround
  /// is not activated.
  static std::int32_t OfferedChannelModeCount(bool surround);

  // ---- ABCD morphing (GUI thread) ----

  /// Takes the normalised value of every host parameter from slots A to D (the live state for
  /// the active slot or an empty one). The stored slots are read as loading would read them, but
  /// nothing is loaded: the running plug-in is untouched. A parameter a slot does not store, and
  /// one whose stored form is the effect's own (such as a multi-slot adapter of the effect),
  /// keeps its live value in that corner.
  void PrepareMorph();
  /// Sets each parameter to the blend at (u, v) in 0..1 x 0..1 (A at (0, 0), B at (1, 0), C at
  /// (0, 1), D at (1, 1)) and reports changes beyond 1e-5 to the host as automation. Needs
  /// PrepareMorph first; false when it was not run or the parameter count changed since.
  /// Takes the processing lock (throws "Could not acquire mutex." only past a timeout).
  bool Morph(double u, double v);
  /// Whether morphing would overwrite the active slot (one of A to D is active).
  bool MorphOverwritesActiveSlot() const noexcept { return m_presetIndex < kFirstSlotOutsideMorph; }
  /// The question the morph editor asks when MorphOverwritesActiveSlot(); "yes" selects slot E.
  MString MorphWarningText() const;

  // ---- automatic gain, protection ----

  /// The "AGC" switch: while on, the output keeps the input's loudness (see MGainCompensation);
  /// switched off, the gain returns to unity within about 50 ms. Any thread.
  bool IsAGCEnabled() const noexcept { return m_agc; }
  void SetAGCEnabled(bool enabled) noexcept { m_agc = enabled; }
  /// The gain the compensation applied at the end of the last block, in dB. Any thread.
  double GetAGCGainDb() const noexcept { return m_gainCompensation.GetGainDb(); }
  /// "Set": switches AGC on and measures the gain afresh from the next two seconds of audible
  /// audio, then lands on it. A computation still running is dropped. Host/GUI thread.
  void StartOptimalGain();
  /// Share of the running computation measured so far (0..1; 1 once it finished).
  double GetOptimalGainProgress() const noexcept;
  /// Whether the computation started last has finished (false while none was started).
  bool IsOptimalGainFinished() const noexcept;
  /// Cancels the running computation: the gain from before it and the AGC switch as it was.
  /// Host/GUI thread.
  void CancelOptimalGain();
  /// The level whose block size equals maxLFOBlockSize, -1 when none does.
  std::int32_t GetProtectionLevel() const noexcept;
  /// Sets maxLFOBlockSize to the level's block size (0..4; others ignored).
  void SetProtectionLevel(std::int32_t level) noexcept;

  // ---- panic (GUI thread) ----

  /// "Panic": stops whatever hangs, without changing a setting or parameter. The effect's
  /// processing state and the pass-through and bypass delays start afresh (InitProcessing under
  /// the plug-in's locks; the block driver hands out silence meanwhile), the gain compensation is
  /// back at unity (a running optimal-gain computation ends and its window closes; the AGC switch
  /// stays as it is), and with the next MIDI event or processed block (whichever comes first)
  /// the audio thread ends every held or sustained MIDI note for the MIDI listeners: a note-off
  /// for each, then sustain off and all notes off on every channel. Those note-offs skip the
  /// controller mapping (they move no parameter).
  /// False when the effect refused the set-up or the reset failed (the failure is logged).
  bool Panic();
  /// Whether the MIDI part of a Panic still waits for the next block. Any thread.
  bool IsPanicPending() const noexcept { return m_panicPending.load(std::memory_order_acquire); }
  /// Audio thread: ends the held notes first when a Panic asked for it, then decodes the event.
  bool ProcessMIDIEvent(std::int32_t delta, const std::uint8_t bytes[3]) override;

  // ---- copy and paste (GUI thread) ----

  /// The whole state as an XML document (compact UTF-8 with the declaration).
  MString CopySettingsText();
  /// Decodes `text` completely and only then loads it as the whole state. False with `error`
  /// naming the problem when it is no settings document; the state is then unchanged.
  bool PasteSettingsText(const MString& text, MString& error);

  // ---- presets (host/GUI thread) ----

  /// The preset folder: "Presets" in the settings folder; empty when there is none.
  static MString GetPresetFolder();
  /// presets.xml in the preset folder; empty when there is no settings folder.
  static MString GetPresetFilePath();
  /// The tree, read from presets.xml on first use. A missing file starts the tree with the
  /// factory presets (and writes it, but not in a mirror); an unreadable one leaves an empty
  /// tree, keeps the file as it is and reports why through GetPresetTreeError.
  PresetManager& GetPresetManager();
  /// Why presets.xml could not be read (empty when it was fine).
  const MString& GetPresetTreeError() const noexcept { return m_presetTreeError; }
  /// One change of the tree as a read-modify-write of presets.xml, shared with the other
  /// instances (see MPresetTree::Change): under the file's lock, what they saved since this
  /// instance last read or wrote the file is merged into the tree, then `change` runs on it and
  /// the tree is written. `change` finds its items by id (MPresetTree::FindById), never through
  /// pointers kept from before. A file still unreadable under the lock is moved aside as
  /// "presets.xml.unreadable" (numbered when that exists), never overwritten, and `error` then
  /// names the kept copy although the change succeeded; a readable file is never moved. The
  /// current preset stays current while it exists. False with `error` set on failure
  /// (MPresetTree::kFileInUse when another instance held the file beyond the timeout; always in a
  /// mirror); the tree is then as it was.
  bool ChangePresetTree(const std::function<void(PresetManager&)>& change, MString& error);
  /// ChangePresetTree without a change of its own: writes edits already made to the tree.
  bool SavePresetTree(MString& error);
  /// Whether presets.xml changed on disk since this instance last read or wrote it (one stat;
  /// false before the tree was read). The preset window asks this on its timer.
  bool PresetFileChanged();
  /// Merges what other instances saved into the tree; answers whether the tree changed (a view
  /// then shows it again). Keeps the current preset while it exists.
  bool ReloadPresetTree();
  /// Counts the tree's changes (reads, merges, saves): a view compares it with what it shows.
  std::uint64_t GetPresetTreeChangeCount() const noexcept { return m_presetManager.GetChangeCount(); }
  /// Puts the factory presets back into the tree (replacing ones of the same name in the
  /// factory folders, keeping everything else); does not save.
  void RestoreFactoryPresets();
  /// The factory presets shipped for this plug-in's effect (an empty tree for others).
  MXmlItem GetFactoryPresets() const;
  /// Applies what MIDI or the trigger parameters asked for on the audio thread: a program change
  /// first (preset `program` in tree order; one beyond the tree is ignored), then the summed
  /// preset steps. Host/GUI thread; the editor's idle tick calls it.
  void ApplyQueuedPresetStep();
  /// MIDI program change (audio thread): after the base's handling, queues the program for
  /// ApplyQueuedPresetStep.
  void ProcessProgramChange(std::int32_t delta, double time, std::int32_t channel,
                            std::int32_t program) override;

  // ---- the preset manager's target (see MPresetManagerT) ----

  /// Loads an expanded preset with StoreSettings. A preset without controller lists (the factory
  /// presets) keeps the current assignments, and one without a value for a kKeptByPresets
  /// parameter keeps its value.
  void LoadPresetSettings(MXmlItem& settings);
  void SavePresetSettings(MXmlItem& settings);
  std::int32_t GetCurrentPresetIndex() const noexcept { return m_currentPresetIndex; }
  void SetCurrentPresetIndex(std::int32_t index) noexcept { m_currentPresetIndex = index; }

  void OnEditorIdle() override;
  /// Closing the editor also closes the optimal-gain window (cancelling its computation).
  void SetEditorOpen(bool open) override;

  // ---- windows of the common editor (GUI thread) ----

  class ABCDEditor;
  class SettingsWindow;
  /// Shows the ABCD morphing editor as a sheet over the editor window that holds `origin`
  /// (after the question whether to switch to slot E when morphing would change slots A to D).
  /// Returns at once; nothing while a sheet is shown there.
  void OpenABCDEditor(MControl& origin);
  /// Shows "General settings" as a sheet over the editor window that holds `origin`; returns at
  /// once; nothing while a sheet is shown there.
  void OpenSettingsWindow(MControl& origin);
  /// The stored zoom changed in this instance's editor: it redraws at once, every other open
  /// editor of the module at its next tick. GUI thread.
  void FollowZoomChange()
  {
    m_zoomChangesSeen = ++s_zoomChanges;
    ApplyEditorScale();
  }
  /// Shows the "MIDI" sheet (MMIDIControllerWindow, its controller sets in GetControllerSetsPath)
  /// over the editor window that holds `origin`, like OpenSettingsWindow.
  void OpenMIDIWindow(MControl& origin);
  /// controllersets.xml in the preset folder; empty when there is no settings folder.
  static MString GetControllerSetsPath();
  /// "Set" in the preset bar: StartOptimalGain with the progress sheet "Computing optimal
  /// output gain using AGC" over the editor. The idle tick updates it and closes it when the
  /// gain is set; Cancel, Escape or closing the editor cancel the computation.
  void OpenOptimalGainWindow(MControl& origin);
  /// The progress sheet's dialog while a computation runs in the editor; null otherwise.
  MProgressDialog* GetOptimalGainDialog() const noexcept
  {
    return m_optimalGainAlive.expired() ? nullptr : m_optimalGainDialog;
  }

  // ---- the common editor: preset bar and preset window (GUI thread) ----

  class PresetTree;
  class PresetWindow;
  /// The header strip, the preset bar "PresetBar" above the effect's controls (previous / next
  /// preset around the current preset's name, "Presets", A/B and the slots A to H, "Morph", copy
  /// and paste, the AGC switch, the channel-mode menu and the settings button), then the rest of
  /// the editor as MAudioPlugin builds it.
  void CreateEditorContents(MContainer& contents) override;
  /// The editor as MAudioPlugin makes it, drawn in the stored style and colours
  /// (MStyleSettings::ApplyStored).
  MEditor* CreateEditorControl(MWindowSystemCommon& system, MNativeHandle parent) override;
  /// Applies the preset `step` places from the current one (wrapping round); a damaged preset is
  /// skipped. False with `error` naming the problem when no preset could be applied (nothing
  /// changed then); false with `error` empty when the tree holds no preset.
  bool StepPreset(std::int32_t step, MString& error);
  /// The current preset's name; "Unnamed preset" while no preset is current.
  MString GetCurrentPresetName();
  /// Brings the preset bar in line with the state (active slot, preset name, AGC, channel
  /// mode). Nothing while no editor is open.
  void RefreshPresetBar();
  /// RefreshPresetBar when the state differs from what the bar shows (the idle tick's check).
  void RefreshPresetBarIfChanged();
  /// Shows the preset window as a sheet over the editor window that holds `origin`; returns at
  /// once (the bar is brought up to date when it closes); nothing while a sheet is shown there.
  void OpenPresetWindow(MControl& origin);
  /// Shows the preset tree afresh in an open preset window (PresetWindow::Refresh), keeping its
  /// selection where it can; for whoever changed the tree under it (presets.xml written by
  /// another instance). Nothing while none is open. GUI thread.
  void RefreshPresetWindow();
  /// Whether a preset window is shown over the editor. GUI thread.
  bool IsPresetWindowOpen();
  /// The editor's idle tick while a preset window is open: at most twice a second, looks whether
  /// another instance wrote presets.xml, merges it and shows the tree afresh. GUI thread, under
  /// the preset lock.
  void FollowPresetFile();
  /// The open MIDI sheet shows the assignments again when they changed under it.
  void FollowMIDIWindow();
  /// How the common editor asks and tells the user. Default: sheets over the editor.
  MQuorvelEditorDialogs& GetEditorDialogs();
  /// Replaces them (tests answer for the user); null puts the default back. Not owned.
  void SetEditorDialogs(MQuorvelEditorDialogs* dialogs) noexcept { m_editorDialogs = dialogs; }

  /// The common editor's half in the framework's editor library, which installs it when a target
  /// links that library (MQuorvelAudioEffectPluginEditor.cpp). Without it the plug-in opens the
  /// adapter's editor, and its idle tick, its closing and Panic touch no window. GUI thread.
  class EditorPart
  {
  public:
    virtual ~EditorPart() = default;
    virtual void CreateEditorContents(MQuorvelAudioEffectPlugin& plugin, MContainer& contents) const = 0;
    virtual MEditor* CreateEditorControl(MQuorvelAudioEffectPlugin& plugin, MWindowSystemCommon& system,
                                         MNativeHandle parent) const = 0;
    /// The windows' part of SetEditorOpen, before the adapter's.
    virtual void SetEditorOpen(MQuorvelAudioEffectPlugin& plugin, bool open) const = 0;
    /// The windows' part of the idle tick, after the queued preset step.
    virtual void OnEditorIdle(MQuorvelAudioEffectPlugin& plugin) const = 0;
    /// Takes the optimal-gain sheet away without cancelling the computation.
    virtual void EndOptimalGainDialog(MQuorvelAudioEffectPlugin& plugin) const = 0;
  };
  class CommonEditorPart;

  /// Pointer to the plug-in itself and its name once more, as the module's creation stores them.
  MQuorvelAudioEffectPlugin* m_self = nullptr;
  MString m_productName;

protected:
  /// The gain compensation hooks of the block driver (see MGainCompensation). Enabled while the
  /// switch is on and while the gain is on its way back to unity.
  bool IsGainCompensationEnabled() const override;
  void PrepareGainCompensation(double hostRate) override;
  void MeasureGainCompensationInput(float** inputs, std::int32_t buses, std::int32_t samples) override;
  void ApplyGainCompensation(float** outputs, std::int32_t buses, std::int32_t samples) override;
  /// Audio thread: ends the held notes first when a Panic asked for it.
  void StartOfBlock(float** inputs, float** outputs, std::int32_t samples) override;
  /// Audio thread: only queues the step for ApplyQueuedPresetStep.
  void ApplyPresetStep(std::int32_t step) override;
  /// Presets in the "Randomizer" folder of the tree.
  std::int32_t ChooseSmartRandom() override;

private:
  /// The MIDI part of Panic when it was asked for (audio thread).
  void TakePanicRequest();
  /// Runs `body` (a merge of the tree) and finds the current preset again afterwards.
  template <class Body>
  void KeepingCurrentPreset(Body&& body);
  void ReleaseAllNotes();

  MRelaxed<bool> m_agc{false};
  MGainCompensation m_gainCompensation;
  // The optimal-gain computation of the editor (GUI thread): its ticket, the switch before it.
  std::uint32_t m_optimalGainTicket = 0;
  bool m_agcBeforeOptimalGain = false;
  // The progress sheet of "Set" (owned by the editor window's tree; valid while the token lives).
  MProgressDialog* m_optimalGainDialog = nullptr;
  std::weak_ptr<void> m_optimalGainAlive;
  void UpdateOptimalGainWindow();
  /// Takes the progress sheet away (without cancelling) / and cancels the computation.
  void EndOptimalGainDialog();
  void CloseOptimalGainWindow();
  // The editor library's bodies behind EditorPart (MQuorvelAudioEffectPluginEditor.cpp and
  // MQuorvelAudioEffectPluginGainWindow.cpp).
  void CreateCommonEditorContents(MContainer& contents);
  MEditor* CreateCommonEditorControl(MWindowSystemCommon& system, MNativeHandle parent);
  void SetCommonEditorOpen(bool open);
  void IdleCommonEditor();
  static std::atomic<const EditorPart*> s_editorPart;
  // Written under the preset lock; read by the host's program queries on any thread.
  MRelaxed<std::int32_t> m_presetIndex{0};
  MRelaxed<std::int32_t> m_requestedPresetIndex{0};
  MRelaxed<std::int32_t> m_previousPresetIndex{1};
  std::array<MXmlItem, kPresetSlots> m_presetSlots;
  /// Normalised values of slots A..D per host parameter, from PrepareMorph.
  std::vector<std::array<double, 4>> m_morphValues;

  PresetManager m_presetManager{*this};
  bool m_presetTreeLoaded = false;
  // When FollowPresetFile looks at the file next (GUI thread).
  std::chrono::steady_clock::time_point m_nextPresetFileCheck{};
  bool m_presetFileUnreadable = false;
  MString m_presetTreeError;
  std::atomic<std::int32_t> m_queuedPresetStep{0};
  /// Zoom choices made in any editor of the module (GUI thread): every open editor follows the
  /// latest from its next tick. The count this instance's editor has followed.
  static inline std::uint64_t s_zoomChanges = 0;
  std::uint64_t m_zoomChangesSeen = 0;
  std::atomic<std::int32_t> m_queuedProgram{-1};
  std::atomic<bool> m_panicPending{false};
  /// The update thread's tick (registered by the constructor, removed first by the destructor).
  static void BackgroundTick(void* context);
  // The preset lock: see Threads above.
  std::recursive_mutex m_presetMutex;
  MQuorvelEditorDialogs* m_editorDialogs = nullptr;
};
