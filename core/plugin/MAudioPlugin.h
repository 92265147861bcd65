#pragma once
// MAudioPlugin: the host-neutral plug-in object.
//
// Host adapters translate every host call into a call here. The plug-in owns:
//   - the automation adapters (MAudioPlugin::AutomationAdapter), each a contiguous run of host
//     parameter slots; a global parameter index is found by bisection over the adapters;
//   - the transport record the host adapter writes before each block;
//   - the block driver (Process): channel-pointer repair, bypass with latency-compensating delay,
//     oversampling, sub-blocking by block limit and modulation limit with in-block parameter
//     interpolation, difference output and output clipping;
//   - the list of adapters whose editor controls need a refresh, and the thread that asks the GUI
//     thread to do it;
//   - the editor link (a small interface a GUI back end implements).
//
// Threads and locks. The audio thread calls Process. The host's parameter/UI thread calls the
// parameter getters and setters, InitProcessing, randomisation and the editor operations. Three
// locks, always taken in this order by state-changing operations: the processing lock, the
// initialisation lock, the buffer lock. Process only tries the processing lock: a block that
// meets a busy lock is skipped (its outputs are cleared), never waited for. Parameter values are
// relaxed atomics in the adapters, so a setter racing with Process is harmless.
//
// Host-boundary safety: the per-index operations accept 0 .. GetNumParameters() - 1 and answer a
// neutral value (0, empty text, false) for anything else; no index outside the adapters' slots
// ever reaches an adapter. No exception leaves a public operation: each runs inside the shield,
// which reports "SYSTEM EXCEPTION! {0}" with the operation's name and returns the neutral value.

#include "base/MEvent.h"
#include "base/MEventParams.h"
#include "base/MEventTarget.h"
#include "base/MLock.h"
#include "base/MString.h"
#include "core/plugin/MAudioPluginAdapter.h"
#include "core/plugin/MAudioPluginAutomation.h"
#include "core/plugin/MFloatBuffer.h"
#include "core/plugin/MMIDIProcessor.h"
#include "core/plugin/MOversampler.h"
#include "core/plugin/MRelaxed.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The editor link names the GUI toolkit's types without needing the toolkit: the core links no
// GUI library, the editor library (tonvera_core_editor) supplies the windows (see EditorToolkit).
class MContainer;
class MPluginParameters;
class MStoreContext;
class MWindow;
class MWindowSystemCommon;
struct MSize;
struct MSystemEvent;
/// A native window handle, as gui/MWindowSystem.h declares it (the two must stay the same type;
/// a source seeing both would not compile otherwise).
using MNativeHandle = std::uintptr_t;

class MAudioPlugin : public MAudioPluginAutomation<MMIDIProcessor>
{
public:
  class AutomationAdapter;
  class AutomationUpdateRequestThread;
  class MEditor;
  class EditorToolkit;

  /// Pointer slots per bus in the channel-pointer arrays handed to Process.
  static constexpr std::int32_t kPointersPerBus = 8;
  /// Block limit meaning "no limit".
  static constexpr std::int32_t kUnlimited = 2147483647;
  /// Largest host block Process accepts (larger ones are ignored): 2^22 samples.
  static constexpr std::int32_t kMaxBlockSamples = 1 << 22;
  /// InitProcessing prepares for blocks of at least this many samples, whatever the host announced.
  static constexpr std::int32_t kMinPreparedSamples = 1024;

  /// Transport state, written by the host adapter on the audio thread before each block and read
  /// by the effect during it. Positions are in quarter notes.
  struct Transport
  {
    double tempo = 120.0;
    double songPosition = 0.0;
    double barPosition = 0.0;
    std::int32_t numerator = 4;
    std::int32_t denominator = 4;
    double loopStart = -1.0;
    double loopEnd = -1.0;
    bool playing = false;
    bool positionJumped = false;
    bool changed = false;
    bool updated = false;
    bool updatedForEffect = true;
  };

  MAudioPlugin();
  ~MAudioPlugin() override;
  MAudioPlugin(const MAudioPlugin&) = delete;
  MAudioPlugin& operator=(const MAudioPlugin&) = delete;

  // ---- MIDI output and parameters (host-facing; any non-audio thread unless noted) ----

  /// Forwards an outgoing MIDI event to the host adapter (audio thread). The offset counts from
  /// the start of the piece being processed (see GetPieceOffset); the host is given it from the
  /// start of its block.
  virtual void GenerateMIDIEvent(std::int32_t sampleOffset, const std::uint8_t bytes[4]);
  /// Permanent slot count: what hosts are told.
  virtual std::int32_t GetNumParameters() const;
  /// Called after every interpolation step (audio thread). Base: nothing.
  virtual void OnParametersChanged();
  /// Sets the slot at `index` to the normalised `value`; silent: without notifying the effect
  /// or the editor. Host parameter thread or GUI thread; a non-silent change may queue an editor
  /// refresh (takes a lock), so the audio thread sets only silently.
  virtual void SetParameter(std::int32_t index, double value, bool silent = false);
  /// As SetParameter, but only when the value differs from the current one by more than 1e-7.
  virtual void SetParameterIfChanged(std::int32_t index, double value, bool silent = false);
  /// Normalised value of the slot, 0 for an invalid index.
  virtual double GetParameter(std::int32_t index) const;
  virtual MString GetParameterName(std::int32_t index) const;
  /// join(join(idPrefix, identifier part of the slot), slot name), joined with " - ".
  virtual MString GetParameterID(std::int32_t index) const;
  /// A second per-slot text. Base: empty.
  virtual MString GetParameterExtraText(std::int32_t index) const;
  virtual MString GetParameterValueName(std::int32_t index) const;
  virtual MString GetParameterValueNameFrom01(std::int32_t index, double value) const;
  /// Normalised value of the typed text (not clamped), 0 for an invalid index.
  virtual double ParseParameterValueName(std::int32_t index, const MString& text) const;
  virtual MString GetParameterUnitsName(std::int32_t index) const;
  /// Per-plug-in query for concrete plug-ins. Base: false.
  virtual bool IsCustomQuery() const;
  /// Per-plug-in notification for concrete plug-ins. Base: nothing.
  virtual void OnCustomNotification();
  /// Parameter type of the slot (1 float, 2 integer, 3 enumeration, 4 boolean), 0 when invalid.
  virtual std::int32_t GetParameterType(std::int32_t index) const;
  virtual double GetParameterDefaultValue(std::int32_t index) const;

