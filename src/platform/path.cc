#include "platform/path.h"

namespace dbup {

std::string WithTrailingSeparator(std::string_view path) {
  std::string out(path);
  if (!out.empty() && !IsPathSeparator(out.back())) out.push_back(kPathSeparator);
  return out;
}

std::string JoinPath(std::string_view dir, std::string_view name) {
  if (dir.empty()) return std::string(name);
  std::string out = WithTrailingSeparator(dir);
  while (!name.empty() && IsPathSeparator(name.front())) name.remove_prefix(1);
  out.append(name);
  return out;
}

std::string_view BaseName(std::string_view path) {
  size_t pos = path.find_last_of("/\\");
  return pos == std::string_view::npos ? path : path.substr(pos + 1);
}

std::string_view DirName(std::string_view path) {
  size_t pos = path.find_last_of("/\\");
  return pos == std::string_view::npos ? std::string_view() : path.substr(0, pos + 1);
}

std::string ReplaceExtension(std::string_view path, std::string_view ext) {
  std::string_view base = BaseName(path);
  size_t dot = base.rfind('.');
  size_t keep = dot == std::string_view::npos ? path.size() : path.size() - base.size() + dot;
  std::string out(path.substr(0, keep));
  out.append(ext);
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

}  // namespace dbup
