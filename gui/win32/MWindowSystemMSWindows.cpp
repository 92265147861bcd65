#include "gui/win32/MWindowSystemMSWindows.h"

#include "base/MException.h"
#include "base/MFormat.h"
#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "gui/MBitmap.h"
#include "gui/MDrawerToMBitmap.h"
#include "gui/MWindow.h"
#include "gui/win32/MW32Input.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <string>

/// A native window of this back end: the HWND, its surface and what other threads asked for.
class MW32WindowDescriptor final : public MWindowDescriptor
{
public:
  explicit MW32WindowDescriptor(MWindow& owner)
      : MWindowDescriptor(MWindowSystemMSWindows::kDescriptorType), m_owner(owner), m_drawer(m_surface)
  {}

  MNativeHandle GetHandle() const override { return reinterpret_cast<MNativeHandle>(m_window); }
  MBitmap& GetSurface() override { return m_surface; }
  MDrawer& GetDrawer() override { return m_drawer; }

  MRect Bounds() const { return MRect{0, 0, m_surface.Width(), m_surface.Height()}; }

  MWindow& m_owner;
  HWND m_window = nullptr;
  MBitmap m_surface;
  MDrawerToMBitmap m_drawer;
  bool m_popup = false;
  bool m_child = false;
  bool m_trackingLeave = false;
  bool m_destroyed = false;          // gone with the host's window: the handle may name another one soon
  std::uint16_t m_highSurrogate = 0; // the first half of a character typed as two WM_CHARs

  // Requests of other threads, applied by the GUI thread on kMessageInvalidate / kMessageShow.
  std::mutex m_requestLock;
  MRect m_requestedDirty;
};

namespace
{
constexpr const wchar_t* kClassName = L"MWindow";
constexpr const char* kTrace = "MWindowProc (messages)";

HINSTANCE ThisModule()
{
  // The module this code is linked into (the plug-in DLL, or the program): its class is its own.
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module != nullptr ? module : GetModuleHandleW(nullptr);
}

DWORD StyleFor(bool child, bool popup, bool resizable)
{
  if (child)
    return WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  if (popup)
    return WS_POPUP | WS_CLIPCHILDREN;
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  if (resizable)
    style |= WS_THICKFRAME | WS_MAXIMIZEBOX;
  return style;
}

/// What CreateWindowExW hands to the window's first messages.
struct MW32Creation
{
  MWindowSystemMSWindows* system;
  MW32WindowDescriptor* descriptor;
};

MWindowSystemMSWindows* SystemOf(HWND window)
{
  // The class's extra bytes hold the window system; the system's list maps the handle to the
  // descriptor, so a message for a window already destroyed finds nothing.
  return reinterpret_cast<MWindowSystemMSWindows*>(GetWindowLongPtrW(window, 0));
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_NCCREATE)
  {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    const auto* creation = static_cast<const MW32Creation*>(create->lpCreateParams);
    if (creation != nullptr)
    {
      SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(creation->system));
      if (creation->descriptor != nullptr)
        creation->descriptor->m_window = window; // the messages of creation already find it
    }
  }
  MWindowSystemMSWindows* system = SystemOf(window);
  if (system != nullptr && system->IsMessageWindow(reinterpret_cast<MNativeHandle>(window)))
  {
    bool handled = false;
    system->EnterHandler();
    MHostCallShield::Run(kTrace, [&] { handled = system->HandleWakeMessage(message); });
    system->LeaveHandler();
    return handled ? 0 : DefWindowProcW(window, message, wParam, lParam);
  }
  MW32WindowDescriptor* descriptor =
      system != nullptr ? system->FindDescriptor(reinterpret_cast<MNativeHandle>(window)) : nullptr;
  if (descriptor == nullptr)
    return DefWindowProcW(window, message, wParam, lParam);
  std::intptr_t result = 0;
  bool handled = false;
  system->EnterHandler();
  MHostCallShield::Run(kTrace, [&] {
    handled =
        system->HandleMessage(*descriptor, message, std::uintptr_t(wParam), std::intptr_t(lParam), result);
  });
  // Drains the event processor when no handler runs anymore; the window may be gone after it.
  system->LeaveHandler();
  return handled ? LRESULT(result) : DefWindowProcW(window, message, wParam, lParam);
}

