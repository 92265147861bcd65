// Fuzz target: the preset files as the preset tree reads them, presets.xml (first byte even) or an
// exchanged ".mpresets" folder (odd). A rejection must be MException with the tree unchanged; an
// accepted tree must pass its own check, decode or reject each compressed preset, step with
// wrap-around, compress exactly once and survive a write-and-read round trip.

#include "framework/MPresetManagerT.h"
#include "fuzz/MXmlFuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace
{
void Require(bool condition, const char* what)
{
  if (!condition)
  {
    std::fprintf(stderr, "preset tree check failed: %s\n", what);
    std::abort();
  }
}

struct Target
{
  void LoadPresetSettings(MXmlItem&) {}
  void SavePresetSettings(MXmlItem&) {}
  std::int32_t GetCurrentPresetIndex() const { return current; }
  void SetCurrentPresetIndex(std::int32_t index) { current = index; }
  std::int32_t current = -1;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size == 0)
    return 0;
  Target target;
  MPresetManagerT<Target> manager(target);
  MXmlItem& kept = manager.AddFolder(manager.GetRoot(), "Kept");
  const MXmlItem before = manager.GetRoot();
  try
  {
    MMemoryStream stream(data + 1, size - 1);
    MXmlItem document;
    MXmlReader::Read(stream, document);
    (data[0] & 1) != 0 ? static_cast<void>(manager.ImportDocument(std::move(document), kept))
                       : manager.SetTree(std::move(document));
  }
  catch (const MException&)
  {
    Require(manager.GetRoot() == before, "tree unchanged after a rejection");
    return 0;
  }
  const std::int32_t count = manager.GetPresetCount();
  for (std::int32_t index = 0; index < count && index < 64; ++index)
  {
    try
    {
      target.current = 0;
      Require(manager.Step(-1) == count - 1 && target.current == count - 1, "step back wraps");
      manager.ApplyPresetAt(index);
      Require(target.current == index, "current index");
    }
    catch (const MException&)
    {}
  }
  manager.CompressPresets();
  Require(manager.CompressPresets() == 0, "compressing twice converts nothing");
  MPresetTree::Check(manager.GetRoot(), MString("presets"));
  CheckRoundTrip(manager.GetRoot());
  return 0;
}
