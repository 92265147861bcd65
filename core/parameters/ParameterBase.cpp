#include "core/parameters/ParameterBase.h"

#include "core/plugin/MPluginParameters.h"

ParameterBase::~ParameterBase() = default;

bool ParameterBase::CanRandomize() const
{
  return m_descriptor != nullptr && m_descriptor->Has(MParameterInfo::kRandomizable);
}

void ParameterBase::Randomize(double amount)
{
  if (m_descriptor != nullptr)
    m_descriptor->Randomize(amount);
}

void ParameterBase::NotifyChanged(bool silent)
{
  if (silent)
    return;
  if (m_owner != nullptr)
  {
    m_owner->OnParameterChanged(m_effectIndex);
    if (m_descriptor->Has(MParameterInfo::kSetsChangedBit))
      m_owner->SetParametersChanged();
  }
  if (m_editorLink != nullptr && GetPlugin() != nullptr)
    GetPlugin()->NeedUpdateEditor(this);
}

void ParameterBase::CreateEditorControls(MPluginParameters* panel)
{
  if (panel == nullptr || m_descriptor == nullptr || GetPlugin() == nullptr || IsTemporary())
    return;
  const MParameterInfo& info = *m_descriptor;
  MPluginParameters::ControlRequest request;
  request.index = GetFirstIndex();
  request.group = m_group;
  request.help = info.help;
  switch (info.type)
  {
  case MParameterInfo::kInteger:
  {
    // Wide ranges are edited as continuous ones (the slot rounds to whole numbers itself).
    const std::int64_t positions =
        std::int64_t{info.integer.maximum} - std::int64_t{info.integer.minimum} + 1;
    request.steps = positions >= 2 && positions <= 1000 ? static_cast<std::int32_t>(positions) : 0;
    break;
  }
  case MParameterInfo::kEnumeration:
    request.steps = info.enumeration.count;
    break;
  case MParameterInfo::kBoolean:
  case MParameterInfo::kGroup:
    request.steps = 2;
    break;
  case MParameterInfo::kFloat:
    request.bipolar = info.floating.minimum < 0.0 && info.floating.minimum == -info.floating.maximum;
    break;
  default:
    break;
  }
  MParameterPanelCalls& calls = *panel;
  calls.AddParameterControl(request);
}

void ParameterBase::UpdateEditorControls()
{
  if (m_editorLink == nullptr || *m_editorLink == nullptr)
    return;
  MParameterPanelCalls& calls = **m_editorLink;
  calls.RefreshParameter(GetFirstIndex());
}
