#pragma once
// MAudioEffectPluginToAudioPluginAdapter: runs an effect (MAudioEffectPlugin) as a host-facing
// plug-in (MAudioPlugin).
//
// Host adapters only talk to MAudioPlugin. This class fills in its hooks: it creates the effect
// through the effect's command function, wraps the effect's descriptors into typed host
// parameters, forwards initialisation, processing, latency, tail and randomisation to the
// effect, and keeps the standard settings every effect shares (version, channel mode, controller
// lists, bypass, automation protection) in the stored state.
//
// Threads and locks. The audio thread runs the block driver, which calls PrepareForProcessingOnce
// once per host call and Process per sub-block; that path takes no lock of the plug-in (the
// effect takes its own) and allocates nothing. InitProcessing, StoreSettings and the randomisers
// run on the host or GUI thread and take the plug-in's three locks (processing, initialisation,
// buffer) in that order; the locks are re-entrant, so these may call each other. Every entry
// point runs inside the catch-all guard: no exception reaches a host.
//
// MIDI: the overrides of the MIDI operations evaluate the preset-switch controller, the learn
// queue, the controller assignments and the note controllers. They run on the audio thread before
// the block, try-lock the processing lock (loading a state replaces the lists under it) and queue
// the parameter changes they make; the block driver applies each at its offset in the block.
//
// Channel modes: the requested mode becomes active at InitProcessing (InitChannelMode); the
// block driver then routes every block through MChannelModes (IsChannelModeActive,
// ChannelModeEncode, ChannelModeDecode) and the effect is told GetProcessedChannelCount channels.

#include "base/MEventTarget.h"
#include "base/MLockGuard.h"
#include "base/MMemoryStream.h"
#include "core/parameters/MParameterBuilder.h"
#include "core/plugin/MAudioPlugin.h"
#include "framework/MAudioEffectPlugin.h"
#include "framework/MChannelModes.h"
#include "framework/MControllerSettings.h"
#include "framework/MMIDIControllers.h"
#include "framework/MPluginSystem.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class MAudioEffectPluginHost;
class MControl;
class MMIDILearnMenu;
class MStoreContext;

class MAudioEffectPluginToAudioPluginAdapter : public MEventTarget, public MAudioPlugin
{
public:
  /// Version written as "Version": major * 65536 + minor * 256 + patch (7.10.0).
  static constexpr std::int32_t kCurrentVersion = 461312;
  /// Version assumed for a state without "Version" (5.3.0).
  static constexpr std::int32_t kOldestVersion = 328448;
  static constexpr std::int32_t kDefaultLFOBlockSize = 256;
  static constexpr std::int32_t kChannelModeCount = 8;
  static constexpr std::int32_t kSurroundMode = 7;
  static constexpr std::int32_t kMaxSurroundChannels = 8;
  /// Trigger level of the preset-step parameters.
  static constexpr double kTriggerLevel = 0.6666666666666666;

  MAudioEffectPluginToAudioPluginAdapter();
  ~MAudioEffectPluginToAudioPluginAdapter() override;

  /// Creates the effect `name` through `function` (command 7 on a null instance creates it),
  /// builds the host parameters from its descriptors, lets the effect add its own adapters, sets
  /// the buffer limits and finally applies the user's default settings when there are any (a
  /// mirror, see MakeMirror, takes none).
  /// Throws MException "Error creating plugin." when the effect cannot be created; the plug-in
  /// then has no effect and must not be processed. Host thread; allocates.
  void Initialize(const MString& name, const MString& vendor, MPluginCommandFunction function);

  // ---- the adapter's own operations, in slot order ----

