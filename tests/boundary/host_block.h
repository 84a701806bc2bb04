// Test helper: a parameter block laid out as the host lays one out, with a
// few rows in use and a byte image to prove a call left it untouched.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "boundary/param_block.h"
#include "boundary/set_param_value.h"

namespace dbup::testing {

class HostBlock {
 public:
  static constexpr int kRows = 8, kKeyWidth = 24, kValueWidth = 512;

  HostBlock() : keys_(kRows * kKeyWidth, '\0'), values_(kRows * kValueWidth, '\0') {
    block_.Reserved0 = 0x11111111;
    block_.Reserved9 = 0x22222222;
    block_.KeyWidth = kKeyWidth;
    block_.ValueWidth = kValueWidth;
    block_.Keys = keys_.data();
    block_.Values = values_.data();
    for (const char* key : {"%USER%", "%STATION%"}) {
      std::strcpy(keys_.data() + block_.EntryCount * kKeyWidth, key);
      std::strcpy(values_.data() + block_.EntryCount * kValueWidth, "x");
      ++block_.EntryCount;
    }
  }
  HostBlock(const HostBlock&) = delete;
  HostBlock& operator=(const HostBlock&) = delete;

  void SetVersion(const char* text) { block_.VersionText = text; }
  TParamBlock* get() { return &block_; }
  std::string Error() const {
    const char* v = boundary::FindParamValue(&block_, "DBUP_ERR");
    return v == nullptr ? "(none)" : v;
  }
  // Everything the library could have written.
  std::vector<char> Image() const {
    std::vector<char> out(reinterpret_cast<const char*>(&block_),
                          reinterpret_cast<const char*>(&block_) + sizeof block_);
    out.insert(out.end(), keys_.begin(), keys_.end());
    out.insert(out.end(), values_.begin(), values_.end());
    return out;
  }

 private:
  std::vector<char> keys_, values_;
  TParamBlock block_{};
};

}  // namespace dbup::testing
