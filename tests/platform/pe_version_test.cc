#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/env.h"
#include "platform/version_resource.h"
#include "support/temp_dir.h"

namespace dbup {
namespace {

std::string DataFile(const std::string& name) {
  return std::string(DBUP_SOURCE_DIR) + "/tests/boundary/data/" + name;
}

class StringSource : public ByteSource {
 public:
  explicit StringSource(std::string bytes) : bytes_(std::move(bytes)) {}
  uint64_t size() const override { return bytes_.size(); }
  bool ReadAt(uint64_t offset, size_t n, void* out) override {
    if (offset > bytes_.size() || n > bytes_.size() - offset) ADD_FAILURE() << "read out of range";
    if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
    std::memcpy(out, bytes_.data() + offset, n);
    return true;
  }

 private:
  std::string bytes_;
};

Status Parse(const std::string& bytes, FixedFileInfo* info) {
  StringSource source(bytes);
  return ParsePeFixedFileInfo(source, info);
}

std::string Slurp(const std::string& path) {
  std::string s;
  EXPECT_TRUE(ReadFileToString(path, &s).ok()) << path;
  return s;
}

TEST(PeVersionTest, ReadsProgramFilesMadeByWindowsTools) {
  struct Case {
    const char* file;
    uint32_t ms, ls;
  };
  const Case cases[] = {
      {"tandril64.exe", (1u << 16) | 98, 100},  // PE32+
      {"tandril32.exe", (2u << 16) | 24, 200},  // PE32
  };
  for (const Case& c : cases) {
    FixedFileInfo info;
    Status s = ReadFixedFileInfo(DataFile(c.file), &info);
    ASSERT_TRUE(s.ok()) << c.file << ": " << s.ToString();
    EXPECT_EQ(info.file_version_ms, c.ms) << c.file;
    EXPECT_EQ(info.file_version_ls, c.ls) << c.file;
    EXPECT_EQ(info.product_version_ms, (7u << 16) | 6) << c.file;
    EXPECT_EQ(info.product_version_ls, (5u << 16) | 4) << c.file;
  }
  FixedFileInfo info;
  EXPECT_TRUE(ReadFixedFileInfo(DataFile("noversion64.exe"), &info).IsNotFound());
  EXPECT_FALSE(ReadFixedFileInfo(DataFile("missing.exe"), &info).ok());
  EXPECT_FALSE(ReadFixedFileInfo(DataFile("tandril64.rc"), &info).ok());
}

// Every prefix of a real file: each either fails cleanly or, when the cut
// falls after everything the reader needs, gives the right version.
TEST(PeVersionTest, TruncatedFilesFailCleanly) {
  for (const char* name : {"tandril64.exe", "tandril32.exe"}) {
    std::string whole = Slurp(DataFile(name));
    FixedFileInfo good;
    ASSERT_TRUE(Parse(whole, &good).ok());
    for (size_t n = 0; n < whole.size(); ++n) {
      FixedFileInfo info;
      if (Parse(whole.substr(0, n), &info).ok()) {
        EXPECT_EQ(info.file_version_ls, good.file_version_ls) << name << " cut at " << n;
      }
    }
  }
}

// Random damage anywhere in the file must never read out of range or hang.
TEST(PeVersionTest, DamagedFilesNeverReadOutOfRange) {
  std::mt19937 rng(20261211);
  for (const char* name : {"tandril64.exe", "tandril32.exe"}) {
    std::string whole = Slurp(DataFile(name));
    for (int round = 0; round < 4000; ++round) {
      std::string bytes = whole;
      int changes = 1 + static_cast<int>(rng() % 4);
      for (int i = 0; i < changes; ++i) bytes[rng() % bytes.size()] = static_cast<char>(rng());
      FixedFileInfo info;
      Parse(bytes, &info);
    }
  }
}

// A minimal PE32 image laid out by hand, so each field the reader follows can
// be broken on purpose.
class SyntheticPe {
 public:
  static constexpr uint32_t kPe = 64;
  static constexpr uint32_t kOptional = kPe + 24;
  static constexpr uint32_t kSections = kOptional + 224;
  static constexpr uint32_t kRaw = 512;
  static constexpr uint32_t kRva = 0x1000;
  // Offsets within the resource section.
  static constexpr uint32_t kTypeDir = 0, kNameDir = 24, kLangDir = 48, kDataEntry = 72;
  static constexpr uint32_t kVersion = 88, kVersionSize = 92;

