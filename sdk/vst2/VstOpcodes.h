#pragma once
// Operation numbers of the VST 2.4 interface: what the host asks through AEffect::dispatcher
// (eff*) and what the plug-in asks through the host callback (audioMaster*).
//
// The numbers are fixed by the published interface. Gaps are retired operations; a plug-in
// answers them 0 and a host should not send them. The comment on each says how the arguments
// (index, value, ptr, opt) are used and what the answer means.

#include "sdk/vst2/AEffect.h"

namespace Vst2
{
/// Host → plug-in, through AEffect::dispatcher.
enum AEffectOpcodes : VstInt32
{
  effOpen = 0,            ///< after the entry returned; before any other call
  effClose = 1,           ///< last call: the plug-in deletes itself and its AEffect
  effSetProgram = 2,      ///< value: program index
  effGetProgram = 3,      ///< answer: current program index
  effSetProgramName = 4,  ///< ptr: char[kVstMaxProgNameLen + 1]
  effGetProgramName = 5,  ///< ptr: char[kVstMaxProgNameLen + 1] to fill
  effGetParamLabel = 6,   ///< index, ptr: text to fill (unit, "dB")
  effGetParamDisplay = 7, ///< index, ptr: text to fill (value as shown, "-6.0")
  effGetParamName = 8,    ///< index, ptr: text to fill ("Gain")
  effSetSampleRate = 10,  ///< opt: rate in Hz
  effSetBlockSize = 11,   ///< value: largest block in samples
  effMainsChanged = 12,   ///< value: 0 suspend, 1 resume
  effEditGetRect = 13,    ///< ptr: ERect** to receive the editor's rectangle
  effEditOpen = 14,       ///< ptr: native parent window
  effEditClose = 15,
  effEditIdle = 19, ///< periodic call on the UI thread while the editor is open
  effIdentify = 22, ///< retired; answers 'NvEf'
  effGetChunk = 23, ///< index: 1 program / 0 bank; ptr: void** to receive; answer: byte count
  effSetChunk = 24, ///< index as effGetChunk; value: byte count; ptr: the bytes