  /// Under the three locks: channel mode, held notes, then the effect's InitProcessing,
  /// OnParametersChanged and CommitParameterValues, then the core's buffers and the buffer limits.
  /// An effect that refuses the rate (answers -1) stops it there: the set-up is refused
  /// (IsSetUpRefused) and the core keeps its buffers and delays.
  virtual void InitProcessing_LockedPart();
  /// Hook after the locks are released. Base: nothing.
  virtual void InitProcessing_UnLockedPart();
  /// Forwards to the effect's InitProcessingGUI (GUI thread).
  virtual void InitProcessingGUI();
  /// maxBufferSize := max(1, the effect's declared maximum); sets the driver's block limit (no
  /// limit when the effect declares none) and its modulation limit (maxLFOBlockSize).
  virtual void UpdateMaxBufferSize();
  /// Called after every processed sub-block (audio thread). Base: nothing.
  virtual void ProcessFinished(float** outputs, std::int32_t samples);
  /// The effect's settings and the standard settings, under the three locks (both directions);
  /// loading then re-initialises processing and refreshes the editor.
  virtual void StoreSettings(MStoreContext& context);
  /// Randomises every automation adapter by `amount` (0..1), then re-initialises processing.
  virtual void GenerateRandomSettings(double amount);
  /// Randomises through the effect's own randomiser when the smart choice allows it.
  virtual void GenerateRandomSettingsSmart();
  /// Randomisation of multi-slot parameters. Base: nothing.
  virtual void GenerateRandomSettingsForMultiParameters();

  // ---- MAudioPlugin ----

  /// Whole state in or out (see the order in the .cpp); shielded.
  void Store(MStoreContext& context) override;
  void InitProcessing() override;
  std::int32_t GetEffectLatency() const override;
  /// The effect's display (MAudioEffectPlugin::ReadDisplay, ShowDisplay); none without an effect.
  bool ReadDisplay(DisplaySnapshot& snapshot) const noexcept override;
  void ShowDisplay(const DisplaySnapshot& snapshot) override;
  void OnEditorIdle() override;
  /// The effect's own controls in the editor's container for them (kCreateEditorContents with
  /// the container). GUI thread.
  void CreateUserControls(MContainer& container) override;
  /// The effect forgets its controls before the editor rebuilds them (kEditorClosed). GUI thread.
  void ReleaseUserControls() override;
  /// Closing tells the effect (kEditorClosed) before the editor's controls go away.
  void SetEditorOpen(bool open) override;
  void ProcessNote(const MMIDINote& note) override;
  bool ProcessMIDIController(std::int32_t delta, double time, std::int32_t channel, std::int32_t controller,
                             double value) override;
  void ProcessAftertouch(std::int32_t delta, double time, std::int32_t channel, std::int32_t note,
                         double value) override;
  void ProcessPitchBend(std::int32_t delta, double time, std::int32_t channel, double value) override;
  using MAudioPlugin::Process;

  // ---- host state (host thread) ----

  /// Encodes the whole state ("settings" item, compact UTF-8 XML, zlib) and answers the bytes.
  /// The buffer stays alive until the next call, so its data pointer may be handed to a host.
  /// Null when saving failed.
  std::shared_ptr<MMemoryStream::Buffer> SaveState();
  /// Decodes `bytes` completely and only then loads them; bytes that do not decode (damaged,
  /// truncated, hostile, inflating beyond 16 MiB) change nothing and answer false.
  bool LoadState(const void* bytes, std::size_t size);

  // ---- processing path (audio thread) ----

  /// Refreshes the transport record from the host's time information.
  void PrepareForProcessing();
  /// Once per host call: evaluates the preset triggers and applies a pending preset step.
  void PrepareForProcessingOnce();
  /// One sub-block: transport, recompute after parameter changes, the effect's Process, then
  /// ProcessFinished.
  void Process(float** inputs, float** outputs, std::int32_t samples);
  /// Forwards to the effect's ProcessUpdate while an editor exists (GUI thread).
  void ProcessUpdate();
  /// The effect's tail length in samples.
  std::int32_t GetTailSize() const;

  /// Applies the parameter changes MIDI asked for that are still pending (audio thread; the
  /// block driver does this itself at each change's offset).
  void FlushMIDIParameterChanges() noexcept;
  /// Takes the oldest learn notification for the controller editor (GUI thread).
  bool PopLearnRecord(MMIDIControllers::LearnRecord& record) noexcept { return m_learnQueue.Pop(record); }

  // ---- MIDI learn and the controller lists (GUI thread) ----
  //
  // The lists cross to the audio thread the way a loaded state does: replaced under the
  // processing lock for the time of a copy, while the MIDI handlers only try that lock.

