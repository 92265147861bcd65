#pragma once
// Base classes of a plug-in's controller side.
//
// EditController answers IEditController and IEditController2 over a ParameterContainer and
// keeps the host's component handler. EditControllerEx1 adds IUnitInfo with a list of units
// (initially the root unit alone) and no program lists.
//
// Threads: the host's main thread for everything; the handler calls (BeginEdit, PerformEdit,
// EndEdit, RestartComponent) too.

#include "sdk/vst3/Component.h"
#include "sdk/vst3/Parameter.h"

#include <atomic>

namespace Steinberg::Vst
{
class EditController : public ComponentBase, public IEditController, public IEditController2
{
  TONVERA_VST3_FORWARD_FUNKNOWN(ComponentBase)

public:
  EditController();

  tresult PLUGIN_API initialize(FUnknown* context) override;
  /// Removes all parameters and releases the component handler, the context and the peer.
  tresult PLUGIN_API terminate() override;

  /// Defaults for the three state calls: kNotImplemented.
  tresult PLUGIN_API setComponentState(IBStream* state) override;
  tresult PLUGIN_API setState(IBStream* state) override;
  tresult PLUGIN_API getState(IBStream* state) override;
  int32 PLUGIN_API getParameterCount() override;
  /// kResultOk, or kInvalidArgument for an index out of range.
  tresult PLUGIN_API getParameterInfo(int32 paramIndex, ParameterInfo& info) override;
  /// kResultOk with the parameter's text, kInvalidArgument for an unknown ID or null text.
  tresult PLUGIN_API getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) override;
  /// kResultOk, kResultFalse for text that is not understood, kInvalidArgument for an unknown ID.
  tresult PLUGIN_API getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) override;
  /// The parameter's conversion; the value itself for an unknown ID.
  ParamValue PLUGIN_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) override;
  ParamValue PLUGIN_API plainParamToNormalized(ParamID id, ParamValue plainValue) override;
  /// The stored value, 0 for an unknown ID.
  ParamValue PLUGIN_API getParamNormalized(ParamID id) override;
  /// Stores the value (clamped): kResultOk, or kInvalidArgument for an unknown ID.
  tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) override;
  /// Keeps the handler with a reference (null releases it); kResultOk.
  tresult PLUGIN_API setComponentHandler(IComponentHandler* handler) override;
  /// Default: no view.
  IPlugView* PLUGIN_API createView(FIDString name) override;

  /// Stores the mode for the whole module (see GetKnobMode); kResultOk.
  tresult PLUGIN_API setKnobMode(KnobMode mode) override;
  tresult PLUGIN_API openHelp(TBool onlyCheck) override;
  tresult PLUGIN_API openAboutBox(TBool onlyCheck) override;

  /// Forwarders to the component handler: kResultFalse when there is none.
  tresult BeginEdit(ParamID id);
  tresult PerformEdit(ParamID id, ParamValue valueNormalized);
  tresult EndEdit(ParamID id);
  tresult RestartComponent(int32 flags);

  IComponentHandler* GetComponentHandler() const { return m_componentHandler; }
  ParameterContainer& GetParameters() { return m_parameters; }
  static KnobMode GetKnobMode() { return s_knobMode.load(std::memory_order_relaxed); }

protected:
  ~EditController() override;
  void CollectInterfaces(InterfaceTable& table) override;

  ParameterContainer m_parameters;

private:
  IComponentHandler* m_componentHandler = nullptr;
  static std::atomic<KnobMode> s_knobMode;
};

class EditControllerEx1 : public EditController, public IUnitInfo
{
  TONVERA_VST3_FORWARD_FUNKNOWN(EditController)

public:
  /// Starts with the root unit (ID 0, no parent, no program list) named "Root".
  EditControllerEx1();

  int32 PLUGIN_API getUnitCount() override;
  /// kResultOk, or kInvalidArgument for an index out of range.
  tresult PLUGIN_API getUnitInfo(int32 unitIndex, UnitInfo& info) override;
  /// No program lists: 0, and kResultFalse from every program call below.
  int32 PLUGIN_API getProgramListCount() override;
  tresult PLUGIN_API getProgramListInfo(int32 listIndex, ProgramListInfo& info) override;
  tresult PLUGIN_API getProgramName(ProgramListID listId, int32 programIndex, String128 name) override;
  tresult PLUGIN_API getProgramInfo(ProgramListID listId, int32 programIndex, CString attributeId,
                                    String128 attributeValue) override;
  tresult PLUGIN_API hasProgramPitchNames(ProgramListID listId, int32 programIndex) override;
  tresult PLUGIN_API getProgramPitchName(ProgramListID listId, int32 programIndex, int16 midiPitch,
                                         String128 name) override;
  UnitID PLUGIN_API getSelectedUnit() override;
  /// kResultOk for a known unit, kInvalidArgument otherwise.
  tresult PLUGIN_API selectUnit(UnitID unitId) override;
  /// Every bus belongs to the root unit: kResultOk with 0.
  tresult PLUGIN_API getUnitByBus(MediaType type, BusDirection dir, int32 busIndex, int32 channel,
                                  UnitID& unitId) override;
  tresult PLUGIN_API setUnitProgramData(int32 listOrUnitId, int32 programIndex, IBStream* data) override;

  /// Adds a unit; false when its ID is taken.
  bool AddUnit(const UnitInfo& info);
  /// Links unit `unitId` to program list `listId` (kNoProgramListId: none); false for an unknown
  /// unit.
  bool SetUnitProgramList(UnitID unitId, ProgramListID listId);

protected:
  void CollectInterfaces(InterfaceTable& table) override;

private:
  std::vector<UnitInfo> m_units;
  UnitID m_selectedUnit = kRootUnitId;
};
} // namespace Steinberg::Vst
