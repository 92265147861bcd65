#pragma once
// Audio processing: setup and block records, transport context, events, parameter change
// queues and the IAudioProcessor interface.
//
// process runs on the host's audio thread; setupProcessing, setBusArrangements and
// setProcessing on its main thread while the component is inactive (setProcessing: active).
// The containers a host hands to process (parameter changes, event lists) are valid only for
// that call, and their pointers carry no added reference.

#include "sdk/vst3/VST3Component.h"

namespace Steinberg::Vst
{
enum ProcessModes : int32
{
  kRealtime = 0,
  kPrefetch = 1,
  kOffline = 2
};

enum SymbolicSampleSizes : int32
{
  kSample32 = 0,
  kSample64 = 1
};

/// getTailSamples answers: no tail, or an endless one.
constexpr uint32 kNoTail = 0;
constexpr uint32 kInfiniteTail = 0xFFFFFFFFu;

/// Processing parameters the host fixes before activation.
struct ProcessSetup
{
  int32 processMode;
  int32 symbolicSampleSize;
  int32 maxSamplesPerBlock;
  SampleRate sampleRate; ///< Hz
};

/// The channels of one bus in one block. Bit n of silenceFlags marks channel n as silent.
struct AudioBusBuffers
{
  int32 numChannels;
  uint64 silenceFlags;
  union
  {
    Sample32** channelBuffers32;
    Sample64** channelBuffers64;
  };
};

struct Chord
{
  uint8 keyNote;
  uint8 rootNote;
  int16 chordMask;
};

struct FrameRate
{
  enum FrameRateFlags : uint32
  {
    kPullDownRate = 1 << 0,
    kDropRate = 1 << 1
  };
  uint32 framesPerSecond;
  uint32 flags;
};

/// Transport state of one block. Each field is meaningful only when its valid flag is set.
struct ProcessContext
{
  enum StatesAndFlags : uint32
  {
    kPlaying = 1 << 1,
    kCycleActive = 1 << 2,
    kRecording = 1 << 3,
    kSystemTimeValid = 1 << 8,
    kProjectTimeMusicValid = 1 << 9,
    kTempoValid = 1 << 10,
    kBarPositionValid = 1 << 11,
    kCycleValid = 1 << 12,
    kTimeSigValid = 1 << 13,
    kSmpteValid = 1 << 14,
    kClockValid = 1 << 15,
    kContTimeValid = 1 << 17,
    kChordValid = 1 << 18
  };

  uint32 state;
  double sampleRate;
  TSamples projectTimeSamples;
  int64 systemTime; ///< nanoseconds
  TSamples continousTimeSamples;
  TQuarterNotes projectTimeMusic;
  TQuarterNotes barPositionMusic;
  TQuarterNotes cycleStartMusic;
  TQuarterNotes cycleEndMusic;
  double tempo; ///< beats per minute
  int32 timeSigNumerator;
  int32 timeSigDenominator;
  Chord chord;
  int32 smpteOffsetSubframes;
  FrameRate frameRate;
  int32 samplesToNextClock;
};

struct NoteOnEvent
{
  int16 channel;
  int16 pitch;    ///< MIDI key 0..127
  float tuning;   ///< cents
  float velocity; ///< 0..1
  int32 length;
  int32 noteId; ///< -1 when unknown
};

struct NoteOffEvent
{
  int16 channel;
  int16 pitch;
  float velocity;
  int32 noteId;
  float tuning;
};

/// Raw bytes (system exclusive); the bytes belong to the sender and live for the block.
struct DataEvent
{
  enum DataTypes : uint32
  {
    kMidiSysEx = 0
  };
  uint32 size;
  uint32 type;
  const uint8* bytes;
};

struct PolyPressureEvent
{
  int16 channel;
  int16 pitch;
  float pressure;
  int32 noteId;
};

struct NoteExpressionValueEvent
{
  uint32 typeId;
  int32 noteId;
  double value;
};

struct NoteExpressionTextEvent
{
  uint32 typeId;
  int32 noteId;
  uint32 textLen;
  const TChar* text;
};

struct ChordEvent
{
  int16 root;
  int16 bassNote;
  int16 mask;
  uint16 textLen;
  const TChar* text;
};

struct ScaleEvent
{
  int16 root;
  int16 mask;
  uint16 textLen;
  const TChar* text;
};

/// A MIDI controller sent from the plug-in to the host.
struct LegacyMIDICCOutEvent
{
  uint8 controlNumber;
  int8 channel;
  int8 value;
  int8 value2;
};

/// One event of an IEventList; `type` selects the member of the union.
struct Event
{
  enum EventFlags : uint16
  {
    kIsLive = 1 << 0,
    kUserReserved1 = 1 << 14,
    kUserReserved2 = 1 << 15
  };
  enum EventTypes : uint16
  {
    kNoteOnEvent = 0,
    kNoteOffEvent = 1,
    kDataEvent = 2,
    kPolyPressureEvent = 3,
    kNoteExpressionValueEvent = 4,
    kNoteExpressionTextEvent = 5,
    kChordEvent = 6,
    kScaleEvent = 7,
    kLegacyMIDICCOutEvent = 65535
  };

