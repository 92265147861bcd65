#include "tools/host/MSharedLibrary.h"

#if defined(_WIN32)
#include <algorithm>
#include <string>
#include <windows.h>
#else
#include <dlfcn.h>
#endif

MSharedLibrary::~MSharedLibrary()
{
  Close();
}

#if defined(_WIN32)

bool MSharedLibrary::Open(const std::string& path, std::string& error)
{
  Close();
  // The path is UTF-8; the wide-character call takes any name. The loader wants backslashes.
  std::wstring wide;
  if (const int length =
          MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
      length > 0)
  {
    wide.resize(static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
  }
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  HMODULE module = LoadLibraryW(wide.c_str());
  if (module == nullptr)
  {
    error = "LoadLibrary failed with error " + std::to_string(GetLastError());
    return false;
  }
  m_handle = reinterpret_cast<void*>(module);
  return true;
}

void* MSharedLibrary::Symbol(const char* name) const
{
  if (m_handle == nullptr || name == nullptr)
    return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(m_handle), name));
}

void MSharedLibrary::Close()
{
  if (m_handle != nullptr)
    FreeLibrary(static_cast<HMODULE>(m_handle));
  m_handle = nullptr;
}

#else

bool MSharedLibrary::Open(const std::string& path, std::string& error)
{
  Close();
  // RTLD_LOCAL keeps two modules' internal symbols apart even if one of them exports too much.
  m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (m_handle == nullptr)
  {
    const char* reason = dlerror();
    error = reason != nullptr ? reason : "dlopen failed";
    return false;
  }
  return true;
}

void* MSharedLibrary::Symbol(const char* name) const
{
  if (m_handle == nullptr || name == nullptr)
    return nullptr;
  return dlsym(m_handle, name);
}

void MSharedLibrary::Close()
{
  if (m_handle != nullptr)
    dlclose(m_handle);
  m_handle = nullptr;
}

#endif
