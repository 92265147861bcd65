#pragma once
// The X server of the suites that open the module's editor in a test host window, and what that
// window shows. One private Xvfb serves the whole program; the module's window system connects
// through $DISPLAY. The server ends with its last client, so a connection of our own keeps it up
// between tests.

#include "gui/MBitmap.h"
#include "tests/gui/x11/MXvfbServer.h"
#include "tools/host/MSharedLibrary.h"
#include "tools/host/MTestHost.h"
#include "tools/host/MTestHostWindow.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
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

/// Hosts keep a module loaded once they have loaded it, and so does this process: the test hosts'
/// own handles then never unmap it. (Unmapping a module with thread-local data at exit also trips
/// the leak checker's thread scan.)
inline const MSharedLibrary& KeepLoaded(const std::string& path)
{
  static std::map<std::string, MSharedLibrary>& kept = *new std::map<std::string, MSharedLibrary>;
  std::string error;
  if (!kept[path].IsOpen())
    kept[path].Open(path, error);
  return kept[path];
}

/// A function the tests' probe copy of the module exports (see MEditorProbe.h); null when the
/// module does not load.
template <class Function>
Function ProbeSymbol(const std::string& module, const char* name)
{
  return reinterpret_cast<Function>(KeepLoaded(module).Symbol(name));
}

/// Blocks of a quiet constant through an activated `host` on a thread of their own, as a DAW runs
/// audio while the user opens and closes the editor, until Stop or the end of the scope.
class AudioThread
{
public:
  explicit AudioThread(MTestHost& host)
      : m_thread([this, &host] {
          std::vector<float> in(256, 0.1f), outLeft(256), outRight(256);
          float* inputs[2] = {in.data(), in.data()};
          float* outputs[2] = {outLeft.data(), outRight.data()};
          while (!m_stop.load())
          {
            host.Process(inputs, outputs, 256);
            m_blocks.fetch_add(1);
          }
        })
  {}
  ~AudioThread() { Stop(); }
  /// Answers the number of blocks processed.
  long Stop()
  {
    m_stop = true;
    if (m_thread.joinable())
      m_thread.join();
    return m_blocks.load();
  }

private:
  std::atomic<bool> m_stop{false};
  std::atomic<long> m_blocks{0};
  std::thread m_thread;
};
} // namespace MHostEditorTest
