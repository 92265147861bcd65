#include "gui/controls/MPanel.h"

MPanel::MPanel()
{
  SetControlType(MControlType::Panel);
}
