#include "platform/registry_file.h"

#include <algorithm>
#include <charconv>

namespace dbup {

namespace {

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// UTF-16LE bytes to UTF-8, stopping at the first zero unit. Unpaired
// surrogates become U+FFFD rather than failing: a path with one is useless
// either way and the caller reports that.
std::string Utf16LeToUtf8(const uint8_t* p, size_t n) {
  std::string out;
  for (size_t i = 0; i + 1 < n; i += 2) {
    uint32_t u = p[i] | (p[i + 1] << 8);
    if (u == 0) break;
    if (u >= 0xD800 && u < 0xDC00 && i + 3 < n) {
      uint32_t lo = p[i + 2] | (p[i + 3] << 8);
      if (lo >= 0xDC00 && lo < 0xE000) {
        AppendUtf8(0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00), &out);
        i += 2;
        continue;
      }
    }
    if (u >= 0xD800 && u < 0xE000) u = 0xFFFD;
    AppendUtf8(u, &out);
  }
  return out;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// Reads a quoted string at the start of s (regedit escapes \ and " with a
// backslash); leaves s after the closing quote.
bool ReadQuoted(std::string_view* s, std::string* out) {
  if (s->empty() || s->front() != '"') return false;
  out->clear();
  for (size_t i = 1; i < s->size(); ++i) {
    char c = (*s)[i];
    if (c == '\\' && i + 1 < s->size()) {
      out->push_back((*s)[++i]);
    } else if (c == '"') {
      s->remove_prefix(i + 1);
      return true;
    } else {
      out->push_back(c);
    }
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHexBytes(std::string_view s, std::vector<uint8_t>* out) {
  out->clear();
  s = TrimBlanks(s);
  if (s.empty()) return true;
  size_t pos = 0;
  for (;;) {
    std::string_view item = TrimBlanks(s.substr(pos, s.find(',', pos) - pos));
    if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) return false;
    out->push_back(static_cast<uint8_t>(HexDigit(item[0]) * 16 + HexDigit(item[1])));
    size_t comma = s.find(',', pos);
    if (comma == std::string_view::npos) return true;
    pos = comma + 1;
  }
}

std::string CanonicalRoot(std::string_view path) {
  static constexpr std::pair<std::string_view, std::string_view> kShort[] = {
      {"HKCU", "HKEY_CURRENT_USER"},
      {"HKLM", "HKEY_LOCAL_MACHINE"},
      {"HKCR", "HKEY_CLASSES_ROOT"},
      {"HKU", "HKEY_USERS"},
      {"HKCC", "HKEY_CURRENT_CONFIG"}};
  size_t slash = path.find('\\');
  std::string_view root = path.substr(0, slash);
  for (const auto& [abbrev, full] : kShort) {
    if (root.size() == abbrev.size() &&
        std::equal(root.begin(), root.end(), abbrev.begin(),
                   [](char a, char b) { return (a & ~0x20) == b; })) {
      return std::string(full) +
             std::string(slash == std::string_view::npos ? "" : path.substr(slash));
    }
  }
  return std::string(path);
}

Status LineError(size_t line, std::string_view what) {
  return Status::Corruption("registry file line " + std::to_string(line) + ": " +
                            std::string(what));
}

}  // namespace

std::string RegistryFile::Fold(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

Status RegistryFile::Parse(std::string_view contents, RegistryFile* out) {
  std::string decoded;
  if (contents.size() >= 2 && static_cast<uint8_t>(contents[0]) == 0xFF &&
      static_cast<uint8_t>(contents[1]) == 0xFE) {
    decoded =
        Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(contents.data()) + 2, contents.size() - 2);
    contents = decoded;
  } else if (contents.substr(0, 3) == "\xEF\xBB\xBF") {
    contents.remove_prefix(3);
  }

  std::vector<std::string_view> lines;
  for (size_t pos = 0; pos <= contents.size();) {
    size_t end = contents.find('\n', pos);
    if (end == std::string_view::npos) end = contents.size();
    lines.push_back(TrimBlanks(contents.substr(pos, end - pos)));
    pos = end + 1;
  }

  out->keys_.clear();
  bool header_seen = false;
  bool unicode = true;  // version 5 writes hex(2) strings as UTF-16LE; REGEDIT4 as ANSI
  std::map<std::string, RegistryValue>* current = nullptr;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    const size_t line_no = i + 1;
    if (line.empty() || line.front() == ';') continue;
    if (!header_seen) {
      if (line == "Windows Registry Editor Version 5.00") {
        unicode = true;
      } else if (line == "REGEDIT4") {
        unicode = false;
      } else {
        return LineError(line_no, "not a registry editor file");
      }
      header_seen = true;
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']') return LineError(line_no, "unterminated key name");
      std::string_view path = line.substr(1, line.size() - 2);
      if (!path.empty() && path.front() == '-') {
        std::string gone = Fold(CanonicalRoot(path.substr(1)));
        std::erase_if(out->keys_, [&](const auto& kv) {
          return kv.first == gone || kv.first.starts_with(gone + "\\");
        });
        current = nullptr;
        continue;
      }
      current = &out->keys_[Fold(CanonicalRoot(path))];
      continue;
    }

