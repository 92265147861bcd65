#include "gui/x11/MWindowSystemX11.h"

#include "base/MException.h"
#include "base/MFormat.h"
#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "gui/MBitmap.h"
#include "gui/MDrawerToMBitmap.h"
#include "gui/MWindow.h"
#include "gui/x11/MX11Errors.h"
#include "gui/x11/MX11Image.h"
#include "gui/x11/MX11Input.h"
#include "gui/x11/MX11Wake.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <utility>
#if defined(__linux__)
#include <sys/epoll.h>
#endif

// X.h defines FocusIn and FocusOut as event-type macros: name the toolkit's codes first.
namespace
{
constexpr MSystemEvent::Code kFocusInCode = MSystemEvent::FocusIn;
constexpr MSystemEvent::Code kFocusOutCode = MSystemEvent::FocusOut;
} // namespace

#include "gui/x11/MX11Headers.h"

/// A native window of this back end: the X window, its surface and what is dirty on it.
class MX11WindowDescriptor final : public MWindowDescriptor
{
public:
  explicit MX11WindowDescriptor(MWindow& owner)
      : MWindowDescriptor(MWindowSystemX11::kDescriptorType), m_owner(owner), m_drawer(m_surface)
  {}

  MNativeHandle GetHandle() const override { return m_window; }
  MBitmap& GetSurface() override { return m_surface; }
  MDrawer& GetDrawer() override { return m_drawer; }

  MRect Bounds() const { return MRect{0, 0, m_size.x, m_size.y}; }

  MWindow& m_owner;
  Window m_window = 0;
  GC m_gc = nullptr;
  MBitmap m_surface;
  MDrawerToMBitmap m_drawer;
  std::unique_ptr<MX11Image> m_image;
  MPoint m_position;        // in the parent (children) or on the screen (top-level, as asked)
  MSize m_size;             // the surface's size, always that of the window
  bool m_topLevel = false;  // managed by the window manager
  bool m_popup = false;     // override-redirect
  bool m_shown = false;     // mapped by us
  bool m_destroyed = false; // the server destroyed it (with the host's window)
  bool m_textInput = false; // an embedded window holds the keyboard for a text edit
  Window m_focusBefore = 0; // who had the keyboard before that edit (0: the parent)
  MRect m_dirty;            // GUI thread: to paint and copy out

  // Requests of other threads, applied by the GUI thread on its next wake-up.
  std::mutex m_requestLock;
  MRect m_requestedDirty;
  bool m_showRequested = false;
};

namespace
{
constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask |
                            FocusChangeMask | StructureNotifyMask;
constexpr int kCursorCount = static_cast<int>(MStdCursor::Hollow) + 1;

MPoint EventPoint(int x, int y)
{
  return MPoint{std::int32_t(x), std::int32_t(y)};
}
} // namespace

struct MWindowSystemX11::Impl
{
  Display* display = nullptr;
  int screen = 0;
  Window root = 0;
  Visual* visual = nullptr;
  int depth = 0;
  Colormap colormap = 0;
  bool ownColormap = false;
  bool sharedMemory = false;
  bool shape = false;
  Atom wmProtocols = 0, wmDeleteWindow = 0, netWmName = 0, utf8String = 0, netWorkArea = 0, wmState = 0,
       netActiveWindow = 0, clipboard = 0, targets = 0, incr = 0, transfer = 0;
  Window clipboardWindow = 0;
  bool ownsClipboard = false;
  std::string clipboardText; // UTF-8, what we answer while we own the selection
  std::unique_ptr<MX11Wake> wake;
  int epollFd = -1;
  std::vector<MX11WindowDescriptor*> windows;

  struct Timer
  {
    MX11WindowDescriptor* window;
    std::int32_t id;
    std::int32_t periodMs;
    std::uint64_t dueMs;
  };
  std::vector<Timer> timers;

  std::array<Cursor, kCursorCount> cursors{};
  MStdCursor cursor = MStdCursor::Arrow;
  Window pointerWindow = 0;
  Window captureWindow = 0;
  MX11Input::ClickTracker clicks;

  Cursor GetCursor(MStdCursor which)
  {
    const int index = std::clamp(static_cast<int>(which), 0, kCursorCount - 1);
    if (cursors[std::size_t(index)])
      return cursors[std::size_t(index)];
    const int shape = MX11Input::CursorFontShape(which);
    Cursor made = 0;
    if (shape >= 0)
      made = XCreateFontCursor(display, unsigned(shape));
    else
    {
      // Hollow: a cursor whose only pixel is transparent.
      static const char empty[1] = {0};
      Pixmap blank = XCreateBitmapFromData(display, root, empty, 1, 1);
      XColor black{};
      made = XCreatePixmapCursor(display, blank, blank, &black, &black, 0, 0);
      XFreePixmap(display, blank);
    }
    cursors[std::size_t(index)] = made;
    return made;
  }
};

MWindowSystemX11::MWindowSystemX11(const MString& displayName) : m_displayName(displayName) {}

MWindowSystemX11::~MWindowSystemX11()
{
  // The common threads call WakeGuiThread: stop them while the wake-up signal still exists.
  ShutdownCommon();
  m_wakeSignal.store(nullptr, std::memory_order_release);
  if (!m_impl)
    return;
  Impl& impl = *m_impl;
  for (MX11WindowDescriptor* descriptor : impl.windows)
  {
    descriptor->m_image.reset();
    if (descriptor->m_gc)
      XFreeGC(impl.display, descriptor->m_gc);
    descriptor->m_gc = nullptr;
    if (!descriptor->m_destroyed)
      XDestroyWindow(impl.display, descriptor->m_window);
    descriptor->m_destroyed = true;
  }
  impl.windows.clear();
  for (Cursor cursor : impl.cursors)
    if (cursor)
      XFreeCursor(impl.display, cursor);
  if (impl.ownColormap)
    XFreeColormap(impl.display, impl.colormap);
  if (impl.epollFd >= 0)
    close(impl.epollFd);
  XCloseDisplay(impl.display);
  MX11Errors::Unregister(impl.display);
}

double MWindowSystemX11::ContentScaleFrom(const char* resources, const char* gdkScale)
{
  if (gdkScale != nullptr && *gdkScale != '\0')
  {
    const long scale = std::strtol(gdkScale, nullptr, 10);
    if (scale > 0 && scale <= 8)
      return static_cast<double>(scale);
  }
  if (resources == nullptr)
    return 1.0;
  // One "name:\tvalue" per line; the desktop's font settings write the DPI as "Xft.dpi".
  const std::string text(resources);
  std::size_t line = 0;
  while (line < text.size())
  {
    const std::size_t end = std::min(text.find('\n', line), text.size());
    const std::string entry = text.substr(line, end - line);
    line = end + 1;
    constexpr const char* kKey = "Xft.dpi:";
    if (entry.compare(0, std::strlen(kKey), kKey) != 0)
      continue;
    const double dpi = std::strtod(entry.c_str() + std::strlen(kKey), nullptr);
    if (dpi >= 48.0 && dpi <= 960.0)
      return dpi / 96.0;
  }
  return 1.0;
}

