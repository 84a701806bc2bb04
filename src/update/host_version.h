// The version of the host program whose tables are to be updated: given by
// the host as text, or read from the version resource of its program file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dbup::update {

struct THostVersion {
  uint16_t Major = 0;
  uint16_t Minor = 0;
  uint16_t Release = 0;
  uint16_t Build = 0;
};

// "Major.Minor.Release.Build", each in decimal.
std::string FormatVersion(const THostVersion& version);

// Removes every character with a code of 32 or less from both ends.
std::string_view TrimControl(std::string_view text);

// Four decimal numbers of 0 to 65535 separated by points, each with optional
// blanks around it, an optional sign and leading zeros ("01.065.0.0100" is
// 1.65.0.100). Anything else fails; *version is then unspecified.
bool ParseVersionText(std::string_view text, THostVersion* version);

// The fixed file version of the program file at `path`. Fails when the file
// is missing, has no version resource, or the path is longer than 255
// characters (the limit the host's platform call has).
bool ReadFileVersion(const std::string& path, THostVersion* version);

}  // namespace dbup::update
