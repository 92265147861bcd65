// Fuzz target: host-state bytes loaded into a live Tonvera plug-in, which then processes a block.
//
// The first byte chooses the form: odd: the remaining bytes are host-state bytes as a host hands
// them over (zlib data); even: they are the document text, compressed here first, so that the
// fuzzer explores the state's structure and values rather than zlib's. Whatever was loaded, the
// block that follows must come out finite.

#include "framework/MQuorvelAudioEffectPlugin.h"
#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"

#include <zlib.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{
constexpr int kBlock = 256;

MQuorvelAudioEffectPlugin& Plugin()
{
  static MQuorvelAudioEffectPlugin* plugin = [] {
    MModuleLibrary::AdapterCreated(MModuleLibrary::AdapterKind::kVst2);
    auto* created = dynamic_cast<MQuorvelAudioEffectPlugin*>(CreateTonveraPlugin());
    if (created == nullptr)
      std::abort();
    std::vector<MString> names(2, MString("Channel"));
    created->SetChannelNames(names, names);
    created->SetSampleRate(44100.0);
    created->SetBlockSize(kBlock);
    created->InitProcessing();
    return created;
  }();
  return *plugin;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size == 0)
    return 0;
  MQuorvelAudioEffectPlugin& plugin = Plugin();
  const std::uint8_t* body = data + 1;
  const std::size_t length = size - 1;
  if ((data[0] & 1) != 0)
    plugin.LoadState(body, length);
  else
  {
    std::vector<std::uint8_t> packed(compressBound(static_cast<uLong>(length)));
    uLongf packedSize = static_cast<uLongf>(packed.size());
    if (compress2(packed.data(), &packedSize, body, static_cast<uLong>(length), 9) != Z_OK)
      return 0;
    plugin.LoadState(packed.data(), packedSize);
  }

  static std::vector<float> left(kBlock), right(kBlock), outLeft(kBlock), outRight(kBlock);
  for (int i = 0; i < kBlock; ++i)
    left[i] = right[i] = 0.5f * static_cast<float>(std::sin(0.0627 * i));
  float* in[MAudioPlugin::kPointersPerBus] = {left.data(), right.data()};
  float* out[MAudioPlugin::kPointersPerBus] = {outLeft.data(), outRight.data()};
  plugin.Process(in, out, kBlock, true);
  for (int i = 0; i < kBlock; ++i)
    if (!std::isfinite(outLeft[i]) || !std::isfinite(outRight[i]))
    {
      std::fprintf(stderr, "non-finite output after loading a state\n");
      std::abort();
    }
  return 0;
}
