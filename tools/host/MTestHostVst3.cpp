// VST 3 path of the test host.

#include "tools/host/MTestHostVst3.h"

#include "sdk/vst3/MemoryStream.h"
#include "sdk/vst3/VST3String.h"
#include "sdk/vst3/VST3View.h"

#include <algorithm>
#include <cstring>
#include <utility>

using namespace Steinberg;
using namespace Steinberg::Vst;

// The host context handed to initialize: application name, the component handler, whose
// calls are recorded for the tests, and the host's run loop (timers only; the handler answers
// it, as some Linux hosts' handlers do).
class MTestHostVst3::HostContext : public FObject,
                                   public IHostApplication,
                                   public IComponentHandler,
                                   public IComponentHandler2,
                                   public Linux::IRunLoop
{
  TONVERA_VST3_FORWARD_FUNKNOWN(FObject)

public:
  explicit HostContext(MTestHostLock& hostLock) : lock(hostLock) {}

  tresult PLUGIN_API registerEventHandler(Linux::IEventHandler*, Linux::FileDescriptor) override
  {
    return kNotImplemented;
  }
  tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler*) override { return kNotImplemented; }
  tresult PLUGIN_API registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval) override
  {
    if (handler == nullptr)
      return kInvalidArgument;
    handler->addRef();
    timers.push_back(handler);
    return kResultOk;
  }
  tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* handler) override
  {
    const auto found = std::find(timers.begin(), timers.end(), handler);
    if (found == timers.end())
      return kResultFalse;
    timers.erase(found);
    handler->release();
    return kResultOk;
  }

  tresult PLUGIN_API getName(String128 name) override
  {
    CopyString16(name, 128, kHostName);
    return kResultOk;
  }
  tresult PLUGIN_API createInstance(TUID /*cid*/, TUID /*iid*/, void** obj) override
  {
    if (obj != nullptr)
    {
      *obj = nullptr;
    }
    return kNotImplemented;
  }
  tresult PLUGIN_API beginEdit(ParamID id) override
  {
    lock.Enter("beginEdit");
    return Record(MTestHostEdit::Kind::Begin, id, 0.0);
  }
  tresult PLUGIN_API performEdit(ParamID id, ParamValue value) override
  {
    lock.Enter("performEdit");
    {
      std::lock_guard<std::mutex> lock(mutex);
      automation.push_back(MTestHostAutomation{static_cast<int>(id), static_cast<float>(value)});
      edits.push_back({MTestHostEdit::Kind::Perform, static_cast<int>(id), static_cast<float>(value)});
    }
    if (performEditHandler)
    {
      performEditHandler(id, value);
    }
    return kResultOk;
  }
  tresult PLUGIN_API endEdit(ParamID id) override
  {
    lock.Enter("endEdit");
    return Record(MTestHostEdit::Kind::End, id, 0.0);
  }
  tresult PLUGIN_API restartComponent(int32 flags) override
  {
    lock.Enter("restartComponent");
    std::lock_guard<std::mutex> lock(mutex);
    restarts.push_back(flags);
    return kResultOk;
  }

  tresult PLUGIN_API setDirty(TBool state) override
  {
    lock.Enter("setDirty");
    std::lock_guard<std::mutex> lock(mutex);
    dirtyCalls += state != 0 ? 1 : 0;
    return kResultOk;
  }
  tresult PLUGIN_API requestOpenEditor(FIDString /*name*/) override { return kResultFalse; }
  tresult PLUGIN_API startGroupEdit() override { return kNotImplemented; }
  tresult PLUGIN_API finishGroupEdit() override { return kNotImplemented; }

  tresult Record(MTestHostEdit::Kind kind, ParamID id, ParamValue value)
  {
    std::lock_guard<std::mutex> lock(mutex);
    edits.push_back({kind, static_cast<int>(id), static_cast<float>(value)});
    return kResultOk;
  }

  MTestHostLock& lock;
  std::vector<Linux::ITimerHandler*> timers; // one reference each while registered
  mutable std::mutex mutex;
  std::vector<MTestHostAutomation> automation;
  std::vector<MTestHostEdit> edits;
  std::vector<int32> restarts;
  int dirtyCalls = 0;
  std::function<void(ParamID, ParamValue)> performEditHandler;

