// RecordCache: buffered access to the fixed-length records of a .dbf file.
//
// Holds one window of consecutive records in memory. Reads inside the window
// are copies; a write inside the window, or right after its end (sequential
// append or rewrite), only marks it dirty. The dirty part is written back in
// one call when the window moves or on Flush, so sequential work costs one
// system call per window, not one per record.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/env.h"
#include "platform/status.h"

namespace dbup::xbase {

class RecordCache {
 public:
  RecordCache(File* file, uint32_t header_length, uint32_t record_length, size_t window_bytes);

  // Records are numbered from 1; the caller keeps recno within the table.
  Status Read(uint32_t recno, char* record);
  Status Write(uint32_t recno, const char* record);
  // Writes back what is dirty; the window stays valid.
  Status Flush();
  // Forgets the window (after the file was changed behind the cache).
  void Invalidate();

  // The number of records the file holds below the cache's knowledge, used
  // to know how far a window read can go.
  void set_records_on_disk(uint32_t count) { records_on_disk_ = count; }

 private:
  Status Load(uint32_t recno);
  uint64_t OffsetOf(uint32_t recno) const {
    return header_length_ + static_cast<uint64_t>(recno - 1) * record_length_;
  }

  File* file_;
  uint32_t header_length_;
  uint32_t record_length_;
  uint32_t capacity_;  // records per window
  std::vector<char> buffer_;
  uint32_t first_ = 0;                    // recno of the window's first record; 0 = empty window
  uint32_t count_ = 0;                    // records in the window
  uint32_t dirty_lo_ = 0, dirty_hi_ = 0;  // dirty record range [lo, hi) relative to first_
  uint32_t records_on_disk_ = 0;
};

}  // namespace dbup::xbase
