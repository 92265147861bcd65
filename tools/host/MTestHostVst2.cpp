#include "tools/host/MTestHostVst2.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

using namespace Vst2;

namespace
{
using EntryProc = AEffect*(VST2_CALL*)(audioMasterCallback);

// The plug-in calls back before its entry point returns (version query, set-up), when the record
// does not yet carry this host's pointer: those calls go to the host that is loading.
thread_local MTestHostVst2* s_loadingHost = nullptr;

const char kHostVendor[] = "Tonvera";
const char kHostProduct[] = "Tonvera Test Host";

EntryProc FindEntry(const MSharedLibrary& library)
{
  void* symbol = library.Symbol("VSTPluginMain");
  if (symbol == nullptr)
    symbol = library.Symbol("main");
  return reinterpret_cast<EntryProc>(symbol);
}
} // namespace

MTestHostVst2::~MTestHostVst2()
{
  Close();
}

bool MTestHostVst2::Fail(const std::string& message)
{
  m_lastError = message;
  return false;
}

MTestHostStatus MTestHostVst2::LoadModule(const std::string& path)
{
  Close();
  m_lastError.clear();
  std::string reason;
  if (!m_library.Open(path, reason))
  {
    m_lastError = "module not found: " + path + " (" + reason + ")";
    return MTestHostStatus::ModuleNotFound;
  }
  EntryProc entry = FindEntry(m_library);
  if (entry == nullptr)
  {
    m_lastError = "entry point VSTPluginMain or main missing in " + path;
    m_library.Close();
    return MTestHostStatus::EntryMissing;
  }

  MTestHostVst2* previous = s_loadingHost;
  s_loadingHost = this;
  AEffect* effect = nullptr;
  {
    const MTestHostLock::Held held = m_hostLock.Hold();
    effect = entry(&MTestHostVst2::HostCallback);
  }
  s_loadingHost = previous;

  if (effect == nullptr)
  {
    m_lastError = "VSTPluginMain returned no AEffect";
    m_library.Close();
    return MTestHostStatus::NullEffect;
  }
  if (effect->magic != kEffectMagic)
  {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(effect->magic));
    m_lastError = std::string("AEffect has bad magic ") + hex;
    // The record is not one we can talk to, so it cannot be closed either; it leaks with the module.
    m_library.Close();
    return MTestHostStatus::BadMagic;
  }
  effect->resvd1 = reinterpret_cast<VstIntPtr>(this);
  m_effect = effect;
  m_opened = m_resumed = false;
  return MTestHostStatus::Ok;
}

VstIntPtr MTestHostVst2::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
  if (m_effect == nullptr || m_effect->dispatcher == nullptr)
    return 0;
  const MTestHostCallTimer::Scope timed(m_callTimer);
  // The editor's idle is the plug-in's own tick: the host holds no lock around it.
  const MTestHostLock::Held held(opcode != effEditIdle && m_hostLock.IsEnabled() ? &m_hostLock : nullptr);
  return m_effect->dispatcher(m_effect, opcode, index, value, ptr, opt);
}

bool MTestHostVst2::Open()
{
  if (m_effect == nullptr)
    return Fail("no plug-in loaded");
  Dispatch(effOpen);
  m_opened = true;
  return true;
}

bool MTestHostVst2::SetSampleRate(float sampleRateHz)
{
  if (m_effect == nullptr)
    return Fail("no plug-in loaded");
  m_sampleRate = sampleRateHz;
  Dispatch(effSetSampleRate, 0, 0, nullptr, sampleRateHz);
  return true;
}

bool MTestHostVst2::SetBlockSize(VstInt32 samples)
{
  if (m_effect == nullptr)
    return Fail("no plug-in loaded");
  m_blockSize = samples;
  Dispatch(effSetBlockSize, 0, samples);
  return true;
}

bool MTestHostVst2::Resume()
{
  if (m_effect == nullptr)
    return Fail("no plug-in loaded");
  Dispatch(effMainsChanged, 0, 1);
  Dispatch(effStartProcess);
  m_resumed = true;
  return true;
}

