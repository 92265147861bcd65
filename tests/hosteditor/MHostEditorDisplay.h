#pragma once
// The X server of the suites that open the module's editor in a test host window, and what that
// window shows. One private Xvfb serves the whole program; the module's window system connects
// through $DISPLAY. The server ends with its last client, so a connection of our own keeps it up
// between tests.

#include "gui/MBitmap.h"
#include "tests/gui/x11/MXvfbServer.h"
#include "tools/host/MTestHostWindow.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace MHostEditorTest
{
/// The display's name, started on first use; empty when no Xvfb could be started (the tests
/// then skip).
inline const std::string& Display()
{
  static MXvfbServer server;
  static MTestHostWindow keeper;
  static const std::string name = [] {
    std::string error;
    // Room for the editor at 200 % (1440 x 1044): a window reaching beyond the screen cannot be
    // read back.
    if (!server.Start(error, 24, {"-screen", "0", "1600x1200x24"}) ||
        !keeper.Open(server.GetDisplayName(), 1, 1, error))
      return std::string();
    setenv("DISPLAY", server.GetDisplayName().c_str(), 1);
    return server.GetDisplayName();
  }();
  return name;
}

/// The embedded editor in `window` as the host sees it on screen; empty when it cannot be read.
inline MBitmap CaptureChild(MTestHostWindow& window)
{
  std::vector<std::uint32_t> pixels;
  int width = 0;
  int height = 0;
  if (!window.CaptureChild(pixels, width, height))
    return MBitmap();
  MBitmap bitmap(width, height);
  std::copy(pixels.begin(), pixels.end(), bitmap.Pixels());
  return bitmap;
}
} // namespace MHostEditorTest
