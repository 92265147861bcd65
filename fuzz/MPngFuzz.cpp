// Fuzz target: the PNG decoder on arbitrary bytes (style package images, files a user hands over).
// Rejections must be MException; an accepted image stays within the size caps, survives an
// encode-and-decode round trip unchanged, and can be drawn scaled and sliced without harm.

#include "base/MException.h"
#include "gui/MBitmap.h"
#include "gui/MDrawerToMBitmap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  MBitmap bitmap;
  try
  {
    bitmap = MBitmap::LoadPNG(data, size);
  }
  catch (const MException&)
  {
    return 0;
  }
  if (bitmap.IsEmpty() || bitmap.Width() > MBaseBitmap::kMaxSide || bitmap.Height() > MBaseBitmap::kMaxSide)
  {
    std::abort();
  }
  const std::vector<std::uint8_t> encoded = bitmap.SavePNG();
  if (!(MBitmap::LoadPNG(encoded.data(), encoded.size()) == bitmap))
  {
    std::abort(); // round trip changed the pixels
  }
  MBitmap target(24, 24);
  MDrawerToMBitmap drawer(target);
  drawer.StretchBlt(MRect{-3, 2, 20, 17}, bitmap, bitmap.Bounds());
  drawer.DrawBordered(MRect{1, 1, 23, 23}, bitmap, 3, 2, MBitmapFill::Pattern);
  return 0;
}
