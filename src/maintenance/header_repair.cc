#include "maintenance/header_repair.h"

#include <cstdint>
#include <limits>
#include <memory>

#include "platform/env.h"

namespace dbup::maintenance {

namespace {

constexpr int kHeaderPrefix = 12;
constexpr char kEndOfFile = 0x1A;
// A tail of up to this share of the expected size is taken to be debris of
// an interrupted append and cut off; a longer one is left for the reindex.
constexpr double kMaxTrimPercent = 3.0;

uint32_t Get32(const unsigned char* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t Get16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Reads the byte at offset; false on an I/O failure, *got false at end of file.
bool ReadByte(File& file, int64_t offset, char* byte, bool* got) {
  *got = false;
  if (offset < 0) return true;
  size_t n = 0;
  if (!file.ReadAt(static_cast<uint64_t>(offset), 1, byte, &n).ok()) return false;
  *got = n == 1;
  return true;
}

// File sizes are 32-bit in the table format; anything larger cannot be
// reasoned about with the header's fields.
bool FileSize(File& file, int64_t* size) {
  uint64_t s = 0;
  if (!file.Size(&s).ok() || s > uint64_t{std::numeric_limits<int32_t>::max()}) return false;
  *size = static_cast<int64_t>(s);
  return true;
}

bool Repair(File& file) {
  int64_t size = 0;
  if (!FileSize(file, &size)) return false;
  if (size <= kHeaderPrefix) return true;

  unsigned char header[kHeaderPrefix];
  size_t got = 0;
  if (!file.ReadAt(0, kHeaderPrefix, reinterpret_cast<char*>(header), &got).ok()) return false;
  if (got < kHeaderPrefix) return true;

  if (header[7] >= 0x80) return false;
  const int64_t count = Get32(header + 4);
  const int64_t header_length = Get16(header + 8);
  const int64_t record_length = Get16(header + 10);

  int64_t expected = count * record_length + header_length + 1;
  if (expected > std::numeric_limits<int32_t>::max()) expected = header_length + 1;
  if (expected == size) return true;
  if (record_length == 0) return false;

  // Count repair: the size is off by whole records, perhaps after the
  // missing end-of-file byte is put back.
  int64_t difference = expected > size ? expected - size : size - expected;
  if (difference % record_length != 0 && (difference - 1) % record_length == 0) {
    char last = 0;
    bool have_last = false;
    if (!ReadByte(file, size - 1, &last, &have_last)) return false;
    if (have_last && last != kEndOfFile) {
      if (!file.WriteAt(static_cast<uint64_t>(size), &kEndOfFile, 1).ok()) return false;
      if (!FileSize(file, &size)) return false;
      difference = expected > size ? expected - size : size - expected;
    }
  }
  if (difference % record_length == 0) {
    const int64_t new_count = (size - header_length - 1) / record_length;
    if (new_count < 0) return false;
    const auto c = static_cast<uint32_t>(new_count);
    header[4] = static_cast<unsigned char>(c);
    header[5] = static_cast<unsigned char>(c >> 8);
    header[6] = static_cast<unsigned char>(c >> 16);
    header[7] = static_cast<unsigned char>(c >> 24);
    return file.WriteAt(0, reinterpret_cast<const char*>(header), kHeaderPrefix).ok();
  }

  // Tail trim: a partial record after the counted ones.
  const int64_t excess = size - expected;
  if (excess <= 0 || excess % record_length == 0) return true;
  char at_end = 0;
  bool have_at_end = false;
  if (!ReadByte(file, expected - 1, &at_end, &have_at_end)) return false;
  if (have_at_end && at_end == kEndOfFile) {
    return file.Truncate(static_cast<uint64_t>(expected)).ok();
  }
  const double ratio = static_cast<double>(expected) / static_cast<double>(excess);
  const double share = 100.0 / ratio;
  if (ratio > 0 && share <= kMaxTrimPercent) {
    if (!file.WriteAt(static_cast<uint64_t>(expected - 1), &kEndOfFile, 1).ok()) return false;
    return file.Truncate(static_cast<uint64_t>(expected)).ok();
  }
  return true;
}

}  // namespace

bool RepairTableHeader(const std::string& path) {
  std::unique_ptr<File> file;
  if (!Env::Current()->OpenFile(path, OpenMode::kReadWrite, &file).ok()) return false;
  const bool repaired = Repair(*file);
  const bool closed = file->Close().ok();
  return repaired && closed;
}

}  // namespace dbup::maintenance
