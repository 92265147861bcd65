#pragma once
// MPlugin: the root of every effect the framework hosts, and the command protocol through which
// the framework reaches an effect.
//
// An effect could live in a module of its own, so the framework never creates or queries one
// directly: it calls the effect's command function (MPluginCommandFunction) with an instance
// handle, a command number and a block of four parameters. The command function creates the
// effect when the instance is null and hands every other command to MPlugin::Command.
//
// The instance handle is the address of the effect's MPlugin part, as an integer. Command 7 on
// an instance answers that handle itself, which is how the framework obtains the effect object.

#include "base/MEventTarget.h"

#include <cstdint>

class MPluginHost;

/// The four parameters of one command. Each entry is {kind, value}: kind 1 is a plain value
/// (integer, double bits or pointer), kind 2 an object the caller deletes after the call; entries
/// a command does not use are kind 1 with value 0.
struct MPluginCommandBlock
{
  static constexpr std::int32_t kPlain = 1;
  static constexpr std::int32_t kOwnedObject = 2;

  struct Entry
  {
    std::int32_t kind = kPlain;
    std::int64_t value = 0;
  };

  Entry entries[4];

  MPluginCommandBlock() = default;
  MPluginCommandBlock(std::int64_t a, std::int64_t b = 0, std::int64_t c = 0, std::int64_t d = 0) noexcept
  {
    entries[0].value = a;
    entries[1].value = b;
    entries[2].value = c;
    entries[3].value = d;
  }

  std::int64_t Get(int index) const noexcept { return entries[index].value; }
  template <class T>
  T* GetPointer(int index) const noexcept
  {
    return reinterpret_cast<T*>(static_cast<std::intptr_t>(entries[index].value));
  }
  template <class T>
  static std::int64_t FromPointer(T* pointer) noexcept
  {
    return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(pointer));
  }
};

/// An effect's command function: (instance handle or null, command, parameter block) -> result.
/// With a null instance it creates a new effect and uses it as the instance. Command 7 answers
/// the instance itself; every other command goes to the instance's MPlugin::Command. When it
/// created an effect for a command whose answer is 0 (a refused connect), it deletes the effect
/// again, so a failed creation leaks nothing. Must not throw.
using MPluginCommandFunction = std::int64_t (*)(void* instance, std::int64_t command,
                                                MPluginCommandBlock* block);

/// Command numbers of the protocol (the effect answers -1 for any other).
namespace MPluginCommand
{
inline constexpr std::int64_t kConnect = 0;               ///< Connect(a = host, b) -> instance handle
inline constexpr std::int64_t kDestroy = 1;               ///< waits for the processing lock, deletes -> 0
inline constexpr std::int64_t kGetParameterTable = 2;     ///< -> MParameterTable*
inline constexpr std::int64_t kStart = 3;                 ///< Start() -> 0
inline constexpr std::int64_t kParameterChanged = 4;      ///< a = effect index -> 0
inline constexpr std::int64_t kEditorOpened = 5;          ///< CreateEditorContents(a) -> 0
inline constexpr std::int64_t kEditorClosed = 6;          ///< EditorClosed() -> 0
inline constexpr std::int64_t kGetInstance = 7;           ///< -> the instance handle
inline constexpr std::int64_t kStoreSettings = 11;        ///< StoreSettings(a = MXmlItem*) -> bool
inline constexpr std::int64_t kLoadSettings = 12;         ///< LoadSettings(a = MXmlItem*) -> bool
inline constexpr std::int64_t kNotify = 13;               ///< OnCustomNotification() -> 0
inline constexpr std::int64_t kQuery = 14;                ///< CustomQuery(a) -> int32
inline constexpr std::int64_t kCreateEditorContents = 15; ///< CreateEditorContents(a) -> int32
inline constexpr std::int64_t kCustomCommand = 20;        ///< CustomCommand(a, b) -> its result
inline constexpr std::int64_t kInitProcessing = 100;      ///< a = channels, b = double* rate -> result
inline constexpr std::int64_t kProcess = 101;             ///< a = transport, b = in, c = out, d = count
inline constexpr std::int64_t kGetCustomInteger = 102;    ///< -> int32
inline constexpr std::int64_t kGetLatency = 103;          ///< -> int32
inline constexpr std::int64_t kSetCustomValue = 104;      ///< SetCustomValue(a) -> 0
inline constexpr std::int64_t kGetTailSize = 105;         ///< -> int32
inline constexpr std::int64_t kProcessUpdate = 106;       ///< -> 0
inline constexpr std::int64_t kInitProcessingGUI = 107;   ///< -> 0
inline constexpr std::int64_t kUnknown = -1;              ///< the answer to an unknown command
} // namespace MPluginCommand

/// Root of an effect object. Virtual operations in slot order: destructor, Command, Connect,
/// Start (the effect interface MAudioEffectPlugin continues from slot 4).
class MPlugin : public MEventTarget
{
public:
  MPlugin() = default;
  ~MPlugin() override = default;
  MPlugin(const MPlugin&) = delete;
  MPlugin& operator=(const MPlugin&) = delete;

  /// Slot 1: the command handler the command function forwards to (any thread that calls the
  /// command function). Answers -1 for an unknown command. Must not throw.
  virtual std::int64_t Command(std::int64_t command, MPluginCommandBlock* block) = 0;
  /// Slot 2: joins the effect to the host object that will call it; `extra` is passed through.
  /// Answers the instance handle (non-zero), or 0 to refuse. Base: keeps the host and answers
  /// the handle of this object.
  virtual std::int64_t Connect(MPluginHost* host, std::int64_t extra);
  /// Slot 3: the host finished creating the effect (after the parameter table was read).
  /// Base: nothing.
  virtual void Start();

  /// The instance handle of this object (what Connect and command 7 answer).
  std::int64_t GetHandle() noexcept { return MPluginCommandBlock::FromPointer(this); }
  /// The effect behind a handle (null for 0).
  static MPlugin* FromHandle(std::int64_t handle) noexcept
  {
    return reinterpret_cast<MPlugin*>(static_cast<std::intptr_t>(handle));
  }
  MPluginHost* GetPluginHost() const noexcept { return m_pluginHost; }

protected:
  MPluginHost* m_pluginHost = nullptr;
};
