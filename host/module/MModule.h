#pragma once
// The process-wide library object and the module's load, initialisation and shutdown.
//
// One Module exists per process while any plug-in lives. Every plug-in creation by a host adapter
// first calls MModuleLibrary::Initialize, which creates the Module under the library lock when
// there is none; host adapters count themselves per interface (VST 2.4, VST 3) with
// AdapterCreated/AdapterDestroyed, and the library is shut down when the last adapter is gone,
// and again (if still present) when the module is detached.
//
// Threads: every function here may be called from any host thread; creation and shutdown are
// serialised by the library lock. Initialize and Attach allocate. Nothing here runs on the audio
// thread.

#include "base/MObject.h"
#include "base/MString.h"
#include "base/MStringList.h"

#include <cstdint>
#include <memory>

class MStyle;
class MWindowSystemCommon;

/// Root of the library object.
class MModule : public MObject
{
public:
  explicit MModule(void* moduleHandle) : m_moduleHandle(moduleHandle) {}
  ~MModule() override = default;
  MModule(const MModule&) = delete;
  MModule& operator=(const MModule&) = delete;

  /// Slot 2: prepares the library for use (host thread, once, after construction).
  virtual void Initialize();

  void* GetModuleHandle() const noexcept { return m_moduleHandle; }
  const MString& GetLibraryName() const noexcept { return m_libraryName; }
  void SetLibraryName(const MString& name) { m_libraryName = name; }
  bool IsInitialized() const noexcept { return m_initialized; }

protected:
  void* m_moduleHandle;
  MString m_libraryName;
  bool m_initialized = false;
};

/// The windowing part of the library object: it owns the process-wide window system every editor
/// of the module opens its window with, and that system's default style.
class MWindowsModule : public MModule
{
public:
  explicit MWindowsModule(void* moduleHandle);
  /// Destroys the window system (every editor must be closed by then).
  ~MWindowsModule() override;
  void Initialize() override;

  /// The window system, created and initialised on the first call: the calling thread (the host's
  /// UI thread) becomes its GUI thread: the X11 back end on $DISPLAY on Linux, the Win32 one on
  /// Windows. Null when no window system can be started (no display reachable, or no back end on
  /// this platform); the reason is written to the diagnostic log and the next call tries again.
  /// GUI thread. The module's editor part (tonvera_module_editor).
  MWindowSystemCommon* GetWindowSystem();

private:
  // Made by the module's editor part (MModuleWindowSystem.cpp); shared only for their deleters,
  // so that the part without a GUI library can release them.
  std::shared_ptr<MStyle> m_style;
  std::shared_ptr<MWindowSystemCommon> m_windowSystem;
};

/// The library object of this module.
class Module : public MWindowsModule
{
public:
  using MWindowsModule::MWindowsModule;
  /// Sets the library's text, marks it initialised, runs the windowing part and records the
  /// documentation file name.
  void Initialize() override;
  const MString& GetText() const noexcept { return m_text; }

private:
  MString m_text;
};

namespace MModuleLibrary
{

/// The host interfaces that count their live adapters (LV2: plug-in instances and UIs).
enum class AdapterKind
{
  kVst2,
  kVst3,
  kLv2
};

/// Processor features read when the module is attached.
struct ProcessorFlags
{
  bool sse = false;
  bool sse2 = false;
  bool sse3 = false;
  bool ssse3 = false;
  bool sse41 = false;
  bool sse42 = false;
};

/// The module's part of the loader's attach notification: calls the attach hook, reads the
/// processor features (which also lets the vector layer pick its kernels) and stores the module
/// handle. An exception is reported as "Fatal exception occured. Please contact the developer."
/// and swallowed. Answers true.
bool Attach(void* moduleHandle) noexcept;
/// The detach notification: calls the attach hook, sets the detaching flag and shuts the library
/// down. Answers true.
bool Detach() noexcept;
/// A function called first on every attach and detach notification (null: none).
void SetAttachHook(void (*hook)(bool attaching));
bool IsDetaching() noexcept;
const ProcessorFlags& GetProcessorFlags() noexcept;

/// Creates the library object when there is none (with the stored module handle, or the calling
/// process's when none was stored), starts the window system and initialises it; answers it.
/// Takes the library lock.
Module* Initialize();
/// The initialisation of a module that shares this library: when there is no library object it
/// is created without starting the window system, named `name` and initialised. Answers the new
/// or existing object (an existing one keeps its name). Takes the library lock.
Module* InitializeShared(const MString& name);
/// Releases the library object and the window system when they exist. Takes the library lock.
void Shutdown();
/// The library object, or null.
Module* Get() noexcept;
/// The library object's window system (Initialize first, then MWindowsModule::GetWindowSystem);
/// null when none can be started. The host's UI thread. The module's editor part.
MWindowSystemCommon* GetWindowSystem();

/// Counting of live host adapters. AdapterDestroyed shuts the library down when no adapter of
/// either kind is left.
void AdapterCreated(AdapterKind kind) noexcept;
void AdapterDestroyed(AdapterKind kind) noexcept;
std::int32_t GetAdapterCount(AdapterKind kind) noexcept;

/// How often a library object was created and shut down in this process (diagnostics, tests).
std::int32_t GetCreationCount() noexcept;
std::int32_t GetShutdownCount() noexcept;

/// The window system's start and stop, installed by the GUI layer (null: nothing to do).
void SetWindowSystemHooks(void (*start)(), void (*stop)());

/// The process-wide settings that a sharing module hands over (MLibraryDLLInitialize).
/// Setting 0..5 (0 outside).
std::int64_t GetSharedSetting(int index) noexcept;
void SetSharedSettings(const std::int64_t* five, std::int64_t sixth) noexcept;

/// Documentation file names recorded by initialisations.
MStringList GetDocumentationFiles();

} // namespace MModuleLibrary
