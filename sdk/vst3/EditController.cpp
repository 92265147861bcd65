#include "sdk/vst3/EditController.h"

#include "sdk/vst3/VST3String.h"

namespace Steinberg::Vst
{
std::atomic<KnobMode> EditController::s_knobMode{kCircularMode};

EditController::EditController() = default;

EditController::~EditController()
{
  if (m_componentHandler != nullptr)
  {
    m_componentHandler->release();
  }
}

tresult PLUGIN_API EditController::initialize(FUnknown* context)
{
  return ComponentBase::initialize(context);
}

tresult PLUGIN_API EditController::terminate()
{
  m_parameters.RemoveAll();
  setComponentHandler(nullptr);
  return ComponentBase::terminate();
}

tresult PLUGIN_API EditController::setComponentState(IBStream* /*state*/)
{
  return kNotImplemented;
}

tresult PLUGIN_API EditController::setState(IBStream* /*state*/)
{
  return kNotImplemented;
}

tresult PLUGIN_API EditController::getState(IBStream* /*state*/)
{
  return kNotImplemented;
}

int32 PLUGIN_API EditController::getParameterCount()
{
  return m_parameters.GetParameterCount();
}

tresult PLUGIN_API EditController::getParameterInfo(int32 paramIndex, ParameterInfo& info)
{
  const Parameter* parameter = m_parameters.GetParameterByIndex(paramIndex);
  if (parameter == nullptr)
  {
    return kInvalidArgument;
  }
  info = parameter->GetInfo();
  return kResultOk;
}

tresult PLUGIN_API EditController::getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                         String128 string)
{
  const Parameter* parameter = m_parameters.GetParameter(id);
  if (parameter == nullptr || string == nullptr)
  {
    return kInvalidArgument;
  }
  parameter->ToString(valueNormalized, string);
  return kResultOk;
}

tresult PLUGIN_API EditController::getParamValueByString(ParamID id, TChar* string,
                                                         ParamValue& valueNormalized)
{
  const Parameter* parameter = m_parameters.GetParameter(id);
  if (parameter == nullptr || string == nullptr)
  {
    return kInvalidArgument;
  }
  return parameter->FromString(string, valueNormalized) ? kResultOk : kResultFalse;
}

ParamValue PLUGIN_API EditController::normalizedParamToPlain(ParamID id, ParamValue valueNormalized)
{
  const Parameter* parameter = m_parameters.GetParameter(id);
  return parameter != nullptr ? parameter->ToPlain(valueNormalized) : valueNormalized;
}

ParamValue PLUGIN_API EditController::plainParamToNormalized(ParamID id, ParamValue plainValue)
{
  const Parameter* parameter = m_parameters.GetParameter(id);
  return parameter != nullptr ? parameter->ToNormalized(plainValue) : plainValue;
}

ParamValue PLUGIN_API EditController::getParamNormalized(ParamID id)
{
  const Parameter* parameter = m_parameters.GetParameter(id);
  return parameter != nullptr ? parameter->GetNormalized() : 0.0;
}

tresult PLUGIN_API EditController::setParamNormalized(ParamID id, ParamValue value)
{
  Parameter* parameter = m_parameters.GetParameter(id);
  if (parameter == nullptr)
  {
    return kInvalidArgument;
  }
  parameter->SetNormalized(value);
  return kResultOk;
}

tresult PLUGIN_API EditController::setComponentHandler(IComponentHandler* handler)
{
  if (handler == m_componentHandler)
  {
    return kResultOk;
  }
  if (handler != nullptr)
  {
    handler->addRef();
  }
  if (m_componentHandler != nullptr)
  {
    m_componentHandler->release();
  }
  m_componentHandler = handler;
  return kResultOk;
}

IPlugView* PLUGIN_API EditController::createView(FIDString /*name*/)
{
  return nullptr;
}

tresult PLUGIN_API EditController::setKnobMode(KnobMode mode)
{
  s_knobMode.store(mode, std::memory_order_relaxed);
  return kResultOk;
}

tresult PLUGIN_API EditController::openHelp(TBool /*onlyCheck*/)
{
  return kResultFalse;
}

tresult PLUGIN_API EditController::openAboutBox(TBool /*onlyCheck*/)
{
  return kResultFalse;
}

tresult EditController::BeginEdit(ParamID id)
{
  return m_componentHandler != nullptr ? m_componentHandler->beginEdit(id) : kResultFalse;
}

