// A fresh directory below the system's temporary folder, removed with its
// contents when the object goes away. Tests build every path from it.
#pragma once

#include <filesystem>
#include <string>

namespace dbup::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory, ending in a separator.
  const std::string& path() const { return path_; }
  // path() + name.
  std::string Path(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// Where ../shared (format notes, sample files) is, or "" when absent.
std::string SharedDir();

}  // namespace dbup::testing
