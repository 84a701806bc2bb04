// Test helper: a registry file holding the host's three directory values,
// installed as the POSIX registry for the lifetime of the object.
#pragma once

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/env.h"
#include "platform/registry.h"

#ifdef _WIN32
// The real registry on Windows, with the same interface.
#include "windows/scoped_registry_win32.h"
#else

namespace dbup::testing {

class ScopedRegistry {
 public:
  // Each value line is written as given after its quoted name, e.g. "\"C:\\\\x\"",
  // "dword:00000001" or "hex(2):...".
  ScopedRegistry(const std::string& file,
                 const std::vector<std::pair<std::string, std::string>>& raw) {
    std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Velmora\\Tandril\\General]\r\n";
    for (const auto& [name, value] : raw) text += "\"" + name + "\"=" + value + "\r\n";
    WriteStringToFile(file, text);
    if (const char* old = std::getenv(kRegistryFileVariable)) old_ = old, had_ = true;
    ::setenv(kRegistryFileVariable, file.c_str(), 1);
  }
  ~ScopedRegistry() {
    if (had_) {
      ::setenv(kRegistryFileVariable, old_.c_str(), 1);
    } else {
      ::unsetenv(kRegistryFileVariable);
    }
  }
  ScopedRegistry(const ScopedRegistry&) = delete;
  ScopedRegistry& operator=(const ScopedRegistry&) = delete;

  // A string value as regedit writes it.
  static std::string Str(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
      if (c == '\\' || c == '"') out.push_back('\\');
      out.push_back(c);
    }
    return out + "\"";
  }

 private:
  std::string old_;
  bool had_ = false;
};

}  // namespace dbup::testing

#endif  // _WIN32
