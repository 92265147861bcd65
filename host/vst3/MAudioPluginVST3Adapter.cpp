// Lifecycle, buses, parameters, controller operations and the plug-in's callbacks of the VST 3
// adapter. Processing and state live in MAudioPluginVST3AdapterProcess.cpp.

#include "host/vst3/MAudioPluginVST3Adapter.h"
#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "core/parameters/MParameterInfo.h"
#include "core/plugin/MAudioPlugin.h"
#include "host/module/MModule.h"
#include "host/vst3/MAudioPluginVST3View.h"
#include "sdk/vst3/VST3String.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
std::atomic<std::int32_t> s_liveAdapters{0};

/// Parameter IDs below the first controller ID belong to the plug-in; a plug-in with more
/// parameters than that publishes only the first 10000, so that every ID stays unique.
constexpr std::int32_t kMaxPluginParameters =
    static_cast<std::int32_t>(MAudioPluginVST3Adapter::kFirstControllerId);
/// More programs than a MIDI program change can reach are not published.
constexpr std::int32_t kMaxPrograms = 128;

std::u16string ToU16(const MString& text)
{
  return text.ToUTF16();
}

double Clamp01(double value)
{
  if (!(value >= 0.0))
  {
    return 0.0; // also NaN
  }
  return value > 1.0 ? 1.0 : value;
}
} // namespace

thread_local const MAudioPluginVST3Adapter* MAudioPluginVST3Adapter::t_automating = nullptr;

MAudioPluginVST3Adapter::MAudioPluginVST3Adapter(MAudioPlugin* plugin) : m_plugin(plugin)
{
  m_midiOutput.reserve(kMidiOutputCapacity);
}

MAudioPluginVST3Adapter::~MAudioPluginVST3Adapter()
{
  MHostCallShield::Run("MAudioPluginVST3Adapter::~MAudioPluginVST3Adapter", [&] {
    StopReportTimer();
    delete m_plugin;
    m_plugin = nullptr;
  });
  // Only an adapter that counted itself at initialisation may bring the count down: one that a
  // host created and released unused must not shut the library down under other instances.
  if (m_counted)
  {
    s_liveAdapters.fetch_sub(1, std::memory_order_relaxed);
    MModuleLibrary::AdapterDestroyed(MModuleLibrary::AdapterKind::kVst3);
  }
}

std::int32_t MAudioPluginVST3Adapter::GetLiveCount() noexcept
{
  return s_liveAdapters.load(std::memory_order_relaxed);
}

void MAudioPluginVST3Adapter::CollectInterfaces(InterfaceTable& table)
{
  AudioEffect::CollectInterfaces(table);
  EditControllerEx1::CollectInterfaces(table);
  table.Add(IMidiMapping::iid, static_cast<IMidiMapping*>(this));
}

std::int32_t MAudioPluginVST3Adapter::PluginParameterCount() const
{
  return std::clamp(m_plugin->GetNumParameters(), 0, kMaxPluginParameters);
}

std::int32_t MAudioPluginVST3Adapter::ProgramCount() const
{
  return std::clamp(m_plugin->GetProgramCount(), 0, kMaxPrograms);
}

double MAudioPluginVST3Adapter::ProgramValue() const
{
  return ProgramToValue(m_plugin->GetCurrentProgram());
}

double MAudioPluginVST3Adapter::ProgramToValue(std::int32_t program) const
{
  const std::int32_t count = ProgramCount();
  if (count < 2 || program <= 0)
  {
    return 0.0;
  }
  return static_cast<double>(std::min(program, count - 1)) / (count - 1);
}

std::int32_t MAudioPluginVST3Adapter::ProgramFromValue(double value) const
{
  return static_cast<std::int32_t>(std::lround(Clamp01(value) * std::max(ProgramCount() - 1, 0)));
}

