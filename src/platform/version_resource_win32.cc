// Win32 backend of the version resource: the system's version functions.
#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <vector>

#include "platform/version_resource.h"

namespace dbup {

Status ReadFixedFileInfo(const std::string& path, FixedFileInfo* info) {
  *info = FixedFileInfo();
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) {
    DWORD err = ::GetLastError();
    std::string msg = path + ": no version resource (error " + std::to_string(err) + ")";
    if (err == ERROR_BAD_EXE_FORMAT || err == ERROR_BAD_FORMAT) return Status::Corruption(msg);
    return Status::NotFound(msg);
  }
  std::vector<char> data(size);
  if (!::GetFileVersionInfoA(path.c_str(), 0, size, data.data())) {
    return Status::IOError(path + ": version resource unreadable (error " +
                           std::to_string(::GetLastError()) + ")");
  }
  void* block = nullptr;
  UINT length = 0;
  char root[] = "\\";
  if (!::VerQueryValueA(data.data(), root, &block, &length) || block == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return Status::NotFound(path + ": no fixed file information");
  }
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
  if (fixed->dwSignature != 0xFEEF04BD) {
    return Status::Corruption(path + ": bad fixed file information signature");
  }
  info->file_version_ms = fixed->dwFileVersionMS;
  info->file_version_ls = fixed->dwFileVersionLS;
  info->product_version_ms = fixed->dwProductVersionMS;
  info->product_version_ls = fixed->dwProductVersionLS;
  return Status::OK();
}

}  // namespace dbup

#endif  // _WIN32
