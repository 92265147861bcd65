// The bundle's two entry points, which the host finds by name in Tonvera.so: the plug-ins (stereo,
// mono) and the UI. Any thread; they only answer static descriptors.

#include "host/lv2/MAudioPluginLV2Adapter.h"
#include "host/lv2/MAudioPluginLV2UI.h"

extern "C"
{
  LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index)
  {
    return MAudioPluginLV2Adapter::Descriptor(index);
  }

  LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(std::uint32_t index)
  {
    return MAudioPluginLV2UI::Descriptor(index);
  }
}
