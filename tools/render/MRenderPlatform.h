#pragma once
// The few calls of the renderer that differ between operating systems.

#include <string>

namespace MRenderPlatform
{
/// True when standard error is an interactive terminal (progress bars go there only then).
bool StandardErrorIsTerminal();
/// The folder holding the running executable ("" when it cannot be found).
std::string ExecutableDirectory();
/// The file name of the plug-in module on this system ("Tonvera.so", "Tonvera.dll").
const char* ModuleFileName();
} // namespace MRenderPlatform
