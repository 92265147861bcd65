// Fuzz target: the XML reader on arbitrary bytes (files and presets a user hands over).
// Rejections must be MException; an accepted tree must survive a write-and-read round trip.

#include "fuzz/MXmlFuzzCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  MMemoryStream stream(data, size);
  MXmlItem tree;
  try
  {
    MXmlReader::Read(stream, tree);
  }
  catch (const MException&)
  {
    return 0;
  }
  CheckRoundTrip(tree);
  return 0;
}