double MWindowSystemX11::GetContentScale(MNativeHandle) const
{
  const char* resources =
      m_impl != nullptr && m_impl->display != nullptr ? XResourceManagerString(m_impl->display) : nullptr;
  return ContentScaleFrom(resources, std::getenv("GDK_SCALE"));
}

MString MWindowSystemX11::GetName() const
{
  return "X11 native window-system";
}

void MWindowSystemX11::Initialize()
{
  if (m_impl)
    return;
  const std::string name = m_displayName.ToUTF8();
  Display* display = XOpenDisplay(name.empty() ? nullptr : name.c_str());
  if (!display)
  {
    const char* variable = std::getenv("DISPLAY");
    const MString shown = !name.empty() ? m_displayName : MString::FromUTF8(variable ? variable : "");
    throw MException(MFormat::Format("Could not open the X display ({0}).", shown));
  }
  auto impl = std::make_unique<Impl>();
  impl->display = display;
  MX11Errors::Register(display);
  try
  {
    impl->wake = std::make_unique<MX11Wake>();
  }
  catch (...)
  {
    MX11Errors::Unregister(display);
    XCloseDisplay(display);
    throw;
  }
  impl->screen = DefaultScreen(display);
  impl->root = RootWindow(display, impl->screen);
  impl->visual = DefaultVisual(display, impl->screen);
  impl->depth = DefaultDepth(display, impl->screen);
  impl->colormap = DefaultColormap(display, impl->screen);
  if (!MX11Image::IsDirectFormat(display, impl->visual, impl->depth))
  {
    // Prefer a visual that takes our pixels as they are; MX11Image converts for any other
    // TrueColor visual.
    XVisualInfo info{};
    if (XMatchVisualInfo(display, impl->screen, 24, TrueColor, &info) &&
        MX11Image::IsDirectFormat(display, info.visual, 24))
    {
      impl->visual = info.visual;
      impl->depth = 24;
      impl->colormap = XCreateColormap(display, impl->root, info.visual, AllocNone);
      impl->ownColormap = true;
    }
  }
  // Held keys repeat as presses only (no release in between), as the toolkit's KeyDown expects.
  Bool supported = False;
  XkbSetDetectableAutoRepeat(display, True, &supported);
  impl->sharedMemory = m_useSharedMemory && XShmQueryExtension(display);
  int shapeEvent = 0, shapeError = 0;
  impl->shape = XShapeQueryExtension(display, &shapeEvent, &shapeError);
  // Every atom in one request round: each round trip waits for the server, which on a busy
  // machine has to be scheduled first.
  {
    static constexpr std::pair<const char*, Atom Impl::*> kAtoms[] = {
        {"WM_PROTOCOLS", &Impl::wmProtocols},
        {"WM_DELETE_WINDOW", &Impl::wmDeleteWindow},
        {"_NET_WM_NAME", &Impl::netWmName},
        {"UTF8_STRING", &Impl::utf8String},
        {"_NET_WORKAREA", &Impl::netWorkArea},
        {"WM_STATE", &Impl::wmState},
        {"_NET_ACTIVE_WINDOW", &Impl::netActiveWindow},
        {"CLIPBOARD", &Impl::clipboard},
        {"TARGETS", &Impl::targets},
        {"INCR", &Impl::incr},
        {"TONVERA_CLIPBOARD", &Impl::transfer}};
    char* names[std::size(kAtoms)];
    Atom atoms[std::size(kAtoms)] = {};
    for (std::size_t i = 0; i < std::size(kAtoms); ++i)
      names[i] = const_cast<char*>(kAtoms[i].first);
    XInternAtoms(display, names, int(std::size(kAtoms)), False, atoms);
    for (std::size_t i = 0; i < std::size(kAtoms); ++i)
      (*impl).*kAtoms[i].second = atoms[i];
  }
#if defined(__linux__)
  impl->epollFd = epoll_create1(EPOLL_CLOEXEC);
  if (impl->epollFd >= 0)
  {
    for (int fd : {ConnectionNumber(display), impl->wake->GetFileDescriptor()})
    {
      epoll_event event{};
      event.events = EPOLLIN;
      event.data.fd = fd;
      epoll_ctl(impl->epollFd, EPOLL_CTL_ADD, fd, &event);
    }
  }
#endif
  m_impl = std::move(impl);
  m_wakeSignal.store(m_impl->wake.get(), std::memory_order_release);
  InitializeCommon();
}

void MWindowSystemX11::CheckGuiThread(const char* operation) const
{
  if (!m_impl)
    throw MException(
        MFormat::Format("MWindowSystemX11::{0} called before Initialize.", MString::FromUTF8(operation)));
  // Xlib on our connection from a second thread would race the GUI thread's calls (no
  // XInitThreads, see the header): refuse instead of corrupting the connection.
  if (!IsGuiThread())
    throw MException(MFormat::Format("MWindowSystemX11::{0} called outside the GUI thread.",
                                     MString::FromUTF8(operation)));
}

MX11WindowDescriptor& MWindowSystemX11::Cast(MWindowDescriptor& window)
{
  if (window.GetType() != kDescriptorType)
    throw MException("The window descriptor belongs to another window system.");
  return static_cast<MX11WindowDescriptor&>(window);
}

const MX11WindowDescriptor& MWindowSystemX11::Cast(const MWindowDescriptor& window)
{
  return Cast(const_cast<MWindowDescriptor&>(window));
}

MX11WindowDescriptor* MWindowSystemX11::FindDescriptor(unsigned long xWindow) const
{
  if (!m_impl)
    return nullptr;
  for (MX11WindowDescriptor* descriptor : m_impl->windows)
    if (descriptor->m_window == xWindow)
      return descriptor;
  return nullptr;
}

bool MWindowSystemX11::UsesSharedMemory(const MWindowDescriptor& window) const
{
  const MX11WindowDescriptor& descriptor = Cast(window);
  return descriptor.m_image && descriptor.m_image->UsesSharedMemory();
}

int MWindowSystemX11::GetWakeFileDescriptor() const
{
  return m_impl ? m_impl->wake->GetFileDescriptor() : -1;
}

bool MWindowSystemX11::HasTimers() const
{
  return m_impl && !m_impl->timers.empty();
}

int MWindowSystemX11::GetConnectionFileDescriptor() const
{
  return m_impl ? ConnectionNumber(m_impl->display) : -1;
}

int MWindowSystemX11::GetEventFileDescriptor() const
{
  if (!m_impl)
    return -1;
  return m_impl->epollFd >= 0 ? m_impl->epollFd : ConnectionNumber(m_impl->display);
}

