#include "base/MValueFrequency.h"

#include "base/MFormat.h"

#include <cmath>
#include <cstdint>

// ---- frequency text ----

MString MValueFrequency::Text(double hertz)
{
  double magnitude = std::fabs(hertz);
  if (magnitude < 1e-5)
  {
    return "0 Hz";
  }
  if (magnitude < 1.0)
  {
    return MFormat::Format("{0;.4} Hz", hertz);
  }
  if (magnitude < 10.0)
  {
    return MFormat::Format("{0;.2} Hz", hertz);
  }
  if (magnitude < 100.0)
  {
    return MFormat::Format("{0;.1} Hz", hertz);
  }
  if (magnitude < 10000.0)
  {
    return MFormat::Format("{0} Hz",
                           MValueSupport::SaturatingCast<std::int64_t>(MValueSupport::RoundHalfUp(hertz)));
  }
  return MFormat::Format("{0;.1} kHz", hertz * 0.001);
}

double MValueFrequency::ReadHertz(const MString& text)
{
  double hertz = text.ToDouble();
  return MValueSupport::HasWordAfterNumber(text, "khz") ? hertz * 1000.0 : hertz;
}

// ---- logarithmic ----

MValueFrequency::MValueFrequency() : MValueFrequency(MValueBinding<double>::Value(1000.0), 20.0, 20000.0) {}

MValueFrequency::MValueFrequency(const MValueBinding<double>& binding, double min, double max)
    : MValueDoubleNormalisedFine(binding, min, max)
{
  double hundredth = (max - min) * 0.01;
  if (hundredth < 1.0)
  {
    SetIncrements(hundredth, hundredth * 10.0);
  }
  else
  {
    SetIncrements(1.0, 100.0);
  }
  OnRangeChanged();
}

void MValueFrequency::OnRangeChanged()
{
  m_logMin = std::log10(m_min);
  m_logMax = std::log10(m_max);
}

bool MValueFrequency::IsLogarithmic() const noexcept
{
  return m_min > 0.0 && std::isfinite(m_logMin) && std::isfinite(m_logMax);
}

double MValueFrequency::GetNormalised() const
{
  if (!(m_max > m_min))
  {
    return 1.0;
  }
  if (!IsLogarithmic())
  {
    return MValueDoubleNormalisedFine::GetNormalised();
  }
  return MValueSupport::LimitUnit((std::log10(Read()) - m_logMin) / (m_logMax - m_logMin));
}

double MValueFrequency::ValueAtNormalised(double x) const
{
  if (!IsLogarithmic())
  {
    return MValueDoubleNormalisedFine::ValueAtNormalised(x);
  }
  return std::pow(10.0, m_logMin + (m_logMax - m_logMin) * x);
}

MString MValueFrequency::FormatValue(double value) const
{
  return Text(value);
}

bool MValueFrequency::ParseText(const MString& text)
{
  return Assign(ReadHertz(text));
}

// ---- log10 variable ----

MValueFrequencyLog::MValueFrequencyLog()
    : MValueFrequencyLog(MValueBinding<double>::Value(2.0), std::log10(20.0), std::log10(20000.0))
{}

MValueFrequencyLog::MValueFrequencyLog(const MValueBinding<double>& binding, double min, double max)
    : MValueDouble(binding, min, max)
{}

MString MValueFrequencyLog::FormatValue(double value) const
{
  return MValueFrequency::Text(std::pow(10.0, value));
}

bool MValueFrequencyLog::ParseText(const MString& text)
{
  double hertz = MValueFrequency::ReadHertz(text);
  if (!(hertz > 0.0))
  {
    return false;
  }
  return Assign(std::log10(hertz));
}

// ---- linear ----

MValueFrequencyLinear::MValueFrequencyLinear()
    : MValueFrequencyLinear(MValueBinding<double>::Value(1000.0), 20.0, 20000.0)
{}

MValueFrequencyLinear::MValueFrequencyLinear(const MValueBinding<double>& binding, double min, double max)
    : MValueDouble(binding, min, max)
{}

MString MValueFrequencyLinear::FormatValue(double value) const
{
  return MValueFrequency::Text(value);
}

bool MValueFrequencyLinear::ParseText(const MString& text)
{
  MString number;
  if (!MValueSupport::ReadNumberWithFormat(GetFormat(), text, number))
  {
    return false;
  }
  double hertz = number.ToDouble();
  return Assign(MValueSupport::HasWordAfterNumber(text, "khz") ? hertz * 1000.0 : hertz);
}