tresult PLUGIN_API MAudioPluginVST3Adapter::initialize(FUnknown* context)
{
  return RunHostCall("MAudioPluginVST3Adapter::initialize", tresult{kResultFalse}, [&]() -> tresult {
    const tresult base = AudioEffect::initialize(context);
    if (base == kResultFalse && AudioEffect::IsInitialized())
    {
      // The host initialises the controller side of this same object after the
      // component.
      return kResultOk;
    }
    if (base != kResultOk)
    {
      return base;
    }
    if (IPtr<IHostApplication> host =
            IPtr<IHostApplication>::Adopt(QueryInterfaceOf<IHostApplication>(context)))
    {
      String128 name = {};
      if (host->getName(name) == kResultOk)
      {
        m_hostName = MString(name, StringLength16(name, 128));
      }
    }
    m_plugin->SetHostFormat(MString("VST3"));
    m_reports.BindToThisThread(); // hosts initialise on their UI thread
    if (!m_counted)
    {
      m_counted = true;
      s_liveAdapters.fetch_add(1, std::memory_order_relaxed);
      MModuleLibrary::AdapterCreated(MModuleLibrary::AdapterKind::kVst3);
    }
    m_plugin->SetHostAdapter(this);
    m_inputArrangement = SpeakerArr::kStereo;
    m_outputArrangement = SpeakerArr::kStereo;
    m_plugin->SetUsableChannelsPerBus(2, 2);
    CreateBuses();
    CreateParameters();
    m_plugin->SetSampleRate(44100.0);
    m_plugin->InitProcessing();
    return kResultOk;
  });
}

tresult PLUGIN_API MAudioPluginVST3Adapter::terminate()
{
  return RunHostCall("MAudioPluginVST3Adapter::terminate", tresult{kResultFalse}, [&]() -> tresult {
    StopReportTimer();
    EditControllerEx1::terminate();
    return AudioEffect::terminate();
  });
}

void MAudioPluginVST3Adapter::CreateBuses()
{
  RemoveAudioBusses();
  RemoveEventBusses();
  const std::int32_t inputBuses = std::clamp(m_plugin->GetNumInputBuses(), 0, kMaxBuses);
  const std::int32_t outputBuses = std::clamp(m_plugin->GetNumOutputBuses(), 0, kMaxBuses);
  if (inputBuses >= 1)
  {
    AddAudioInput(u"Stereo In", m_inputArrangement);
  }
  if (inputBuses >= 2)
  {
    AddAudioInput(u"Sidechain", m_inputArrangement, kAux, 0);
  }
  for (std::int32_t bus = 0; bus < outputBuses; ++bus)
  {
    const std::u16string name = outputBuses == 1 ? std::u16string(u"Stereo Out")
                                                 : u"Stereo Out " + ToU16(MString::FromInteger(bus + 1));
    AddAudioOutput(name, m_outputArrangement);
  }
  if (m_plugin->m_receivesMIDI)
  {
    AddEventInput(u"Midi In", 16);
  }
  if (m_plugin->m_sendsMIDI)
  {
    AddEventOutput(u"Midi Out", 16);
  }
}

void MAudioPluginVST3Adapter::CreateParameters()
{
  m_parameters.RemoveAll();
  const std::int32_t count = PluginParameterCount();
  m_parameters.Reserve(count + 1 + kControllerCount);
  for (std::int32_t index = 0; index < count; ++index)
  {
    const int32 steps = m_plugin->GetParameterType(index) == MParameterInfo::kBoolean ? 1 : 0;
    m_parameters.AddParameter(ToU16(m_plugin->GetParameterID(index)), static_cast<ParamID>(index), u"",
                              Clamp01(m_plugin->GetParameterDefaultValue(index)), steps,
                              ParameterInfo::kCanAutomate);
  }
  m_parameters.AddParameter(u"Bypass", kBypassId, u"", 0.0, 1,
                            ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass);
  m_controllerEdits.assign(static_cast<std::size_t>(count) + 1, ControllerEdit{});
  for (int32 controller = 0; controller < kControllerCount; ++controller)
  {
    m_parameters.AddParameter(u"Controller " + ToU16(MString::FromInteger(controller + 1)),
                              kFirstControllerId + static_cast<ParamID>(controller), u"", 0.0, 0,
                              ParameterInfo::kIsHidden);
  }
  const std::int32_t programs = ProgramCount();
  SetUnitProgramList(kRootUnitId, programs > 0 ? kProgramListId : kNoProgramListId);
  m_hostValues.assign(static_cast<std::size_t>(count), 0.0);
  for (std::int32_t index = 0; index < count; ++index)
  {
    m_hostValues[static_cast<std::size_t>(index)] = PluginValue(static_cast<ParamID>(index));
  }
  if (programs > 0)
  {
    m_parameters.AddParameter(u"Program", kProgramId, u"", 0.0, programs - 1,
                              ParameterInfo::kIsProgramChange | ParameterInfo::kIsList);
  }
}