bool MTestHostVst2::Suspend()
{
  if (m_effect == nullptr)
    return Fail("no plug-in loaded");
  Dispatch(effStopProcess);
  Dispatch(effMainsChanged, 0, 0);
  m_resumed = false;
  return true;
}

bool MTestHostVst2::Activate(double sampleRateHz, int maxBlockSamples)
{
  if (m_effect == nullptr)
    return Fail("no plug-in loaded");
  if (!m_opened)
    Open();
  SetSampleRate(static_cast<float>(sampleRateHz));
  SetBlockSize(maxBlockSamples);
  return Resume();
}

bool MTestHostVst2::Deactivate()
{
  return Suspend();
}

void MTestHostVst2::Close()
{
  if (m_effect != nullptr)
  {
    if (m_resumed)
      Suspend();
    // effClose ends the plug-in: its record is gone after this call.
    Dispatch(effClose);
    m_effect = nullptr;
  }
  m_opened = m_resumed = false;
  m_library.Close();
}

int MTestHostVst2::NumInputs() const
{
  return m_effect != nullptr ? m_effect->numInputs : 0;
}

int MTestHostVst2::NumOutputs() const
{
  return m_effect != nullptr ? m_effect->numOutputs : 0;
}

int MTestHostVst2::NumParameters() const
{
  return m_effect != nullptr ? m_effect->numParams : 0;
}

int MTestHostVst2::LatencySamples() const
{
  return m_effect != nullptr ? m_effect->initialDelay : 0;
}

float MTestHostVst2::GetParameter(int index)
{
  if (m_effect == nullptr || m_effect->getParameter == nullptr)
    return 0.0f;
  const MTestHostLock::Held held = m_hostLock.Hold();
  return m_effect->getParameter(m_effect, index);
}

void MTestHostVst2::SetParameter(int index, float value)
{
  const MTestHostLock::Held held = m_hostLock.Hold();
  if (m_effect != nullptr && m_effect->setParameter != nullptr)
    m_effect->setParameter(m_effect, index, value);
}

void MTestHostVst2::AdvanceTransport(VstInt32 samples)
{
  if (!m_transport.playing || samples <= 0)
    return;
  m_transport.samplePosition += samples;
  if (m_sampleRate > 0.0)
    m_transport.ppqPosition += samples * m_transport.tempo / (60.0 * m_sampleRate);
}

bool MTestHostVst2::Process(float** inputs, float** outputs, int samples)
{
  return ProcessReplacing(inputs, outputs, samples);
}

bool MTestHostVst2::ProcessReplacing(float** inputs, float** outputs, VstInt32 samples)
{
  if (m_effect == nullptr || m_effect->processReplacing == nullptr)
    return Fail("no plug-in loaded");
  m_processing = true;
  m_effect->processReplacing(m_effect, inputs, outputs, samples);
  m_processing = false;
  AdvanceTransport(samples);
  return true;
}

bool MTestHostVst2::ProcessAccumulating(float** inputs, float** outputs, VstInt32 samples)
{
  if (m_effect == nullptr || m_effect->process == nullptr)
    return Fail("no plug-in loaded");
  m_processing = true;
  m_effect->process(m_effect, inputs, outputs, samples);
  m_processing = false;
  AdvanceTransport(samples);
  return true;
}

bool MTestHostVst2::ProcessDoubleReplacing(double** inputs, double** outputs, VstInt32 samples)
{
  if (m_effect == nullptr || m_effect->processDoubleReplacing == nullptr)
    return Fail("no plug-in loaded");
  if ((m_effect->flags & effFlagsCanDoubleReplacing) == 0)
    return Fail("the plug-in does not offer double-precision processing");
  m_processing = true;
  m_effect->processDoubleReplacing(m_effect, inputs, outputs, samples);
  m_processing = false;
  AdvanceTransport(samples);
  return true;
}