tresult EditController::PerformEdit(ParamID id, ParamValue valueNormalized)
{
  return m_componentHandler != nullptr ? m_componentHandler->performEdit(id, valueNormalized) : kResultFalse;
}

tresult EditController::EndEdit(ParamID id)
{
  return m_componentHandler != nullptr ? m_componentHandler->endEdit(id) : kResultFalse;
}

tresult EditController::RestartComponent(int32 flags)
{
  return m_componentHandler != nullptr ? m_componentHandler->restartComponent(flags) : kResultFalse;
}

void EditController::CollectInterfaces(InterfaceTable& table)
{
  ComponentBase::CollectInterfaces(table);
  table.Add(IPluginBase::iid, static_cast<IEditController*>(this));
  table.Add(IEditController::iid, static_cast<IEditController*>(this));
  table.Add(IEditController2::iid, static_cast<IEditController2*>(this));
}

// EditControllerEx1 ---------------------------------------------------------------------------

EditControllerEx1::EditControllerEx1()
{
  UnitInfo root{};
  root.id = kRootUnitId;
  root.parentUnitId = kNoParentUnitId;
  root.programListId = kNoProgramListId;
  CopyString16(root.name, u"Root");
  m_units.push_back(root);
}

int32 PLUGIN_API EditControllerEx1::getUnitCount()
{
  return static_cast<int32>(m_units.size());
}

tresult PLUGIN_API EditControllerEx1::getUnitInfo(int32 unitIndex, UnitInfo& info)
{
  if (unitIndex < 0 || unitIndex >= getUnitCount())
  {
    return kInvalidArgument;
  }
  info = m_units[static_cast<size_t>(unitIndex)];
  return kResultOk;
}

int32 PLUGIN_API EditControllerEx1::getProgramListCount()
{
  return 0;
}

tresult PLUGIN_API EditControllerEx1::getProgramListInfo(int32 /*listIndex*/, ProgramListInfo& /*info*/)
{
  return kResultFalse;
}

tresult PLUGIN_API EditControllerEx1::getProgramName(ProgramListID /*listId*/, int32 /*programIndex*/,
                                                     String128 /*name*/)
{
  return kResultFalse;
}

tresult PLUGIN_API EditControllerEx1::getProgramInfo(ProgramListID /*listId*/, int32 /*programIndex*/,
                                                     CString /*attributeId*/, String128 /*attributeValue*/)
{
  return kResultFalse;
}

tresult PLUGIN_API EditControllerEx1::hasProgramPitchNames(ProgramListID /*listId*/, int32 /*programIndex*/)
{
  return kResultFalse;
}

tresult PLUGIN_API EditControllerEx1::getProgramPitchName(ProgramListID /*listId*/, int32 /*programIndex*/,
                                                          int16 /*midiPitch*/, String128 /*name*/)
{
  return kResultFalse;
}

UnitID PLUGIN_API EditControllerEx1::getSelectedUnit()
{
  return m_selectedUnit;
}

tresult PLUGIN_API EditControllerEx1::selectUnit(UnitID unitId)
{
  for (const UnitInfo& unit : m_units)
  {
    if (unit.id == unitId)
    {
      m_selectedUnit = unitId;
      return kResultOk;
    }
  }
  return kInvalidArgument;
}

tresult PLUGIN_API EditControllerEx1::getUnitByBus(MediaType /*type*/, BusDirection /*dir*/,
                                                   int32 /*busIndex*/, int32 /*channel*/, UnitID& unitId)
{
  unitId = kRootUnitId;
  return kResultOk;
}

tresult PLUGIN_API EditControllerEx1::setUnitProgramData(int32 /*listOrUnitId*/, int32 /*programIndex*/,
                                                         IBStream* /*data*/)
{
  return kResultFalse;
}

bool EditControllerEx1::SetUnitProgramList(UnitID unitId, ProgramListID listId)
{
  for (UnitInfo& unit : m_units)
  {
    if (unit.id == unitId)
    {
      unit.programListId = listId;
      return true;
    }
  }
  return false;
}

bool EditControllerEx1::AddUnit(const UnitInfo& info)
{
  for (const UnitInfo& unit : m_units)
  {
    if (unit.id == info.id)
    {
      return false;
    }
  }
  m_units.push_back(info);
  return true;
}

void EditControllerEx1::CollectInterfaces(InterfaceTable& table)
{
  EditController::CollectInterfaces(table);
  table.Add(IUnitInfo::iid, static_cast<IUnitInfo*>(this));
}
} // namespace Steinberg::Vst