  // ---- programs (host UI thread) ----
  //
  // The fixed list of programs a host shows in its program menu. Both host interfaces report the
  // same list: a VST 2.4 host sees numPrograms and the program opcodes, a VST 3 host one program
  // list on the root unit and its program-change parameter.

  /// Number of programs. Base: 0 (no program list).
  virtual std::int32_t GetProgramCount() const;
  /// The current program, 0 .. count - 1 (0 when there are none).
  virtual std::int32_t GetCurrentProgram() const;
  /// Makes program `index` current. False for an index outside 0 .. count - 1 (nothing changes).
  virtual bool SetCurrentProgram(std::int32_t index);
  /// Name of program `index`; empty outside 0 .. count - 1.
  virtual MString GetProgramName(std::int32_t index) const;
  /// Audio thread: the host chose program `index` inside its processing call (a VST 3 program
  /// parameter in the block's changes). Only remembered, without lock or allocation;
  /// ApplyRequestedProgram makes it current off the audio thread.
  void RequestProgram(std::int32_t index) noexcept;
  /// Makes the program RequestProgram remembered current, unless it already is (the host chose
  /// it on its UI thread first). The editor's idle tick calls it, and the update thread while no
  /// editor is open, as for MIDI program changes. True when a program was chosen.
  bool ApplyRequestedProgram();

  // ---- the host's view of the plug-in ----

  /// The plug-in changed its own state (a preset loaded or stepped to, settings pasted, the
  /// channel mode or the output gain set): the host adapter has the host read every parameter
  /// again and mark the project modified (MAudioPluginAdapter::ReportStateChanged). Any thread
  /// but the audio thread. Not for what the host asked for itself (its state, its program).
  void ReportStateChangedToHost();
  /// The host's format as the editor's about line names it ("VST", "VST3", "LV2"). Set by the
  /// host adapter when it takes the plug-in, before any editor opens; main thread.
  void SetHostFormat(const MString& format) { m_hostFormat = format; }
  /// The host's bypass switch (the VST 3 bypass parameter, the LV2 enabled port): Process passes
  /// the input through its latency-compensating delay while it is on. Any thread, the audio
  /// thread included.
  void SetBypassed(bool bypassed) noexcept { m_bypassed = bypassed; }
  /// A mirror stands for an instance that runs where its editor cannot reach it (an LV2 UI
  /// without instance-access): the host hands it the instance's parameter values and takes its
  /// edits, the tuning display comes through ShowDisplay. It sets nothing up for processing
  /// (InitProcessing does nothing, Process must not be called), loads no default settings and
  /// writes no file it shares with the instances (the default settings, the preset tree): what
  /// it would keep there is more than the host hands it. Set before the plug-in is initialised;
  /// never undone.
  void MakeMirror() noexcept { m_mirror = true; }
  bool IsMirror() const noexcept { return m_mirror; }

  // ---- the tuning display ----

  /// What the editor's tuning display shows: the detected and the corrected pitch as the note
  /// tracker's fractional note numbers (-1: no pitch) and the note chosen as the target (-1:
  /// none, as before the first frame).
  struct DisplaySnapshot
  {
    double inputNote = 48.0;
    double outputNote = 48.0;
    std::int32_t chosenNote = -1;
  };
  /// Copies the display's latest figures into `snapshot`: lock-free, from any thread (the audio
  /// thread of a host adapter that sends them to a UI elsewhere, any UI thread). The figures are
  /// three relaxed atomics: a frame may land between the reads, which shows for one refresh at
  /// most. False (snapshot untouched) for a plug-in without a display. Base: false.
  virtual bool ReadDisplay(DisplaySnapshot& snapshot) const noexcept
  {
    (void)snapshot;
    return false;
  }
  /// Shows figures that come from elsewhere: an editor whose plug-in does not process (a host's
  /// UI process showing another instance's display). GUI thread. Base: nothing.
  virtual void ShowDisplay(const DisplaySnapshot& snapshot) { (void)snapshot; }

  // ---- state ----

  /// Stores (context.IsSaving()) or loads the whole state into or from the context's item. The
  /// framework implements it; base: when loading with an editor open, refreshes the editor.
  /// Main thread; allocates; may throw MException on malformed state (callers shield it).
  virtual void Store(MStoreContext& context);

  // ---- channels ----

