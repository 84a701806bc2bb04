// POSIX backend of the profile reader: the file through Env, parsed as
// Windows would.
#ifndef _WIN32

#include "platform/env.h"
#include "platform/profile.h"

namespace dbup {

Status ReadProfileKeyNames(const std::string& path, const std::string& section,
                           std::vector<std::string>* names) {
  names->clear();
  Env* env = Env::Current();
  if (!env->FileExists(path)) return Status::OK();
  std::string contents;
  Status s = ReadFileToString(path, &contents);
  if (!s.ok()) return s;
  *names = PackProfileKeyNames(ParseProfileKeyNames(contents, section), kProfileKeyBufferSize);
  return Status::OK();
}

}  // namespace dbup

#endif  // _WIN32
