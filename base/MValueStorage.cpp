// The XML side of the value scales: attribute access and the storable convention.
#include "base/MValue.h"

bool MValue::ReadAttribute(const MXmlItem& item, const MString& name, MString& value)
{
  if (!item.HasAttribute(name))
  {
    return false;
  }
  value = item.GetAttribute();
  return true;
}

void MValue::WriteAttribute(MXmlItem& item, const MString& name, const MString& value)
{
  item.SetAttribute(name, value);
}

bool MValue::Save(MXmlItem& /*item*/) const
{
  return true;
}

void MValue::Load(const MXmlItem& /*item*/) {}

void MValue::LoadDefinition(const MXmlItem& item)
{
  MString id;
  if (ReadAttribute(item, "id", id))
  {
    SetId(id);
  }
}

void MValue::Store(MStoreContext& context)
{
  if (context.IsSaving())
  {
    Save(context.GetItem());
  }
  else
  {
    Load(context.GetItem());
  }
}
