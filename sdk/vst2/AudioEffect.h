#pragma once
// AudioEffect: the plug-in side of the VST 2.4 record, with the opcodes of the original 2.0 set.
//
// An AudioEffect owns the AEffect record the host sees (embedded, so its address is fixed for the
// object's life), points the record's function pointers at static trampolines, and turns every
// host call into a virtual call with a neutral default. AudioEffectX adds the later opcodes.
//
// Boundary checks done here, before any virtual runs:
// - Every trampoline is noexcept: it checks that the AEffect carries the magic and that its
//   `object` is an AudioEffect whose own record is that AEffect; otherwise the call is ignored
//   (answer 0). Exceptions thrown by a virtual are swallowed and the call answers 0.
// - Parameter indices outside 0 .. numParams - 1 never reach a virtual; getParameter answers 0,
//   setParameter ignores the call, text opcodes write an empty text.
// - Values handed to setParameter are finite and clamped to 0..1; getParameter answers are too.
// - Null pointers where the opcode expects a buffer or record answer 0 without a virtual call.
// - Texts pass through a zeroed scratch buffer of kTextCapacity bytes, so a virtual may write up to
//   kTextCapacity - 1 characters; the host receives at most the limit of that opcode (below).
// - processReplacing/process/processDoubleReplacing with a negative count, or with a null array
//   where channels exist, are ignored; a count of 0 reaches the virtual (it may flush state).
//
// Threads: the host calls the dispatcher from its UI or main thread (and effProcessEvents,
// effStart/StopProcess from the audio thread); process calls and getParameter/setParameter may
// come from any thread. The wrapper itself keeps only the sample rate and block size, as atomics.

#include "sdk/vst2/AEffEditor.h"
#include "sdk/vst2/VstOpcodes.h"
#include "sdk/vst2/VstRecords.h"

#include <atomic>

namespace Vst2
{
class AudioEffect
{
public:
  /// Size of the scratch buffer a text virtual writes into.
  static constexpr std::size_t kTextCapacity = 256;
  /// Characters of a parameter name, label or display text the host receives. The interface's
  /// own 8-character limit would cut ordinary texts ("100% wet, 0% dry"); every current host
  /// gives at least 64 bytes, and the program-name length is the common ground.
  static constexpr std::size_t kParamTextChars = kVstMaxProgNameLen;

  /// hostCallback may be null (then every host query answers 0). numPrograms and numParams below
  /// 0 count as 0. The record starts with no channels, no flags, uniqueID 0 and version 1.
  AudioEffect(audioMasterCallback hostCallback, VstInt32 numPrograms, VstInt32 numParams);
  /// Deletes the editor. Invalidates the AEffect record (the magic is cleared).
  virtual ~AudioEffect();
  AudioEffect(const AudioEffect&) = delete;
  AudioEffect& operator=(const AudioEffect&) = delete;

  /// The record handed to the host; stays at this address for the object's life.
  AEffect* getAeffect() { return &m_effect; }
  /// The object behind a host's record, or null when the record is null, lacks the magic or
  /// does not belong to the AudioEffect it names.
  static AudioEffect* FromAEffect(AEffect* effect) noexcept;

  // --- Record set-up (constructor or main thread; call ioChanged after a later change) ---
  void setUniqueID(VstInt32 id) { m_effect.uniqueID = id; }
  void setVersion(VstInt32 version) { m_effect.version = version; }
  void setNumInputs(VstInt32 count) { m_effect.numInputs = count < 0 ? 0 : count; }
  void setNumOutputs(VstInt32 count) { m_effect.numOutputs = count < 0 ? 0 : count; }
  void setInitialDelay(VstInt32 samples) { m_effect.initialDelay = samples < 0 ? 0 : samples; }
  void canProcessReplacing(bool state = true) { SetFlag(effFlagsCanReplacing, state); }
  void canDoubleReplacing(bool state = true) { SetFlag(effFlagsCanDoubleReplacing, state); }
  void programsAreChunks(bool state = true) { SetFlag(effFlagsProgramChunks, state); }
  void isSynth(bool state = true) { SetFlag(effFlagsIsSynth, state); }
  void noTail(bool state = true) { SetFlag(effFlagsNoSoundInStop, state); }
  /// Takes ownership of editor (null removes and deletes the current one) and sets or clears
  /// effFlagsHasEditor.
  void setEditor(AEffEditor* editor);
  AEffEditor* getEditor() const { return m_editor; }

  VstInt32 getNumInputs() const { return m_effect.numInputs; }
  VstInt32 getNumOutputs() const { return m_effect.numOutputs; }
  VstInt32 getNumParams() const { return m_effect.numParams; }
  VstInt32 getNumPrograms() const { return m_effect.numPrograms; }
  /// Rate and block size last set by the host (44100 Hz and 1024 samples until then).
  float getSampleRate() const { return m_sampleRate.load(std::memory_order_relaxed); }
  VstInt32 getBlockSize() const { return m_blockSize.load(std::memory_order_relaxed); }