bool MTestHostVst2::SendMidi(const std::vector<MTestHostMidiEvent>& events)
{
  if (m_effect == nullptr)
    return Fail("no plug-in loaded");
  std::vector<VstMidiEvent> records(events.size());
  for (std::size_t i = 0; i < events.size(); ++i)
  {
    VstMidiEvent& record = records[i];
    record.type = kVstMidiType;
    record.byteSize = sizeof(VstMidiEvent);
    record.deltaFrames = events[i].sampleOffset;
    for (int b = 0; b < 3; ++b)
      record.midiData[b] = static_cast<char>(events[i].bytes[b]);
  }
  // The block carries as many pointers as events, past its declared two.
  std::unique_ptr<std::byte[]> block(new std::byte[VstEventsBytes(events.size())]());
  auto* list = reinterpret_cast<VstEvents*>(block.get());
  list->numEvents = static_cast<VstInt32>(events.size());
  VstEvent** slots = EventPointers(list);
  for (std::size_t i = 0; i < records.size(); ++i)
    slots[i] = reinterpret_cast<VstEvent*>(&records[i]);
  Dispatch(effProcessEvents, 0, 0, list);
  return true;
}

MTestHostVst2::TextProbe MTestHostVst2::QueryText(VstInt32 opcode, VstInt32 index, VstIntPtr value)
{
  unsigned char buffer[kTextProbeBytes];
  std::memset(buffer, kProbeMarker, sizeof buffer);
  TextProbe probe;
  probe.result = Dispatch(opcode, index, value, buffer);
  for (std::size_t i = kTextProbeBytes; i > 0; --i)
    if (buffer[i - 1] != kProbeMarker)
    {
      probe.bytesTouched = i;
      break;
    }
  const void* zero = std::memchr(buffer, 0, sizeof buffer);
  probe.terminated = zero != nullptr;
  if (zero != nullptr)
    probe.text.assign(reinterpret_cast<const char*>(buffer),
                      static_cast<const unsigned char*>(zero) - buffer);
  return probe;
}

std::vector<std::uint8_t> MTestHostVst2::GetChunk(bool isPreset)
{
  void* data = nullptr;
  VstIntPtr size = Dispatch(effGetChunk, isPreset ? 1 : 0, 0, &data);
  if (size <= 0 || data == nullptr)
    return {};
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return std::vector<std::uint8_t>(bytes, bytes + size);
}

VstIntPtr MTestHostVst2::SetChunk(const std::vector<std::uint8_t>& bytes, bool isPreset)
{
  // Hosts hand over their own copy; the plug-in must not keep the pointer.
  std::vector<std::uint8_t> copy(bytes);
  return Dispatch(effSetChunk, isPreset ? 1 : 0, static_cast<VstIntPtr>(copy.size()),
                  copy.empty() ? nullptr : copy.data());
}

bool MTestHostVst2::GetPinProperties(bool input, VstInt32 index, VstPinProperties& properties)
{
  properties = VstPinProperties{};
  return Dispatch(input ? effGetInputProperties : effGetOutputProperties, index, 0, &properties) == 1;
}

bool MTestHostVst2::SetSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output)
{
  return Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(input), output) == 1;
}

bool MTestHostVst2::GetSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output)
{
  return Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(input), output) == 1;
}

std::vector<MTestHostAutomation> MTestHostVst2::Automations() const
{
  std::lock_guard<std::mutex> guard(m_recordLock);
  return m_automations;
}

std::vector<MTestHostMidiEvent> MTestHostVst2::MidiReceived() const
{
  std::lock_guard<std::mutex> guard(m_recordLock);
  return m_midiReceived;
}

std::vector<MTestHostEdit> MTestHostVst2::Edits() const
{
  std::lock_guard<std::mutex> guard(m_recordLock);
  return m_edits;
}

void MTestHostVst2::RunEditorIdle(int milliseconds, int periodMs)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  const auto period = std::chrono::milliseconds(std::max(periodMs, 1));
  while (std::chrono::steady_clock::now() < end)
  {
    IdleEditor();
    std::this_thread::sleep_for(period);
  }
}

