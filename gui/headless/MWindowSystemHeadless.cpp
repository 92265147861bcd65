#include "gui/headless/MWindowSystemHeadless.h"

#include "base/MException.h"
#include "gui/MWindow.h"

#include <algorithm>
#include <chrono>

namespace
{

constexpr MRect kWorkArea{0, 0, 1920, 1080};

bool IsIdleMessage(MSystemEvent::Code code)
{
  return code == MSystemEvent::Timer;
}

} // namespace

MWindowSystemHeadless::Descriptor::Descriptor(MWindow& window, MNativeHandle handle,
                                              const MNativeWindowParams& params)
    : MWindowDescriptor(kType), m_window(window), m_handle(handle),
      m_surface(FitSize(params.rect.Width(), params.rect.Height()).x,
                FitSize(params.rect.Width(), params.rect.Height()).y),
      m_drawer(m_surface),
      m_rect(MRect::FromSize(params.rect.left, params.rect.top, m_surface.Width(), m_surface.Height())),
      m_parent(params.parent), m_title(params.title)
{}

MSize MWindowSystemHeadless::FitSize(std::int32_t width, std::int32_t height)
{
  // The common clamp, except that an empty window stays empty here (tests size windows to 0).
  const MSize clamped = ClampWindowSize(MSize{width, height});
  return MSize{std::clamp(width, 0, clamped.x), std::clamp(height, 0, clamped.y)};
}

MWindowSystemHeadless::MWindowSystemHeadless() = default;

MWindowSystemHeadless::~MWindowSystemHeadless()
{
  // The threads call WakeGuiThread: they stop before this object's parts go.
  ShutdownCommon();
}

MWindowSystemHeadless::Descriptor& MWindowSystemHeadless::Cast(MWindowDescriptor& window)
{
  if (window.GetType() != kType)
    throw MException(MString("Unknown signal window type."));
  return static_cast<Descriptor&>(window);
}

const MWindowSystemHeadless::Descriptor& MWindowSystemHeadless::Cast(const MWindowDescriptor& window)
{
  if (window.GetType() != kType)
    throw MException(MString("Unknown signal window type."));
  return static_cast<const Descriptor&>(window);
}

MString MWindowSystemHeadless::GetName() const
{
  return MString("Headless off-screen window-system");
}

void MWindowSystemHeadless::Initialize()
{
  InitializeCommon();
}

MRect MWindowSystemHeadless::GetWorkArea(MPoint) const
{
  return kWorkArea;
}

// --- windows -------------------------------------------------------------------------------------

std::unique_ptr<MWindowDescriptor>
MWindowSystemHeadless::CreateNativeWindow(MWindow& window, const MNativeWindowParams& params)
{
  if (!IsInitialized())
    Initialize();
  auto descriptor = std::make_unique<Descriptor>(window, m_nextHandle++, params);
  m_descriptors[descriptor->m_handle] = descriptor.get();
  return descriptor;
}

void MWindowSystemHeadless::DestroyNativeWindow(std::unique_ptr<MWindowDescriptor> window)
{
  if (window == nullptr)
    return;
  Descriptor& descriptor = Cast(*window);
  const MNativeHandle handle = descriptor.m_handle;
  m_descriptors.erase(handle);
  for (auto it = m_timers.begin(); it != m_timers.end();)
    it = it->first.first == handle ? m_timers.erase(it) : std::next(it);
  if (m_capture == window.get())
    m_capture = nullptr;
  std::lock_guard lock(m_mutex);
  // No more messages for it.
  m_messages.erase(
      std::remove_if(m_messages.begin(), m_messages.end(),
                     [handle](const Message& m) { return m.handle == handle && m.kind != Kind::Wake; }),
      m_messages.end());
}

MWindowSystemHeadless::Descriptor* MWindowSystemHeadless::FindDescriptor(MNativeHandle handle) const
{
  auto it = m_descriptors.find(handle);
  return it != m_descriptors.end() ? it->second : nullptr;
}

void MWindowSystemHeadless::SetParent(MWindowDescriptor& window, MNativeHandle parent)
{
  Cast(window).m_parent = parent;
}

void MWindowSystemHeadless::SetParentAndStyle(MWindowDescriptor& window, MNativeHandle parent, bool)
{
  Cast(window).m_parent = parent;
}

