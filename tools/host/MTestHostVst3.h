#pragma once
// MTestHostVst3: drives a VST 3 module the way a DAW does.
//
// Loading opens the module (a bundle directory "<name>.vst3" or the shared library inside it),
// calls ModuleEntry, reads the factory and class records, creates the first class of category
// "Audio Module Class" as IComponent and initialises it with this host's context (which answers
// IHostApplication and IComponentHandler). The controller is the component itself when it
// answers IEditController (a single-component plug-in: initialised a second time, as hosts do,
// and not connected to itself); otherwise the controller class is created, initialised and
// connected to the component through IConnectionPoint in both directions.
//
// Activate sets up 32-bit processing at the rate and block size, activates the main buses and the
// component and starts processing. Process builds the host buffers of the main buses, hands over
// the parameter changes and MIDI events queued since the last block (one point per change at
// offset 0), the transport as a ProcessContext, and collects the plug-in's output events.
// Parameter indices are the controller's parameter indices (getParameterInfo order).
//
// A loaded module stays mapped until the process ends, as in a real host (Close still calls
// ModuleExit and releases every object).
//
// Threads: drive one object from one thread; the component handler records calls under a lock.

#include "tools/host/MSharedLibrary.h"
#include "tools/host/MTestHost.h"

#include "sdk/vst3/EventList.h"
#include "sdk/vst3/FObject.h"
#include "sdk/vst3/ParameterChanges.h"
#include "sdk/vst3/VST3Controller.h"
#include "sdk/vst3/VST3Factory.h"
#include "sdk/vst3/VST3Processor.h"

#include <array>
#include <functional>
#include <map>
#include <mutex>

class MTestHostVst3 : public MTestHost
{
public:
  /// The host's name as IHostApplication::getName answers it.
  static constexpr const char16_t* kHostName = u"Tonvera Test Host";

  MTestHostVst3();
  /// Stops, terminates and releases a live instance, then unloads the module.
  ~MTestHostVst3() override;

  // --- MTestHost ---
  MTestHostStatus LoadModule(const std::string& path) override;
  bool IsLoaded() const override { return m_component != nullptr; }
  bool Activate(double sampleRateHz, int maxBlockSamples) override;
  bool Deactivate() override;
  bool Process(float** inputs, float** outputs, int samples) override;
  void Close() override;
  int NumInputs() const override { return m_numInputs; }
  int NumOutputs() const override { return m_numOutputs; }
  int NumParameters() const override;
  int LatencySamples() const override;
  float GetParameter(int index) override;
  void SetParameter(int index, float value) override;
  std::string ParameterName(int index) override;
  std::string ParameterDisplay(int index) override;
  std::vector<std::uint8_t> GetState() override;
  bool SetState(const std::vector<std::uint8_t>& bytes) override;
  bool SendMidi(const std::vector<MTestHostMidiEvent>& events) override;

  // --- VST 3 specifics ---
  /// The factory record and the record of the class that was created.
  const Steinberg::PFactoryInfo& FactoryInfo() const { return m_factoryInfo; }
  const Steinberg::PClassInfo2& ClassInfo() const { return m_classInfo; }
  int ClassCount() const { return m_classCount; }
  /// The interfaces of the live instance (null before LoadModule); no reference is added.
  Steinberg::Vst::IComponent* Component() const { return m_component; }
  Steinberg::Vst::IAudioProcessor* Processor() const { return m_processor; }
  Steinberg::Vst::IEditController* Controller() const { return m_controller; }
  /// A symbol the loaded module exports (null when it exports none of that name).
  void* ModuleSymbol(const char* name) { return m_library.Symbol(name); }
  /// True when the controller is the component object itself.
  bool IsSingleComponent() const { return m_singleComponent; }