protected:
  void CollectInterfaces(InterfaceTable& table) override
  {
    FObject::CollectInterfaces(table);
    table.Add(IHostApplication::iid, static_cast<IHostApplication*>(this));
    table.Add(IComponentHandler::iid, static_cast<IComponentHandler*>(this));
    table.Add(IComponentHandler2::iid, static_cast<IComponentHandler2*>(this));
    table.Add(Linux::IRunLoop::iid, static_cast<Linux::IRunLoop*>(this));
  }
};

namespace
{
// The module's entry and exit: InitDll() and ExitDll() on Windows, ModuleEntry(handle) and
// ModuleExit() elsewhere.
#if defined(_WIN32)
constexpr const char* kModuleEntryName = "InitDll";
constexpr const char* kModuleExitName = "ExitDll";
#else
constexpr const char* kModuleEntryName = "ModuleEntry";
constexpr const char* kModuleExitName = "ModuleExit";
#endif

std::string ModulePathOf(const std::string& path)
{
  // A bundle directory: the shared library of this architecture inside it.
  std::string bundle = path;
  while (!bundle.empty() && bundle.back() == '/')
  {
    bundle.pop_back();
  }
  const std::string suffix = ".vst3";
  if (bundle.size() <= suffix.size() ||
      bundle.compare(bundle.size() - suffix.size(), suffix.size(), suffix) != 0)
  {
    return path;
  }
  const std::size_t slash = bundle.find_last_of('/');
  const std::string name = bundle.substr(slash == std::string::npos ? 0 : slash + 1);
  const std::string stem = name.substr(0, name.size() - suffix.size());
#if defined(_WIN32)
  return bundle + "/Contents/x86_64-win/" + name;
#elif defined(__aarch64__)
  const char* arch = "aarch64-linux";
#else
  const char* arch = "x86_64-linux";
#endif
#if !defined(_WIN32)
  return bundle + "/Contents/" + arch + "/" + stem + ".so";
#endif
}

// Real hosts keep a module mapped for the whole session once they have loaded it, and so does
// the test host: a second, never-closed handle keeps each module in memory after Close, so what a
// module keeps for the life of the process stays reachable (and leak checkers stay quiet).
void PinModule(const std::string& path)
{
  static auto* pinned = new std::vector<std::pair<std::string, MSharedLibrary*>>();
  for (const auto& entry : *pinned)
  {
    if (entry.first == path)
    {
      return;
    }
  }
  auto* library = new MSharedLibrary();
  std::string error;
  if (library->Open(path, error))
  {
    pinned->emplace_back(path, library);
  }
  else
  {
    delete library;
  }
}

int MainBusChannels(IComponent* component, BusDirection direction)
{
  BusInfo info = {};
  if (component->getBusCount(kAudio, direction) < 1 ||
      component->getBusInfo(kAudio, direction, 0, info) != kResultOk)
  {
    return 0;
  }
  return info.channelCount;
}
} // namespace

MTestHostVst3::MTestHostVst3()
    : m_context(new HostContext(m_hostLock)), m_changes(new ParameterChanges(256, 64)),
      m_outputChanges(new ParameterChanges(256, 64)), m_inputEvents(new EventList(512)),
      m_outputEvents(new EventList(512))
{}

MTestHostVst3::~MTestHostVst3()
{
  Close();
  m_changes->release();
  m_outputChanges->release();
  m_inputEvents->release();
  m_outputEvents->release();
  m_context->release();
}

