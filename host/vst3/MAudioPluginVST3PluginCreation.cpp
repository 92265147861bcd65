// The plug-in a VST 3 instance of this module wraps: the whole Tonvera plug-in.

#include "host/module/TonveraModuleInterface.h"
#include "host/vst3/MAudioPluginVST3Factory.h"

MAudioPlugin* CreateVST3HostedPlugin()
{
  return CreateTonveraPlugin();
}
