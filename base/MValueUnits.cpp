#include "base/MValueUnits.h"

#include "base/MFormat.h"

#include <cmath>
#include <cstdint>

namespace
{

using MValueSupport::RoundHalfUp;
using MValueSupport::SaturatingCast;

// The steps of the unit scales are single-precision constants widened to double.
constexpr double kFloat0_1 = static_cast<double>(0.1f);
constexpr double kFloat0_0004 = static_cast<double>(0.0004f);
constexpr double kFloat0_01 = static_cast<double>(0.01f);
constexpr double kFloat0_001 = static_cast<double>(0.001f);

/// The class's own steps, unless the range is so narrow that a hundredth of it is finer.
void SetUnitSteps(MValueDouble& value, double inc, double maxInc)
{
  double hundredth = (value.GetMax() - value.GetMin()) * 0.01;
  if (hundredth < inc)
  {
    value.SetIncrements(hundredth, hundredth * 10.0);
  }
  else
  {
    value.SetIncrements(inc, maxInc);
  }
}

MString DegreeSign()
{
  return MString(u"\u00B0");
}

/// The text without blanks around it.
MString Trimmed(const MString& text)
{
  std::int32_t start = 0;
  std::int32_t end = text.Length();
  while (start < end && text.At(start) <= 32)
  {
    ++start;
  }
  while (end > start && text.At(end - 1) <= 32)
  {
    --end;
  }
  return text.Substring(start, end - start);
}

} // namespace

// ---- percent ----

MValuePercents::MValuePercents() : MValuePercents(MValueBinding<double>::Value(0.0), 0.0, 1.0)
{
  SetIncrements(kFloat0_001, kFloat0_01);
}

MValuePercents::MValuePercents(const MValueBinding<double>& binding, double min, double max)
    : MValueDouble(binding, min, max)
{}

MString MValuePercents::Text(double fraction)
{
  return MFormat::Format(std::fabs(fraction) < 0.01 ? MString("{0.2}%") : MString("{0.1}%"),
                         fraction * 100.0);
}

MString MValuePercents::FormatValue(double value) const
{
  return Text(value);
}

bool MValuePercents::ParseText(const MString& text)
{
  return Assign(text.ToDouble() * 0.01);
}

// ---- volume ----

MValueVolume::MValueVolume() : MValueVolume(MValueBinding<double>::Value(1.0), 0.0, 1.0) {}

MValueVolume::MValueVolume(const MValueBinding<double>& binding, double min, double max)
    : MValueDouble(binding, min, max)
{
  SetUnitSteps(*this, kFloat0_0004, kFloat0_1);
}

MString MValueVolume::Text(double gain)
{
  if (std::fabs(gain) < 1e-50)
  {
    return "silence";
  }
  // A negative gain is an inverted signal of the same loudness.
  double decibels = 20.0 * std::log10(std::fabs(gain));
  return MFormat::Format(std::fabs(decibels) < 10.0 ? MString("{0;.2} dB") : MString("{0;.1} dB"), decibels);
}

MString MValueVolume::FormatValue(double value) const
{
  return Text(value);
}

bool MValueVolume::ParseText(const MString& text)
{
  // "silence" is what zero gain shows; read it back as zero rather than as 0 dB.
  if (Trimmed(text).EqualsName("silence"))
  {
    return Assign(0.0);
  }
  return Assign(std::pow(10.0, text.ToDouble() * 0.05));
}

// ---- pan ----

MValuePan::MValuePan() : MValuePan(MValueBinding<double>::Value(0.0), -1.0, 1.0) {}

MValuePan::MValuePan(const MValueBinding<double>& binding, double min, double max)
    : MValueDouble(binding, min, max)
{
  SetUnitSteps(*this, kFloat0_01, kFloat0_1);
}

MString MValuePan::Text(double position)
{
  if (std::fabs(position) < 1e-50)
  {
    return "center";
  }
  // Whole percent, truncated. The tiny allowance keeps typed values such as 29 % (0.29, whose
  // double times 100 is 28.999999999999996) from showing one percent less than was typed.
  auto percent = SaturatingCast<std::int64_t>(std::fabs(position) * 100.0 + 1e-9);
  return MFormat::Format(position < 0.0 ? MString("{0}% left") : MString("{0}% right"), percent);
}

double MValuePan::ContentValueAtNormalised(double x) const
{
  return static_cast<double>(static_cast<float>(ValueAtNormalised(x)));
}

MString MValuePan::FormatValue(double value) const
{
  return Text(value);
}

bool MValuePan::ParseText(const MString& text)
{
  double percent = text.ToDouble();
  if (MValueSupport::HasWordAfterNumber(text, "left"))
  {
    percent = -std::fabs(percent);
  }
  return Assign(percent * 0.01);
}

// ---- time ----

MValueTimeMS::MValueTimeMS() : MValueTimeMS(MValueBinding<double>::Value(1.0), 0.0, 1.0)
{
  SetIncrements(kFloat0_001, kFloat0_01);
}

MValueTimeMS::MValueTimeMS(const MValueBinding<double>& binding, double min, double max)
    : MValueDouble(binding, min, max)
{}

