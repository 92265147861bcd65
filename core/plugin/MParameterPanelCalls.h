#pragma once
// MParameterPanelCalls: what the core asks of the editor's parameter panel.
//
// The core (the plug-in's parameter adapters and its editor bookkeeping) reaches the panel only
// through this interface, which MPluginParameters implements in the editor library. The interface
// has no key function, so every library that calls it carries its type information: the core
// links without the editor library, also where a sanitizer checks the dynamic type of each call.
//
// Threads: GUI thread only (the host's UI thread).

#include "base/MString.h"

#include <cstdint>

class MControlValue;

class MParameterPanelCalls
{
public:
  /// What an adapter tells the panel about one of its slots.
  struct ControlRequest
  {
    /// Global host index of the slot (0 .. GetNumParameters() - 1).
    std::int32_t index = 0;
    /// Heading of the section the control goes to; empty: a section without heading.
    MString group;
    /// STML help text (shown with the help definitions in front).
    MString help;
    /// Discrete positions of the value (integers, enumerations, booleans); 0 for continuous.
    std::int32_t steps = 0;
    /// The knob's arc grows from the middle (ranges symmetric around zero).
    bool bipolar = false;
  };

  /// Closes every gesture still open (a drag the editor's closing cuts short) towards the host.
  virtual void EndGestures() = 0;
  /// Adds the control of one slot; null for an index outside the host-visible slots or one that
  /// already has a control.
  virtual MControlValue* AddParameterControl(const ControlRequest& request) = 0;
  /// Re-reads the value and display text of slot `index` into its control (nothing when it has
  /// none).
  virtual void RefreshParameter(std::int32_t index) = 0;

protected:
  ~MParameterPanelCalls() = default;
};
