#pragma once
// MTestHostWindow: the window a DAW gives a plug-in editor to embed into, on an X server.
//
// The host keeps a connection of its own (as a real host does), creates a plain top-level window
// with a black background, and answers the questions a test asks about what the plug-in put
// inside: the size of the embedded child window and how its pixels look (XGetImage); it clicks
// into the child as a user would (XTest).
//
// Threads: one thread drives it. Failures answer false / 0 with the reason in `error`.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class MTestHostWindow
{
public:
  /// What a capture of the window found.
  struct Picture
  {
    int width = 0;
    int height = 0;
    int nonBackground = 0;   ///< pixels that are not the window's black background
    int distinctColours = 0; ///< distinct colours among the first 64 seen (capped there)
  };

  MTestHostWindow() = default;
  ~MTestHostWindow();
  MTestHostWindow(const MTestHostWindow&) = delete;
  MTestHostWindow& operator=(const MTestHostWindow&) = delete;

  /// Connects to `display` ("" = $DISPLAY), creates and maps a width x height window.
  bool Open(const std::string& display, int width, int height, std::string& error);
  void Close();
  /// The X11 window id; 0 when not open.
  std::uintptr_t Handle() const { return m_window; }
  /// Resizes the window (a size request the host granted).
  void Resize(int width, int height);
  /// Resizes the embedded child window, as a host whose frame fits the window it embeds to its
  /// own area does; false when there is none.
  bool ResizeChild(int width, int height);
  /// Flushes requests and waits until the server handled them; drops this connection's events.
  void Sync();
  /// The first child window's size (the embedded editor); false when there is none.
  bool ChildSize(int& width, int& height);
  /// Number of child windows now.
  int ChildCount();
  /// Captures the window's contents (children included).
  Picture Capture();
  /// The embedded child's pixels, row by row, as opaque 0xAARRGGBB; false when there is none.
  bool CaptureChild(std::vector<std::uint32_t>& argb, int& width, int& height);
  /// A left click (XTest: move, press, release) at (x, y) of the embedded child; false when there
  /// is no child or the server lacks XTest.
  bool Click(int x, int y);
  /// The same with the right button (a context menu).
  bool RightClick(int x, int y);
  /// A left-button drag (XTest) in the embedded child: press at `from`, `steps` moves to `to`
  /// (each followed by `betweenSteps`, the host's UI loop, so that the editor sees every move),
  /// release there. False when there is no child or the server lacks XTest.
  bool Drag(int fromX, int fromY, int toX, int toY, int steps, const std::function<void()>& betweenSteps);
  /// Raises the window above the others (clicks land in the topmost window at a point).
  void Raise();

private:
  bool ClickButton(int x, int y, unsigned int button);

  void* m_display = nullptr; // Display*
  std::uintptr_t m_window = 0;
};