// ---- component and processor operations ----

tresult PLUGIN_API MAudioPluginVST3Adapter::setIoMode(IoMode /*mode*/)
{
  return kNotImplemented;
}

tresult PLUGIN_API MAudioPluginVST3Adapter::getRoutingInfo(RoutingInfo& /*inInfo*/, RoutingInfo& /*outInfo*/)
{
  return kNotImplemented;
}

tresult PLUGIN_API MAudioPluginVST3Adapter::setProcessing(TBool /*state*/)
{
  return kNotImplemented;
}

tresult PLUGIN_API MAudioPluginVST3Adapter::setComponentState(IBStream* state)
{
  return RunHostCall("MAudioPluginVST3Adapter::setComponentState", tresult{kResultFalse}, [&]() -> tresult {
    if (state == nullptr)
    {
      return kInvalidArgument;
    }
    // The component and the controller are one object: the state is
    // already in place, and from now on it is what the controller
    // answers, not a value the host set before.
    ForgetControllerEdits();
    return kResultOk;
  });
}

void MAudioPluginVST3Adapter::ForgetControllerEdits() noexcept
{
  for (ControllerEdit& edit : m_controllerEdits)
  {
    edit.pending = false;
  }
}

tresult PLUGIN_API MAudioPluginVST3Adapter::setActive(TBool state)
{
  return RunHostCall("MAudioPluginVST3Adapter::setActive", tresult{kResultFalse}, [&]() -> tresult {
    DeliverPendingReports(); // arms the timer for reports of other threads
    m_activating.store(true, std::memory_order_relaxed);
    struct ClearFlag
    {
      std::atomic<bool>& flag;
      ~ClearFlag() { flag.store(false, std::memory_order_relaxed); }
    } clear{m_activating};
    if (state != 0)
    {
      m_plugin->InitProcessing();
    }
    return kResultOk;
  });
}

tresult PLUGIN_API MAudioPluginVST3Adapter::canProcessSampleSize(int32 symbolicSampleSize)
{
  return symbolicSampleSize == kSample32 ? kResultOk : kResultFalse;
}

tresult PLUGIN_API MAudioPluginVST3Adapter::setupProcessing(ProcessSetup& setup)
{
  return RunHostCall("MAudioPluginVST3Adapter::setupProcessing", tresult{kResultFalse}, [&]() -> tresult {
    // A 64-bit request is refused before anything changes, so the plug-in keeps
    // its set-up.
    if (setup.symbolicSampleSize != kSample32)
    {
      return kResultFalse;
    }
    if (setup.sampleRate > 100.0 && std::isfinite(setup.sampleRate))
    {
      const double previousRate = m_plugin->GetSampleRate();
      const std::int32_t previousBlock = m_plugin->GetBlockSize();
      m_plugin->SetSampleRate(std::floor(setup.sampleRate + 0.5));
      m_plugin->SetBlockSize(setup.maxSamplesPerBlock);
      m_plugin->InitProcessing();
      if (m_plugin->IsSetUpRefused())
      {
        // The plug-in cannot run at this rate: it goes back to the
        // set-up it had, and the host is told.
        m_plugin->SetSampleRate(previousRate);
        m_plugin->SetBlockSize(previousBlock);
        m_plugin->InitProcessing();
        return kResultFalse;
      }
    }
    m_processMode = setup.processMode;
    m_processSetup = setup;
    return kResultOk;
  });
}

