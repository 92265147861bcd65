#include "sdk/vst3/Parameter.h"

#include "sdk/vst3/VST3String.h"

#include <charconv>
#include <cmath>
#include <string>

namespace Steinberg::Vst
{
namespace
{
ParamValue Clamp01(ParamValue value)
{
  if (!(value >= 0.0))
  {
    return 0.0; // also NaN
  }
  return value > 1.0 ? 1.0 : value;
}
} // namespace

Parameter::Parameter(std::u16string_view title, ParamID id, std::u16string_view units,
                     ParamValue defaultNormalized, int32 stepCount, int32 flags, UnitID unitId,
                     std::u16string_view shortTitle)
{
  m_info.id = id;
  CopyString16(m_info.title, title);
  CopyString16(m_info.shortTitle, shortTitle);
  CopyString16(m_info.units, units);
  m_info.stepCount = stepCount < 0 ? 0 : stepCount;
  m_info.defaultNormalizedValue = Clamp01(defaultNormalized);
  m_info.unitId = unitId;
  m_info.flags = flags;
  m_valueNormalized = m_info.defaultNormalizedValue;
}

Parameter::Parameter(const ParameterInfo& info) : m_info(info)
{
  // Fields from elsewhere may arrive unterminated: force a NUL at the end of each.
  m_info.title[127] = m_info.shortTitle[127] = m_info.units[127] = 0;
  m_info.defaultNormalizedValue = Clamp01(info.defaultNormalizedValue);
  m_valueNormalized = m_info.defaultNormalizedValue;
}

bool Parameter::SetNormalized(ParamValue valueNormalized)
{
  const ParamValue clamped = Clamp01(valueNormalized);
  if (clamped == m_valueNormalized)
  {
    return false;
  }
  m_valueNormalized = clamped;
  return true;
}

void Parameter::ToString(ParamValue valueNormalized, String128 text) const
{
  if (m_info.stepCount == 1)
  {
    CopyString16(text, 128, valueNormalized > 0.5 ? u"On" : u"Off");
    return;
  }
  // to_chars, unlike printf, ignores the host's locale: the text always parses back.
  const ParamValue plain = ToPlain(valueNormalized);
  char buffer[128];
  const int precision = m_precision < 0 ? 0 : (m_precision > 16 ? 16 : m_precision);
  std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer - 1, plain, std::chars_format::fixed, precision);
  if (result.ec != std::errc())
  {
    result = std::to_chars(buffer, buffer + sizeof buffer - 1, plain); // too long in fixed notation
  }
  *result.ptr = 0;
  CopyUtf8ToString16(text, 128, buffer);
}

bool Parameter::FromString(const TChar* text, ParamValue& valueNormalized) const
{
  const std::string utf8 = String16ToUtf8(text, 128);
  const char* begin = utf8.data();
  const char* end = begin + utf8.size();
  while (begin < end && *begin == ' ')
  {
    ++begin;
  }
  if (m_info.stepCount == 1 && (utf8 == "On" || utf8 == "Off"))
  {
    valueNormalized = utf8 == "On" ? 1.0 : 0.0;
    return true;
  }
  double plain = 0.0;
  const auto [next, error] = std::from_chars(begin, end, plain);
  if (error != std::errc() || next == begin || !std::isfinite(plain))
  {
    return false;
  }
  valueNormalized = Clamp01(ToNormalized(plain));
  return true;
}

Parameter* ParameterContainer::AddParameter(std::unique_ptr<Parameter> parameter)
{
  if (parameter == nullptr || m_indexById.count(parameter->GetID()) != 0)
  {
    return nullptr;
  }
  m_indexById.emplace(parameter->GetID(), m_parameters.size());
  m_parameters.push_back(std::move(parameter));
  return m_parameters.back().get();
}

Parameter* ParameterContainer::AddParameter(const ParameterInfo& info)
{
  return AddParameter(std::make_unique<Parameter>(info));
}

Parameter* ParameterContainer::AddParameter(std::u16string_view title, ParamID id, std::u16string_view units,
                                            ParamValue defaultNormalized, int32 stepCount, int32 flags,
                                            UnitID unitId)
{
  return AddParameter(
      std::make_unique<Parameter>(title, id, units, defaultNormalized, stepCount, flags, unitId));
}

Parameter* ParameterContainer::GetParameterByIndex(int32 index) const
{
  if (index < 0 || index >= GetParameterCount())
  {
    return nullptr;
  }
  return m_parameters[static_cast<size_t>(index)].get();
}

Parameter* ParameterContainer::GetParameter(ParamID id) const
{
  const auto found = m_indexById.find(id);
  return found != m_indexById.end() ? m_parameters[found->second].get() : nullptr;
}

void ParameterContainer::RemoveAll()
{
  m_parameters.clear();
  m_indexById.clear();
}
} // namespace Steinberg::Vst
