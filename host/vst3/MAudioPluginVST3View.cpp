#include "host/vst3/MAudioPluginVST3View.h"

#include "base/MHostCallShield.h"
#include "core/plugin/MAudioPlugin.h"
#include "host/module/MHostEditorKeys.h"
#include "host/module/MModule.h"
#include "gui/MWindowSystemCommon.h"
#include "host/vst3/MAudioPluginVST3Adapter.h"

#if defined(__linux__)
#include "gui/x11/MWindowSystemX11.h"
#endif
#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

using namespace Steinberg;

namespace
{
// The one platform type of this build: the host's HWND on Windows, an X11 window id elsewhere.
#ifdef _WIN32
constexpr FIDString kNativeType = kPlatformTypeHWND;
#else
constexpr FIDString kNativeType = kPlatformTypeX11EmbedWindowID;
#endif

bool IsNativeType(FIDString type)
{
  return type != nullptr && std::strcmp(type, kNativeType) == 0;
}

#ifdef _WIN32
// Windows hosts give a view no clock: each attached view has a thread timer of its own, which
// the host's message loop (the UI thread's) delivers. UI thread only.
std::vector<std::pair<UINT_PTR, MAudioPluginVST3View*>>& IdleTimers()
{
  static std::vector<std::pair<UINT_PTR, MAudioPluginVST3View*>> timers;
  return timers;
}

void CALLBACK OnIdleTimer(HWND, UINT, UINT_PTR id, DWORD)
{
  // Looked up by id: a timer message already queued may name a view removed since.
  for (const auto& [timer, view] : IdleTimers())
    if (timer == id)
    {
      view->onTimer();
      return;
    }
}
#endif

int32 Side(std::int32_t pixels)
{
  return pixels < 5 ? 0 : pixels;
}
} // namespace

MAudioPluginVST3View::MAudioPluginVST3View(MAudioPluginVST3Adapter& adapter, MAudioPlugin& plugin)
    : m_adapter(adapter),
      m_plugin(plugin), m_size{MAudioPlugin::kDefaultEditorWidth, MAudioPlugin::kDefaultEditorHeight}
{
  m_adapter.addRef();
}

MAudioPluginVST3View::~MAudioPluginVST3View()
{
  MHostCallShield::Run("MAudioPluginVST3Adapter::MEditor::~MEditor", [&] { Detach(); });
  m_adapter.ForgetView(this);
  m_adapter.release();
}

void MAudioPluginVST3View::CollectInterfaces(InterfaceTable& table)
{
  FObject::CollectInterfaces(table);
  table.Add(IPlugView::iid, static_cast<IPlugView*>(this));
  table.Add(IPlugViewContentScaleSupport::iid, static_cast<IPlugViewContentScaleSupport*>(this));
  table.Add(Linux::IEventHandler::iid, static_cast<Linux::IEventHandler*>(this));
  table.Add(Linux::ITimerHandler::iid, static_cast<Linux::ITimerHandler*>(this));
}