  SyntheticPe() : bytes_(kRaw + kVersion + kVersionSize, '\0') {
    Put16(0, 0x5A4D);
    Put32(0x3C, kPe);
    std::memcpy(&bytes_[kPe], "PE\0\0", 4);
    Put16(kPe + 4, 0x14c);
    Put16(kPe + 6, 1);
    Put16(kPe + 20, 224);
    Put16(kOptional, 0x10b);
    Put32(kOptional + 92, 16);
    Put32(kOptional + 96 + 16, kRva);
    Put32(kOptional + 96 + 20, kVersion + kVersionSize);
    std::memcpy(&bytes_[kSections], ".rsrc", 5);
    Put32(kSections + 8, kVersion + kVersionSize);
    Put32(kSections + 12, kRva);
    Put32(kSections + 16, kVersion + kVersionSize);
    Put32(kSections + 20, kRaw);
    Directory(kTypeDir, 16, 0x80000000u | kNameDir);
    Directory(kNameDir, 1, 0x80000000u | kLangDir);
    Directory(kLangDir, 0x409, kDataEntry);
    Put32(kRaw + kDataEntry, kRva + kVersion);
    Put32(kRaw + kDataEntry + 4, kVersionSize);
    uint32_t v = kRaw + kVersion;
    Put16(v, kVersionSize);
    Put16(v + 2, 52);
    const char16_t key[] = u"VS_VERSION_INFO";
    for (size_t i = 0; i < 16; ++i) Put16(v + 6 + 2 * static_cast<uint32_t>(i), key[i]);
    Put32(v + 40, 0xFEEF04BD);
    Put32(v + 48, (4u << 16) | 5);  // 4.5.0.100
    Put32(v + 52, 100);
  }

  void Put16(uint32_t at, uint16_t v) {
    bytes_[at] = static_cast<char>(v);
    bytes_[at + 1] = static_cast<char>(v >> 8);
  }
  void Put32(uint32_t at, uint32_t v) {
    Put16(at, static_cast<uint16_t>(v));
    Put16(at + 2, static_cast<uint16_t>(v >> 16));
  }
  // A directory with one id entry.
  void Directory(uint32_t at, uint32_t id, uint32_t target) {
    Put16(kRaw + at + 14, 1);
    Put32(kRaw + at + 16, id);
    Put32(kRaw + at + 20, target);
  }
  std::string& bytes() { return bytes_; }

 private:
  std::string bytes_;
};

TEST(PeVersionTest, SyntheticImageReads) {
  SyntheticPe pe;
  FixedFileInfo info;
  ASSERT_TRUE(Parse(pe.bytes(), &info).ok());
  EXPECT_EQ(info.file_version_ms, (4u << 16) | 5);
  EXPECT_EQ(info.file_version_ls, 100u);
}

TEST(PeVersionTest, MalformedImagesFail) {
  using P = SyntheticPe;
  struct Case {
    const char* what;
    void (*damage)(SyntheticPe&);
  };
  const Case cases[] = {
      {"no MZ", [](P& p) { p.Put16(0, 0); }},
      {"PE header offset past the end", [](P& p) { p.Put32(0x3C, 0xFFFFFFF0u); }},
      {"unknown optional header", [](P& p) { p.Put16(P::kOptional, 0x107); }},
      {"too many sections", [](P& p) { p.Put16(P::kPe + 6, 5000); }},
      {"sections past the end", [](P& p) { p.Put16(P::kPe + 20, 0xFFF0); }},
      {"no resource table", [](P& p) { p.Put32(P::kOptional + 96 + 16, 0); }},
      {"resource table outside every section",
       [](P& p) { p.Put32(P::kOptional + 96 + 16, 0x9000); }},
      {"section raw data past the end", [](P& p) { p.Put32(P::kSections + 20, 0x7FFFFFF0u); }},
      {"no RT_VERSION", [](P& p) { p.Put32(P::kRaw + P::kTypeDir + 16, 14); }},
      {"directory claims 65535 entries",
       [](P& p) {
         p.Put32(P::kRaw + P::kTypeDir + 16, 14);
         p.Put16(P::kRaw + P::kTypeDir + 14, 0xFFFF);
       }},
      {"subdirectory offset past the end",
       [](P& p) { p.Put32(P::kRaw + P::kTypeDir + 20, 0x8FFFFFFFu); }},
      {"language level points back at the root (a cycle)",
       [](P& p) { p.Put32(P::kRaw + P::kLangDir + 20, 0x80000000u); }},
      {"name level points at itself",
       [](P& p) { p.Put32(P::kRaw + P::kNameDir + 20, 0x80000000u | P::kNameDir); }},
      {"type level is a leaf", [](P& p) { p.Put32(P::kRaw + P::kTypeDir + 20, P::kDataEntry); }},
      {"data RVA past the end", [](P& p) { p.Put32(P::kRaw + P::kDataEntry, 0xFFFFFFF0u); }},
      {"data size past the end", [](P& p) { p.Put32(P::kRaw + P::kDataEntry + 4, 0xFFFFFFFFu); }},
      {"data too short", [](P& p) { p.Put32(P::kRaw + P::kDataEntry + 4, 40); }},
      {"wLength beyond the data", [](P& p) { p.Put16(P::kRaw + P::kVersion, 500); }},
      {"no fixed information", [](P& p) { p.Put16(P::kRaw + P::kVersion + 2, 0); }},
      {"wrong key", [](P& p) { p.Put16(P::kRaw + P::kVersion + 6, 'X'); }},
      {"wrong signature", [](P& p) { p.Put32(P::kRaw + P::kVersion + 40, 0xFEEF04BC); }},
  };
  for (const Case& c : cases) {
    SyntheticPe pe;
    c.damage(pe);
    FixedFileInfo info;
    EXPECT_FALSE(Parse(pe.bytes(), &info).ok()) << c.what;
  }
}

}  // namespace
}  // namespace dbup