MTestHostStatus MTestHostVst3::LoadModule(const std::string& path)
{
  Close();
  m_lastError.clear();
  std::string error;
  const std::string modulePath = ModulePathOf(path);
  if (!m_library.Open(modulePath, error))
  {
    m_lastError = error;
    return MTestHostStatus::ModuleNotFound;
  }
  PinModule(modulePath);
  using FactoryEntry = IPluginFactory* (*)();
#if defined(_WIN32)
  using ModuleEntryFunction = bool (*)();
#else
  using ModuleEntryFunction = bool (*)(void*);
#endif
  auto getFactory = reinterpret_cast<FactoryEntry>(m_library.Symbol("GetPluginFactory"));
  auto moduleEntry = reinterpret_cast<ModuleEntryFunction>(m_library.Symbol(kModuleEntryName));
  if (getFactory == nullptr)
  {
    m_lastError = "GetPluginFactory is not exported";
    m_library.Close();
    return MTestHostStatus::EntryMissing;
  }
#if defined(_WIN32)
  m_entered = moduleEntry != nullptr && moduleEntry();
#else
  m_entered = moduleEntry != nullptr && moduleEntry(nullptr);
#endif
  m_factory = getFactory();
  if (m_factory == nullptr || m_factory->getFactoryInfo(&m_factoryInfo) != kResultOk)
  {
    m_lastError = "no factory";
    Close();
    return MTestHostStatus::NullEffect;
  }
  m_classCount = m_factory->countClasses();
  IPtr<IPluginFactory2> factory2 = IPtr<IPluginFactory2>::Adopt(QueryInterfaceOf<IPluginFactory2>(m_factory));
  for (int32 index = 0; index < m_classCount && m_component == nullptr; ++index)
  {
    PClassInfo2 info = {};
    if (factory2)
    {
      factory2->getClassInfo2(index, &info);
    }
    else
    {
      PClassInfo plain = {};
      m_factory->getClassInfo(index, &plain);
      std::memcpy(info.cid, plain.cid, sizeof(TUID));
      std::memcpy(info.category, plain.category, sizeof(plain.category));
      std::memcpy(info.name, plain.name, sizeof(plain.name));
    }
    if (std::strncmp(info.category, kVstAudioEffectClass, sizeof(info.category)) != 0)
    {
      continue;
    }
    void* object = nullptr;
    if (m_factory->createInstance(info.cid, IComponent::iid.data, &object) == kResultOk && object != nullptr)
    {
      m_component = static_cast<IComponent*>(object);
      m_classInfo = info;
    }
  }
  const MTestHostLock::Held held = m_hostLock.Hold();
  if (m_component == nullptr ||
      m_component->initialize(static_cast<IHostApplication*>(m_context)) != kResultOk)
  {
    m_lastError = "the component could not be created or initialised";
    Close();
    return MTestHostStatus::NullEffect;
  }
  m_processor = QueryInterfaceOf<IAudioProcessor>(m_component);
  m_controller = QueryInterfaceOf<IEditController>(m_component);
  m_singleComponent = m_controller != nullptr;
  if (m_controller == nullptr)
  {
    TUID controllerId = {};
    void* object = nullptr;
    if (m_component->getControllerClassId(controllerId) == kResultOk &&
        m_factory->createInstance(controllerId, IEditController::iid.data, &object) == kResultOk)
    {
      m_controller = static_cast<IEditController*>(object);
    }
  }
  if (m_processor == nullptr || m_controller == nullptr)
  {
    m_lastError = "the plug-in has no processor or no controller";
    Close();
    return MTestHostStatus::NullEffect;
  }
  // A single-component plug-in is initialised again as controller (it must ignore the second
  // call); a separate controller is initialised and both sides are connected to each other.
  m_controller->initialize(static_cast<IHostApplication*>(m_context));
  if (!m_singleComponent)
  {
    IPtr<IConnectionPoint> a = IPtr<IConnectionPoint>::Adopt(QueryInterfaceOf<IConnectionPoint>(m_component));
    IPtr<IConnectionPoint> b =
        IPtr<IConnectionPoint>::Adopt(QueryInterfaceOf<IConnectionPoint>(m_controller));
    if (a && b)
    {
      a->connect(b.Get());
      b->connect(a.Get());
    }
  }
  m_controller->setComponentHandler(m_context);
  m_numInputs = MainBusChannels(m_component, kInput);
  m_numOutputs = MainBusChannels(m_component, kOutput);
  return MTestHostStatus::Ok;
}

