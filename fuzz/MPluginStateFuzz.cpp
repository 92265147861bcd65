// Fuzz target: the plug-in's host-state loader (LoadState) on one long-lived instance.
//
// The first byte chooses the form: odd: the remaining bytes are host-state bytes as a host would
// hand them over (zlib data); even: they are the document text, compressed here first, so that
// the fuzzer explores the state's structure and values rather than zlib's. After every load the
// state must be within its limits, and saving then loading what was saved must give the same
// text again (a loaded state is always a stable state).

#include "framework/MQuorvelAudioEffectPlugin.h"
#include "tests/framework/MFakeEffect.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace MFrameworkTest;

namespace
{
void Require(bool condition, const char* what)
{
  if (!condition)
  {
    std::fprintf(stderr, "plug-in state check failed: %s\n", what);
    std::abort();
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  static TestPlugin* plugin = new TestPlugin;
  if (size == 0)
    return 0;
  const std::uint8_t* body = data + 1;
  const std::size_t length = size - 1;
  if ((data[0] & 1) != 0)
    plugin->LoadState(body, length);
  else
  {
    const std::vector<std::uint8_t> bytes = Deflate(std::string(reinterpret_cast<const char*>(body), length));
    plugin->LoadState(bytes.data(), bytes.size());
  }

  FakeEffect& effect = plugin->Effect();
  for (int index = 0; index < FakeEffect::kCount; ++index)
  {
    const MParameterInfo& info = effect.Parameter(static_cast<FakeEffect::Index>(index));
    if (info.type == MParameterInfo::kFloat)
      Require(info.floating.value >= info.floating.minimum && info.floating.value <= info.floating.maximum,
              "float parameter in range");
    if (info.type == MParameterInfo::kInteger)
      Require(info.integer.value >= info.integer.minimum && info.integer.value <= info.integer.maximum,
              "integer parameter in range");
    if (info.type == MParameterInfo::kEnumeration)
      Require(info.enumeration.value >= 0 && info.enumeration.value < info.enumeration.count,
              "enumeration in range");
  }
  Require(plugin->GetPresetIndex() >= 0 && plugin->GetPresetIndex() < 8, "preset index");
  Require(plugin->GetChannelMode() >= 0 && plugin->GetChannelMode() < 8, "channel mode");
  Require(plugin->GetMaxLFOBlockSize() >= 1, "block size");
  Require(plugin->GetVersion() > 0 && plugin->GetVersion() <= 461312, "version");
  Require(plugin->m_controllers.size() <= 32 && plugin->m_noteControllers.size() <= 32, "controller counts");
  for (const MControllerAssignment& c : plugin->m_controllers)
    Require(c.parameter >= 0 && c.parameter < plugin->GetNumParameters(), "controller target");

  const auto saved = plugin->SaveState();
  Require(saved != nullptr, "saving");
  const std::string text = Inflate(saved);
  Require(plugin->LoadState(saved->GetData(), saved->GetSize()), "reloading");
  Require(Inflate(plugin->SaveState()) == text, "stable after reloading");
  return 0;
}