  int32 busIndex;
  int32 sampleOffset; ///< from the start of the block
  TQuarterNotes ppqPosition;
  uint16 flags;
  uint16 type;
  union
  {
    NoteOnEvent noteOn;
    NoteOffEvent noteOff;
    DataEvent data;
    PolyPressureEvent polyPressure;
    NoteExpressionValueEvent noteExpressionValue;
    NoteExpressionTextEvent noteExpressionText;
    ChordEvent chord;
    ScaleEvent scale;
    LegacyMIDICCOutEvent midiCCOut;
  };
};

/// The points of one parameter within a block, ordered by sample offset. The last point holds
/// the value at the end of the block.
class IParamValueQueue : public FUnknown
{
public:
  virtual ParamID PLUGIN_API getParameterId() = 0;
  virtual int32 PLUGIN_API getPointCount() = 0;
  virtual tresult PLUGIN_API getPoint(int32 index, int32& sampleOffset, ParamValue& value) = 0;
  virtual tresult PLUGIN_API addPoint(int32 sampleOffset, ParamValue value, int32& index) = 0;

  static constexpr FUID iid = MakeFUID(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
};

/// All parameter queues of one block, one queue per parameter.
class IParameterChanges : public FUnknown
{
public:
  virtual int32 PLUGIN_API getParameterCount() = 0;
  virtual IParamValueQueue* PLUGIN_API getParameterData(int32 index) = 0;
  /// Answers the queue of `id` (new or existing) and its index; null when no room is left.
  virtual IParamValueQueue* PLUGIN_API addParameterData(const ParamID& id, int32& index) = 0;

  static constexpr FUID iid = MakeFUID(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
};

class IEventList : public FUnknown
{
public:
  virtual int32 PLUGIN_API getEventCount() = 0;
  virtual tresult PLUGIN_API getEvent(int32 index, Event& e) = 0;
  virtual tresult PLUGIN_API addEvent(Event& e) = 0;

  static constexpr FUID iid = MakeFUID(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
};

/// Everything one process call receives. Any pointer may be null; numSamples may be 0 (a call
/// that only delivers parameter changes).
struct ProcessData
{
  int32 processMode;
  int32 symbolicSampleSize;
  int32 numSamples;
  int32 numInputs;  ///< entries in `inputs`
  int32 numOutputs; ///< entries in `outputs`
  AudioBusBuffers* inputs;
  AudioBusBuffers* outputs;
  IParameterChanges* inputParameterChanges;
  IParameterChanges* outputParameterChanges;
  IEventList* inputEvents;
  IEventList* outputEvents;
  ProcessContext* processContext;
};

class IAudioProcessor : public FUnknown
{
public:
  virtual tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                SpeakerArrangement* outputs, int32 numOuts) = 0;
  virtual tresult PLUGIN_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) = 0;
  virtual tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) = 0;
  virtual uint32 PLUGIN_API getLatencySamples() = 0;
  virtual tresult PLUGIN_API setupProcessing(ProcessSetup& setup) = 0;
  virtual tresult PLUGIN_API setProcessing(TBool state) = 0;
  virtual tresult PLUGIN_API process(ProcessData& data) = 0;
  virtual uint32 PLUGIN_API getTailSamples() = 0;

  static constexpr FUID iid = MakeFUID(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
};

// Layouts on 64-bit targets (natural alignment, 8-byte pointers).
static_assert(sizeof(void*) != 8 || sizeof(ProcessSetup) == 24);
static_assert(sizeof(void*) != 8 ||
              (sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, silenceFlags) == 8));
static_assert(sizeof(void*) != 8 || (sizeof(ProcessData) == 80 && offsetof(ProcessData, inputs) == 24));
static_assert(sizeof(ProcessContext) == 112 && offsetof(ProcessContext, tempo) == 72);
static_assert(offsetof(ProcessContext, chord) == 88 && offsetof(ProcessContext, samplesToNextClock) == 104);
static_assert(sizeof(NoteOnEvent) == 20 && sizeof(NoteOffEvent) == 16);
static_assert(sizeof(void*) != 8 || (sizeof(Event) == 48 && offsetof(Event, noteOn) == 24));
} // namespace Steinberg::Vst