bool MTestHostVst3::Activate(double sampleRateHz, int maxBlockSamples)
{
  if (!IsLoaded())
  {
    m_lastError = "not loaded";
    return false;
  }
  const MTestHostLock::Held held = m_hostLock.Hold();
  ProcessSetup setup{kRealtime, kSample32, maxBlockSamples, sampleRateHz};
  if (m_processor->setupProcessing(setup) != kResultOk)
  {
    m_lastError = "setupProcessing refused";
    return false;
  }
  m_sampleRate = sampleRateHz;
  for (BusDirection direction : {kInput, kOutput})
  {
    if (m_component->getBusCount(kAudio, direction) > 0)
    {
      m_component->activateBus(kAudio, direction, 0, 1);
    }
  }
  m_numInputs = MainBusChannels(m_component, kInput);
  m_numOutputs = MainBusChannels(m_component, kOutput);
  m_component->setActive(1);
  m_processor->setProcessing(1);
  m_active = true;
  return true;
}

bool MTestHostVst3::Deactivate()
{
  if (!IsLoaded())
  {
    return false;
  }
  if (m_active)
  {
    const MTestHostLock::Held held = m_hostLock.Hold();
    m_processor->setProcessing(0);
    m_component->setActive(0);
    m_active = false;
  }
  return true;
}

void MTestHostVst3::ReleaseInstance()
{
  if (m_component != nullptr)
  {
    Deactivate();
    if (!m_singleComponent && m_controller != nullptr)
    {
      IPtr<IConnectionPoint> a =
          IPtr<IConnectionPoint>::Adopt(QueryInterfaceOf<IConnectionPoint>(m_component));
      IPtr<IConnectionPoint> b =
          IPtr<IConnectionPoint>::Adopt(QueryInterfaceOf<IConnectionPoint>(m_controller));
      if (a && b)
      {
        a->disconnect(b.Get());
        b->disconnect(a.Get());
      }
      m_controller->terminate();
    }
    m_component->terminate();
  }
  for (FUnknown* object : {static_cast<FUnknown*>(m_controller), static_cast<FUnknown*>(m_processor),
                           static_cast<FUnknown*>(m_component)})
  {
    if (object != nullptr)
    {
      object->release();
    }
  }
  m_controller = nullptr;
  m_processor = nullptr;
  m_component = nullptr;
}

void MTestHostVst3::Close()
{
  ReleaseInstance();
  if (m_factory != nullptr)
  {
    m_factory->release();
    m_factory = nullptr;
  }
  if (m_entered)
  {
    using ModuleExitFunction = bool (*)();
    if (auto moduleExit = reinterpret_cast<ModuleExitFunction>(m_library.Symbol(kModuleExitName)))
    {
      moduleExit();
    }
    m_entered = false;
  }
  m_library.Close();
  m_changes->Clear();
  m_inputEvents->Clear();
  m_pendingMidi.clear();
  m_numInputs = 0;
  m_numOutputs = 0;
}

