#include "gui/MWindowSystemCommon.h"

#include "base/MEventProcessor.h"
#include "base/MException.h"
#include "base/MHostCallShield.h"
#include "gui/MBitmap.h"
#include "gui/MControlInvalidator.h"
#include "gui/MWindow.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>

// --- the force-execute-events thread --------------------------------------------------------------

MForceExecuteEventsThread::~MForceExecuteEventsThread()
{
  RequestStop();
  Wait();
}

std::int32_t MForceExecuteEventsThread::Run()
{
  while (!IsStopRequested())
  {
    // With no window open nobody would take the work (a host does not pump a closed editor, and
    // on Windows a wake would be a thread message to the host's loop): sleep until a window
    // opens or work is marked pending, and leave the flag for then.
    if (!m_system.HasOpenWindows())
    {
      WaitForWakeUp(MSynchronizer::kInfinite);
      continue;
    }
    // Records others posted to the global processor (automation updates, thread notifications)
    // count as pending too; their posters' WakeUp reaches us through SetEventsPending.
    if (m_system.TakeEventsPending() || MEventProcessor::GetGlobal().GetPendingCount() != 0)
    {
      m_system.m_forcedWakes.fetch_add(1, std::memory_order_relaxed);
      m_system.WakeGuiThread();
      // Look again in a while, in case the GUI thread has not taken the work by then.
      WaitForWakeUp(kPeriodMs);
    }
    else
      WaitForWakeUp(MSynchronizer::kInfinite); // nothing to do: asleep until someone has work
  }
  return 0;
}

namespace
{
// The initialised window systems of this module, told of every WakeUp of the global processor.
// Never destroyed: a thread may still post while the module's statics go away.
std::mutex& WakeTargetsMutex()
{
  static auto* mutex = new std::mutex;
  return *mutex;
}

std::vector<MWindowSystemCommon*>& WakeTargets()
{
  static auto* targets = new std::vector<MWindowSystemCommon*>;
  return *targets;
}

void WakeWindowSystems()
{
  std::lock_guard<std::mutex> guard(WakeTargetsMutex());
  for (MWindowSystemCommon* system : WakeTargets())
    system->SetEventsPending();
}
} // namespace

// --- window system --------------------------------------------------------------------------------

MWindowSystemCommon::MWindowSystemCommon() : m_forceThread(*this) {}

MWindowSystemCommon::~MWindowSystemCommon()
{
  ShutdownCommon();
}

void MWindowSystemCommon::InitializeCommon()
{
  if (m_initialized.load(std::memory_order_acquire))
    return;
  m_guiThread.store(std::this_thread::get_id(), std::memory_order_release);
  MControlInvalidatorThread::Acquire();
  try
  {
    m_forceThread.Start(MThread::Low);
  }
  catch (...)
  {
    MControlInvalidatorThread::Release();
    throw;
  }
  m_threadsRunning = true;
  {
    std::lock_guard<std::mutex> guard(WakeTargetsMutex());
    WakeTargets().push_back(this);
  }
  MEventProcessor::GetGlobal().SetWakeUpHandler(&WakeWindowSystems);
  m_initialized.store(true, std::memory_order_release);
}

void MWindowSystemCommon::ShutdownCommon()
{
  if (!m_threadsRunning)
    return;
  m_threadsRunning = false;
  {
    std::lock_guard<std::mutex> guard(WakeTargetsMutex());
    auto& targets = WakeTargets();
    targets.erase(std::remove(targets.begin(), targets.end(), this), targets.end());
  }
  m_forceThread.RequestStop();
  m_forceThread.Wait();
  MControlInvalidatorThread::Release();
  m_initialized.store(false, std::memory_order_release);
}

bool MWindowSystemCommon::IsGuiThread() const
{
  return m_guiThread.load(std::memory_order_acquire) == std::this_thread::get_id();
}

MWindow* MWindowSystemCommon::FindWindow(MNativeHandle handle) const
{
  for (MWindow* window : m_windows)
    if (MWindowDescriptor* descriptor = window->GetDescriptor();
        descriptor != nullptr && descriptor->GetHandle() == handle)
      return window;
  return nullptr;
}

void MWindowSystemCommon::AddWindow(MWindow& window)
{
  if (std::find(m_windows.begin(), m_windows.end(), &window) == m_windows.end())
    m_windows.push_back(&window);
  if (m_openWindows.exchange(static_cast<std::int32_t>(m_windows.size()), std::memory_order_acq_rel) == 0)
    m_forceThread.WakeUp(); // out of its sleep: work may have waited for a window
}

void MWindowSystemCommon::RemoveWindow(MWindow& window)
{
  m_windows.erase(std::remove(m_windows.begin(), m_windows.end(), &window), m_windows.end());
  m_openWindows.store(static_cast<std::int32_t>(m_windows.size()), std::memory_order_release);
}

bool MWindowSystemCommon::RepaintInvalidated()
{
  bool dirty = false;
  // By index: a repaint only hands rectangles to the back end, but stay safe if the list changes.
  for (std::size_t i = 0; i < m_windows.size(); ++i)
  {
    MControlInvalidator& invalidator = m_windows[i]->GetInvalidator();
    if (!invalidator.IsDirty())
      continue;
    dirty = true;
    invalidator.Repaint();
  }
  return dirty;
}