bool MWindowSystemHeadless::IsVisible(const MWindowDescriptor& window) const
{
  return Cast(window).m_visible;
}

void MWindowSystemHeadless::SetTitle(MWindowDescriptor& window, const MString& title)
{
  Cast(window).m_title = title;
}

void MWindowSystemHeadless::SetPosition(MWindowDescriptor& window, MPoint position)
{
  Descriptor& d = Cast(window);
  d.m_rect = MRect::FromSize(position.x, position.y, d.m_rect.Width(), d.m_rect.Height());
}

void MWindowSystemHeadless::SetSize(MWindowDescriptor& window, MSize size)
{
  Descriptor& d = Cast(window);
  size = FitSize(size.x, size.y);
  d.m_surface.Resize(size.x, size.y);
  d.m_drawer.SetTarget(d.m_surface);
  d.m_rect = MRect::FromSize(d.m_rect.left, d.m_rect.top, size.x, size.y);
  InvalidateRect(window, MRect{0, 0, size.x, size.y});
}

void MWindowSystemHeadless::SetZOrder(MWindowDescriptor&, bool) {}

void MWindowSystemHeadless::SetShape(MWindowDescriptor&, const MRect&) {}

MRect MWindowSystemHeadless::GetWindowRect(const MWindowDescriptor& window) const
{
  return Cast(window).m_rect;
}

void MWindowSystemHeadless::Move(MWindowDescriptor& window, const MRect& rect)
{
  SetPosition(window, MPoint{rect.left, rect.top});
  if (rect.Width() != Cast(window).m_rect.Width() || rect.Height() != Cast(window).m_rect.Height())
    SetSize(window, MSize{rect.Width(), rect.Height()});
}

void MWindowSystemHeadless::MoveAndShow(MWindowDescriptor& window, const MRect& rect)
{
  Move(window, rect);
  Show(window, true);
}

void MWindowSystemHeadless::Show(MWindowDescriptor& window, bool show)
{
  if (!show)
  {
    Hide(window);
    return;
  }
  Descriptor& d = Cast(window);
  d.m_visible = true;
  d.m_minimized = false;
}

bool MWindowSystemHeadless::IsMinimized(const MWindowDescriptor& window) const
{
  return Cast(window).m_minimized;
}

void MWindowSystemHeadless::ShowFromAnyThread(MWindowDescriptor& window)
{
  if (IsGuiThread())
  {
    Show(window, true);
    return;
  }
  Message message;
  message.kind = Kind::Show;
  message.handle = Cast(window).m_handle;
  Post(message);
}

void MWindowSystemHeadless::Hide(MWindowDescriptor& window)
{
  Cast(window).m_visible = false;
  OnWindowHidden();
}

void MWindowSystemHeadless::ActivateAndFocus(MWindowDescriptor& window)
{
  m_capture = nullptr;
  for (auto& [handle, descriptor] : m_descriptors)
    descriptor->m_foreground = descriptor == &window;
}

bool MWindowSystemHeadless::IsForeground(const MWindowDescriptor& window) const
{
  return Cast(window).m_foreground;
}

// --- messages ----------------------------------------------------------------------------------------

void MWindowSystemHeadless::Post(const Message& message)
{
  {
    std::lock_guard lock(m_mutex);
    m_messages.push_back(message);
  }
  m_signal.notify_all();
}

void MWindowSystemHeadless::InjectEvent(MWindow& window, const MSystemEvent& event)
{
  MWindowDescriptor* descriptor = window.GetDescriptor(kType);
  if (descriptor == nullptr)
    throw MException(MString("The window is not open in the headless window-system."));
  Message message;
  message.kind = Kind::Event;
  message.handle = descriptor->GetHandle();
  message.event = event;
  Post(message);
}

void MWindowSystemHeadless::WakeGuiThread()
{
  {
    std::lock_guard lock(m_mutex);
    ++m_wakeCount;
    // One wake message is enough while it waits.
    if (std::none_of(m_messages.begin(), m_messages.end(),
                     [](const Message& m) { return m.kind == Kind::Wake; }))
      m_messages.push_back(Message{});
  }
  m_signal.notify_all();
}

std::uint64_t MWindowSystemHeadless::GetWakeCount() const
{
  std::lock_guard lock(m_mutex);
  return m_wakeCount;
}

