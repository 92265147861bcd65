#pragma once
// MAudioPluginAutomation<Base>: the automation helpers shared by the plug-in and its automation
// adapters, mixed into whichever base class each of them has (MMIDIProcessor for the plug-in,
// MEventTarget for an adapter).
//
// It carries the module-wide random generator draw and the small clamping helpers both sides
// use when they randomise or move normalised values. Any thread; never allocates.

#include "core/plugin/MModuleRandom.h"

template <class Base>
class MAudioPluginAutomation : public Base
{
public:
  using Base::Base;

  /// One draw of the module-wide generator, in [0, 1].
  static double DrawRandom() noexcept { return MModuleRandom::Next(); }

  /// value limited to the normalised range [0, 1].
  static double ClampNormalised(double value) noexcept
  {
    return value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
  }
};
