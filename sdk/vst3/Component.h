#pragma once
// Base classes of a plug-in's processing side.
//
// ComponentBase keeps the host context and the peer connection shared by component and
// controller. Component answers IComponent over four bus lists. AudioEffect adds
// IAudioProcessor with the default answers a simple effect needs; a plug-in derives from it and
// overrides process and whatever else it decides itself.
//
// Threads: everything but process runs on the host's main thread; process (in the derived
// class) runs on the audio thread and may only read the bus lists.

#include "sdk/vst3/Bus.h"
#include "sdk/vst3/FObject.h"
#include "sdk/vst3/VST3Controller.h"
#include "sdk/vst3/VST3Processor.h"

namespace Steinberg::Vst
{
class ComponentBase : public FObject, public IConnectionPoint
{
  TONVERA_VST3_FORWARD_FUNKNOWN(FObject)

public:
  /// Stores the context (which may be null) with a reference and answers kResultOk; answers
  /// kResultFalse when the object is already initialised (a single-component plug-in is
  /// initialised twice, once as component and once as controller).
  virtual tresult PLUGIN_API initialize(FUnknown* context);
  /// Releases the host context and the peer and ends the initialised state; kResultOk.
  virtual tresult PLUGIN_API terminate();

  /// Stores the peer with a reference: kResultOk, kInvalidArgument for null, kResultFalse
  /// when already connected.
  tresult PLUGIN_API connect(IConnectionPoint* other) override;
  /// kResultOk when `other` is the peer (released), kInvalidArgument otherwise.
  tresult PLUGIN_API disconnect(IConnectionPoint* other) override;
  /// Default: messages are not understood (kResultFalse).
  tresult PLUGIN_API notify(IMessage* message) override;

  FUnknown* GetHostContext() const { return m_hostContext; }
  IConnectionPoint* GetPeer() const { return m_peer; }
  bool IsInitialized() const { return m_initialized; }

protected:
  ~ComponentBase() override;
  void CollectInterfaces(InterfaceTable& table) override;

private:
  FUnknown* m_hostContext = nullptr;
  IConnectionPoint* m_peer = nullptr;
  bool m_initialized = false;
};

class Component : public ComponentBase, public IComponent
{
  TONVERA_VST3_FORWARD_FUNKNOWN(ComponentBase)

public:
  Component();

  tresult PLUGIN_API initialize(FUnknown* context) override;
  /// Removes all buses, then releases the context and the peer.
  tresult PLUGIN_API terminate() override;

  /// kResultOk with the controller class set by SetControllerClass, else kResultFalse.
  tresult PLUGIN_API getControllerClassId(TUID classId) override;
  /// kNotImplemented: only the simple mode exists.
  tresult PLUGIN_API setIoMode(IoMode mode) override;
  /// Buses in the list of `type` and `dir`; 0 for unknown values.
  int32 PLUGIN_API getBusCount(MediaType type, BusDirection dir) override;
  /// kResultOk, or kInvalidArgument for an unknown list or index.
  tresult PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) override;
  /// kNotImplemented.
  tresult PLUGIN_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) override;
  /// Sets the bus's active flag: kResultOk, or kInvalidArgument for an unknown bus.
  tresult PLUGIN_API activateBus(MediaType type, BusDirection dir, int32 index, TBool state) override;
  /// Default: kResultOk.
  tresult PLUGIN_API setActive(TBool state) override;
  /// Default: kNotImplemented (a plug-in with state overrides both).
  tresult PLUGIN_API setState(IBStream* state) override;
  tresult PLUGIN_API getState(IBStream* state) override;

  /// Bus construction, main thread only (initialize or a bus-arrangement change).
  AudioBus* AddAudioInput(std::u16string_view name, SpeakerArrangement arrangement, BusType type = kMain,
                          int32 flags = BusInfo::kDefaultActive);
  AudioBus* AddAudioOutput(std::u16string_view name, SpeakerArrangement arrangement, BusType type = kMain,
                           int32 flags = BusInfo::kDefaultActive);
  EventBus* AddEventInput(std::u16string_view name, int32 channels = 16, BusType type = kMain,
                          int32 flags = BusInfo::kDefaultActive);
  EventBus* AddEventOutput(std::u16string_view name, int32 channels = 16, BusType type = kMain,
                           int32 flags = BusInfo::kDefaultActive);
  void RemoveAudioBusses();
  void RemoveEventBusses();
  void RemoveAllBusses();

  /// The list of `type` and `dir`, or null for unknown values.
  BusList* GetBusList(MediaType type, BusDirection dir);
  void SetControllerClass(const FUID& cid);

protected:
  void CollectInterfaces(InterfaceTable& table) override;

  BusList m_audioInputs{kAudio, kInput};
  BusList m_audioOutputs{kAudio, kOutput};
  BusList m_eventInputs{kEvent, kInput};
  BusList m_eventOutputs{kEvent, kOutput};

private:
  FUID m_controllerClass = {};
  bool m_hasControllerClass = false;
};

class AudioEffect : public Component, public IAudioProcessor
{
  TONVERA_VST3_FORWARD_FUNKNOWN(Component)

public:
  AudioEffect();

  /// Accepts exactly one arrangement per audio bus and stores them: kResultOk; kResultFalse when
  /// the counts differ from the bus counts; kInvalidArgument for negative counts or null arrays.
  tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                        int32 numOuts) override;
  /// kResultOk with the arrangement of that audio bus, kInvalidArgument for an unknown bus.
  tresult PLUGIN_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) override;
  /// kResultOk for 32-bit samples, kResultFalse otherwise.
  tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) override;
  uint32 PLUGIN_API getLatencySamples() override { return 0; }
  /// Stores the setup when its sample size can be processed (kResultOk), else kResultFalse.
  tresult PLUGIN_API setupProcessing(ProcessSetup& setup) override;
  /// Default: kResultOk.
  tresult PLUGIN_API setProcessing(TBool state) override;
  /// Default: kNotImplemented; every effect overrides it.
  tresult PLUGIN_API process(ProcessData& data) override;
  uint32 PLUGIN_API getTailSamples() override { return kNoTail; }

  const ProcessSetup& GetProcessSetup() const { return m_processSetup; }

protected:
  void CollectInterfaces(InterfaceTable& table) override;

  ProcessSetup m_processSetup;
};
} // namespace Steinberg::Vst
