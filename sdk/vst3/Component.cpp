#include "sdk/vst3/Component.h"

namespace Steinberg::Vst
{
// ComponentBase -------------------------------------------------------------------------------

ComponentBase::~ComponentBase()
{
  // A host that releases without terminate still must not leak its context.
  ComponentBase::terminate();
}

tresult PLUGIN_API ComponentBase::initialize(FUnknown* context)
{
  if (m_initialized)
  {
    return kResultFalse;
  }
  if (context != nullptr)
  {
    context->addRef();
  }
  m_hostContext = context;
  m_initialized = true;
  return kResultOk;
}

tresult PLUGIN_API ComponentBase::terminate()
{
  if (m_peer != nullptr)
  {
    m_peer->release();
    m_peer = nullptr;
  }
  if (m_hostContext != nullptr)
  {
    m_hostContext->release();
    m_hostContext = nullptr;
  }
  m_initialized = false;
  return kResultOk;
}

tresult PLUGIN_API ComponentBase::connect(IConnectionPoint* other)
{
  if (other == nullptr)
  {
    return kInvalidArgument;
  }
  if (m_peer != nullptr)
  {
    return kResultFalse;
  }
  other->addRef();
  m_peer = other;
  return kResultOk;
}

tresult PLUGIN_API ComponentBase::disconnect(IConnectionPoint* other)
{
  if (other == nullptr || other != m_peer)
  {
    return kInvalidArgument;
  }
  m_peer->release();
  m_peer = nullptr;
  return kResultOk;
}

tresult PLUGIN_API ComponentBase::notify(IMessage* /*message*/)
{
  return kResultFalse;
}

void ComponentBase::CollectInterfaces(InterfaceTable& table)
{
  FObject::CollectInterfaces(table);
  table.Add(IConnectionPoint::iid, static_cast<IConnectionPoint*>(this));
}

// Component -----------------------------------------------------------------------------------

Component::Component() = default;

tresult PLUGIN_API Component::initialize(FUnknown* context)
{
  return ComponentBase::initialize(context);
}

tresult PLUGIN_API Component::terminate()
{
  RemoveAllBusses();
  return ComponentBase::terminate();
}

tresult PLUGIN_API Component::getControllerClassId(TUID classId)
{
  if (!m_hasControllerClass || classId == nullptr)
  {
    return kResultFalse;
  }
  std::memcpy(classId, m_controllerClass.data, sizeof(TUID));
  return kResultOk;
}

tresult PLUGIN_API Component::setIoMode(IoMode /*mode*/)
{
  return kNotImplemented;
}

int32 PLUGIN_API Component::getBusCount(MediaType type, BusDirection dir)
{
  const BusList* list = GetBusList(type, dir);
  return list != nullptr ? list->Count() : 0;
}

tresult PLUGIN_API Component::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus)
{
  const BusList* list = GetBusList(type, dir);
  return list != nullptr && list->GetInfo(index, bus) ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API Component::getRoutingInfo(RoutingInfo& /*inInfo*/, RoutingInfo& /*outInfo*/)
{
  return kNotImplemented;
}

tresult PLUGIN_API Component::activateBus(MediaType type, BusDirection dir, int32 index, TBool state)
{
  const BusList* list = GetBusList(type, dir);
  Bus* bus = list != nullptr ? list->At(index) : nullptr;
  if (bus == nullptr)
  {
    return kInvalidArgument;
  }
  bus->SetActive(state != 0);
  return kResultOk;
}

tresult PLUGIN_API Component::setActive(TBool /*state*/)
{
  return kResultOk;
}

tresult PLUGIN_API Component::setState(IBStream* /*state*/)
{
  return kNotImplemented;
}

tresult PLUGIN_API Component::getState(IBStream* /*state*/)
{
  return kNotImplemented;
}

AudioBus* Component::AddAudioInput(std::u16string_view name, SpeakerArrangement arrangement, BusType type,
                                   int32 flags)
{
  return static_cast<AudioBus*>(
      m_audioInputs.Add(std::make_unique<AudioBus>(name, type, flags, arrangement)));
}

AudioBus* Component::AddAudioOutput(std::u16string_view name, SpeakerArrangement arrangement, BusType type,
                                    int32 flags)
{
  return static_cast<AudioBus*>(
      m_audioOutputs.Add(std::make_unique<AudioBus>(name, type, flags, arrangement)));
}

EventBus* Component::AddEventInput(std::u16string_view name, int32 channels, BusType type, int32 flags)
{
  return static_cast<EventBus*>(m_eventInputs.Add(std::make_unique<EventBus>(name, type, flags, channels)));
}

EventBus* Component::AddEventOutput(std::u16string_view name, int32 channels, BusType type, int32 flags)
{
  return static_cast<EventBus*>(m_eventOutputs.Add(std::make_unique<EventBus>(name, type, flags, channels)));
}

void Component::RemoveAudioBusses()
{
  m_audioInputs.Clear();
  m_audioOutputs.Clear();
}

void Component::RemoveEventBusses()
{
  m_eventInputs.Clear();
  m_eventOutputs.Clear();
}

void Component::RemoveAllBusses()
{
  RemoveAudioBusses();
  RemoveEventBusses();
}

BusList* Component::GetBusList(MediaType type, BusDirection dir)
{
  if (dir != kInput && dir != kOutput)
  {
    return nullptr;
  }
  if (type == kAudio)
  {
    return dir == kInput ? &m_audioInputs : &m_audioOutputs;
  }
  if (type == kEvent)
  {
    return dir == kInput ? &m_eventInputs : &m_eventOutputs;
  }
  return nullptr;
}

void Component::SetControllerClass(const FUID& cid)
{
  m_controllerClass = cid;
  m_hasControllerClass = true;
}

void Component::CollectInterfaces(InterfaceTable& table)
{
  ComponentBase::CollectInterfaces(table);
  table.Add(IPluginBase::iid, static_cast<IComponent*>(this));
  table.Add(IComponent::iid, static_cast<IComponent*>(this));
}

// AudioEffect ---------------------------------------------------------------------------------

AudioEffect::AudioEffect() : m_processSetup{kRealtime, kSample32, 1024, 44100.0} {}

tresult PLUGIN_API AudioEffect::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                   SpeakerArrangement* outputs, int32 numOuts)
{
  if (numIns < 0 || numOuts < 0 || (numIns > 0 && inputs == nullptr) || (numOuts > 0 && outputs == nullptr))
  {
    return kInvalidArgument;
  }
  if (numIns != m_audioInputs.Count() || numOuts != m_audioOutputs.Count())
  {
    return kResultFalse;
  }
  for (int32 i = 0; i < numIns; ++i)
  {
    static_cast<AudioBus*>(m_audioInputs.At(i))->SetArrangement(inputs[i]);
  }
  for (int32 i = 0; i < numOuts; ++i)
  {
    static_cast<AudioBus*>(m_audioOutputs.At(i))->SetArrangement(outputs[i]);
  }
  return kResultOk;
}