tresult PLUGIN_API MAudioPluginVST3View::isPlatformTypeSupported(FIDString type)
{
  return IsNativeType(type) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API MAudioPluginVST3View::attached(void* parent, FIDString type)
{
  return MAudioPluginAdapter::RunHostCall(
      "MAudioPluginVST3Adapter::MEditor::attached", tresult{kResultFalse}, [&]() -> tresult {
        if (parent == nullptr || !IsNativeType(type) || m_attached || m_plugin.GetEditor() != nullptr)
          return kResultFalse;
        MWindowSystemCommon* system = MModuleLibrary::GetWindowSystem();
        // The HWND, or the X11 window id in the pointer's bits.
        if (system == nullptr || !m_plugin.OpenEditor(*system, reinterpret_cast<MNativeHandle>(parent)))
          return kResultFalse;
        m_attached = true;
        if (MAudioPlugin::MEditor* editor = m_plugin.GetEditor();
            editor != nullptr && editor->GetSize() != m_size)
        {
          if (m_hostSized)
            editor->SetSize(m_size.x, m_size.y);
          else if (m_frame != nullptr)
          {
            // The editor opened at a zoom the host did not know of when it asked for the size.
            m_size = editor->GetSize();
            ViewRect rect{0, 0, m_size.x, m_size.y};
            m_frame->resizeView(this, &rect);
          }
        }
        Register();
        return kResultOk;
      });
}

tresult PLUGIN_API MAudioPluginVST3View::removed()
{
  return MAudioPluginAdapter::RunHostCall("MAudioPluginVST3Adapter::MEditor::removed", tresult{kResultFalse},
                                          [&]() -> tresult {
                                            if (!m_attached)
                                              return kResultFalse;
                                            Detach();
                                            return kResultOk;
                                          });
}

void MAudioPluginVST3View::Detach()
{
  if (!m_attached)
    return;
  Unregister();
  m_attached = false;
  m_plugin.DestroyEditor();
  // A control held down while the host removed the view never sees its release.
  m_plugin.EndAllAutomationGestures();
}

void MAudioPluginVST3View::Register()
{
#ifdef _WIN32
  if (const UINT_PTR timer = ::SetTimer(nullptr, 0, UINT(kIdlePeriodMs), &OnIdleTimer); timer != 0)
  {
    IdleTimers().emplace_back(timer, this);
    m_idleTimer = timer;
  }
  return;
#endif
  if (m_frame == nullptr)
    return;
  void* object = nullptr;
  if (m_frame->queryInterface(Linux::IRunLoop::iid.data, &object) != kResultOk || object == nullptr)
    return;
  m_runLoop = static_cast<Linux::IRunLoop*>(object);
  MWindowSystemCommon* system = MModuleLibrary::GetWindowSystem();
  if (system == nullptr)
    return;
#if defined(__linux__)
  if (auto* x11 = dynamic_cast<MWindowSystemX11*>(system))
  {
    for (int fd : {x11->GetConnectionFileDescriptor(), x11->GetWakeFileDescriptor()})
      if (fd >= 0)
        m_runLoop->registerEventHandler(this, fd);
  }
  else
#endif
      if (const int fd = system->GetEventFileDescriptor(); fd >= 0)
    m_runLoop->registerEventHandler(this, fd);
  m_timerPeriod = m_runLoop->registerTimer(this, kDisplayPeriodMs) == kResultOk ? kDisplayPeriodMs : 0;
  m_quietTicks = 0;
  m_seenHandlerEntries = system->GetHandlerEntryCount();
}

void MAudioPluginVST3View::Unregister()
{
#ifdef _WIN32
  if (m_idleTimer != 0)
  {
    ::KillTimer(nullptr, UINT_PTR(m_idleTimer));
    auto& timers = IdleTimers();
    timers.erase(
        std::remove_if(timers.begin(), timers.end(), [&](const auto& t) { return t.second == this; }),
        timers.end());
    m_idleTimer = 0;
  }
#endif
  if (m_runLoop == nullptr)
    return;
  Linux::IRunLoop* runLoop = m_runLoop;
  m_runLoop = nullptr;
  runLoop->unregisterEventHandler(this);
  runLoop->unregisterTimer(this);
  m_timerPeriod = 0;
  runLoop->release();
}

void PLUGIN_API MAudioPluginVST3View::onFDIsSet(Linux::FileDescriptor)
{
  MHostCallShield::Run("MAudioPluginVST3Adapter::MEditor::onFDIsSet", [&] {
    if (MAudioPlugin::MEditor* editor = m_plugin.GetEditor(); editor != nullptr && m_attached)
    {
      editor->Idle();
      FollowActivity(false);
    }
  });
}

void PLUGIN_API MAudioPluginVST3View::onTimer()
{
  MHostCallShield::Run("MAudioPluginVST3Adapter::MEditor::onTimer", [&] {
    if (!m_attached)
      return;
    m_plugin.IdleEditor();
    FollowActivity(true);
  });
}

void MAudioPluginVST3View::FollowActivity(bool tick)
{
  // An open editor that shows nothing new need not wake the host 33 times a second.
  MWindowSystemCommon* system = MModuleLibrary::GetWindowSystem();
  if (m_runLoop == nullptr || system == nullptr || !m_attached)
    return;
  const std::uint64_t entries = system->GetHandlerEntryCount();
  if (entries != m_seenHandlerEntries)
    m_quietTicks = 0;
  else if (tick && m_quietTicks < kQuietTicksBeforeRest)
    ++m_quietTicks;
  m_seenHandlerEntries = entries;
  const uint64 wanted = system->HasTimers()                     ? kIdlePeriodMs
                        : m_quietTicks >= kQuietTicksBeforeRest ? kRestPeriodMs
                                                                : kDisplayPeriodMs;
  if (wanted == m_timerPeriod)
    return;
  // From inside the host's callbacks, as toolkits that start and stop timers at will do.
  m_runLoop->unregisterTimer(this);
  m_timerPeriod = m_runLoop->registerTimer(this, wanted) == kResultOk ? wanted : 0;
}

tresult PLUGIN_API MAudioPluginVST3View::onWheel(float)
{
  return kResultFalse;
}

tresult MAudioPluginVST3View::OnKey(bool down, char16 key, int16 keyCode, int16 modifiers)
{
  MAudioPlugin::MEditor* editor = m_plugin.GetEditor();
  MSystemEvent event;
  MSystemEvent typed;
  if (editor == nullptr ||
      !MHostEditorKeys::Translate(down, key, keyCode, static_cast<std::uint16_t>(modifiers), event, &typed))
    return kResultFalse;
  const bool used = editor->OnHostKey(event);
  if (used && typed.code == MSystemEvent::Character)
    editor->OnHostKey(typed);
  return used ? kResultOk : kResultFalse;
}

tresult PLUGIN_API MAudioPluginVST3View::onKeyDown(char16 key, int16 keyCode, int16 modifiers)
{
  return MHostCallShield::Run("MAudioPluginVST3Adapter::MEditor::onKeyDown", tresult{kResultFalse},
                              [&] { return OnKey(true, key, keyCode, modifiers); });
}

tresult PLUGIN_API MAudioPluginVST3View::onKeyUp(char16 key, int16 keyCode, int16 modifiers)
{
  return MHostCallShield::Run("MAudioPluginVST3Adapter::MEditor::onKeyUp", tresult{kResultFalse},
                              [&] { return OnKey(false, key, keyCode, modifiers); });
}

tresult PLUGIN_API MAudioPluginVST3View::getSize(ViewRect* size)
{
  return MAudioPluginAdapter::RunHostCall(
      "MAudioPluginVST3Adapter::MEditor::getSize", tresult{kResultFalse}, [&]() -> tresult {
        if (size == nullptr)
          return kInvalidArgument;
        const MAudioPlugin::MEditor* editor = m_plugin.GetEditor();
        if (editor == nullptr && !m_hostSized)
        {
          if (MWindowSystemCommon* system = MModuleLibrary::GetWindowSystem())
            m_plugin.SetSystemContentScale(system->GetContentScale(0));
          m_size = m_plugin.GetEditorSize();
        }
        const MSize current = editor != nullptr && m_attached ? editor->GetSize() : m_size;
        *size = ViewRect{0, 0, Side(current.x), Side(current.y)};
        return kResultOk;
      });
}

tresult PLUGIN_API MAudioPluginVST3View::onSize(ViewRect* newSize)
{
  return MAudioPluginAdapter::RunHostCall(
      "MAudioPluginVST3Adapter::MEditor::onSize", tresult{kResultFalse}, [&]() -> tresult {
        if (newSize == nullptr)
          return kInvalidArgument;
        const std::int64_t width = std::int64_t{newSize->right} - newSize->left;
        const std::int64_t height = std::int64_t{newSize->bottom} - newSize->top;
        if (width < 1 || height < 1 || width > 16384 || height > 16384)
          return kResultFalse;
        m_size = MSize{static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
        m_hostSized = true;
        if (MAudioPlugin::MEditor* editor = m_plugin.GetEditor(); editor != nullptr && m_attached)
          editor->SetSize(m_size.x, m_size.y);
        return kResultOk;
      });
}

tresult PLUGIN_API MAudioPluginVST3View::setContentScaleFactor(ScaleFactor factor)
{
  return MAudioPluginAdapter::RunHostCall(
      "MAudioPluginVST3Adapter::MEditor::setContentScaleFactor", tresult{kResultFalse}, [&]() -> tresult {
        if (!(factor > 0.0f) || factor > 16.0f)
          return kInvalidArgument;
        const MSize before = m_plugin.GetEditorSize();
        m_plugin.SetHostContentScale(factor);
        if (m_attached && m_plugin.GetEditor() != nullptr)
        {
          // Resizes the editor and asks the host for the new size (resizeView, then onSize).
          m_plugin.ApplyEditorScale();
          m_size = m_plugin.GetEditorSize();
        }
        else if (!m_hostSized)
          m_size = m_plugin.GetEditorSize();
        else if (before.x > 0 && before.y > 0)
        {
          // The size the host set grows with the zoom as the editor's own would.
          const MSize after = m_plugin.GetEditorSize();
          m_size = MSize{static_cast<std::int32_t>(std::int64_t{m_size.x} * after.x / before.x),
                         static_cast<std::int32_t>(std::int64_t{m_size.y} * after.y / before.y)};
        }
        return kResultTrue;
      });
}

tresult PLUGIN_API MAudioPluginVST3View::onFocus(TBool)
{
  return kResultFalse;
}

tresult PLUGIN_API MAudioPluginVST3View::setFrame(IPlugFrame* frame)
{
  return MAudioPluginAdapter::RunHostCall("MAudioPluginVST3Adapter::MEditor::setFrame", tresult{kResultFalse},
                                          [&]() -> tresult {
                                            m_frame = frame;
                                            m_adapter.SetViewFrame(frame);
                                            return kResultOk;
                                          });
}

tresult PLUGIN_API MAudioPluginVST3View::canResize()
{
  return kResultTrue;
}

tresult PLUGIN_API MAudioPluginVST3View::checkSizeConstraint(ViewRect* rect)
{
  if (rect == nullptr)
    return kInvalidArgument;
  // In 64 bits: a hostile left/top near the end of the range must not overflow.
  auto atLeast = [](int32 side, int32 origin, int32 minimum) {
    return static_cast<int32>(
        std::min<std::int64_t>(std::max<std::int64_t>(side, std::int64_t{origin} + minimum), INT32_MAX));
  };
  rect->right = atLeast(rect->right, rect->left, kMinimumWidth);
  rect->bottom = atLeast(rect->bottom, rect->top, kMinimumHeight);
  return kResultOk;
}