MPoint ClientPoint(LPARAM lParam)
{
  return MPoint{std::int32_t(std::int16_t(LOWORD(lParam))), std::int32_t(std::int16_t(HIWORD(lParam)))};
}
} // namespace

MWindowSystemMSWindows::MWindowSystemMSWindows() = default;

MWindowSystemMSWindows::~MWindowSystemMSWindows()
{
  // The common threads post wake-ups: stop them first.
  ShutdownCommon();
  if (HWND wake = reinterpret_cast<HWND>(m_wakeTarget.exchange(0, std::memory_order_acq_rel)))
    DestroyWindow(wake);
  for (MW32WindowDescriptor* descriptor : m_windows)
    if (descriptor->m_window != nullptr && !descriptor->m_destroyed)
    {
      HWND window = descriptor->m_window;
      descriptor->m_window = nullptr;
      DestroyWindow(window);
    }
  m_windows.clear();
  if (m_classRegistered)
    UnregisterClassW(kClassName, static_cast<HINSTANCE>(m_instance));
}

MString MWindowSystemMSWindows::GetName() const
{
  return "Win32 native window-system";
}

void MWindowSystemMSWindows::Initialize()
{
  if (m_classRegistered)
    return;
  HINSTANCE instance = ThisModule();
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = &WindowProcedure;
  windowClass.cbWndExtra = sizeof(LONG_PTR);
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = nullptr; // WM_SETCURSOR sets ours
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kClassName;
  // A class left registered by an earlier load of this module names a procedure of that load
  // (Windows keeps a DLL's classes after it unloads): replace it.
  if (RegisterClassExW(&windowClass) == 0)
  {
    if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS || !UnregisterClassW(kClassName, instance) ||
        RegisterClassExW(&windowClass) == 0)
      throw MException("Could not register the window class.");
  }
  m_instance = instance;
  // Our private messages go to a message-only window of our class, never to the thread: a
  // thread message lands in the host's loop, and taking WM_USER.. from the thread's queue would
  // steal what the host or another plug-in posted there.
  MW32Creation creation{this, nullptr};
  HWND wake = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, &creation);
  if (wake == nullptr)
  {
    UnregisterClassW(kClassName, instance);
    throw MException("Could not create the window system's message window.");
  }
  m_wakeTarget.store(reinterpret_cast<MNativeHandle>(wake), std::memory_order_release);
  m_classRegistered = true;
  m_guiThreadId.store(GetCurrentThreadId(), std::memory_order_release);
  InitializeCommon();
}

void MWindowSystemMSWindows::CheckGuiThread(const char* operation) const
{
  if (!m_classRegistered)
    throw MException(MFormat::Format("MWindowSystemMSWindows::{0} called before Initialize.",
                                     MString::FromUTF8(operation)));
  if (!IsGuiThread())
    throw MException(MFormat::Format("MWindowSystemMSWindows::{0} called outside the GUI thread.",
                                     MString::FromUTF8(operation)));
}

MW32WindowDescriptor& MWindowSystemMSWindows::Cast(MWindowDescriptor& window)
{
  if (window.GetType() != kDescriptorType)
    throw MException("The window descriptor belongs to another window system.");
  return static_cast<MW32WindowDescriptor&>(window);
}

const MW32WindowDescriptor& MWindowSystemMSWindows::Cast(const MWindowDescriptor& window)
{
  return Cast(const_cast<MWindowDescriptor&>(window));
}

MW32WindowDescriptor* MWindowSystemMSWindows::FindDescriptor(MNativeHandle handle) const
{
  for (MW32WindowDescriptor* descriptor : m_windows)
    if (descriptor->GetHandle() == handle && handle != 0)
      return descriptor;
  return nullptr;
}

bool MWindowSystemMSWindows::IsMessageWindow(MNativeHandle handle) const
{
  return handle != 0 && handle == m_wakeTarget.load(std::memory_order_acquire);
}

bool MWindowSystemMSWindows::HandleWakeMessage(unsigned message)
{
  switch (message)
  {
  case kMessageEndModal:
    return true; // the modal loop looks at its window after every message
  case kMessageProcessEvents:
    m_wakePosted.store(false, std::memory_order_release);
    DrainEvents();
    return true;
  default:
    return false;
  }
}

