#include "base/MValue.h"

const MValueTypeInfo& MValueTypeInfo::Floating() noexcept
{
  static constexpr MValueTypeInfo kInfo{"floating", Kind::Floating};
  return kInfo;
}

const MValueTypeInfo& MValueTypeInfo::Integer() noexcept
{
  static constexpr MValueTypeInfo kInfo{"integer", Kind::Integer};
  return kInfo;
}

const MValueTypeInfo& MValueTypeInfo::Enumeration() noexcept
{
  static constexpr MValueTypeInfo kInfo{"enumeration", Kind::Enumeration};
  return kInfo;
}

MValue::~MValue() = default;

MString MValue::GetText()
{
  if (m_converter != nullptr)
  {
    return m_converter(*this, MString());
  }
  return FormatText();
}

MContentDataPtr MValue::GetContent()
{
  return MContentData::MakeText(GetText());
}

bool MValue::SetText(const MString& text)
{
  bool changed = true;
  if (m_converter != nullptr)
  {
    m_converter(*this, text);
  }
  else
  {
    changed = ParseText(text);
  }
  Clamp();
  return changed;
}

MContentDataPtr MValue::GetContentForStep(int i) const
{
  int count = GetStepCount();
  if (count < 2)
  {
    return GetContentForNormalised(0.0);
  }
  return GetContentForNormalised(static_cast<double>(i) / (count - 1));
}

int MValue::GetReserved() const
{
  return 0;
}

void MValue::SetStep(int i)
{
  int count = GetStepCount();
  if (count < 2)
  {
    SetNormalised(0.0);
    return;
  }
  SetNormalised(static_cast<double>(i) / (count - 1));
}

void MValue::SetTextConverter(TextConverter converter, std::unique_ptr<MObject> holder)
{
  m_converter = converter;
  m_converterHolder = std::move(holder);
}