  /// Starts MIDI learn for host parameter `parameter` (-1, or any invalid index, ends it). Learn
  /// notifications that arrived before are dropped.
  void StartMIDILearn(std::int32_t parameter);
  /// The parameter waiting for MIDI learn; -1 when none.
  std::int32_t GetMIDILearnParameter() const noexcept { return m_learnParameter; }
  /// Takes every learn notification (the editor's idle tick). While a parameter waits, the latest
  /// fills an assignment for it and ends the wait: a note on a switch becomes a note controller
  /// "Switch" on that key, anything else a controller assignment over the parameter's whole range
  /// ("Interval" 0..1) on the channel it came from, replacing the parameter's first assignment of
  /// that kind. The matching master switch is turned on. True when an assignment was filled.
  bool ProcessMIDILearn();
  /// Whether a controller assignment or note controller targets `parameter`.
  bool HasMIDIAssignment(std::int32_t parameter) const;
  /// Removes every controller assignment and note controller of `parameter`; true when one went.
  bool ForgetMIDI(std::int32_t parameter);
  /// Copies of the lists, and both lists replaced at once (each cut to 32 entries).
  std::vector<MControllerAssignment> GetControllerAssignments() const;
  std::vector<MNoteControllerAssignment> GetNoteControllerAssignments() const;
  void SetControllerLists(std::vector<MControllerAssignment> controllers,
                          std::vector<MNoteControllerAssignment> noteControllers);
  /// The master switches ("ControllersEnabled", "NoteControllersEnabled").
  bool GetControllersEnabled() const noexcept { return m_controllersEnabled.Load(); }
  void SetControllersEnabled(bool enabled) noexcept { m_controllersEnabled = enabled; }
  bool GetNoteControllersEnabled() const noexcept { return m_noteControllersEnabled.Load(); }
  void SetNoteControllersEnabled(bool enabled) noexcept { m_noteControllersEnabled = enabled; }
  /// The preset-switch controller ("PreviousNextPresetController").
  MMIDIControllers::PresetSwitch& GetPresetSwitch() noexcept { return m_presetController; }
  /// The host parameter an editor control stands for (`part`: a piano key's note, else -1): the
  /// parameter panel's knobs and switches, else what the effect says; -1 for none.
  std::int32_t ParameterOfControl(const MControl& control, std::int32_t part);
  /// The editor's learn menu (null before the first editor opened).
  MMIDILearnMenu* GetLearnMenu() const noexcept { return m_learnMenu.get(); }

  /// The learn menu's half in the framework's editor library, which installs it when a target
  /// links that library (MAudioEffectPluginToAudioPluginAdapterLearnMenu.cpp). Without it no
  /// editor window exists and attaching and detaching the menu do nothing. GUI thread.
  class EditorPart
  {
  public:
    virtual ~EditorPart() = default;
    virtual void AttachLearnMenu(MAudioEffectPluginToAudioPluginAdapter& plugin) const = 0;
    virtual void DetachLearnMenu(MAudioEffectPluginToAudioPluginAdapter& plugin) const = 0;
  };
  class LearnMenuPart;

  /// Refreshes the open editor's controls from the loaded state (no-op without an editor).
  virtual void ActualiseAfterLoading();
  /// Asks for a preset step (-1 previous, +1 next); applied at the start of the next host call.
  void RequestPresetStep(std::int32_t step) noexcept { m_pendingPresetStep = step; }

  // ---- state ----