  // --- Host callback ---
  audioMasterCallback getHostCallback() const { return m_hostCallback; }
  /// Calls the host with this effect's record; 0 when there is no callback.
  VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  /// audioMasterVersion: the host's interface version, 0 without a callback or a real host.
  VstInt32 getMasterVersion();
  VstInt32 getCurrentUniqueId();
  void masterIdle();
  /// Sets the parameter through setParameter, then tells the host (audioMasterAutomate). Indices
  /// outside 0 .. numParams - 1 are ignored. Called on the UI thread when the user moves a control.
  virtual void setParameterAutomated(VstInt32 index, float value);

  // --- Dispatcher ---
  /// Decodes one opcode into the virtual calls below. Arguments are the host's, unchecked; this
  /// function does the checks listed at the top of the file. Unknown opcodes answer 0.
  virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

  // --- Operations a plug-in overrides (all defaults are neutral) ---
  virtual void open() {}
  /// effClose: called right before the object deletes itself.
  virtual void close() {}
  virtual void suspend() {}
  virtual void resume() {}
  /// Called after the wrapper stored the new rate (finite and above 0; other rates are dropped).
  virtual void setSampleRate(float sampleRate) { (void)sampleRate; }
  /// Called after the wrapper stored the new size (above 0; other sizes are dropped).
  virtual void setBlockSize(VstInt32 blockSize) { (void)blockSize; }

  /// index is within 0 .. numPrograms - 1.
  virtual void setProgram(VstInt32 index) { (void)index; }
  virtual VstInt32 getProgram() { return 0; }
  /// name holds at most kVstMaxProgNameLen characters.
  virtual void setProgramName(char* name) { (void)name; }
  virtual void getProgramName(char* name) { (void)name; }

  /// index is within 0 .. numParams - 1 and value within 0..1.
  virtual void setParameter(VstInt32 index, float value)
  {
    (void)index;
    (void)value;
  }
  /// index is within 0 .. numParams - 1; the answer is clamped to 0..1 on its way to the host.
  virtual float getParameter(VstInt32 index)
  {
    (void)index;
    return 0.0f;
  }
  /// Texts: index is valid, text is a zeroed buffer of kTextCapacity bytes; the host receives
  /// the first kParamTextChars characters.
  virtual void getParameterLabel(VstInt32 index, char* text) { (void)index, (void)text; }
  virtual void getParameterDisplay(VstInt32 index, char* text) { (void)index, (void)text; }
  virtual void getParameterName(VstInt32 index, char* text) { (void)index, (void)text; }

  /// Points *data at the state bytes (kept alive by the plug-in until the next getChunk or its
  /// destruction) and answers their count; 0 for none. isPreset: program (true) or bank.
  virtual VstInt32 getChunk(void** data, bool isPreset)
  {
    (void)data, (void)isPreset;
    return 0;
  }
  /// data is non-null and byteSize above 0. Answers 1 when the state was taken.
  virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset)
  {
    (void)data, (void)byteSize, (void)isPreset;
    return 0;
  }

  /// Audio thread. inputs/outputs hold numInputs/numOutputs channel pointers (a channel pointer
  /// may be null if the host says so); sampleFrames is 0 or more. processReplacing overwrites
  /// outputs, process adds to them (retired, still used by old hosts), processDoubleReplacing
  /// is called only by hosts that saw effFlagsCanDoubleReplacing.
  virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
  {
    (void)inputs, (void)outputs, (void)sampleFrames;
  }
  virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames)
  {
    (void)inputs, (void)outputs, (void)sampleFrames;
  }
  virtual void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames)
  {
    (void)inputs, (void)outputs, (void)sampleFrames;
  }

protected:
  void SetFlag(VstInt32 flag, bool state);
  bool IsParameterIndex(VstInt32 index) const { return index >= 0 && index < m_effect.numParams; }

  AEffect m_effect{};
  audioMasterCallback m_hostCallback;
  AEffEditor* m_editor = nullptr;
  std::atomic<float> m_sampleRate{44100.0f};
  std::atomic<VstInt32> m_blockSize{1024};

private:
  static VstIntPtr VST2_CALL DispatchEntry(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                           void* ptr, float opt) noexcept;
  static void VST2_CALL ProcessEntry(AEffect* effect, float** inputs, float** outputs,
                                     VstInt32 sampleFrames) noexcept;
  static void VST2_CALL ProcessReplacingEntry(AEffect* effect, float** inputs, float** outputs,
                                              VstInt32 sampleFrames) noexcept;
  static void VST2_CALL ProcessDoubleReplacingEntry(AEffect* effect, double** inputs, double** outputs,
                                                    VstInt32 sampleFrames) noexcept;
  static void VST2_CALL SetParameterEntry(AEffect* effect, VstInt32 index, float value) noexcept;
  static float VST2_CALL GetParameterEntry(AEffect* effect, VstInt32 index) noexcept;
  static bool BuffersUsable(const AEffect* effect, const void* inputs, const void* outputs,
                            VstInt32 sampleFrames) noexcept;
};

/// Runs fill on a zeroed scratch buffer of AudioEffect::kTextCapacity bytes and copies at most
/// maxChars characters of the result, with a terminating zero, to target (maxChars + 1 bytes).
template <typename Fill>
void FillHostText(char* target, std::size_t maxChars, Fill&& fill)
{
  char scratch[AudioEffect::kTextCapacity] = {};
  fill(scratch);
  scratch[AudioEffect::kTextCapacity - 1] = '\0';
  CopyText(target, scratch, maxChars);
}
} // namespace Vst2
