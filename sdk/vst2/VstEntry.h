#pragma once
// The module entry of a VST 2.4 plug-in.
//
// A host loads the module, looks up `VSTPluginMain` (old hosts look up `main`), calls it with its
// callback and receives the plug-in's AEffect record, or null when the plug-in refuses. Put
//
//     VST2_DEFINE_ENTRY(CreateEffect)
//
// in exactly one .cpp file of the module, where `Vst2::AudioEffect* CreateEffect(Vst2::audioMasterCallback)`
// builds the plug-in (it may throw, or answer null to refuse, for example when IsVstHost is false).
// Both entry names get C linkage and default visibility; they never let an exception out.
// The module's link step (tonvera_add_vst2_module in sdk/vst2/CMakeLists.txt) exports these two
// symbols and nothing else.

#include "sdk/vst2/AudioEffect.h"

namespace Vst2
{
using EffectFactory = AudioEffect* (*)(audioMasterCallback hostCallback);

/// True when hostCallback is set and answers audioMasterVersion with a non-zero version. A caller
/// that answers 0 is not a VST host (for example a program probing the module's symbols).
inline bool IsVstHost(audioMasterCallback hostCallback) noexcept
{
  if (hostCallback == nullptr)
    return false;
  try
  {
    return hostCallback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) != 0;
  }
  catch (...)
  {
    return false;
  }
}

/// Body of the entry points: runs factory and hands out its record; null on refusal or exception.
inline AEffect* RunEntry(audioMasterCallback hostCallback, EffectFactory factory) noexcept
{
  if (hostCallback == nullptr || factory == nullptr)
    return nullptr;
  try
  {
    AudioEffect* effect = factory(hostCallback);
    return effect != nullptr ? effect->getAeffect() : nullptr;
  }
  catch (...)
  {
    return nullptr;
  }
}
} // namespace Vst2

// The second entry name is `main`, which C++ reserves for programs: declare the function under
// another name and give it the symbol name `main` through an assembler label.
#if defined(_WIN32) && !defined(_WIN64)
#define VST2_MAIN_SYMBOL "_main"
#else
#define VST2_MAIN_SYMBOL "main"
#endif

#define VST2_DEFINE_ENTRY(factory)                                                                           \
  extern "C" VST2_EXPORT Vst2::AEffect* VST2_CALL VSTPluginMain(Vst2::audioMasterCallback hostCallback);     \
  extern "C" VST2_EXPORT Vst2::AEffect* VST2_CALL VSTPluginMain(Vst2::audioMasterCallback hostCallback)      \
  {                                                                                                          \
    return Vst2::RunEntry(hostCallback, &(factory));                                                         \
  }                                                                                                          \
  extern "C" VST2_EXPORT Vst2::AEffect* VST2_CALL Vst2LegacyMainEntry(                                       \
      Vst2::audioMasterCallback hostCallback) __asm__(VST2_MAIN_SYMBOL);                                     \
  extern "C" VST2_EXPORT Vst2::AEffect* VST2_CALL Vst2LegacyMainEntry(                                       \
      Vst2::audioMasterCallback hostCallback)                                                                \
  {                                                                                                          \
    return Vst2::RunEntry(hostCallback, &(factory));                                                         \
  }                                                                                                          \
  static_assert(true, "entry points defined")