  MAudioEffectPlugin* GetEffect() const noexcept { return m_effect; }
  std::int32_t GetVersion() const noexcept { return m_version; }
  std::int32_t GetChannelMode() const noexcept { return m_requestedChannelMode; }
  /// The user chose a channel mode (active from the next InitProcessing); a change is reported to
  /// the host (MAudioPlugin::ReportStateChangedToHost). Out-of-range modes choose mode 0.
  void SetChannelMode(std::int32_t mode) noexcept;
  static std::int32_t ValidChannelMode(std::int32_t mode) noexcept;
  std::int32_t GetActiveChannelMode() const noexcept { return m_activeChannelMode; }
  bool IsSurroundChannelEnabled(std::int32_t channel) const noexcept;
  void SetSurroundChannelEnabled(std::int32_t channel, bool enabled) noexcept;
  std::int32_t GetMaxLFOBlockSize() const noexcept { return m_maxLFOBlockSize; }
  void SetMaxLFOBlockSize(std::int32_t samples) noexcept;
  std::int32_t GetMaxBufferSize() const noexcept { return m_maxBufferSize; }
  bool IsSettingsChanged() const noexcept { return m_settingsChanged; }
  void ClearSettingsChanged() noexcept { m_settingsChanged = false; }
  bool IsMidSideActive() const noexcept { return m_midSideActive != 0; }
  const MAudioEffectPlugin::Transport& GetEffectTransport() const noexcept { return m_effectTransport; }

  /// The display name of a channel mode as stored ("Left + Right" ... "Surround"); mode 0's for
  /// an index outside the table.
  static MString GetChannelModeName(std::int32_t mode);
  /// Channels of the plug-in for the active mode (2, or 8 for Surround), for host adapters that
  /// announce a layout.
  std::int32_t GetPluginChannelCount() const noexcept { return m_channelModes.GetPluginChannels(); }

  MRelaxed<bool> m_controllersEnabled{false};
  MRelaxed<bool> m_noteControllersEnabled{false};
  /// The preset-switch controller ("PreviousNextPresetController").
  MMIDIControllers::PresetSwitch m_presetController;
  /// Controller assignments and note controllers (at most 32 each). Replaced only under the
  /// plug-in's locks (state loading), read by the audio thread.
  std::vector<MControllerAssignment> m_controllers;
  std::vector<MNoteControllerAssignment> m_noteControllers;
  /// The preset manager's current preset ("CurrentPresetIndex"), -1 for none.
  std::int32_t m_currentPresetIndex = -1;
  /// The two preset-step trigger parameters (continuous, 0..1): previous and next.
  MParameterInfo m_previousPresetTrigger;
  MParameterInfo m_nextPresetTrigger;

protected:
  /// At InitProcessing: active mode := requested mode, surround flags copied (host thread,
  /// under the locks; allocates the channel delays).
  virtual void InitChannelMode();
  /// Number of channels the effect processes: min(host channels, the active mode's processed
  /// channels), at least 1.
  virtual std::int32_t GetProcessedChannelCount() const;
  bool IsChannelModeActive() const override;
  void ChannelModeEncode(float** inputs, float** outputs, std::int32_t samples) override;
  void ChannelModeDecode(float** inputs, float** outputs, std::int32_t samples) override;
  /// Every controller (number 0..127), aftertouch (128), pitch-bend (129) and note (130 for a
  /// note-off, 131 for a note-on) with its 0..1 input value: preset switch, learn and the
  /// controller assignments (audio thread).
  virtual void OnMIDIInput(std::int32_t delta, std::int32_t source, std::int32_t channel, double value);
  /// Note controllers for a note (audio thread).
  virtual void ProcessNoteControllers(const MMIDINote& note);
  /// Musical time from the block's transport.
  double MusicalTime(std::int32_t delta) const override;
  /// Controller lists in the state (both directions).
  virtual void StoreControllers(MStoreContext& context);
  /// Controllers, then "CurrentPresetIndex".
  virtual void StoreStandardSettings(MStoreContext& context);
  /// Applies a preset step through the preset manager. Base: nothing (no preset manager yet).
  virtual void ApplyPresetStep(std::int32_t step);
  /// The preset manager's smart random choice; positive lets the effect's randomiser run.
  virtual std::int32_t ChooseSmartRandom();
  void StartOfBlock(float** inputs, float** outputs, std::int32_t samples) override;
  void ProcessChunk(float** inputs, float** outputs, std::int32_t samples) override;
  void AfterBlock(float** inputs, float** outputs, std::int32_t samples, bool replacing) override;
  /// Ends the notes the effect sends (bypass stops the effect, so its notes would hang).
  void BypassedPiece(std::int32_t samples) override;

  MAudioEffectPlugin* m_effect = nullptr;
  MPluginSystem m_pluginSystem;
  std::unique_ptr<MAudioEffectPluginHost> m_effectHost;
  MParameterIndexMap m_parameterMap;

