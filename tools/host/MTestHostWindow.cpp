#include "tools/host/MTestHostWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <vector>

namespace
{
Display* AsDisplay(void* display)
{
  return static_cast<Display*>(display);
}

Window FirstChild(Display* display, Window window)
{
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &count) == 0)
    return 0;
  const Window child = count > 0 ? children[0] : 0;
  if (children != nullptr)
    XFree(children);
  return child;
}
} // namespace

MTestHostWindow::~MTestHostWindow()
{
  Close();
}

bool MTestHostWindow::Open(const std::string& display, int width, int height, std::string& error)
{
  Close();
  Display* connection = XOpenDisplay(display.empty() ? nullptr : display.c_str());
  if (connection == nullptr)
  {
    error = "cannot open display '" + display + "'";
    return false;
  }
  m_display = connection;
  const int screen = DefaultScreen(connection);
  m_window = XCreateSimpleWindow(
      connection, RootWindow(connection, screen), 0, 0, static_cast<unsigned>(std::max(width, 1)),
      static_cast<unsigned>(std::max(height, 1)), 0, 0, BlackPixel(connection, screen));
  XSelectInput(connection, m_window, StructureNotifyMask | SubstructureNotifyMask);
  XMapWindow(connection, m_window);
  Sync();
  return true;
}

void MTestHostWindow::Close()
{
  if (m_display == nullptr)
    return;
  if (m_window != 0)
    XDestroyWindow(AsDisplay(m_display), m_window);
  XCloseDisplay(AsDisplay(m_display));
  m_display = nullptr;
  m_window = 0;
}

void MTestHostWindow::Resize(int width, int height)
{
  if (m_display == nullptr || width < 1 || height < 1)
    return;
  XResizeWindow(AsDisplay(m_display), m_window, static_cast<unsigned>(width), static_cast<unsigned>(height));
  Sync();
}

bool MTestHostWindow::ResizeChild(int width, int height)
{
  if (m_display == nullptr || width < 1 || height < 1)
    return false;
  const Window child = FirstChild(AsDisplay(m_display), m_window);
  if (child == 0)
    return false;
  XResizeWindow(AsDisplay(m_display), child, static_cast<unsigned>(width), static_cast<unsigned>(height));
  Sync();
  return true;
}

void MTestHostWindow::Sync()
{
  if (m_display == nullptr)
    return;
  XSync(AsDisplay(m_display), False);
  while (XPending(AsDisplay(m_display)) > 0)
  {
    XEvent event;
    XNextEvent(AsDisplay(m_display), &event);
  }
}

int MTestHostWindow::ChildCount()
{
  if (m_display == nullptr)
    return 0;
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(AsDisplay(m_display), m_window, &root, &parent, &children, &count) == 0)
    return 0;
  if (children != nullptr)
    XFree(children);
  return static_cast<int>(count);
}

bool MTestHostWindow::ChildSize(int& width, int& height)
{
  if (m_display == nullptr)
    return false;
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(AsDisplay(m_display), m_window, &root, &parent, &children, &count) == 0 || count == 0)
    return false;
  XWindowAttributes attributes{};
  const bool found = XGetWindowAttributes(AsDisplay(m_display), children[0], &attributes) != 0;
  XFree(children);
  width = attributes.width;
  height = attributes.height;
  return found;
}

MTestHostWindow::Picture MTestHostWindow::Capture()
{
  Picture picture;
  if (m_display == nullptr)
    return picture;
  Sync();
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(AsDisplay(m_display), m_window, &attributes) == 0)
    return picture;
  XImage* image = XGetImage(AsDisplay(m_display), m_window, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  if (image == nullptr)
    return picture;
  picture.width = attributes.width;
  picture.height = attributes.height;
  std::vector<unsigned long> colours;
  for (int y = 0; y < attributes.height; ++y)
    for (int x = 0; x < attributes.width; ++x)
    {
      const unsigned long pixel = XGetPixel(image, x, y) & 0xFFFFFFul;
      if (pixel != 0)
        ++picture.nonBackground;
      if (colours.size() < 64 && std::find(colours.begin(), colours.end(), pixel) == colours.end())
        colours.push_back(pixel);
    }
  picture.distinctColours = static_cast<int>(colours.size());
  XDestroyImage(image);
  return picture;
}

bool MTestHostWindow::CaptureChild(std::vector<std::uint32_t>& argb, int& width, int& height)
{
  if (m_display == nullptr)
    return false;
  Sync();
  Display* display = AsDisplay(m_display);
  const Window child = FirstChild(display, m_window);
  XWindowAttributes attributes{};
  if (child == 0 || XGetWindowAttributes(display, child, &attributes) == 0)
    return false;
  XImage* image = XGetImage(display, child, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  if (image == nullptr)
    return false;
  width = attributes.width;
  height = attributes.height;
  argb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
          0xFF000000u | static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xFFFFFFul);
  XDestroyImage(image);
  return true;
}

bool MTestHostWindow::Click(int x, int y)
{
  return ClickButton(x, y, 1);
}

bool MTestHostWindow::RightClick(int x, int y)
{
  return ClickButton(x, y, 3);
}

bool MTestHostWindow::ClickButton(int x, int y, unsigned int button)
{
  if (m_display == nullptr)
    return false;
  Display* display = AsDisplay(m_display);
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  const Window child = FirstChild(display, m_window);
  if (child == 0 || !XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor))
    return false;
  int rootX = 0;
  int rootY = 0;
  Window ignored = 0;
  const int screen = DefaultScreen(display);
  XTranslateCoordinates(display, child, RootWindow(display, screen), x, y, &rootX, &rootY, &ignored);
  XTestFakeMotionEvent(display, screen, rootX, rootY, CurrentTime);
  XTestFakeButtonEvent(display, button, True, CurrentTime);
  XTestFakeButtonEvent(display, button, False, CurrentTime);
  Sync();
  return true;
}

bool MTestHostWindow::Drag(int fromX, int fromY, int toX, int toY, int steps,
                           const std::function<void()>& betweenSteps)
{
  if (m_display == nullptr)
    return false;
  Display* display = AsDisplay(m_display);
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  const Window child = FirstChild(display, m_window);
  if (child == 0 || !XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor))
    return false;
  const int screen = DefaultScreen(display);
  const auto moveTo = [&](int x, int y) {
    int rootX = 0;
    int rootY = 0;
    Window ignored = 0;
    XTranslateCoordinates(display, child, RootWindow(display, screen), x, y, &rootX, &rootY, &ignored);
    XTestFakeMotionEvent(display, screen, rootX, rootY, CurrentTime);
  };
  moveTo(fromX, fromY);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  Sync();
  steps = std::max(steps, 1);
  for (int step = 1; step <= steps; ++step)
  {
    moveTo(fromX + (toX - fromX) * step / steps, fromY + (toY - fromY) * step / steps);
    Sync();
    if (betweenSteps)
      betweenSteps();
  }
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  Sync();
  return true;
}

void MTestHostWindow::Raise()
{
  if (m_display == nullptr || m_window == 0)
    return;
  XRaiseWindow(AsDisplay(m_display), m_window);
  Sync();
}
