// The plug-in a VST 3 instance of this module wraps: the whole Tonvera plug-in.

#include "core/plugin/MAudioPlugin.h"
#include "host/module/TonveraModuleInterface.h"
#include "host/vst3/MAudioPluginVST3Factory.h"

MAudioPlugin* CreateVST3HostedPlugin()
{
  MAudioPlugin* plugin = CreateTonveraPlugin();
  // The effect processes a stereo bus; a plug-in that came without a channel layout gets one,
  // so that the adapter publishes its "Stereo In" and "Stereo Out" buses.
  if (plugin != nullptr && plugin->GetNumInputs() == 0 && plugin->GetNumOutputs() == 0)
  {
    plugin->SetChannelNames({MString("Left"), MString("Right")}, {MString("Left"), MString("Right")});
  }
  return plugin;
}
