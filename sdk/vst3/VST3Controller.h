#pragma once
// The edit controller side: parameter records, the controller interfaces, units, MIDI mapping,
// the component handler the host gives the controller, messages between component and
// controller, and the host application interface.
//
// All of these run on the host's main (user-interface) thread.

#include "sdk/vst3/VST3Component.h"

namespace Steinberg
{
class IPlugView;
}

namespace Steinberg::Vst
{
constexpr UnitID kRootUnitId = 0;
constexpr UnitID kNoParentUnitId = -1;
constexpr ProgramListID kNoProgramListId = -1;

/// Description of one parameter. Values pass between host and plug-in normalised to 0..1;
/// stepCount 0 means continuous, n > 0 means n + 1 discrete values.
struct ParameterInfo
{
  enum ParameterFlags : int32
  {
    kNoFlags = 0,
    kCanAutomate = 1 << 0,
    kIsReadOnly = 1 << 1,
    kIsWrapAround = 1 << 2,
    kIsList = 1 << 3,
    kIsHidden = 1 << 4,
    kIsProgramChange = 1 << 15,
    kIsBypass = 1 << 16
  };

  ParamID id;
  String128 title;
  String128 shortTitle;
  String128 units;
  int32 stepCount;
  ParamValue defaultNormalizedValue;
  UnitID unitId;
  int32 flags;
};

/// Flags of IComponentHandler::restartComponent.
enum RestartFlags : int32
{
  kReloadComponent = 1 << 0,
  kIoChanged = 1 << 1,
  kParamValuesChanged = 1 << 2,
  kLatencyChanged = 1 << 3,
  kParamTitlesChanged = 1 << 4,
  kMidiCCAssignmentChanged = 1 << 5,
  kNoteExpressionChanged = 1 << 6,
  kIoTitlesChanged = 1 << 7,
  kPrefetchableSupportChanged = 1 << 8,
  kRoutingInfoChanged = 1 << 9,
  kKeyswitchChanged = 1 << 10
};

enum KnobModes : KnobMode
{
  kCircularMode = 0,
  kRelativCircularMode = 1,
  kLinearMode = 2
};

/// MIDI controller numbers beyond the 128 MIDI controllers, for IMidiMapping.
enum ControllerNumbers : CtrlNumber
{
  kAfterTouch = 128,
  kPitchBend = 129,
  kCountCtrlNumber = 130
};

/// Host side of a controller: edits of parameters and requests to restart.
class IComponentHandler : public FUnknown
{
public:
  virtual tresult PLUGIN_API beginEdit(ParamID id) = 0;
  virtual tresult PLUGIN_API performEdit(ParamID id, ParamValue valueNormalized) = 0;
  virtual tresult PLUGIN_API endEdit(ParamID id) = 0;
  virtual tresult PLUGIN_API restartComponent(int32 flags) = 0;

  static constexpr FUID iid = MakeFUID(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
};

/// Optional second interface of the host's component handler: the project's modified mark, and
/// grouped edits. The plug-in queries it from the handler and uses it only where offered.
class IComponentHandler2 : public FUnknown
{
public:
  /// The plug-in's state changed in a way the host cannot see from parameter edits.
  virtual tresult PLUGIN_API setDirty(TBool state) = 0;
  virtual tresult PLUGIN_API requestOpenEditor(FIDString name) = 0;
  virtual tresult PLUGIN_API startGroupEdit() = 0;
  virtual tresult PLUGIN_API finishGroupEdit() = 0;

  static constexpr FUID iid = MakeFUID(0xF040B4B3, 0xA36045EC, 0xABCDC045, 0xB4D5A2CC);
};

class IEditController : public IPluginBase
{
public:
  /// The host hands the component's state to the controller after loading it.
  virtual tresult PLUGIN_API setComponentState(IBStream* state) = 0;
  virtual tresult PLUGIN_API setState(IBStream* state) = 0;
  virtual tresult PLUGIN_API getState(IBStream* state) = 0;
  virtual int32 PLUGIN_API getParameterCount() = 0;
  virtual tresult PLUGIN_API getParameterInfo(int32 paramIndex, ParameterInfo& info) = 0;
  virtual tresult PLUGIN_API getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                   String128 string) = 0;
  virtual tresult PLUGIN_API getParamValueByString(ParamID id, TChar* string,
                                                   ParamValue& valueNormalized) = 0;
  virtual ParamValue PLUGIN_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
  virtual ParamValue PLUGIN_API plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
  virtual ParamValue PLUGIN_API getParamNormalized(ParamID id) = 0;
  virtual tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) = 0;
  virtual tresult PLUGIN_API setComponentHandler(IComponentHandler* handler) = 0;
  /// A new view with one reference, or null; the only name in use is "editor".
  virtual IPlugView* PLUGIN_API createView(FIDString name) = 0;

  static constexpr FUID iid = MakeFUID(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
};

/// Names of views for IEditController::createView.
namespace ViewType
{
constexpr const char8* kEditor = "editor";
}

class IEditController2 : public FUnknown
{
public:
  virtual tresult PLUGIN_API setKnobMode(KnobMode mode) = 0;
  virtual tresult PLUGIN_API openHelp(TBool onlyCheck) = 0;
  virtual tresult PLUGIN_API openAboutBox(TBool onlyCheck) = 0;

