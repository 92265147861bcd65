#pragma once
// MAudioPluginVST3Adapter: the plug-in as a VST 3 single-component object.
//
// One object is at once the audio processor component and its own edit controller: it answers
// IComponent, IAudioProcessor, IEditController, IEditController2, IUnitInfo, IMidiMapping and
// IConnectionPoint, and forwards every call to the host-neutral MAudioPlugin it owns. It is also
// the plug-in's MAudioPluginAdapter, through which automation, bypass automation, MIDI output,
// latency changes and editor-size requests reach the host.
//
// Published parameters (created at initialisation, all in the root unit, no unit text):
//   0 .. N - 1          the plug-in's parameters (title = GetParameterID, 1 step for booleans)
//   32767               "Bypass" (1 step, kCanAutomate | kIsBypass)
//   10000 .. 10129      "Controller 1" .. "Controller 130", MIDI controllers 0..127, channel
//                       pressure (10128) and pitch bend (10129); hidden (kIsHidden) and not
//                       automatable: hosts reach them through IMidiMapping only
//   32766               "Program", only when the plug-in has programs: the program-change
//                       parameter of the root unit's program list (kIsProgramChange | kIsList,
//                       count - 1 steps); not automatable
//
// Programs: a plug-in with programs (MAudioPlugin::GetProgramCount) publishes one program list
// (kProgramListId, "Programs") on the root unit, with the same names and count as the VST 2.4
// program opcodes. Choosing a program is the controller's setParamNormalized on the program
// parameter (on the UI thread; the same change arriving through process is not applied twice);
// afterwards the host is asked to read the parameter values again (kParamValuesChanged). The
// program parameter arriving through process is remembered on the audio thread
// (MAudioPlugin::RequestProgram) and chosen off it, as a MIDI program change is; the controller
// then answers the new program and the host is told as for any change the plug-in makes itself.
//
// Threads: process runs on the host's audio thread and never allocates once the block size and
// channel count are stable (the MIDI output queue has a fixed capacity). Everything else runs on
// the host's main (UI) thread. Every entry point runs inside MHostCallShield, so no exception
// reaches the host; a call that threw answers its neutral result (kResultFalse, 0, null).

#include "base/MLock.h"
#include "base/MString.h"
#include "core/plugin/MAudioPluginAdapter.h"
#include "host/module/MHostReportQueue.h"
#include "sdk/vst3/EditController.h"
#include "sdk/vst3/VST3View.h"

#include <atomic>
#include <cstdint>
#include <vector>

class MAudioPlugin;

