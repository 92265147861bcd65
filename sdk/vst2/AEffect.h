#pragma once
// The VST 2.4 plug-in record as hosts see it: scalar types, the calling convention, the
// entry-point signatures, the AEffect record, its magic and its flag bits.
//
// Written from the published interface facts (field order, types, numbers). Every record here is
// a C layout shared with host binaries, so fields are never reordered, added or removed; the
// static_asserts below pin the x86-64 layout (sizes and offsets) and the 32-bit sizes.
// Who uses it: sdk/vst2 wrapper classes, host/vst2 and the test host in tools/host.

#include <cstddef>
#include <cstdint>

// Calling convention of every function pointer that crosses the boundary. On x86-64 (Linux and
// Windows) there is one C convention; 32-bit Windows hosts call plug-ins with cdecl.
#if defined(_WIN32) && !defined(_WIN64)
#define VST2_CALL __cdecl
#else
#define VST2_CALL
#endif

// Marks the module's entry points for export; everything else stays hidden.
#if defined(_WIN32)
#define VST2_EXPORT __declspec(dllexport)
#else
#define VST2_EXPORT __attribute__((visibility("default")))
#endif

namespace Vst2
{
using VstInt16 = std::int16_t;
using VstInt32 = std::int32_t;
using VstIntPtr = std::intptr_t; ///< pointer-sized integer: 8 bytes on 64-bit targets

struct AEffect;

/// Host entry the plug-in calls (automation, time info, version, ...). Arguments as dispatcher.
using audioMasterCallback = VstIntPtr(VST2_CALL*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                  VstIntPtr value, void* ptr, float opt);
/// Plug-in entry the host calls with an opcode (eff* in VstOpcodes.h).
using AEffectDispatcherProc = VstIntPtr(VST2_CALL*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                    VstIntPtr value, void* ptr, float opt);
using AEffectProcessProc = void(VST2_CALL*)(AEffect* effect, float** inputs, float** outputs,
                                            VstInt32 sampleFrames);
using AEffectProcessDoubleProc = void(VST2_CALL*)(AEffect* effect, double** inputs, double** outputs,
                                                  VstInt32 sampleFrames);
using AEffectSetParameterProc = void(VST2_CALL*)(AEffect* effect, VstInt32 index, float parameter);
using AEffectGetParameterProc = float(VST2_CALL*)(AEffect* effect, VstInt32 index);

/// Builds a four-character code the way the interface reads it: first character most significant.
constexpr VstInt32 FourCharCode(char a, char b, char c, char d)
{
  return static_cast<VstInt32>((static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
                               (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
                               (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
                               static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

/// Value of AEffect::magic ("VstP", 0x56737450); a record without it is not a plug-in.
constexpr VstInt32 kEffectMagic = FourCharCode('V', 's', 't', 'P');
/// Interface version a 2.4 plug-in or host reports (audioMasterVersion, effGetVstVersion).
constexpr VstInt32 kVstVersion = 2400;

/// AEffect::flags bits. Bits 1-3 and 10-11 belong to retired features and stay clear.
enum VstAEffectFlags : VstInt32
{
  effFlagsHasEditor = 1 << 0,          ///< the plug-in answers the effEdit* opcodes
  effFlagsCanReplacing = 1 << 4,       ///< processReplacing is valid (required in 2.4)
  effFlagsProgramChunks = 1 << 5,      ///< state travels as opaque chunks (effGetChunk/effSetChunk)
  effFlagsIsSynth = 1 << 8,            ///< an instrument: the host routes MIDI to it
  effFlagsNoSoundInStop = 1 << 9,      ///< silence in gives silence out once the tail is done
  effFlagsCanDoubleReplacing = 1 << 12 ///< processDoubleReplacing is valid
};

/// The record a plug-in hands the host from its entry point. The plug-in owns it and keeps it at
/// a fixed address for its whole life; the host reads the counts and flags and calls through the
/// function pointers. `object` points back to the plug-in's own object, `resvd1`/`resvd2` belong
/// to the host (must start at 0).
struct AEffect
{
  VstInt32 magic;                       ///< kEffectMagic
  AEffectDispatcherProc dispatcher;     ///< opcode entry
  AEffectProcessProc process;           ///< accumulating process (retired in 2.4, still called by old hosts)
  AEffectSetParameterProc setParameter; ///< normalised value 0..1
  AEffectGetParameterProc getParameter; ///< normalised value 0..1
  VstInt32 numPrograms;                 ///< programs the plug-in holds
  VstInt32 numParams;                   ///< parameters, indices 0 .. numParams - 1
  VstInt32 numInputs;                   ///< audio input channels
  VstInt32 numOutputs;                  ///< audio output channels
  VstInt32 flags;                       ///< VstAEffectFlags
  VstIntPtr resvd1;                     ///< host's own; 0 from the plug-in
  VstIntPtr resvd2;                     ///< host's own; 0 from the plug-in
  VstInt32 initialDelay;                ///< latency in samples
  VstInt32 realQualities;               ///< retired, 0
  VstInt32 offQualities;                ///< retired, 0
  float ioRatio;                        ///< retired, 1.0
  void* object;                         ///< the plug-in's object (AudioEffect*)
  void* user;                           ///< free for the plug-in's own use
  VstInt32 uniqueID;                    ///< four-character identity of the plug-in
  VstInt32 version;                     ///< plug-in version number
  AEffectProcessProc processReplacing;  ///< 32-bit float processing, outputs overwritten
  AEffectProcessDoubleProc processDoubleReplacing; ///< 64-bit processing (effFlagsCanDoubleReplacing)
  char future[56];                                 ///< reserved, zero
};

static_assert(kEffectMagic == 0x56737450, "magic is 'VstP' read big-endian");
static_assert(sizeof(VstInt32) == 4 && sizeof(float) == 4 && sizeof(double) == 8);

#if INTPTR_MAX == INT64_MAX
// x86-64 (and every LP64/LLP64 target): pointers and VstIntPtr take 8 bytes, aligned to 8.
static_assert(sizeof(VstIntPtr) == 8);
static_assert(offsetof(AEffect, magic) == 0);
static_assert(offsetof(AEffect, dispatcher) == 8);
static_assert(offsetof(AEffect, process) == 16);
static_assert(offsetof(AEffect, setParameter) == 24);
static_assert(offsetof(AEffect, getParameter) == 32);
static_assert(offsetof(AEffect, numPrograms) == 40);
static_assert(offsetof(AEffect, numParams) == 44);
static_assert(offsetof(AEffect, numInputs) == 48);
static_assert(offsetof(AEffect, numOutputs) == 52);
static_assert(offsetof(AEffect, flags) == 56);
static_assert(offsetof(AEffect, resvd1) == 64);
static_assert(offsetof(AEffect, resvd2) == 72);
static_assert(offsetof(AEffect, initialDelay) == 80);
static_assert(offsetof(AEffect, realQualities) == 84);
static_assert(offsetof(AEffect, offQualities) == 88);
static_assert(offsetof(AEffect, ioRatio) == 92);
static_assert(offsetof(AEffect, object) == 96);
static_assert(offsetof(AEffect, user) == 104);
static_assert(offsetof(AEffect, uniqueID) == 112);
static_assert(offsetof(AEffect, version) == 116);
static_assert(offsetof(AEffect, processReplacing) == 120);
static_assert(offsetof(AEffect, processDoubleReplacing) == 128);
static_assert(offsetof(AEffect, future) == 136);
static_assert(sizeof(AEffect) == 192);
#elif INTPTR_MAX == INT32_MAX
static_assert(offsetof(AEffect, object) == 64);
static_assert(sizeof(AEffect) == 144);
#endif
} // namespace Vst2
