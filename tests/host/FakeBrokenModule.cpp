// Modules that are not usable plug-ins, for the test host's load errors. Built twice:
// with FAKE_BAD_MAGIC the entry point answers a record without the magic; without it the module
// exports no entry point at all.

#include "sdk/vst2/AEffect.h"

#if defined(FAKE_BAD_MAGIC)
namespace
{
Vst2::AEffect s_record{};
}

extern "C" VST2_EXPORT Vst2::AEffect* VST2_CALL VSTPluginMain(Vst2::audioMasterCallback hostCallback);
extern "C" VST2_EXPORT Vst2::AEffect* VST2_CALL VSTPluginMain(Vst2::audioMasterCallback hostCallback)
{
  (void)hostCallback;
  s_record.magic = Vst2::FourCharCode('N', 'o', 'p', 'e');
  return &s_record;
}
#else
extern "C" VST2_EXPORT int NotAPluginEntry();
extern "C" VST2_EXPORT int NotAPluginEntry()
{
  return 0;
}
#endif
