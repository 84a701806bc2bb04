// Win32 backend of the registry: HKEY_CURRENT_USER itself, opened as the
// host's run-time library opens it (full access, created when missing).
#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <vector>

#include "platform/registry.h"

namespace dbup {

namespace {

Status RegistryError(const std::string& what, LSTATUS rc) {
  std::string msg = "registry " + what + ": error " + std::to_string(rc);
  return rc == ERROR_FILE_NOT_FOUND ? Status::NotFound(msg) : Status::IOError(msg);
}

class Win32RegistryKey : public RegistryKey {
 public:
  Win32RegistryKey(HKEY key, std::string path) : key_(key), path_(std::move(path)) {}
  ~Win32RegistryKey() override { ::RegCloseKey(key_); }
  Win32RegistryKey(const Win32RegistryKey&) = delete;
  Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

  Status ReadString(const std::string& subkey, const std::string& name,
                    std::string* value) override {
    value->clear();
    HKEY sub = key_;
    if (!subkey.empty()) {
      LSTATUS rc = ::RegOpenKeyExA(key_, subkey.c_str(), 0, KEY_ALL_ACCESS, &sub);
      // A section that cannot be opened reads as empty, as with the host.
      if (rc != ERROR_SUCCESS) return Status::OK();
    }
    Status s = Query(sub, subkey, name, value);
    if (sub != key_) ::RegCloseKey(sub);
    return s;
  }

 private:
  Status Query(HKEY key, const std::string& subkey, const std::string& name, std::string* value) {
    const std::string where = path_ + (subkey.empty() ? "" : "\\" + subkey) + "\\" + name;
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS rc = ::RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) return Status::OK();
    if (rc != ERROR_SUCCESS) return RegistryError(where, rc);
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
      return Status::InvalidArgument("registry value " + where + " is of type " +
                                     std::to_string(type) + ", not a string");
    }
    // The value may grow between the two calls; ask again until it fits.
    std::vector<char> data;
    for (int attempt = 0; attempt < 4; ++attempt) {
      data.assign(size + 1, '\0');
      DWORD got = size;
      rc = ::RegQueryValueExA(key, name.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &got);
      if (rc == ERROR_MORE_DATA) {
        size = got;
        continue;
      }
      if (rc != ERROR_SUCCESS) return RegistryError(where, rc);
      if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return Status::InvalidArgument("registry value " + where + " is not a string");
      }
      // Stored with or without its terminating zero; the text ends at the first.
      std::string text(data.data(), got);
      value->assign(text.c_str());
      return Status::OK();
    }
    return RegistryError(where, rc);
  }

  HKEY key_;
  std::string path_;
};

}  // namespace

Status OpenCurrentUserKey(const std::string& path, std::unique_ptr<RegistryKey>* key) {
  HKEY handle = nullptr;
  LSTATUS rc =
      ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &handle, nullptr);
  if (rc != ERROR_SUCCESS) return RegistryError("HKEY_CURRENT_USER\\" + path, rc);
  *key = std::make_unique<Win32RegistryKey>(handle, "HKEY_CURRENT_USER\\" + path);
  return Status::OK();
}

}  // namespace dbup

#endif  // _WIN32
