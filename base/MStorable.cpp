#include "base/MStorable.h"

#include <limits>

void MStoreContext::Store(const MString& name, MString& value)
{
  if (m_saving)
    m_item->SetAttribute(name, value);
  else if (m_item->HasAttribute(name))
    value = m_item->GetAttribute();
}

void MStoreContext::Store(const MString& name, std::int64_t& value)
{
  if (m_saving)
    m_item->SetAttribute(name, MString::FromInteger(value));
  else if (m_item->HasAttribute(name))
    value = m_item->GetAttribute().ToInteger();
}

void MStoreContext::Store(const MString& name, std::int32_t& value)
{
  std::int64_t wide = value;
  Store(name, wide);
  // Stored text out of the 32-bit range (a damaged or foreign file) saturates.
  if (wide > std::numeric_limits<std::int32_t>::max())
    wide = std::numeric_limits<std::int32_t>::max();
  if (wide < std::numeric_limits<std::int32_t>::min())
    wide = std::numeric_limits<std::int32_t>::min();
  value = static_cast<std::int32_t>(wide);
}

void MStoreContext::Store(const MString& name, double& value)
{
  if (m_saving)
    m_item->SetAttribute(name, MString::FromDouble(value, 12));
  else if (m_item->HasAttribute(name))
    value = m_item->GetAttribute().ToDouble();
}

void MStoreContext::Store(const MString& name, bool& value)
{
  std::int64_t number = value ? 1 : 0;
  Store(name, number);
  value = number != 0;
}
