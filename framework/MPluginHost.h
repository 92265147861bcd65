#pragma once
// MPluginHost: the host-side object of one effect instance: it holds the effect's command
// function and instance handle, and is what the effect sees of the framework.
//
// Virtual operations in slot order: destructor, Connect, OnCreated, then the queries of the
// derived classes. One host object exists per effect instance; it is created by MPluginSystem
// and owned by the plug-in that hosts the effect. Host thread only.

#include "base/MEventTarget.h"
#include "base/MString.h"
#include "framework/MPlugin.h"

#include <cstdint>

class MPluginSystem;

class MPluginHost : public MEventTarget
{
public:
  explicit MPluginHost(MPluginCommandFunction function);
  /// Destroys the effect (command 1) when one is connected.
  ~MPluginHost() override;
  MPluginHost(const MPluginHost&) = delete;
  MPluginHost& operator=(const MPluginHost&) = delete;

  /// Slot 1: calls the command function with the stored instance handle (null at first),
  /// command 0 and the block {this, extra, 0, 0}; keeps the answer as the instance handle.
  /// False when the answer is 0 or there is no command function.
  virtual bool Connect(std::int64_t extra = 0);
  /// Slot 2: the plug-in system finished creating the effect. Base: nothing.
  virtual void OnCreated();

  /// Calls the command function with the instance handle, `command` and a block of plain values.
  /// Answers -1 when there is no command function. Never throws (the function must not).
  std::int64_t SendCommand(std::int64_t command, std::int64_t a = 0, std::int64_t b = 0, std::int64_t c = 0,
                           std::int64_t d = 0);
  std::int64_t SendCommand(std::int64_t command, MPluginCommandBlock& block);

  MPluginCommandFunction GetCommandFunction() const noexcept { return m_function; }
  std::int64_t GetInstance() const noexcept { return m_instance; }
  const MString& GetName() const noexcept { return m_name; }
  MPluginSystem* GetPluginSystem() const noexcept { return m_system; }
  void SetName(const MString& name) { m_name = name; }
  void SetPluginSystem(MPluginSystem* system) noexcept { m_system = system; }

protected:
  MPluginCommandFunction m_function = nullptr;
  std::int64_t m_instance = 0;
  MString m_name;
  MPluginSystem* m_system = nullptr;
};