tresult PLUGIN_API MAudioPluginVST3Adapter::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                               SpeakerArrangement* outputs, int32 numOuts)
{
  return RunHostCall("MAudioPluginVST3Adapter::setBusArrangements", tresult{kResultFalse}, [&]() -> tresult {
    if (numIns < 0 || numOuts < 0 || (numIns > 0 && inputs == nullptr) || (numOuts > 0 && outputs == nullptr))
    {
      return kInvalidArgument;
    }
    const int32 perBus = m_plugin->GetChannelsPerBus();
    const SpeakerArrangement fallback = perBus == 2 ? SpeakerArr::kStereo : SpeakerArrangement{0x737};
    auto widest = [](const SpeakerArrangement* list, int32 count) {
      int32 widest = 0;
      for (int32 i = 0; i < count; ++i)
      {
        widest = std::max(widest, SpeakerArr::GetChannelCount(list[i]));
      }
      return widest;
    };
    // With surround switched off in the general settings, only mono and stereo are taken: the
    // host keeps its current layout and offers the plug-in where it fits.
    if (std::max(widest(inputs, numIns), widest(outputs, numOuts)) > 2 && !m_plugin->OffersSurround())
    {
      return kResultFalse;
    }
    SpeakerArrangement input = numIns > 0 ? inputs[0] : m_inputArrangement;
    SpeakerArrangement output = numOuts > 0 ? outputs[0] : m_outputArrangement;
    if (widest(inputs, numIns) > perBus)
    {
      input = fallback;
    }
    if (widest(outputs, numOuts) > perBus)
    {
      output = fallback;
    }
    if (input == m_inputArrangement && output == m_outputArrangement)
    {
      return kResultOk;
    }
    // A change on one side alone is applied as well: a host asking for a mono
    // input into a stereo output means it.
    m_inputArrangement = input;
    m_outputArrangement = output;
    CreateBuses();
    const int32 inputChannels = SpeakerArr::GetChannelCount(input);
    const int32 outputChannels = SpeakerArr::GetChannelCount(output);
    if (inputChannels > perBus || outputChannels > perBus)
    {
      return kResultFalse;
    }
    m_plugin->SetUsableChannelsPerBus(inputChannels, outputChannels);
    // As for a VST 2.4 host's speaker arrangement: the effect runs with the channels the
    // host uses (a mono track gets a one-channel effect), re-initialised when that changes.
    const std::int32_t forced = std::max(inputChannels, outputChannels);
    if (forced != m_forcedChannels)
    {
      m_forcedChannels = forced;
      m_plugin->SetForcedChannelCount(forced);
      m_plugin->InitProcessing();
    }
    return kResultOk;
  });
}

uint32 PLUGIN_API MAudioPluginVST3Adapter::getLatencySamples()
{
  return RunHostCall("MAudioPluginVST3Adapter::getLatencySamples", uint32{0}, [&] {
    m_latency = std::max(0, m_plugin->GetLatency());
    return static_cast<uint32>(m_latency);
  });
}

// ---- controller operations ----

double MAudioPluginVST3Adapter::PluginValue(ParamID id) const
{
  if (id == kBypassId)
  {
    return m_plugin->m_bypassed.Load() ? 1.0 : 0.0;
  }
  return Clamp01(m_plugin->GetParameter(static_cast<std::int32_t>(id)));
}

MAudioPluginVST3Adapter::ControllerEdit* MAudioPluginVST3Adapter::FindControllerEdit(ParamID id)
{
  // One record per plug-in parameter, the bypass's last.
  const std::size_t count = m_controllerEdits.size();
  if (count == 0)
  {
    return nullptr;
  }
  if (id == kBypassId)
  {
    return &m_controllerEdits[count - 1];
  }
  return id < count - 1 ? &m_controllerEdits[id] : nullptr;
}

ParamValue PLUGIN_API MAudioPluginVST3Adapter::getParamNormalized(ParamID id)
{
  return RunHostCall("MAudioPluginVST3Adapter::getParamNormalized", ParamValue{0.0}, [&] {
    if (id == kProgramId && ProgramCount() > 0)
    {
      return ProgramValue();
    }
    ControllerEdit* edit = FindControllerEdit(id);
    if (edit == nullptr)
    {
      // The controller parameters hold what the host last set; unknown IDs answer 0.
      return Clamp01(EditControllerEx1::getParamNormalized(id));
    }
    const double current = PluginValue(id);
    // The host's value stands until the plug-in's own value moves: the host's change arriving
    // through process, or the plug-in changing it itself.
    if (edit->pending && current == edit->pluginValue)
    {
      return edit->value;
    }
    edit->pending = false;
    return current;
  });
}