  /// Input channels the effect processes: forced count if set, else channels per bus, limited to
  /// the current input channel count; 0 without inputs.
  virtual std::int32_t GetNumProcessInputChannels() const;
  virtual std::int32_t GetNumMainInputChannels() const;
  virtual std::int32_t GetNumProcessOutputChannels() const;
  virtual std::int32_t GetNumMainOutputChannels() const;
  /// Buses = channel count / channels per bus, rounded up (a mono host still has one bus).
  virtual std::int32_t GetNumInputBuses() const;
  virtual std::int32_t GetNumOutputBuses() const;
  /// Whether host adapters may accept speaker arrangements wider than stereo; false limits every
  /// bus to mono or stereo. Asked by the adapters when the host sets arrangements (host main
  /// thread; may read a file). Base: true.
  virtual bool OffersSurround() const { return true; }

  /// Per-plug-in notification taking a text. Base: ignores it.
  virtual void OnTextNotification(const MString& text);
  /// Editor refresh hook (GUI thread). Base: nothing.
  virtual void RefreshEditor();

  // ---- processing ----

  /// Prepares processing for the current rate, block size and channels: sizes buffers, bypass
  /// delay lines and resamplers, then reports the latency. Takes all three locks (waits).
  /// Allocates. Call whenever rate, block size or channels changed, and on resume: once it has
  /// run, Process never allocates, and blocks whose channels, buses or oversampling outgrew the
  /// prepared ones are silent (outputs cleared) until it runs again. Clears a
  /// refusal (see RefuseSetUp); an override that cannot run at the current rate calls RefuseSetUp
  /// instead of this.
  virtual void InitProcessing();
  /// True while the last InitProcessing refused the current rate: the previous set-up is kept and
  /// Process hands out silence (adds nothing) until a set-up succeeds. Host thread.
  bool IsSetUpRefused() const noexcept { return m_setUpRefused; }
  /// Latency of the effect itself in effective-rate samples. Base: 0.
  virtual std::int32_t GetEffectLatency() const;
  /// Per-plug-in integer query. Base: -1.
  virtual std::int32_t GetCustomInteger() const;
  /// Recomputes the latency; tells the host adapter when it changed.
  virtual void ReportLatency();
  /// Output clip level; negative disables clipping. Base: -1.
  virtual double GetOutputClipLevel() const;
  /// Per-channel post-processing used by channel modes (audio thread). Base: nothing.
  virtual void PostProcessChannel(float* channel, std::int32_t samples, std::int32_t flag);
  /// Processes one chunk (audio thread; must not allocate). Pointer arrays in bus layout.
  virtual void ProcessChunk(float** inputs, float** outputs, std::int32_t samples);
  /// Editor idle (GUI thread). Base: nothing.
  virtual void OnEditorIdle();
  /// Work that must not wait for an editor to open: `tick(context)` runs about every 100 ms on the
  /// framework's update thread (never the audio or the GUI thread). Null removes it; once this
  /// returns, no call of the previous tick is running or will start, so an owner removes its tick
  /// first thing in its destructor. The tick should look at plain flags and return at once when
  /// there is nothing to do. Any thread but the update thread.
  void SetBackgroundTick(void (*tick)(void* context), void* context);
  /// The update thread's call: runs the registered tick, if any.
  void RunBackgroundTick();
  /// Hooks around a block (audio thread). Base: nothing.
  virtual void BeforeBlock(float** inputs, float** outputs, std::int32_t samples, bool replacing);
  virtual void AfterBlock(float** inputs, float** outputs, std::int32_t samples, bool replacing);
  virtual void StartOfBlock(float** inputs, float** outputs, std::int32_t samples);
  /// A piece of `samples` that the bypass delay passes instead of the effect (audio thread, in
  /// place of the hooks above). Base: nothing.
  virtual void BypassedPiece(std::int32_t samples);
  /// Second per-plug-in query. Base: false.
  virtual bool IsCustomQuery2() const;

  // ---- editor link (GUI thread) ----

  /// Editor size used when "GlobalConfiguration.xml" names none (see GetDefaultEditorSize).
  static constexpr std::int32_t kDefaultEditorWidth = 720;
  static constexpr std::int32_t kDefaultEditorHeight = 522;
  /// Limits of a configured editor size.
  static constexpr std::int32_t kMinEditorWidth = 480;
  static constexpr std::int32_t kMinEditorHeight = 300;
  static constexpr std::int32_t kMaxEditorExtent = 4096;