    std::string name;
    std::string_view rest = line;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else if (!ReadQuoted(&rest, &name)) {
      return LineError(line_no, "expected a key or a value");
    }
    rest = TrimBlanks(rest);
    if (rest.empty() || rest.front() != '=') return LineError(line_no, "expected '='");
    rest = TrimBlanks(rest.substr(1));
    if (current == nullptr) return LineError(line_no, "value outside a key");

    RegistryValue value;
    if (rest == "-") {
      current->erase(Fold(name));
      continue;
    } else if (!rest.empty() && rest.front() == '"') {
      std::string_view text_part = rest;
      if (!ReadQuoted(&text_part, &value.text) || !TrimBlanks(text_part).empty()) {
        return LineError(line_no, "bad string value");
      }
      value.type = kRegSz;
      value.data.assign(value.text.begin(), value.text.end());
      value.data.push_back(0);
    } else if (rest.starts_with("dword:")) {
      std::string_view digits = rest.substr(6);
      uint32_t v = 0;
      auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, 16);
      if (ec != std::errc() || ptr != digits.data() + digits.size() || digits.size() != 8) {
        return LineError(line_no, "bad dword value");
      }
      value.type = kRegDword;
      value.data = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                    static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    } else if (rest.starts_with("hex")) {
      std::string_view form = rest.substr(3);
      value.type = kRegBinary;
      if (!form.empty() && form.front() == '(') {
        size_t close = form.find(')');
        if (close == std::string_view::npos) return LineError(line_no, "bad hex type");
        std::string_view digits = form.substr(1, close - 1);
        auto [ptr, ec] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value.type, 16);
        if (ec != std::errc() || ptr != digits.data() + digits.size()) {
          return LineError(line_no, "bad hex type");
        }
        form.remove_prefix(close + 1);
      }
      if (form.empty() || form.front() != ':') return LineError(line_no, "bad hex value");
      std::string joined(form.substr(1));
      // A trailing backslash continues the bytes on the next line.
      while (!joined.empty() && joined.back() == '\\') {
        joined.pop_back();
        if (++i >= lines.size()) return LineError(line_no, "unfinished hex value");
        joined.append(lines[i]);
      }
      if (!ParseHexBytes(joined, &value.data)) return LineError(line_no, "bad hex bytes");
      if (value.type == kRegSz || value.type == kRegExpandSz) {
        if (unicode) {
          value.text = Utf16LeToUtf8(value.data.data(), value.data.size());
        } else {
          auto zero = std::find(value.data.begin(), value.data.end(), 0);
          value.text.assign(value.data.begin(), zero);
        }
      }
    } else {
      return LineError(line_no, "unknown value form");
    }
    (*current)[Fold(name)] = std::move(value);
  }
  if (!header_seen) return Status::Corruption("registry file is empty");
  return Status::OK();
}

const RegistryValue* RegistryFile::Find(std::string_view key_path, std::string_view name) const {
  auto key = keys_.find(Fold(CanonicalRoot(key_path)));
  if (key == keys_.end()) return nullptr;
  auto value = key->second.find(Fold(name));
  return value == key->second.end() ? nullptr : &value->second;
}

bool RegistryFile::HasKey(std::string_view key_path) const {
  return keys_.count(Fold(CanonicalRoot(key_path))) != 0;
}

}  // namespace dbup
