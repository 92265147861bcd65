#include "tests/gui/support/MSnapshot.h"

#include "base/MException.h"
#include "gui/MWindow.h"
#include "gui/headless/MWindowSystemHeadless.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace
{

bool UpdateRequested()
{
  const char* value = std::getenv("TONVERA_UPDATE_GOLDENS");
  return value != nullptr && std::string(value) == "1";
}

int Channel(std::uint32_t pixel, int shift)
{
  return static_cast<int>((pixel >> shift) & 0xFFu);
}

} // namespace

std::string GoldenPath(const std::string& name)
{
  return std::string(TONVERA_GUI_GOLDEN_DIR) + "/" + name + ".png";
}

std::string SnapshotOutputPath(const std::string& name)
{
  // Names may carry a sub-folder ("editor/..."): make it so a failure picture can be written.
  const std::filesystem::path path = std::filesystem::path(TONVERA_GUI_SNAPSHOT_DIR) / name;
  std::filesystem::create_directories(path.parent_path());
  return path.string();
}

MBitmap RenderWindow(MWindowSystemHeadless& system, MWindow& window)
{
  return system.Render(window);
}

long long CountDifferingPixels(const MBitmap& a, const MBitmap& b, int channel, MBitmap* differenceMap)
{
  if (a.Size() != b.Size())
    return -1;
  if (differenceMap != nullptr)
    differenceMap->Resize(a.Width(), a.Height());
  long long count = 0;
  for (std::int32_t y = 0; y < a.Height(); ++y)
  {
    const std::uint32_t* rowA = a.Row(y);
    const std::uint32_t* rowB = b.Row(y);
    for (std::int32_t x = 0; x < a.Width(); ++x)
    {
      bool differs = false;
      for (int shift = 0; shift < 32 && !differs; shift += 8)
        differs = std::abs(Channel(rowA[x], shift) - Channel(rowB[x], shift)) > channel;
      if (differs)
        ++count;
      if (differenceMap != nullptr)
        differenceMap->Row(y)[x] = differs ? 0xFFFF0000u : ((rowA[x] >> 2) & 0x3F3F3Fu) | 0xFF000000u;
    }
  }
  return count;
}

::testing::AssertionResult MatchesGolden(const MBitmap& actual, const std::string& name,
                                         const MSnapshotTolerance& tolerance)
{
  const std::string golden = GoldenPath(name);
  try
  {
    if (UpdateRequested())
    {
      std::filesystem::create_directories(std::filesystem::path(golden).parent_path());
      actual.SavePNGFile(MString::FromUTF8(golden));
      return ::testing::AssertionSuccess() << "golden rewritten: " << golden;
    }
    std::filesystem::create_directories(TONVERA_GUI_SNAPSHOT_DIR);
    const std::string actualPath = SnapshotOutputPath(name + ".actual.png");
    if (!std::filesystem::exists(golden))
    {
      actual.SavePNGFile(MString::FromUTF8(actualPath));
      return ::testing::AssertionFailure() << "no golden " << golden << " (actual picture: " << actualPath
                                           << "); run with TONVERA_UPDATE_GOLDENS=1 to create it";
    }
    const MBitmap expected = MBitmap::LoadPNGFile(MString::FromUTF8(golden));
    MBitmap difference;
    const long long differing = CountDifferingPixels(actual, expected, tolerance.channel, &difference);
    const double pixels = static_cast<double>(actual.Width()) * actual.Height();
    if (differing >= 0 && differing <= tolerance.maxDifferingFraction * pixels)
      return ::testing::AssertionSuccess();
    actual.SavePNGFile(MString::FromUTF8(actualPath));
    std::ostringstream message;
    if (differing < 0)
      message << "size " << actual.Width() << "x" << actual.Height() << " differs from the golden's "
              << expected.Width() << "x" << expected.Height();
    else
    {
      const std::string differencePath = SnapshotOutputPath(name + ".difference.png");
      difference.SavePNGFile(MString::FromUTF8(differencePath));
      message << differing << " of " << static_cast<long long>(pixels) << " pixels differ by more than "
              << tolerance.channel << " (difference map: " << differencePath << ")";
    }
    return ::testing::AssertionFailure()
           << name << ": " << message.str() << "; actual picture: " << actualPath;
  }
  catch (const MException& exception)
  {
    return ::testing::AssertionFailure() << name << ": " << exception.Message().ToUTF8();
  }
}