  /// Makes sure the window system exists. Base: true (the host adapter hands one in).
  virtual bool EnsureGUISystem();
  /// Creates the editor: a window of `system` embedded in the host's window `parent`, filled by
  /// CreateEditorContents. Base: an MAudioPluginEditorWindow (EditorToolkit). Null when `parent` is 0; throws
  /// MException when the back end cannot make the window (OpenEditor catches it).
  virtual MEditor* CreateEditorControl(MWindowSystemCommon& system, MNativeHandle parent);
  /// Fills the editor's contents (GUI thread, while the window is built): the header strip, the
  /// container "UserControls" that a concrete plug-in fills with its own controls, the container
  /// "PluginParametersContainer" holding the generic parameter panel "MainPluginParameters"
  /// (hidden in editor mode 1, the compact editor) and the help line; see
  /// MAudioPluginEditorWindow for the ids and the arrangement.
  virtual void CreateEditorContents(MContainer& contents);
  /// Fills `container`, the editor's area for the plug-in's own controls (already at its size):
  /// called at the end of CreateEditorContents and again, after ReleaseUserControls, whenever a
  /// resize changes that area. GUI thread. Base: nothing.
  virtual void CreateUserControls(MContainer& container);
  /// The plug-in's own controls are about to be destroyed for a rebuild: forget every pointer to
  /// them. GUI thread. Base: nothing.
  virtual void ReleaseUserControls();
  /// Creates the generic parameter panel in `container`, links it (GetParameterPanelLink) and
  /// lets every adapter add its controls. GUI thread.
  virtual void CreateParameterPanel(MContainer& container);
  /// Closes the panel's open gestures and clears the link to it (before the editor's controls
  /// are destroyed). GUI thread.
  virtual void DestroyParameterPanel();
  /// Prepares the editor; false when no editor can be shown now.
  virtual bool CreateEditor();
  /// Asks the host adapter to resize the editor; true when the host agreed.
  virtual bool ResizeEditor(std::int32_t width, std::int32_t height);
  virtual void SetEditorOpen(bool open);
  /// Creates the editor control in the host's `parent` window (CreateEditor, then
  /// CreateEditorControl) and marks the editor open; false when no editor could be made (parent
  /// 0, no window system, the back end failed). An editor already open answers true. GUI thread.
  bool OpenEditor(MWindowSystemCommon& system, MNativeHandle parent);
  /// The host's idle tick while the editor is open (GUI thread): OnEditorIdle, then the editor's
  /// Idle (which pumps the window system). Nothing without an editor.
  void IdleEditor();
  /// The editor's size in device pixels, or the default size at the scale a new editor would
  /// take while there is no editor. Any host UI call.
  MSize GetEditorSize() const;

  // ---- editor zoom (GUI thread) ----
  /// The zoom steps an editor draws at: 100 % to 200 % in steps of 25 %.
  static constexpr double kMinEditorScale = 1.0;
  static constexpr double kMaxEditorScale = 2.0;
  static constexpr double kEditorScaleStep = 0.25;
  /// `scale` as the nearest zoom step (a non-positive or unreadable one as 1).
  static double QuantiseEditorScale(double scale);
  /// The host's content scale (VST 3 setContentScaleFactor); 0 while the host gave none.
  void SetHostContentScale(double scale) { m_hostContentScale = scale > 0.0 ? scale : 0.0; }
  double GetHostContentScale() const { return m_hostContentScale; }
  /// The desktop's scale the window system reports (X11 Xft.dpi / GDK_SCALE, the window's DPI on
  /// Windows); host adapters set it from the window system before they ask for sizes.
  void SetSystemContentScale(double scale) { m_systemContentScale = scale > 0.0 ? scale : 1.0; }
  /// The zoom of a new or open editor: the host's content scale when it gave one, else the
  /// system's, as a zoom step. A plug-in with a zoom setting of its own overrides it.
  virtual double ChooseEditorScale() const;
  /// Brings an open editor to ChooseEditorScale: the editor keeps its layout, draws at the new
  /// zoom and asks the host for its new size (IPlugFrame::resizeView, audioMasterSizeWindow).
  /// True when the zoom changed. GUI thread.
  bool ApplyEditorScale();
  /// The size a new editor opens with: the items "EditorWidth" and "EditorHeight" of
  /// "GlobalConfiguration.xml", each limited to kMinEditor* .. kMaxEditorExtent; the built-in
  /// default for a missing or unreadable item. Reads the document (host UI thread).
  MSize GetDefaultEditorSize() const;
  /// Destroys the editor control and marks the editor closed.
  void DestroyEditor();
  /// Sends a normalised value to the host (through the host adapter). Outside an open gesture of
  /// its slot the value travels in a gesture of its own (begin, value, end), so that a host
  /// records every change the plug-in makes. GUI thread.
  virtual void SendAutomationToHost(std::int32_t index, double value);
  /// Opens and closes an automation gesture on host slot `index` (GUI thread: an editor control
  /// calls Begin on mouse down and End on release). Gestures on one slot nest: the host sees the
  /// first Begin and the last End only; an End without an open gesture is ignored. Invalid
  /// indices are ignored.
  void BeginAutomationGesture(std::int32_t index);
  void EndAutomationGesture(std::int32_t index);
  /// Closes every open gesture (the editor went away in the middle of one). GUI thread.
  void EndAllAutomationGestures();
  /// Open gestures on slot `index` (0 for an invalid index).
  std::int32_t GetOpenGestureCount(std::int32_t index) const;
  /// A change made in the editor: sets the slot (not silently, so the effect and the other
  /// controls follow) and sends the resulting value to the host. GUI thread.
  void SetParameterFromEditor(std::int32_t index, double value);
  /// Third per-plug-in query. Base: true.
  virtual bool IsCustomQuery3() const;

  // ---- the block driver (audio thread) ----

  /// Processes one host block. inputs/outputs hold buses * kPointersPerBus channel pointers
  /// (null entries allowed; the arrays themselves are only read). replacing = false: add to the
  /// outputs. A block longer than InitProcessing prepared for runs in pieces of the prepared
  /// length, each a block of its own to the hooks (StartOfBlock .. AfterBlock) with the transport
  /// moved on; GetPieceOffset and IsLastPiece tell them where they are. Never allocates once the
  /// channel layout is stable; never blocks.
  void Process(float* const* inputs, float* const* outputs, std::int32_t samples, bool replacing);
  /// Inside Process (audio thread): where the piece being processed starts in the host's block,
  /// in host samples (0 for a block processed whole), and whether it is the block's last.
  std::int32_t GetPieceOffset() const noexcept { return m_pieceOffset; }
  bool IsLastPiece() const noexcept { return m_lastPiece; }