tresult PLUGIN_API AudioEffect::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr)
{
  const BusList* list = GetBusList(kAudio, dir);
  const Bus* bus = list != nullptr ? list->At(index) : nullptr;
  if (bus == nullptr)
  {
    return kInvalidArgument;
  }
  arr = static_cast<const AudioBus*>(bus)->GetArrangement();
  return kResultOk;
}

tresult PLUGIN_API AudioEffect::canProcessSampleSize(int32 symbolicSampleSize)
{
  return symbolicSampleSize == kSample32 ? kResultOk : kResultFalse;
}

tresult PLUGIN_API AudioEffect::setupProcessing(ProcessSetup& setup)
{
  if (canProcessSampleSize(setup.symbolicSampleSize) != kResultOk)
  {
    return kResultFalse;
  }
  m_processSetup = setup;
  return kResultOk;
}

tresult PLUGIN_API AudioEffect::setProcessing(TBool /*state*/)
{
  return kResultOk;
}

tresult PLUGIN_API AudioEffect::process(ProcessData& /*data*/)
{
  return kNotImplemented;
}

void AudioEffect::CollectInterfaces(InterfaceTable& table)
{
  Component::CollectInterfaces(table);
  table.Add(IAudioProcessor::iid, static_cast<IAudioProcessor*>(this));
}
} // namespace Steinberg::Vst
