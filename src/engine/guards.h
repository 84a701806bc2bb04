// RAII guards over the engine's C operations, so that every path out of a
// table job closes what it opened and leaves no error pending.
#pragma once

#include <string>

#include "engine/e4api.h"

namespace dbup::engine {

// Resets the session's pending error code when the scope ends.
class ErrorCodeReset {
 public:
  explicit ErrorCodeReset(Code4* session) : session_(session) {}
  ~ErrorCodeReset() {
    if (session_ != nullptr) code4errorCode(session_, 0);
  }
  ErrorCodeReset(const ErrorCodeReset&) = delete;
  ErrorCodeReset& operator=(const ErrorCodeReset&) = delete;

 private:
  Code4* session_;
};

// One open table and its production index. On every path out of the scope
// it closes the index, unlocks and closes the table, and resets the
// session's error code, in that order.
class TableGuard {
 public:
  explicit TableGuard(Code4* session) : session_(session) {}
  ~TableGuard() { Close(); }
  TableGuard(const TableGuard&) = delete;
  TableGuard& operator=(const TableGuard&) = delete;

  // d4open; false (and a null table) when it fails.
  bool Open(const std::string& dbf_path) {
    Close();
    table_ = d4open(session_, dbf_path.c_str());
    return table_ != nullptr;
  }
  // i4open on the open table; false when it fails or no table is open.
  bool OpenIndex(const std::string& mdx_path) {
    if (table_ == nullptr) return false;
    index_ = i4open(table_, mdx_path.c_str());
    return index_ != nullptr;
  }

  Data4* table() const { return table_; }
  Index4* index() const { return index_; }
  explicit operator bool() const { return table_ != nullptr; }

  // Closes now; returns 0 or the first error code of the closing operations.
  int Close() {
    int result = 0;
    if (index_ != nullptr) {
      result = Keep(result, i4close(index_));
      index_ = nullptr;
    }
    if (table_ != nullptr) {
      result = Keep(result, d4unlock(table_));
      result = Keep(result, d4close(table_));
      table_ = nullptr;
    }
    if (session_ != nullptr) code4errorCode(session_, 0);
    return result;
  }

 private:
  static int Keep(int first, int rc) { return first < 0 ? first : (rc < 0 ? rc : first); }

  Code4* session_;
  Data4* table_ = nullptr;
  Index4* index_ = nullptr;
};

}  // namespace dbup::engine
