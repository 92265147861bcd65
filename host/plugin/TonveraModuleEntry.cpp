// The module Tonvera: its load and unload notifications and the VST 2.4 entry points. (The VST 3
// entry points come from the VST 3 adapter's library when it is linked in.)

#include "base/MHostCallShield.h"
#include "base/MString.h"
#include "core/plugin/MAudioPlugin.h"
#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"
#include "host/vst2/MAudioPluginVSTAdapter.h"
#include "sdk/vst2/VstEntry.h"

#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace
{
#if defined(__GNUC__) && !defined(_WIN32)
/// An address inside this module: with it the platform layer finds the module's file.
char s_moduleMarker;

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

#ifdef _WIN32
/// The loader's notifications (the C runtime has run its start-up around them). The module handle
/// is the module's instance handle. Thread notifications stay on: the runtime's thread-exit
/// cleanup of thread_local storage rides on them. When the process is ending (reserved set) its
/// other threads are already gone and may have left the library lock taken, so only an unload by
/// FreeLibrary shuts the library down; the system reclaims everything else.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
  MHostCallShield::Run("DllMain", [&] {
    if (reason == DLL_PROCESS_ATTACH)
      MModuleLibrary::Attach(instance);
    else if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
      MModuleLibrary::Detach();
  });
  return TRUE;
}
#endif