  // ---- adapters (set-up; not while processing) ----

  /// Appends an adapter (the plug-in takes ownership when adapter->IsOwned()). Call
  /// AssignAutomationIndices afterwards.
  void AddAutomationAdapter(AutomationAdapter* adapter);
  /// Orders the adapters (when sorting is enabled), assigns first indices and counts, and
  /// rebuilds the interpolation table. Takes all three locks.
  void AssignAutomationIndices();
  /// Removes and deletes (when owned) every temporary adapter.
  void DestroyTemporaryAutomationAdapters();
  /// Stops the update thread and removes every adapter.
  void ClearAutomationAdapters();
  std::int32_t GetNumAutomationAdapters() const noexcept
  {
    return static_cast<std::int32_t>(m_adapters.size());
  }
  AutomationAdapter* GetAutomationAdapter(std::int32_t position) const noexcept;
  /// All slots, temporary ones included.
  std::int32_t GetTotalParameterCount() const noexcept { return m_totalCount; }
  /// The adapter covering `index` and the local slot, for the framework's own callers (which may
  /// reach temporary slots): index must lie in 0 .. total - 1; null otherwise.
  AutomationAdapter* FindAutomationAdapter(std::int32_t index, std::int32_t& slot) const noexcept;
  void SetSortAdapters(bool sort) noexcept { m_sortAdapters = sort; }

  /// Text joining of identifiers: b when a is empty, a when b is empty, else a + " - " + b.
  static MString JoinTexts(const MString& a, const MString& b);

  /// Randomises every adapter that can be (amount 0..1; 1 draws fresh values). Takes all three
  /// locks.
  void Randomize(double amount);

  // ---- in-block interpolation (audio thread, inside Process) ----

  bool InterpolationPrepare(std::int32_t samples);
  void InterpolationProcess(std::int32_t samples);
  void InterpolationFinish();

  // ---- editor refresh requests ----

  /// Marks `adapter` for an editor refresh (once until the refresh takes it). Any thread, the
  /// audio thread included: an atomic flag in the adapter, no lock, no allocation.
  void NeedUpdateEditor(AutomationAdapter* adapter);
  /// How many adapters are marked. Any thread.
  std::int32_t GetNeedUpdateCount() const;
  /// Takes the marked adapters (GUI thread, from the update event's handler), in adapter order,
  /// and refreshes their controls and the editor. Returns how many were marked.
  std::int32_t ProcessAutomationUpdates();

  // ---- shared configuration: "GlobalConfiguration.xml" in the settings folder (main thread) ----
  //
  // The document's root item is "Configuration"; it is written back as indented "utf-8" XML
  // through a temporary file that replaces the old one, so a failed write never leaves a
  // truncated document. A missing, unreadable or malformed document reads as empty.

  /// Loads the plug-in state from the item "DefaultSettings" of the document (Store, loading)
  /// and answers true; false when there is none or it could not be loaded. Takes the processing,
  /// init and buffer locks around Store: a plug-in whose Store takes a lock of its own that it
  /// also holds while taking these overrides this to take that lock first.
  virtual bool LoadDefaultSettings();
  /// Stores the current state into an item "Settings", enters it in the document as
  /// "DefaultSettings" (replacing an earlier one, keeping every other item) and writes the
  /// document back. A document that exists but cannot be read is first kept aside as
  /// "GlobalConfiguration.xml.unreadable". False when it could not be written.
  bool SetDefaultSettingsToCurrent();
  /// The editor mode kept in the item "EditorMode" (its text, a decimal number); 0 when absent.
  /// 0 is the full editor, 1 the compact one (no parameter knobs).
  std::int32_t GetEditorMode() const;
  /// The same for the item "TabletMode".
  std::int32_t GetTabletMode() const;
  /// Full path of the configuration document; empty when there is no settings folder.
  static MString GetConfigurationPath();

  // ---- host adapter, rates, channels, flags ----

  void SetHostAdapter(MAudioPluginAdapter* adapter) noexcept { m_hostAdapter = adapter; }
  MAudioPluginAdapter* GetHostAdapter() const noexcept { return m_hostAdapter; }
  /// Host rate = rate; effective rate = oversampling factor * rate. Call InitProcessing after.
  void SetSampleRate(double rate);
  double GetSampleRate() const noexcept { return m_sampleRate; }
  double GetEffectiveSampleRate() const noexcept { return m_effectiveSampleRate; }
  /// Largest block the host will send; buffers are sized for it in InitProcessing.
  void SetBlockSize(std::int32_t samples) noexcept { m_maxBlockSize = samples > 0 ? samples : 0; }
  std::int32_t GetBlockSize() const noexcept { return m_maxBlockSize; }
  /// Channel names (their numbers are the channel counts) and the current counts.
  void SetChannelNames(std::vector<MString> inputs, std::vector<MString> outputs);
  void SetCurrentChannelCounts(std::int32_t inputs, std::int32_t outputs) noexcept;
  std::int32_t GetNumInputs() const noexcept { return m_numInputs; }
  std::int32_t GetNumOutputs() const noexcept { return m_numOutputs; }
  void SetChannelsPerBus(std::int32_t channels) noexcept;
  std::int32_t GetChannelsPerBus() const noexcept { return m_channelsPerBus; }
  void SetForcedChannelCount(std::int32_t channels) noexcept { m_forcedChannels = channels; }
  void SetUsableChannelsPerBus(std::int32_t inputs, std::int32_t outputs) noexcept;
  /// Sub-block limits of the block driver (0 or less: 256-sample chunks).
  void SetBlockLimit(std::int32_t samples) noexcept { m_blockLimit = samples; }
  void SetModulationLimit(std::int32_t samples) noexcept { m_modulationLimit = samples; }
  /// Latency reported to the host: effect latency / factor plus the resampler's latency.
  std::int32_t GetLatency() const;
  std::int32_t GetReportedLatency() const noexcept { return m_reportedLatency; }