  std::int32_t m_version = kCurrentVersion;
  MRelaxed<std::int32_t> m_requestedChannelMode{0};
  MRelaxed<std::int32_t> m_activeChannelMode{0};
  MRelaxed<bool> m_surroundEnabled[kMaxSurroundChannels] = {true, true, true, true, true, true, true, true};
  MRelaxed<std::int32_t> m_maxBufferSize{1};
  MRelaxed<std::int32_t> m_maxLFOBlockSize{kDefaultLFOBlockSize};
  MChannelModes m_channelModes;
  MAudioEffectPlugin::Transport m_effectTransport;
  bool m_transportValid = false;
  MRelaxed<std::uint8_t> m_midSideActive{0};
  MRelaxed<bool> m_settingsChanged{false};
  MRelaxed<std::int32_t> m_heldNotes{0};
  MRelaxed<std::int32_t> m_pendingPresetStep{0};
  std::uint8_t m_lastNote = 0;
  /// How often each key is held on each channel, as the MIDI state counts it after each note
  /// (a note released under the sustain pedal stays held until the pedal's release). Audio
  /// thread (MIDI arrives outside the processing lock); cleared with the processing under that
  /// lock, by all notes off (123) and all sound off (120), hence relaxed atomics.
  std::array<std::array<MRelaxed<std::uint8_t>, 128>, 16> m_heldKeys{};
  /// Ends every note held on `channel`: its counts here and in the MIDI state, and the held-note
  /// controllers hear of it.
  void ReleaseHeldKeys(std::int32_t delta, std::int32_t channel);
  /// Sets every "held notes" note controller from the keys held now.
  void RestateHeldNotes(std::int32_t delta, std::int32_t channel);
  MMIDIControllers::LearnQueue m_learnQueue;
  /// Sets the learn menu on the open editor's window and runs its idle tick (GUI thread).
  void AttachLearnMenu();
  /// The editor closes: the menu's popup goes, learn ends.
  void DetachLearnMenu();
  /// The parameter waiting for MIDI learn (GUI thread only).
  std::int32_t m_learnParameter = -1;
  /// The editor's context menu (MIDI learn); lives as long as the plug-in, set on every editor.
  /// Shared only for its deleter: the editor library makes the menu, this GUI-free part
  /// releases it.
  std::shared_ptr<MMIDILearnMenu> m_learnMenu;

  /// A parameter change from MIDI, applied when processing reaches its offset in the block.
  struct PendingChange
  {
    std::int32_t parameter;
    double value;
    std::int32_t offset;
  };
  static constexpr std::int32_t kMaxPendingChanges = 256;
  std::array<PendingChange, kMaxPendingChanges> m_pendingChanges{};
  std::int32_t m_pendingChangeCount = 0;
  /// Position of the next chunk in the current host block (audio thread).
  std::int32_t m_blockPosition = 0;
  /// Position of the chunk the effect processes now in the current host block, in the effect's
  /// samples (audio thread).
  std::int32_t m_chunkStart = 0;
  /// Hands the effect's queued MIDI events to the host adapter at their offsets in the host's
  /// block, then empties the queue (audio thread, or under the locks with no block running).
  void DeliverEffectMIDIOutput() noexcept;
  void QueueParameterChange(std::int32_t parameter, double value, std::int32_t offset) noexcept;
  /// Applies the pending changes with an offset up to `position`; answers the next later offset
  /// (or a large number when none is left).
  std::int32_t ApplyPendingChanges(std::int32_t position) noexcept;

private:
  /// The three plug-in locks in their fixed order, released in reverse by destruction.
  struct LockAll
  {
    explicit LockAll(MAudioEffectPluginToAudioPluginAdapter& plugin)
        : processing(plugin.m_processingLock), init(plugin.m_initLock), buffers(plugin.m_bufferLock)
    {}
    MLockGuard processing;
    MLockGuard init;
    MLockGuard buffers;
  };

  std::shared_ptr<MMemoryStream::Buffer> m_stateBuffer;
  static std::atomic<const EditorPart*> s_editorPart;
};