tresult MTestHostVst3::RunProcess(ProcessData& data, int samples)
{
  m_outputEvents->Clear();
  m_inputEvents->Clear();
  for (const MTestHostMidiEvent& midi : m_pendingMidi)
  {
    Event event = {};
    event.sampleOffset = midi.sampleOffset;
    const std::uint8_t status = midi.bytes[0] & 0xF0;
    const auto channel = static_cast<int16>(midi.bytes[0] & 0x0F);
    if (status == 0x90 && midi.bytes[2] > 0)
    {
      event.type = Event::kNoteOnEvent;
      event.noteOn =
          NoteOnEvent{channel, static_cast<int16>(midi.bytes[1]), 0.0f, midi.bytes[2] / 127.0f, 0, -1};
    }
    else if (status == 0x80 || status == 0x90)
    {
      event.type = Event::kNoteOffEvent;
      event.noteOff =
          NoteOffEvent{channel, static_cast<int16>(midi.bytes[1]), midi.bytes[2] / 127.0f, -1, 0.0f};
    }
    else
    {
      event.type = Event::kDataEvent;
      event.data = DataEvent{3, DataEvent::kMidiSysEx, midi.bytes};
    }
    m_inputEvents->addEvent(event);
  }
  ProcessContext context = {};
  const MTestHostTransport& transport = m_transport;
  if (transport.available)
  {
    context.state =
        ProcessContext::kProjectTimeMusicValid | ProcessContext::kTempoValid |
        ProcessContext::kBarPositionValid | ProcessContext::kTimeSigValid |
        (transport.playing ? ProcessContext::kPlaying : 0u) |
        (transport.cycleActive ? ProcessContext::kCycleActive | ProcessContext::kCycleValid : 0u) |
        (transport.recording ? ProcessContext::kRecording : 0u);
    context.sampleRate = m_sampleRate;
    context.projectTimeSamples = static_cast<TSamples>(transport.samplePosition);
    context.projectTimeMusic = transport.ppqPosition;
    context.barPositionMusic = transport.barStartPosition;
    context.cycleStartMusic = transport.cycleStart;
    context.cycleEndMusic = transport.cycleEnd;
    context.tempo = transport.tempo;
    context.timeSigNumerator = transport.timeSigNumerator;
    context.timeSigDenominator = transport.timeSigDenominator;
  }
  data.processMode = kRealtime;
  data.symbolicSampleSize = kSample32;
  data.numSamples = samples;
  data.inputParameterChanges = m_changes;
  m_outputChanges->Clear();
  data.outputParameterChanges = m_outputChanges;
  data.inputEvents = m_inputEvents;
  data.outputEvents = m_outputEvents;
  data.processContext = transport.available ? &context : nullptr;
  if (m_processCallHandler)
  {
    m_processCallHandler(true);
  }
  const tresult result = m_processor->process(data);
  if (m_processCallHandler)
  {
    m_processCallHandler(false);
  }
  m_changes->Clear();
  m_pendingMidi.clear();
  for (int32 index = 0; index < m_outputChanges->getParameterCount(); ++index)
  {
    IParamValueQueue* queue = m_outputChanges->getParameterData(index);
    int32 offset = 0;
    ParamValue value = 0.0;
    if (queue != nullptr && queue->getPointCount() > 0 &&
        queue->getPoint(queue->getPointCount() - 1, offset, value) == kResultOk)
      m_outputValues[queue->getParameterId()] = value;
  }
  for (int32 index = 0; index < m_outputEvents->getEventCount(); ++index)
  {
    Event event = {};
    if (m_outputEvents->getEvent(index, event) == kResultOk)
    {
      m_outputEventsSeen.push_back(event);
    }
  }
  if (transport.playing && samples > 0)
  {
    m_transport.samplePosition += samples;
    m_transport.ppqPosition += samples * transport.tempo / (60.0 * m_sampleRate);
  }
  return result;
}

tresult MTestHostVst3::ProcessBuses(std::vector<AudioBusBuffers>& inputBuses,
                                    std::vector<AudioBusBuffers>& outputBuses, int samples)
{
  if (!IsLoaded())
  {
    return kNotInitialized;
  }
  ProcessData data = {};
  data.numInputs = static_cast<int32>(inputBuses.size());
  data.numOutputs = static_cast<int32>(outputBuses.size());
  data.inputs = inputBuses.empty() ? nullptr : inputBuses.data();
  data.outputs = outputBuses.empty() ? nullptr : outputBuses.data();
  return RunProcess(data, samples);
}

