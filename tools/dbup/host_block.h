// A parameter block as the host builds one: fixed-width slots with room to
// spare and a few rows already in use, so a tool run exercises the same
// look-up and append paths a real host call does.
#pragma once

#include <string>
#include <vector>

#include "boundary/dbup.h"

namespace dbup::tool {

class HostBlock {
 public:
  // `version` is the version text, or null for none.
  explicit HostBlock(const std::string* version);
  HostBlock(const HostBlock&) = delete;
  HostBlock& operator=(const HostBlock&) = delete;

  TParamBlock* get() { return &block_; }

  // The value of "%DBUP_ERR%", or "" when the library wrote none.
  std::string ErrorText() const;

 private:
  static constexpr int kRows = 16;
  static constexpr int kKeyWidth = 64;
  static constexpr int kValueWidth = 2048;

  void AddRow(const std::string& key, const std::string& value);

  std::vector<char> keys_;
  std::vector<char> values_;
  std::string version_;
  TParamBlock block_{};
};

// Calls an export with a fresh block, prints a failure's text on standard
// error and gives the tool's exit code (0 success, 1 failure).
int CallExport(int32_t(DBUP_CALL* fn)(TParamBlock*), const std::string* version);

// Points the library at a registry file (the POSIX registry): `file` when
// given, else what DBUP_REGISTRY already says. False, with a message on
// standard error, when a given file does not exist.
bool UseRegistry(const std::string& file);

}  // namespace dbup::tool
