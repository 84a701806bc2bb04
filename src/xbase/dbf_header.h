// The .dbf file header: the 32-byte file header, the field descriptors and
// the 0x0D terminator, parsed from and serialised to bytes.
//
// Parsing validates everything the record layer relies on (lengths that fit,
// a record length equal to the sum of the fields), so a table that opens can
// be read without further bounds checks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace dbup::xbase {

inline constexpr uint8_t kVersionNoMemo = 0x03;      // dBASE III/IV, no memo file
inline constexpr uint8_t kVersionDbase3Memo = 0x83;  // with a dBASE III .dbt
inline constexpr uint8_t kVersionDbase4Memo = 0x8B;  // with a dBASE IV .dbt
inline constexpr char kHeaderTerminator = 0x0D;
inline constexpr char kEndOfFile = 0x1A;
inline constexpr char kActiveFlag = ' ';
inline constexpr char kDeletedFlag = '*';
inline constexpr size_t kFileHeaderSize = 32;
inline constexpr size_t kDescriptorSize = 32;

struct FieldDescriptor {
  std::string name;  // as stored, up to 10 characters
  char type = 'C';   // C, N, F, D, L, M, or any other letter (kept as raw text)
  uint8_t length = 0;
  uint8_t decimals = 0;
  uint32_t offset = 0;  // of the field's first byte in the record (flag byte is 0)
  // Descriptor bytes 12..31 as read, so an opened table's other bytes survive.
  std::string reserved;
};

struct DbfHeader {
  uint8_t version = kVersionNoMemo;
  uint8_t year = 0;  // year - 1900
  uint8_t month = 1;
  uint8_t day = 1;
  uint32_t record_count = 0;
  uint16_t header_length = 0;
  uint16_t record_length = 0;
  uint8_t production_index = 0;  // byte 28
  uint8_t language_driver = 0;   // byte 29
  std::vector<FieldDescriptor> fields;

  bool has_memo_file() const { return (version & 0x80) != 0; }
  // dBASE III memo layout (0x83 and kin), as every reader decides it.
  bool dbase3_memo() const { return (version & 0x0F) == 3 && has_memo_file(); }
  uint64_t data_end() const {
    return header_length + static_cast<uint64_t>(record_length) * record_count;
  }
};

// Parses a header from the first bytes of a file whose total size is
// file_size. bytes must hold at least the stored header length, or the whole
// file when it is shorter. Fails with Corruption or NotSupported, naming what
// is wrong.
Status ParseDbfHeader(std::string_view bytes, uint64_t file_size, DbfHeader* header);

// Bytes 0..31 of the file header.
std::string SerializeFileHeader(const DbfHeader& header);
// The whole header: file header, descriptors and terminator (header_length bytes).
std::string SerializeDbfHeader(const DbfHeader& header);

// Today as the three bytes dBASE headers store: years since 1900, month, day.
void PutToday(char* ymd);

// Sets the header's update date to today.
void StampToday(DbfHeader* header);

inline uint16_t GetU16(const char* p) {
  return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | static_cast<uint8_t>(p[1]) << 8);
}
inline uint32_t GetU32(const char* p) {
  return static_cast<uint32_t>(static_cast<uint8_t>(p[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24;
}
inline void PutU16(char* p, uint16_t v) {
  p[0] = static_cast<char>(v & 0xFF);
  p[1] = static_cast<char>(v >> 8);
}
inline void PutU32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace dbup::xbase