bool MTestHostVst3::Process(float** inputs, float** outputs, int samples)
{
  if (!IsLoaded())
  {
    m_lastError = "not loaded";
    return false;
  }
  std::vector<AudioBusBuffers> in;
  std::vector<AudioBusBuffers> out;
  if (m_numInputs > 0)
  {
    AudioBusBuffers bus = {};
    bus.numChannels = m_numInputs;
    bus.channelBuffers32 = inputs;
    in.push_back(bus);
  }
  if (m_numOutputs > 0)
  {
    AudioBusBuffers bus = {};
    bus.numChannels = m_numOutputs;
    bus.channelBuffers32 = outputs;
    out.push_back(bus);
  }
  return ProcessBuses(in, out, samples) == kResultOk;
}

int MTestHostVst3::NumParameters() const
{
  return m_controller != nullptr ? m_controller->getParameterCount() : 0;
}

int MTestHostVst3::LatencySamples() const
{
  return m_processor != nullptr ? static_cast<int>(m_processor->getLatencySamples()) : 0;
}

bool MTestHostVst3::ParameterInfo(int index, Vst::ParameterInfo& info) const
{
  return m_controller != nullptr && m_controller->getParameterInfo(index, info) == kResultOk;
}

double MTestHostVst3::ParameterValueById(ParamID id) const
{
  return m_controller != nullptr ? m_controller->getParamNormalized(id) : 0.0;
}

float MTestHostVst3::GetParameter(int index)
{
  Vst::ParameterInfo info = {};
  return ParameterInfo(index, info) ? static_cast<float>(ParameterValueById(info.id)) : 0.0f;
}

void MTestHostVst3::QueueParameterChange(ParamID id, double value, int sampleOffset)
{
  int32 queueIndex = 0;
  if (IParamValueQueue* queue = m_changes->addParameterData(id, queueIndex))
  {
    int32 pointIndex = 0;
    queue->addPoint(sampleOffset, value, pointIndex);
  }
  if (m_controller != nullptr)
  {
    const MTestHostLock::Held held = m_hostLock.Hold();
    m_controller->setParamNormalized(id, value);
  }
}

void MTestHostVst3::QueueProcessorChange(ParamID id, double value, int sampleOffset)
{
  int32 queueIndex = 0;
  if (IParamValueQueue* queue = m_changes->addParameterData(id, queueIndex))
  {
    int32 pointIndex = 0;
    queue->addPoint(sampleOffset, value, pointIndex);
  }
}

bool MTestHostVst3::SetControllerState(const std::vector<std::uint8_t>& bytes)
{
  if (m_controller == nullptr)
  {
    return false;
  }
  IPtr<MemoryStream> stream = IPtr<MemoryStream>::Adopt(new MemoryStream(bytes));
  const MTestHostLock::Held held = m_hostLock.Hold();
  return m_controller->setComponentState(stream.Get()) == kResultOk;
}

void MTestHostVst3::SetParameter(int index, float value)
{
  Vst::ParameterInfo info = {};
  if (ParameterInfo(index, info))
  {
    QueueParameterChange(info.id, value);
  }
}

bool MTestHostVst3::SetParameterFromText(ParamID id, const std::string& utf8Text)
{
  if (m_controller == nullptr)
  {
    return false;
  }
  String128 text = {};
  CopyUtf8ToString16(text, utf8Text);
  ParamValue value = 0.0;
  if (m_controller->getParamValueByString(id, text, value) != kResultOk)
  {
    return false;
  }
  QueueParameterChange(id, value);
  return true;
}

