#include "host/module/TonveraModuleInterface.h"

#include "base/MHostCallShield.h"
#include "effect/TonveraAudioEffectPlugin.h"
#include "host/module/MModule.h"

#include <memory>

std::int64_t TonveraAudioEffectPluginInterface(void* instance, std::int64_t command,
                                               MPluginCommandBlock* block)
{
  const bool create = instance == nullptr;
  return MHostCallShield::Run("TonveraAudioEffectPluginInterface", std::int64_t{create ? 0 : -1},
                              [&]() -> std::int64_t {
                                if (!create)
                                {
                                  MPlugin* plugin = static_cast<MPlugin*>(instance);
                                  if (command == MPluginCommand::kGetInstance)
                                    return plugin->GetHandle();
                                  return plugin->Command(command, block);
                                }
                                auto effect = std::make_unique<TonveraAudioEffectPlugin>();
                                if (command == MPluginCommand::kGetInstance)
                                  return effect.release()->GetHandle();
                                const std::int64_t result = effect->Command(command, block);
                                if (command == MPluginCommand::kDestroy)
                                {
                                  // The effect deleted itself.
                                  effect.release();
                                  return result;
                                }
                                // A successful connect hands the effect to the host object; after any other
                                // command nobody holds its handle, and the unique pointer deletes it.
                                if (command == MPluginCommand::kConnect && result != 0)
                                  effect.release();
                                return result;
                              });
}

Module* MLibraryDLLInitialize(const MLibraryInitializationRecord* record)
{
  if (record == nullptr)
    return nullptr;
  return MHostCallShield::Run("MLibraryDLLInitialize", static_cast<Module*>(nullptr), [&] {
    MModuleLibrary::SetSharedSettings(record->settings, record->extraSetting);
    return MModuleLibrary::InitializeShared(record->libraryName);
  });
}