MRect MWindowSystemX11::GetWorkArea(MPoint) const
{
  CheckGuiThread("GetWorkArea");
  const Impl& impl = *m_impl;
  MRect screen{0, 0, DisplayWidth(impl.display, impl.screen), DisplayHeight(impl.display, impl.screen)};
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  MRect area = screen;
  // The window manager's work area of the first desktop (EWMH); the whole screen without one.
  if (XGetWindowProperty(impl.display, impl.root, impl.netWorkArea, 0, 4, False, XA_CARDINAL, &type, &format,
                         &count, &after, &data) == Success &&
      data && format == 32 && count >= 4)
  {
    const long* values = reinterpret_cast<const long*>(data); // format 32 arrives as longs
    const MRect reported = MRect::FromSize(std::int32_t(values[0]), std::int32_t(values[1]),
                                           std::int32_t(values[2]), std::int32_t(values[3]));
    const MRect clipped = reported.Intersect(screen);
    if (!clipped.IsEmpty())
      area = clipped;
  }
  if (data)
    XFree(data);
  return area;
}

std::unique_ptr<MWindowDescriptor> MWindowSystemX11::CreateNativeWindow(MWindow& window,
                                                                        const MNativeWindowParams& params)
{
  CheckGuiThread("CreateNativeWindow");
  Impl& impl = *m_impl;
  auto descriptor = std::make_unique<MX11WindowDescriptor>(window);
  const MSize size = ClampWindowSize(MSize{params.rect.Width(), params.rect.Height()});
  descriptor->m_surface.Resize(size.x, size.y);
  descriptor->m_drawer.SetTarget(descriptor->m_surface);
  descriptor->m_size = size;
  descriptor->m_position = MPoint{params.rect.left, params.rect.top};
  descriptor->m_popup = params.popup;
  descriptor->m_topLevel = params.parent == 0 && !params.popup;

  XSetWindowAttributes attributes{};
  attributes.background_pixmap = kX11None; // we paint every pixel: no server clear, no flicker
  attributes.border_pixel = 0;
  attributes.colormap = impl.colormap;
  attributes.bit_gravity = NorthWestGravity;
  attributes.event_mask = kEventMask;
  attributes.override_redirect = params.popup ? True : False;
  attributes.save_under = params.popup ? True : False;
  // Explicit visual, colormap and border pixel: the host's window may have another visual, and
  // a child of a different visual without them is a BadMatch.
  const unsigned long mask = CWBackPixmap | CWBorderPixel | CWColormap | CWBitGravity | CWEventMask |
                             CWOverrideRedirect | CWSaveUnder;
  // A popup is a child of the root even when it belongs to an embedded editor: it must be able
  // to extend past the host's window.
  const Window parent = (params.parent && !params.popup) ? Window(params.parent) : impl.root;
  const unsigned long errorsBefore = MX11Errors::Count(impl.display);
  const Window created =
      XCreateWindow(impl.display, parent, params.rect.left, params.rect.top, unsigned(size.x),
                    unsigned(size.y), 0, impl.depth, InputOutput, impl.visual, mask, &attributes);
  // The host's window id comes from outside: a stale or invalid one fails here, not later.
  XSync(impl.display, False);
  if (!created || MX11Errors::Count(impl.display) != errorsBefore)
  {
    if (created)
      XDestroyWindow(impl.display, created);
    XSync(impl.display, False);
    throw MException(MFormat::Format("Could not create the X window (parent {0}).",
                                     MString::FromUnsigned(std::uint64_t(params.parent), 16)));
  }
  descriptor->m_window = created;

  if (descriptor->m_topLevel)
  {
    Atom protocols[] = {impl.wmDeleteWindow};
    XSetWMProtocols(impl.display, created, protocols, 1);
    XSizeHints* hints = XAllocSizeHints();
    if (hints)
    {
      hints->flags = PPosition | PSize;
      hints->x = params.rect.left;
      hints->y = params.rect.top;
      hints->width = size.x;
      hints->height = size.y;
      if (!params.resizable)
      {
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = size.x;
        hints->min_height = hints->max_height = size.y;
      }
      XSetWMNormalHints(impl.display, created, hints);
      XFree(hints);
    }
    XClassHint* classHint = XAllocClassHint();
    if (classHint)
    {
      char name[] = "tonvera";
      char className[] = "Tonvera";
      classHint->res_name = name;
      classHint->res_class = className;
      XSetClassHint(impl.display, created, classHint);
      XFree(classHint);
    }
  }
  descriptor->m_gc = XCreateGC(impl.display, created, 0, nullptr);
  descriptor->m_image = std::make_unique<MX11Image>(impl.display, impl.visual, impl.depth, impl.sharedMemory);
  impl.windows.push_back(descriptor.get());
  if (!params.title.IsEmpty())
    SetTitle(*descriptor, params.title);
  XFlush(impl.display);
  return descriptor;
}

void MWindowSystemX11::DestroyNativeWindow(std::unique_ptr<MWindowDescriptor> window)
{
  if (!window)
    return;
  CheckGuiThread("DestroyNativeWindow");
  Impl& impl = *m_impl;
  MX11WindowDescriptor& descriptor = Cast(*window);
  auto& timers = impl.timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [&](const Impl::Timer& t) { return t.window == &descriptor; }),
               timers.end());
  impl.windows.erase(std::remove(impl.windows.begin(), impl.windows.end(), &descriptor), impl.windows.end());
  if (impl.captureWindow == descriptor.m_window)
  {
    XUngrabPointer(impl.display, CurrentTime);
    impl.captureWindow = 0;
  }
  if (impl.pointerWindow == descriptor.m_window)
    impl.pointerWindow = 0;
  if (!descriptor.m_destroyed)
    SetTextInput(descriptor, false);
  impl.clicks.Reset();
  descriptor.m_image.reset();
  if (descriptor.m_gc)
    XFreeGC(impl.display, descriptor.m_gc);
  descriptor.m_gc = nullptr;
  if (!descriptor.m_destroyed)
    XDestroyWindow(impl.display, descriptor.m_window);
  XFlush(impl.display);
  // Events still queued for the window find no descriptor and are dropped.
}

void MWindowSystemX11::SetParent(MWindowDescriptor& window, MNativeHandle parent)
{
  CheckGuiThread("SetParent");
  MX11WindowDescriptor& descriptor = Cast(window);
  XReparentWindow(m_impl->display, descriptor.m_window, parent ? Window(parent) : m_impl->root,
                  descriptor.m_position.x, descriptor.m_position.y);
  descriptor.m_topLevel = parent == 0 && !descriptor.m_popup;
  XFlush(m_impl->display);
}

void MWindowSystemX11::SetParentAndStyle(MWindowDescriptor& window, MNativeHandle parent, bool child)
{
  CheckGuiThread("SetParentAndStyle");
  MX11WindowDescriptor& descriptor = Cast(window);
  Impl& impl = *m_impl;
  // Override-redirect only takes effect when the window is mapped next: unmap around the change.
  const bool wasShown = descriptor.m_shown;
  if (wasShown)
    XUnmapWindow(impl.display, descriptor.m_window);
  descriptor.m_popup = !child;
  XSetWindowAttributes attributes{};
  attributes.override_redirect = child ? False : True;
  XChangeWindowAttributes(impl.display, descriptor.m_window, CWOverrideRedirect, &attributes);
  const Window newParent = (child && parent) ? Window(parent) : impl.root;
  XReparentWindow(impl.display, descriptor.m_window, newParent, descriptor.m_position.x,
                  descriptor.m_position.y);
  descriptor.m_topLevel = false;
  if (wasShown)
    XMapWindow(impl.display, descriptor.m_window);
  XFlush(impl.display);
}

