#include "xbase/dbf_header.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace dbup::xbase {

namespace {

Status Bad(const std::string& what) {
  return Status::Corruption("not a valid dBASE table: " + what);
}

}  // namespace

Status ParseDbfHeader(std::string_view bytes, uint64_t file_size, DbfHeader* header) {
  if (bytes.size() < kFileHeaderSize || file_size < kFileHeaderSize) {
    return Bad("file is shorter than a table header");
  }
  const char* p = bytes.data();
  DbfHeader h;
  h.version = static_cast<uint8_t>(p[0]);
  // dBASE 7 (0x04, 0x8C) has 48-byte field descriptors after a longer
  // header; reading it as dBASE IV would misread every record. Perl's XBase
  // marks its dBASE IV tables 0x04/0x84 but writes them in the dBASE IV
  // layout, which the header length and terminator tell apart (a level 7
  // header is 68 + 48n + 1 bytes, never 32 + 32n + 1).
  if ((h.version & 0x07) == 4) {
    uint16_t length = GetU16(p + 8);
    bool dbase4_layout = h.version != 0x8C && length >= 65 && (length - 33) % 32 == 0 &&
                         length <= bytes.size() && p[length - 1] == kHeaderTerminator;
    if (!dbase4_layout) {
      return Status::NotSupported(
          "dBASE 7 (level 7) tables are not supported; only dBASE III/IV tables can be opened");
    }
  } else if ((h.version & 0x07) != 3) {
    char buf[8];
    std::snprintf(buf, sizeof(buf), "0x%02X", h.version);
    return Status::NotSupported(std::string("unknown table version byte ") + buf +
                                "; only dBASE III/IV tables can be opened");
  }
  h.year = static_cast<uint8_t>(p[1]);
  h.month = static_cast<uint8_t>(p[2]);
  h.day = static_cast<uint8_t>(p[3]);
  h.record_count = GetU32(p + 4);
  h.header_length = GetU16(p + 8);
  h.record_length = GetU16(p + 10);
  h.production_index = static_cast<uint8_t>(p[28]);
  h.language_driver = static_cast<uint8_t>(p[29]);

  if (h.header_length < kFileHeaderSize + kDescriptorSize + 1) {
    return Bad("header length " + std::to_string(h.header_length) + " is too small");
  }
  if (h.header_length > file_size || h.header_length > bytes.size()) {
    return Bad("header length " + std::to_string(h.header_length) +
               " runs past the end of the file");
  }
  if (h.record_length < 2) {
    return Bad("record length " + std::to_string(h.record_length) + " is too small");
  }

  uint32_t offset = 1;  // the deletion flag comes first
  size_t pos = kFileHeaderSize;
  while (true) {
    if (pos >= h.header_length) return Bad("field descriptors run past the header length");
    if (p[pos] == kHeaderTerminator) break;
    if (pos + kDescriptorSize > h.header_length) {
      return Bad("field descriptors run past the header length");
    }
    const char* d = p + pos;
    FieldDescriptor f;
    size_t n = 0;
    while (n < 11 && d[n] != '\0') ++n;
    f.name.assign(d, n);
    while (!f.name.empty() && f.name.back() == ' ') f.name.pop_back();
    f.type = d[11];
    f.length = static_cast<uint8_t>(d[16]);
    f.decimals = static_cast<uint8_t>(d[17]);
    f.offset = offset;
    f.reserved.assign(d + 12, kDescriptorSize - 12);
    if (f.name.empty()) return Bad("field " + std::to_string(h.fields.size() + 1) + " has no name");
    if (f.length == 0) return Bad("field " + f.name + " has length 0");
    offset += f.length;
    h.fields.push_back(std::move(f));
    pos += kDescriptorSize;
  }
  if (h.fields.empty()) return Bad("the table has no fields");
  if (offset != h.record_length) {
    return Bad("record length " + std::to_string(h.record_length) +
               " does not match the fields (which need " + std::to_string(offset) + ")");
  }
  if (h.data_end() > file_size) {
    return Bad("the file is shorter than its " + std::to_string(h.record_count) + " records");
  }
  *header = std::move(h);
  return Status::OK();
}

std::string SerializeFileHeader(const DbfHeader& h) {
  std::string out(kFileHeaderSize, '\0');
  char* p = out.data();
  p[0] = static_cast<char>(h.version);
  p[1] = static_cast<char>(h.year);
  p[2] = static_cast<char>(h.month);
  p[3] = static_cast<char>(h.day);
  PutU32(p + 4, h.record_count);
  PutU16(p + 8, h.header_length);
  PutU16(p + 10, h.record_length);
  p[28] = static_cast<char>(h.production_index);
  p[29] = static_cast<char>(h.language_driver);
  return out;
}

std::string SerializeDbfHeader(const DbfHeader& h) {
  std::string out = SerializeFileHeader(h);
  for (const FieldDescriptor& f : h.fields) {
    char d[kDescriptorSize] = {};
    std::memcpy(d, f.name.data(), std::min<size_t>(f.name.size(), 10));
    if (f.reserved.size() == kDescriptorSize - 12) {
      std::memcpy(d + 12, f.reserved.data(), f.reserved.size());
    } else {
      d[20] = 0x01;  // work area id, as dBASE IV writes it
    }
    d[11] = f.type;
    d[16] = static_cast<char>(f.length);
    d[17] = static_cast<char>(f.decimals);
    out.append(d, kDescriptorSize);
  }
  out.push_back(kHeaderTerminator);
  // Writers that reserve room after the terminator keep it.
  if (out.size() < h.header_length) out.resize(h.header_length, '\0');
  return out;
}

void PutToday(char* ymd) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &now);
#else
  localtime_r(&now, &tm);
#endif
  ymd[0] = static_cast<char>(tm.tm_year);
  ymd[1] = static_cast<char>(tm.tm_mon + 1);
  ymd[2] = static_cast<char>(tm.tm_mday);
}

void StampToday(DbfHeader* header) {
  char ymd[3];
  PutToday(ymd);
  header->year = static_cast<uint8_t>(ymd[0]);
  header->month = static_cast<uint8_t>(ymd[1]);
  header->day = static_cast<uint8_t>(ymd[2]);
}

}  // namespace dbup::xbase