std::vector<int> MTestHostVst2::EditGestures() const
{
  std::lock_guard<std::mutex> guard(m_recordLock);
  return m_editGestures;
}

int MTestHostVst2::UpdateDisplayCount() const
{
  std::lock_guard<std::mutex> guard(m_recordLock);
  return m_updateDisplayCount;
}

int MTestHostVst2::IoChangedCount() const
{
  std::lock_guard<std::mutex> guard(m_recordLock);
  return m_ioChangedCount;
}

std::pair<int, int> MTestHostVst2::LastSizeRequest() const
{
  std::lock_guard<std::mutex> guard(m_recordLock);
  return m_lastSizeRequest;
}

bool MTestHostVst2::WantsMidi() const
{
  std::lock_guard<std::mutex> guard(m_recordLock);
  return m_wantsMidi;
}

VstInt32 MTestHostVst2::LastTimeRequest() const
{
  std::lock_guard<std::mutex> guard(m_recordLock);
  return m_lastTimeRequest;
}

void MTestHostVst2::ClearRecords()
{
  std::lock_guard<std::mutex> guard(m_recordLock);
  m_automations.clear();
  m_midiReceived.clear();
  m_editGestures.clear();
  m_edits.clear();
  m_ioChangedCount = 0;
  m_updateDisplayCount = 0;
  m_lastSizeRequest = {0, 0};
  m_lastTimeRequest = 0;
}

VstTimeInfo* MTestHostVst2::FillTimeInfo(VstInt32 request)
{
  {
    std::lock_guard<std::mutex> guard(m_recordLock);
    m_lastTimeRequest = request;
  }
  if (!m_transport.available)
    return nullptr;
  const MTestHostTransport& t = m_transport;
  VstTimeInfo& info = m_timeInfo;
  info = VstTimeInfo{};
  info.samplePos = t.samplePosition;
  info.sampleRate = m_sampleRate;
  info.ppqPos = t.ppqPosition;
  info.tempo = t.tempo;
  info.barStartPos = t.barStartPosition;
  info.cycleStartPos = t.cycleStart;
  info.cycleEndPos = t.cycleEnd;
  info.timeSigNumerator = t.timeSigNumerator;
  info.timeSigDenominator = t.timeSigDenominator;
  info.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;
  if (t.playing)
    info.flags |= kVstTransportPlaying;
  if (t.recording)
    info.flags |= kVstTransportRecording;
  if (t.cycleActive)
    info.flags |= kVstTransportCycleActive;
  if (t.playing != m_lastPlaying)
    info.flags |= kVstTransportChanged;
  m_lastPlaying = t.playing;
  return &info;
}

VstIntPtr VST2_CALL MTestHostVst2::HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                VstIntPtr value, void* ptr, float opt)
{
  MTestHostVst2* host = nullptr;
  if (effect != nullptr && effect->resvd1 != 0)
    host = reinterpret_cast<MTestHostVst2*>(effect->resvd1);
  else
    host = s_loadingHost;
  if (host == nullptr)
    return opcode == audioMasterVersion ? kVstVersion : 0;
  return host->Answer(opcode, index, value, ptr, opt);
}