tresult PLUGIN_API MAudioPluginVST3Adapter::setParamNormalized(ParamID id, ParamValue value)
{
  return RunHostCall("MAudioPluginVST3Adapter::setParamNormalized", tresult{kResultFalse}, [&]() -> tresult {
    DeliverPendingReports(); // arms the timer for reports of other threads
    if (!std::isfinite(value))
    {
      return kInvalidArgument;
    }
    if (ControllerEdit* edit = FindControllerEdit(id))
    {
      *edit = ControllerEdit{Clamp01(value), PluginValue(id), true};
    }
    const std::int32_t programs = ProgramCount();
    if (id == kProgramId && programs > 0)
    {
      const std::int32_t program = ProgramFromValue(value);
      bool chosen = false;
      {
        const MHostReportQueue::ChoosingProgram choosing(m_reports);
        chosen = program != m_plugin->GetCurrentProgram() && m_plugin->SetCurrentProgram(program);
      }
      if (chosen)
      {
        // Every parameter may have moved with the program; the
        // host hears of it from the next tick, not from inside
        // its own call (it may hold a lock it takes again there).
        m_reports.Queue(MHostReportQueue::kValuesChanged);
      }
    }
    return EditControllerEx1::setParamNormalized(id, value);
  });
}

tresult PLUGIN_API MAudioPluginVST3Adapter::getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                                  String128 string)
{
  return RunHostCall(
      "MAudioPluginVST3Adapter::getParamStringByValue", tresult{kResultFalse}, [&]() -> tresult {
        if (string == nullptr)
        {
          return kInvalidArgument;
        }
        if (id < static_cast<ParamID>(PluginParameterCount()))
        {
          const MString text =
              m_plugin->GetParameterValueNameFrom01(static_cast<std::int32_t>(id), Clamp01(valueNormalized));
          CopyString16(string, 128, text.ToUTF16());
          return kResultOk;
        }
        const std::int32_t programs = ProgramCount();
        if (id == kProgramId && programs > 0)
        {
          CopyString16(string, 128, m_plugin->GetProgramName(ProgramFromValue(valueNormalized)).ToUTF16());
          return kResultOk;
        }
        return EditControllerEx1::getParamStringByValue(id, valueNormalized, string);
      });
}

tresult PLUGIN_API MAudioPluginVST3Adapter::getParamValueByString(ParamID id, TChar* string,
                                                                  ParamValue& valueNormalized)
{
  return RunHostCall(
      "MAudioPluginVST3Adapter::getParamValueByString", tresult{kResultFalse}, [&]() -> tresult {
        if (string == nullptr)
        {
          return kInvalidArgument;
        }
        if (id < static_cast<ParamID>(PluginParameterCount()))
        {
          // Typed text outside the range is clamped rather than refused.
          const MString text(string, StringLength16(string, 128));
          valueNormalized = Clamp01(m_plugin->ParseParameterValueName(static_cast<std::int32_t>(id), text));
          return kResultOk;
        }
        const std::int32_t programs = ProgramCount();
        if (id == kProgramId && programs > 0)
        {
          // A program's name, else its number (counted from 0 as in the list).
          const MString text(string, StringLength16(string, 128));
          for (std::int32_t program = 0; program < programs; ++program)
          {
            if (m_plugin->GetProgramName(program) == text)
            {
              valueNormalized = ProgramToValue(program);
              return kResultOk;
            }
          }
        }
        // Bypass and controller parameters are not the plug-in's: they parse as plain numbers.
        ParamValue value = 0.0;
        const tresult result = EditControllerEx1::getParamValueByString(id, string, value);
        if (result == kResultOk)
        {
          valueNormalized = Clamp01(value);
        }
        return result;
      });
}

// ---- the program list ----

