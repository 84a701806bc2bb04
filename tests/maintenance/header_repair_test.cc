#include "maintenance/header_repair.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/env.h"
#include "support/temp_dir.h"

namespace dbup::maintenance {
namespace {

using testing::TempDir;

// A dBASE III/IV table with two character fields of width 5: header length
// 97, record length 11. 82 records make the sound file 1000 bytes long,
// which keeps the percentages of the tail trim easy to read.
constexpr int kHeaderLength = 97;
constexpr int kRecordLength = 11;
constexpr uint32_t kCount = 82;
constexpr int kSoundSize = kHeaderLength + kCount * kRecordLength + 1;
static_assert(kSoundSize == 1000);

void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

std::string Header(uint32_t count, uint16_t record_length = kRecordLength) {
  std::string h(32, '\0');
  h[0] = 0x03;
  h[1] = 126, h[2] = 11, h[3] = 30;
  Put32(h, 4, count);
  h[8] = kHeaderLength & 0xFF, h[9] = kHeaderLength >> 8;
  h[10] = static_cast<char>(record_length & 0xFF), h[11] = static_cast<char>(record_length >> 8);
  for (const char* name : {"CODE", "NOTE"}) {
    std::string f(32, '\0');
    f.replace(0, std::string(name).size(), name);
    f[11] = 'C';
    f[16] = 5;
    h += f;
  }
  h += '\x0D';
  return h;
}

std::string Records(uint32_t first, uint32_t n) {
  std::string out;
  for (uint32_t i = first; i < first + n; ++i) {
    char rec[kRecordLength + 1];
    std::snprintf(rec, sizeof rec, " %05u%-5s", i % 100000, i % 2 ? "odd" : "even");
    out.append(rec, kRecordLength);
  }
  return out;
}

// Header claiming `count`, then `records` records, then the end byte when asked.
std::string Table(uint32_t count, uint32_t records, bool end_byte = true) {
  return Header(count) + Records(0, records) + (end_byte ? "\x1A" : "");
}

// The sound table without its end byte, then a partial record, so that the
// file is `excess` bytes longer than expected and holds no end byte where the
// records end.
std::string Tail(int excess) {
  return Table(kCount, kCount, false) + std::string(static_cast<size_t>(excess) + 1, 'x');
}

struct RepairCase {
  const char* name;
  std::string before;
  std::string after;
  bool result = true;
};

TEST(RepairTableHeaderTest, BringsCountAndEndOfFileInLineWithTheFileSize) {
  const std::string sound = Table(kCount, kCount);
  ASSERT_EQ(sound.size(), size_t{kSoundSize});
  std::string partial = Records(kCount, 1).substr(0, 4);
  const RepairCase cases[] = {
      {"sound file", sound, sound},
      {"one byte short: end byte put back, same count", Table(kCount, kCount, false), sound},
      {"one record long", Table(kCount, kCount + 1), Table(kCount + 1, kCount + 1)},
      {"three records short", Table(kCount, kCount - 3), Table(kCount - 3, kCount - 3)},
      {"three records short, no end byte", Table(kCount, kCount - 3, false),
       Table(kCount - 3, kCount - 3)},
      {"no records left, no end byte", Table(kCount, 0, false), Table(0, 0)},
      {"count far too large for the size", Table(0x7FFFFFFF, kCount), sound},
      // A partial record after the end byte is cut off.
      {"partial record after the end byte", sound + partial, sound},
      // Without the end byte at its place, a tail of up to 3 percent of the
      // expected size is cut and the end byte written; 30 of 1000 is the
      // boundary itself.
      {"partial tail of 2.9 percent", Tail(29), sound},
      {"partial tail of 3 percent", Tail(30), sound},
      {"partial tail of 3.1 percent", Tail(31), Tail(31)},
      {"file of 12 bytes", sound.substr(0, 12), sound.substr(0, 12)},
      {"empty file", "", ""},
  };
  for (const RepairCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.Path("TABLE.DBF");
    ASSERT_TRUE(WriteStringToFile(path, c.before).ok());
    EXPECT_EQ(RepairTableHeader(path), c.result);
    std::string got;
    ASSERT_TRUE(ReadFileToString(path, &got).ok());
    EXPECT_EQ(got.size(), c.after.size());
    EXPECT_TRUE(got == c.after);
  }
}

TEST(RepairTableHeaderTest, LeavesFilesItCannotReasonAboutUnchanged) {
  std::string zero_length = Header(kCount, 0) + Records(0, 3) + "\x1A";
  std::string top_bit = Table(0x80000001u, kCount - 1);
  for (const std::string& before : {zero_length, top_bit}) {
    TempDir dir;
    const std::string path = dir.Path("TABLE.DBF");
    ASSERT_TRUE(WriteStringToFile(path, before).ok());
    EXPECT_FALSE(RepairTableHeader(path));
    std::string got;
    ASSERT_TRUE(ReadFileToString(path, &got).ok());
    EXPECT_TRUE(got == before);
  }
}

// Fails every write to one file, to show a failed repair is reported.
class FailingWritesEnv : public EnvWrapper {
 public:
  FailingWritesEnv() : EnvWrapper(Env::Default()) {}
  Status OpenFile(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    Status s = target()->OpenFile(path, mode, file);
    if (s.ok()) *file = std::make_unique<ReadOnlyFile>(std::move(*file));
    return s;
  }

 private:
  class ReadOnlyFile : public File {
   public:
    explicit ReadOnlyFile(std::unique_ptr<File> f) : f_(std::move(f)) {}
    Status ReadAt(uint64_t o, size_t n, char* b, size_t* r) override {
      return f_->ReadAt(o, n, b, r);
    }
    Status WriteAt(uint64_t, const char*, size_t) override { return Status::IOError("disk full"); }
    Status Size(uint64_t* s) override { return f_->Size(s); }
    Status Truncate(uint64_t) override { return Status::IOError("disk full"); }
    Status Sync() override { return f_->Sync(); }
    Status Close() override { return f_->Close(); }

   private:
    std::unique_ptr<File> f_;
  };
};

TEST(RepairTableHeaderTest, ReportsFailedOpenAndWrites) {
  TempDir dir;
  EXPECT_FALSE(RepairTableHeader(dir.Path("MISSING.DBF")));

  const std::string path = dir.Path("TABLE.DBF");
  const std::string before = Table(kCount, kCount + 1);
  ASSERT_TRUE(WriteStringToFile(path, before).ok());
  {
    FailingWritesEnv env;
    ScopedEnv scoped(&env);
    EXPECT_FALSE(RepairTableHeader(path));
  }
  std::string got;
  ASSERT_TRUE(ReadFileToString(path, &got).ok());
  EXPECT_TRUE(got == before);
}

}  // namespace
}  // namespace dbup::maintenance