bool MWindowSystemX11::IsVisible(const MWindowDescriptor& window) const
{
  return Cast(window).m_shown;
}

void MWindowSystemX11::SetTitle(MWindowDescriptor& window, const MString& title)
{
  CheckGuiThread("SetTitle");
  MX11WindowDescriptor& descriptor = Cast(window);
  Impl& impl = *m_impl;
  const std::string utf8 = title.ToUTF8();
  // _NET_WM_NAME for current window managers (UTF-8), WM_NAME in the locale's encoding for the rest.
  XChangeProperty(impl.display, descriptor.m_window, impl.netWmName, impl.utf8String, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8.data()), int(utf8.size()));
  char* list[] = {const_cast<char*>(utf8.c_str())};
  XTextProperty property{};
  if (Xutf8TextListToTextProperty(impl.display, list, 1, XStdICCTextStyle, &property) >= Success)
  {
    XSetWMName(impl.display, descriptor.m_window, &property);
    XFree(property.value);
  }
  XFlush(impl.display);
}

void MWindowSystemX11::SetPosition(MWindowDescriptor& window, MPoint position)
{
  CheckGuiThread("SetPosition");
  MX11WindowDescriptor& descriptor = Cast(window);
  descriptor.m_position = position;
  XMoveWindow(m_impl->display, descriptor.m_window, position.x, position.y);
  XFlush(m_impl->display);
}

void MWindowSystemX11::ResizeNative(MX11WindowDescriptor& descriptor, MSize size)
{
  size = ClampWindowSize(size);
  if (size == descriptor.m_size)
    return;
  descriptor.m_surface.Resize(size.x, size.y);
  descriptor.m_drawer.SetTarget(descriptor.m_surface);
  descriptor.m_size = size;
  descriptor.m_dirty = descriptor.Bounds();
  if (descriptor.m_topLevel)
  {
    // A fixed-size top-level keeps the window manager's min = max hints in step.
    XSizeHints* hints = XAllocSizeHints();
    long supplied = 0;
    if (hints && XGetWMNormalHints(m_impl->display, descriptor.m_window, hints, &supplied) &&
        (hints->flags & PMinSize) && (hints->flags & PMaxSize) && hints->min_width == hints->max_width)
    {
      hints->min_width = hints->max_width = size.x;
      hints->min_height = hints->max_height = size.y;
      XSetWMNormalHints(m_impl->display, descriptor.m_window, hints);
    }
    if (hints)
      XFree(hints);
  }
}

void MWindowSystemX11::SetSize(MWindowDescriptor& window, MSize size)
{
  CheckGuiThread("SetSize");
  MX11WindowDescriptor& descriptor = Cast(window);
  ResizeNative(descriptor, size);
  XResizeWindow(m_impl->display, descriptor.m_window, unsigned(descriptor.m_size.x),
                unsigned(descriptor.m_size.y));
  XFlush(m_impl->display);
}

void MWindowSystemX11::SetZOrder(MWindowDescriptor& window, bool top)
{
  CheckGuiThread("SetZOrder");
  MX11WindowDescriptor& descriptor = Cast(window);
  if (top)
    XRaiseWindow(m_impl->display, descriptor.m_window);
  else
    XLowerWindow(m_impl->display, descriptor.m_window);
  XFlush(m_impl->display);
}

void MWindowSystemX11::SetShape(MWindowDescriptor& window, const MRect& visible)
{
  CheckGuiThread("SetShape");
  MX11WindowDescriptor& descriptor = Cast(window);
  Impl& impl = *m_impl;
  if (!impl.shape)
    return;
  if (visible.IsEmpty())
    XShapeCombineMask(impl.display, descriptor.m_window, ShapeBounding, 0, 0, kX11None, ShapeSet);
  else
  {
    const MRect r = visible.Intersect(MRect{-32768, -32768, 32767, 32767});
    XRectangle rectangle{short(r.left), short(r.top), static_cast<unsigned short>(r.Width()),
                         static_cast<unsigned short>(r.Height())};
    XShapeCombineRectangles(impl.display, descriptor.m_window, ShapeBounding, 0, 0, &rectangle, 1, ShapeSet,
                            Unsorted);
  }
  XFlush(impl.display);
}

MRect MWindowSystemX11::GetWindowRect(const MWindowDescriptor& window) const
{
  CheckGuiThread("GetWindowRect");
  const MX11WindowDescriptor& descriptor = Cast(window);
  int x = descriptor.m_position.x, y = descriptor.m_position.y;
  Window child = 0;
  if (!descriptor.m_destroyed)
    XTranslateCoordinates(m_impl->display, descriptor.m_window, m_impl->root, 0, 0, &x, &y, &child);
  return MRect::FromSize(x, y, descriptor.m_size.x, descriptor.m_size.y);
}

void MWindowSystemX11::Move(MWindowDescriptor& window, const MRect& rect)
{
  CheckGuiThread("Move");
  MX11WindowDescriptor& descriptor = Cast(window);
  ResizeNative(descriptor, MSize{rect.Width(), rect.Height()});
  descriptor.m_position = MPoint{rect.left, rect.top};
  XMoveResizeWindow(m_impl->display, descriptor.m_window, rect.left, rect.top, unsigned(descriptor.m_size.x),
                    unsigned(descriptor.m_size.y));
  XFlush(m_impl->display);
}

void MWindowSystemX11::MoveAndShow(MWindowDescriptor& window, const MRect& rect)
{
  Move(window, rect);
  Show(window, true);
}

void MWindowSystemX11::Show(MWindowDescriptor& window, bool show)
{
  CheckGuiThread("Show");
  MX11WindowDescriptor& descriptor = Cast(window);
  if (show == descriptor.m_shown)
    return;
  descriptor.m_shown = show;
  if (show)
  {
    // The server sends Expose once the window is viewable; that paints it.
    if (descriptor.m_topLevel || descriptor.m_popup)
      XMapRaised(m_impl->display, descriptor.m_window);
    else
      XMapWindow(m_impl->display, descriptor.m_window);
  }
  else
    XUnmapWindow(m_impl->display, descriptor.m_window);
  XFlush(m_impl->display);
}

bool MWindowSystemX11::IsMinimized(const MWindowDescriptor& window) const
{
  CheckGuiThread("IsMinimized");
  const MX11WindowDescriptor& descriptor = Cast(window);
  if (!descriptor.m_topLevel || descriptor.m_destroyed)
    return false;
  // ICCCM: the window manager keeps WM_STATE; its first value 3 is IconicState.
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool iconic = false;
  if (XGetWindowProperty(m_impl->display, descriptor.m_window, m_impl->wmState, 0, 2, False, m_impl->wmState,
                         &type, &format, &count, &after, &data) == Success &&
      data && format == 32 && count >= 1)
    iconic = reinterpret_cast<const long*>(data)[0] == IconicState;
  if (data)
    XFree(data);
  return iconic;
}

