// Fuzz target: the three-way merge of preset trees, as instances sharing presets.xml run it.
// The input holds three documents (base, theirs, mine) separated by NUL bytes; a part that is
// not a document counts as an empty tree. Ids may be missing, malformed or repeated, names and
// kinds may clash. The merge must not fail, the result must give every folder and preset one
// well-formed id, every item of `mine` it reports kept must be there exactly once, and merging
// the result with itself must change nothing.

#include "base/MException.h"
#include "base/MMemoryStream.h"
#include "base/MXmlReader.h"
#include "framework/MPresetTree.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace
{
void Require(bool condition, const char* what)
{
  if (!condition)
  {
    std::fprintf(stderr, "preset merge check failed: %s\n", what);
    std::abort();
  }
}

MXmlItem Parse(const std::uint8_t* data, std::size_t size)
{
  try
  {
    MMemoryStream stream(data, size);
    MXmlItem document;
    MXmlReader::Read(stream, document);
    return document;
  }
  catch (const MException&)
  {
    return MXmlItem(MString("presets"));
  }
}

void CountIds(const MXmlItem& folder, std::map<std::string, int>& ids)
{
  for (int index = 0; index < folder.GetSubItemCount(); ++index)
  {
    const MXmlItem& item = folder.GetSubItemAt(index);
    if (!MPresetTree::IsFolder(item) && !MPresetTree::IsPreset(item))
      continue;
    Require(MPresetTree::IsValidId(MPresetTree::IdOf(item)), "every item has a well-formed id");
    ++ids[MPresetTree::IdOf(item).ToUTF8()];
    if (MPresetTree::IsFolder(item))
      CountIds(item, ids);
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  std::vector<MXmlItem> trees;
  std::size_t start = 0;
  for (std::size_t at = 0; at <= size && trees.size() < 3; ++at)
    if (at == size || data[at] == 0)
    {
      trees.push_back(Parse(data + start, at - start));
      start = at + 1;
    }
  while (trees.size() < 3)
    trees.emplace_back(MString("presets"));
  MXmlItem& mine = trees[2];
  std::vector<MString> kept;
  MPresetTree::Merge(trees[0], trees[1], mine, &kept);
  std::map<std::string, int> ids;
  CountIds(mine, ids);
  for (const auto& [id, count] : ids)
    Require(count == 1, "ids are unique in the result");
  for (const MString& id : kept)
    Require(ids.count(id.ToUTF8()) == 1, "an item reported kept is there once");
  const MXmlItem result = mine;
  Require(!MPresetTree::Merge(result, result, mine) && mine == result, "merging with itself changes nothing");
  return 0;
}
