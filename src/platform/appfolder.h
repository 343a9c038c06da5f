// The folder of the running program, the user's own data folder, and the few folder operations
// that choosing and preparing a working folder needs.
#pragma once

#include <string>

namespace dotreel {

// The folder that holds the running executable, without a trailing separator (except for
// the root "/"). Falls back to the current folder when the system cannot tell.
std::string applicationFolder();

// Where per-user application data lives: $XDG_DATA_HOME when it is an absolute path (the
// convention ignores a relative one), else HOME/.local/share. Empty when neither is known.
std::string userDataHome(const char* xdgDataHome, const char* home);
// The same for the running user, from the environment (and the user database without HOME).
std::string userDataHome();

bool isFolder(const std::string& path);
// True when the running user may create files in `path` (an existing folder).
bool canWriteFolder(const std::string& path);
// `path` made absolute against the current folder, without "." and ".." parts.
std::string absoluteFolder(const std::string& path);

// Creates `path` and any missing parents; throws PlatformError when that fails.
void makeFolders(const std::string& path);
// Copies every regular file of folder `from` into folder `to` that `to` lacks; a file already
// in `to` is never replaced. Throws PlatformError when a copy fails.
void copyMissingFiles(const std::string& from, const std::string& to);

}  // namespace dotreel
