// Path building. Directory values end in a separator and paths are built by
// plain concatenation, so the one separator constant is what makes the same
// code work on Windows and POSIX.
#pragma once

#include <string>
#include <string_view>

namespace dbup {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// True for either separator; tables copied from Windows may carry '\' paths.
inline bool IsPathSeparator(char c) {
  return c == '/' || c == '\\';
}

// Appends the separator unless the path is empty or already ends in one.
std::string WithTrailingSeparator(std::string_view path);

// Joins parts with exactly one separator between them.
std::string JoinPath(std::string_view dir, std::string_view name);

// The last component of a path ("a/b/c.dbf" -> "c.dbf").
std::string_view BaseName(std::string_view path);

// The directory part with its trailing separator ("a/b/c.dbf" -> "a/b/"), or "".
std::string_view DirName(std::string_view path);

// Replaces the extension (including the dot) of the last component, or appends it.
std::string ReplaceExtension(std::string_view path, std::string_view ext);

// ASCII case-insensitive equality, as Windows compares file names.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace dbup
