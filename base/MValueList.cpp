#include "base/MValueList.h"

#include "base/MValueSupport.h"

#include <cmath>

MString MValueList<const char*>::Item(int index) const
{
  if (index < 0 || index >= m_count || m_items[index] == nullptr)
  {
    return MString();
  }
  return MString::FromNarrow(m_items[index]);
}

MString MValueList<MStringList>::Item(int index) const
{
  if (index < 0 || index >= m_items->Count())
  {
    return MString();
  }
  return m_items->At(index);
}

bool MValueListBase::Assign(long long index)
{
  std::int32_t before = m_cell.Read();
  long long last = ItemCount() - 1;
  index = index > last ? last : index;
  index = index < 0 ? 0 : index;
  m_cell.Write(static_cast<std::int32_t>(index));
  MarkModified();
  return before != m_cell.Read();
}

MString MValueListBase::ToString() const
{
  return MString::FromInteger(GetIndex());
}

void MValueListBase::FromString(const MString& text)
{
  Assign(MValueSupport::ReadInteger(text));
}

bool MValueListBase::SetDefault()
{
  return Assign(m_default);
}

bool MValueListBase::Save(MXmlItem& item) const
{
  WriteAttribute(item, GetId(), ToString());
  return true;
}

void MValueListBase::Load(const MXmlItem& item)
{
  MString text;
  if (ReadAttribute(item, GetId(), text))
  {
    if (MValueSupport::IsNumberText(text))
    {
      FromString(text);
    }
  }
  else
  {
    SetDefault();
  }
  Clamp();
}

void MValueListBase::LoadDefinition(const MXmlItem& item)
{
  MString text;
  if (ReadAttribute(item, "id", text))
  {
    SetId(text);
  }
  bool hasDefault = ReadAttribute(item, "default", text);
  if (hasDefault)
  {
    m_default = static_cast<std::int32_t>(MValueSupport::SaturatingCast<std::int32_t>(text.ToDouble()));
    Assign(m_default);
  }
  if (ReadAttribute(item, "value", text))
  {
    auto index = MValueSupport::SaturatingCast<std::int32_t>(text.ToDouble());
    Assign(index);
    if (!hasDefault)
    {
      m_default = index;
    }
  }
  Clamp();
}

const MValueTypeInfo& MValueListBase::GetTypeInfo() const
{
  return MValueTypeInfo::Enumeration();
}

MString MValueListBase::FormatText() const
{
  return Item(GetIndex());
}

MContentDataPtr MValueListBase::GetContentForNormalised(double x) const
{
  double item = std::trunc((ItemCount() - 1) * (std::isnan(x) ? 0.0 : x) + 0.5);
  return MContentData::MakeText(Item(MValueSupport::SaturatingCast<int>(item)));
}

bool MValueListBase::ParseText(const MString& text)
{
  int count = ItemCount();
  for (int i = 0; i < count; ++i)
  {
    if (text.EqualsName(Item(i)))
    {
      return Assign(i);
    }
  }
  return false;
}

void MValueListBase::Clamp()
{
  std::int32_t index = m_cell.Read();
  std::int32_t last = ItemCount() - 1;
  std::int32_t clamped = index > last ? last : index;
  clamped = clamped < 0 ? 0 : clamped;
  if (clamped != index)
  {
    m_cell.Write(clamped);
    MarkModified();
  }
}

bool MValueListBase::Increment(int steps, int /*level*/)
{
  return Assign(static_cast<long long>(GetIndex()) + steps);
}

bool MValueListBase::IncrementFine(int steps)
{
  return Assign(static_cast<long long>(GetIndex()) + steps);
}

double MValueListBase::GetNormalised() const
{
  int count = ItemCount();
  if (count < 2)
  {
    return 0.0;
  }
  return MValueSupport::LimitUnit(static_cast<double>(GetIndex()) / (count - 1));
}

bool MValueListBase::SetNormalised(double x)
{
  return Assign(static_cast<long long>(std::trunc((ItemCount() - 1) * MValueSupport::LimitUnit(x) + 0.5)));
}

int MValueListBase::GetStepCount() const
{
  return ItemCount();
}