void MWindowSystemX11::ShowFromAnyThread(MWindowDescriptor& window)
{
  MX11WindowDescriptor& descriptor = Cast(window);
  if (IsGuiThread())
  {
    Show(descriptor, true);
    return;
  }
  {
    std::lock_guard<std::mutex> guard(descriptor.m_requestLock);
    descriptor.m_showRequested = true;
  }
  WakeGuiThread();
}

void MWindowSystemX11::Hide(MWindowDescriptor& window)
{
  Show(window, false);
  OnWindowHidden();
}

void MWindowSystemX11::ActivateAndFocus(MWindowDescriptor& window)
{
  CheckGuiThread("ActivateAndFocus");
  MX11WindowDescriptor& descriptor = Cast(window);
  Impl& impl = *m_impl;
  if (impl.captureWindow)
  {
    XUngrabPointer(impl.display, CurrentTime);
    impl.captureWindow = 0;
  }
  if (descriptor.m_topLevel)
  {
    XRaiseWindow(impl.display, descriptor.m_window);
    // EWMH activation request; window managers without it ignore the message.
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = descriptor.m_window;
    event.xclient.message_type = impl.netActiveWindow;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1; // from an application
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(impl.display, impl.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  }
  // Focus on a window that is not viewable is a BadMatch: the error handler counts and drops it.
  XSetInputFocus(impl.display, descriptor.m_window, RevertToParent, CurrentTime);
  XFlush(impl.display);
}

void MWindowSystemX11::SetTextInput(MWindowDescriptor& window, bool active)
{
  CheckGuiThread("SetTextInput");
  MX11WindowDescriptor& descriptor = Cast(window);
  Impl& impl = *m_impl;
  // The window manager gives the keyboard to top-level windows; popups never take it.
  if (descriptor.m_topLevel || descriptor.m_popup || descriptor.m_textInput == active)
    return;
  descriptor.m_textInput = active;
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(impl.display, &focus, &revert);
  if (active)
  {
    descriptor.m_focusBefore =
        (focus == descriptor.m_window || focus == kX11None || focus == PointerRoot) ? 0 : focus;
    // Focus on a window that is not viewable is a BadMatch: the error handler counts and drops it.
    if (focus != descriptor.m_window)
      XSetInputFocus(impl.display, descriptor.m_window, RevertToParent, CurrentTime);
  }
  else
  {
    // Only a keyboard we still hold goes back: if the user clicked into the host meanwhile, the
    // host has it already.
    if (focus == descriptor.m_window)
    {
      Window target = descriptor.m_focusBefore;
      Window root = 0, parent = 0, *children = nullptr;
      unsigned int count = 0;
      if (!target && XQueryTree(impl.display, descriptor.m_window, &root, &parent, &children, &count))
        target = parent;
      if (children)
        XFree(children);
      // A window that has gone since is a BadWindow (counted and dropped); the keyboard then
      // stays here until the host takes it, as it does on its next click.
      if (target)
        XSetInputFocus(impl.display, target, RevertToParent, CurrentTime);
    }
    descriptor.m_focusBefore = 0;
  }
  XFlush(impl.display);
}

bool MWindowSystemX11::IsForeground(const MWindowDescriptor& window) const
{
  CheckGuiThread("IsForeground");
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(m_impl->display, &focus, &revert);
  return focus == Cast(window).m_window;
}

void MWindowSystemX11::Quit()
{
  m_quitRequested.store(true, std::memory_order_release);
  WakeGuiThread();
}

void MWindowSystemX11::WakeGuiThread()
{
  // Any thread: only the descriptor is touched, never the connection.
  if (MX11Wake* wake = m_wakeSignal.load(std::memory_order_acquire))
    wake->Signal();
}

void MWindowSystemX11::InvalidateRect(MWindowDescriptor& window, const MRect& rect)
{
  MX11WindowDescriptor& descriptor = Cast(window);
  if (IsGuiThread())
  {
    descriptor.m_dirty = descriptor.m_dirty.Union(rect.Intersect(descriptor.Bounds()));
    return;
  }
  {
    std::lock_guard<std::mutex> guard(descriptor.m_requestLock);
    descriptor.m_requestedDirty = descriptor.m_requestedDirty.Union(rect);
  }
  WakeGuiThread();
}

void MWindowSystemX11::UpdateNow(MWindowDescriptor& window)
{
  CheckGuiThread("UpdateNow");
  MX11WindowDescriptor& descriptor = Cast(window);
  {
    std::lock_guard<std::mutex> guard(descriptor.m_requestLock);
    descriptor.m_dirty = descriptor.m_dirty.Union(descriptor.m_requestedDirty.Intersect(descriptor.Bounds()));
    descriptor.m_requestedDirty = MRect{};
  }
  if (descriptor.m_shown && !descriptor.m_dirty.IsEmpty())
    Paint(descriptor);
}

void MWindowSystemX11::SetCapture(MWindowDescriptor* window)
{
  CheckGuiThread("SetCapture");
  Impl& impl = *m_impl;
  if (!window)
  {
    if (impl.captureWindow)
      XUngrabPointer(impl.display, CurrentTime);
    impl.captureWindow = 0;
    XFlush(impl.display);
    return;
  }
  MX11WindowDescriptor& descriptor = Cast(*window);
  // While a button is held X already keeps the pointer on the window that got the press; the
  // explicit grab makes the capture hold without a button too. A grab that fails (another
  // client holds one) leaves that implicit behaviour.
  const int status = XGrabPointer(impl.display, descriptor.m_window, False,
                                  ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                                      LeaveWindowMask,
                                  GrabModeAsync, GrabModeAsync, kX11None, kX11None, CurrentTime);
  impl.captureWindow = status == GrabSuccess ? descriptor.m_window : 0;
  XFlush(impl.display);
}

void MWindowSystemX11::SetCursor(MStdCursor cursor)
{
  CheckGuiThread("SetCursor");
  Impl& impl = *m_impl;
  impl.cursor = cursor;
  // X keeps a cursor per window: give it to the window that has the pointer (or the capture).
  const Window target = impl.captureWindow ? impl.captureWindow : impl.pointerWindow;
  if (target && FindDescriptor(target))
  {
    XDefineCursor(impl.display, target, impl.GetCursor(cursor));
    XFlush(impl.display);
  }
}

MPoint MWindowSystemX11::GetCursorScreenPosition() const
{
  CheckGuiThread("GetCursorScreenPosition");
  Window rootReturn = 0, childReturn = 0;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned int mask = 0;
  XQueryPointer(m_impl->display, m_impl->root, &rootReturn, &childReturn, &rootX, &rootY, &x, &y, &mask);
  return MPoint{rootX, rootY};
}

MPoint MWindowSystemX11::GetCursorClientPosition(const MWindowDescriptor& window) const
{
  CheckGuiThread("GetCursorClientPosition");
  Window rootReturn = 0, childReturn = 0;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned int mask = 0;
  XQueryPointer(m_impl->display, Cast(window).m_window, &rootReturn, &childReturn, &rootX, &rootY, &x, &y,
                &mask);
  return MPoint{x, y};
}

void MWindowSystemX11::MoveCursor(const MWindowDescriptor& window, MPoint client)
{
  CheckGuiThread("MoveCursor");
  XWarpPointer(m_impl->display, kX11None, Cast(window).m_window, 0, 0, 0, 0, client.x, client.y);
  XFlush(m_impl->display);
}

void MWindowSystemX11::RequestMouseLeave(MWindowDescriptor&) {}

bool MWindowSystemX11::IsKeyDown(std::int32_t key) const
{
  CheckGuiThread("IsKeyDown");
  Display* display = m_impl->display;
  // The mouse buttons' virtual keys (1 left, 2 right, 4 middle) read the pointer state.
  if (key == 1 || key == 2 || key == 4)
  {
    Window rootReturn = 0, childReturn = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int mask = 0;
    XQueryPointer(display, m_impl->root, &rootReturn, &childReturn, &rootX, &rootY, &x, &y, &mask);
    const unsigned int button = key == 1 ? Button1Mask : key == 2 ? Button3Mask : Button2Mask;
    return (mask & button) != 0;
  }
  unsigned long alternative = 0;
  const unsigned long keysym = MX11Input::KeysymFromVirtualKey(key, &alternative);
  if (!keysym)
    return false;
  char keys[32] = {};
  XQueryKeymap(display, keys);
  for (unsigned long each : {keysym, alternative})
  {
    if (!each)
      continue;
    const KeyCode code = XKeysymToKeycode(display, each);
    if (code && (keys[code / 8] & (1 << (code % 8))))
      return true;
  }
  return false;
}

void MWindowSystemX11::SetTimer(MWindowDescriptor& window, std::int32_t id, std::int32_t periodMs)
{
  CheckGuiThread("SetTimer");
  MX11WindowDescriptor& descriptor = Cast(window);
  auto& timers = m_impl->timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [&](const Impl::Timer& t) { return t.window == &descriptor && t.id == id; }),
               timers.end());
  if (periodMs > 0)
    timers.push_back(Impl::Timer{&descriptor, id, periodMs, GetTickMs() + std::uint64_t(periodMs)});
}

