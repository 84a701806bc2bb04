// The six working directories every export starts from: three the host's
// installation records in the current user's registry, and three work folders
// below the installation folder that are created when missing.
#pragma once

#include <string>

#include "engine/job_context.h"

namespace dbup::boundary {

// Registry key and section of the host's settings.
inline constexpr char kRegistryKey[] = "Software\\Velmora\\Tandril";
inline constexpr char kRegistrySection[] = "General";

// Fills `dirs` (each value ending in a separator) and creates the private,
// update and backup folders. True when all six directories exist. On false
// the values may be a mix of new and old ones and must not be used.
bool FindWorkingDirectories(WorkingDirectories* dirs);

// Appends the path separator unless the path is empty or already ends in one.
std::string AddBackslash(std::string path);

// True when the path names an existing directory.
bool DirectoryExists(const std::string& path);

// Creates a directory and its missing parents; true when it exists afterwards
// because this call (or an earlier one) made it. A root, or a path too short
// to be more than a drive, counts as existing.
bool CreateDirectoryPath(const std::string& path);

}  // namespace dbup::boundary
