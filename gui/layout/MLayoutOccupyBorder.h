#pragma once
// MLayoutOccupyBorder: keeps a margin free around what the following layouts get. It takes no
// controls: the margin is "deflayoutborderx" on the left and right and "deflayoutbordery" on the
// top and bottom (a negative default border counts as 0). Put first in a container's list, it
// gives the whole content a margin; the margin counts in the container's minimal size.
//
// Adding a control throws MException `Service "add control to occupy-space layout" is not
// implemented.` (context "add control to occupy-space layout").

#include "gui/layout/MLayout.h"

class MLayoutOccupyBorder : public MLayout
{
public:
  void AddControl(MControl& control) override;

protected:
  FreeRect Run(SizeComputer& computer, const FreeRect& free, bool place) override;
};