  static constexpr FUID iid = MakeFUID(0x7F4EFE59, 0xF3204967, 0xAC27A3AE, 0xAFB63038);
};

/// Maps MIDI controllers of event input buses to parameters.
class IMidiMapping : public FUnknown
{
public:
  virtual tresult PLUGIN_API getMidiControllerAssignment(int32 busIndex, int16 channel,
                                                         CtrlNumber midiControllerNumber, ParamID& id) = 0;

  static constexpr FUID iid = MakeFUID(0xDF0FF9F7, 0x49B74669, 0xB63AB732, 0x7ADBF5E5);
};

struct UnitInfo
{
  UnitID id;
  UnitID parentUnitId;
  String128 name;
  ProgramListID programListId;
};

struct ProgramListInfo
{
  ProgramListID id;
  String128 name;
  int32 programCount;
};

/// Units (parameter groups) and their program lists.
class IUnitInfo : public FUnknown
{
public:
  virtual int32 PLUGIN_API getUnitCount() = 0;
  virtual tresult PLUGIN_API getUnitInfo(int32 unitIndex, UnitInfo& info) = 0;
  virtual int32 PLUGIN_API getProgramListCount() = 0;
  virtual tresult PLUGIN_API getProgramListInfo(int32 listIndex, ProgramListInfo& info) = 0;
  virtual tresult PLUGIN_API getProgramName(ProgramListID listId, int32 programIndex, String128 name) = 0;
  virtual tresult PLUGIN_API getProgramInfo(ProgramListID listId, int32 programIndex, CString attributeId,
                                            String128 attributeValue) = 0;
  virtual tresult PLUGIN_API hasProgramPitchNames(ProgramListID listId, int32 programIndex) = 0;
  virtual tresult PLUGIN_API getProgramPitchName(ProgramListID listId, int32 programIndex, int16 midiPitch,
                                                 String128 name) = 0;
  virtual UnitID PLUGIN_API getSelectedUnit() = 0;
  virtual tresult PLUGIN_API selectUnit(UnitID unitId) = 0;
  virtual tresult PLUGIN_API getUnitByBus(MediaType type, BusDirection dir, int32 busIndex, int32 channel,
                                          UnitID& unitId) = 0;
  virtual tresult PLUGIN_API setUnitProgramData(int32 listOrUnitId, int32 programIndex, IBStream* data) = 0;

  static constexpr FUID iid = MakeFUID(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
};

using AttrID = const char8*;

/// Typed key-value attributes of a message.
class IAttributeList : public FUnknown
{
public:
  virtual tresult PLUGIN_API setInt(AttrID id, int64 value) = 0;
  virtual tresult PLUGIN_API getInt(AttrID id, int64& value) = 0;
  virtual tresult PLUGIN_API setFloat(AttrID id, double value) = 0;
  virtual tresult PLUGIN_API getFloat(AttrID id, double& value) = 0;
  virtual tresult PLUGIN_API setString(AttrID id, const TChar* string) = 0;
  virtual tresult PLUGIN_API getString(AttrID id, TChar* string, uint32 sizeInBytes) = 0;
  virtual tresult PLUGIN_API setBinary(AttrID id, const void* data, uint32 sizeInBytes) = 0;
  virtual tresult PLUGIN_API getBinary(AttrID id, const void*& data, uint32& sizeInBytes) = 0;

  static constexpr FUID iid = MakeFUID(0x1E5F0AEB, 0xCC7F4533, 0xA2544011, 0x38AD5EE4);
};

class IMessage : public FUnknown
{
public:
  virtual FIDString PLUGIN_API getMessageID() = 0;
  virtual void PLUGIN_API setMessageID(FIDString id) = 0;
  virtual IAttributeList* PLUGIN_API getAttributes() = 0;

  static constexpr FUID iid = MakeFUID(0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613);
};

/// Link between a component and its controller (or any two peers).
class IConnectionPoint : public FUnknown
{
public:
  virtual tresult PLUGIN_API connect(IConnectionPoint* other) = 0;
  virtual tresult PLUGIN_API disconnect(IConnectionPoint* other) = 0;
  virtual tresult PLUGIN_API notify(IMessage* message) = 0;

  static constexpr FUID iid = MakeFUID(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);
};

/// The host context passed to initialize answers this interface.
class IHostApplication : public FUnknown
{
public:
  virtual tresult PLUGIN_API getName(String128 name) = 0;
  virtual tresult PLUGIN_API createInstance(TUID cid, TUID iid, void** obj) = 0;

  static constexpr FUID iid = MakeFUID(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
};

static_assert(sizeof(ParameterInfo) == 792 && offsetof(ParameterInfo, stepCount) == 772);
static_assert(offsetof(ParameterInfo, defaultNormalizedValue) == 776 &&
              offsetof(ParameterInfo, flags) == 788);
static_assert(sizeof(UnitInfo) == 268 && sizeof(ProgramListInfo) == 264);
} // namespace Steinberg::Vst
