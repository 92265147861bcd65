#include "tools/render/MRenderPlatform.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <stdio.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

bool MRenderPlatform::StandardErrorIsTerminal()
{
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

std::string MRenderPlatform::ExecutableDirectory()
{
#ifdef _WIN32
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return {};
  return std::filesystem::path(std::string(path, length)).parent_path().string();
#else
  std::error_code code;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", code);
  return code ? std::string() : self.parent_path().string();
#endif
}

const char* MRenderPlatform::ModuleFileName()
{
#ifdef _WIN32
  return "Tonvera.dll";
#else
  return "Tonvera.so";
#endif
}