// --- the pump ---------------------------------------------------------------------------------

void MWindowSystemX11::DispatchTo(unsigned long xWindow, const MSystemEvent& event)
{
  // Looked up for every event: a handler may have closed the window.
  if (MX11WindowDescriptor* descriptor = FindDescriptor(xWindow))
    descriptor->m_owner.DispatchSystemEvent(event);
}

void MWindowSystemX11::HandleXEvent(void* rawEvent)
{
  Impl& impl = *m_impl;
  XEvent& event = *static_cast<XEvent*>(rawEvent);
  if (event.type == SelectionRequest || event.type == SelectionClear)
  {
    HandleSelectionEvent(rawEvent);
    return;
  }
  const Window xWindow = event.xany.window;
  MX11WindowDescriptor* descriptor = FindDescriptor(xWindow);
  if (!descriptor)
    return;
  MSystemEvent translated;
  switch (event.type)
  {
  case Expose:
    descriptor->m_dirty = descriptor->m_dirty.Union(
        MRect::FromSize(event.xexpose.x, event.xexpose.y, event.xexpose.width, event.xexpose.height)
            .Intersect(descriptor->Bounds()));
    return;
  case ButtonPress:
  case ButtonRelease:
  {
    const MX11Input::ButtonAction action = MX11Input::ActionForButton(event.xbutton.button);
    if (!action.valid)
      return;
    const bool press = event.type == ButtonPress;
    translated.position = EventPoint(event.xbutton.x, event.xbutton.y);
    translated.modifiers = MX11Input::ModifiersFromState(event.xbutton.state);
    if (action.wheel)
    {
      if (!press)
        return;
      translated.code = MSystemEvent::MouseWheel;
      translated.value = action.wheelDelta;
    }
    else if (press)
    {
      const bool isDouble = impl.clicks.Press(xWindow, event.xbutton.button,
                                              std::uint32_t(event.xbutton.time), translated.position);
      translated.code = isDouble ? action.doubleClick : action.down;
      translated.modifiers |= action.modifierBit;
    }
    else
    {
      translated.code = action.up;
      translated.modifiers &= ~action.modifierBit;
    }
    break;
  }
  case MotionNotify:
  {
    // Only the latest of a run of moves matters.
    XEvent next;
    while (XEventsQueued(impl.display, QueuedAlready) > 0)
    {
      XPeekEvent(impl.display, &next);
      if (next.type != MotionNotify || next.xmotion.window != xWindow)
        break;
      XNextEvent(impl.display, &event);
    }
    impl.pointerWindow = xWindow;
    translated.code = MSystemEvent::MouseMove;
    translated.position = EventPoint(event.xmotion.x, event.xmotion.y);
    translated.modifiers = MX11Input::ModifiersFromState(event.xmotion.state);
    break;
  }
  case EnterNotify:
    impl.pointerWindow = xWindow;
    return;
  case LeaveNotify:
    if (event.xcrossing.mode == NotifyUngrab && impl.captureWindow == xWindow)
    {
      // Someone else took the pointer from our explicit grab.
      impl.captureWindow = 0;
      translated.code = MSystemEvent::CaptureLost;
      break;
    }
    if (event.xcrossing.mode != NotifyNormal)
      return;
    if (impl.pointerWindow == xWindow)
      impl.pointerWindow = 0;
    translated.code = MSystemEvent::MouseLeave;
    translated.position = EventPoint(event.xcrossing.x, event.xcrossing.y);
    translated.modifiers = MX11Input::ModifiersFromState(event.xcrossing.state);
    break;
  case FocusIn:
  case FocusOut:
    // Focus moves of the pointer-root kind and grab transitions are no focus change of ours.
    if (event.xfocus.detail == NotifyPointer || event.xfocus.mode == NotifyGrab ||
        event.xfocus.mode == NotifyUngrab)
      return;
    // The click count stands: in a host, each click may bounce the focus between the host's
    // window and ours (NotifyAncestor out, NotifyNonlinear in) between the two presses.
    translated.code = event.type == FocusIn ? kFocusInCode : kFocusOutCode;
    break;
  case KeyPress:
  case KeyRelease:
  {
    char text[16] = {};
    KeySym keysym = 0;
    const int length = XLookupString(&event.xkey, text, sizeof text, &keysym, nullptr);
    std::int32_t key = MX11Input::VirtualKeyFromKeysym(keysym);
    if (!key)
      key = MX11Input::VirtualKeyFromKeysym(XLookupKeysym(&event.xkey, 0));
    translated.modifiers = MX11Input::ModifiersFromState(event.xkey.state);
    if (event.type == KeyRelease)
    {
      if (!key)
        return;
      translated.code = MSystemEvent::KeyUp;
      translated.value = key;
      break;
    }
    if (key)
    {
      translated.code = MSystemEvent::KeyDown;
      translated.value = key;
      DispatchTo(xWindow, translated);
    }
    const std::uint32_t character = MX11Input::CharacterFromKey(text, length, keysym);
    if (!character)
      return;
    translated.code = MSystemEvent::Character;
    translated.value = std::int32_t(character);
    break;
  }
  case ConfigureNotify:
  {
    // During an interactive resize only the last size counts.
    while (XCheckTypedWindowEvent(impl.display, xWindow, ConfigureNotify, &event))
    {}
    // A child's position is in its parent; a top-level's real one only arrives synthetic
    // (the window manager's, in root coordinates).
    if (!descriptor->m_topLevel || event.xconfigure.send_event)
      descriptor->m_position = EventPoint(event.xconfigure.x, event.xconfigure.y);
    const MSize size = ClampWindowSize(MSize{event.xconfigure.width, event.xconfigure.height});
    if (size == descriptor->m_size)
      return;
    ResizeNative(*descriptor, size);
    translated.code = MSystemEvent::Size;
    translated.position = MPoint{size.x, size.y};
    break;
  }
  case DestroyNotify:
    // The host destroyed its window and ours with it: no more requests for it.
    if (event.xdestroywindow.window == descriptor->m_window)
    {
      descriptor->m_destroyed = true;
      descriptor->m_shown = false;
    }
    return;
  case UnmapNotify:
  case MapNotify:
    return;
  case ClientMessage:
    if (event.xclient.message_type == impl.wmProtocols && event.xclient.format == 32 &&
        Atom(event.xclient.data.l[0]) == impl.wmDeleteWindow)
    {
      translated.code = MSystemEvent::Close;
      break;
    }
    return;
  default:
    return;
  }
  DispatchTo(xWindow, translated);
}

