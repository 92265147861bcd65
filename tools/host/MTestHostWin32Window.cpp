#include "tools/host/MTestHostWin32Window.h"

#include <windows.h>

namespace
{
constexpr const wchar_t* kClassName = L"TonveraTestHostWindow";

HWND FirstChild(std::uintptr_t window)
{
  return window != 0 ? GetWindow(reinterpret_cast<HWND>(window), GW_CHILD) : nullptr;
}
} // namespace

MTestHostWin32Window::~MTestHostWin32Window()
{
  Close();
}

bool MTestHostWin32Window::Open(int width, int height, std::string& error)
{
  Close();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kClassName;
  if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
  {
    error = "RegisterClassExW failed";
    return false;
  }
  // Frameless: under Wine without a window manager a framed window's destruction waits two
  // seconds for the manager's answer; the embedding is the same either way.
  const DWORD style = WS_POPUP | WS_CLIPCHILDREN;
  RECT outer{0, 0, width, height};
  AdjustWindowRectEx(&outer, style, FALSE, 0);
  HWND window = CreateWindowExW(0, kClassName, L"Test host", style, 0, 0, outer.right - outer.left,
                                outer.bottom - outer.top, nullptr, nullptr, instance, nullptr);
  if (window == nullptr)
  {
    error = "CreateWindowExW failed: " + std::to_string(GetLastError());
    return false;
  }
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  m_window = reinterpret_cast<std::uintptr_t>(window);
  return true;
}

void MTestHostWin32Window::Close()
{
  if (m_window != 0)
    DestroyWindow(reinterpret_cast<HWND>(m_window));
  m_window = 0;
}

void MTestHostWin32Window::Pump(int milliseconds, const std::function<void()>& idle, int periodMs)
{
  const ULONGLONG end = GetTickCount64() + ULONGLONG(milliseconds);
  ULONGLONG nextIdle = 0;
  for (;;)
  {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= end)
      return;
    if (idle && now >= nextIdle)
    {
      idle();
      nextIdle = now + ULONGLONG(periodMs);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

void MTestHostWin32Window::ParkPointer(int x, int y)
{
  SetCursorPos(x, y);
}

int MTestHostWin32Window::ChildCount() const
{
  int count = 0;
  for (HWND child = FirstChild(m_window); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    ++count;
  return count;
}

bool MTestHostWin32Window::Child(std::string& className, int& width, int& height) const
{
  HWND child = FirstChild(m_window);
  if (child == nullptr)
    return false;
  char name[64] = {};
  GetClassNameA(child, name, sizeof name);
  className = name;
  RECT client{};
  GetClientRect(child, &client);
  width = client.right - client.left;
  height = client.bottom - client.top;
  return true;
}

bool MTestHostWin32Window::CaptureChild(std::vector<std::uint32_t>& argb, int& width, int& height) const
{
  std::string className;
  HWND child = FirstChild(m_window);
  if (child == nullptr || !Child(className, width, height) || width <= 0 || height <= 0)
    return false;
  HDC source = GetDC(child);
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height; // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool copied = false;
  if (bitmap != nullptr && bits != nullptr)
  {
    HGDIOBJ old = SelectObject(memory, bitmap);
    copied = BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    argb.assign(pixels, pixels + std::size_t(width) * std::size_t(height));
    for (std::uint32_t& pixel : argb)
      pixel |= 0xFF000000u;
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(child, source);
  return copied;
}
