// The whole plug-in for a host adapter: the common effect base around the Tonvera effect.

#include "base/MHostCallShield.h"
#include "framework/MQuorvelAudioEffectPlugin.h"
#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"

#include <memory>

namespace
{
MAudioPlugin* Create(const MString& call, bool mirror)
{
  return MHostCallShield::Run(call, static_cast<MAudioPlugin*>(nullptr), [&] {
    MModuleLibrary::Initialize();
    auto plugin = std::make_unique<MQuorvelAudioEffectPlugin>();
    if (mirror)
      plugin->MakeMirror();
    // The framework reaches the effect only through the command function.
    plugin->Initialize("Tonvera", "Quorvel", TonveraAudioEffectPluginInterface);
    plugin->m_self = plugin.get();
    plugin->m_productName = "Tonvera";
    return static_cast<MAudioPlugin*>(plugin.release());
  });
}
} // namespace

MAudioPlugin* CreateTonveraPlugin()
{
  return Create(MString("CreateTonveraPlugin"), false);
}

MAudioPlugin* CreateTonveraMirror()
{
  return Create(MString("CreateTonveraMirror"), true);
}
