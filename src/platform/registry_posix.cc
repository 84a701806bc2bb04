// POSIX backend of the registry: the exported registry file that
// DBUP_REGISTRY names, read through Env.
#ifndef _WIN32

#include <cstdlib>

#include "platform/env.h"
#include "platform/registry.h"
#include "platform/registry_file.h"

namespace dbup {

namespace {

class FileRegistryKey : public RegistryKey {
 public:
  FileRegistryKey(RegistryFile file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}

  Status ReadString(const std::string& subkey, const std::string& name,
                    std::string* value) override {
    value->clear();
    std::string key_path = "HKEY_CURRENT_USER\\" + path_;
    if (!subkey.empty()) key_path += "\\" + subkey;
    const RegistryValue* found = file_.Find(key_path, name);
    if (found == nullptr) return Status::OK();
    if (found->type != kRegSz && found->type != kRegExpandSz) {
      return Status::InvalidArgument("registry value " + key_path + "\\" + name + " is of type " +
                                     std::to_string(found->type) + ", not a string");
    }
    *value = found->text;
    return Status::OK();
  }

 private:
  RegistryFile file_;
  std::string path_;
};

}  // namespace

Status OpenCurrentUserKey(const std::string& path, std::unique_ptr<RegistryKey>* key) {
  RegistryFile file;
  const char* file_name = std::getenv(kRegistryFileVariable);
  // Like a key that Windows creates on first use: no registry file reads as
  // an empty registry.
  if (file_name != nullptr && *file_name != '\0' && Env::Current()->FileExists(file_name)) {
    std::string contents;
    Status s = ReadFileToString(file_name, &contents);
    if (!s.ok()) return s;
    s = RegistryFile::Parse(contents, &file);
    if (!s.ok()) return s;
  }
  *key = std::make_unique<FileRegistryKey>(std::move(file), path);
  return Status::OK();
}

}  // namespace dbup

#endif  // _WIN32
