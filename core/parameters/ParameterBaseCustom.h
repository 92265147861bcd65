#pragma once
// ParameterBaseCustom: the base of typed parameters over the framework's own descriptors
// (controller settings, editor options), which notify through a callback list instead of an
// effect.
//
// After a non-silent change it queues an editor refresh when at least one editor control is
// bound; after every change, silent or not, it calls each registered callback with a change
// record. Callbacks run on the setter's thread (for interpolated parameters that includes the
// audio thread, so such callbacks must be real-time safe). Register callbacks during set-up.

#include "core/parameters/ParameterMainBase.h"

class ParameterBaseCustom;

/// The record handed to change callbacks.
struct MOnPluginParameterChangeParams
{
  std::int32_t reserved = 0;
  ParameterBaseCustom* parameter = nullptr;
};

class ParameterBaseCustom : public ParameterMainBase
{
public:
  using ChangeFunction = void (*)(void* object, void* context, MOnPluginParameterChangeParams& params);

  ParameterBaseCustom() = default;
  ~ParameterBaseCustom() override;

  bool CanRandomize() const override;

  MParameterInfo& Info() const noexcept { return *m_descriptor; }
  void NotifyChanged(bool silent);

  /// Adds a callback (set-up time; allocates).
  void AddChangeCallback(void* object, void* context, ChangeFunction function);
  /// Removes every callback of `object`.
  void RemoveChangeCallbacks(void* object);
  std::int32_t GetChangeCallbackCount() const noexcept
  {
    return static_cast<std::int32_t>(m_callbacks.size());
  }

  MParameterInfo* m_descriptor = nullptr;
  /// Number of editor controls bound to this parameter.
  MRelaxed<std::int32_t> m_boundControls{0};

private:
  struct Callback
  {
    void* object;
    void* context;
    ChangeFunction function;
  };
  std::vector<Callback> m_callbacks;
};