void MWindowSystemX11::ApplyRequests()
{
  // Copy first: showing a window may run handlers that open or close windows.
  std::vector<MX11WindowDescriptor*> toShow;
  for (MX11WindowDescriptor* descriptor : m_impl->windows)
  {
    std::lock_guard<std::mutex> guard(descriptor->m_requestLock);
    descriptor->m_dirty =
        descriptor->m_dirty.Union(descriptor->m_requestedDirty.Intersect(descriptor->Bounds()));
    descriptor->m_requestedDirty = MRect{};
    if (descriptor->m_showRequested)
      toShow.push_back(descriptor);
    descriptor->m_showRequested = false;
  }
  for (MX11WindowDescriptor* descriptor : toShow)
    if (std::find(m_impl->windows.begin(), m_impl->windows.end(), descriptor) != m_impl->windows.end())
      Show(*descriptor, true);
}

void MWindowSystemX11::Paint(MX11WindowDescriptor& descriptor)
{
  const MRect dirty = descriptor.m_dirty.Intersect(descriptor.Bounds());
  descriptor.m_dirty = MRect{};
  if (dirty.IsEmpty() || descriptor.m_destroyed)
    return;
  EnterHandler();
  MHostCallShield::Run("MWindowProc (messages)", [&] {
    // Our own shared hold around the paint's: its release then does not free the tree lock, and
    // ours gives no yield. A yield per paint hands the processor to every busy process first.
    MSynchronizationObjectGuard hold(descriptor.m_owner.GetTreeLock(),
                                     MSynchronizationObject::kModeShared |
                                         MSynchronizationObject::kNoYieldAfterRelease);
    descriptor.m_owner.PaintSurface(descriptor.m_drawer, dirty);
    const MBitmap& surface = descriptor.m_surface;
    descriptor.m_image->Put(descriptor.m_window, descriptor.m_gc, surface.Pixels(), surface.Width() * 4,
                            MSize{surface.Width(), surface.Height()}, dirty);
  });
  // May drain the event processor, whose handlers may close this window: nothing after it.
  LeaveHandler();
}

MWindowSystemX11::MessageKind MWindowSystemX11::HandleOneMessage()
{
  Impl& impl = *m_impl;
  if (XEventsQueued(impl.display, QueuedAfterFlush) > 0)
  {
    XEvent event;
    XNextEvent(impl.display, &event);
    MHostCallShield::Run("MWindowProc (messages)", [&] { HandleXEvent(&event); });
    return MessageKind::Input;
  }
  if (impl.wake->Drain())
  {
    ApplyRequests();
    DrainEvents();
    return MessageKind::Quiet;
  }
  if (!impl.timers.empty())
  {
    const std::uint64_t now = GetTickMs();
    auto due = std::min_element(impl.timers.begin(), impl.timers.end(),
                                [](const Impl::Timer& a, const Impl::Timer& b) { return a.dueMs < b.dueMs; });
    if (due->dueMs <= now)
    {
      // Late ticks are not made up for: the next one is a whole period from now.
      due->dueMs = now + std::uint64_t(due->periodMs);
      MSystemEvent event;
      event.code = MSystemEvent::Timer;
      event.value = due->id;
      const Window target = due->window->m_window;
      DispatchTo(target, event);
      return MessageKind::Quiet;
    }
  }
  for (MX11WindowDescriptor* descriptor : impl.windows)
    if (descriptor->m_shown && !descriptor->m_dirty.IsEmpty())
    {
      Paint(*descriptor);
      return MessageKind::Quiet;
    }
  return MessageKind::None;
}

void MWindowSystemX11::ProcessPendingMessages()
{
  if (!m_impl)
    return; // nothing connected, nothing to pump
  CheckGuiThread("ProcessPendingMessages");
  // What controls invalidated is painted in this call, not when the invalidator thread (idle
  // priority, starved on a busy machine) gets round to posting it. Once per call: a paint that
  // fails invalidates again, and must not keep the pump busy.
  RepaintInvalidated();
  int handled = 0;
  int quietInARow = 0;
  bool bounded = true;
  while (handled < kMaxMessagesPerCall)
  {
    const MessageKind kind = HandleOneMessage();
    if (kind == MessageKind::None)
    {
      bounded = false;
      break;
    }
    ++handled;
    if (kind == MessageKind::Input)
      quietInARow = 0;
    else if (++quietInARow > kMaxQuietInARow)
      break;
  }
  DrainEvents();
  XFlush(m_impl->display);
  // Work left behind (a bound stopped us, or a paint's XSync read events into Xlib's queue where
  // the connection's descriptor no longer shows them): keep the host's descriptor readable, so
  // that its run loop calls again at once rather than at its next timer tick.
  if (bounded || XQLength(m_impl->display) > 0)
    m_impl->wake->Signal();
}

void MWindowSystemX11::Idle()
{
  if (!m_impl)
    return;
  CheckGuiThread("Idle");
  // A host ticks us at its own rate whether or not anything happened: one poll() of both
  // descriptors answers the common case (nothing at all) without a round through the pump.
  Impl& impl = *m_impl;
  XFlush(impl.display);
  bool work = RepaintInvalidated() || XQLength(impl.display) > 0;
  if (!work)
  {
    const std::uint64_t now = GetTickMs();
    for (const Impl::Timer& timer : impl.timers)
      work = work || timer.dueMs <= now;
    for (const MX11WindowDescriptor* descriptor : impl.windows)
      work = work || (descriptor->m_shown && !descriptor->m_dirty.IsEmpty());
  }
  if (!work)
  {
    pollfd fds[2] = {{ConnectionNumber(impl.display), POLLIN, 0},
                     {impl.wake->GetFileDescriptor(), POLLIN, 0}};
    work = poll(fds, 2, 0) > 0;
  }
  if (work)
    ProcessPendingMessages();
  else
    DrainEvents();
}

