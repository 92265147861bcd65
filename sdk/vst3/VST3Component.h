#pragma once
// The processing component: buses, speaker arrangements and the IComponent interface.
//
// The host calls IComponent on its main thread, between initialize and terminate. Bus indices
// count per media type and direction from 0.

#include "sdk/vst3/VST3Base.h"

namespace Steinberg::Vst
{
using MediaType = int32;
using BusDirection = int32;
using BusType = int32;
using IoMode = int32;
using Speaker = uint64;
using SpeakerArrangement = uint64; ///< bit set of Speaker values
using String128 = TChar[128];
using ParamID = uint32;
using ParamValue = double;
using UnitID = int32;
using ProgramListID = int32;
using CtrlNumber = int16;
using KnobMode = int32;
using SampleRate = double;
using TSamples = int64;
using TQuarterNotes = double;
using Sample32 = float;
using Sample64 = double;

enum MediaTypes : MediaType
{
  kAudio = 0,
  kEvent = 1,
  kNumMediaTypes = 2
};

enum BusDirections : BusDirection
{
  kInput = 0,
  kOutput = 1
};

enum BusTypes : BusType
{
  kMain = 0,
  kAux = 1
};

enum IoModes : IoMode
{
  kSimple = 0,
  kAdvanced = 1,
  kOfflineProcessing = 2
};

/// Description of one bus as the host reads it.
struct BusInfo
{
  enum BusFlags : uint32
  {
    kDefaultActive = 1 << 0,    ///< the bus is active after creation
    kIsControlVoltage = 1 << 1, ///< the bus carries control voltages, not audio
  };

  MediaType mediaType;
  BusDirection direction;
  int32 channelCount; ///< audio: speakers in the arrangement; events: MIDI channels
  String128 name;
  BusType busType;
  uint32 flags;
};

/// Routing question of IComponent::getRoutingInfo.
struct RoutingInfo
{
  MediaType mediaType;
  int32 busIndex;
  int32 channel; ///< -1 for all channels
};

namespace SpeakerArr
{
/// Single speaker bits.
constexpr Speaker kSpeakerL = 1ull << 0;
constexpr Speaker kSpeakerR = 1ull << 1;
constexpr Speaker kSpeakerC = 1ull << 2;
constexpr Speaker kSpeakerLfe = 1ull << 3;
constexpr Speaker kSpeakerLs = 1ull << 4;
constexpr Speaker kSpeakerRs = 1ull << 5;
constexpr Speaker kSpeakerLc = 1ull << 6;
constexpr Speaker kSpeakerRc = 1ull << 7;
constexpr Speaker kSpeakerS = 1ull << 8; ///< centre surround
constexpr Speaker kSpeakerCs = kSpeakerS;
constexpr Speaker kSpeakerSl = 1ull << 9;
constexpr Speaker kSpeakerSr = 1ull << 10;
constexpr Speaker kSpeakerTc = 1ull << 11;
constexpr Speaker kSpeakerTfl = 1ull << 12;
constexpr Speaker kSpeakerTfc = 1ull << 13;
constexpr Speaker kSpeakerTfr = 1ull << 14;
constexpr Speaker kSpeakerTrl = 1ull << 15;
constexpr Speaker kSpeakerTrc = 1ull << 16;
constexpr Speaker kSpeakerTrr = 1ull << 17;
constexpr Speaker kSpeakerLfe2 = 1ull << 18;
constexpr Speaker kSpeakerM = 1ull << 19; ///< mono

/// Common arrangements.
constexpr SpeakerArrangement kEmpty = 0;
constexpr SpeakerArrangement kMono = kSpeakerM;
constexpr SpeakerArrangement kStereo = kSpeakerL | kSpeakerR;
constexpr SpeakerArrangement kStereoSurround = kSpeakerLs | kSpeakerRs;
constexpr SpeakerArrangement k30Cine = kSpeakerL | kSpeakerR | kSpeakerC;
constexpr SpeakerArrangement k40Cine = kSpeakerL | kSpeakerR | kSpeakerC | kSpeakerS;
constexpr SpeakerArrangement k40Music = kSpeakerL | kSpeakerR | kSpeakerLs | kSpeakerRs;
constexpr SpeakerArrangement k50 = kSpeakerL | kSpeakerR | kSpeakerC | kSpeakerLs | kSpeakerRs;
constexpr SpeakerArrangement k51 = k50 | kSpeakerLfe;
constexpr SpeakerArrangement k70Music = k50 | kSpeakerSl | kSpeakerSr;
constexpr SpeakerArrangement k71Music = k70Music | kSpeakerLfe;
constexpr SpeakerArrangement k71Cine = k51 | kSpeakerLc | kSpeakerRc;
constexpr SpeakerArrangement k80Music = k70Music | kSpeakerCs;

/// Number of speakers (channels) in an arrangement.
constexpr int32 GetChannelCount(SpeakerArrangement arrangement)
{
  int32 count = 0;
  for (; arrangement != 0; arrangement &= arrangement - 1)
  {
    ++count;
  }
  return count;
}
} // namespace SpeakerArr

/// The processing part of a plug-in. Buses are described and switched here; state goes through
/// host streams.
class IComponent : public IPluginBase
{
public:
  /// Class ID of the separate controller, if any; kResultFalse when the component is its own.
  virtual tresult PLUGIN_API getControllerClassId(TUID classId) = 0;
  virtual tresult PLUGIN_API setIoMode(IoMode mode) = 0;
  virtual int32 PLUGIN_API getBusCount(MediaType type, BusDirection dir) = 0;
  virtual tresult PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) = 0;
  virtual tresult PLUGIN_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
  virtual tresult PLUGIN_API activateBus(MediaType type, BusDirection dir, int32 index, TBool state) = 0;
  virtual tresult PLUGIN_API setActive(TBool state) = 0;
  virtual tresult PLUGIN_API setState(IBStream* state) = 0;
  virtual tresult PLUGIN_API getState(IBStream* state) = 0;

  static constexpr FUID iid = MakeFUID(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
};

static_assert(sizeof(BusInfo) == 276 && offsetof(BusInfo, busType) == 268);
static_assert(sizeof(RoutingInfo) == 12);
static_assert(SpeakerArr::GetChannelCount(SpeakerArr::k80Music) == 8 && SpeakerArr::k80Music == 0x737);
} // namespace Steinberg::Vst
