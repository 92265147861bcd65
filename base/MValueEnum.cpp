#include "base/MValueEnum.h"

#include "base/MValueSupport.h"

#include <cmath>

bool MValueEnumBase::Assign(long long index)
{
  int before = ReadIndex();
  long long last = m_enumeration.Count() - 1;
  if (index > last)
  {
    index = last;
  }
  if (index < 0)
  {
    index = 0;
  }
  WriteIndex(static_cast<int>(index));
  MarkModified();
  return before != ReadIndex();
}

int MValueEnumBase::IndexOfName(const MString& name) const
{
  int index = m_enumeration.Find(name);
  return index < 0 ? 0 : index;
}

MString MValueEnumBase::ToString() const
{
  return m_enumeration.Name(ReadIndex());
}

void MValueEnumBase::FromString(const MString& text)
{
  Assign(IndexOfName(text));
}

bool MValueEnumBase::SetDefault()
{
  return Assign(m_default);
}

bool MValueEnumBase::Save(MXmlItem& item) const
{
  WriteAttribute(item, GetId(), ToString());
  return true;
}

void MValueEnumBase::Load(const MXmlItem& item)
{
  MString text;
  if (ReadAttribute(item, GetId(), text))
  {
    FromString(text);
  }
  else
  {
    SetDefault();
  }
  Clamp();
}

void MValueEnumBase::LoadDefinition(const MXmlItem& item)
{
  MString text;
  if (ReadAttribute(item, "id", text))
  {
    SetId(text);
  }
  bool hasDefault = ReadAttribute(item, "default", text);
  if (hasDefault)
  {
    m_default = IndexOfName(text);
    Assign(m_default);
  }
  if (ReadAttribute(item, "value", text))
  {
    int index = IndexOfName(text);
    Assign(index);
    if (!hasDefault)
    {
      m_default = index;
    }
  }
  Clamp();
}

const MValueTypeInfo& MValueEnumBase::GetTypeInfo() const
{
  return MValueTypeInfo::Enumeration();
}

MString MValueEnumBase::FormatText() const
{
  return m_enumeration.Name(ReadIndex());
}

MContentDataPtr MValueEnumBase::GetContentForNormalised(double x) const
{
  // Not limited: a position beyond the last item shows an empty text.
  double item = std::trunc((std::isnan(x) ? 0.0 : x) * (m_enumeration.Count() - 1) + 0.5);
  return MContentData::MakeText(m_enumeration.Name(MValueSupport::SaturatingCast<int>(item)));
}

bool MValueEnumBase::ParseText(const MString& text)
{
  return Assign(IndexOfName(text));
}

void MValueEnumBase::Clamp()
{
  int index = ReadIndex();
  int last = m_enumeration.Count() - 1;
  int clamped = index > last ? last : index;
  clamped = clamped < 0 ? 0 : clamped;
  if (clamped != index)
  {
    WriteIndex(clamped);
    MarkModified();
  }
}

bool MValueEnumBase::Increment(int steps, int /*level*/)
{
  return Assign(static_cast<long long>(ReadIndex()) + steps);
}

bool MValueEnumBase::IncrementFine(int steps)
{
  return Assign(static_cast<long long>(ReadIndex()) + steps);
}

double MValueEnumBase::GetNormalised() const
{
  int count = m_enumeration.Count();
  if (count < 2)
  {
    return 0.0;
  }
  return MValueSupport::LimitUnit(static_cast<double>(ReadIndex()) / (count - 1));
}

bool MValueEnumBase::SetNormalised(double x)
{
  double item = std::trunc(MValueSupport::LimitUnit(x) * (m_enumeration.Count() - 1) + 0.5);
  return Assign(static_cast<long long>(item));
}

int MValueEnumBase::GetStepCount() const
{
  return m_enumeration.Count();
}