double MWindowSystemMSWindows::GetContentScale(MNativeHandle window) const
{
  // Looked up by name: older Windows versions have no GetDpiForWindow.
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  UINT dpi = 0;
  if (window != 0 && dpiForWindow != nullptr)
    dpi = dpiForWindow(reinterpret_cast<HWND>(window));
  if (dpi == 0)
  {
    HDC screen = GetDC(nullptr);
    dpi = screen != nullptr ? UINT(GetDeviceCaps(screen, LOGPIXELSX)) : 96u;
    if (screen != nullptr)
      ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi / 96.0 : 1.0;
}

MRect MWindowSystemMSWindows::GetWorkArea(MPoint point) const
{
  CheckGuiThread("GetWorkArea");
  MONITORINFO info{};
  info.cbSize = sizeof info;
  HMONITOR monitor = MonitorFromPoint(POINT{point.x, point.y}, MONITOR_DEFAULTTONEAREST);
  if (monitor != nullptr && GetMonitorInfoW(monitor, &info))
    return MRect{info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return MRect{work.left, work.top, work.right, work.bottom};
}

std::unique_ptr<MWindowDescriptor>
MWindowSystemMSWindows::CreateNativeWindow(MWindow& window, const MNativeWindowParams& params)
{
  CheckGuiThread("CreateNativeWindow");
  HWND parent = reinterpret_cast<HWND>(params.parent);
  // The host's handle comes from outside: one that names no window fails here, not later.
  if (parent != nullptr && !IsWindow(parent))
    throw MException(MFormat::Format("Could not create the window (parent {0} is no window).",
                                     MString::FromUnsigned(std::uint64_t(params.parent), 16)));
  auto descriptor = std::make_unique<MW32WindowDescriptor>(window);
  const MSize size = ClampWindowSize(MSize{params.rect.Width(), params.rect.Height()});
  descriptor->m_surface.Resize(size.x, size.y);
  descriptor->m_drawer.SetTarget(descriptor->m_surface);
  descriptor->m_popup = params.popup;
  descriptor->m_child = parent != nullptr && !params.popup;
  const DWORD style = StyleFor(descriptor->m_child, params.popup, params.resizable);
  const DWORD exStyle = params.popup ? WS_EX_TOOLWINDOW | WS_EX_TOPMOST : 0;
  // The rectangle is the client area: a framed window grows by its frame.
  RECT outer{params.rect.left, params.rect.top, params.rect.left + size.x, params.rect.top + size.y};
  if (!descriptor->m_child && !params.popup)
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
  // Listed before creation: WM_NCCREATE, WM_CREATE and the first WM_SIZE already find it.
  m_windows.push_back(descriptor.get());
  const std::wstring title = params.title.ToWide();
  MW32Creation creation{this, descriptor.get()};
  HWND created =
      CreateWindowExW(exStyle, kClassName, title.c_str(), style, outer.left, outer.top,
                      outer.right - outer.left, outer.bottom - outer.top, params.popup ? nullptr : parent,
                      nullptr, static_cast<HINSTANCE>(m_instance), &creation);
  if (created == nullptr)
  {
    m_windows.erase(std::remove(m_windows.begin(), m_windows.end(), descriptor.get()), m_windows.end());
    throw MException(MFormat::Format("Could not create the window (error {0}).",
                                     MString::FromUnsigned(std::uint64_t(GetLastError()))));
  }
  descriptor->m_window = created;
  return descriptor;
}

void MWindowSystemMSWindows::DestroyNativeWindow(std::unique_ptr<MWindowDescriptor> window)
{
  if (!window)
    return;
  CheckGuiThread("DestroyNativeWindow");
  MW32WindowDescriptor& descriptor = Cast(*window);
  HWND native = descriptor.m_window;
  // Unlisted first: messages DestroyWindow sends (and any still queued) find no descriptor.
  m_windows.erase(std::remove(m_windows.begin(), m_windows.end(), &descriptor), m_windows.end());
  descriptor.m_window = nullptr;
  if (native != nullptr && !descriptor.m_destroyed && IsWindow(native))
  {
    if (GetCapture() == native)
      ReleaseCapture();
    DestroyWindow(native);
  }
}

void MWindowSystemMSWindows::SetParent(MWindowDescriptor& window, MNativeHandle parent)
{
  CheckGuiThread("SetParent");
  MW32WindowDescriptor& descriptor = Cast(window);
  ::SetParent(descriptor.m_window, reinterpret_cast<HWND>(parent));
}

void MWindowSystemMSWindows::SetParentAndStyle(MWindowDescriptor& window, MNativeHandle parent, bool child)
{
  CheckGuiThread("SetParentAndStyle");
  MW32WindowDescriptor& descriptor = Cast(window);
  const LONG visible = (GetWindowLongW(descriptor.m_window, GWL_STYLE) & WS_VISIBLE) != 0 ? WS_VISIBLE : 0;
  descriptor.m_child = child && parent != 0;
  descriptor.m_popup = !descriptor.m_child;
  SetWindowLongW(descriptor.m_window, GWL_STYLE,
                 LONG(StyleFor(descriptor.m_child, descriptor.m_popup, false)) | visible);
  ::SetParent(descriptor.m_window, descriptor.m_child ? reinterpret_cast<HWND>(parent) : nullptr);
  SetWindowPos(descriptor.m_window, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

bool MWindowSystemMSWindows::IsVisible(const MWindowDescriptor& window) const
{
  const MW32WindowDescriptor& descriptor = Cast(window);
  return descriptor.m_window != nullptr && IsWindowVisible(descriptor.m_window);
}

void MWindowSystemMSWindows::SetTitle(MWindowDescriptor& window, const MString& title)
{
  CheckGuiThread("SetTitle");
  SetWindowTextW(Cast(window).m_window, title.ToWide().c_str());
}

void MWindowSystemMSWindows::SetPosition(MWindowDescriptor& window, MPoint position)
{
  CheckGuiThread("SetPosition");
  SetWindowPos(Cast(window).m_window, nullptr, position.x, position.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MWindowSystemMSWindows::ResizeSurface(MW32WindowDescriptor& descriptor, MSize size)
{
  size = ClampWindowSize(size);
  if (size == MSize{descriptor.m_surface.Width(), descriptor.m_surface.Height()})
    return;
  descriptor.m_surface.Resize(size.x, size.y);
  descriptor.m_drawer.SetTarget(descriptor.m_surface);
  if (descriptor.m_window != nullptr)
    ::InvalidateRect(descriptor.m_window, nullptr, FALSE);
}

void MWindowSystemMSWindows::SetSize(MWindowDescriptor& window, MSize size)
{
  CheckGuiThread("SetSize");
  MW32WindowDescriptor& descriptor = Cast(window);
  ResizeSurface(descriptor, size);
  size = ClampWindowSize(size);
  RECT outer{0, 0, size.x, size.y};
  if (!descriptor.m_child && !descriptor.m_popup)
    AdjustWindowRectEx(&outer, DWORD(GetWindowLongW(descriptor.m_window, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongW(descriptor.m_window, GWL_EXSTYLE)));
  SetWindowPos(descriptor.m_window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MWindowSystemMSWindows::SetZOrder(MWindowDescriptor& window, bool top)
{
  CheckGuiThread("SetZOrder");
  SetWindowPos(Cast(window).m_window, top ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void MWindowSystemMSWindows::SetShape(MWindowDescriptor& window, const MRect& visible)
{
  CheckGuiThread("SetShape");
  // The window owns the region once it is set; an empty rectangle removes the shape.
  HRGN region =
      visible.IsEmpty() ? nullptr : CreateRectRgn(visible.left, visible.top, visible.right, visible.bottom);
  if (!visible.IsEmpty() && region == nullptr)
    throw MException("Could not create the region.");
  if (!SetWindowRgn(Cast(window).m_window, region, TRUE) && region != nullptr)
    DeleteObject(region);
}

MRect MWindowSystemMSWindows::GetWindowRect(const MWindowDescriptor& window) const
{
  CheckGuiThread("GetWindowRect");
  RECT rect{};
  ::GetWindowRect(Cast(window).m_window, &rect);
  return MRect{rect.left, rect.top, rect.right, rect.bottom};
}

void MWindowSystemMSWindows::Move(MWindowDescriptor& window, const MRect& rect)
{
  CheckGuiThread("Move");
  MW32WindowDescriptor& descriptor = Cast(window);
  ResizeSurface(descriptor, MSize{rect.Width(), rect.Height()});
  const MSize size = ClampWindowSize(MSize{rect.Width(), rect.Height()});
  MoveWindow(descriptor.m_window, rect.left, rect.top, size.x, size.y, TRUE);
}

void MWindowSystemMSWindows::MoveAndShow(MWindowDescriptor& window, const MRect& rect)
{
  Move(window, rect);
  Show(window, true);
}

void MWindowSystemMSWindows::Show(MWindowDescriptor& window, bool show)
{
  CheckGuiThread("Show");
  MW32WindowDescriptor& descriptor = Cast(window);
  // Popups and embedded editors appear without taking the activation from the host.
  const int command = !show ? SW_HIDE : (descriptor.m_popup || descriptor.m_child) ? SW_SHOWNA : SW_SHOW;
  ShowWindow(descriptor.m_window, command);
}

bool MWindowSystemMSWindows::IsMinimized(const MWindowDescriptor& window) const
{
  const MW32WindowDescriptor& descriptor = Cast(window);
  return descriptor.m_window != nullptr && IsIconic(descriptor.m_window);
}

void MWindowSystemMSWindows::ShowFromAnyThread(MWindowDescriptor& window)
{
  MW32WindowDescriptor& descriptor = Cast(window);
  if (IsGuiThread())
    Show(descriptor, true);
  else
    PostMessageW(descriptor.m_window, kMessageShow, 0, 0);
}

void MWindowSystemMSWindows::Hide(MWindowDescriptor& window)
{
  MW32WindowDescriptor& descriptor = Cast(window);
  if (IsGuiThread())
    ShowWindow(descriptor.m_window, SW_HIDE);
  else
    PostMessageW(descriptor.m_window, kMessageHide, 0, 0);
  OnWindowHidden();
}

void MWindowSystemMSWindows::ActivateAndFocus(MWindowDescriptor& window)
{
  CheckGuiThread("ActivateAndFocus");
  MW32WindowDescriptor& descriptor = Cast(window);
  ReleaseCapture();
  SetFocus(descriptor.m_window);
  if (!descriptor.m_child)
    SetForegroundWindow(descriptor.m_window);
}

bool MWindowSystemMSWindows::IsForeground(const MWindowDescriptor& window) const
{
  CheckGuiThread("IsForeground");
  HWND native = Cast(window).m_window;
  HWND foreground = GetForegroundWindow();
  return foreground != nullptr && (foreground == native || foreground == GetAncestor(native, GA_ROOT));
}

// --- cross-thread requests ------------------------------------------------------------------------

bool MWindowSystemMSWindows::PostToGuiThread(unsigned message)
{
  const MNativeHandle target = m_wakeTarget.load(std::memory_order_acquire);
  return target != 0 && PostMessageW(reinterpret_cast<HWND>(target), message, 0, 0) != FALSE;
}

void MWindowSystemMSWindows::WakeGuiThread()
{
  // One wake-up in flight to the message window is enough: its procedure clears the mark when
  // it takes it.
  if (!m_wakePosted.exchange(true, std::memory_order_acq_rel) && !PostToGuiThread(kMessageProcessEvents))
    m_wakePosted.store(false, std::memory_order_release);
}

void MWindowSystemMSWindows::OnEndModal(MWindow&)
{
  PostToGuiThread(kMessageEndModal);
}

void MWindowSystemMSWindows::Quit()
{
  m_quitRequested.store(true, std::memory_order_release);
  if (IsGuiThread())
    PostQuitMessage(0);
  else if (const DWORD thread = m_guiThreadId.load(std::memory_order_acquire); thread != 0)
    PostThreadMessageW(thread, WM_QUIT, 0, 0);
}

void MWindowSystemMSWindows::InvalidateRect(MWindowDescriptor& window, const MRect& rect)
{
  MW32WindowDescriptor& descriptor = Cast(window);
  if (IsGuiThread())
  {
    const MRect clipped = rect.Intersect(descriptor.Bounds());
    if (clipped.IsEmpty() || descriptor.m_window == nullptr)
      return;
    const RECT native{clipped.left, clipped.top, clipped.right, clipped.bottom};
    ::InvalidateRect(descriptor.m_window, &native, FALSE);
    return;
  }
  {
    std::lock_guard<std::mutex> guard(descriptor.m_requestLock);
    descriptor.m_requestedDirty = descriptor.m_requestedDirty.Union(rect);
  }
  PostMessageW(descriptor.m_window, kMessageInvalidate, 0, 0);
}

void MWindowSystemMSWindows::ApplyRequests(MW32WindowDescriptor& descriptor)
{
  MRect requested;
  {
    std::lock_guard<std::mutex> guard(descriptor.m_requestLock);
    requested = descriptor.m_requestedDirty;
    descriptor.m_requestedDirty = MRect{};
  }
  if (!requested.IsEmpty())
    InvalidateRect(descriptor, requested);
}

void MWindowSystemMSWindows::UpdateNow(MWindowDescriptor& window)
{
  CheckGuiThread("UpdateNow");
  MW32WindowDescriptor& descriptor = Cast(window);
  ApplyRequests(descriptor);
  UpdateWindow(descriptor.m_window);
}

// --- mouse, keys, timers -----------------------------------------------------------------------------

void MWindowSystemMSWindows::SetCapture(MWindowDescriptor* window)
{
  CheckGuiThread("SetCapture");
  if (window == nullptr)
    ReleaseCapture();
  else
    ::SetCapture(Cast(*window).m_window);
}

void MWindowSystemMSWindows::SetCursor(MStdCursor cursor)
{
  CheckGuiThread("SetCursor");
  m_cursor = cursor;
  ::SetCursor(MW32Input::LoadStdCursor(cursor));
}

MPoint MWindowSystemMSWindows::GetCursorScreenPosition() const
{
  CheckGuiThread("GetCursorScreenPosition");
  POINT point{};
  GetCursorPos(&point);
  return MPoint{point.x, point.y};
}

MPoint MWindowSystemMSWindows::GetCursorClientPosition(const MWindowDescriptor& window) const
{
  CheckGuiThread("GetCursorClientPosition");
  POINT point{};
  GetCursorPos(&point);
  ScreenToClient(Cast(window).m_window, &point);
  return MPoint{point.x, point.y};
}

void MWindowSystemMSWindows::MoveCursor(const MWindowDescriptor& window, MPoint client)
{
  CheckGuiThread("MoveCursor");
  POINT point{client.x, client.y};
  ClientToScreen(Cast(window).m_window, &point);
  SetCursorPos(point.x, point.y);
}

void MWindowSystemMSWindows::RequestMouseLeave(MWindowDescriptor& window)
{
  CheckGuiThread("RequestMouseLeave");
  MW32WindowDescriptor& descriptor = Cast(window);
  if (descriptor.m_trackingLeave)
    return;
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof track;
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = descriptor.m_window;
  descriptor.m_trackingLeave = TrackMouseEvent(&track) != FALSE;
}

bool MWindowSystemMSWindows::IsKeyDown(std::int32_t key) const
{
  if (key <= 0 || key > 0xFE)
    return false;
  return (GetAsyncKeyState(key) & 0x8000) != 0;
}

void MWindowSystemMSWindows::SetTimer(MWindowDescriptor& window, std::int32_t id, std::int32_t periodMs)
{
  CheckGuiThread("SetTimer");
  MW32WindowDescriptor& descriptor = Cast(window);
  const UINT_PTR native = UINT_PTR(std::uint32_t(id));
  if (periodMs <= 0)
    KillTimer(descriptor.m_window, native);
  else if (::SetTimer(descriptor.m_window, native, UINT(periodMs), nullptr) == 0)
    throw MException("Could not start the timer.");
}

// --- the window procedure ------------------------------------------------------------------------------

void MWindowSystemMSWindows::Dispatch(MW32WindowDescriptor& descriptor, const MSystemEvent& event)
{
  descriptor.m_owner.DispatchSystemEvent(event);
}

void MWindowSystemMSWindows::Paint(MW32WindowDescriptor& descriptor)
{
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(descriptor.m_window, &paint);
  if (dc == nullptr)
    return;
  const MRect dirty =
      MRect{paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right, paint.rcPaint.bottom}.Intersect(
          descriptor.Bounds());
  if (!dirty.IsEmpty())
  {
    // Our own shared hold around the paint's: its release then does not free the tree lock, and
    // ours gives no yield (a yield per paint hands the processor to every busy process first).
    MSynchronizationObjectGuard hold(descriptor.m_owner.GetTreeLock(),
                                     MSynchronizationObject::kModeShared |
                                         MSynchronizationObject::kNoYieldAfterRelease);
    descriptor.m_owner.PaintSurface(descriptor.m_drawer, dirty);
    MW32Input::CopyToDevice(dc, descriptor.m_surface, dirty);
  }
  EndPaint(descriptor.m_window, &paint);
}

bool MWindowSystemMSWindows::HandleMessage(MW32WindowDescriptor& descriptor, unsigned message,
                                           std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result)
{
  MSystemEvent event;
  switch (message)
  {
  case WM_PAINT:
    Paint(descriptor);
    return true;
  case WM_PRINTCLIENT:
    // PrintWindow and friends: the whole surface as it was last painted.
    MW32Input::CopyToDevice(reinterpret_cast<HDC>(wParam), descriptor.m_surface, descriptor.Bounds());
    return true;
  case WM_ERASEBKGND:
    result = 1; // every pixel is ours: no erase, no flicker
    return true;
  case WM_GETDLGCODE:
    // Inside a host's dialog the editor still gets arrows, Tab and Return.
    result = DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_WANTTAB;
    return true;
  case WM_SETCURSOR:
    if (LOWORD(lParam) != HTCLIENT)
      return false;
    ::SetCursor(MW32Input::LoadStdCursor(m_cursor));
    result = TRUE;
    return true;
  case WM_LBUTTONDOWN:
  case WM_RBUTTONDOWN:
  case WM_MBUTTONDOWN:
  case WM_LBUTTONUP:
  case WM_RBUTTONUP:
  case WM_MBUTTONUP:
  case WM_LBUTTONDBLCLK:
  case WM_RBUTTONDBLCLK:
  case WM_MBUTTONDBLCLK:
  case WM_MOUSEMOVE:
    if (message == WM_LBUTTONDOWN && descriptor.m_child && GetFocus() != descriptor.m_window)
      SetFocus(descriptor.m_window); // an embedded editor takes the keys when clicked
    if (message == WM_MOUSEMOVE)
      RequestMouseLeave(descriptor);
    event.code = MW32Input::MouseCode(message);
    event.position = ClientPoint(lParam);
    event.modifiers = MW32Input::Modifiers(wParam, GetKeyState(VK_MENU) < 0);
    Dispatch(descriptor, event);
    return true;
  case WM_MOUSEWHEEL:
  {
    // The position arrives in screen coordinates.
    POINT point{std::int16_t(LOWORD(lParam)), std::int16_t(HIWORD(lParam))};
    ScreenToClient(descriptor.m_window, &point);
    event.code = MSystemEvent::MouseWheel;
    event.position = MPoint{point.x, point.y};
    event.modifiers = MW32Input::Modifiers(LOWORD(wParam), GetKeyState(VK_MENU) < 0);
    event.value = std::int16_t(HIWORD(wParam));
    Dispatch(descriptor, event);
    return true;
  }
  case WM_MOUSELEAVE:
    descriptor.m_trackingLeave = false;
    event.code = MSystemEvent::MouseLeave;
    Dispatch(descriptor, event);
    return true;
  case WM_CAPTURECHANGED:
    if (reinterpret_cast<HWND>(lParam) == descriptor.m_window)
      return true;
    event.code = MSystemEvent::CaptureLost;
    Dispatch(descriptor, event);
    return true;
  case WM_SETFOCUS:
  case WM_KILLFOCUS:
    event.code = message == WM_SETFOCUS ? MSystemEvent::FocusIn : MSystemEvent::FocusOut;
    Dispatch(descriptor, event);
    return true;
  case WM_SIZE:
    if (wParam == SIZE_MINIMIZED)
      return true;
    event.code = MSystemEvent::Size;
    event.position = MPoint{std::int32_t(LOWORD(lParam)), std::int32_t(HIWORD(lParam))};
    if (MSize{event.position.x, event.position.y} ==
        MSize{descriptor.m_surface.Width(), descriptor.m_surface.Height()})
      return true;
    ResizeSurface(descriptor, MSize{event.position.x, event.position.y});
    Dispatch(descriptor, event);
    return true;
  case 0x02E0: // WM_DPICHANGED: the top-level window went to a monitor of another DPI
  case 0x02E3: // WM_DPICHANGED_AFTERPARENT: the same, told to a child
    descriptor.m_owner.NotifyContentScaleChanged();
    return false; // the default handling stays
  case WM_TIMER:
    event.code = MSystemEvent::Timer;
    event.value = std::int32_t(std::uint32_t(wParam));
    Dispatch(descriptor, event);
    return true;
  case WM_CLOSE:
    // The tree decides; DefWindowProc would destroy the window behind its back.
    event.code = MSystemEvent::Close;
    Dispatch(descriptor, event);
    return true;
  case WM_DROPFILES:
    event.code = MSystemEvent::DropFiles;
    event.value = std::int32_t(DragQueryFileW(reinterpret_cast<HDROP>(wParam), 0xFFFFFFFFu, nullptr, 0));
    DragFinish(reinterpret_cast<HDROP>(wParam));
    Dispatch(descriptor, event);
    return true;
  case WM_KEYDOWN:
  case WM_SYSKEYDOWN:
  case WM_KEYUP:
  case WM_SYSKEYUP:
    event.code =
        (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) ? MSystemEvent::KeyDown : MSystemEvent::KeyUp;
    event.value = std::int32_t(wParam & 0xFF);
    event.modifiers = MW32Input::KeyModifiers(GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_MENU) < 0,
                                              GetKeyState(VK_SHIFT) < 0);
    Dispatch(descriptor, event);
    // System keys (Alt+F4, the menu key) keep their meaning for the frame.
    return message == WM_KEYDOWN || message == WM_KEYUP;
  case WM_CHAR:
  {
    const std::uint32_t character = MW32Input::Character(descriptor.m_highSurrogate, std::uint16_t(wParam));
    if (character == 0)
      return true; // the first half of a surrogate pair
    event.code = MSystemEvent::Character;
    event.value = std::int32_t(character);
    event.modifiers = MW32Input::KeyModifiers(GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_MENU) < 0,
                                              GetKeyState(VK_SHIFT) < 0);
    Dispatch(descriptor, event);
    return true;
  }
  case WM_NCDESTROY:
    // Destroyed with the host's window before the editor closed.
    descriptor.m_destroyed = true;
    return false;
  case kMessageInvalidate:
    ApplyRequests(descriptor);
    return true;
  case kMessageShow:
    Show(descriptor, true);
    return true;
  case kMessageHide:
    ShowWindow(descriptor.m_window, SW_HIDE);
    return true;
  default:
    return false;
  }
}

// --- the pump ------------------------------------------------------------------------------------------

void MWindowSystemMSWindows::DeliverMessage(const void* rawMessage)
{
  const MSG& msg = *static_cast<const MSG*>(rawMessage);
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void MWindowSystemMSWindows::ProcessPendingMessages()
{
  if (!m_classRegistered)
    return;
  CheckGuiThread("ProcessPendingMessages");
  // What controls invalidated becomes WM_PAINT now, taken below: no paint waits for the
  // invalidator thread. Once per call, so that a paint that fails cannot keep the pump busy.
  RepaintInvalidated();
  int handled = 0;
  int quietInARow = 0;
  while (handled < kMaxMessagesPerCall)
  {
    // Only the messages of our own windows (the message-only one included): the thread's queue
    // and the host's windows are left alone.
    MSG msg{};
    bool found = PeekMessageW(&msg, reinterpret_cast<HWND>(m_wakeTarget.load(std::memory_order_acquire)), 0,
                              0, PM_REMOVE) != FALSE;
    for (std::size_t i = 0; !found && i < m_windows.size(); ++i)
      found = PeekMessageW(&msg, m_windows[i]->m_window, 0, 0, PM_REMOVE) != FALSE;
    if (!found)
      break;
    if (msg.message == WM_QUIT)
    {
      // Not ours to take: the loop that runs the thread sees it again.
      PostQuitMessage(int(msg.wParam));
      break;
    }
    ++handled;
    const bool quiet =
        msg.message == WM_PAINT || msg.message == WM_TIMER || msg.message == kMessageProcessEvents;
    DeliverMessage(&msg);
    if (!quiet)
      quietInARow = 0;
    else if (++quietInARow > kMaxQuietInARow)
      break;
  }
  DrainEvents();
}

MModalValue MWindowSystemMSWindows::RunModal(MWindow& window)
{
  CheckGuiThread("RunModal");
  BeginModalLoop(window);
  while (!IsModalLoopEnded(window) && !m_quitRequested.load(std::memory_order_acquire))
  {
    MSG msg{};
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1)
    {
      // WM_QUIT ends this loop and the one outside it.
      m_quitRequested.store(true, std::memory_order_release);
      PostQuitMessage(int(msg.wParam));
      break;
    }
    DeliverMessage(&msg);
    DrainEvents();
  }
  return window.GetModalResult();
}

void MWindowSystemMSWindows::RunMessageLoop()
{
  CheckGuiThread("RunMessageLoop");
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0)
  {
    DeliverMessage(&msg);
    DrainEvents();
  }
  m_quitRequested.store(false, std::memory_order_release);
}
