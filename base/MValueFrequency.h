#pragma once
// Frequency scales. All show the frequency text:
//   below 0.00001 Hz "0 Hz"; below 1 Hz four decimals ("0.5000 Hz"); below 10 Hz two; below
//   100 Hz one; below 10 kHz whole hertz ("440 Hz"); from 10 kHz kilohertz with one decimal
//   ("12.3 kHz").
// Typed text is a number in hertz; a "kHz" after the number multiplies it by 1000, so every
// displayed text reads back.
//
// GUI thread only; text operations allocate.

#include "base/MValueNumber.h"

/// Hertz on a logarithmic position: position = (log10 v - log10 min) / (log10 max - log10 min),
/// 1 for an empty or reversed range. The fine increment moves the position by 0.001.
/// A range that reaches zero or below has no logarithm; such a scale maps linearly.
class MValueFrequency : public MValueDoubleNormalisedFine
{
public:
  /// Value 1000 Hz, range 20..20000, inc 1, maxinc 100.
  MValueFrequency();
  /// inc 1 and maxinc 100, or a hundredth of the range and ten times that when the range is
  /// narrower than 100 Hz.
  MValueFrequency(const MValueBinding<double>& binding, double min, double max);

  /// The frequency text of `hertz`.
  static MString Text(double hertz);
  /// Hertz of typed text: the number that starts it, times 1000 when "kHz" follows.
  static double ReadHertz(const MString& text);

  double GetNormalised() const override;

protected:
  double ValueAtNormalised(double x) const override;
  MString FormatValue(double value) const override;
  bool ParseText(const MString& text) override;
  void OnRangeChanged() override;

private:
  bool IsLogarithmic() const noexcept;

  double m_logMin = 0.0;
  double m_logMax = 0.0;
};

/// The variable is log10 of the frequency; position linear in it. Typed frequencies at or below
/// 0 Hz are refused.
class MValueFrequencyLog : public MValueDouble
{
public:
  /// Value 2 (100 Hz), range log10 20 .. log10 20000, inc 0.003, maxinc 0.03.
  MValueFrequencyLog();
  MValueFrequencyLog(const MValueBinding<double>& binding, double min, double max);

protected:
  MString FormatValue(double value) const override;
  bool ParseText(const MString& text) override;
};

/// Hertz on a linear position. Typed text goes through the format (default "{0}"), with the
/// "kHz" rule above.
class MValueFrequencyLinear : public MValueDouble
{
public:
  /// Value 1000 Hz, range 20..20000, inc 19.98, maxinc 199.8.
  MValueFrequencyLinear();
  MValueFrequencyLinear(const MValueBinding<double>& binding, double min, double max);

protected:
  MString FormatValue(double value) const override;
  bool ParseText(const MString& text) override;
};