void MAudioPluginVST3Adapter::ReportProgramChanged()
{
  MHostCallShield::Run("MAudioPluginVST3Adapter::ReportProgramChanged", [&] { m_reports.ProgramChanged(); });
}

void MAudioPluginVST3Adapter::ReportStateChanged()
{
  MHostCallShield::Run("MAudioPluginVST3Adapter::ReportStateChanged", [&] { m_reports.StateChanged(); });
}

void MAudioPluginVST3Adapter::StartReportTimer()
{
  if (m_reportTimer != nullptr || GetComponentHandler() == nullptr)
    return;
  // A host that offers its run loop on the component handler or the context delivers the
  // reports while no editor ticks.
  void* object = nullptr;
  if (GetComponentHandler()->queryInterface(Linux::IRunLoop::iid.data, &object) != kResultOk ||
      object == nullptr)
  {
    object = nullptr;
    if (FUnknown* context = AudioEffect::GetHostContext();
        context == nullptr || context->queryInterface(Linux::IRunLoop::iid.data, &object) != kResultOk)
      object = nullptr;
  }
  if (object == nullptr)
    return;
  auto* runLoop = static_cast<Linux::IRunLoop*>(object);
  auto* timer = new ReportTimer(*this);
  if (runLoop->registerTimer(timer, kReportTimerPeriodMs) != kResultOk)
  {
    timer->release();
    runLoop->release();
    return;
  }
  m_reportTimer = timer;
  m_reportRunLoop = runLoop;
}

void MAudioPluginVST3Adapter::StopReportTimer()
{
  if (m_reportTimer == nullptr)
    return;
  ReportTimer* timer = m_reportTimer;
  Linux::IRunLoop* runLoop = m_reportRunLoop;
  m_reportTimer = nullptr;
  m_reportRunLoop = nullptr;
  runLoop->unregisterTimer(timer);
  timer->release();
  runLoop->release();
}

void PLUGIN_API MAudioPluginVST3Adapter::ReportTimer::onTimer()
{
  MHostCallShield::Run("MAudioPluginVST3Adapter::ReportTimer::onTimer", [&] {
    if (m_adapter == nullptr)
      return;
    MAudioPluginVST3Adapter& adapter = *m_adapter;
    adapter.DeliverPendingReports();
    adapter.StopReportTimer(); // may release this object: nothing of it is used after
  });
}

void MAudioPluginVST3Adapter::DeliverPendingReports()
{
  MHostCallShield::Run("MAudioPluginVST3Adapter::DeliverPendingReports", [&] { m_reports.Deliver(); });
}

bool MAudioPluginVST3Adapter::CanTellHost()
{
  return GetComponentHandler() != nullptr;
}

void MAudioPluginVST3Adapter::TellHost(std::uint32_t reports)
{
  IComponentHandler* handler = GetComponentHandler();
  int32 flags = 0;
  if ((reports & MHostReportQueue::kValuesChanged) != 0)
    flags |= kParamValuesChanged;
  if ((reports & MHostReportQueue::kLatencyChanged) != 0)
    flags |= kLatencyChanged;
  if (flags != 0)
    handler->restartComponent(flags);
  // Hosts that offer the second handler interface mark the project modified; the others
  // learn of it from the values they read again.
  if ((reports & MHostReportQueue::kDirty) != 0)
    if (IPtr<IComponentHandler2> handler2 =
            IPtr<IComponentHandler2>::Adopt(QueryInterfaceOf<IComponentHandler2>(handler)))
      handler2->setDirty(true);
}

int32 PLUGIN_API MAudioPluginVST3Adapter::getProgramListCount()
{
  return RunHostCall("MAudioPluginVST3Adapter::getProgramListCount", int32{0},
                     [&] { return ProgramCount() > 0 ? int32{1} : int32{0}; });
}

tresult PLUGIN_API MAudioPluginVST3Adapter::getProgramListInfo(int32 listIndex, ProgramListInfo& info)
{
  return RunHostCall("MAudioPluginVST3Adapter::getProgramListInfo", tresult{kResultFalse}, [&]() -> tresult {
    const std::int32_t programs = ProgramCount();
    if (listIndex != 0 || programs == 0)
    {
      return kInvalidArgument;
    }
    info = ProgramListInfo{};
    info.id = kProgramListId;
    CopyString16(info.name, u"Programs");
    info.programCount = programs;
    return kResultOk;
  });
}