  Transport& GetTransport() noexcept { return m_transport; }

  // Capability flags (set before the host adapter is created; the switches may change later).
  MRelaxed<bool> m_receivesMIDI{false};
  MRelaxed<bool> m_sendsMIDI{false};
  MRelaxed<bool> m_accumulatesItself{false};
  MRelaxed<bool> m_needsInputCopy{true};
  MRelaxed<bool> m_wantsTimeInfo{true};
  MRelaxed<std::int32_t> m_oversampling{1};
  MRelaxed<bool> m_oversamplingHighQuality{true};
  MRelaxed<bool> m_differenceOutput{false};
  MRelaxed<bool> m_bypassed{false};

  MString m_pluginName;
  MString m_vendorName;
  MString m_hostFormat;

  /// The plug-in's notification event (editor and framework listeners subscribe; main thread).
  /// DestroyTemporaryAutomationAdapters removes all its handlers.
  MEvent<MOnNotifyParams>& GetNotifyEvent() noexcept { return m_notifyEvent; }

  MEditor* GetEditor() const noexcept { return m_editor; }
  bool IsEditorOpen() const noexcept { return m_editorOpen; }
  /// Address of the generic parameter panel pointer (null while no panel exists).
  MPluginParameters** GetParameterPanelLink() noexcept { return &m_parameterPanel; }

protected:
  /// Channel-mode hooks of the framework (audio thread): rearrange the pointers before the
  /// chunks and undo it after. Base: nothing; IsChannelModeActive false.
  virtual bool IsChannelModeActive() const;
  virtual void ChannelModeEncode(float** inputs, float** outputs, std::int32_t samples);
  virtual void ChannelModeDecode(float** inputs, float** outputs, std::int32_t samples);

  /// Automatic gain compensation hooks of the framework. Base: disabled. Prepare runs in every
  /// InitProcessing with the host rate, on or off, so that switching on later finds the rate
  /// (may allocate); the two measurements run on the audio
  /// thread around the block (must not allocate): the input measurement with null inputs when
  /// there are no input buses, the output one measures and corrects the outputs in place.
  virtual bool IsGainCompensationEnabled() const;
  virtual void PrepareGainCompensation(double hostRate);
  virtual void MeasureGainCompensationInput(float** inputs, std::int32_t buses, std::int32_t samples);
  virtual void ApplyGainCompensation(float** outputs, std::int32_t buses, std::int32_t samples);

  /// Called by an InitProcessing override, instead of the base's, when the plug-in cannot run at
  /// the current rate: buffers, delays and the effect stay as they were, and Process is silent.
  void RefuseSetUp() noexcept { m_setUpRefused = true; }

  /// Mutable: const readers of what it guards (the framework's controller lists) take it too;
  /// the lock is no part of the plug-in's state.
  mutable MLock m_processingLock;
  MLock m_initLock;
  MLock m_bufferLock;

private:
  struct InterpolationRecord
  {
    std::int32_t adapter = 0;
    std::int32_t slot = 0;
    double previous = 0.0;
    double target = 0.0;
    double current = 0.0;
    double step = 0.0;
    bool interpolated = false;
    bool active = false;
  };

  void RemoveAdapterAt(std::size_t position);
  void ProcessLocked(float* const* inputs, float* const* outputs, std::int32_t samples, bool replacing);
  void ProcessPieces(float* const* inputs, float* const* outputs, std::int32_t samples, bool replacing,
                     std::int32_t piece);
  void ProcessBlock(float** inputs, float** outputs, std::int32_t samples);
  void ProcessBypass(std::int32_t inBuses, std::int32_t outBuses, std::int32_t samples);
  void ProcessDirect(std::int32_t inBuses, std::int32_t outBuses, std::int32_t samples, bool replacing);
  void ClearOutputs(float* const* outputs, std::int32_t buses, std::int32_t samples) noexcept;
  float** InternalPointers(float** source, std::int32_t buses, std::int32_t samples, bool copy);
  void ProcessOversampled(std::int32_t inBuses, std::int32_t outBuses, std::int32_t samples, bool replacing);
  /// Repairs the pointer slots of `buses` buses (see the .cpp). Audio thread; grows the scratch
  /// buffers only when the block is larger than any before.
  void FixAudioBuffers(float** pointers, std::int32_t usable, std::int32_t buses, bool isInput,
                       std::int32_t samples);
  std::int32_t ActiveChannels(std::int32_t usable) const noexcept;
  void PrepareBuffers(std::int32_t samples, std::int32_t inBuses, std::int32_t outBuses);
  void SnapshotLayout(bool withInputs) noexcept;

  // The layout of the block being processed (or prepared), read once from the settings.
  struct BlockLayout
  {
    std::int32_t inBuses = 0;
    std::int32_t outBuses = 0;
    std::int32_t perBus = 2;
    std::int32_t factor = 1;
    bool highQuality = true;
  };
  BlockLayout m_block;
  BlockLayout m_preparedLayout; // m_block as the last InitProcessing prepared it
  double m_preparedRate = 0.0;
  /// Whether m_block (just snapshotted) can run on the buffers and resamplers InitProcessing
  /// prepared, without growing anything. Audio thread, under the buffer lock.
  bool LayoutFitsPreparation() const noexcept;
  void ConfigureResamplers();