bool MWindowSystemHeadless::WaitForMessages(std::uint32_t timeoutMs)
{
  std::unique_lock lock(m_mutex);
  return m_signal.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return !m_messages.empty() || m_quit; });
}

void MWindowSystemHeadless::InvalidateRect(MWindowDescriptor& window, const MRect& rect)
{
  Descriptor& d = Cast(window);
  {
    std::lock_guard lock(m_mutex);
    const MRect clipped = rect.Intersect(d.m_surface.Bounds());
    if (clipped.IsEmpty())
      return;
    d.m_dirty = d.m_dirty.Union(clipped);
    if (d.m_paintQueued)
      return;
    d.m_paintQueued = true;
    Message message;
    message.kind = Kind::Paint;
    message.handle = d.m_handle;
    m_messages.push_back(message);
  }
  m_signal.notify_all();
}

void MWindowSystemHeadless::PaintDirty(Descriptor& descriptor)
{
  MRect dirty;
  {
    std::lock_guard lock(m_mutex);
    dirty = descriptor.m_dirty;
    descriptor.m_dirty = MRect{};
    descriptor.m_paintQueued = false;
  }
  if (dirty.IsEmpty())
    return;
  descriptor.m_drawer.Reset();
  descriptor.m_window.PaintSurface(descriptor.m_drawer, dirty);
}

void MWindowSystemHeadless::UpdateNow(MWindowDescriptor& window)
{
  PaintDirty(Cast(window));
}

void MWindowSystemHeadless::QueueDueTimers()
{
  const std::uint64_t now = GetTickMs();
  for (auto& [key, timer] : m_timers)
  {
    if (timer.dueMs > now)
      continue;
    // A clock that jumped far ahead gives one tick, not a burst.
    timer.dueMs = std::max(timer.dueMs + std::uint64_t(timer.periodMs), now + 1);
    Message message;
    message.kind = Kind::Event;
    message.handle = key.first;
    message.event.code = MSystemEvent::Timer;
    message.event.value = key.second;
    std::lock_guard lock(m_mutex);
    m_messages.push_back(message);
  }
}

void MWindowSystemHeadless::ProcessPendingMessages()
{
  QueueDueTimers();
  int handled = 0;
  int idleInRow = 0;
  while (handled < kMaxMessagesPerCall)
  {
    Message message;
    {
      std::lock_guard lock(m_mutex);
      if (m_messages.empty())
        break;
      message = m_messages.front();
      m_messages.pop_front();
    }
    ++handled;
    bool idle = true;
    switch (message.kind)
    {
    case Kind::Wake:
      DrainEvents();
      break;
    case Kind::Paint:
      if (Descriptor* d = FindDescriptor(message.handle))
        PaintDirty(*d);
      break;
    case Kind::Show:
      if (Descriptor* d = FindDescriptor(message.handle))
        Show(*d, true);
      idle = false;
      break;
    case Kind::Event:
      idle = IsIdleMessage(message.event.code);
      TrackInput(message.event);
      if (Descriptor* d = FindDescriptor(message.handle))
        d->m_window.DispatchSystemEvent(message.event);
      break;
    }
    idleInRow = idle ? idleInRow + 1 : 0;
    if (idleInRow > kMaxIdleMessagesInRow)
      break;
  }
  m_lastMessageCount = handled;
  DrainEvents();
}

void MWindowSystemHeadless::TrackInput(const MSystemEvent& event)
{
  switch (event.code)
  {
  case MSystemEvent::KeyDown:
    m_keysDown.insert(event.value);
    break;
  case MSystemEvent::KeyUp:
    m_keysDown.erase(event.value);
    break;
  default:
    if (event.code <= MSystemEvent::MouseWheel)
      m_cursorScreen = event.position;
    break;
  }
}

MModalValue MWindowSystemHeadless::RunModal(MWindow& window)
{
  BeginModalLoop(window);
  while (!IsModalLoopEnded(window))
  {
    {
      std::lock_guard lock(m_mutex);
      if (m_quit)
        break;
    }
    ProcessPendingMessages();
    if (m_lastMessageCount == 0 && !IsModalLoopEnded(window))
      WaitForMessages(10);
  }
  return window.GetModalResult();
}