tresult PLUGIN_API MAudioPluginVST3Adapter::getProgramName(ProgramListID listId, int32 programIndex,
                                                           String128 name)
{
  return RunHostCall("MAudioPluginVST3Adapter::getProgramName", tresult{kResultFalse}, [&]() -> tresult {
    if (name == nullptr || listId != kProgramListId || programIndex < 0 || programIndex >= ProgramCount())
    {
      return kInvalidArgument;
    }
    CopyString16(name, 128, m_plugin->GetProgramName(programIndex).ToUTF16());
    return kResultOk;
  });
}

IPlugView* PLUGIN_API MAudioPluginVST3Adapter::createView(FIDString name)
{
  return RunHostCall("MAudioPluginVST3Adapter::createView", static_cast<IPlugView*>(nullptr),
                     [&]() -> IPlugView* {
#ifdef TONVERA_NO_EDITOR
                       (void)name;
                       return nullptr;
#else
                                if (name == nullptr || std::strcmp(name, ViewType::kEditor) != 0 ||
                                    m_view != nullptr || m_plugin == nullptr)
                                  return nullptr;
                                auto* view = new MAudioPluginVST3View(*this, *m_plugin);
                                m_view = view;
                                return view;
#endif
                     });
}

tresult PLUGIN_API MAudioPluginVST3Adapter::openHelp(TBool /*onlyCheck*/)
{
  return kResultFalse;
}

tresult PLUGIN_API MAudioPluginVST3Adapter::openAboutBox(TBool /*onlyCheck*/)
{
  return kResultFalse;
}

tresult PLUGIN_API MAudioPluginVST3Adapter::getMidiControllerAssignment(int32 /*busIndex*/, int16 /*channel*/,
                                                                        CtrlNumber midiControllerNumber,
                                                                        ParamID& id)
{
  if (midiControllerNumber < 0 || midiControllerNumber >= kControllerCount)
  {
    return kResultFalse;
  }
  id = kFirstControllerId + static_cast<ParamID>(midiControllerNumber);
  return kResultOk;
}

// ---- the plug-in's callbacks ----

void MAudioPluginVST3Adapter::SendAutomation(std::int32_t index, double value)
{
  MHostCallShield::Run("MAudioPluginVST3Adapter::SendAutomation", [&] {
    IComponentHandler* handler = GetComponentHandler();
    if (index < 0 || index >= PluginParameterCount() || handler == nullptr)
    {
      return;
    }
    if (IsInsideHostCall())
    {
      // Not the user's gesture: the host reads the value again from the next tick, and no
      // automation is written.
      m_reports.Queue(MHostReportQueue::kValuesChanged);
      return;
    }
    const AutomatingMark mark(this);
    handler->performEdit(static_cast<ParamID>(index), Clamp01(value));
  });
}

void MAudioPluginVST3Adapter::SendBypassAutomation(bool bypassed)
{
  MHostCallShield::Run("MAudioPluginVST3Adapter::SendBypassAutomation", [&] {
    IComponentHandler* handler = GetComponentHandler();
    if (handler == nullptr)
    {
      return;
    }
    if (IsInsideHostCall())
    {
      m_reports.Queue(MHostReportQueue::kValuesChanged);
      return;
    }
    handler->beginEdit(kBypassId);
    {
      const AutomatingMark mark(this);
      handler->performEdit(kBypassId, bypassed ? 1.0 : 0.0);
    }
    handler->endEdit(kBypassId);
  });
}

void MAudioPluginVST3Adapter::BeginAutomationGesture(std::int32_t index)
{
  MHostCallShield::Run("MAudioPluginVST3Adapter::BeginAutomationGesture", [&] {
    if (IComponentHandler* handler = GetComponentHandler();
        handler != nullptr && index >= 0 && index < PluginParameterCount() && !IsInsideHostCall())
      handler->beginEdit(static_cast<ParamID>(index));
  });
}