class MAudioPluginVST3Adapter : public Steinberg::Vst::AudioEffect,
                                public Steinberg::Vst::EditControllerEx1,
                                public Steinberg::Vst::IMidiMapping,
                                public MAudioPluginAdapter,
                                private MHostReportQueue::Target
{
  TONVERA_VST3_FORWARD_FUNKNOWN(AudioEffect)

public:
  static constexpr Steinberg::Vst::ParamID kBypassId = 32767;
  static constexpr Steinberg::Vst::ParamID kProgramId = 32766;
  static constexpr Steinberg::Vst::ProgramListID kProgramListId = 1;
  static constexpr Steinberg::Vst::ParamID kFirstControllerId = 10000;
  static constexpr Steinberg::int32 kControllerCount = 130;
  static constexpr Steinberg::Vst::ParamID kPitchBendId = kFirstControllerId + 129;
  static constexpr Steinberg::Vst::ParamID kAftertouchId = kFirstControllerId + 128;
  /// Outgoing MIDI events kept per block; further events of the same block are dropped.
  static constexpr std::size_t kMidiOutputCapacity = 512;
  /// Buses per direction the adapter hands to the plug-in (8 pointer slots each).
  static constexpr Steinberg::int32 kMaxBuses = 8;
  /// Controller number of a program change in a legacy MIDI controller event.
  static constexpr std::uint8_t kProgramChangeNumber = 130;

  /// Takes ownership of `plugin` (not null). The object starts with one reference.
  explicit MAudioPluginVST3Adapter(MAudioPlugin* plugin);

  /// Live VST 3 adapters that were initialised at least once (module-wide).
  static std::int32_t GetLiveCount() noexcept;

  MAudioPlugin* GetPlugin() const noexcept { return m_plugin; }
  const MString& GetHostName() const noexcept { return m_hostName; }

  // ---- IPluginBase (component and controller alike) ----
  /// Effective once: a second call on an initialised object (the host initialising the
  /// controller side of the same object) answers kResultOk and creates nothing.
  Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
  /// Clears buses and parameters and releases the context, the handler and the peer. initialize
  /// may follow again.
  Steinberg::tresult PLUGIN_API terminate() override;

  // ---- IComponent / IAudioProcessor ----
  Steinberg::tresult PLUGIN_API setIoMode(Steinberg::Vst::IoMode mode) override;
  Steinberg::tresult PLUGIN_API getRoutingInfo(Steinberg::Vst::RoutingInfo& inInfo,
                                               Steinberg::Vst::RoutingInfo& outInfo) override;
  Steinberg::tresult PLUGIN_API setActive(Steinberg::TBool state) override;
  Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) override;
  Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) override;
  /// Accepts arrangements of up to the plug-in's channels per bus; wider requests fall back to
  /// stereo (or eight speakers). kResultFalse, changing nothing, for anything wider than stereo
  /// while the plug-in does not offer surround (MAudioPlugin::OffersSurround). kInvalidArgument
  /// for a null array with a positive count.
  Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs,
                                                   Steinberg::int32 numIns,
                                                   Steinberg::Vst::SpeakerArrangement* outputs,
                                                   Steinberg::int32 numOuts) override;
  Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) override;
  Steinberg::uint32 PLUGIN_API getLatencySamples() override;
  /// Rates above 100 Hz are rounded half up to whole hertz; 64-bit samples answer kResultFalse
  /// and change nothing. A rate the plug-in refuses (MAudioPlugin::IsSetUpRefused) answers
  /// kResultFalse with the previous rate and block size prepared again.
  Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
  Steinberg::tresult PLUGIN_API setProcessing(Steinberg::TBool state) override;
  /// Applies the last point of every parameter queue (every point, at its offset, of the MIDI
  /// controller parameters), the transport and the input events, then
  /// processes the audio when the block has samples and buses, and delivers queued MIDI output.
  /// A block without samples or buses (a parameter flush) touches no audio.
  Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override;
  Steinberg::uint32 PLUGIN_API getTailSamples() override;

  // ---- IEditController / IEditController2 ----
  /// The component's state is already in place (one object): from now on the controller answers
  /// the plug-in's values for every parameter, the bypass included, not values the host set
  /// before. setState does the same after loading. kInvalidArgument for a null stream.
  Steinberg::tresult PLUGIN_API setComponentState(Steinberg::IBStream* state) override;
  Steinberg::tresult PLUGIN_API getParamStringByValue(Steinberg::Vst::ParamID id,
                                                      Steinberg::Vst::ParamValue valueNormalized,
                                                      Steinberg::Vst::String128 string) override;
  /// The plug-in's parameters parse through the plug-in and answer kResultOk with a value
  /// clamped to 0..1; the bypass and controller parameters parse as numbers (kResultFalse for
  /// text that is not one); unknown IDs answer kInvalidArgument.
  Steinberg::tresult PLUGIN_API getParamValueByString(Steinberg::Vst::ParamID id, Steinberg::TChar* string,
                                                      Steinberg::Vst::ParamValue& valueNormalized) override;
  /// Bypass (1 while bypassed, else 0) and plug-in parameters (0..1): the value the host last
  /// set through setParamNormalized until the plug-in's own value moves (the change arriving
  /// through process, or the plug-in changing it itself) or a state is loaded, then the
  /// plug-in's value. Controller
  /// parameters: the value last set; unknown IDs 0.
  Steinberg::Vst::ParamValue PLUGIN_API getParamNormalized(Steinberg::Vst::ParamID id) override;
  /// Remembers the value (clamped to 0..1) for getParamNormalized; the plug-in itself only
  /// changes through process. kInvalidArgument for an unknown ID or a value that is not finite.
  Steinberg::tresult PLUGIN_API setParamNormalized(Steinberg::Vst::ParamID id,
                                                   Steinberg::Vst::ParamValue value) override;
  /// "editor": a new MAudioPluginVST3View (null while another view of this adapter is alive);
  /// null for every other name.
  // ---- IUnitInfo: the program list ----
  /// 1 when the plug-in has programs, else 0.
  Steinberg::int32 PLUGIN_API getProgramListCount() override;
  /// List 0 only: kInvalidArgument for any other index.
  Steinberg::tresult PLUGIN_API getProgramListInfo(Steinberg::int32 listIndex,
                                                   Steinberg::Vst::ProgramListInfo& info) override;
  /// kInvalidArgument for another list, an index outside the list or a null buffer.
  Steinberg::tresult PLUGIN_API getProgramName(Steinberg::Vst::ProgramListID listId,
                                               Steinberg::int32 programIndex,
                                               Steinberg::Vst::String128 name) override;

  Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;
  Steinberg::tresult PLUGIN_API openHelp(Steinberg::TBool onlyCheck) override;
  Steinberg::tresult PLUGIN_API openAboutBox(Steinberg::TBool onlyCheck) override;

  // ---- IMidiMapping ----
  /// Controller c (0..129) maps to parameter 10000 + c on every bus and channel; other numbers
  /// answer kResultFalse.
  Steinberg::tresult PLUGIN_API getMidiControllerAssignment(Steinberg::int32 busIndex,
                                                            Steinberg::int16 channel,
                                                            Steinberg::Vst::CtrlNumber midiControllerNumber,
                                                            Steinberg::Vst::ParamID& id) override;

  // ---- MAudioPluginAdapter (called by the plug-in) ----
  void SendAutomation(std::int32_t index, double value) override;
  /// Bypass changes travel in a gesture of their own (beginEdit, performEdit, endEdit).
  void SendBypassAutomation(bool bypassed) override;
  /// beginEdit / endEdit of the component handler for the parameter at `index`.
  void BeginAutomationGesture(std::int32_t index) override;
  void EndAutomationGesture(std::int32_t index) override;
  /// Audio thread, inside process: queues the message for the host as ToOutputEvent translates
  /// it; messages without a translation are dropped. Never allocates.
  void GenerateMIDIEvent(std::int32_t sampleOffset, const std::uint8_t bytes[4]) override;
  /// The host event of one outgoing MIDI message (type and its member; offset and bus are the
  /// caller's): 0x9n with velocity above 0 a note-on; 0x8n, and 0x9n with velocity 0, a note-off
  /// (velocities / 127); 0xAn poly pressure (pressure / 127); controllers, program changes,
  /// channel pressure and pitch bend legacy MIDI controller events (number 0..127, 130, 128 and
  /// 129; pitch bend carries LSB then MSB). False for data bytes (below 0x80) and system messages
  /// (0xF0 and above), which are dropped.
  static bool ToOutputEvent(const std::uint8_t bytes[4], Steinberg::Vst::Event& event) noexcept;
  void ReportLatency() override;
  /// As ReportStateChanged; nothing while the host itself chooses the program (it knows).
  void ReportProgramChanged() override;
  /// restartComponent(kParamValuesChanged), then setDirty(true) when the component handler
  /// answers IComponentHandler2, when MHostReportQueue lets it go (the UI thread is the thread
  /// that initialised the object; the tick is the editor's, or the adapter's own timer on the
  /// host's run loop).
  void ReportStateChanged() override;
  /// Hands the queued reports to the host (MHostReportQueue::Deliver).
  void DeliverPendingReports() override;
  /// Period of the adapter's own run-loop timer that delivers reports while no editor ticks.
  static constexpr Steinberg::uint64 kReportTimerPeriodMs = 20;
  bool ChangeEditorSize(std::int32_t width, std::int32_t height) override;

  // ---- the view (MAudioPluginVST3View, UI thread) ----
  /// The frame the host gave the view (null: none); size requests go to it.
  void SetViewFrame(Steinberg::IPlugFrame* frame) noexcept { m_plugFrame = frame; }
  /// The view is being destroyed.
  void ForgetView(const Steinberg::IPlugView* view) noexcept
  {
    if (m_view == view)
    {
      m_view = nullptr;
      m_plugFrame = nullptr;
    }
  }

