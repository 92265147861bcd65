#include "core/parameters/ParameterBase.h"

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
