#include "xbase/record_cache.h"

#include <algorithm>
#include <cstring>

namespace dbup::xbase {

RecordCache::RecordCache(File* file, uint32_t header_length, uint32_t record_length,
                         size_t window_bytes)
    : file_(file), header_length_(header_length), record_length_(record_length) {
  capacity_ = static_cast<uint32_t>(std::max<size_t>(1, window_bytes / record_length));
  buffer_.resize(static_cast<size_t>(capacity_) * record_length);
}

void RecordCache::Invalidate() {
  first_ = count_ = 0;
  dirty_lo_ = dirty_hi_ = 0;
}

Status RecordCache::Flush() {
  if (dirty_hi_ <= dirty_lo_) return Status::OK();
  Status s = file_->WriteAt(OffsetOf(first_ + dirty_lo_),
                            buffer_.data() + static_cast<size_t>(dirty_lo_) * record_length_,
                            static_cast<size_t>(dirty_hi_ - dirty_lo_) * record_length_);
  if (!s.ok()) return s;
  records_on_disk_ = std::max(records_on_disk_, first_ + dirty_hi_ - 1);
  dirty_lo_ = dirty_hi_ = 0;
  return Status::OK();
}

Status RecordCache::Load(uint32_t recno) {
  // Reading on from the window's end is a scan and gets a whole window; a
  // jump elsewhere (an index seek) gets a few records, not the whole window.
  bool scan = first_ != 0 && recno == first_ + count_;
  uint32_t limit =
      scan ? capacity_ : std::min(capacity_, std::max<uint32_t>(1, 4096 / record_length_));
  Status s = Flush();
  if (!s.ok()) return s;
  Invalidate();
  if (recno > records_on_disk_)
    return Status::Corruption("record " + std::to_string(recno) + " is not in the file");
  uint32_t n = std::min(limit, records_on_disk_ - recno + 1);
  size_t want = static_cast<size_t>(n) * record_length_;
  size_t got = 0;
  s = file_->ReadAt(OffsetOf(recno), want, buffer_.data(), &got);
  if (!s.ok()) return s;
  if (got < record_length_) {
    return Status::Corruption("record " + std::to_string(recno) + " is cut short in the file");
  }
  first_ = recno;
  count_ = static_cast<uint32_t>(got / record_length_);
  return Status::OK();
}

Status RecordCache::Read(uint32_t recno, char* record) {
  if (first_ == 0 || recno < first_ || recno >= first_ + count_) {
    Status s = Load(recno);
    if (!s.ok()) return s;
  }
  std::memcpy(record, buffer_.data() + static_cast<size_t>(recno - first_) * record_length_,
              record_length_);
  return Status::OK();
}

Status RecordCache::Write(uint32_t recno, const char* record) {
  bool inside = first_ != 0 && recno >= first_ && recno < first_ + count_;
  bool extends = first_ != 0 && recno == first_ + count_ && count_ < capacity_;
  if (!inside && !extends) {
    Status s = Flush();
    if (!s.ok()) return s;
    // A fresh window of just this record; later sequential writes extend it.
    first_ = recno;
    count_ = 0;
    extends = true;
  }
  if (extends) ++count_;
  uint32_t i = recno - first_;
  std::memcpy(buffer_.data() + static_cast<size_t>(i) * record_length_, record, record_length_);
  if (dirty_hi_ <= dirty_lo_) {
    dirty_lo_ = i;
    dirty_hi_ = i + 1;
  } else {
    dirty_lo_ = std::min(dirty_lo_, i);
    dirty_hi_ = std::max(dirty_hi_, i + 1);
  }
  return Status::OK();
}

}  // namespace dbup::xbase
