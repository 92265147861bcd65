#pragma once
// MParameterOwner: what a typed effect parameter tells the effect that owns its descriptor.
//
// The framework's effect base implements it. Both calls come after a non-silent change, on the
// thread that made the change (host parameter thread or GUI thread), never on the audio thread;
// they must be cheap and must not throw.

#include <cstdint>

class MParameterOwner
{
public:
  virtual ~MParameterOwner() = default;
  /// The parameter at `effectIndex` (its position in the effect's descriptor list) changed.
  virtual void OnParameterChanged(std::int32_t effectIndex) = 0;
  /// Sets the effect's parameters-changed bit, so that it recomputes before the next block.
  virtual void SetParametersChanged() = 0;
};
