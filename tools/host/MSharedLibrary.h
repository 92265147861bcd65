#pragma once
// A loaded shared library (a plug-in module): the one platform-specific piece of the test host.
// dlopen/dlsym on POSIX systems, LoadLibrary/GetProcAddress on Windows. Main thread only.

#include <string>

class MSharedLibrary
{
public:
  MSharedLibrary() = default;
  /// Unloads the library if it is loaded.
  ~MSharedLibrary();
  MSharedLibrary(const MSharedLibrary&) = delete;
  MSharedLibrary& operator=(const MSharedLibrary&) = delete;

  /// Loads path with all its symbols resolved now and kept local to it. On failure answers false
  /// and puts the loader's reason in error; a library loaded before is unloaded first.
  bool Open(const std::string& path, std::string& error);
  /// Address of an exported symbol, or null when the library does not export it.
  void* Symbol(const char* name) const;
  void Close();
  bool IsOpen() const { return m_handle != nullptr; }

private:
  void* m_handle = nullptr;
};
