#pragma once
// The editor view, its frame in the host, and the Linux host run loop.
//
// All view calls come on the host's user-interface thread. On Linux the editor has no message
// loop of its own: it registers file descriptors and timers with the host's IRunLoop, which it
// obtains by querying the IPlugFrame given in setFrame.

#include "sdk/vst3/VST3Base.h"

namespace Steinberg
{
/// Rectangle in pixels; right and bottom are exclusive.
struct ViewRect
{
  int32 left;
  int32 top;
  int32 right;
  int32 bottom;

  int32 getWidth() const { return right - left; }
  int32 getHeight() const { return bottom - top; }
};

/// Platform type names for IPlugView::isPlatformTypeSupported and attached.
constexpr const char8* kPlatformTypeHWND = "HWND";
constexpr const char8* kPlatformTypeNSView = "NSView";
constexpr const char8* kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID";

class IPlugFrame;

/// The plug-in's editor. attached receives the parent window of `type`; removed precedes the
/// last release.
class IPlugView : public FUnknown
{
public:
  virtual tresult PLUGIN_API isPlatformTypeSupported(FIDString type) = 0;
  virtual tresult PLUGIN_API attached(void* parent, FIDString type) = 0;
  virtual tresult PLUGIN_API removed() = 0;
  virtual tresult PLUGIN_API onWheel(float distance) = 0;
  virtual tresult PLUGIN_API onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
  virtual tresult PLUGIN_API onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
  virtual tresult PLUGIN_API getSize(ViewRect* size) = 0;
  virtual tresult PLUGIN_API onSize(ViewRect* newSize) = 0;
  virtual tresult PLUGIN_API onFocus(TBool state) = 0;
  virtual tresult PLUGIN_API setFrame(IPlugFrame* frame) = 0;
  virtual tresult PLUGIN_API canResize() = 0;
  virtual tresult PLUGIN_API checkSizeConstraint(ViewRect* rect) = 0;

  static constexpr FUID iid = MakeFUID(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
};

/// The host's frame around a view; the view asks it to change its size.
class IPlugFrame : public FUnknown
{
public:
  virtual tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) = 0;

  static constexpr FUID iid = MakeFUID(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
};

/// Optional on a view: the host's content scale (device pixels per logical pixel of the plug-in's
/// design). The host calls it before or after attached and whenever the scale changes; a view
/// that takes it (kResultTrue) scales its content and asks for its new size through
/// IPlugFrame::resizeView.
class IPlugViewContentScaleSupport : public FUnknown
{
public:
  using ScaleFactor = float;
  virtual tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) = 0;

  static constexpr FUID iid = MakeFUID(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
};

namespace Linux
{
using FileDescriptor = int;
using TimerInterval = uint64; ///< milliseconds

/// Called by the run loop when a registered descriptor is readable.
class IEventHandler : public FUnknown
{
public:
  virtual void PLUGIN_API onFDIsSet(FileDescriptor fd) = 0;

  static constexpr FUID iid = MakeFUID(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
};

/// Called by the run loop at each period of a registered timer.
class ITimerHandler : public FUnknown
{
public:
  virtual void PLUGIN_API onTimer() = 0;

  static constexpr FUID iid = MakeFUID(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
};

/// The host's user-interface run loop on Linux; the IPlugFrame answers it.
class IRunLoop : public FUnknown
{
public:
  virtual tresult PLUGIN_API registerEventHandler(IEventHandler* handler, FileDescriptor fd) = 0;
  virtual tresult PLUGIN_API unregisterEventHandler(IEventHandler* handler) = 0;
  virtual tresult PLUGIN_API registerTimer(ITimerHandler* handler, TimerInterval milliseconds) = 0;
  virtual tresult PLUGIN_API unregisterTimer(ITimerHandler* handler) = 0;

  static constexpr FUID iid = MakeFUID(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
};
} // namespace Linux

static_assert(sizeof(ViewRect) == 16);
} // namespace Steinberg
