#include "convert/common_fields.h"

#include <array>
#include <stdexcept>

#include "platform/path.h"

namespace dbup::convert {
namespace {

// The four handles of one call, released in the order the engine expects:
// old index, old table, new index, new table, then the pending error cleared.
struct CopyHandles {
  Code4* session;
  Data4* old_table = nullptr;
  Index4* old_index = nullptr;
  Data4* new_table = nullptr;
  Index4* new_index = nullptr;

  explicit CopyHandles(Code4* s) : session(s) {}
  ~CopyHandles() {
    if (old_index != nullptr) i4close(old_index);
    if (old_table != nullptr) {
      d4unlock(old_table);
      d4close(old_table);
    }
    if (new_index != nullptr) i4close(new_index);
    if (new_table != nullptr) {
      d4unlock(new_table);
      d4close(new_table);
    }
    code4errorCode(session, 0);
  }
  CopyHandles(const CopyHandles&) = delete;
  CopyHandles& operator=(const CopyHandles&) = delete;
};

bool Positioned(int rc) {
  return rc == r4success || rc == r4eof;
}

// Opens base.dbf and base.mdx in dir; false when either fails.
bool OpenWithIndex(Code4* session, const std::string& dir, const std::string& table, Data4** data,
                   Index4** index) {
  const std::string base = WithTrailingSeparator(dir) + table;
  *data = d4open(session, (base + ".dbf").c_str());
  if (*data == nullptr) return false;
  *index = i4open(*data, (base + ".mdx").c_str());
  return *index != nullptr;
}

}  // namespace

bool CopyCommonFields(Code4* session, const std::string& old_dir, const std::string& new_dir,
                      const std::string& table, long* records_copied) {
  if (records_copied != nullptr) *records_copied = 0;
  if (session == nullptr) return false;
  CopyHandles h(session);

  if (!OpenWithIndex(session, old_dir, table, &h.old_table, &h.old_index)) return false;
  const int old_top = d4top(h.old_table);
  if (!Positioned(old_top)) return false;
  if (!OpenWithIndex(session, new_dir, table, &h.new_table, &h.new_index)) return false;
  if (!Positioned(d4top(h.new_table))) return false;
  // The reindex at the end rebuilds every tag from the records, so keeping
  // the keys current append by append would only cost a B-tree insert per
  // record and tag. The index was opened to prove it is there; it is opened
  // again for the reindex.
  i4close(h.new_index);
  h.new_index = nullptr;

  std::array<TFieldPair, kMaxFieldPairs> map;
  for (TFieldPair& pair : map) pair.source = nullptr;
  size_t pairs = 0;
  const short field_count = d4numFields(h.old_table);
  for (short j = 1; j <= field_count; ++j) {
    if (pairs == kMaxFieldPairs) throw std::out_of_range("more than 512 common fields");
    Field4* source = d4fieldJ(h.old_table, j);
    if (source == nullptr) continue;
    Field4* destination = d4field(h.new_table, f4name(source));
    if (destination == nullptr) {
      // The failed look-up leaves an error pending that would fail later calls.
      code4errorCode(session, 0);
      continue;
    }
    map[pairs++] = TFieldPair{source, destination, f4type(source)};
  }

  long copied = 0;
  if (old_top == r4success) {
    for (;;) {
      if (!d4deleted(h.old_table)) {
        if (d4appendBlank(h.new_table) != 0) return false;
        for (size_t i = 0; i < kMaxFieldPairs && map[i].source != nullptr; ++i) {
          const TFieldPair& pair = map[i];
          if (pair.source_type == 'M') {
            f4memoAssign(pair.destination, f4memoStr(pair.source));
          } else {
            f4assignField(pair.destination, pair.source);
          }
        }
        if (d4writeLow(h.new_table, d4recNoLow(h.new_table), 0, 1) != 0) return false;
        ++copied;
        if (records_copied != nullptr) *records_copied = copied;
      }
      const int rc = d4skip(h.old_table, 1);
      if (rc == r4eof) break;
      // Any other result than a move to the next record would revisit or lose
      // records; treat it as the failure it is.
      if (rc != r4success) return false;
    }
  }
  h.new_index = i4open(h.new_table, (WithTrailingSeparator(new_dir) + table + ".mdx").c_str());
  if (h.new_index == nullptr) return false;
  return d4reindex(h.new_table) == 0;
}

}  // namespace dbup::convert
