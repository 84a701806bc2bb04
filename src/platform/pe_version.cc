// The version resource of a Portable Executable file, read without Windows.
//
// Layout (Microsoft's PE/COFF format documentation): the DOS header points at the PE
// signature; the optional header's data directory 2 gives the resource
// table's RVA; sections map RVAs to file offsets; the resource tree is
// type -> name -> language, then a data entry whose RVA and size locate the
// VS_VERSIONINFO block, whose value is VS_FIXEDFILEINFO.
#include <cstring>

#include "platform/version_resource.h"

namespace dbup {

namespace {

constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kVsVersionInfo = 1;
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr uint32_t kFixedFileInfoSize = 52;
constexpr uint16_t kMaxSections = 96;  // what older Windows loaders accept; programs use a handful
constexpr uint32_t kSubdirectoryFlag = 0x80000000u;

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct Section {
  uint32_t virtual_address;
  uint32_t virtual_size;
  uint32_t raw_size;
  uint32_t raw_offset;
};

class PeReader {
 public:
  explicit PeReader(ByteSource& src) : src_(src) {}

  Status Read(FixedFileInfo* info) {
    Status s = ReadHeaders();
    if (!s.ok()) return s;
    uint64_t version_offset = 0;
    uint32_t version_size = 0;
    s = FindVersionData(&version_offset, &version_size);
    if (!s.ok()) return s;
    return ReadFixedInfo(version_offset, version_size, info);
  }

 private:
  bool Bytes(uint64_t offset, size_t n, uint8_t* out) {
    if (offset > src_.size() || n > src_.size() - offset) return false;
    return src_.ReadAt(offset, n, out);
  }

  Status ReadHeaders() {
    uint8_t dos[64];
    if (!Bytes(0, sizeof dos, dos) || dos[0] != 'M' || dos[1] != 'Z') {
      return Status::Corruption("not a program file (no MZ header)");
    }
    uint64_t pe = Le32(dos + 0x3C);
    uint8_t coff[24];
    if (!Bytes(pe, sizeof coff, coff) || std::memcmp(coff, "PE\0\0", 4) != 0) {
      return Status::Corruption("not a PE file (no PE signature)");
    }
    uint16_t section_count = Le16(coff + 6);
    uint16_t optional_size = Le16(coff + 20);
    if (section_count > kMaxSections) return Status::Corruption("too many sections");

    uint8_t opt[2];
    if (!Bytes(pe + 24, 2, opt)) return Status::Corruption("truncated optional header");
    uint16_t magic = Le16(opt);
    uint32_t dirs_at;
    if (magic == 0x10b) {
      dirs_at = 96;  // PE32
    } else if (magic == 0x20b) {
      dirs_at = 112;  // PE32+
    } else {
      return Status::Corruption("unknown optional header magic");
    }
    uint8_t count[4];
    if (optional_size < dirs_at || !Bytes(pe + 24 + dirs_at - 4, 4, count)) {
      return Status::Corruption("truncated optional header");
    }
    uint32_t dir_count = Le32(count);
    if (dir_count <= 2 || optional_size < dirs_at + 3 * 8) {
      return Status::NotFound("no resource table");
    }
    uint8_t res_dir[8];
    if (!Bytes(pe + 24 + dirs_at + 2 * 8, 8, res_dir)) {
      return Status::Corruption("truncated data directories");
    }
    resource_rva_ = Le32(res_dir);
    if (resource_rva_ == 0 || Le32(res_dir + 4) == 0) return Status::NotFound("no resource table");

    uint64_t table = pe + 24 + optional_size;
    for (uint16_t i = 0; i < section_count; ++i) {
      uint8_t sh[40];
      if (!Bytes(table + i * 40ull, sizeof sh, sh))
        return Status::Corruption("truncated section table");
      sections_[i] = {Le32(sh + 12), Le32(sh + 8), Le32(sh + 16), Le32(sh + 20)};
    }
    section_count_ = section_count;
    return Status::OK();
  }

  // The file offset of `n` bytes at `rva`, when they lie in one section's raw data.
  bool RvaToOffset(uint32_t rva, uint64_t n, uint64_t* offset) const {
    for (uint16_t i = 0; i < section_count_; ++i) {
      const Section& s = sections_[i];
      if (rva < s.virtual_address) continue;
      uint64_t delta = rva - s.virtual_address;
      if (delta >= s.raw_size || n > s.raw_size - delta) continue;
      *offset = s.raw_offset + delta;
      return true;
    }
    return false;
  }

