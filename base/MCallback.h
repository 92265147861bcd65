#pragma once
// A typed handler list that is called at once on the calling thread (no queue). MEvent adds the
// queue and delivery through an event processor.
//
// Handlers are free functions called as function(target, context, params), or member functions
// of the subscribing target:
//
//   class MPanel : public MEventTarget { void OnNotify(MOnNotifyParams& params); };
//   changed.Subscribe<&MPanel::OnNotify>(panel);
//   changed.Subscribe(panel, &someContext, &FreeHandler);
//
// The same params object is handed to every handler in turn, so a handler may leave an answer in
// it for the caller.

#include "base/MEventBase.h"
#include "base/MLockGuard.h"

#include <cstddef>

/// Class and parameter type of a member-function handler `void Class::Method(Params&)`.
template <class Method>
struct MHandlerMember;

template <class Class, class Params>
struct MHandlerMember<void (Class::*)(Params&)>
{
  using TargetClass = Class;
};

template <class Class, class Params>
struct MHandlerMember<void (Class::*)(const Params&)>
{
  using TargetClass = Class;
};

template <class Class, class Params>
struct MHandlerMember<void (Class::*)(Params&) noexcept>
{
  using TargetClass = Class;
};

template <class Class, class Params>
struct MHandlerMember<void (Class::*)(const Params&) noexcept>
{
  using TargetClass = Class;
};

/// Handler policy used throughout the library: handlers receive the target, the context word
/// given at subscription and the parameter record, and nothing else.
struct MHandlerNoAdditionals
{
  template <class Params>
  using Function = void (*)(MEventTarget* target, void* context, Params& params);

  template <class Params, auto Method>
  static void MemberThunk(MEventTarget* target, void*, Params& params)
  {
    using TargetClass = typename MHandlerMember<decltype(Method)>::TargetClass;
    (static_cast<TargetClass*>(target)->*Method)(params);
  }
};

template <class Params, class Policy = MHandlerNoAdditionals>
class MCallback : public MEventBase
{
public:
  using Function = typename Policy::template Function<Params>;

  MCallback() = default;
  ~MCallback() override = default;

  /// Adds a handler called as function(target, context, params) after the existing ones.
  /// The handler stays until it is unsubscribed or the target or this object dies.
  /// Any thread; takes the global event lock; allocates.
  void Subscribe(MEventTarget* target, void* context, Function function)
  {
    SubscribeRaw(target, context, reinterpret_cast<RawFunction>(function));
  }

  /// Adds the member function Method of `target` as a handler.
  template <auto Method>
  void Subscribe(typename MHandlerMember<decltype(Method)>::TargetClass* target)
  {
    Subscribe(target, nullptr, &Policy::template MemberThunk<Params, Method>);
  }

  /// Calls every handler now, in subscription order, on the calling thread, with the global
  /// event lock released around each handler. Handler exceptions propagate.
  void Call(Params& params)
  {
    MLockGuard guard(GetGlobalLock());
    CallHandlersWithHeld(params);
  }

protected:
  static void Invoke(void* params, MEventTarget* target, void* context, RawFunction function)
  {
    reinterpret_cast<Function>(function)(target, context, *static_cast<Params*>(params));
  }

  /// The global event lock is held exactly once (see CallHandlersHeld).
  void CallHandlersWithHeld(Params& params) { CallHandlersHeld(&Invoke, &params); }
};
