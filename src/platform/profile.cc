#include "platform/profile.h"

#include "platform/path.h"

namespace dbup {

namespace {

// Windows counts Ctrl-Z among the blanks of a profile line (files cut on old
// editors end in one).
bool IsProfileSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1a;
}

std::string_view TrimProfileSpace(std::string_view s) {
  while (!s.empty() && IsProfileSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsProfileSpace(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

std::vector<std::string> ParseProfileKeyNames(std::string_view contents, std::string_view section) {
  // A UTF-8 byte-order mark is not part of the first line.
  if (contents.substr(0, 3) == "\xEF\xBB\xBF") contents.remove_prefix(3);

  std::vector<std::string> names;
  enum class State { kBefore, kInside, kDone } state = State::kBefore;
  size_t pos = 0;
  while (pos < contents.size() && state != State::kDone) {
    size_t end = contents.find('\n', pos);
    if (end == std::string_view::npos) end = contents.size();
    std::string_view line = TrimProfileSpace(contents.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty()) continue;

    if (line.front() == '[') {
      size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        // The name between the brackets is taken as written, blanks included.
        std::string_view name = line.substr(1, close - 1);
        if (state == State::kInside) {
          state = State::kDone;
        } else if (!name.empty() && EqualsIgnoreCase(name, section)) {
          state = State::kInside;
        }
        continue;
      }
      // Without a closing bracket the line is an ordinary one.
    }
    if (state != State::kInside) continue;

    size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;  // not a key
    std::string_view name = TrimProfileSpace(line.substr(0, equals));
    if (name.empty() || name.front() == ';') continue;
    names.emplace_back(name);
  }
  return names;
}

std::vector<std::string> PackProfileKeyNames(const std::vector<std::string>& names,
                                             size_t buffer_size) {
  std::vector<std::string> out;
  size_t room = buffer_size;
  for (const std::string& name : names) {
    if (room <= 2) break;
    if (name.size() + 2 <= room) {
      out.push_back(name);
      room -= name.size() + 1;
      if (room < 2) break;
      continue;
    }
    std::string cut = name.substr(0, room - 2);
    if (!cut.empty()) out.push_back(std::move(cut));
    break;
  }
  return out;
}

std::vector<std::string> SplitProfileKeyBuffer(const char* buffer, size_t size) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < size && buffer[pos] != '\0') {
    size_t end = pos;
    while (end < size && buffer[end] != '\0') ++end;
    out.emplace_back(buffer + pos, end - pos);
    pos = end + 1;
  }
  return out;
}

}  // namespace dbup
