// Fuzz target: the XML GUI loader on arbitrary documents (editor and dialog descriptions that a
// skin or a user may hand over). Rejections must be MException; an accepted tree is re-laid out
// at a few window sizes and painted.

#include "base/MException.h"
#include "base/MMemoryStream.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "gui/MBitmap.h"
#include "gui/MDrawerToMBitmap.h"
#include "gui/MWindow.h"
#include "gui/styles/MBaseStyle.h"
#include "gui/xml/MXmlLoader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  static MBaseStyle style;
  MXmlItem document;
  try
  {
    MMemoryStream stream(data, size);
    MXmlReader::Read(stream, document);
  }
  catch (const MException&)
  {
    return 0;
  }
  MWindow window;
  window.SetStyle(&style);
  try
  {
    MControl::MXmlLoader::Load(window, document);
  }
  catch (const MException&)
  {
    if (window.GetChildCount() != 0)
      __builtin_trap(); // a failed load must leave nothing behind
    return 0;
  }
  MBitmap surface(160, 120);
  MDrawerToMBitmap drawer(surface);
  for (const MSize windowSize : {MSize{160, 120}, MSize{1, 1}, MSize{97, 33}})
  {
    window.SetSize(windowSize);
    window.PaintSurface(drawer, MRect{0, 0, 160, 120});
  }
  return 0;
}
