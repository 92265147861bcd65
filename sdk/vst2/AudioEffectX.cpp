#include "sdk/vst2/AudioEffectX.h"

#include <cmath>
#include <limits>

namespace Vst2
{
namespace
{
// Hosts pass key modifiers in the float argument; anything outside a byte is noise.
unsigned char ModifierFromFloat(float opt)
{
  if (!(opt >= 0.0f && opt <= 255.0f))
    return 0;
  return static_cast<unsigned char>(opt);
}

template <std::size_t N>
void TerminateInside(char (&text)[N])
{
  text[N - 1] = '\0';
}

// The host's own texts may come back unterminated or longer than promised: read them through a
// zeroed scratch buffer larger than any limit and cut them there.
bool AskHostText(AudioEffectX& effect, VstInt32 opcode, char* target, std::size_t maxChars)
{
  if (target == nullptr)
    return false;
  char scratch[AudioEffect::kTextCapacity] = {};
  effect.callHost(opcode, 0, 0, scratch);
  scratch[AudioEffect::kTextCapacity - 1] = '\0';
  CopyText(target, scratch, maxChars);
  return target[0] != '\0';
}
} // namespace

AudioEffectX::AudioEffectX(audioMasterCallback hostCallback, VstInt32 numPrograms, VstInt32 numParams)
    : AudioEffect(hostCallback, numPrograms, numParams)
{}

bool AudioEffectX::wantEvents(VstInt32 filter)
{
  return callHost(audioMasterWantMidi, 0, filter) != 0;
}

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter)
{
  return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

bool AudioEffectX::sendVstEventsToHost(VstEvents* events)
{
  if (events == nullptr || events->numEvents <= 0)
    return false;
  return callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

bool AudioEffectX::ioChanged()
{
  return callHost(audioMasterIOChanged) != 0;
}

bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height)
{
  if (width <= 0 || height <= 0)
    return false;
  return callHost(audioMasterSizeWindow, width, height) != 0;
}

double AudioEffectX::updateSampleRate()
{
  VstIntPtr rate = callHost(audioMasterGetSampleRate);
  if (rate > 0 && rate < std::numeric_limits<VstInt32>::max())
    m_sampleRate.store(static_cast<float>(rate), std::memory_order_relaxed);
  return m_sampleRate.load(std::memory_order_relaxed);
}

VstInt32 AudioEffectX::updateBlockSize()
{
  VstIntPtr size = callHost(audioMasterGetBlockSize);
  if (size > 0 && size <= std::numeric_limits<VstInt32>::max())
    m_blockSize.store(static_cast<VstInt32>(size), std::memory_order_relaxed);
  return m_blockSize.load(std::memory_order_relaxed);
}

VstInt32 AudioEffectX::getInputLatency()
{
  return static_cast<VstInt32>(callHost(audioMasterGetInputLatency));
}

VstInt32 AudioEffectX::getOutputLatency()
{
  return static_cast<VstInt32>(callHost(audioMasterGetOutputLatency));
}

VstInt32 AudioEffectX::getCurrentProcessLevel()
{
  return static_cast<VstInt32>(callHost(audioMasterGetCurrentProcessLevel));
}

VstInt32 AudioEffectX::getAutomationState()
{
  return static_cast<VstInt32>(callHost(audioMasterGetAutomationState));
}

bool AudioEffectX::getHostVendorString(char* text)
{
  return AskHostText(*this, audioMasterGetVendorString, text, kVstMaxVendorStrLen);
}

bool AudioEffectX::getHostProductString(char* text)
{
  return AskHostText(*this, audioMasterGetProductString, text, kVstMaxProductStrLen);
}

VstInt32 AudioEffectX::getHostVendorVersion()
{
  return static_cast<VstInt32>(callHost(audioMasterGetVendorVersion));
}

VstInt32 AudioEffectX::canHostDo(const char* text)
{
  if (text == nullptr)
    return 0;
  VstIntPtr answer = callHost(audioMasterCanDo, 0, 0, const_cast<char*>(text));
  return answer == 1 || answer == -1 ? static_cast<VstInt32>(answer) : 0;
}

bool AudioEffectX::beginEdit(VstInt32 index)
{
  return IsParameterIndex(index) && callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffectX::endEdit(VstInt32 index)
{
  return IsParameterIndex(index) && callHost(audioMasterEndEdit, index) != 0;
}

bool AudioEffectX::updateDisplay()
{
  return callHost(audioMasterUpdateDisplay) != 0;
}

void AudioEffectX::setBlockSizeAndSampleRate(VstInt32 blockSize, float sampleRate)
{
  setBlockSize(blockSize);
  setSampleRate(sampleRate);
}

VstIntPtr AudioEffectX::DispatchPins(VstInt32 opcode, VstInt32 index, void* ptr)
{
  bool isInput = opcode == effGetInputProperties;
  VstInt32 count = isInput ? m_effect.numInputs : m_effect.numOutputs;
  if (ptr == nullptr || index < 0 || index >= count)
    return 0;
  auto* hostRecord = static_cast<VstPinProperties*>(ptr);
  VstPinProperties properties = *hostRecord;
  bool answered = isInput ? getInputProperties(index, &properties) : getOutputProperties(index, &properties);
  if (!answered)
    return 0;
  TerminateInside(properties.label);
  TerminateInside(properties.shortLabel);
  *hostRecord = properties;
  return 1;
}

VstIntPtr AudioEffectX::DispatchEditorKey(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt)
{
  if (m_editor == nullptr)
    return 0;
  VstKeyCode key{index, static_cast<unsigned char>(value & 0xFF), ModifierFromFloat(opt)};
  bool used = opcode == effEditKeyDown ? m_editor->onKeyDown(key) : m_editor->onKeyUp(key);
  return used ? 1 : 0;
}

VstIntPtr AudioEffectX::DispatchMidiPrograms(VstInt32 opcode, VstInt32 channel, void* ptr)
{
  if (!IsMidiChannel(channel))
    return 0;
  if (opcode == effHasMidiProgramsChanged)
    return hasMidiProgramsChanged(channel) ? 1 : 0;
  if (ptr == nullptr)
    return 0;
  switch (opcode)
  {
  case effGetMidiProgramName:
  {
    auto* name = static_cast<MidiProgramName*>(ptr);
    VstInt32 result = getMidiProgramName(channel, name);
    TerminateInside(name->name);
    return result;
  }
  case effGetCurrentMidiProgram:
  {
    auto* name = static_cast<MidiProgramName*>(ptr);
    VstInt32 result = getCurrentMidiProgram(channel, name);
    TerminateInside(name->name);
    return result;
  }
  case effGetMidiProgramCategory:
  {
    auto* category = static_cast<MidiProgramCategory*>(ptr);
    VstInt32 result = getMidiProgramCategory(channel, category);
    TerminateInside(category->name);
    return result;
  }
  case effGetMidiKeyName:
  {
    auto* keyName = static_cast<MidiKeyName*>(ptr);
    bool result = getMidiKeyName(channel, keyName);
    TerminateInside(keyName->keyName);
    return result ? 1 : 0;
  }
  default:
    return 0;
  }
}

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
  switch (opcode)
  {
  case effProcessEvents:
  {
    auto* events = static_cast<VstEvents*>(ptr);
    if (events == nullptr || events->numEvents < 0)
      return 0;
    return processEvents(events);
  }
  case effCanBeAutomated:
    return IsParameterIndex(index) && canParameterBeAutomated(index) ? 1 : 0;
  case effString2Parameter:
  {
    if (!IsParameterIndex(index))
      return 0;
    if (ptr == nullptr)
      return string2parameter(index, nullptr) ? 1 : 0;
    char text[kTextCapacity];
    CopyText(text, static_cast<const char*>(ptr), kTextCapacity - 1);
    return string2parameter(index, text) ? 1 : 0;
  }
  case effGetProgramNameIndexed:
  {
    if (ptr == nullptr || index < 0 || index >= m_effect.numPrograms)
      return 0;
    bool known = false;
    FillHostText(static_cast<char*>(ptr), kVstMaxProgNameLen, [&](char* text) {
      known = getProgramNameIndexed(static_cast<VstInt32>(value), index, text);
    });
    return known ? 1 : 0;
  }
  case effGetInputProperties:
  case effGetOutputProperties:
    return DispatchPins(opcode, index, ptr);
  case effGetPlugCategory:
    return getPlugCategory();
  case effOfflineNotify:
    return ptr != nullptr && value > 0 && value <= std::numeric_limits<VstInt32>::max() &&
                   offlineNotify(static_cast<VstAudioFile*>(ptr), static_cast<VstInt32>(value), index != 0)
               ? 1
               : 0;
  case effOfflinePrepare:
  case effOfflineRun:
  {
    if (ptr == nullptr || value <= 0 || value > std::numeric_limits<VstInt32>::max())
      return 0;
    auto* tasks = static_cast<VstOfflineTask*>(ptr);
    auto count = static_cast<VstInt32>(value);
    return (opcode == effOfflinePrepare ? offlinePrepare(tasks, count) : offlineRun(tasks, count)) ? 1 : 0;
  }
  case effProcessVarIo:
    return ptr != nullptr && processVariableIo(static_cast<VstVariableIo*>(ptr)) ? 1 : 0;
  case effSetSpeakerArrangement:
  {
    auto* input = reinterpret_cast<VstSpeakerArrangement*>(value);
    auto* output = static_cast<VstSpeakerArrangement*>(ptr);
    if ((input != nullptr && input->numChannels < 0) || (output != nullptr && output->numChannels < 0))
      return 0;
    return setSpeakerArrangement(input, output) ? 1 : 0;
  }
  case effGetSpeakerArrangement:
  {
    auto** input = reinterpret_cast<VstSpeakerArrangement**>(value);
    auto** output = static_cast<VstSpeakerArrangement**>(ptr);
    if (input == nullptr || output == nullptr)
      return 0;
    *input = nullptr;
    *output = nullptr;
    return getSpeakerArrangement(input, output) ? 1 : 0;
  }
  case effSetBlockSizeAndSampleRate:
  {
    if (value <= 0 || value > std::numeric_limits<VstInt32>::max() || !std::isfinite(opt) || opt <= 0.0f)
      return 0;
    m_blockSize.store(static_cast<VstInt32>(value), std::memory_order_relaxed);
    m_sampleRate.store(opt, std::memory_order_relaxed);
    setBlockSizeAndSampleRate(static_cast<VstInt32>(value), opt);
    return 0;
  }
  case effSetBypass:
    return setBypass(value != 0) ? 1 : 0;
  case effGetEffectName:
  case effGetVendorString:
  case effGetProductString:
  {
    if (ptr == nullptr)
      return 0;
    bool known = false;
    std::size_t limit = opcode == effGetEffectName     ? kVstMaxEffectNameLen
                        : opcode == effGetVendorString ? kVstMaxVendorStrLen
                                                       : kVstMaxProductStrLen;
    FillHostText(static_cast<char*>(ptr), limit, [&](char* text) {
      known = opcode == effGetEffectName     ? getEffectName(text)
              : opcode == effGetVendorString ? getVendorString(text)
                                             : getProductString(text);
    });
    return known ? 1 : 0;
  }
  case effGetVendorVersion:
    return getVendorVersion();
  case effVendorSpecific:
    return vendorSpecific(index, value, ptr, opt);
  case effCanDo:
    return ptr != nullptr ? canDo(static_cast<const char*>(ptr)) : 0;
  case effGetTailSize:
    return getTailSize();
  case effGetParameterProperties:
  {
    if (ptr == nullptr || !IsParameterIndex(index))
      return 0;
    auto* hostRecord = static_cast<VstParameterProperties*>(ptr);
    VstParameterProperties properties = *hostRecord;
    if (!getParameterProperties(index, &properties))
      return 0;
    TerminateInside(properties.label);
    TerminateInside(properties.shortLabel);
    TerminateInside(properties.categoryLabel);
    *hostRecord = properties;
    return 1;
  }
  case effGetVstVersion:
    return getVstVersion();
  case effEditKeyDown:
  case effEditKeyUp:
    return DispatchEditorKey(opcode, index, value, opt);
  case effSetEditKnobMode:
    return m_editor != nullptr && m_editor->setKnobMode(static_cast<VstInt32>(value)) ? 1 : 0;
  case effGetMidiProgramName:
  case effGetCurrentMidiProgram:
  case effGetMidiProgramCategory:
  case effHasMidiProgramsChanged:
  case effGetMidiKeyName:
    return DispatchMidiPrograms(opcode, index, ptr);
  case effBeginSetProgram:
    return beginSetProgram() ? 1 : 0;
  case effEndSetProgram:
    return endSetProgram() ? 1 : 0;
  case effShellGetNextPlugin:
  {
    if (ptr == nullptr)
      return 0;
    VstInt32 next = 0;
    FillHostText(static_cast<char*>(ptr), kVstMaxProductStrLen,
                 [&](char* text) { next = getNextShellPlugin(text); });
    return next;
  }
  case effStartProcess:
    return startProcess();
  case effStopProcess:
    return stopProcess();
  case effSetTotalSampleToProcess:
    if (value < 0 || value > std::numeric_limits<VstInt32>::max())
      return 0;
    return setTotalSampleToProcess(static_cast<VstInt32>(value));
  case effSetPanLaw:
    return setPanLaw(static_cast<VstInt32>(value), opt) ? 1 : 0;
  case effBeginLoadBank:
    return ptr != nullptr ? beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr)) : 0;
  case effBeginLoadProgram:
    return ptr != nullptr ? beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr)) : 0;
  case effSetProcessPrecision:
    return setProcessPrecision(static_cast<VstInt32>(value)) ? 1 : 0;
  case effGetNumMidiInputChannels:
    return getNumMidiInputChannels();
  case effGetNumMidiOutputChannels:
    return getNumMidiOutputChannels();
  default:
    return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
  }
}
} // namespace Vst2