VstIntPtr MTestHostVst2::Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
  switch (opcode)
  {
  case audioMasterAutomate:
  case audioMasterBeginEdit:
  case audioMasterEndEdit:
  case audioMasterUpdateDisplay:
  case audioMasterIOChanged:
  case audioMasterSizeWindow:
    m_hostLock.Enter("audioMaster opcode " + std::to_string(opcode));
    break;
  default:
    break;
  }
  switch (opcode)
  {
  case audioMasterVersion:
    return m_hostVersion;
  case audioMasterAutomate:
  {
    {
      std::lock_guard<std::mutex> guard(m_recordLock);
      m_automations.push_back({index, opt});
      m_edits.push_back({MTestHostEdit::Kind::Perform, index, opt});
    }
    if (m_automateHandler)
      m_automateHandler(index, opt);
    return 1;
  }
  case audioMasterBeginEdit:
  case audioMasterEndEdit:
  {
    std::lock_guard<std::mutex> guard(m_recordLock);
    m_editGestures.push_back(opcode == audioMasterBeginEdit ? index + 1 : -(index + 1));
    m_edits.push_back({opcode == audioMasterBeginEdit ? MTestHostEdit::Kind::Begin : MTestHostEdit::Kind::End,
                       index, 0.0f});
    return 1;
  }
  case audioMasterWantMidi:
  {
    std::lock_guard<std::mutex> guard(m_recordLock);
    m_wantsMidi = value != 0;
    return 1;
  }
  case audioMasterGetTime:
    return reinterpret_cast<VstIntPtr>(FillTimeInfo(static_cast<VstInt32>(value)));
  case audioMasterProcessEvents:
  {
    auto* events = static_cast<const VstEvents*>(ptr);
    if (events == nullptr)
      return 0;
    std::lock_guard<std::mutex> guard(m_recordLock);
    for (VstInt32 i = 0; i < events->numEvents; ++i)
      if (const VstMidiEvent* midi = MidiEventAt(events, i))
      {
        MTestHostMidiEvent event;
        event.sampleOffset = midi->deltaFrames;
        for (int b = 0; b < 3; ++b)
          event.bytes[b] = static_cast<std::uint8_t>(midi->midiData[b]);
        m_midiReceived.push_back(event);
      }
    return 1;
  }
  case audioMasterIOChanged:
  {
    std::lock_guard<std::mutex> guard(m_recordLock);
    ++m_ioChangedCount;
    return 1;
  }
  case audioMasterSizeWindow:
  {
    {
      std::lock_guard<std::mutex> guard(m_recordLock);
      m_lastSizeRequest = {index, static_cast<int>(value)};
    }
    if (!m_acceptSizeWindow || index <= 0 || value <= 0)
      return 0;
    return !m_sizeWindowHandler || m_sizeWindowHandler(index, static_cast<int>(value)) ? 1 : 0;
  }
  case audioMasterGetSampleRate:
    return static_cast<VstIntPtr>(std::lround(m_sampleRate));
  case audioMasterGetBlockSize:
    return m_blockSize;
  case audioMasterGetCurrentProcessLevel:
    return m_processing ? kVstProcessLevelRealtime : kVstProcessLevelUser;
  case audioMasterGetAutomationState:
    return kVstAutomationOff;
  case audioMasterGetVendorString:
    CopyText(static_cast<char*>(ptr), kHostVendor, kVstMaxVendorStrLen);
    return ptr != nullptr ? 1 : 0;
  case audioMasterGetProductString:
    CopyText(static_cast<char*>(ptr), kHostProduct, kVstMaxProductStrLen);
    return ptr != nullptr ? 1 : 0;
  case audioMasterGetVendorVersion:
    return 1;
  case audioMasterCanDo:
  {
    if (ptr == nullptr)
      return 0;
    for (const char* capability : kHostCanDo)
      if (std::strcmp(capability, static_cast<const char*>(ptr)) == 0)
        return 1;
    return 0;
  }
  case audioMasterGetLanguage:
    return 1; // English
  case audioMasterUpdateDisplay:
  {
    std::lock_guard<std::mutex> guard(m_recordLock);
    ++m_updateDisplayCount;
    return 1;
  }
  default:
    return 0;
  }
}

bool MTestHostVst2::HasEditor() const
{
  return m_effect != nullptr && (m_effect->flags & Vst2::effFlagsHasEditor) != 0;
}

bool MTestHostVst2::EditorRect(int& width, int& height)
{
  Vst2::ERect* rect = nullptr;
  if (Dispatch(Vst2::effEditGetRect, 0, 0, &rect) == 0 || rect == nullptr)
    return false;
  width = rect->right - rect->left;
  height = rect->bottom - rect->top;
  return true;
}

bool MTestHostVst2::OpenEditor(std::uintptr_t parentWindow)
{
  return Dispatch(Vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(parentWindow)) != 0;
}
