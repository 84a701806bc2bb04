// The fixed file information of a program file's version resource: what
// Windows' GetFileVersionInfoA and VerQueryValueA(..., "\", ...) give.
//
// On Windows the backend asks the system. On POSIX it reads the Portable
// Executable file itself (ParsePeFixedFileInfo); the parser is portable so
// both builds can be checked against the same files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/status.h"

namespace dbup {

// The part of VS_FIXEDFILEINFO the library reads.
struct FixedFileInfo {
  uint32_t file_version_ms = 0;
  uint32_t file_version_ls = 0;
  uint32_t product_version_ms = 0;
  uint32_t product_version_ls = 0;
};

// Reads the fixed file information of the program file at `path`. NotFound
// when the file or its version resource is missing; Corruption when the file
// is not a well-formed program file.
Status ReadFixedFileInfo(const std::string& path, FixedFileInfo* info);

// Random access to the bytes of a file, for the parser. ReadAt fills exactly
// n bytes or fails.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t size() const = 0;
  virtual bool ReadAt(uint64_t offset, size_t n, void* out) = 0;
};

// Finds RT_VERSION/VS_VERSION_INFO in the resources of a PE32 or PE32+ image
// and reads its VS_FIXEDFILEINFO. Every offset is checked against the file,
// the resource tree is walked exactly three levels deep and every count is
// bounded, so a malformed file fails with Corruption (or NotFound) and never
// reads out of bounds or loops.
Status ParsePeFixedFileInfo(ByteSource& image, FixedFileInfo* info);

}  // namespace dbup