  // An entry of the resource directory at `dir_offset` (relative to the
  // resource table) whose id is `id`, or the first entry when id is 0.
  // Entries are bounded by the directory's two 16-bit counts.
  Status FindEntry(uint32_t dir_offset, uint32_t id, uint32_t* target) {
    uint64_t at = 0;
    uint8_t head[16];
    if (!RvaToOffset(resource_rva_ + dir_offset, sizeof head, &at) ||
        !Bytes(at, sizeof head, head)) {
      return Status::Corruption("resource directory out of the file");
    }
    uint32_t named = Le16(head + 12);
    uint32_t total = named + Le16(head + 14);
    for (uint32_t i = 0; i < total; ++i) {
      uint8_t entry[8];
      uint64_t entry_at = 0;
      if (!RvaToOffset(resource_rva_ + dir_offset + 16 + i * 8, sizeof entry, &entry_at) ||
          !Bytes(entry_at, sizeof entry, entry)) {
        return Status::Corruption("resource directory entry out of the file");
      }
      uint32_t name = Le32(entry);
      bool is_id = (name & kSubdirectoryFlag) == 0;
      if (id == 0 || (is_id && name == id)) {
        *target = Le32(entry + 4);
        return Status::OK();
      }
    }
    return Status::NotFound("no version resource");
  }

  Status FindVersionData(uint64_t* offset, uint32_t* size) {
    // type RT_VERSION -> name VS_VERSION_INFO -> first language -> data entry
    const uint32_t wanted[3] = {kRtVersion, kVsVersionInfo, 0};
    uint32_t node = 0;
    for (int level = 0; level < 3; ++level) {
      uint32_t target = 0;
      Status s = FindEntry(node, wanted[level], &target);
      if (!s.ok()) return s;
      bool subdirectory = (target & kSubdirectoryFlag) != 0;
      if (subdirectory != (level < 2)) return Status::Corruption("malformed resource tree");
      node = target & ~kSubdirectoryFlag;
    }
    uint8_t data_entry[16];
    uint64_t at = 0;
    if (!RvaToOffset(resource_rva_ + node, sizeof data_entry, &at) ||
        !Bytes(at, sizeof data_entry, data_entry)) {
      return Status::Corruption("resource data entry out of the file");
    }
    *size = Le32(data_entry + 4);
    if (!RvaToOffset(Le32(data_entry), *size, offset)) {
      return Status::Corruption("version resource out of the file");
    }
    return Status::OK();
  }

  Status ReadFixedInfo(uint64_t offset, uint32_t size, FixedFileInfo* info) {
    // VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO", padding
    // to 32 bits, then the value.
    static const char16_t kKey[] = u"VS_VERSION_INFO";
    constexpr uint32_t kKeyBytes = sizeof kKey;  // with its zero
    constexpr uint32_t kValueAt = (6 + kKeyBytes + 3) & ~3u;
    uint8_t block[kValueAt + kFixedFileInfoSize];
    if (size < sizeof block || !Bytes(offset, sizeof block, block)) {
      return Status::Corruption("version resource too short");
    }
    uint16_t length = Le16(block);
    uint16_t value_length = Le16(block + 2);
    if (length < sizeof block || length > size || value_length < kFixedFileInfoSize) {
      return Status::Corruption("version resource has no fixed file information");
    }
    for (uint32_t i = 0; i < kKeyBytes / 2; ++i) {
      if (Le16(block + 6 + 2 * i) != kKey[i])
        return Status::Corruption("not a VS_VERSION_INFO block");
    }
    const uint8_t* fixed = block + kValueAt;
    if (Le32(fixed) != kFixedFileInfoSignature) {
      return Status::Corruption("bad VS_FIXEDFILEINFO signature");
    }
    info->file_version_ms = Le32(fixed + 8);
    info->file_version_ls = Le32(fixed + 12);
    info->product_version_ms = Le32(fixed + 16);
    info->product_version_ls = Le32(fixed + 20);
    return Status::OK();
  }

  ByteSource& src_;
  uint32_t resource_rva_ = 0;
  Section sections_[kMaxSections] = {};
  uint16_t section_count_ = 0;
};

}  // namespace

Status ParsePeFixedFileInfo(ByteSource& image, FixedFileInfo* info) {
  return PeReader(image).Read(info);
}

}  // namespace dbup
