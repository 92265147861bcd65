// The whole plug-in for a host adapter: the common effect base around the Tonvera effect.

#include "base/MHostCallShield.h"
#include "framework/MQuorvelAudioEffectPlugin.h"
#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"

#include <memory>

MAudioPlugin* CreateTonveraPlugin()
{
  return MHostCallShield::Run("CreateTonveraPlugin", static_cast<MAudioPlugin*>(nullptr), [] {
    MModuleLibrary::Initialize();
    auto plugin = std::make_unique<MQuorvelAudioEffectPlugin>();
    // The framework reaches the effect only through the command function.
    plugin->Initialize("Tonvera", "Quorvel", TonveraAudioEffectPluginInterface);
    plugin->m_self = plugin.get();
    plugin->m_productName = "Tonvera";
    return static_cast<MAudioPlugin*>(plugin.release());
  });
}
