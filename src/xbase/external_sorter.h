// ExternalSorter: sorts fixed-size byte records by their first `compare_size`
// bytes (memcmp order) within a memory budget. Beyond the budget, sorted
// runs go to temporary files through the Env and are merged on reading.
// Temporary files are removed when the sorter goes away.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/status.h"

namespace dbup::xbase {

class ExternalSorter {
 public:
  // Temporary files are named temp_prefix + a run number.
  ExternalSorter(std::string temp_prefix, size_t record_size, size_t compare_size,
                 size_t memory_budget);
  ~ExternalSorter();
  ExternalSorter(const ExternalSorter&) = delete;
  ExternalSorter& operator=(const ExternalSorter&) = delete;

  Status Add(const char* record);
  // Ends adding; then Rewind and Next give the records in order (Rewind may
  // be called again for another pass).
  Status Finish();
  Status Rewind();
  // *record is null at the end; it stays valid until the next call.
  Status Next(const char** record);

  uint64_t count() const { return count_; }
  size_t run_count() const { return runs_.size(); }

 private:
  struct Run;
  Status SortMemory();
  Status SpillRun();

  std::string temp_prefix_;
  size_t record_size_;
  size_t compare_size_;
  size_t budget_;
  uint64_t count_ = 0;

  std::string buffer_;  // records as added
  struct Slot {
    uint64_t prefix;  // the first 8 compared bytes, big-endian, for a fast first test
    uint32_t index;
  };
  std::vector<Slot> order_;
  size_t memory_pos_ = 0;

  std::vector<std::unique_ptr<Run>> runs_;
  std::vector<size_t> heap_;  // indices of runs, smallest current record on top
  std::string last_;          // the record handed out by Next from a run
  bool finished_ = false;
};

}  // namespace dbup::xbase
