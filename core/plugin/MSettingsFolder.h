#pragma once
// Where the library keeps files shared by all instances ("GlobalConfiguration.xml").
//
// Windows: %APPDATA%\Tonvera. Elsewhere: $XDG_CONFIG_HOME/Tonvera, or ~/.config/Tonvera when
// XDG_CONFIG_HOME is unset or empty. The environment is read on every call (tests point it at a
// temporary folder). Main thread; allocates; never throws.

#include "base/MString.h"

#include <filesystem>

namespace MSettingsFolder
{
/// The folder, without a trailing separator; empty when neither variable is set.
MString Get();
/// Get() joined with `fileName` by the platform's separator; empty when Get() is.
MString FilePath(const MString& fileName);
/// The file-system path of a text path (wide characters on Windows, UTF-8 elsewhere).
std::filesystem::path ToPath(const MString& text);
/// Creates the folder (and its parents) when missing; true when it exists afterwards.
bool Ensure();
/// Keeps a user's file that could not be read under another name, "<path>.unreadable" (numbered
/// from 2 when that exists), so that a new file can be written without losing it. Answers the
/// new name; empty when the rename failed.
MString MoveAside(const MString& path);
} // namespace MSettingsFolder