// --- input suppression ------------------------------------------------------------------------------

std::uint64_t MWindowSystemCommon::GetTickMs() const
{
  using namespace std::chrono;
  return static_cast<std::uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void MWindowSystemCommon::SuppressInput(std::uint32_t ms)
{
  const std::uint64_t until = GetTickMs() + ms;
  // Never shortens a suppression already running.
  std::uint64_t current = m_suppressUntil.load(std::memory_order_acquire);
  while (current < until && !m_suppressUntil.compare_exchange_weak(current, until, std::memory_order_acq_rel))
  {}
}

bool MWindowSystemCommon::ShouldSwallowInput(const MSystemEvent& event)
{
  const std::uint64_t until = m_suppressUntil.load(std::memory_order_acquire);
  if (until == 0)
    return false;
  if (GetTickMs() >= until)
  {
    std::uint64_t expected = until;
    m_suppressUntil.compare_exchange_strong(expected, 0, std::memory_order_acq_rel);
    return false;
  }
  // Only what the user does is swallowed. Notifications about state (a new size, a lost capture
  // or focus, the mouse leaving, a timer tick) still arrive: dropping them would leave the tree
  // disagreeing with the native window.
  switch (event.code)
  {
  case MSystemEvent::MouseMove:
  case MSystemEvent::MouseLeave:
  case MSystemEvent::CaptureLost:
  case MSystemEvent::FocusIn:
  case MSystemEvent::FocusOut:
  case MSystemEvent::Size:
  case MSystemEvent::Timer:
    return false;
  default:
    return true;
  }
}

// --- events ---------------------------------------------------------------------------------------------

void MWindowSystemCommon::LeaveHandler()
{
  if (m_nesting.fetch_sub(1, std::memory_order_relaxed) == 1)
    DrainEvents();
}

void MWindowSystemCommon::DrainEvents()
{
  // A handler that throws leaves the rest pending; go on with them, but never forever.
  for (int round = 0; round < 64 && MEventProcessor::GetGlobal().GetPendingCount() != 0; ++round)
  {
    m_nesting.fetch_add(1, std::memory_order_relaxed);
    const bool completed =
        MHostCallShield::Run("MWindowProc (messages)", [] { MEventProcessor::GetGlobal().Process(); });
    m_nesting.fetch_sub(1, std::memory_order_relaxed);
    if (completed)
      break;
  }
}

// --- modal ------------------------------------------------------------------------------------------------

void MWindowSystemCommon::BeginModalLoop(MWindow& window)
{
  m_modalLoops.fetch_add(1, std::memory_order_relaxed);
  window.m_modalEnded.store(false, std::memory_order_release);
  window.SetModalResult(MModalValue::None);
}

bool MWindowSystemCommon::IsModalLoopEnded(const MWindow& window) const
{
  return window.m_modalEnded.load(std::memory_order_acquire) ||
         window.GetModalResult() != MModalValue::None || !window.IsOpen();
}

void MWindowSystemCommon::EndModal(MWindow& window, MModalValue value)
{
  if (window.m_modalEnded.exchange(true, std::memory_order_acq_rel))
    throw MException(MString("MWindowSystemMSWindows::EndModal called more than once"));
  window.SetModalResult(value);
  OnEndModal(window);
}

void MWindowSystemCommon::OnEndModal(MWindow&)
{
  WakeGuiThread();
}

// --- clipboard ------------------------------------------------------------------------------------

namespace
{
struct ProcessClipboard
{
  std::mutex mutex;
  MString text;
};

ProcessClipboard& Clipboard()
{
  static ProcessClipboard clipboard;
  return clipboard;
}
} // namespace

void MWindowSystemCommon::SetClipboardText(const MString& text)
{
  ProcessClipboard& clipboard = Clipboard();
  std::lock_guard lock(clipboard.mutex);
  clipboard.text = text;
}

MString MWindowSystemCommon::GetClipboardText()
{
  ProcessClipboard& clipboard = Clipboard();
  std::lock_guard lock(clipboard.mutex);
  return clipboard.text;
}

MSize MWindowSystemCommon::ClampWindowSize(MSize size)
{
  MSize clamped{std::clamp(size.x, 1, MBitmap::kMaxSide), std::clamp(size.y, 1, MBitmap::kMaxSide)};
  // Both sides shrink by the same factor, so a huge request keeps its shape.
  const std::int64_t area = std::int64_t{clamped.x} * clamped.y;
  if (area > MBitmap::kMaxPixels)
  {
    const double scale = std::sqrt(double(MBitmap::kMaxPixels) / double(area));
    clamped.x = std::max(1, static_cast<std::int32_t>(clamped.x * scale));
    clamped.y = std::max(1, static_cast<std::int32_t>(clamped.y * scale));
    clamped.y = std::min(clamped.y, static_cast<std::int32_t>(MBitmap::kMaxPixels / clamped.x));
  }
  return clamped;
}
