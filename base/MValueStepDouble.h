#pragma once
// Step-snapping scales: every write is rounded to a whole multiple of `step` (halves up) before
// it is limited to the range. A step that is not positive switches snapping off.
// The definition attribute "step" sets the step after the numeric attributes.
//
// GUI thread only.

#include "base/MValueNumber.h"
#include "base/MValueUnits.h"

#include <cmath>

/// Adds step snapping to a double scale `Base`.
template <typename Base>
class MValueStepped : public Base
{
public:
  double GetStepSize() const noexcept { return m_step; }
  /// New step (snapping off when not positive and finite); the variable is snapped at once.
  void SetStepSize(double step)
  {
    m_step = step;
    m_reciprocal = step > 0.0 && std::isfinite(step) ? 1.0 / step : 0.0;
    this->Clamp();
  }

  void LoadDefinition(const MXmlItem& item) override
  {
    Base::LoadDefinition(item);
    double step = m_step;
    if (Base::ReadDefinitionNumber(item, "step", step))
    {
      SetStepSize(step);
    }
    this->Clamp();
  }

  // A fine step smaller than `step` would be snapped straight back; such a step moves one whole
  // `step` instead, so keys and wheels always move a step scale.
  bool Increment(int steps, int level) override
  {
    return Base::Increment(steps, level) || MoveWholeStep(steps);
  }
  bool IncrementFine(int steps) override { return Base::IncrementFine(steps) || MoveWholeStep(steps); }

protected:
  MValueStepped(const MValueBinding<double>& binding, double min, double max, double step)
      : Base(binding, min, max)
  {
    SetStepSize(step);
  }

  double Constrain(double value) const override
  {
    if (m_reciprocal > 0.0 && std::isfinite(m_reciprocal))
    {
      value = MValueSupport::RoundHalfUp(value * m_reciprocal) * m_step;
    }
    return Base::Constrain(value);
  }

private:
  bool MoveWholeStep(int steps)
  {
    if (steps == 0 || !(m_reciprocal > 0.0))
    {
      return false;
    }
    return this->Assign(this->Read() + (steps > 0 ? m_step : -m_step));
  }

  double m_step = 0.0;
  double m_reciprocal = 0.0;
};

/// A number snapped to `step`; display and parsing through the format.
class MValueStepDouble : public MValueStepped<MValueDouble>
{
public:
  /// Value 0, range 0..100, inc 0.1, maxinc 1, step 1.
  MValueStepDouble();
  MValueStepDouble(const MValueBinding<double>& binding, double min, double max, double step);
};

/// A fraction snapped to `step`, shown and read as MValuePercents.
class MValueStepPercents : public MValueStepped<MValuePercents>
{
public:
  /// Value 0, range 0..1, inc 0.001, maxinc 0.01, step 0.01 (whole percent).
  MValueStepPercents();
  MValueStepPercents(const MValueBinding<double>& binding, double min, double max, double step);
};