  effProcessEvents = 25,             ///< ptr: VstEvents*
  effCanBeAutomated = 26,            ///< index; answer 1 when automatable
  effString2Parameter = 27,          ///< index, ptr: text to parse (null asks whether parsing is supported)
  effGetProgramNameIndexed = 29,     ///< index: program, value: category, ptr: text to fill
  effGetInputProperties = 33,        ///< index: input channel, ptr: VstPinProperties*
  effGetOutputProperties = 34,       ///< index: output channel, ptr: VstPinProperties*
  effGetPlugCategory = 35,           ///< answer: VstPlugCategory
  effOfflineNotify = 38,             ///< ptr: VstAudioFile*, value: count, index: start flag
  effOfflinePrepare = 39,            ///< ptr: VstOfflineTask*, value: count
  effOfflineRun = 40,                ///< ptr: VstOfflineTask*, value: count
  effProcessVarIo = 41,              ///< ptr: VstVariableIo*
  effSetSpeakerArrangement = 42,     ///< value: input VstSpeakerArrangement*, ptr: output one
  effSetBlockSizeAndSampleRate = 43, ///< retired; value: block size, opt: rate
  effSetBypass = 44,                 ///< value: 1 bypass on
  effGetEffectName = 45,             ///< ptr: char[kVstMaxEffectNameLen + 1]
  effGetVendorString = 47,           ///< ptr: char[kVstMaxVendorStrLen + 1]
  effGetProductString = 48,          ///< ptr: char[kVstMaxProductStrLen + 1]
  effGetVendorVersion = 49,          ///< answer: plug-in version
  effVendorSpecific = 50,            ///< all arguments free for private use
  effCanDo = 51,                     ///< ptr: capability text; answer 1 yes, -1 no, 0 don't know
  effGetTailSize = 52,               ///< answer: tail in samples (0 default, 1 none)
  effGetParameterProperties = 56,    ///< index, ptr: VstParameterProperties*
  effGetVstVersion = 58,             ///< answer: kVstVersion
  effEditKeyDown = 59,               ///< index: character, value: VstVirtualKey, opt: VstModifierKey bits
  effEditKeyUp = 60,                 ///< as effEditKeyDown
  effSetEditKnobMode = 61,           ///< value: knob mode
  effGetMidiProgramName = 62,        ///< index: MIDI channel, ptr: MidiProgramName*
  effGetCurrentMidiProgram = 63,     ///< index: MIDI channel, ptr: MidiProgramName*
  effGetMidiProgramCategory = 64,    ///< index: MIDI channel, ptr: MidiProgramCategory*
  effHasMidiProgramsChanged = 65,    ///< index: MIDI channel
  effGetMidiKeyName = 66,            ///< index: MIDI channel, ptr: MidiKeyName*
  effBeginSetProgram = 67,
  effEndSetProgram = 68,
  effGetSpeakerArrangement = 69, ///< value: VstSpeakerArrangement** input, ptr: ...** output
  effShellGetNextPlugin = 70,    ///< ptr: char[kVstMaxProductStrLen + 1]; answer: next unique ID
  effStartProcess = 71,
  effStopProcess = 72,
  effSetTotalSampleToProcess = 73, ///< value: samples in the coming offline pass
  effSetPanLaw = 74,               ///< value: VstPanLawType, opt: gain
  effBeginLoadBank = 75,           ///< ptr: VstPatchChunkInfo*; answer -1 refuses the bank
  effBeginLoadProgram = 76,        ///< ptr: VstPatchChunkInfo*; answer -1 refuses the program
  effSetProcessPrecision = 77,     ///< value: VstProcessPrecision
  effGetNumMidiInputChannels = 78,
  effGetNumMidiOutputChannels = 79,
  kEffectOpcodeCount = 80 ///< first number past the 2.4 set
};

/// Plug-in → host, through the audioMasterCallback.
enum AudioMasterOpcodes : VstInt32
{
  audioMasterAutomate = 0,       ///< index: parameter, opt: new normalised value
  audioMasterVersion = 1,        ///< answer: host's interface version (2400); 0: not a host
  audioMasterCurrentId = 2,      ///< answer: unique ID of the plug-in being loaded (shells)
  audioMasterIdle = 3,           ///< lets the host run its idle work
  audioMasterWantMidi = 6,       ///< retired in 2.4, still honoured: value 1 asks for MIDI
  audioMasterGetTime = 7,        ///< value: VstTimeInfoFlags wanted; answer: VstTimeInfo* or 0
  audioMasterProcessEvents = 8,  ///< ptr: VstEvents* sent to the host
  audioMasterIOChanged = 13,     ///< numInputs/numOutputs/initialDelay changed
  audioMasterSizeWindow = 15,    ///< index: width, value: height; answer 1 accepted
  audioMasterGetSampleRate = 16, ///< answer: rate in Hz
  audioMasterGetBlockSize = 17,  ///< answer: block size in samples
  audioMasterGetInputLatency = 18,
  audioMasterGetOutputLatency = 19,
  audioMasterGetCurrentProcessLevel = 23, ///< answer: VstProcessLevels
  audioMasterGetAutomationState = 24,     ///< answer: VstAutomationStates
  audioMasterOfflineStart = 25,
  audioMasterOfflineRead = 26,
  audioMasterOfflineWrite = 27,
  audioMasterOfflineGetCurrentPass = 28,
  audioMasterOfflineGetCurrentMetaPass = 29,
  audioMasterGetVendorString = 32,  ///< ptr: char[kVstMaxVendorStrLen + 1] to fill
  audioMasterGetProductString = 33, ///< ptr: char[kVstMaxProductStrLen + 1] to fill
  audioMasterGetVendorVersion = 34,
  audioMasterVendorSpecific = 35,
  audioMasterCanDo = 37,         ///< ptr: capability text; answer 1 yes, -1 no, 0 don't know
  audioMasterGetLanguage = 38,   ///< answer: VstHostLanguage
  audioMasterGetDirectory = 41,  ///< answer: path of the plug-in's folder
  audioMasterUpdateDisplay = 42, ///< program or parameter names changed
  audioMasterBeginEdit = 43,     ///< index: parameter; the user starts a gesture
  audioMasterEndEdit = 44,       ///< index: parameter; the gesture ends
  audioMasterOpenFileSelector = 45,
  audioMasterCloseFileSelector = 46,
  kAudioMasterOpcodeCount = 50 ///< first number past the 2.4 set
};
} // namespace Vst2
