#include "sdk/vst2/AudioEffect.h"

#include <cmath>
#include <limits>

namespace Vst2
{
namespace
{
// Program names travel in both directions through buffers of the program-name size.
constexpr std::size_t kProgramNameChars = kVstMaxProgNameLen;

float ClampNormalised(float value)
{
  if (!std::isfinite(value))
    return 0.0f;
  return value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
}
} // namespace

AudioEffect::AudioEffect(audioMasterCallback hostCallback, VstInt32 numPrograms, VstInt32 numParams)
    : m_hostCallback(hostCallback)
{
  m_effect.magic = kEffectMagic;
  m_effect.dispatcher = &AudioEffect::DispatchEntry;
  m_effect.process = &AudioEffect::ProcessEntry;
  m_effect.setParameter = &AudioEffect::SetParameterEntry;
  m_effect.getParameter = &AudioEffect::GetParameterEntry;
  m_effect.numPrograms = numPrograms < 0 ? 0 : numPrograms;
  m_effect.numParams = numParams < 0 ? 0 : numParams;
  m_effect.ioRatio = 1.0f;
  m_effect.object = this;
  m_effect.version = 1;
  m_effect.processReplacing = &AudioEffect::ProcessReplacingEntry;
  m_effect.processDoubleReplacing = &AudioEffect::ProcessDoubleReplacingEntry;
}

AudioEffect::~AudioEffect()
{
  delete m_editor;
  // A host that keeps calling through a stale record then meets no magic, as long as the
  // memory has not been reused.
  m_effect.magic = 0;
  m_effect.object = nullptr;
}

AudioEffect* AudioEffect::FromAEffect(AEffect* effect) noexcept
{
  if (effect == nullptr || effect->magic != kEffectMagic || effect->object == nullptr)
    return nullptr;
  auto* self = static_cast<AudioEffect*>(effect->object);
  // A copy of the record (or a foreign record with our magic) names an object whose own record
  // lives elsewhere: refuse it rather than act on the wrong counts.
  if (&self->m_effect != effect)
    return nullptr;
  return self;
}

void AudioEffect::setEditor(AEffEditor* editor)
{
  if (editor != m_editor)
    delete m_editor;
  m_editor = editor;
  SetFlag(effFlagsHasEditor, editor != nullptr);
}

void AudioEffect::SetFlag(VstInt32 flag, bool state)
{
  m_effect.flags = state ? (m_effect.flags | flag) : (m_effect.flags & ~flag);
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
  return m_hostCallback != nullptr ? m_hostCallback(&m_effect, opcode, index, value, ptr, opt) : 0;
}

VstInt32 AudioEffect::getMasterVersion()
{
  return static_cast<VstInt32>(callHost(audioMasterVersion));
}

VstInt32 AudioEffect::getCurrentUniqueId()
{
  return static_cast<VstInt32>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle()
{
  callHost(audioMasterIdle);
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value)
{
  if (!IsParameterIndex(index))
    return;
  value = ClampNormalised(value);
  setParameter(index, value);
  callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
  switch (opcode)
  {
  case effOpen:
    open();
    return 0;
  case effClose:
    // The deletion itself happens in the entry trampoline, after this returns.
    close();
    return 1;

  case effSetProgram:
    if (value >= 0 && value < m_effect.numPrograms)
      setProgram(static_cast<VstInt32>(value));
    return 0;
  case effGetProgram:
    return getProgram();
  case effSetProgramName:
  {
    if (ptr == nullptr)
      return 0;
    char name[kProgramNameChars + 1];
    CopyText(name, static_cast<const char*>(ptr), kProgramNameChars);
    setProgramName(name);
    return 0;
  }
  case effGetProgramName:
    if (ptr == nullptr)
      return 0;
    FillHostText(static_cast<char*>(ptr), kProgramNameChars, [this](char* text) { getProgramName(text); });
    return 0;

  case effGetParamLabel:
  case effGetParamDisplay:
  case effGetParamName:
  {
    if (ptr == nullptr)
      return 0;
    auto* target = static_cast<char*>(ptr);
    if (!IsParameterIndex(index))
    {
      target[0] = '\0';
      return 0;
    }
    FillHostText(target, kParamTextChars, [this, opcode, index](char* text) {
      if (opcode == effGetParamLabel)
        getParameterLabel(index, text);
      else if (opcode == effGetParamDisplay)
        getParameterDisplay(index, text);
      else
        getParameterName(index, text);
    });
    return 1;
  }

  case effSetSampleRate:
    if (!std::isfinite(opt) || opt <= 0.0f)
      return 0;
    m_sampleRate.store(opt, std::memory_order_relaxed);
    setSampleRate(opt);
    return 0;
  case effSetBlockSize:
    if (value <= 0 || value > std::numeric_limits<VstInt32>::max())
      return 0;
    m_blockSize.store(static_cast<VstInt32>(value), std::memory_order_relaxed);
    setBlockSize(static_cast<VstInt32>(value));
    return 0;
  case effMainsChanged:
    if (value == 0)
      suspend();
    else
      resume();
    return 0;

  case effEditGetRect:
  {
    if (ptr == nullptr)
      return 0;
    auto** rect = static_cast<ERect**>(ptr);
    *rect = nullptr;
    return m_editor != nullptr && m_editor->getRect(rect) && *rect != nullptr ? 1 : 0;
  }
  case effEditOpen:
    return m_editor != nullptr && m_editor->open(ptr) ? 1 : 0;
  case effEditClose:
    if (m_editor == nullptr)
      return 0;
    m_editor->close();
    return 1;
  case effEditIdle:
    if (m_editor == nullptr)
      return 0;
    m_editor->idle();
    return 1;

  case effIdentify:
    return FourCharCode('N', 'v', 'E', 'f');

  case effGetChunk:
  {
    if (ptr == nullptr)
      return 0;
    auto** data = static_cast<void**>(ptr);
    *data = nullptr;
    VstInt32 size = getChunk(data, index != 0);
    if (size <= 0 || *data == nullptr)
    {
      *data = nullptr;
      return 0;
    }
    return size;
  }
  case effSetChunk:
    if (ptr == nullptr || value <= 0 || value > std::numeric_limits<VstInt32>::max())
      return 0;
    return setChunk(ptr, static_cast<VstInt32>(value), index != 0);

  default:
    return 0;
  }
}

bool AudioEffect::BuffersUsable(const AEffect* effect, const void* inputs, const void* outputs,
                                VstInt32 sampleFrames) noexcept
{
  if (sampleFrames < 0)
    return false;
  if (outputs == nullptr && effect->numOutputs > 0)
    return false;
  return inputs != nullptr || effect->numInputs == 0;
}

VstIntPtr VST2_CALL AudioEffect::DispatchEntry(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                               VstIntPtr value, void* ptr, float opt) noexcept
{
  AudioEffect* self = FromAEffect(effect);
  if (self == nullptr)
    return 0;
  try
  {
    VstIntPtr result = self->dispatcher(opcode, index, value, ptr, opt);
    if (opcode == effClose)
      delete self;
    return result;
  }
  catch (...)
  {
    // effClose must end the object even when close() failed: the host forgets the record now.
    if (opcode == effClose)
      delete self;
    return 0;
  }
}

void VST2_CALL AudioEffect::ProcessEntry(AEffect* effect, float** inputs, float** outputs,
                                         VstInt32 sampleFrames) noexcept
{
  AudioEffect* self = FromAEffect(effect);
  if (self == nullptr || !BuffersUsable(effect, inputs, outputs, sampleFrames))
    return;
  try
  {
    self->process(inputs, outputs, sampleFrames);
  }
  catch (...)
  {}
}

void VST2_CALL AudioEffect::ProcessReplacingEntry(AEffect* effect, float** inputs, float** outputs,
                                                  VstInt32 sampleFrames) noexcept
{
  AudioEffect* self = FromAEffect(effect);
  if (self == nullptr || !BuffersUsable(effect, inputs, outputs, sampleFrames))
    return;
  try
  {
    self->processReplacing(inputs, outputs, sampleFrames);
  }
  catch (...)
  {}
}

void VST2_CALL AudioEffect::ProcessDoubleReplacingEntry(AEffect* effect, double** inputs, double** outputs,
                                                        VstInt32 sampleFrames) noexcept
{
  AudioEffect* self = FromAEffect(effect);
  if (self == nullptr || !BuffersUsable(effect, inputs, outputs, sampleFrames))
    return;
  try
  {
    self->processDoubleReplacing(inputs, outputs, sampleFrames);
  }
  catch (...)
  {}
}

void VST2_CALL AudioEffect::SetParameterEntry(AEffect* effect, VstInt32 index, float value) noexcept
{
  AudioEffect* self = FromAEffect(effect);
  if (self == nullptr || !self->IsParameterIndex(index) || !std::isfinite(value))
    return;
  try
  {
    self->setParameter(index, ClampNormalised(value));
  }
  catch (...)
  {}
}

float VST2_CALL AudioEffect::GetParameterEntry(AEffect* effect, VstInt32 index) noexcept
{
  AudioEffect* self = FromAEffect(effect);
  if (self == nullptr || !self->IsParameterIndex(index))
    return 0.0f;
  try
  {
    return ClampNormalised(self->getParameter(index));
  }
  catch (...)
  {
    return 0.0f;
  }
}
} // namespace Vst2
