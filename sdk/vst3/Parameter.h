#pragma once
// Parameters of an edit controller and the container that finds them by index or ID.
//
// A Parameter holds its ParameterInfo and its current normalised value (0..1). The base class
// maps plain and normalised values one to one and shows values as numbers, or "On"/"Off" for
// a single-step parameter; subclasses override the conversions. Main thread only.

#include "sdk/vst3/VST3Controller.h"

#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Steinberg::Vst
{
class Parameter
{
public:
  /// Texts longer than a String128 are cut to it. The value starts at the default, clamped to 0..1.
  Parameter(std::u16string_view title, ParamID id, std::u16string_view units = {},
            ParamValue defaultNormalized = 0.0, int32 stepCount = 0,
            int32 flags = ParameterInfo::kCanAutomate, UnitID unitId = kRootUnitId,
            std::u16string_view shortTitle = {});
  explicit Parameter(const ParameterInfo& info);
  virtual ~Parameter() = default;

  const ParameterInfo& GetInfo() const { return m_info; }
  ParameterInfo& GetInfo() { return m_info; }
  ParamID GetID() const { return m_info.id; }

  ParamValue GetNormalized() const { return m_valueNormalized; }
  /// Stores the value clamped to 0..1 (NaN becomes 0); answers whether it changed.
  virtual bool SetNormalized(ParamValue valueNormalized);

  /// Text of a normalised value into `text`.
  virtual void ToString(ParamValue valueNormalized, String128 text) const;
  /// Normalised value of a text; false when the text is not understood.
  virtual bool FromString(const TChar* text, ParamValue& valueNormalized) const;
  virtual ParamValue ToPlain(ParamValue valueNormalized) const { return valueNormalized; }
  virtual ParamValue ToNormalized(ParamValue plainValue) const { return plainValue; }

  /// Fraction digits of the numeric display (default 4).
  void SetPrecision(int32 digits) { m_precision = digits; }

private:
  ParameterInfo m_info = {};
  ParamValue m_valueNormalized = 0.0;
  int32 m_precision = 4;
};

/// Owns the parameters of a controller in registration order and finds them by ID.
class ParameterContainer
{
public:
  /// Adds the parameter and answers it; null (and the parameter is dropped) when its ID is taken.
  Parameter* AddParameter(std::unique_ptr<Parameter> parameter);
  Parameter* AddParameter(const ParameterInfo& info);
  Parameter* AddParameter(std::u16string_view title, ParamID id, std::u16string_view units = {},
                          ParamValue defaultNormalized = 0.0, int32 stepCount = 0,
                          int32 flags = ParameterInfo::kCanAutomate, UnitID unitId = kRootUnitId);

  int32 GetParameterCount() const { return static_cast<int32>(m_parameters.size()); }
  /// Null when out of range.
  Parameter* GetParameterByIndex(int32 index) const;
  /// Null for an unknown ID.
  Parameter* GetParameter(ParamID id) const;
  void RemoveAll();
  void Reserve(int32 count) { m_parameters.reserve(static_cast<size_t>(count)); }

private:
  std::vector<std::unique_ptr<Parameter>> m_parameters;
  std::unordered_map<ParamID, size_t> m_indexById;
};
} // namespace Steinberg::Vst
