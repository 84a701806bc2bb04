// The text format of Windows' registry editor exports (.reg files), read into
// memory. Portable: the POSIX registry backend stands on it, and tests and
// tools can read the files that Windows writes.
//
// Accepted: "Windows Registry Editor Version 5.00" (UTF-16LE with its byte
// order mark, as the editor writes it, or UTF-8/ANSI) and "REGEDIT4"; key
// lines "[HKEY_...\path]" (and "[-...]" deletions, which drop the key);
// values "name"=..., @=... for the default value, with the forms "text",
// dword:XXXXXXXX, hex:..., hex(N):... (lines continued with a backslash) and
// "-" (deletion); comment lines starting with ";".
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace dbup {

// Registry value types as Windows numbers them.
enum RegistryType : uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegMultiSz = 7,
  kRegQword = 11,
};

struct RegistryValue {
  uint32_t type = kRegNone;
  std::string text;           // kRegSz, kRegExpandSz: the string (UTF-8), without its zero
  std::vector<uint8_t> data;  // every type: the raw bytes as Windows stores them
};

// Key paths are compared without regard to case, as Windows does; they are
// stored with the root spelled out ("HKEY_CURRENT_USER\Software\...").
class RegistryFile {
 public:
  // Parses a whole .reg file. Malformed lines fail with Corruption naming the line.
  static Status Parse(std::string_view contents, RegistryFile* out);

  // Null when the key or value is absent. `name` "" is the default value (@).
  const RegistryValue* Find(std::string_view key_path, std::string_view name) const;
  bool HasKey(std::string_view key_path) const;

 private:
  static std::string Fold(std::string_view s);
  // Folded key path -> folded value name -> value.
  std::map<std::string, std::map<std::string, RegistryValue>> keys_;
};

}  // namespace dbup