  std::vector<AutomationAdapter*> m_adapters;
  std::int32_t m_totalCount = 0;
  std::int32_t m_permanentCount = 0;
  bool m_sortAdapters = false;

  /// Clears the adapter's refresh mark; true when it was set.
  bool TakeEditorRefresh(AutomationAdapter& adapter) noexcept;

  std::atomic<std::int32_t> m_needUpdateCount{0}; // adapters whose refresh mark is set
  std::vector<AutomationAdapter*> m_updating;     // GUI thread only

  std::vector<InterpolationRecord> m_interpolation;
  std::vector<std::int32_t> m_interpolatedIndices;
  bool m_interpolationReset = true;

  Transport m_transport;
  MRelaxed<double> m_sampleRate{44100.0};
  MRelaxed<double> m_effectiveSampleRate{44100.0};
  MRelaxed<std::int32_t> m_maxBlockSize{0};

  std::vector<MString> m_inputNames;
  std::vector<MString> m_outputNames;
  MRelaxed<std::int32_t> m_channelsPerBus{2};
  MRelaxed<std::int32_t> m_forcedChannels{-1};
  MRelaxed<std::int32_t> m_usableInputsPerBus{-1};
  MRelaxed<std::int32_t> m_usableOutputsPerBus{-1};
  MRelaxed<std::int32_t> m_numInputs{0};
  MRelaxed<std::int32_t> m_numOutputs{0};
  MRelaxed<std::int32_t> m_blockLimit{kUnlimited};
  MRelaxed<std::int32_t> m_modulationLimit{256};

  MRelaxed<std::int32_t> m_reportedLatency{0};
  MRelaxed<bool> m_setUpRefused{false};
  std::int32_t m_bypassLatency = 0;
  std::vector<MDelayLine> m_bypassLines;

  // Block driver buffers, guarded by the buffer lock; they only grow.
  std::vector<float*> m_inputPointers;
  std::vector<float*> m_outputPointers;
  std::vector<float*> m_chunkInputs;
  std::vector<float*> m_chunkOutputs;
  std::vector<float*> m_internalPointers;
  std::vector<float*> m_highInputPointers;
  std::vector<float*> m_highOutputPointers;
  std::vector<float*> m_pieceInputs;
  std::vector<float*> m_pieceOutputs;
  std::int32_t m_preparedSamples = 0; // 0: not prepared yet (the first block sizes the buffers)
  std::int32_t m_pieceOffset = 0;
  bool m_lastPiece = true;
  std::vector<MFloatBuffer> m_internal;
  std::vector<MFloatBuffer> m_highInputs;
  std::vector<MFloatBuffer> m_highOutputs;
  std::vector<MOversampler> m_upsamplers;
  std::vector<MOversampler> m_downsamplers;
  MFloatBuffer m_inputScratch;
  MFloatBuffer m_outputScratch;

  MEvent<MOnNotifyParams> m_notifyEvent;
  MAudioPluginAdapter* m_hostAdapter = nullptr;
  MEditor* m_editor = nullptr;
  /// The toolkit OpenEditor installed (null until an editor is first opened in the process).
  static std::atomic<const EditorToolkit*> s_editorToolkit;
  double m_hostContentScale = 0.0;
  double m_systemContentScale = 1.0;
  MRelaxed<bool> m_editorOpen{false};
  MPluginParameters* m_parameterPanel = nullptr;
  std::vector<std::int32_t> m_openGestures; // per host slot; grows on the GUI thread in Begin

  std::atomic<std::int32_t> m_requestedProgram{-1}; // RequestProgram's, -1: none
  std::unique_ptr<AutomationUpdateRequestThread> m_updateThread;
  bool m_mirror = false; // see MakeMirror
  std::mutex m_backgroundTickLock;
  void (*m_backgroundTick)(void*) = nullptr;
  void* m_backgroundTickContext = nullptr;
};

/// A contiguous run of host parameter slots.
///
/// Slot operations are called by the plug-in with a local slot 0 .. GetCount() - 1 (the plug-in
/// checks it). Values are normalised doubles 0..1. Getters may be called from any thread; SetValue
/// from the host's parameter thread, the GUI thread or (silently, for interpolation) the audio
/// thread, so implementations keep their values in relaxed atomics.
class MAudioPlugin::AutomationAdapter : public MAudioPluginAutomation<MEventTarget>
{
public:
  explicit AutomationAdapter(std::int32_t count = 1);
  ~AutomationAdapter() override;