std::string MTestHostVst3::ParameterName(int index)
{
  Vst::ParameterInfo info = {};
  return ParameterInfo(index, info) ? String16ToUtf8(info.title, 128) : std::string();
}

std::string MTestHostVst3::ParameterDisplay(int index)
{
  Vst::ParameterInfo info = {};
  String128 text = {};
  if (!ParameterInfo(index, info) ||
      m_controller->getParamStringByValue(info.id, m_controller->getParamNormalized(info.id), text) !=
          kResultOk)
  {
    return {};
  }
  return String16ToUtf8(text, 128);
}

std::vector<std::uint8_t> MTestHostVst3::GetState()
{
  if (!IsLoaded())
  {
    return {};
  }
  IPtr<MemoryStream> stream = IPtr<MemoryStream>::Adopt(new MemoryStream());
  const MTestHostLock::Held held = m_hostLock.Hold();
  if (m_component->getState(stream.Get()) != kResultOk)
  {
    m_lastError = "getState failed";
    return {};
  }
  return stream->GetData();
}

bool MTestHostVst3::SetState(const std::vector<std::uint8_t>& bytes)
{
  if (!IsLoaded())
  {
    return false;
  }
  IPtr<MemoryStream> stream = IPtr<MemoryStream>::Adopt(new MemoryStream(bytes));
  const MTestHostLock::Held held = m_hostLock.Hold();
  if (m_component->setState(stream.Get()) != kResultOk)
  {
    m_lastError = "setState refused";
    return false;
  }
  if (!m_singleComponent)
  {
    stream->seek(0, kIBSeekSet, nullptr);
    m_controller->setComponentState(stream.Get());
  }
  return true;
}

bool MTestHostVst3::SendMidi(const std::vector<MTestHostMidiEvent>& events)
{
  m_pendingMidi.insert(m_pendingMidi.end(), events.begin(), events.end());
  return IsLoaded();
}

std::vector<MTestHostAutomation> MTestHostVst3::TakeAutomation()
{
  std::lock_guard<std::mutex> lock(m_context->mutex);
  std::vector<MTestHostAutomation> result;
  result.swap(m_context->automation);
  return result;
}

std::vector<MTestHostEdit> MTestHostVst3::TakeEdits()
{
  std::lock_guard<std::mutex> lock(m_context->mutex);
  std::vector<MTestHostEdit> result;
  result.swap(m_context->edits);
  return result;
}

void MTestHostVst3::SetPerformEditHandler(std::function<void(ParamID id, ParamValue value)> handler)
{
  m_context->performEditHandler = std::move(handler);
}

int MTestHostVst3::DirtyCount() const
{
  std::lock_guard<std::mutex> lock(m_context->mutex);
  return m_context->dirtyCalls;
}

void MTestHostVst3::ClearRestarts()
{
  std::lock_guard<std::mutex> lock(m_context->mutex);
  m_context->restarts.clear();
  m_context->dirtyCalls = 0;
}

int MTestHostVst3::RestartCount(int32 flag) const
{
  std::lock_guard<std::mutex> lock(m_context->mutex);
  return static_cast<int>(std::count_if(m_context->restarts.begin(), m_context->restarts.end(),
                                        [flag](int32 flags) { return (flags & flag) != 0; }));
}

int MTestHostVst3::RunHostTimers()
{
  // A copy with references: a handler may unregister itself (or another) from its callback.
  std::vector<Linux::ITimerHandler*> due = m_context->timers;
  for (Linux::ITimerHandler* timer : due)
    timer->addRef();
  for (Linux::ITimerHandler* timer : due)
  {
    timer->onTimer();
    timer->release();
  }
  return static_cast<int>(due.size());
}

int MTestHostVst3::HostTimerCount() const
{
  return static_cast<int>(m_context->timers.size());
}

std::map<ParamID, ParamValue> MTestHostVst3::TakeOutputParameterValues()
{
  return std::exchange(m_outputValues, {});
}
