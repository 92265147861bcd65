#include "core/parameters/ParameterMainBase.h"

ParameterMainBase::ParameterMainBase() : AutomationAdapter(1) {}

ParameterMainBase::~ParameterMainBase() = default;

std::int32_t ParameterMainBase::GetOrderKey() const
{
  return m_orderKey;
}

MString ParameterMainBase::GetName(std::int32_t) const
{
  return m_name;
}

MString ParameterMainBase::GetIdPart(std::int32_t) const
{
  return MAudioPlugin::JoinTexts(MAudioPlugin::JoinTexts(m_idPart, m_detail), m_group);
}

void ParameterMainBase::SetFromDescriptor(const MParameterInfo& info, const MString& group)
{
  m_orderKey = info.orderKey;
  m_name = info.name;
  m_detail = info.Detail();
  m_group = group;
}
