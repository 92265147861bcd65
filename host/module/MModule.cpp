#include "host/module/MModule.h"

#include "base/MDiagnosticLog.h"
#include "base/MLock.h"
#include "base/MLockGuard.h"
#include "vector/MProcessorFeatures.h"

#include <atomic>
#include <exception>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace
{

MLock& LibraryLock()
{
  // Created on first use and released at process exit.
  static MLock lock;
  return lock;
}

std::atomic<Module*> s_library{nullptr};
std::atomic<void*> s_moduleHandle{nullptr};
std::atomic<bool> s_detaching{false};
std::atomic<void (*)(bool)> s_attachHook{nullptr};
std::atomic<void (*)()> s_windowSystemStart{nullptr};
std::atomic<void (*)()> s_windowSystemStop{nullptr};
std::atomic<std::int32_t> s_adapterCounts[3] = {0, 0, 0};
std::atomic<std::int32_t> s_creations{0};
std::atomic<std::int32_t> s_shutdowns{0};
std::atomic<std::int64_t> s_sharedSettings[6] = {0, 0, 0, 0, 0, 0};
MModuleLibrary::ProcessorFlags s_processorFlags;

MStringList& DocumentationFiles()
{
  static MStringList files;
  return files;
}

void* ProcessHandle()
{
#ifdef _WIN32
  return reinterpret_cast<void*>(GetModuleHandleW(nullptr));
#else
  return dlopen(nullptr, RTLD_LAZY | RTLD_NOLOAD);
#endif
}

std::atomic<std::int32_t>& Counter(MModuleLibrary::AdapterKind kind)
{
  return s_adapterCounts[static_cast<int>(kind)];
}

void ReadProcessorFlags()
{
  // The vector layer's report picks its kernels on this first read; SSE2 and SSE4.2 select no
  // kernel and are read here only to complete the record.
  const MProcessorFeatures& features = MProcessorFeatures::Get();
  s_processorFlags.sse = features.sse;
  s_processorFlags.sse3 = features.sse3;
  s_processorFlags.ssse3 = features.ssse3;
  s_processorFlags.sse41 = features.sse41;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  s_processorFlags.sse2 = __builtin_cpu_supports("sse2") != 0;
  s_processorFlags.sse42 = __builtin_cpu_supports("sse4.2") != 0;
#endif
}

void ReportFatal() noexcept
{
  MDiagnosticLog::Write("Fatal exception occured. Please contact the developer.");
#ifdef _WIN32
  MessageBoxW(nullptr, L"Fatal exception occured. Please contact the developer.", L"Tonvera",
              MB_OK | MB_ICONEXCLAMATION);
#endif
}

} // namespace

void MModule::Initialize()
{
  m_initialized = true;
}

MWindowsModule::MWindowsModule(void* moduleHandle) : MModule(moduleHandle) {}

MWindowsModule::~MWindowsModule()
{
  m_windowSystem.reset();
  m_style.reset();
}

void MWindowsModule::Initialize()
{
  // The window system starts on first editor use, on the host's UI thread (GetWindowSystem).
}

void Module::Initialize()
{
  m_text = "ZozEdavodo";
  MModule::Initialize();
  MWindowsModule::Initialize();
  MStringList& files = DocumentationFiles();
  if (files.IndexOf("C:/GENDOC_MIDI.txt") < 0)
    files.Add("C:/GENDOC_MIDI.txt");
}

namespace MModuleLibrary
{

bool Attach(void* moduleHandle) noexcept
{
  try
  {
    if (auto hook = s_attachHook.load())
      hook(true);
    ReadProcessorFlags();
    s_moduleHandle = moduleHandle;
  }
  catch (...)
  {
    ReportFatal();
  }
  return true;
}

bool Detach() noexcept
{
  try
  {
    if (auto hook = s_attachHook.load())
      hook(false);
    s_detaching = true;
    Shutdown();
  }
  catch (...)
  {
    ReportFatal();
  }
  return true;
}

void SetAttachHook(void (*hook)(bool attaching))
{
  s_attachHook = hook;
}

bool IsDetaching() noexcept
{
  return s_detaching.load();
}

const ProcessorFlags& GetProcessorFlags() noexcept
{
  return s_processorFlags;
}

Module* Initialize()
{
  MLockGuard guard(LibraryLock());
  Module* library = s_library.load();
  if (library != nullptr)
    return library;
  void* handle = s_moduleHandle.load();
  library = new Module(handle != nullptr ? handle : ProcessHandle());
  if (auto start = s_windowSystemStart.load())
    start();
  library->Initialize();
  s_library = library;
  s_creations.fetch_add(1);
  return library;
}

Module* InitializeShared(const MString& name)
{
  // Taken here as well: a sharing module may initialise while a host entry does.
  MLockGuard guard(LibraryLock());
  Module* library = s_library.load();
  if (library != nullptr)
    return library;
  void* handle = s_moduleHandle.load();
  library = new Module(handle != nullptr ? handle : ProcessHandle());
  library->SetLibraryName(name);
  library->Initialize();
  s_library = library;
  s_creations.fetch_add(1);
  return library;
}

void Shutdown()
{
  MLockGuard guard(LibraryLock());
  Module* library = s_library.exchange(nullptr);
  if (library == nullptr)
    return;
  if (auto stop = s_windowSystemStop.load())
    stop();
  delete library;
  s_shutdowns.fetch_add(1);
}

Module* Get() noexcept
{
  return s_library.load();
}

void AdapterCreated(AdapterKind kind) noexcept
{
  Counter(kind).fetch_add(1);
}

void AdapterDestroyed(AdapterKind kind) noexcept
{
  Counter(kind).fetch_sub(1);
  // Only when no adapter of either interface is left: a host that runs both kinds side by side
  // would otherwise lose the library under the adapters that still use it.
  if (Counter(AdapterKind::kVst2).load() > 0 || Counter(AdapterKind::kVst3).load() > 0 ||
      Counter(AdapterKind::kLv2).load() > 0)
    return;
  try
  {
    Shutdown();
  }
  catch (...)
  {
    // The library lock could not be taken; the next detach shuts the library down.
  }
}

std::int32_t GetAdapterCount(AdapterKind kind) noexcept
{
  return Counter(kind).load();
}

std::int32_t GetCreationCount() noexcept
{
  return s_creations.load();
}

std::int32_t GetShutdownCount() noexcept
{
  return s_shutdowns.load();
}

void SetWindowSystemHooks(void (*start)(), void (*stop)())
{
  s_windowSystemStart = start;
  s_windowSystemStop = stop;
}

std::int64_t GetSharedSetting(int index) noexcept
{
  return index >= 0 && index < 6 ? s_sharedSettings[index].load() : 0;
}

void SetSharedSettings(const std::int64_t* five, std::int64_t sixth) noexcept
{
  if (five != nullptr)
    for (int i = 0; i < 5; ++i)
      s_sharedSettings[i] = five[i];
  s_sharedSettings[5] = sixth;
}

MStringList GetDocumentationFiles()
{
  MLockGuard guard(LibraryLock());
  return DocumentationFiles();
}

} // namespace MModuleLibrary