  /// Sort key used when the plug-in orders its adapters. Base: 0.
  virtual std::int32_t GetOrderKey() const;
  /// Adapter-level notification. Base: nothing.
  virtual void OnAdapterNotification();
  virtual void SetValue(std::int32_t slot, double value, bool silent);
  /// Calls SetValue when |current - value| >= 1e-50.
  virtual void SetValueIfChanged(std::int32_t slot, double value, bool silent);
  virtual double GetValue(std::int32_t slot) const;
  virtual MString GetName(std::int32_t slot) const;
  virtual MString GetShortName(std::int32_t slot) const;
  /// Identifier part of the slot. Base: idPart.
  virtual MString GetIdPart(std::int32_t slot) const;
  virtual MString GetValueName(std::int32_t slot) const;
  virtual MString GetValueNameFrom01(std::int32_t slot, double value) const;
  /// Base: the text read as a number.
  virtual double ParseValueName(std::int32_t slot, const MString& text) const;
  virtual MString GetUnitsName(std::int32_t slot) const;
  virtual bool IsInterpolated(std::int32_t slot) const;
  virtual void SetInterpolating(std::int32_t slot, bool on);
  /// Base: 1 (float).
  virtual std::int32_t GetType(std::int32_t slot) const;
  /// Base: 0.5.
  virtual double GetDefaultValue(std::int32_t slot) const;
  /// Adds this adapter's controls to the generic parameter panel (GUI thread). Base: nothing.
  virtual void CreateEditorControls(MPluginParameters* panel);
  /// Refreshes this adapter's editor controls (GUI thread). Base: nothing.
  virtual void UpdateEditorControls();
  virtual bool CanRandomize() const;
  /// For every slot: with amount < 1 moves the value by up to +-amount (clamped to 0..1),
  /// otherwise draws a fresh value; sets it silently. Nothing when CanRandomize is false.
  virtual void Randomize(double amount);
  /// Writes one step of an in-block ramp (audio thread, inside Process, between
  /// SetInterpolating(slot, true) and SetInterpolating(slot, false)); must not allocate.
  /// Base: SetValue(slot, value, true). Typed parameters write their smoothed value instead, so a
  /// host change that arrives during the block lands in the value and is ramped to next block.
  virtual void SetInterpolatedValue(std::int32_t slot, double value);

  /// Sends the slot's current value to the host. Nothing without a plug-in.
  void SendAutomation(std::int32_t slot);
  void SendAutomationValue(std::int32_t slot, double value);
  /// Sends value - 1e-10 (value + 1e-10 when value <= 1e-10) and then value, so that a host that
  /// ignores repeated values records a change.
  void SendAutomationValueWithChange(std::int32_t slot, double value);
  void SendAllAutomation();

  std::int32_t GetCount() const noexcept { return m_count; }
  std::int32_t GetFirstIndex() const noexcept { return m_firstIndex; }
  bool IsOwned() const noexcept { return m_owned; }
  bool IsTemporary() const noexcept { return m_temporary; }
  MAudioPlugin* GetPlugin() const noexcept { return m_plugin; }
  void SetOwned(bool owned) noexcept { m_owned = owned; }
  void SetTemporary(bool temporary) noexcept { m_temporary = temporary; }
  void SetPlugin(MAudioPlugin* plugin) noexcept { m_plugin = plugin; }

  MString m_idPrefix;
  MString m_idPart;

protected:
  std::int32_t m_count;

private:
  friend class MAudioPlugin;
  std::int32_t m_firstIndex = 0;
  std::atomic<bool> m_editorRefresh{false}; // marked by NeedUpdateEditor (any thread)
  bool m_owned = true;
  bool m_temporary = false;
  MAudioPlugin* m_plugin = nullptr;
};

/// The editor as the plug-in core and the host adapters see it. MAudioPluginEditorWindow is the
/// toolkit's implementation; the core only opens, idles, refreshes, resizes and destroys it. All
/// operations run on the GUI thread (the host's UI thread).
class MAudioPlugin::MEditor : public MObject
{
public:
  ~MEditor() override = default;
  /// Refresh the controls of these adapters.
  virtual void RefreshAdapters(AutomationAdapter* const* adapters, std::int32_t count) = 0;
  /// Periodic idle from the host. Base: nothing.
  virtual void Idle() {}
  /// The host resized the window.
  virtual void SetSize(std::int32_t width, std::int32_t height) = 0;
  /// Current size of the editor window.
  virtual MSize GetSize() const = 0;
  /// The editor's window, or null when it has none.
  virtual MWindow* GetWindow() const { return nullptr; }
  /// Draws at `scale` (device pixels per logical pixel) keeping the logical layout; GetSize then
  /// answers the scaled size. Base: nothing.
  virtual void SetScale(double scale) { (void)scale; }
  virtual double GetScale() const { return 1.0; }
  /// A key the host forwards (KeyDown/KeyUp/Character); true when the editor used it. Base: false.
  virtual bool OnHostKey(const MSystemEvent& event)
  {
    (void)event;
    return false;
  }
};

/// The GUI toolkit's half of the editor link: what the base editor operations build with the
/// toolkit's controls. The core itself links no GUI library; the editor library
/// (tonvera_core_editor, MAudioPluginEditorToolkit.cpp) implements this and installs it in
/// OpenEditor, the one way an editor window is opened, so that the base operations below find it
/// whenever a window exists. Without it (no editor ever opened in the process) CreateEditorControl
/// answers null and the others do nothing. GUI thread.
class MAudioPlugin::EditorToolkit
{
public:
  virtual ~EditorToolkit() = default;
  /// Base of MAudioPlugin::CreateEditorControl: an MAudioPluginEditorWindow of the default size.
  virtual MEditor* CreateEditorControl(MAudioPlugin& plugin, MWindowSystemCommon& system,
                                       MNativeHandle parent) const = 0;
  /// Base of MAudioPlugin::CreateEditorContents.
  virtual void CreateEditorContents(MAudioPlugin& plugin, MContainer& contents) const = 0;
  /// Base of MAudioPlugin::CreateParameterPanel; links the panel through GetParameterPanelLink.
  virtual void CreateParameterPanel(MAudioPlugin& plugin, MContainer& container) const = 0;
};
