// Test helper, Windows: the host's three directory values written into the
// real registry (HKEY_CURRENT_USER\Software\Velmora\Tandril\General) for the
// lifetime of the object; the values that were there before come back
// afterwards. Takes the same value texts as the POSIX helper, which writes
// them into a registry file: "\"text\"", "dword:0000002a", "hex(2):41,00,00,00".
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace dbup::testing {

class ScopedRegistry {
 public:
  ScopedRegistry(const std::string& /*file*/,
                 const std::vector<std::pair<std::string, std::string>>& raw) {
    ::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                      nullptr);
    Save();
    Clear();
    for (const auto& [name, value] : raw) Set(name, value);
  }
  ~ScopedRegistry() {
    Clear();
    for (const Saved& s : saved_) {
      ::RegSetValueExA(key_, s.name.c_str(), 0, s.type,
                       reinterpret_cast<const BYTE*>(s.data.data()),
                       static_cast<DWORD>(s.data.size()));
    }
    ::RegCloseKey(key_);
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
  static constexpr const char* kKey = "Software\\Velmora\\Tandril\\General";
  struct Saved {
    std::string name;
    DWORD type;
    std::string data;
  };

  void Save() {
    for (DWORD i = 0;; ++i) {
      char name[16384];
      DWORD name_len = sizeof name;
      DWORD type = 0;
      DWORD size = 0;
      if (::RegEnumValueA(key_, i, name, &name_len, nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS) {
        break;
      }
      std::string data(size, '\0');
      ::RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
      saved_.push_back({name, type, data.substr(0, size)});
    }
  }
  void Clear() {
    for (;;) {
      char name[16384];
      DWORD name_len = sizeof name;
      if (::RegEnumValueA(key_, 0, name, &name_len, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      if (::RegDeleteValueA(key_, name) != ERROR_SUCCESS) break;
    }
  }

  // Comma-separated hex bytes, as after "hex:" or "hex(2):".
  static std::string Bytes(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 3) {
      out.push_back(static_cast<char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    }
    return out;
  }

  void Set(const std::string& name, const std::string& value) {
    DWORD type = REG_SZ;
    std::string data;
    if (value.rfind("dword:", 0) == 0) {
      type = REG_DWORD;
      DWORD v = std::strtoul(value.substr(6).c_str(), nullptr, 16);
      data.assign(reinterpret_cast<const char*>(&v), sizeof v);
    } else if (value.rfind("hex(2):", 0) == 0) {
      // UTF-16LE text; the tests use ASCII, so every other byte is the text.
      type = REG_EXPAND_SZ;
      std::string wide = Bytes(value.substr(7));
      for (size_t i = 0; i < wide.size(); i += 2) data.push_back(wide[i]);
    } else if (value.rfind("hex:", 0) == 0) {
      type = REG_BINARY;
      data = Bytes(value.substr(4));
    } else {
      for (size_t i = 1; i + 1 < value.size(); ++i) {
        if (value[i] == '\\' && i + 2 < value.size()) ++i;
        data.push_back(value[i]);
      }
      data.push_back('\0');
    }
    ::RegSetValueExA(key_, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size()));
  }

  HKEY key_ = nullptr;
  std::vector<Saved> saved_;
};

}  // namespace dbup::testing
