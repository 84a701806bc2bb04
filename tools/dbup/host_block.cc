#include "host_block.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace dbup::tool {

HostBlock::HostBlock(const std::string* version)
    : keys_(kRows * kKeyWidth, '\0'), values_(kRows * kValueWidth, '\0') {
  block_.KeyWidth = kKeyWidth;
  block_.ValueWidth = kValueWidth;
  block_.EntryCount = 0;
  block_.Keys = keys_.data();
  block_.Values = values_.data();
  if (version != nullptr) {
    version_ = *version;
    block_.VersionText = version_.c_str();
  }
  // Rows the host fills for its own purposes before calling.
  AddRow("%USERNAME%", "SUPPORT");
  AddRow("%WORKSTATION%", "DBUP-TOOL");
}

void HostBlock::AddRow(const std::string& key, const std::string& value) {
  int row = block_.EntryCount++;
  std::strncpy(keys_.data() + row * kKeyWidth, key.c_str(), kKeyWidth - 1);
  std::strncpy(values_.data() + row * kValueWidth, value.c_str(), kValueWidth - 1);
}

std::string HostBlock::ErrorText() const {
  static const char kKey[] = "%DBUP_ERR%";
  for (int row = 0; row < block_.EntryCount && row < kRows; ++row) {
    if (std::strncmp(keys_.data() + row * kKeyWidth, kKey, kKeyWidth) == 0) {
      const char* value = values_.data() + row * kValueWidth;
      return std::string(value, strnlen(value, kValueWidth));
    }
  }
  return "";
}

int CallExport(int32_t(DBUP_CALL* fn)(TParamBlock*), const std::string* version) {
  HostBlock block(version);
  int32_t result = fn(block.get());
  if (result == 0) return 0;
  std::string error = block.ErrorText();
  std::cerr << (error.empty() ? "dbup: the operation failed without a message." : error) << "\n";
  return 1;
}

bool UseRegistry(const std::string& file) {
  if (file.empty()) return true;
#ifdef _WIN32
  // The library reads the current user's registry itself.
  std::cerr << "dbup: --registry is for POSIX systems; on Windows the registry is used.\n";
  return false;
#else
  struct stat st;
  if (::stat(file.c_str(), &st) != 0) {
    std::cerr << "dbup: registry file not found: " << file << "\n";
    return false;
  }
  ::setenv("DBUP_REGISTRY", file.c_str(), 1);
  return true;
#endif
}

}  // namespace dbup::tool