  /// Queues a change of parameter `id` for the next block (the controller is told as well).
  /// Several calls for one ID in one block add points at increasing offsets.
  void QueueParameterChange(Steinberg::Vst::ParamID id, double value, int sampleOffset = 0);
  /// Queues a change for the next block without telling the controller (automation playback
  /// that reaches the processor only).
  void QueueProcessorChange(Steinberg::Vst::ParamID id, double value, int sampleOffset = 0);
  /// Hands `bytes` to the controller's setComponentState (as a host does after loading the
  /// component, also when the controller is the component itself); true when accepted.
  bool SetControllerState(const std::vector<std::uint8_t>& bytes);
  /// Parses `text` with getParamValueByString and queues the value: false when refused.
  bool SetParameterFromText(Steinberg::Vst::ParamID id, const std::string& utf8Text);
  /// The normalised value the controller reports for `id`.
  double ParameterValueById(Steinberg::Vst::ParamID id) const;
  /// Parameter record at `index` (false when out of range).
  bool ParameterInfo(int index, Steinberg::Vst::ParameterInfo& info) const;

  /// Processes one block with explicit host buffers: `inputBuses` and `outputBuses` may be empty
  /// and channel pointer arrays may be null (a parameter flush passes no buses and 0 samples).
  /// Pending changes, events and the transport are handed over as in Process.
  Steinberg::tresult ProcessBuses(std::vector<Steinberg::Vst::AudioBusBuffers>& inputBuses,
                                  std::vector<Steinberg::Vst::AudioBusBuffers>& outputBuses, int samples);

  /// Called on the processing thread right before (true) and right after (false) the plug-in's
  /// process call, so that a test can measure the plug-in's part of a block alone.
  void SetProcessCallHandler(std::function<void(bool entering)> handler)
  {
    m_processCallHandler = std::move(handler);
  }

  /// Records of the component handler and of the plug-in's output events.
  std::vector<MTestHostAutomation> TakeAutomation();
  /// beginEdit, performEdit and endEdit in the order they came (taken: the record empties).
  std::vector<MTestHostEdit> TakeEdits();
  int RestartCount(Steinberg::int32 flag) const;
  /// setDirty(true) calls of IComponentHandler2 (the handler offers it).
  int DirtyCount() const;
  /// Forgets the restart and setDirty records.
  void ClearRestarts();
  /// Called (on the plug-in's thread, after the record, outside the record lock) for every
  /// performEdit, as a DAW that reacts to the plug-in's edits at once.
  void SetPerformEditHandler(
      std::function<void(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value)> handler);
  const std::vector<Steinberg::Vst::Event>& OutputEvents() const { return m_outputEventsSeen; }
  /// One tick of the host's run loop, which the component handler answers (timers only): calls
  /// every registered timer once, outside the host lock; answers how many there were.
  int RunHostTimers();
  /// The last value of every output parameter change the plug-in made since the last call.
  std::map<Steinberg::Vst::ParamID, Steinberg::Vst::ParamValue> TakeOutputParameterValues();
  int HostTimerCount() const;

private:
  class HostContext;

  Steinberg::tresult RunProcess(Steinberg::Vst::ProcessData& data, int samples);
  void ReleaseInstance();

  MSharedLibrary m_library;
  HostContext* m_context = nullptr;
  Steinberg::IPluginFactory* m_factory = nullptr;
  Steinberg::Vst::IComponent* m_component = nullptr;
  Steinberg::Vst::IAudioProcessor* m_processor = nullptr;
  Steinberg::Vst::IEditController* m_controller = nullptr;
  bool m_singleComponent = false;
  bool m_active = false;
  bool m_entered = false;
  Steinberg::PFactoryInfo m_factoryInfo = {};
  Steinberg::PClassInfo2 m_classInfo = {};
  int m_classCount = 0;
  int m_numInputs = 0;
  int m_numOutputs = 0;
  double m_sampleRate = 44100.0;
  Steinberg::Vst::ParameterChanges* m_changes = nullptr;
  Steinberg::Vst::ParameterChanges* m_outputChanges = nullptr;
  std::map<Steinberg::Vst::ParamID, Steinberg::Vst::ParamValue> m_outputValues;
  Steinberg::Vst::EventList* m_inputEvents = nullptr;
  Steinberg::Vst::EventList* m_outputEvents = nullptr;
  std::vector<MTestHostMidiEvent> m_pendingMidi;
  std::vector<Steinberg::Vst::Event> m_outputEventsSeen;
  std::function<void(bool)> m_processCallHandler;
};
