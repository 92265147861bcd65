// Fuzz target: STML texts (help texts, generated indicator texts) parsed, laid out at several
// widths and drawn. Rejections must be MException; layout must end; drawing stays in the bitmap.

#include "base/MException.h"
#include "gui/MBitmap.h"
#include "gui/MDrawerToMBitmap.h"
#include "gui/stml/MSTML.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 2)
    return 0;
  // First byte: the width to lay out for and whether the help definitions go in front.
  const std::int32_t width = (data[0] & 0x7F) * 5 - 20;
  const bool help = (data[0] & 0x80) != 0;
  const MString text = MString::FromUTF8(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  MSTML document;
  try
  {
    if (help)
      document.ParseHelp(text);
    else
      document.Parse(text);
  }
  catch (const MException&)
  {
    return 0;
  }
  const MSTMLResources resources;
  document.Layout(width, resources);
  static MBitmap surface(160, 120);
  MDrawerToMBitmap drawer(surface);
  document.Draw(drawer, MPoint{4, 4}, resources);
  document.Layout(1 << 20, resources);
  return 0;
}
