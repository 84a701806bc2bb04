#include "update/host_version.h"

#include <charconv>

#include "platform/version_resource.h"

namespace dbup::update {

namespace {

constexpr size_t kMaxVersionPathLength = 255;

// One component: the trimmed text as a whole is a decimal integer with an
// optional sign, within 0..65535.
bool ParseComponent(std::string_view text, uint16_t* out) {
  text = TrimControl(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > 65535) return false;
  }
  if (negative && value != 0) return false;
  *out = static_cast<uint16_t>(value);
  return true;
}

void AppendDecimal(uint32_t value, std::string* out) {
  char buf[16];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  out->append(buf, end);
}

}  // namespace

std::string FormatVersion(const THostVersion& v) {
  std::string out;
  AppendDecimal(v.Major, &out);
  out.push_back('.');
  AppendDecimal(v.Minor, &out);
  out.push_back('.');
  AppendDecimal(v.Release, &out);
  out.push_back('.');
  AppendDecimal(v.Build, &out);
  return out;
}

std::string_view TrimControl(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return text;
}

bool ParseVersionText(std::string_view text, THostVersion* version) {
  text = TrimControl(text);
  uint16_t* parts[3] = {&version->Major, &version->Minor, &version->Release};
  for (uint16_t* part : parts) {
    size_t dot = text.find('.');
    if (dot == std::string_view::npos) return false;
    if (!ParseComponent(text.substr(0, dot), part)) return false;
    text.remove_prefix(dot + 1);
  }
  // The rest as a whole is the build, so a fourth point makes it fail.
  return ParseComponent(text, &version->Build);
}

bool ReadFileVersion(const std::string& path, THostVersion* version) {
  if (path.size() > kMaxVersionPathLength) return false;
  FixedFileInfo info;
  if (!ReadFixedFileInfo(path, &info).ok()) return false;
  version->Major = static_cast<uint16_t>(info.file_version_ms >> 16);
  version->Minor = static_cast<uint16_t>(info.file_version_ms & 0xFFFF);
  version->Release = static_cast<uint16_t>(info.file_version_ls >> 16);
  version->Build = static_cast<uint16_t>(info.file_version_ls & 0xFFFF);
  return true;
}

}  // namespace dbup::update
