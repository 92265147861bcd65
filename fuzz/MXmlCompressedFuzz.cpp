// Fuzz target: the host-state decoder, zlib data inflated (capped at 16 MiB) into the XML reader.
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
    MXmlReader::ReadCompressed(stream, tree);
  }
  catch (const MException&)
  {
    return 0;
  }
  CheckRoundTrip(tree);
  return 0;
}
