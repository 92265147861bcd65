#pragma once
// MTestHostWin32Window: the window a Windows DAW gives a plug-in editor to embed into.
//
// A plain top-level window (frameless) of a class of the test host's own (black background), and the
// questions a test asks about what the plug-in put inside: its child windows, their size and
// their pixels as the screen shows them (BitBlt from the child's device context). Pump runs the
// thread's message loop for a while, as the DAW's UI loop does, calling `idle` every period.
//
// Threads: the thread that opened it, for every call. Failures answer false / empty.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class MTestHostWin32Window
{
public:
  MTestHostWin32Window() = default;
  ~MTestHostWin32Window();
  MTestHostWin32Window(const MTestHostWin32Window&) = delete;
  MTestHostWin32Window& operator=(const MTestHostWin32Window&) = delete;

  /// Creates and shows a window whose client area is width x height.
  bool Open(int width, int height, std::string& error);
  void Close();
  /// The HWND; 0 when not open.
  std::uintptr_t Handle() const { return m_window; }
  /// Dispatches the thread's messages for about `milliseconds`, calling `idle` (if any) every
  /// `periodMs` as a DAW's editor idle does.
  void Pump(int milliseconds, const std::function<void()>& idle = {}, int periodMs = 30);
  /// Moves the mouse pointer to screen point (x, y).
  static void ParkPointer(int x, int y);
  /// Number of child windows now.
  int ChildCount() const;
  /// The first child window (the embedded editor): its window class and client size.
  bool Child(std::string& className, int& width, int& height) const;
  /// The first child's pixels as shown, row by row, as opaque 0xAARRGGBB.
  bool CaptureChild(std::vector<std::uint32_t>& argb, int& width, int& height) const;

private:
  std::uintptr_t m_window = 0;
};