void MWindowSystemHeadless::RunMessageLoop()
{
  for (;;)
  {
    {
      std::lock_guard lock(m_mutex);
      if (m_quit)
      {
        m_quit = false;
        return;
      }
    }
    ProcessPendingMessages();
    if (m_lastMessageCount == 0)
      WaitForMessages(10);
  }
}

void MWindowSystemHeadless::Quit()
{
  {
    std::lock_guard lock(m_mutex);
    m_quit = true;
  }
  m_signal.notify_all();
}

// --- mouse, keys, timers ----------------------------------------------------------------------------

void MWindowSystemHeadless::SetCapture(MWindowDescriptor* window)
{
  m_capture = window;
}

void MWindowSystemHeadless::SetCursor(MStdCursor cursor)
{
  m_cursor = cursor;
}

MPoint MWindowSystemHeadless::GetCursorScreenPosition() const
{
  return m_cursorScreen;
}

MPoint MWindowSystemHeadless::GetCursorClientPosition(const MWindowDescriptor&) const
{
  // Injected positions are client positions already.
  return m_cursorScreen;
}

void MWindowSystemHeadless::MoveCursor(const MWindowDescriptor&, MPoint client)
{
  m_cursorScreen = client;
}

void MWindowSystemHeadless::RequestMouseLeave(MWindowDescriptor&) {}

bool MWindowSystemHeadless::IsKeyDown(std::int32_t key) const
{
  return m_keysDown.count(key) != 0;
}

void MWindowSystemHeadless::SetTimer(MWindowDescriptor& window, std::int32_t id, std::int32_t periodMs)
{
  const auto key = std::make_pair(Cast(window).m_handle, id);
  if (periodMs <= 0)
  {
    m_timers.erase(key);
    return;
  }
  m_timers[key] = Timer{periodMs, GetTickMs() + std::uint64_t(periodMs)};
}

bool MWindowSystemHeadless::HasTimer(const MWindow& window, std::int32_t nativeId) const
{
  const MWindowDescriptor* descriptor = window.GetDescriptor(kType);
  return descriptor != nullptr && m_timers.count(std::make_pair(descriptor->GetHandle(), nativeId)) != 0;
}

// --- clock ------------------------------------------------------------------------------------------

std::uint64_t MWindowSystemHeadless::GetTickMs() const
{
  {
    std::lock_guard lock(m_mutex);
    if (m_manualClock)
      return m_clockMs;
  }
  return MWindowSystemCommon::GetTickMs();
}

void MWindowSystemHeadless::SetManualClock(std::uint64_t nowMs)
{
  std::lock_guard lock(m_mutex);
  m_manualClock = true;
  m_clockMs = nowMs;
}

void MWindowSystemHeadless::AdvanceClock(std::uint64_t ms)
{
  std::lock_guard lock(m_mutex);
  m_clockMs += ms;
}

void MWindowSystemHeadless::UseSteadyClock()
{
  std::lock_guard lock(m_mutex);
  m_manualClock = false;
}

// --- inspection -------------------------------------------------------------------------------------

const MBitmap* MWindowSystemHeadless::GetSurface(const MWindow& window) const
{
  MWindowDescriptor* descriptor = window.GetDescriptor(kType);
  return descriptor != nullptr ? &static_cast<Descriptor*>(descriptor)->m_surface : nullptr;
}

MRect MWindowSystemHeadless::GetDirtyRect(const MWindow& window) const
{
  MWindowDescriptor* descriptor = window.GetDescriptor(kType);
  if (descriptor == nullptr)
    return MRect{};
  std::lock_guard lock(m_mutex);
  return static_cast<Descriptor*>(descriptor)->m_dirty;
}

const MBitmap& MWindowSystemHeadless::Render(MWindow& window)
{
  MWindowDescriptor* descriptor = window.GetDescriptor(kType);
  if (descriptor == nullptr)
    throw MException(MString("The window is not open in the headless window-system."));
  InvalidateRect(*descriptor, window.ToDevice(window.GetRect()));
  ProcessPendingMessages();
  // A handler run by the pump may have closed the window: look the descriptor up again.
  descriptor = window.GetDescriptor(kType);
  if (descriptor == nullptr)
    throw MException(MString("The window was closed while it was being rendered."));
  PaintDirty(Cast(*descriptor));
  return Cast(*descriptor).m_surface;
}
