// Putting many freshly written files on the disk in one pass: each file's data, then each folder
// that holds them once, instead of waiting for the disk after every single file.
#pragma once

#include <string>
#include <vector>

namespace dotreel {

// Flushes the data of every file in `paths`, then the entries of the folders holding them (each
// folder once). Throws PlatformError naming the first file or folder that could not be synced.
void syncFiles(const std::vector<std::string>& paths);

}  // namespace dotreel
