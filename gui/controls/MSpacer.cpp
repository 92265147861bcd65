#include "gui/controls/MSpacer.h"

MSpacer::MSpacer()
{
  SetControlType(MControlType::Empty);
}

MSpacer::MSpacer(MSize size) : MSpacer()
{
  SetMinimalClientSize(size);
  SetSize(size);
}
