// The module Tonvera: its load and unload notifications and the VST 2.4 entry points. (The VST 3
// entry points come from the VST 3 adapter's library when it is linked in.)

#include "base/MString.h"
#include "core/plugin/MAudioPlugin.h"
#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"
#include "host/vst2/MAudioPluginVSTAdapter.h"
#include "sdk/vst2/VstEntry.h"

#include <vector>

namespace
{
/// An address inside this module: with it the platform layer finds the module's file.
char s_moduleMarker;

#if defined(__GNUC__) && !defined(_WIN32)
__attribute__((constructor)) void OnModuleLoaded()
{
  MModuleLibrary::Attach(&s_moduleMarker);
}

__attribute__((destructor)) void OnModuleUnloaded()
{
  MModuleLibrary::Detach();
}
#endif

MAudioPlugin* CreatePlugin()
{
  MAudioPlugin* plugin = CreateTonveraPlugin();
  // The effect processes a stereo bus; a plug-in that came without a channel layout gets one.
  if (plugin != nullptr && plugin->GetNumInputs() == 0 && plugin->GetNumOutputs() == 0)
    plugin->SetChannelNames({MString("Left"), MString("Right")}, {MString("Left"), MString("Right")});
  return plugin;
}

Vst2::AudioEffect* CreateEffect(Vst2::audioMasterCallback hostCallback)
{
  return Vst2::MAudioPluginVSTAdapter::Create(hostCallback, &CreatePlugin);
}
} // namespace

VST2_DEFINE_ENTRY(CreateEffect);
