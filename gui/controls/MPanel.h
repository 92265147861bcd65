#pragma once
// MPanel: a plain rectangle the style draws as a panel (background and frame); the usual parent of
// other controls. MContainer adds a client control.

#include "gui/MControl.h"

class MPanel : public MControl
{
public:
  MPanel();
  ~MPanel() override = default;
};
