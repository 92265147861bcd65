// The VST 3 class factory and the module entry points.

#include "host/vst3/MAudioPluginVST3Factory.h"

#include "base/MHostCallShield.h"
#include "core/plugin/MAudioPlugin.h"
#include "host/vst3/MAudioPluginVST3Adapter.h"
#include "sdk/vst3/CPluginFactory.h"
#include "sdk/vst3/VST3String.h"

#include <atomic>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
std::atomic<int> s_moduleEntries{0};

PFactoryInfo MakeFactoryInfo()
{
  PFactoryInfo info{};
  CopyString8(info.vendor, "Quorvel");
  CopyString8(info.url, "https://www.quorvel.com");
  CopyString8(info.email, "mailto:support@quorvel.com");
  info.flags = PFactoryInfo::kUnicode;
  return info;
}

void RegisterClasses(CPluginFactory& factory)
{
  PClassInfo2 info{};
  std::memcpy(info.cid, MAudioPluginVST3Factory::kClassId.data, sizeof(TUID));
  info.cardinality = PClassInfo::kManyInstances;
  CopyString8(info.category, kVstAudioEffectClass);
  CopyString8(info.name, "Tonvera");
  info.classFlags = 0;
  CopyString8(info.subCategories, "Fx|Pitch Shift");
  CopyString8(info.vendor, "");
  CopyString8(info.version, TONVERA_CLASS_VERSION);
  CopyString8(info.sdkVersion, "VST 3.5.2");
  factory.RegisterClass(info, &MAudioPluginVST3Factory::CreateInstance);
}
} // namespace

FUnknown* MAudioPluginVST3Factory::CreateInstance(void* /*context*/)
{
  return MHostCallShield::Run("MAudioPluginVST3Adapter::CreateInstance", static_cast<FUnknown*>(nullptr),
                              []() -> FUnknown* {
                                MAudioPlugin* plugin = CreateVST3HostedPlugin();
                                if (plugin == nullptr)
                                {
                                  return nullptr;
                                }
                                return static_cast<IAudioProcessor*>(new MAudioPluginVST3Adapter(plugin));
                              });
}

TONVERA_VST3_EXPORT IPluginFactory* PLUGIN_API GetPluginFactory()
{
  return MHostCallShield::Run("GetPluginFactory", static_cast<IPluginFactory*>(nullptr),
                              [] { return CPluginFactory::GetShared(MakeFactoryInfo(), &RegisterClasses); });
}

#ifdef _WIN32
TONVERA_VST3_EXPORT bool PLUGIN_API InitDll()
{
  s_moduleEntries.fetch_add(1);
  return true;
}

TONVERA_VST3_EXPORT bool PLUGIN_API ExitDll()
{
  s_moduleEntries.fetch_sub(1);
  return true;
}
#else
TONVERA_VST3_EXPORT bool PLUGIN_API ModuleEntry(void* /*sharedLibraryHandle*/)
{
  // The module's attach work runs when the loader maps it (the module's own load step), so the
  // entry only counts: hosts may enter more than once and must exit as often.
  s_moduleEntries.fetch_add(1);
  return true;
}

TONVERA_VST3_EXPORT bool PLUGIN_API ModuleExit()
{
  // Balanced with ModuleEntry; an exit without an entry is refused.
  int current = s_moduleEntries.load();
  while (current > 0 && !s_moduleEntries.compare_exchange_weak(current, current - 1))
  {}
  return current > 0;
}
#endif