MString MValueTimeMS::Text(double seconds)
{
  double magnitude = std::fabs(seconds);
  if (magnitude < 1e-50)
  {
    return "0 ms";
  }
  double milliseconds = seconds * 1000.0;
  if (magnitude < 0.0001)
  {
    return MFormat::Format("{0;.3} ms", milliseconds);
  }
  if (magnitude < 0.001)
  {
    return MFormat::Format("{0;.2} ms", milliseconds);
  }
  if (magnitude < 0.01)
  {
    return MFormat::Format("{0;.1} ms", milliseconds);
  }
  return MFormat::Format("{0} ms", SaturatingCast<std::int64_t>(RoundHalfUp(milliseconds)));
}

MString MValueTimeMS::FormatValue(double value) const
{
  return Text(value);
}

bool MValueTimeMS::ParseText(const MString& text)
{
  return Assign(text.ToDouble() * 0.001);
}

// ---- pitch ----

MValuePitch::MValuePitch() : MValuePitch(MValueBinding<double>::Value(1.0), 0.25, 4.0) {}

MValuePitch::MValuePitch(const MValueBinding<double>& binding, double min, double max)
    : MValueDouble(binding, min, max)
{
  SetUnitSteps(*this, kFloat0_1, 1.0);
  SetFormat("{0;+.02}");
}

// ---- degrees ----

MValueDegreesFrom01::MValueDegreesFrom01() : MValueDegreesFrom01(MValueBinding<double>::Value(0.0), 0.0, 1.0)
{}

MValueDegreesFrom01::MValueDegreesFrom01(const MValueBinding<double>& binding, double min, double max)
    : MValueDouble(binding, min, max)
{}

MString MValueDegreesFrom01::Text(double fraction)
{
  if (std::fabs(fraction) < 1e-50)
  {
    return MFormat::Format("0{0} (0%)", DegreeSign());
  }
  return MFormat::Format("{0}{1} ({2.1}%)", SaturatingCast<std::int64_t>(RoundHalfUp(fraction * 360.0)),
                         DegreeSign(), fraction * 100.0);
}

MString MValueDegreesFrom01::FormatValue(double value) const
{
  return Text(value);
}

bool MValueDegreesFrom01::ParseText(const MString& text)
{
  return Assign(text.ToDouble() / 360.0);
}

// ---- signal generator shape ----

namespace
{

constexpr const char* kShapeNames[MValueSignalGeneratorShape::kShapeCount] = {
    "Sine",      "Triangle",          "Sawtooth",  "Reverse sawtooth", "Square", "Pulse",
    "Half sine", "Full-wave sine",    "Trapezoid", "Exponential",      "Bell",   "Staircase",
    "Spike",     "Exponential decay", "Noise",     "Random steps",
};

int ShapeIndexOfName(const MString& name)
{
  MString trimmed = Trimmed(name);
  for (int i = 0; i < MValueSignalGeneratorShape::kShapeCount; ++i)
  {
    if (trimmed.EqualsName(MString::FromLiteral(kShapeNames[i])))
    {
      return i;
    }
  }
  return -1;
}

} // namespace

MValueSignalGeneratorShape::MValueSignalGeneratorShape()
    : MValueSignalGeneratorShape(MValueBinding<double>::Value(5.0), 0.0, 15.0)
{}

MValueSignalGeneratorShape::MValueSignalGeneratorShape(const MValueBinding<double>& binding, double min,
                                                       double max)
    : MValueDouble(binding, min, max)
{}

MString MValueSignalGeneratorShape::ShapeName(int index)
{
  if (index < 0 || index >= kShapeCount)
  {
    return MString();
  }
  return MString::FromLiteral(kShapeNames[index]);
}

MString MValueSignalGeneratorShape::Text(double position)
{
  int index = 0;
  double fraction = 0.0;
  if (position > 15.0)
  {
    index = 14;
    fraction = 1.0;
  }
  else if (position >= 0.0)
  {
    index = static_cast<int>(position);
    fraction = position - index;
  }
  int percent = static_cast<int>(RoundHalfUp(fraction * 100.0));
  if (percent == 0)
  {
    return ShapeName(index);
  }
  if (percent == 100)
  {
    return ShapeName(index + 1);
  }
  return MFormat::Format("{0}% {1}, {2}% {3}", 100 - percent, ShapeName(index), percent,
                         ShapeName(index + 1));
}

double MValueSignalGeneratorShape::ContentValueAtNormalised(double x) const
{
  return x * 15.0;
}

MString MValueSignalGeneratorShape::FormatValue(double value) const
{
  return Text(value);
}

bool MValueSignalGeneratorShape::ParseText(const MString& text)
{
  MString number;
  if (MValueSupport::ReadNumberWithFormat(GetFormat(), text, number))
  {
    return Assign(number.ToDouble());
  }
  // The texts this scale displays read back: a shape name, or a blend "a% X, b% Y" whose
  // second part gives the position (b % of the way from shape Y - 1 to Y).
  int index = ShapeIndexOfName(text);
  if (index >= 0)
  {
    return Assign(index);
  }
  std::int32_t comma = text.Find(u',');
  if (comma < 0)
  {
    return false;
  }
  MString second = text.Substring(comma + 1);
  double percent = second.ToDouble();
  std::int32_t at = MValueSupport::NumericPrefixEnd(second);
  while (at < second.Length() && (second.At(at) <= 32 || second.At(at) == u'%'))
  {
    ++at;
  }
  index = ShapeIndexOfName(second.Substring(at));
  if (index < 1 || !(percent > 0.0 && percent <= 100.0))
  {
    return false;
  }
  return Assign(index - 1 + percent * 0.01);
}