protected:
  ~MAudioPluginVST3Adapter() override;
  void CollectInterfaces(Steinberg::InterfaceTable& table) override;

private:
  /// The adapter's own timer on the host's run loop, registered while reports wait.
  class ReportTimer : public Steinberg::FObject, public Steinberg::Linux::ITimerHandler
  {
    TONVERA_VST3_FORWARD_FUNKNOWN(FObject)

  public:
    explicit ReportTimer(MAudioPluginVST3Adapter& adapter) : m_adapter(&adapter) {}
    void PLUGIN_API onTimer() override;

  protected:
    void CollectInterfaces(Steinberg::InterfaceTable& table) override
    {
      FObject::CollectInterfaces(table);
      table.Add(Steinberg::Linux::ITimerHandler::iid, static_cast<Steinberg::Linux::ITimerHandler*>(this));
    }

  private:
    MAudioPluginVST3Adapter* m_adapter;
  };

  // MHostReportQueue::Target: restartComponent with the flags of `reports`, then setDirty; the
  // reports wait while the host has given no component handler; inside a host call on the UI
  // thread they arm the report timer.
  bool CanTellHost() override;
  void TellHost(std::uint32_t reports) override;
  void WaitForTick() override { StartReportTimer(); }
  void StartReportTimer();
  void StopReportTimer();
  void CreateBuses();
  void CreateParameters();
  void ApplyParameterChanges(Steinberg::Vst::IParameterChanges* changes, Steinberg::int32 numSamples);
  /// One point of a controller parameter (10000 ..) as the MIDI message it stands for.
  void ApplyControllerPoint(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value,
                            Steinberg::int32 offset);
  void ApplyTransport(const Steinberg::Vst::ProcessContext& context);
  void ApplyInputEvents(Steinberg::Vst::IEventList* events, Steinberg::int32 numSamples);
  void ProcessAudio(Steinberg::Vst::ProcessData& data);
  void DeliverMidiOutput(Steinberg::Vst::IEventList* events);
  /// Audio thread: output parameter changes for the values that moved since the host last heard.
  void ReportOwnChanges(Steinberg::Vst::IParameterChanges* changes);
  bool WriteState(Steinberg::IBStream* stream);
  bool ReadState(Steinberg::IBStream* stream);
  std::int32_t PluginParameterCount() const;
  /// The plug-in's program count as published (0 .. 128).
  std::int32_t ProgramCount() const;
  /// The normalised value of the program parameter for the plug-in's current program.
  double ProgramValue() const;
  /// The program parameter's normalised value for `program` and back (the nearest program).
  double ProgramToValue(std::int32_t program) const;
  std::int32_t ProgramFromValue(double value) const;

  /// A value the host set on the controller, and the plug-in's value at that moment.
  struct ControllerEdit
  {
    double value = 0.0;
    double pluginValue = 0.0;
    bool pending = false;
  };
  /// A state was loaded: every parameter answers the plug-in's own value again. UI thread.
  void ForgetControllerEdits() noexcept;
  /// The record of a plug-in parameter or the bypass; null for other IDs.
  ControllerEdit* FindControllerEdit(Steinberg::Vst::ParamID id);
  /// The plug-in's own value of a plug-in parameter or the bypass, 0..1.
  double PluginValue(Steinberg::Vst::ParamID id) const;

  MAudioPlugin* m_plugin;
  MString m_hostName;
  Steinberg::Vst::SpeakerArrangement m_inputArrangement = 3;
  Steinberg::Vst::SpeakerArrangement m_outputArrangement = 3;
  std::int32_t m_processMode = 0;
  std::int32_t m_latency = 0;
  std::int32_t m_forcedChannels = -1; // channel count the arrangements force on the plug-in
  std::int32_t m_tail = 0;
  double m_lastSongPosition = 0.0;
  /// The adapter whose performEdit runs on this thread (null: none); an echo on that thread is
  /// the plug-in's own value and is not applied again. Other threads are not affected.
  static thread_local const MAudioPluginVST3Adapter* t_automating;
  struct AutomatingMark
  {
    const MAudioPluginVST3Adapter* previous = t_automating;
    explicit AutomatingMark(const MAudioPluginVST3Adapter* adapter) noexcept { t_automating = adapter; }
    ~AutomatingMark() { t_automating = previous; }
    AutomatingMark(const AutomatingMark&) = delete;
    AutomatingMark& operator=(const AutomatingMark&) = delete;
  };
  std::atomic<bool> m_activating{false};
  std::atomic<bool> m_resizing{false};
  MHostReportQueue m_reports{*this};
  ReportTimer* m_reportTimer = nullptr;                  // UI thread; one reference while armed
  Steinberg::Linux::IRunLoop* m_reportRunLoop = nullptr; // one reference while armed
  bool m_counted = false;
  Steinberg::IPlugFrame* m_plugFrame = nullptr;
  Steinberg::IPlugView* m_view = nullptr;
  MLock m_midiLock;
  std::vector<Steinberg::Vst::Event> m_midiOutput;
  std::vector<ControllerEdit> m_controllerEdits; // UI thread; sized in CreateParameters
  /// Audio thread (sized in CreateParameters): the value the host last heard of each plug-in
  /// parameter.
  std::vector<double> m_hostValues;
};
