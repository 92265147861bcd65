#include "base/MValueStepDouble.h"

MValueStepDouble::MValueStepDouble() : MValueStepDouble(MValueBinding<double>::Value(0.0), 0.0, 100.0, 1.0)
{
  SetIncrements(static_cast<double>(0.1f), 1.0);
}

MValueStepDouble::MValueStepDouble(const MValueBinding<double>& binding, double min, double max, double step)
    : MValueStepped<MValueDouble>(binding, min, max, step)
{}

MValueStepPercents::MValueStepPercents()
    : MValueStepPercents(MValueBinding<double>::Value(0.0), 0.0, 1.0, 0.01)
{
  SetIncrements(static_cast<double>(0.001f), static_cast<double>(0.01f));
}

MValueStepPercents::MValueStepPercents(const MValueBinding<double>& binding, double min, double max,
                                       double step)
    : MValueStepped<MValuePercents>(binding, min, max, step)
{}
