#pragma once
// AudioEffectX: AudioEffect plus the opcodes and host queries added up to interface version 2.4.
//
// The dispatcher decodes opcodes 25 and up into the virtuals below and hands the rest to
// AudioEffect. The checks of AudioEffect apply here too:
// - channel, parameter and program indices are range-checked before any virtual runs
//   (pins: 0 .. numInputs/numOutputs - 1, MIDI channels 0..15);
// - records the host passes are checked for null; a pin or parameter record is filled through a
//   copy and its texts are terminated inside their arrays before it goes back;
// - texts reach the host cut to: effect name kVstMaxEffectNameLen, vendor and product
//   kVstMaxVendorStrLen/kVstMaxProductStrLen, program names kVstMaxProgNameLen.
// Host queries answer 0 (or null, or false) when the host does not answer or there is no callback.

#include "sdk/vst2/AudioEffect.h"

namespace Vst2
{
class AudioEffectX : public AudioEffect
{
public:
  AudioEffectX(audioMasterCallback hostCallback, VstInt32 numPrograms, VstInt32 numParams);

  VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

  // --- Host queries and notifications ---
  /// Asks the host to send MIDI (audioMasterWantMidi, value filter: 1 for MIDI). Still honoured
  /// by 2.4 hosts although retired from the interface.
  bool wantEvents(VstInt32 filter = 1);
  /// Transport record of the host for the current block, or null. filter: VstTimeInfoFlags the
  /// plug-in needs. The record belongs to the host and is valid until the block ends.
  VstTimeInfo* getTimeInfo(VstInt32 filter);
  /// Sends events to the host (audio thread, from processReplacing). Answers true when taken.
  bool sendVstEventsToHost(VstEvents* events);
  /// Tells the host that numInputs, numOutputs or initialDelay changed. True when acknowledged.
  bool ioChanged();
  /// Asks the host to resize the editor window. True when the host did.
  bool sizeWindow(VstInt32 width, VstInt32 height);
  /// Queries the host's rate (and keeps it when it is finite and above 0); answers the kept rate.
  double updateSampleRate();
  /// Queries the host's block size (kept when above 0); answers the kept size.
  VstInt32 updateBlockSize();
  VstInt32 getInputLatency();
  VstInt32 getOutputLatency();
  /// VstProcessLevels, 0 when unknown.
  VstInt32 getCurrentProcessLevel();
  /// VstAutomationStates, 0 when unsupported.
  VstInt32 getAutomationState();
  /// Fill text (kVstMaxVendorStrLen + 1 / kVstMaxProductStrLen + 1 bytes) with the host's name;
  /// an empty text and false when the host gives none.
  bool getHostVendorString(char* text);
  bool getHostProductString(char* text);
  VstInt32 getHostVendorVersion();
  /// 1 yes, -1 no, 0 unknown; other answers of the host are reported as 0.
  VstInt32 canHostDo(const char* text);
  /// Start and end of a user gesture on parameter index (UI thread).
  bool beginEdit(VstInt32 index);
  bool endEdit(VstInt32 index);
  /// Program or parameter names changed.
  bool updateDisplay();

