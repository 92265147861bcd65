#include "host/vst2/MAudioPluginVSTAdapter.h"

#include "base/MDiagnosticLog.h"
#include "base/MHostCallShield.h"
#include "core/plugin/MAudioPlugin.h"
#include "host/module/MModule.h"
#include "host/module/MPluginState.h"
#ifndef TONVERA_NO_EDITOR
#include "host/vst2/MAudioPluginVSTEditor.h"
#endif

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Vst2
{
namespace
{
void CopyPluginText(char* target, const MString& text)
{
  // The wrapper hands a zeroed buffer of kTextCapacity bytes and cuts the text to the opcode's
  // limit on its way out; keep room for the terminating zero here.
  CopyText(target, text.ToNarrow().c_str(), AudioEffect::kTextCapacity - 1);
}

std::int32_t ArrangementChannels(const VstSpeakerArrangement* arrangement)
{
  return arrangement != nullptr ? arrangement->numChannels : 0;
}
} // namespace

thread_local const MAudioPluginVSTAdapter* MAudioPluginVSTAdapter::t_automating = nullptr;

MAudioPluginVSTAdapter::MAudioPluginVSTAdapter(audioMasterCallback hostCallback, MAudioPlugin* plugin)
    : AudioEffectX(hostCallback, std::max(0, plugin->GetProgramCount()), plugin->GetNumParameters()),
      m_plugin(plugin)
{
  m_midiOutput.events.resize(kMidiQueueCapacity);
  m_midiInput.events.resize(kMidiQueueCapacity);
  m_midiWork.resize(kMidiQueueCapacity);
  m_eventsBlock.resize(VstEventsBytes(kMidiQueueCapacity));

  setVersion(1);
  canProcessReplacing(true);
  programsAreChunks(true);
  m_effect.ioRatio = 1.0f;
  m_plugin->SetHostAdapter(this);
  m_plugin->SetHostFormat(MString("VST"));
  m_reports.BindToThisThread(); // hosts create the effect on their UI thread
  m_plugin->SetSampleRate(44100.0);
  m_plugin->SetBlockSize(1024);

  if (m_hostCallback != nullptr)
  {
    std::int32_t inputs = m_plugin->GetNumInputs();
    std::int32_t outputs = m_plugin->GetNumOutputs();
    VstInt32 hostVersion = getMasterVersion();
    if (hostVersion == 0)
      hostVersion = 1;
    if (hostVersion < 2300 && inputs > 0)
    {
      // A host older than 2.3 cannot be told about side-chain buses: offer one stereo bus per
      // side.
      const std::int32_t perBus = std::max<std::int32_t>(1, m_plugin->GetChannelsPerBus());
      inputs = std::min(inputs, 2 * (inputs / perBus));
      outputs = std::min(outputs, 2);
      m_plugin->SetCurrentChannelCounts(inputs, outputs);
      m_plugin->SetChannelsPerBus(2);
    }
    setNumInputs(hostVersion < 100 ? std::max(inputs, 2) : inputs);
    setNumOutputs(outputs);
    setUniqueID(kUniqueID);
    isSynth(m_plugin->m_receivesMIDI.Load() && inputs == 0);
    ReportLatency();
    resume();
  }
  m_plugin->InitProcessing();
  m_hostValueCount = std::max(0, m_plugin->GetNumParameters());
  m_hostValues = std::make_unique<std::atomic<float>[]>(static_cast<std::size_t>(m_hostValueCount));
  for (std::int32_t index = 0; index < m_hostValueCount; ++index)
    KnowHostValue(index);
#ifndef TONVERA_NO_EDITOR
  // Sets effFlagsHasEditor; the wrapper owns and deletes the editor.
  setEditor(new MAudioPluginVSTEditor(this, *m_plugin));
#endif
  // Counted last: a constructor that throws never reaches the destructor that uncounts it.
  MModuleLibrary::AdapterCreated(MModuleLibrary::AdapterKind::kVst2);
}

MAudioPluginVSTAdapter::~MAudioPluginVSTAdapter()
{
  MHostCallShield::Run("MAudioPluginVSTAdapter::~MAudioPluginVSTAdapter", [&] {
    // A host that never sent effEditClose: the window goes before the plug-in and the library.
    m_plugin->DestroyEditor();
    delete m_plugin;
  });
  m_plugin = nullptr;
  MModuleLibrary::AdapterDestroyed(MModuleLibrary::AdapterKind::kVst2);
}

AudioEffect* MAudioPluginVSTAdapter::Create(audioMasterCallback hostCallback,
                                            MAudioPlugin* (*createPlugin)()) noexcept
{
  if (hostCallback == nullptr || createPlugin == nullptr)
    return nullptr;
  if (hostCallback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
    return nullptr;
  MAudioPlugin* plugin = nullptr;
  AudioEffect* effect = RunHostCall("VSTPluginMain", static_cast<AudioEffect*>(nullptr), [&] {
    plugin = createPlugin();
    if (plugin == nullptr)
      return static_cast<AudioEffect*>(nullptr);
    AudioEffect* created = new MAudioPluginVSTAdapter(hostCallback, plugin);
    plugin = nullptr;
    return created;
  });
  if (effect == nullptr)
  {
    // A plug-in made before the adapter failed is still ours to delete.
    RunHostCall("VSTPluginMain", [&] { delete plugin; });
    MDiagnosticLog::Write(MString("Error creating Vst plugin object."));
  }
  return effect;
}

void MAudioPluginVSTAdapter::resume()
{
  RunHostCall("MAudioPluginVSTAdapter::resume", [&] {
    if ((m_effect.flags & effFlagsIsSynth) != 0 || canDo("receiveVstMidiEvent") == 1)
      wantEvents(1);
    m_plugin->InitProcessing();
  });
}

void MAudioPluginVSTAdapter::setSampleRate(float sampleRate)
{
  RunHostCall("MAudioPluginVSTAdapter::setSampleRate", [&] {
    // The wrapper has stored the rate; rates of 100 Hz or less are kept but not passed on (a
    // host's placeholder, not a rate to configure the effect for).
    if (sampleRate > 100.0f)
    {
      m_plugin->SetSampleRate(sampleRate);
      m_plugin->InitProcessing();
    }
  });
}

void MAudioPluginVSTAdapter::setBlockSize(VstInt32 blockSize)
{
  RunHostCall("MAudioPluginVSTAdapter::setBlockSize", [&] { m_plugin->SetBlockSize(blockSize); });
}

void MAudioPluginVSTAdapter::setParameter(VstInt32 index, float value)
{
  RunHostCall("MAudioPluginVSTAdapter::setParameter", [&] {
    // Only the echo of this thread's own send is dropped: a host value arriving on the audio
    // thread while the GUI thread is inside setParameterAutomated is the host's own and applies.
    if (t_automating != this)
      m_plugin->SetParameter(index, value, false);
    KnowHostValue(index);
  });
}

float MAudioPluginVSTAdapter::getParameter(VstInt32 index)
{
  return RunHostCall("MAudioPluginVSTAdapter::getParameter", 0.0f,
                     [&] { return static_cast<float>(m_plugin->GetParameter(index)); });
}

void MAudioPluginVSTAdapter::setProgram(VstInt32 index)
{
  RunHostCall("MAudioPluginVSTAdapter::setProgram", [&] {
    // The host chose it: no need to tell it back in the middle of its own call.
    const MHostReportQueue::ChoosingProgram choosing(m_reports);
    m_plugin->SetCurrentProgram(index);
  });
}

VstInt32 MAudioPluginVSTAdapter::getProgram()
{
  return RunHostCall("MAudioPluginVSTAdapter::getProgram", VstInt32{0}, [&] {
    const VstInt32 program = m_plugin->GetCurrentProgram();
    return program >= 0 && program < getNumPrograms() ? program : 0;
  });
}

void MAudioPluginVSTAdapter::ReportProgramChanged()
{
  MHostCallShield::Run("MAudioPluginVSTAdapter::ReportProgramChanged", [&] { m_reports.ProgramChanged(); });
}

void MAudioPluginVSTAdapter::ReportStateChanged()
{
  MHostCallShield::Run("MAudioPluginVSTAdapter::ReportStateChanged", [&] { m_reports.StateChanged(); });
}

void MAudioPluginVSTAdapter::DeliverPendingReports()
{
  MHostCallShield::Run("MAudioPluginVSTAdapter::DeliverPendingReports", [&] { m_reports.Deliver(); });
}

void MAudioPluginVSTAdapter::TellHost(std::uint32_t reports)
{
  if ((reports & MHostReportQueue::kLatencyChanged) != 0)
    ioChanged();
  // Values the plug-in moved itself (learnt and note controllers, held notes, MIDI program
  // changes) reach the host's controls as a display update: the host reads the values again
  // and records no automation.
  bool moved = false;
  const std::int32_t count = std::min(m_hostValueCount, m_plugin->GetNumParameters());
  for (std::int32_t index = 0; index < count; ++index)
  {
    const auto value = static_cast<float>(m_plugin->GetParameter(index));
    if (std::fabs(value - m_hostValues[index].load(std::memory_order_relaxed)) > 1e-6f)
    {
      m_hostValues[index].store(value, std::memory_order_relaxed);
      moved = true;
    }
  }
  if ((reports & MHostReportQueue::kStateChanged) != 0 || moved)
    updateDisplay();
}

void MAudioPluginVSTAdapter::KnowHostValue(std::int32_t index)
{
  if (index >= 0 && index < m_hostValueCount)
    m_hostValues[index].store(static_cast<float>(m_plugin->GetParameter(index)), std::memory_order_relaxed);
}

void MAudioPluginVSTAdapter::setProgramName(char* /*name*/)
{
  // The programs are the plug-in's slots, named by their letters: a host's rename is not kept.
}

void MAudioPluginVSTAdapter::getProgramName(char* name)
{
  RunHostCall("MAudioPluginVSTAdapter::getProgramName",
              [&] { CopyPluginText(name, m_plugin->GetProgramName(m_plugin->GetCurrentProgram())); });
}

bool MAudioPluginVSTAdapter::getProgramNameIndexed(VstInt32 /*category*/, VstInt32 index, char* text)
{
  return RunHostCall("MAudioPluginVSTAdapter::getProgramNameIndexed", false, [&] {
    CopyPluginText(text, m_plugin->GetProgramName(index));
    return true;
  });
}

void MAudioPluginVSTAdapter::getParameterName(VstInt32 index, char* text)
{
  RunHostCall("MAudioPluginVSTAdapter::getParameterName", [&] {
    CopyText(text, m_plugin->GetParameterID(index).ToNarrow().c_str(), kVstMaxProgNameLen);
  });
}

void MAudioPluginVSTAdapter::getParameterDisplay(VstInt32 index, char* text)
{
  RunHostCall("MAudioPluginVSTAdapter::getParameterDisplay",
              [&] { CopyPluginText(text, m_plugin->GetParameterValueName(index)); });
}

void MAudioPluginVSTAdapter::getParameterLabel(VstInt32 index, char* text)
{
  RunHostCall("MAudioPluginVSTAdapter::getParameterLabel",
              [&] { CopyPluginText(text, m_plugin->GetParameterUnitsName(index)); });
}

VstInt32 MAudioPluginVSTAdapter::getChunk(void** data, bool)
{
  return RunHostCall("MAudioPluginVSTAdapter::getChunk", VstInt32{0}, [&] {
    m_chunk = MPluginState::Save(*m_plugin);
    *data = m_chunk.data();
    return static_cast<VstInt32>(m_chunk.size());
  });
}

VstInt32 MAudioPluginVSTAdapter::setChunk(void* data, VstInt32 byteSize, bool)
{
  return RunHostCall("MAudioPluginVSTAdapter::setChunk", VstInt32{0}, [&] {
    // Bytes that do not inflate or parse throw and leave the plug-in as it was.
    MPluginState::Load(*m_plugin, data, static_cast<std::size_t>(byteSize));
    return VstInt32{1};
  });
}

bool MAudioPluginVSTAdapter::canParameterBeAutomated(VstInt32)
{
  return true;
}

bool MAudioPluginVSTAdapter::FillPin(VstInt32 index, VstPinProperties* properties, bool input)
{
  const std::int32_t channels = input ? m_plugin->GetNumInputs() : m_plugin->GetNumOutputs();
  if (index < 0 || index >= channels)
    return false;
  // The core keeps channel names to itself; pins are labelled by side and number.
  MString label(input ? MString("Input ") : MString("Output "));
  label += MString::FromInteger(index + 1);
  CopyText(properties->label, label.ToNarrow().c_str(), kVstMaxLabelLen - 1);
  const std::int32_t perBus = m_plugin->GetChannelsPerBus();
  if (perBus == 1)
  {
    properties->flags = kVstPinIsActive;
    properties->arrangementType = kSpeakerArrMono;
  }
  else if (perBus == 2)
  {
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    properties->arrangementType = kSpeakerArrStereo;
  }
  else
  {
    properties->flags = kVstPinIsActive | kVstPinUseSpeaker;
    properties->arrangementType = kSpeakerArr80Music;
  }
  return true;
}

bool MAudioPluginVSTAdapter::getInputProperties(VstInt32 index, VstPinProperties* properties)
{
  return RunHostCall("MAudioPluginVSTAdapter::getInputProperties", false,
                     [&] { return FillPin(index, properties, true); });
}

bool MAudioPluginVSTAdapter::getOutputProperties(VstInt32 index, VstPinProperties* properties)
{
  return RunHostCall("MAudioPluginVSTAdapter::getOutputProperties", false,
                     [&] { return FillPin(index, properties, false); });
}

bool MAudioPluginVSTAdapter::setSpeakerArrangement(VstSpeakerArrangement* input,
                                                   VstSpeakerArrangement* output)
{
  return RunHostCall("MAudioPluginVSTAdapter::setSpeakerArrangement", false, [&] {
    const std::int32_t inputs = m_plugin->GetNumInputs();
    const std::int32_t outputs = m_plugin->GetNumOutputs();
    if (ArrangementChannels(input) > inputs || ArrangementChannels(output) > outputs)
      return false;
    // Surround switched off in the general settings: mono and stereo only.
    if (std::max(ArrangementChannels(input), ArrangementChannels(output)) > 2 && !m_plugin->OffersSurround())
      return false;
    const std::int32_t perBus = m_plugin->GetChannelsPerBus();
    std::int32_t usableIn = -1;
    if (m_plugin->GetNumInputBuses() == 0)
      usableIn = 0;
    else if (input != nullptr)
      usableIn = std::min(input->numChannels, perBus);
    std::int32_t usableOut = 1;
    if (output != nullptr && std::min(output->numChannels, perBus) > 0)
      usableOut = std::min(output->numChannels, perBus);
    m_plugin->SetUsableChannelsPerBus(usableIn, usableOut);
    const std::int32_t forced = std::max(usableIn, usableOut);
    if (forced != m_forcedChannels)
    {
      m_forcedChannels = forced;
      m_plugin->SetForcedChannelCount(forced);
      m_plugin->InitProcessing();
    }
    return true;
  });
}

bool MAudioPluginVSTAdapter::getSpeakerArrangement(VstSpeakerArrangement** input,
                                                   VstSpeakerArrangement** output)
{
  *input = nullptr;
  *output = nullptr;
  return false;
}

bool MAudioPluginVSTAdapter::setBypass(bool)
{
  return false;
}

bool MAudioPluginVSTAdapter::getEffectName(char* name)
{
  return RunHostCall("MAudioPluginVSTAdapter::getEffectName", false, [&] {
    CopyPluginText(name, m_plugin->m_pluginName);
    return true;
  });
}

bool MAudioPluginVSTAdapter::getProductString(char* text)
{
  return RunHostCall("MAudioPluginVSTAdapter::getProductString", false, [&] {
    CopyPluginText(text, m_plugin->m_pluginName);
    return true;
  });
}

bool MAudioPluginVSTAdapter::getVendorString(char* text)
{
  return RunHostCall("MAudioPluginVSTAdapter::getVendorString", false, [&] {
    CopyPluginText(text, m_plugin->m_vendorName);
    return true;
  });
}

VstInt32 MAudioPluginVSTAdapter::getVendorVersion()
{
  // The project's version, packed as the settings pack theirs (major * 65536 + minor * 256 +
  // patch): the same number the editor, the package and the factory show.
  return TONVERA_VENDOR_VERSION;
}

VstInt32 MAudioPluginVSTAdapter::canDo(const char* text)
{
  static constexpr const char* kReceive[] = {"receiveVstEvents", "receiveVstEvent", "receiveVstMidiEvents",
                                             "receiveVstMidiEvent"};
  static constexpr const char* kSend[] = {"sendVstEvents", "sendVstEvent", "sendVstMidiEvents",
                                          "sendVstMidiEvent"};
  static constexpr const char* kAlways[] = {"plugAsChannelInsert", "canMono", "plugAsSend",
                                            "receiveVstTimeInfo"};
  const auto listed = [text](const auto& list) {
    return std::any_of(std::begin(list), std::end(list),
                       [text](const char* item) { return std::strcmp(item, text) == 0; });
  };
  if (text == nullptr)
    return 0;
  if (listed(kReceive))
    return m_plugin->m_receivesMIDI.Load() ? 1 : -1;
  if (listed(kSend))
    return m_plugin->m_sendsMIDI.Load() ? 1 : -1;
  if (listed(kAlways))
    return 1;
  if (std::strcmp(text, "bypass") == 0)
    return -1;
  return 0;
}

VstInt32 MAudioPluginVSTAdapter::getTailSize()
{
  return 0;
}

VstInt32 MAudioPluginVSTAdapter::getVstVersion()
{
  return 2400;
}

VstPlugCategory MAudioPluginVSTAdapter::getPlugCategory()
{
  return (m_effect.flags & effFlagsIsSynth) != 0 ? kPlugCategSynth : kPlugCategUnknown;
}

// ---- MAudioPluginAdapter ----

void MAudioPluginVSTAdapter::SendAutomation(std::int32_t index, double value)
{
  MHostCallShield::Run("MAudioPluginVSTAdapter::SendAutomation", [&] {
    if (index < 0 || index >= m_plugin->GetNumParameters())
      return;
    if (IsInsideHostCall())
    {
      // Not the user's gesture: the host reads the values again from the next tick, and no
      // automation is written.
      ReportStateChanged();
      return;
    }
    // The mark turns the wrapper's own setParameter (and a host that echoes the change straight
    // back on this thread) into a no-op: the plug-in already holds the value. It is this
    // thread's alone, so other threads' calls are not affected.
    struct Mark
    {
      const MAudioPluginVSTAdapter* previous = t_automating;
      explicit Mark(const MAudioPluginVSTAdapter* adapter) { t_automating = adapter; }
      ~Mark() { t_automating = previous; }
    } mark{this};
    setParameterAutomated(index, static_cast<float>(value));
    KnowHostValue(index);
  });
}

void MAudioPluginVSTAdapter::SendBypassAutomation(bool) {}

void MAudioPluginVSTAdapter::BeginAutomationGesture(std::int32_t index)
{
  MHostCallShield::Run("MAudioPluginVSTAdapter::BeginAutomationGesture", [&] {
    if (index >= 0 && index < m_plugin->GetNumParameters() && !IsInsideHostCall())
      beginEdit(index);
  });
}

void MAudioPluginVSTAdapter::EndAutomationGesture(std::int32_t index)
{
  MHostCallShield::Run("MAudioPluginVSTAdapter::EndAutomationGesture", [&] {
    if (index >= 0 && index < m_plugin->GetNumParameters() && !IsInsideHostCall())
      endEdit(index);
  });
}

void MAudioPluginVSTAdapter::ReportLatency()
{
  MHostCallShield::Run("MAudioPluginVSTAdapter::ReportLatency", [&] {
    const std::int32_t latency = m_plugin->GetLatency();
    if (MDiagnosticLog::IsEnabled())
      MDiagnosticLog::Write(MString("Latency: ") + MString::FromInteger(latency));
    setInitialDelay(latency);
    m_reports.Queue(MHostReportQueue::kLatencyChanged);
  });
}

bool MAudioPluginVSTAdapter::ChangeEditorSize(std::int32_t width, std::int32_t height)
{
  return MHostCallShield::Run("MAudioPluginVSTAdapter::ChangeEditorSize", false, [&] {
    if (m_plugin->GetEditor() == nullptr || !m_plugin->IsEditorOpen())
      return false;
    // Resizing the host's frame windows by hand is a Win32 fallback; elsewhere the host's answer
    // (audioMasterSizeWindow) stands.
    return sizeWindow(width, height);
  });
}
} // namespace Vst2
