// A minimal Windows program file (PE32) whose only content is a version
// resource, as the host's TANDRIL.EXE carries its version.
#pragma once

#include <cstdint>
#include <string>

namespace dbup::fixture {

struct FileVersion {
  uint16_t major = 0, minor = 0, release = 0, build = 0;
};

// Parses "1.65.0.100"; false unless four numbers of 0..65535.
bool ParseFileVersion(const std::string& text, FileVersion* version);

// The bytes of a PE32 image with one .rsrc section holding RT_VERSION/1/0x409:
// a VS_VERSIONINFO with the fixed file information for `version`.
std::string BuildVersionExe(const FileVersion& version);

}  // namespace dbup::fixture