void MWindowSystemX11::WaitForMessages()
{
  Impl& impl = *m_impl;
  XFlush(impl.display);
  if (XEventsQueued(impl.display, QueuedAlready) > 0)
    return;
  int timeoutMs = -1;
  if (!impl.timers.empty())
  {
    const std::uint64_t now = GetTickMs();
    std::uint64_t next = UINT64_MAX;
    for (const Impl::Timer& timer : impl.timers)
      next = std::min(next, timer.dueMs);
    timeoutMs = next <= now ? 0 : int(std::min<std::uint64_t>(next - now, INT_MAX));
  }
  pollfd fds[2] = {{ConnectionNumber(impl.display), POLLIN, 0}, {impl.wake->GetFileDescriptor(), POLLIN, 0}};
  poll(fds, 2, timeoutMs); // EINTR: the caller looks again
}

MModalValue MWindowSystemX11::RunModal(MWindow& window)
{
  CheckGuiThread("RunModal");
  BeginModalLoop(window);
  // Ends with EndModal, a modal result, Quit (left set for the outer loop) or the window closing.
  while (!IsModalLoopEnded(window) && window.IsOpen() && !m_quitRequested.load(std::memory_order_acquire))
  {
    if (HandleOneMessage() == MessageKind::None)
      WaitForMessages();
    else
    {
      DrainEvents();
      RepaintInvalidated(); // painted by the next round
    }
  }
  return window.GetModalResult();
}

void MWindowSystemX11::RunMessageLoop()
{
  CheckGuiThread("RunMessageLoop");
  while (!m_quitRequested.exchange(false, std::memory_order_acq_rel))
  {
    if (HandleOneMessage() == MessageKind::None)
      WaitForMessages();
    else
    {
      DrainEvents();
      RepaintInvalidated(); // painted by the next round
    }
  }
}

// --- clipboard ------------------------------------------------------------------------------------

unsigned long MWindowSystemX11::ClipboardWindow()
{
  Impl& impl = *m_impl;
  if (impl.clipboardWindow == 0)
    impl.clipboardWindow = XCreateSimpleWindow(impl.display, impl.root, -10, -10, 1, 1, 0, 0, 0);
  return impl.clipboardWindow;
}

void MWindowSystemX11::SetClipboardText(const MString& text)
{
  MWindowSystemCommon::SetClipboardText(text);
  if (!m_impl)
    return;
  CheckGuiThread("SetClipboardText");
  Impl& impl = *m_impl;
  impl.clipboardText = text.ToUTF8();
  const Window owner = ClipboardWindow();
  XSetSelectionOwner(impl.display, impl.clipboard, owner, CurrentTime);
  impl.ownsClipboard = XGetSelectionOwner(impl.display, impl.clipboard) == owner;
  XFlush(impl.display);
}

MString MWindowSystemX11::GetClipboardText()
{
  if (!m_impl)
    return MWindowSystemCommon::GetClipboardText();
  CheckGuiThread("GetClipboardText");
  Impl& impl = *m_impl;
  const Window window = ClipboardWindow();
  // Asked of the server rather than taken from our flag: another client's copy may have taken
  // the selection while its SelectionClear still waits in our queue.
  const Window owner = XGetSelectionOwner(impl.display, impl.clipboard);
  impl.ownsClipboard = impl.ownsClipboard && owner == window;
  if (impl.ownsClipboard)
    return MString::FromUTF8(impl.clipboardText);
  if (owner == 0)
    return MString();
  XDeleteProperty(impl.display, window, impl.transfer);
  XConvertSelection(impl.display, impl.clipboard, impl.utf8String, impl.transfer, window, CurrentTime);
  XFlush(impl.display);
  // Only the answer is taken from the queue; every other event stays for the pump.
  XEvent reply{};
  bool answered = false;
  const std::uint64_t deadline = GetTickMs() + kClipboardWaitMs;
  while (!(answered = XCheckTypedWindowEvent(impl.display, window, SelectionNotify, &reply)))
  {
    const std::uint64_t now = GetTickMs();
    if (now >= deadline)
      break;
    pollfd connection{ConnectionNumber(impl.display), POLLIN, 0};
    poll(&connection, 1, int(std::min<std::uint64_t>(deadline - now, 20)));
  }
  if (!answered || reply.xselection.property == 0)
    return MString();
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(impl.display, window, impl.transfer, 0, kMaxClipboardBytes / 4, True,
                                        AnyPropertyType, &type, &format, &count, &after, &data);
  MString text;
  if (status == Success && data != nullptr && format == 8 && type != impl.incr && after == 0)
    text = MString::FromUTF8(std::string_view(reinterpret_cast<const char*>(data), count));
  if (data != nullptr)
    XFree(data);
  return text;
}

void MWindowSystemX11::HandleSelectionEvent(void* rawEvent)
{
  Impl& impl = *m_impl;
  XEvent& event = *static_cast<XEvent*>(rawEvent);
  if (event.type == SelectionClear)
  {
    if (event.xselectionclear.selection == impl.clipboard)
      impl.ownsClipboard = false;
    return;
  }
  const XSelectionRequestEvent& request = event.xselectionrequest;
  XEvent reply{};
  reply.xselection.type = SelectionNotify;
  reply.xselection.display = request.display;
  reply.xselection.requestor = request.requestor;
  reply.xselection.selection = request.selection;
  reply.xselection.target = request.target;
  reply.xselection.time = request.time;
  reply.xselection.property = 0; // refused unless answered below
  // Clients older than the convention name no property: the target stands in for it.
  const Atom property = request.property != 0 ? request.property : request.target;
  // One request must stay within what the server takes (with BIG-REQUESTS, else the core limit).
  long maxBytes = XExtendedMaxRequestSize(impl.display);
  if (maxBytes == 0)
    maxBytes = XMaxRequestSize(impl.display);
  maxBytes = maxBytes * 4 - 1024;
  if (impl.ownsClipboard && request.selection == impl.clipboard)
  {
    if (request.target == impl.targets)
    {
      const Atom offered[] = {impl.targets, impl.utf8String};
      XChangeProperty(impl.display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(offered), 2);
      reply.xselection.property = property;
    }
    else if (request.target == impl.utf8String && long(impl.clipboardText.size()) <= maxBytes)
    {
      XChangeProperty(impl.display, request.requestor, property, impl.utf8String, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(impl.clipboardText.data()),
                      int(impl.clipboardText.size()));
      reply.xselection.property = property;
    }
  }
  // A requestor that went away meanwhile makes these fail; the error is counted, not fatal.
  XSendEvent(impl.display, request.requestor, False, NoEventMask, &reply);
  XFlush(impl.display);
}
