#include "xbase/external_sorter.h"

#include <algorithm>
#include <cstring>

namespace dbup::xbase {

struct ExternalSorter::Run {
  std::string path;
  std::unique_ptr<File> file;
  uint64_t records = 0;
  uint64_t read_records = 0;
  uint64_t file_pos = 0;
  std::string buf;
  size_t buf_pos = 0;
  const char* current = nullptr;
};

ExternalSorter::ExternalSorter(std::string temp_prefix, size_t record_size, size_t compare_size,
                               size_t memory_budget)
    : temp_prefix_(std::move(temp_prefix)),
      record_size_(record_size),
      compare_size_(compare_size),
      budget_(std::max<size_t>(memory_budget, 64 * 1024)) {}

ExternalSorter::~ExternalSorter() {
  for (auto& run : runs_) {
    if (run->file) run->file->Close();
    Env::Current()->DeleteFile(run->path);
  }
}

Status ExternalSorter::Add(const char* record) {
  buffer_.append(record, record_size_);
  ++count_;
  size_t n = buffer_.size() / record_size_;
  if (buffer_.size() + n * sizeof(Slot) >= budget_) return SpillRun();
  return Status::OK();
}

Status ExternalSorter::SortMemory() {
  size_t n = buffer_.size() / record_size_;
  order_.resize(n);
  const char* base = buffer_.data();
  size_t head = std::min<size_t>(8, compare_size_);
  for (size_t i = 0; i < n; ++i) {
    const unsigned char* r = reinterpret_cast<const unsigned char*>(base + i * record_size_);
    uint64_t p = 0;
    for (size_t b = 0; b < 8; ++b) p = (p << 8) | (b < head ? r[b] : 0);
    order_[i] = {p, static_cast<uint32_t>(i)};
  }
  size_t rs = record_size_, cs = compare_size_;
  std::sort(order_.begin(), order_.end(), [base, rs, cs, head](const Slot& a, const Slot& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    return std::memcmp(base + a.index * rs + head, base + b.index * rs + head, cs - head) < 0;
  });
  return Status::OK();
}

Status ExternalSorter::SpillRun() {
  Status s = SortMemory();
  if (!s.ok()) return s;
  auto run = std::make_unique<Run>();
  run->path = temp_prefix_ + std::to_string(runs_.size());
  s = Env::Current()->OpenFile(run->path, OpenMode::kCreate, &run->file);
  if (!s.ok()) return s;
  runs_.push_back(std::move(run));
  Run& r = *runs_.back();
  std::string out;
  out.reserve(1 << 20);
  uint64_t pos = 0;
  for (const Slot& slot : order_) {
    out.append(buffer_.data() + static_cast<size_t>(slot.index) * record_size_, record_size_);
    if (out.size() >= (1 << 20)) {
      if (!(s = r.file->WriteAt(pos, out.data(), out.size())).ok()) return s;
      pos += out.size();
      out.clear();
    }
  }
  if (!out.empty() && !(s = r.file->WriteAt(pos, out.data(), out.size())).ok()) return s;
  r.records = order_.size();
  buffer_.clear();
  buffer_.shrink_to_fit();
  order_.clear();
  order_.shrink_to_fit();
  return Status::OK();
}

Status ExternalSorter::Finish() {
  finished_ = true;
  if (runs_.empty()) return SortMemory();
  if (!buffer_.empty()) return SpillRun();
  return Status::OK();
}

Status ExternalSorter::Rewind() {
  memory_pos_ = 0;
  if (runs_.empty()) return Status::OK();
  size_t per_run = std::max<size_t>(record_size_ * 16, budget_ / (2 * runs_.size()));
  per_run -= per_run % record_size_;
  heap_.clear();
  for (size_t i = 0; i < runs_.size(); ++i) {
    Run& r = *runs_[i];
    r.read_records = 0;
    r.file_pos = 0;
    r.buf.assign(per_run, '\0');
    r.buf_pos = per_run;  // empty: the first Next reads
    r.buf.resize(0);
    r.current = nullptr;
  }
  // Prime every run with its first record.
  for (size_t i = 0; i < runs_.size(); ++i) {
    Run& r = *runs_[i];
    if (r.records == 0) continue;
    size_t want = std::min<uint64_t>(per_run / record_size_, r.records) * record_size_;
    r.buf.resize(want);
    size_t got = 0;
    Status s = r.file->ReadAt(0, want, r.buf.data(), &got);
    if (!s.ok()) return s;
    if (got != want) return Status::IOError("sort run cut short: " + r.path);
    r.file_pos = want;
    r.buf_pos = 0;
    r.current = r.buf.data();
    r.read_records = 1;
    heap_.push_back(i);
  }
  auto greater = [this](size_t a, size_t b) {
    return std::memcmp(runs_[a]->current, runs_[b]->current, compare_size_) > 0;
  };
  std::make_heap(heap_.begin(), heap_.end(), greater);
  return Status::OK();
}

Status ExternalSorter::Next(const char** record) {
  *record = nullptr;
  if (runs_.empty()) {
    if (memory_pos_ < order_.size()) {
      *record = buffer_.data() + static_cast<size_t>(order_[memory_pos_++].index) * record_size_;
    }
    return Status::OK();
  }
  auto greater = [this](size_t a, size_t b) {
    return std::memcmp(runs_[a]->current, runs_[b]->current, compare_size_) > 0;
  };
  if (heap_.empty()) return Status::OK();
  size_t top = heap_.front();
  Run& r = *runs_[top];
  // Copy out, since advancing may refill the buffer under the record.
  std::pop_heap(heap_.begin(), heap_.end(), greater);
  heap_.pop_back();
  last_.assign(r.current, record_size_);
  *record = last_.data();
  if (r.read_records < r.records) {
    r.buf_pos += record_size_;
    if (r.buf_pos >= r.buf.size()) {
      uint64_t left = r.records - r.read_records;
      size_t want = std::min<uint64_t>(r.buf.capacity() / record_size_, left) * record_size_;
      if (want == 0) want = record_size_;
      r.buf.resize(want);
      size_t got = 0;
      Status s = r.file->ReadAt(r.file_pos, want, r.buf.data(), &got);
      if (!s.ok()) return s;
      if (got != want) return Status::IOError("sort run cut short: " + r.path);
      r.file_pos += want;
      r.buf_pos = 0;
    }
    r.current = r.buf.data() + r.buf_pos;
    ++r.read_records;
    heap_.push_back(top);
    std::push_heap(heap_.begin(), heap_.end(), greater);
  } else {
    r.current = nullptr;
  }
  return Status::OK();
}

}  // namespace dbup::xbase
