// Win32 backend of the profile reader: the system's own profile functions,
// with the buffer size the host's run-time library passes.
#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <vector>

#include "platform/env.h"
#include "platform/profile.h"

namespace dbup {

Status ReadProfileKeyNames(const std::string& path, const std::string& section,
                           std::vector<std::string>* names) {
  names->clear();
  // Windows looks a name without a folder up in its own folder, and reads
  // a missing file as empty; only an existing file is handed over.
  if (!Env::Current()->FileExists(path)) return Status::OK();
  std::vector<char> buffer(kProfileKeyBufferSize, '\0');
  // The names come back zero-separated and closed by an empty name, cut to
  // the buffer as Windows cuts them; the count returned adds nothing to that.
  ::GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(),
                             static_cast<DWORD>(buffer.size()), path.c_str());
  *names = SplitProfileKeyBuffer(buffer.data(), buffer.size());
  return Status::OK();
}

}  // namespace dbup

#endif  // _WIN32
