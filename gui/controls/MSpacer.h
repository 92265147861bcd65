#pragma once
// MSpacer: an empty control that only takes room in a layout (control type Empty: nothing drawn).

#include "gui/MControl.h"

class MSpacer : public MControl
{
public:
  MSpacer();
  explicit MSpacer(MSize size);
  ~MSpacer() override = default;

  void Paint(MDrawer&) override {}
};