void MAudioPluginVST3Adapter::EndAutomationGesture(std::int32_t index)
{
  MHostCallShield::Run("MAudioPluginVST3Adapter::EndAutomationGesture", [&] {
    if (IComponentHandler* handler = GetComponentHandler();
        handler != nullptr && index >= 0 && index < PluginParameterCount() && !IsInsideHostCall())
      handler->endEdit(static_cast<ParamID>(index));
  });
}

void MAudioPluginVST3Adapter::GenerateMIDIEvent(std::int32_t sampleOffset, const std::uint8_t bytes[4])
{
  Event event = {};
  if (bytes == nullptr || !ToOutputEvent(bytes, event))
  {
    return;
  }
  event.busIndex = 0;
  event.sampleOffset = std::max(0, sampleOffset);
  MTryLockGuard guard(m_midiLock);
  // The queue never grows past the capacity reserved at construction: no allocation here.
  if (guard.IsLocked() && m_midiOutput.size() < kMidiOutputCapacity)
  {
    m_midiOutput.push_back(event);
  }
}

bool MAudioPluginVST3Adapter::ToOutputEvent(const std::uint8_t bytes[4], Event& event) noexcept
{
  const std::uint8_t status = bytes[0];
  const auto channel = static_cast<int16>(status & 0x0F);
  const auto data1 = static_cast<std::uint8_t>(bytes[1] & 0x7F);
  const auto data2 = static_cast<std::uint8_t>(bytes[2] & 0x7F);
  constexpr float kToUnit = 1.0f / 127.0f;
  auto controller = [&](std::uint8_t number, std::uint8_t value, std::uint8_t value2) {
    event.type = Event::kLegacyMIDICCOutEvent;
    event.midiCCOut = LegacyMIDICCOutEvent{number, static_cast<int8>(channel), static_cast<int8>(value),
                                           static_cast<int8>(value2)};
    return true;
  };
  switch (status & 0xF0)
  {
  case 0x90:
    if (data2 > 0)
    {
      event.type = Event::kNoteOnEvent;
      event.noteOn = NoteOnEvent{channel, static_cast<int16>(data1), 0.0f, data2 * kToUnit, 0, -1};
      return true;
    }
    [[fallthrough]]; // velocity 0 is a note-off
  case 0x80:
    event.type = Event::kNoteOffEvent;
    event.noteOff = NoteOffEvent{channel, static_cast<int16>(data1), data2 * kToUnit, -1, 0.0f};
    return true;
  case 0xA0:
    event.type = Event::kPolyPressureEvent;
    event.polyPressure = PolyPressureEvent{channel, static_cast<int16>(data1), data2 * kToUnit, -1};
    return true;
  case 0xB0:
    return controller(data1, data2, 0);
  case 0xC0:
    return controller(kProgramChangeNumber, data1, 0);
  case 0xD0:
    return controller(static_cast<std::uint8_t>(kAfterTouch), data1, 0);
  case 0xE0:
    return controller(static_cast<std::uint8_t>(kPitchBend), data1, data2);
  default:
    return false; // data bytes and system messages have no event of their own
  }
}

void MAudioPluginVST3Adapter::ReportLatency()
{
  MHostCallShield::Run("MAudioPluginVST3Adapter::ReportLatency", [&] {
    if (m_activating.load(std::memory_order_relaxed))
    {
      return;
    }
    m_reports.Queue(MHostReportQueue::kLatencyChanged);
  });
}

bool MAudioPluginVST3Adapter::ChangeEditorSize(std::int32_t width, std::int32_t height)
{
  return MHostCallShield::Run("MAudioPluginVST3Adapter::ChangeEditorSize", false, [&] {
    if (m_resizing.load(std::memory_order_relaxed))
    {
      return true;
    }
    if (m_plugin->GetEditor() == nullptr || m_plugFrame == nullptr || m_view == nullptr)
    {
      return false;
    }
    m_resizing.store(true, std::memory_order_relaxed);
    ViewRect rect{0, 0, width, height};
    m_plugFrame->resizeView(m_view, &rect);
    m_resizing.store(false, std::memory_order_relaxed);
    return true;
  });
}
