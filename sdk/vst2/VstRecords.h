#pragma once
// Records passed through the VST 2.4 opcodes, their enumerations and text limits.
//
// Layouts follow the published interface; static_asserts pin their sizes for 64-bit targets.
// Text limits count characters without the terminating zero: a buffer for a text of limit N
// holds N + 1 bytes, except the fixed char arrays inside records, which include the zero.

#include "sdk/vst2/AEffect.h"

#include <cstring>

namespace Vst2
{
/// Text limits (characters, terminator not counted) of the interface.
enum VstStringConstants : VstInt32
{
  kVstMaxProgNameLen = 24,
  kVstMaxParamStrLen = 8,
  kVstMaxVendorStrLen = 64,
  kVstMaxProductStrLen = 64,
  kVstMaxEffectNameLen = 32,
  kVstMaxNameLen = 64,
  kVstMaxLabelLen = 64,
  kVstMaxShortLabelLen = 8,
  kVstMaxCategLabelLen = 24,
  kVstMaxFileNameLen = 100
};

/// Copies at most maxChars characters of source and a terminating zero into target (which must
/// hold maxChars + 1 bytes). A null source gives an empty text; a null target does nothing.
inline void CopyText(char* target, const char* source, std::size_t maxChars) noexcept
{
  if (target == nullptr)
    return;
  std::size_t n = 0;
  if (source != nullptr)
    while (n < maxChars && source[n] != '\0')
      ++n;
  if (n > 0)
    std::memcpy(target, source, n);
  target[n] = '\0';
}

// ---------------------------------------------------------------------------------------------
// Events

enum VstEventTypes : VstInt32
{
  kVstMidiType = 1,
  kVstSysExType = 6
};

enum VstMidiEventFlags : VstInt32
{
  kVstMidiEventIsRealtime = 1 << 0 ///< played live, not from a sequencer track
};

/// Common head of every event; byteSize is the size of the whole record.
struct VstEvent
{
  VstInt32 type; ///< VstEventTypes
  VstInt32 byteSize;
  VstInt32 deltaFrames; ///< sample offset inside the current block
  VstInt32 flags;
  char data[16];
};

/// A short MIDI message: 1 to 3 bytes in midiData.
struct VstMidiEvent
{
  VstInt32 type;     ///< kVstMidiType
  VstInt32 byteSize; ///< sizeof(VstMidiEvent) = 32
  VstInt32 deltaFrames;
  VstInt32 flags;      ///< VstMidiEventFlags
  VstInt32 noteLength; ///< in samples, 0 unknown
  VstInt32 noteOffset; ///< samples into the note
  char midiData[4];    ///< status, data 1, data 2, 0
  char detune;         ///< cents, -64..63
  char noteOffVelocity;
  char reserved1;
  char reserved2;
};

/// A system-exclusive dump held elsewhere.
struct VstMidiSysexEvent
{
  VstInt32 type; ///< kVstSysExType
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  VstInt32 dumpBytes;
  VstIntPtr resvd1;
  char* sysexDump;
  VstIntPtr resvd2;
};

/// A block of events. The record is allocated with room for numEvents pointers; `events` is
/// declared with two entries only to give the record its published size.
struct VstEvents
{
  VstInt32 numEvents;
  VstIntPtr reserved;
  VstEvent* events[2];
};

/// Bytes a VstEvents block needs to carry count event pointers.
constexpr std::size_t VstEventsBytes(std::size_t count)
{
  return offsetof(VstEvents, events) + (count < 2 ? 2 : count) * sizeof(VstEvent*);
}

/// The event pointers of a block (numEvents of them). Reach them through this pointer, not through
/// `events[i]`: for the compiler and the bounds checkers, the declared two-entry array ends at 2.
inline VstEvent** EventPointers(VstEvents* block) noexcept
{
  return reinterpret_cast<VstEvent**>(reinterpret_cast<unsigned char*>(block) + offsetof(VstEvents, events));
}
inline VstEvent* const* EventPointers(const VstEvents* block) noexcept
{
  return reinterpret_cast<VstEvent* const*>(reinterpret_cast<const unsigned char*>(block) +
                                            offsetof(VstEvents, events));
}

/// Event i of a host's block when it is a well-formed short MIDI event; null when the block or
/// the entry is null, i is out of range, the type is not MIDI or the record is too small.
inline const VstMidiEvent* MidiEventAt(const VstEvents* events, VstInt32 i) noexcept
{
  if (events == nullptr || i < 0 || i >= events->numEvents)
    return nullptr;
  const VstEvent* event = EventPointers(events)[i];
  if (event == nullptr || event->type != kVstMidiType ||
      event->byteSize < static_cast<VstInt32>(offsetof(VstMidiEvent, detune)))
    return nullptr;
  return reinterpret_cast<const VstMidiEvent*>(event);
}

// ---------------------------------------------------------------------------------------------
// Transport

/// Validity and state bits of VstTimeInfo::flags; also the request mask of audioMasterGetTime.
enum VstTimeInfoFlags : VstInt32
{
  kVstTransportChanged = 1 << 0,
  kVstTransportPlaying = 1 << 1,
  kVstTransportCycleActive = 1 << 2,
  kVstTransportRecording = 1 << 3,
  kVstAutomationWriting = 1 << 6,
  kVstAutomationReading = 1 << 7,
  kVstNanosValid = 1 << 8,
  kVstPpqPosValid = 1 << 9,
  kVstTempoValid = 1 << 10,
  kVstBarsValid = 1 << 11,
  kVstCyclePosValid = 1 << 12,
  kVstTimeSigValid = 1 << 13,
  kVstSmpteValid = 1 << 14,
  kVstClockValid = 1 << 15
};

/// Transport state the host returns for audioMasterGetTime. Positions in quarter notes (ppq),
/// tempo in beats per minute; a field counts only when its flag bit is set.
struct VstTimeInfo
{
  double samplePos;          ///< samples since the song start (always valid)
  double sampleRate;         ///< Hz (always valid)
  double nanoSeconds;        ///< system time (kVstNanosValid)
  double ppqPos;             ///< song position (kVstPpqPosValid)
  double tempo;              ///< kVstTempoValid
  double barStartPos;        ///< position of the current bar's start (kVstBarsValid)
  double cycleStartPos;      ///< loop start (kVstCyclePosValid)
  double cycleEndPos;        ///< loop end (kVstCyclePosValid)
  VstInt32 timeSigNumerator; ///< kVstTimeSigValid
  VstInt32 timeSigDenominator;
  VstInt32 smpteOffset; ///< in subframes (kVstSmpteValid)
  VstInt32 smpteFrameRate;
  VstInt32 samplesToNextClock; ///< kVstClockValid
  VstInt32 flags;              ///< VstTimeInfoFlags
};

// ---------------------------------------------------------------------------------------------
// Channels and speakers

enum VstPinPropertiesFlags : VstInt32
{
  kVstPinIsActive = 1 << 0,
  kVstPinIsStereo = 1 << 1,  ///< first of a stereo pair
  kVstPinUseSpeaker = 1 << 2 ///< arrangementType is meaningful
};

/// Layouts of a bus, as VstSpeakerArrangement::type and VstPinProperties::arrangementType.
enum VstSpeakerArrangementType : VstInt32
{
  kSpeakerArrUserDefined = -2,
  kSpeakerArrEmpty = -1,
  kSpeakerArrMono = 0,
  kSpeakerArrStereo = 1,
  kSpeakerArrStereoSurround = 2,
  kSpeakerArrStereoCenter = 3,
  kSpeakerArrStereoSide = 4,
  kSpeakerArrStereoCLfe = 5,
  kSpeakerArr30Cine = 6,
  kSpeakerArr30Music = 7,
  kSpeakerArr31Cine = 8,
  kSpeakerArr31Music = 9,
  kSpeakerArr40Cine = 10,
  kSpeakerArr40Music = 11,
  kSpeakerArr41Cine = 12,
  kSpeakerArr41Music = 13,
  kSpeakerArr50 = 14,
  kSpeakerArr51 = 15,
  kSpeakerArr60Cine = 16,
  kSpeakerArr60Music = 17,
  kSpeakerArr61Cine = 18,
  kSpeakerArr61Music = 19,
  kSpeakerArr70Cine = 20,
  kSpeakerArr70Music = 21,
  kSpeakerArr71Cine = 22,
  kSpeakerArr71Music = 23,
  kSpeakerArr80Cine = 24,
  kSpeakerArr80Music = 25,
  kSpeakerArr81Cine = 26,
  kSpeakerArr81Music = 27,
  kSpeakerArr102 = 28,
  kNumSpeakerArr = 29
};

/// What a host learns about one input or output channel (effGet{Input,Output}Properties).
struct VstPinProperties
{
  char label[kVstMaxLabelLen];           ///< zero-terminated inside the array
  VstInt32 flags;                        ///< VstPinPropertiesFlags
  VstInt32 arrangementType;              ///< VstSpeakerArrangementType
  char shortLabel[kVstMaxShortLabelLen]; ///< zero-terminated inside the array
  char future[48];
};

enum VstSpeakerType : VstInt32
{
  kSpeakerUndefined = 0x7fffffff,
  kSpeakerM = 0,
  kSpeakerL = 1,
  kSpeakerR = 2,
  kSpeakerC = 3,
  kSpeakerLfe = 4,
  kSpeakerLs = 5,
  kSpeakerRs = 6,
  kSpeakerLc = 7,
  kSpeakerRc = 8,
  kSpeakerS = 9,
  kSpeakerSl = 10,
  kSpeakerSr = 11,
  kSpeakerTm = 12,
  kSpeakerTfl = 13,
  kSpeakerTfc = 14,
  kSpeakerTfr = 15,
  kSpeakerTrl = 16,
  kSpeakerTrc = 17,
  kSpeakerTrr = 18,
  kSpeakerLfe2 = 19
};

/// One speaker: direction in radians, distance in metres (LFE: angles 10, radius 0).
struct VstSpeakerProperties
{
  float azimuth;
  float elevation;
  float radius;
  float reserved;
  char name[kVstMaxNameLen];
  VstInt32 type; ///< VstSpeakerType
  char future[28];
};

/// A bus layout. Declared with 8 speakers; a host may allocate room for more (numChannels).
struct VstSpeakerArrangement
{
  VstInt32 type; ///< VstSpeakerArrangementType
  VstInt32 numChannels;
  VstSpeakerProperties speakers[8];
};

// ---------------------------------------------------------------------------------------------
// Editor

/// Editor rectangle in pixels.
struct ERect
{
  VstInt16 top;
  VstInt16 left;
  VstInt16 bottom;
  VstInt16 right;
};

/// A key event for the editor (effEditKeyDown/Up): a character, or 0 and a virtual key.
struct VstKeyCode
{
  VstInt32 character;
  unsigned char virt;     ///< VstVirtualKey
  unsigned char modifier; ///< VstModifierKey bits
};

enum VstVirtualKey : unsigned char
{
  VKEY_BACK = 1,
  VKEY_TAB,
  VKEY_CLEAR,
  VKEY_RETURN,
  VKEY_PAUSE,
  VKEY_ESCAPE,
  VKEY_SPACE,
  VKEY_NEXT,
  VKEY_END,
  VKEY_HOME,
  VKEY_LEFT,
  VKEY_UP,
  VKEY_RIGHT,
  VKEY_DOWN,
  VKEY_PAGEUP,
  VKEY_PAGEDOWN,
  VKEY_SELECT,
  VKEY_PRINT,
  VKEY_ENTER,
  VKEY_SNAPSHOT,
  VKEY_INSERT,
  VKEY_DELETE,
  VKEY_HELP,
  VKEY_NUMPAD0,
  VKEY_NUMPAD1,
  VKEY_NUMPAD2,
  VKEY_NUMPAD3,
  VKEY_NUMPAD4,
  VKEY_NUMPAD5,
  VKEY_NUMPAD6,
  VKEY_NUMPAD7,
  VKEY_NUMPAD8,
  VKEY_NUMPAD9,
  VKEY_MULTIPLY,
  VKEY_ADD,
  VKEY_SEPARATOR,
  VKEY_SUBTRACT,
  VKEY_DECIMAL,
  VKEY_DIVIDE,
  VKEY_F1,
  VKEY_F2,
  VKEY_F3,
  VKEY_F4,
  VKEY_F5,
  VKEY_F6,
  VKEY_F7,
  VKEY_F8,
  VKEY_F9,
  VKEY_F10,
  VKEY_F11,
  VKEY_F12,
  VKEY_NUMLOCK,
  VKEY_SCROLL,
  VKEY_SHIFT,
  VKEY_CONTROL,
  VKEY_ALT,
  VKEY_EQUALS
};

enum VstModifierKey : unsigned char
{
  MODIFIER_SHIFT = 1 << 0,
  MODIFIER_ALTERNATE = 1 << 1,
  MODIFIER_COMMAND = 1 << 2,
  MODIFIER_CONTROL = 1 << 3
};

// ---------------------------------------------------------------------------------------------
// Parameters, programs, plug-in description

enum VstParameterFlags : VstInt32
{
  kVstParameterIsSwitch = 1 << 0,
  kVstParameterUsesIntegerMinMax = 1 << 1,
  kVstParameterUsesFloatStep = 1 << 2,
  kVstParameterUsesIntStep = 1 << 3,
  kVstParameterSupportsDisplayIndex = 1 << 4,
  kVstParameterSupportsDisplayCategory = 1 << 5,
  kVstParameterCanRamp = 1 << 6
};

struct VstParameterProperties
{
  float stepFloat;
  float smallStepFloat;
  float largeStepFloat;
  char label[kVstMaxLabelLen];
  VstInt32 flags; ///< VstParameterFlags
  VstInt32 minInteger;
  VstInt32 maxInteger;
  VstInt32 stepInteger;
  VstInt32 largeStepInteger;
  char shortLabel[kVstMaxShortLabelLen];
  VstInt16 displayIndex;
  VstInt16 category;
  VstInt16 numParametersInCategory;
  VstInt16 reserved;
  char categoryLabel[kVstMaxCategLabelLen];
  char future[16];
};

enum VstPlugCategory : VstInt32
{
  kPlugCategUnknown = 0,
  kPlugCategEffect,
  kPlugCategSynth,
  kPlugCategAnalysis,
  kPlugCategMastering,
  kPlugCategSpacializer,
  kPlugCategRoomFx,
  kPlugSurroundFx,
  kPlugCategRestoration,
  kPlugCategOfflineProcess,
  kPlugCategShell,
  kPlugCategGenerator
};

enum VstProcessLevels : VstInt32
{
  kVstProcessLevelUnknown = 0,
  kVstProcessLevelUser,
  kVstProcessLevelRealtime,
  kVstProcessLevelPrefetch,
  kVstProcessLevelOffline
};

enum VstAutomationStates : VstInt32
{
  kVstAutomationUnsupported = 0,
  kVstAutomationOff,
  kVstAutomationRead,
  kVstAutomationWrite,
  kVstAutomationReadWrite
};

enum VstProcessPrecision : VstInt32
{
  kVstProcessPrecision32 = 0,
  kVstProcessPrecision64
};

enum VstPanLawType : VstInt32
{
  kLinearPanLaw = 0,
  kEqualPowerPanLaw
};

enum VstMidiProgramNameFlags : VstInt32
{
  kMidiIsOmni = 1
};

struct MidiProgramName
{
  VstInt32 thisProgramIndex;
  char name[kVstMaxNameLen];
  char midiProgram;
  char midiBankMsb;
  char midiBankLsb;
  char reserved;
  VstInt32 parentCategoryIndex;
  VstInt32 flags;
};

struct MidiProgramCategory
{
  VstInt32 thisCategoryIndex;
  char name[kVstMaxNameLen];
  VstInt32 parentCategoryIndex;
  VstInt32 flags;
};

struct MidiKeyName
{
  VstInt32 thisProgramIndex;
  VstInt32 thisKeyNumber;
  char keyName[kVstMaxNameLen];
  VstInt32 reserved;
  VstInt32 flags;
};

/// Description of a bank or program about to be loaded (effBeginLoadBank/Program).
struct VstPatchChunkInfo
{
  VstInt32 version;
  VstInt32 pluginUniqueID;
  VstInt32 pluginVersion;
  VstInt32 numElements;
  char future[48];
};

/// Variable-rate processing request (effProcessVarIo).
struct VstVariableIo
{
  float** inputs;
  float** outputs;
  VstInt32 numSamplesInput;
  VstInt32 numSamplesOutput;
  VstInt32* numSamplesInputProcessed;
  VstInt32* numSamplesOutputProcessed;
};

/// Records of the offline interface; this code never looks inside them.
struct VstAudioFile;
struct VstOfflineTask;

static_assert(sizeof(VstEvent) == 32 && sizeof(VstMidiEvent) == 32);
static_assert(offsetof(VstMidiEvent, midiData) == 24 && offsetof(VstMidiEvent, detune) == 28);
static_assert(sizeof(VstTimeInfo) == 88 && offsetof(VstTimeInfo, ppqPos) == 24);
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64 && offsetof(VstTimeInfo, flags) == 84);
static_assert(sizeof(VstPinProperties) == 128 && offsetof(VstPinProperties, shortLabel) == 72);
static_assert(sizeof(VstSpeakerProperties) == 112 && offsetof(VstSpeakerProperties, type) == 80);
static_assert(sizeof(VstSpeakerArrangement) == 8 + 8 * 112);
static_assert(sizeof(ERect) == 8 && sizeof(VstKeyCode) == 8);
static_assert(sizeof(VstParameterProperties) == 152 &&
              offsetof(VstParameterProperties, categoryLabel) == 112);
static_assert(sizeof(MidiProgramName) == 80 && sizeof(MidiProgramCategory) == 76 &&
              sizeof(MidiKeyName) == 80);
static_assert(sizeof(VstPatchChunkInfo) == 64);
#if INTPTR_MAX == INT64_MAX
static_assert(sizeof(VstEvents) == 32 && offsetof(VstEvents, events) == 16);
static_assert(sizeof(VstMidiSysexEvent) == 48 && offsetof(VstMidiSysexEvent, sysexDump) == 32);
static_assert(sizeof(VstVariableIo) == 40);
#elif INTPTR_MAX == INT32_MAX
static_assert(sizeof(VstEvents) == 16 && sizeof(VstMidiSysexEvent) == 32);
#endif
} // namespace Vst2
