// The current user's registry, as far as the library reads it: string values
// of one key below HKEY_CURRENT_USER.
//
// On Windows this is the registry itself (RegCreateKeyExA with full access,
// so a missing key is created empty, as the host's run-time library does). On
// POSIX the registry is a file in the text format that Windows' registry
// editor exports ("Windows Registry Editor Version 5.00"), named by the
// environment variable DBUP_REGISTRY; without it every key reads as empty.
#pragma once

#include <memory>
#include <string>

#include "platform/status.h"

namespace dbup {

// The environment variable that names the registry file on POSIX.
inline constexpr char kRegistryFileVariable[] = "DBUP_REGISTRY";

// An open key below HKEY_CURRENT_USER; the destructor closes it.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  // The value `name` of the subkey `subkey` of this key, as text. A missing
  // subkey or value reads as "" and OK. REG_SZ and REG_EXPAND_SZ values are
  // taken literally (environment references are not expanded); a value of any
  // other type fails with InvalidArgument.
  virtual Status ReadString(const std::string& subkey, const std::string& name,
                            std::string* value) = 0;
};

// Opens HKEY_CURRENT_USER\`path` ("Software\Velmora\Tandril"; backslashes on
// every platform, as registry paths are written), creating it when missing.
Status OpenCurrentUserKey(const std::string& path, std::unique_ptr<RegistryKey>* key);

}  // namespace dbup
