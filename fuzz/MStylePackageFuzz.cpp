// libFuzzer target: the style package reader on arbitrary bytes, and for a package that passes
// the container checks, its index and every style definition it lists.

#include "base/MException.h"
#include "base/MMemoryStream.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "gui/styles/MStyleDefinition.h"
#include "gui/styles/MStylePackage.h"
#include "gui/styles/MTexturedStyle.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  try
  {
    const MStylePackage package(std::span<const std::uint8_t>(data, size));
    // Every entry's bytes are read once, so a wrong bound shows up under ASan.
    unsigned sum = 0;
    for (const MStylePackage::Entry& entry : package.GetEntries())
      for (std::uint8_t byte : package.Get(entry.name))
        sum += byte;
    static volatile unsigned sink = 0;
    sink = sink + sum;
    for (const MString& name : MTexturedStyle::ListStyles(package))
    {
      (void)name;
    }
    for (const MStylePackage::Entry& entry : package.GetEntries())
    {
      if (!entry.name.EndsWith("style.xml"))
        continue;
      try
      {
        const auto bytes = package.Get(entry.name);
        MMemoryStream stream(bytes.data(), bytes.size());
        MXmlItem root;
        MXmlReader::Read(stream, root);
        MStyleDefinition definition;
        definition.Read(root);
      }
      catch (const MException&)
      {}
    }
  }
  catch (const MException&)
  {
    // Rejected with a message: what the reader is for.
  }
  return 0;
}