  // --- Operations a plug-in overrides (all defaults are neutral) ---
  /// events is non-null with numEvents ≥ 0; entries may be null or of any type (MidiEventAt
  /// picks the well-formed MIDI ones). Audio thread, before the block they belong to.
  virtual VstInt32 processEvents(VstEvents* events)
  {
    (void)events;
    return 0;
  }
  virtual bool canParameterBeAutomated(VstInt32 index)
  {
    (void)index;
    return false;
  }
  /// text may be null: then answer whether parsing is supported.
  virtual bool string2parameter(VstInt32 index, char* text)
  {
    (void)index, (void)text;
    return false;
  }
  virtual bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text)
  {
    (void)category, (void)index, (void)text;
    return false;
  }
  /// index is a valid channel; properties holds what the host put in the record.
  virtual bool getInputProperties(VstInt32 index, VstPinProperties* properties)
  {
    (void)index, (void)properties;
    return false;
  }
  virtual bool getOutputProperties(VstInt32 index, VstPinProperties* properties)
  {
    (void)index, (void)properties;
    return false;
  }
  virtual VstPlugCategory getPlugCategory() { return kPlugCategUnknown; }
  virtual bool offlineNotify(VstAudioFile* files, VstInt32 count, bool start)
  {
    (void)files, (void)count, (void)start;
    return false;
  }
  virtual bool offlinePrepare(VstOfflineTask* tasks, VstInt32 count)
  {
    (void)tasks, (void)count;
    return false;
  }
  virtual bool offlineRun(VstOfflineTask* tasks, VstInt32 count)
  {
    (void)tasks, (void)count;
    return false;
  }
  virtual bool processVariableIo(VstVariableIo* io)
  {
    (void)io;
    return false;
  }
  /// Either arrangement may be null (the host leaves that side as it is); numChannels ≥ 0.
  virtual bool setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output)
  {
    (void)input, (void)output;
    return false;
  }
  /// *input and *output are null on entry; point them at records the plug-in keeps.
  virtual bool getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output)
  {
    (void)input, (void)output;
    return false;
  }
  /// Retired combined call; the default runs both setters after the wrapper stored the values.
  virtual void setBlockSizeAndSampleRate(VstInt32 blockSize, float sampleRate);
  virtual bool setBypass(bool onOff)
  {
    (void)onOff;
    return false;
  }
  /// Texts: a zeroed buffer of kTextCapacity bytes; the host receives the limit of the opcode.
  virtual bool getEffectName(char* name)
  {
    (void)name;
    return false;
  }
  virtual bool getVendorString(char* text)
  {
    (void)text;
    return false;
  }
  virtual bool getProductString(char* text)
  {
    (void)text;
    return false;
  }
  virtual VstInt32 getVendorVersion() { return 0; }
  virtual VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt)
  {
    (void)index, (void)value, (void)ptr, (void)opt;
    return 0;
  }
  /// text is non-null. Answer 1 (can), -1 (cannot) or 0 (don't know).
  virtual VstInt32 canDo(const char* text)
  {
    (void)text;
    return 0;
  }
  virtual VstInt32 getTailSize() { return 0; }
  virtual bool getParameterProperties(VstInt32 index, VstParameterProperties* properties)
  {
    (void)index, (void)properties;
    return false;
  }
  virtual VstInt32 getVstVersion() { return kVstVersion; }
  /// MIDI program queries: channel is 0..15, the record is non-null.
  virtual VstInt32 getMidiProgramName(VstInt32 channel, MidiProgramName* name)
  {
    (void)channel, (void)name;
    return 0;
  }
  virtual VstInt32 getCurrentMidiProgram(VstInt32 channel, MidiProgramName* current)
  {
    (void)channel, (void)current;
    return -1;
  }
  virtual VstInt32 getMidiProgramCategory(VstInt32 channel, MidiProgramCategory* category)
  {
    (void)channel, (void)category;
    return 0;
  }
  virtual bool hasMidiProgramsChanged(VstInt32 channel)
  {
    (void)channel;
    return false;
  }
  virtual bool getMidiKeyName(VstInt32 channel, MidiKeyName* keyName)
  {
    (void)channel, (void)keyName;
    return false;
  }
  virtual bool beginSetProgram() { return false; }
  virtual bool endSetProgram() { return false; }
  /// Shell plug-ins only: fill name and answer the next unique ID (0 when done).
  virtual VstInt32 getNextShellPlugin(char* name)
  {
    (void)name;
    return 0;
  }
  virtual VstInt32 startProcess() { return 0; }
  virtual VstInt32 stopProcess() { return 0; }
  virtual VstInt32 setTotalSampleToProcess(VstInt32 value) { return value; }
  virtual bool setPanLaw(VstInt32 type, float gain)
  {
    (void)type, (void)gain;
    return false;
  }
  /// Answer -1 to refuse the bank or program, 0 when unknown, 1 to accept.
  virtual VstInt32 beginLoadBank(VstPatchChunkInfo* info)
  {
    (void)info;
    return 0;
  }
  virtual VstInt32 beginLoadProgram(VstPatchChunkInfo* info)
  {
    (void)info;
    return 0;
  }
  virtual bool setProcessPrecision(VstInt32 precision)
  {
    (void)precision;
    return false;
  }
  virtual VstInt32 getNumMidiInputChannels() { return 0; }
  virtual VstInt32 getNumMidiOutputChannels() { return 0; }

private:
  bool IsMidiChannel(VstInt32 channel) const { return channel >= 0 && channel < 16; }
  VstIntPtr DispatchPins(VstInt32 opcode, VstInt32 index, void* ptr);
  VstIntPtr DispatchEditorKey(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt);
  VstIntPtr DispatchMidiPrograms(VstInt32 opcode, VstInt32 channel, void* ptr);
};
} // namespace Vst2
