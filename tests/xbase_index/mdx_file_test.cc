#include "xbase/mdx_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "mem_table.h"
#include "platform/path.h"
#include "support/temp_dir.h"

namespace dbup::xbase {
namespace {

using testing::MemTable;

// Entries a tag must hold, computed from the records the slow, obvious way.
std::vector<std::pair<std::string, uint32_t>> Expected(const MemTable& t, const Tag& tag) {
  std::vector<std::pair<std::string, uint32_t>> out;
  for (uint32_t r = 1; r <= t.count(); ++r) {
    std::string key;
    bool in = false;
    EXPECT_TRUE(tag.KeyFor(t.Record(r), &key, &in).ok());
    if (in) out.emplace_back(key, r);
  }
  std::stable_sort(out.begin(), out.end(),
                   [&](const auto& a, const auto& b) { return tag.Compare(a.first, b.first) < 0; });
  if (tag.unique()) {
    auto last = std::unique(out.begin(), out.end(), [&](const auto& a, const auto& b) {
      return tag.Compare(a.first, b.first) == 0;
    });
    out.erase(last, out.end());
  }
  return out;
}

void ExpectTagHolds(MdxFile* mdx, const MemTable& t, const char* tag_name) {
  Tag* tag = mdx->FindTag(tag_name);
  ASSERT_NE(tag, nullptr) << tag_name;
  std::vector<TagEntry> got;
  ASSERT_TRUE(mdx->ReadAll(tag, &got).ok());
  auto want = Expected(t, *tag);
  ASSERT_EQ(got.size(), want.size()) << tag_name;
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(got[i].key, want[i].first) << tag_name << " entry " << i;
    ASSERT_EQ(got[i].recno, want[i].second) << tag_name << " entry " << i;
  }
}

// Under key maintenance a unique tag keeps the key of the record that got it
// first, and loses it when that record changes (as dBASE does), so only its
// soundness can be checked: distinct keys in order, each its record's key.
void ExpectUniqueTagSound(MdxFile* mdx, const MemTable& t, const char* tag_name) {
  Tag* tag = mdx->FindTag(tag_name);
  std::vector<TagEntry> got;
  ASSERT_TRUE(mdx->ReadAll(tag, &got).ok());
  for (size_t i = 0; i < got.size(); ++i) {
    std::string key;
    bool in = false;
    ASSERT_TRUE(tag->KeyFor(t.Record(got[i].recno), &key, &in).ok());
    EXPECT_EQ(key, got[i].key) << tag_name << " entry " << i;
    if (i > 0) {
      EXPECT_LT(tag->Compare(got[i - 1].key, got[i].key), 0) << tag_name << " entry " << i;
    }
  }
}

class MdxFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table_.AddField("NAME", 'C', 10);
    table_.AddField("AMT", 'N', 8, 2);
    table_.AddField("DUE", 'D', 8);
    table_.AddField("CLAIM", 'N', 10);
    table_.AddField("TYPE", 'C', 2);
    path_ = dir_.Path("CUST.MDX");
  }

  void FillRandom(int n, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int i = 0; i < n; ++i) table_.Append(RandomValues(rng), rng() % 10 == 0);
  }

  std::vector<std::string> RandomValues(std::mt19937& rng) {
    static const char* names[] = {"Miller", "Adams", "Baker", "adams", "Zed", "", "Ng", "Ortiz"};
    std::string name = std::string(names[rng() % 8]) + std::to_string(rng() % 7);
    std::string amt = DecimalNumber::FromInt(static_cast<int>(rng() % 20001) - 10000)
                          .Divide(DecimalNumber::FromInt(100), &ok_)
                          .ToFixed(2);
    std::string due = rng() % 9 == 0 ? "" : DtosFromJulianDay(2440000 + rng() % 20000);
    return {name, amt, due, std::to_string(rng() % 500), rng() % 2 ? "A" : "B"};
  }

  std::vector<TagSpec> Specs() {
    return {
        {"NAME", "UPPER(NAME)", "", false, false},
        {"AMT", "AMT", "", false, false},
        {"DUE", "DUE", ".NOT. DELETED()", false, false},
        {"CLMTYPE", "STR(CLAIM,10)+TYPE", "", false, false},
        {"UNAME", "NAME", "", true, false},
        {"DAMT", "AMT", "AMT > 0", false, true},
    };
  }

  void ExpectAllTags(MdxFile* mdx, bool maintained = false) {
    for (const TagSpec& s : Specs()) {
      if (maintained && s.unique) {
        ExpectUniqueTagSound(mdx, table_, s.name.c_str());
      } else {
        ExpectTagHolds(mdx, table_, s.name.c_str());
      }
    }
  }

  bool ok_ = false;
  dbup::testing::TempDir dir_;
  MemTable table_;
  std::string path_;
};

TEST_F(MdxFileTest, RebuildSortsEveryTagAndSurvivesReopen) {
  FillRandom(3000, 1);
  std::unique_ptr<MdxFile> mdx;
  ASSERT_TRUE(MdxFile::Create(path_, "CUST", table_.layout(), Specs(), 0, &mdx).ok());
  ASSERT_TRUE(mdx->Rebuild(table_.Scan()).ok());
  ExpectAllTags(mdx.get());
  ASSERT_TRUE(mdx->Close().ok());

  ASSERT_TRUE(MdxFile::Open(path_, false, &mdx).ok());
  ASSERT_TRUE(mdx->Bind(table_.layout()).ok());
  EXPECT_EQ(mdx->tag_count(), 6);
  EXPECT_TRUE(mdx->FindTag("damt")->descending());
  EXPECT_TRUE(mdx->FindTag("UNAME")->unique());
  EXPECT_EQ(mdx->FindTag("DUE")->filter_text(), ".NOT. DELETED()");
  ExpectAllTags(mdx.get());
  uint64_t size = 0;
  ASSERT_TRUE(Env::Current()->GetFileSize(path_, &size).ok());
  EXPECT_EQ(size, uint64_t{mdx->page_count()} * 512);
}

// A truncated file: while every tag header survives, the index opens with
// the cut-off tag marked damaged, refuses whatever needs that tree and any
// key change, and a rebuild makes it whole. A cut into a tag header leaves
// nothing to rebuild from, so the file is refused.
TEST_F(MdxFileTest, TruncatedTreeOpensDamagedAndRebuildRepairsIt) {
  FillRandom(3000, 4);
  std::unique_ptr<MdxFile> mdx;
  ASSERT_TRUE(MdxFile::Create(path_, "CUST", table_.layout(), Specs(), 0, &mdx).ok());
  ASSERT_TRUE(mdx->Rebuild(table_.Scan()).ok());
  const uint64_t block = mdx->block_size();
  ASSERT_TRUE(mdx->Close().ok());
  std::string good;
  ASSERT_TRUE(ReadFileToString(path_, &good).ok());
  // Tags are written one after another, each header before its tree; the
  // tag table gives the last header's page.
  uint64_t last_header = 0;
  for (int b = 3; b >= 0; --b)
    last_header = last_header << 8 | static_cast<unsigned char>(good[544 + 32 * 5 + b]);
  ASSERT_GT(good.size(), last_header * 512 + block);

  struct Case {
    const char* what;
    uint64_t size;
    bool opens;
  } cases[] = {
      {"last page cut off", good.size() - 512, true},
      {"whole last tree cut off", last_header * 512 + block, true},
      {"inside the last tag header", last_header * 512 + 300, false},
      {"inside the file header", 1024, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteStringToFile(path_, good.substr(0, c.size)).ok());
    Status s = MdxFile::Open(path_, false, &mdx);
    if (!c.opens) {
      EXPECT_TRUE(s.IsCorruption()) << s.ToString();
      continue;
    }
    ASSERT_TRUE(s.ok()) << s.ToString();
    ASSERT_TRUE(mdx->Bind(table_.layout()).ok());
    Tag* cut = mdx->tag(mdx->tag_count() - 1);
    EXPECT_TRUE(cut->damaged());
    EXPECT_FALSE(mdx->tag(0)->damaged());
    ExpectTagHolds(mdx.get(), table_, "NAME");  // the intact tags still read
    TagCursor c1;
    bool found = false;
    std::vector<TagEntry> all;
    const RecordRef rec = table_.Record(1);
    const Status refused[] = {
        mdx->Seek(cut, "1", &c1, &found),
        mdx->First(cut, &c1),
        mdx->Last(cut, &c1),
        mdx->ReadAll(cut, &all),
        mdx->UpdateRecord(nullptr, rec),
        mdx->InsertKey(mdx->tag(0), "ADAMS", 9999),  // could land where the cut tree points
        mdx->RemoveKey(mdx->tag(0), "ADAMS", 1),
    };
    for (const Status& r : refused) {
      EXPECT_TRUE(r.IsCorruption()) << r.ToString();
      EXPECT_NE(r.message().find(path_), std::string::npos) << r.ToString();
    }
    EXPECT_TRUE(c1.eof);
    ASSERT_TRUE(mdx->Close().ok());
    std::string after;
    ASSERT_TRUE(ReadFileToString(path_, &after).ok());
    EXPECT_EQ(after, good.substr(0, c.size));  // nothing written into it

    ASSERT_TRUE(MdxFile::Open(path_, false, &mdx).ok());
    ASSERT_TRUE(mdx->Bind(table_.layout()).ok());
    ASSERT_TRUE(mdx->Rebuild(table_.Scan()).ok());
    EXPECT_FALSE(mdx->tag(mdx->tag_count() - 1)->damaged());
    ASSERT_TRUE(mdx->InsertKey(mdx->tag(0), "ADAMS", 9999).ok());  // changes allowed again
    ASSERT_TRUE(mdx->RemoveKey(mdx->tag(0), "ADAMS", 9999).ok());
    ASSERT_TRUE(mdx->Close().ok());
    ASSERT_TRUE(MdxFile::Open(path_, false, &mdx).ok());
    ASSERT_TRUE(mdx->Bind(table_.layout()).ok());
    ExpectAllTags(mdx.get());
    ASSERT_TRUE(mdx->Close().ok());
  }
}

TEST_F(MdxFileTest, SmallBudgetMergesRunsFromTemporaryFiles) {
  FillRandom(5000, 2);
  std::unique_ptr<MdxFile> mdx;
  ASSERT_TRUE(MdxFile::Create(path_, "CUST", table_.layout(), Specs(), 0, &mdx).ok());
  ASSERT_TRUE(mdx->Rebuild(table_.Scan(), 64 * 1024).ok());
  ExpectAllTags(mdx.get());
  std::vector<std::string> names;
  ASSERT_TRUE(Env::Current()->ListDirectory(dir_.path(), ListFilter::kAll, &names).ok());
  EXPECT_EQ(names, std::vector<std::string>{"CUST.MDX"});  // no sort runs left behind
}

// Appends, changed records and deletions, checked against a full rebuild of
// the same records after every batch.
TEST_F(MdxFileTest, KeyMaintenanceMatchesRebuild) {
  std::unique_ptr<MdxFile> mdx;
  ASSERT_TRUE(MdxFile::Create(path_, "CUST", table_.layout(), Specs(), 0, &mdx).ok());
  mdx->set_cache_blocks(8);  // changed blocks go out to the file and come back
  std::mt19937 rng(3);
  for (int batch = 0; batch < 4; ++batch) {
    for (int i = 0; i < 1500; ++i) {
      if (table_.count() > 0 && rng() % 3 == 0) {
        uint32_t r = 1 + rng() % table_.count();
        std::string before(table_.Record(r).data, table_.layout().record_length);
        table_.Set(r, RandomValues(rng), rng() % 10 == 0);
        RecordRef old{before.data(), r};
        ASSERT_TRUE(mdx->UpdateRecord(&old, table_.Record(r)).ok());
      } else {
        uint32_t r = table_.Append(RandomValues(rng));
        ASSERT_TRUE(mdx->UpdateRecord(nullptr, table_.Record(r)).ok());
      }
    }
    ExpectAllTags(mdx.get(), /*maintained=*/true);
  }
  ASSERT_TRUE(mdx->Close().ok());
  ASSERT_TRUE(MdxFile::Open(path_, false, &mdx).ok());
  ASSERT_TRUE(mdx->Bind(table_.layout()).ok());
  ExpectAllTags(mdx.get(), /*maintained=*/true);
}

TEST_F(MdxFileTest, FreedBlocksAreReusedUnderRepeatedWrites) {
  FillRandom(2000, 4);
  std::unique_ptr<MdxFile> mdx;
  ASSERT_TRUE(MdxFile::Create(path_, "CUST", table_.layout(), Specs(), 0, &mdx).ok());
  ASSERT_TRUE(mdx->Rebuild(table_.Scan()).ok());
  std::mt19937 rng(5);
  uint32_t pages_after_first_round = 0;
  for (int round = 0; round < 6; ++round) {
    // Move every record's keys somewhere else and back.
    for (uint32_t r = 1; r <= table_.count(); ++r) {
      std::string before(table_.Record(r).data, table_.layout().record_length);
      table_.Set(r, RandomValues(rng));
      RecordRef old{before.data(), r};
      ASSERT_TRUE(mdx->UpdateRecord(&old, table_.Record(r)).ok());
    }
    ASSERT_TRUE(mdx->Flush().ok());
    if (round == 0) pages_after_first_round = mdx->page_count();
  }
  ExpectAllTags(mdx.get(), /*maintained=*/true);
  EXPECT_LE(mdx->page_count(), pages_after_first_round * 5 / 4);
}

TEST_F(MdxFileTest, SeekFindsPrefixesNumbersAndDates) {
  table_.Append({"Miller", "815.00", "20240131", "17", "A"});
  table_.Append({"Adams", "-12.50", "", "5", "B"});
  table_.Append({"Baker", "0.00", "19991231", "17", "B"});
  table_.Append({"Millerson", "815.00", "20240131", "17", "A"});
  std::unique_ptr<MdxFile> mdx;
  ASSERT_TRUE(MdxFile::Create(path_, "CUST", table_.layout(), Specs(), 0, &mdx).ok());
  ASSERT_TRUE(mdx->Rebuild(table_.Scan()).ok());
  struct Case {
    const char* tag;
    const char* text;
    bool found;
    uint32_t recno;  // 0: end of file
  } cases[] = {
      {"NAME", "MILLER", true, 1},
      {"NAME", "MILLERSON", true, 4},
      {"NAME", "B", true, 3},
      {"NAME", "C", false, 1},
      {"NAME", "ZZ", false, 0},
      {"AMT", "815", true, 1},
      {"AMT", "-12.5", true, 2},
      {"AMT", "1", false, 1},
      {"AMT", "0.00", true, 3},
      {"DUE", "19991231", true, 3},
      {"DUE", "20000101", false, 1},
      {"CLMTYPE", "        17A", true, 1},
      {"CLMTYPE", "        17B", true, 3},
      {"DAMT", "815", true, 1},
      {"DAMT", "100", false, 0},
  };
  for (const Case& c : cases) {
    Tag* tag = mdx->FindTag(c.tag);
    std::string key;
    ASSERT_TRUE(SearchKeyFromText(tag->key_type(), c.text, &key).ok());
    TagCursor cur;
    bool found = false;
    ASSERT_TRUE(mdx->Seek(tag, key, &cur, &found).ok());
    EXPECT_EQ(found, c.found) << c.tag << " " << c.text;
    EXPECT_EQ(cur.eof ? 0u : cur.recno, c.recno) << c.tag << " " << c.text;
  }
  // Equal keys follow in record order, and Prev walks back.
  Tag* amt = mdx->FindTag("AMT");
  TagCursor cur;
  bool found = false;
  ASSERT_TRUE(mdx->Seek(amt, EncodeNumericKey(DecimalNumber::FromInt(815)), &cur, &found).ok());
  ASSERT_TRUE(mdx->Next(&cur).ok());
  EXPECT_EQ(cur.recno, 4u);
  ASSERT_TRUE(mdx->Next(&cur).ok());
  EXPECT_TRUE(cur.eof);
  ASSERT_TRUE(mdx->Last(amt, &cur).ok());
  std::vector<uint32_t> back;
  while (!cur.eof) {
    back.push_back(cur.recno);
    ASSERT_TRUE(mdx->Prev(&cur).ok());
  }
  EXPECT_EQ(back, (std::vector<uint32_t>{4, 1, 3, 2}));
}

TEST_F(MdxFileTest, CreateRefusesBadTags) {
  std::vector<std::vector<TagSpec>> bad = {
      {{"NAME", "NOSUCH", "", false, false}},
      {{"NAME", "NAME", "AMT", false, false}},  // FOR not logical
      {{"NAME", "AMT > 0", "", false, false}},  // logical key
      {{"TOOLONGNAME1", "NAME", "", false, false}},
      {{"NAME", "NAME", "", false, false}, {"name", "AMT", "", false, false}},
      {{"WIDE", "NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME", "", false, false}},
  };
  for (const auto& specs : bad) {
    std::unique_ptr<MdxFile> mdx;
    EXPECT_FALSE(MdxFile::Create(path_, "CUST", table_.layout(), specs, 0, &mdx).ok())
        << specs[0].name << " " << specs[0].expression;
    EXPECT_FALSE(Env::Current()->FileExists(path_));
  }
}

// ---------------------------------------------------------------------------
// Files built byte by byte

std::string U32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}
std::string U16(uint16_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8)};
}

struct HandMade {
  int pages_per_block = 4;  // 2048-byte blocks, not the default
  std::string bytes;

  int block() const { return pages_per_block * 512; }
  void Put(size_t at, const std::string& s) {
    if (bytes.size() < at + s.size()) bytes.resize(at + s.size(), '\0');
    bytes.replace(at, s.size(), s);
  }
  // One character tag NAME (key C10) with a two-level tree.
  void Build() {
    bytes.assign(2048, '\0');
    Put(0, "\x02\x7c\x05\x11");
    Put(4, "CUST");
    Put(20, U16(pages_per_block) + U16(block()));
    Put(24, "\x01\x30\x20");
    Put(28, U16(1));
    uint32_t header = 4, left = header + pages_per_block, right = left + pages_per_block,
             root = right + pages_per_block, count = root + pages_per_block;
    Put(32, U32(count));
    Put(529, "\x01");
    Put(544, U32(header) + "NAME");
    Put(544 + 15, "\x10");
    Put(544 + 19,
        "\x02"
        "C");
    size_t h = header * 512;
    Put(h, U32(root) + U32(3 * pages_per_block));
    Put(h + 8,
        "\x10"
        "C");
    Put(h + 12, U16(10) + U16((block() - 12) / 16) + U16(0) + U16(16));
    Put(h + 24, std::string("NAME") + '\0');
    auto entry = [&](size_t at, uint32_t ptr, const std::string& key) {
      std::string k = key;
      k.resize(10, ' ');
      Put(at, U32(ptr) + k);
    };
    size_t l = left * 512;
    Put(l, U32(2));
    entry(l + 8, 2, "Adams");
    entry(l + 24, 3, "Baker");
    size_t r = right * 512;
    Put(r, U32(1));
    entry(r + 8, 1, "Miller");
    size_t t = root * 512;
    Put(t, U32(1));
    entry(t + 8, left, "Baker");
    Put(t + 24, U32(right));
    bytes.resize(count * 512, '\0');
  }
};

class HandMadeMdxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table_.AddField("NAME", 'C', 10);
    table_.Append({"Miller"});
    table_.Append({"Adams"});
    table_.Append({"Baker"});
    file_.Build();
  }
  Status OpenFile(std::unique_ptr<MdxFile>* mdx) {
    Status s = WriteStringToFile(dir_.Path("CUST.MDX"), file_.bytes);
    if (s.ok()) s = MdxFile::Open(dir_.Path("CUST.MDX"), false, mdx);
    if (s.ok()) s = (*mdx)->Bind(table_.layout());
    if (s.ok()) {
      std::vector<TagEntry> all;
      s = (*mdx)->ReadAll((*mdx)->tag(0), &all);
    }
    return s;
  }
  dbup::testing::TempDir dir_;
  MemTable table_;
  HandMade file_;
};

TEST_F(HandMadeMdxTest, ReadsAnotherBlockSizeAndWritesIntoIt) {
  std::unique_ptr<MdxFile> mdx;
  ASSERT_TRUE(OpenFile(&mdx).ok());
  EXPECT_EQ(mdx->block_size(), 2048);
  std::vector<TagEntry> all;
  ASSERT_TRUE(mdx->ReadAll(mdx->tag(0), &all).ok());
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].recno, 2u);
  EXPECT_EQ(all[2].key, "Miller    ");
  uint32_t r = table_.Append({"Carter"});
  ASSERT_TRUE(mdx->UpdateRecord(nullptr, table_.Record(r)).ok());
  ExpectTagHolds(mdx.get(), table_, "NAME");
  ASSERT_TRUE(mdx->Rebuild(table_.Scan()).ok());
  EXPECT_EQ(mdx->block_size(), 2048);
  ExpectTagHolds(mdx.get(), table_, "NAME");
}

TEST_F(HandMadeMdxTest, DamagedFilesGiveErrorsNotCrashes) {
  const uint32_t root_page = 16, left_page = 8;
  struct Case {
    const char* what;
    size_t at;
    std::string bytes;
  } cases[] = {
      {"child past the end", root_page * 512 + 8, U32(4000)},
      {"root past the end", 4 * 512, U32(999999)},
      {"cycle", root_page * 512 + 24, U32(root_page)},
      {"key count beyond the block", left_page * 512, U32(5000)},
      {"key length beyond the block", 4 * 512 + 12, U16(3000)},
      {"unknown key type", 4 * 512 + 9, "X"},
      {"numeric key of the wrong length", 4 * 512 + 9, "N"},
      {"dBASE 7 index", 0, "\x03"},
      {"not an index", 0, "\x41"},
      {"block size mismatch", 22, U16(1000)},
      {"tag header past the end", 544, U32(70000)},
      {"too many tags", 28, U16(300)},
  };
  for (const Case& c : cases) {
    HandMade damaged = file_;
    damaged.Put(c.at, c.bytes);
    ASSERT_TRUE(WriteStringToFile(dir_.Path("CUST.MDX"), damaged.bytes).ok());
    std::unique_ptr<MdxFile> mdx;
    Status s = MdxFile::Open(dir_.Path("CUST.MDX"), false, &mdx);
    if (s.ok()) s = mdx->Bind(table_.layout());
    if (s.ok()) {
      std::vector<TagEntry> all;
      s = mdx->ReadAll(mdx->tag(0), &all);
    }
    if (s.ok()) {
      TagCursor cur;
      bool found;
      s = mdx->Seek(mdx->tag(0), "Miller", &cur, &found);
    }
    EXPECT_FALSE(s.ok()) << c.what;
    if (std::string(c.what) == "dBASE 7 index") {
      EXPECT_TRUE(s.IsNotSupported()) << s.ToString();
    }
  }
  // A file cut inside its root block, and an expression the engine cannot
  // evaluate.
  std::unique_ptr<MdxFile> mdx;
  HandMade intact = file_;
  file_.bytes.resize(18 * 512);
  EXPECT_TRUE(OpenFile(&mdx).IsCorruption());
  file_ = intact;
  file_.Put(4 * 512 + 24, std::string("SOUNDEX(NAME)") + '\0');
  EXPECT_TRUE(OpenFile(&mdx).IsNotSupported());
}

}  // namespace
}  // namespace dbup::xbase

namespace dbup::xbase {
namespace {

// Indexes written by other programs (see the samples' PROVENANCE.md).
TEST(SampleMdxTest, ReadsIndexesOfOtherWriters) {
  std::string shared = dbup::testing::SharedDir();
  if (shared.empty()) GTEST_SKIP() << "shared samples absent";
  struct Case {
    const char* file;
    const char* tag;
    size_t keys;
    bool descending;
    const char* first_key;
  } cases[] = {
      {"samples/tdbf/current/disco.mdx", "AUTHOR", 1561, false, "\"D\"TRAIN"},
      {"samples/tdbf/old-683e037/disco.mdx", "AUTHOR", 1561, true, nullptr},
      {"samples/tdbf/current/tdbf_demo.mdx", "ID", 17, false, nullptr},
      {"samples/tdbf/old-683e037/tdbf_demo.mdx", "ID", 17, false, nullptr},
  };
  for (const Case& c : cases) {
    std::unique_ptr<MdxFile> mdx;
    Status s = MdxFile::Open(shared + c.file, /*read_only=*/true, &mdx);
    ASSERT_TRUE(s.ok()) << c.file << ": " << s.ToString();
    Tag* tag = mdx->FindTag(c.tag);
    ASSERT_NE(tag, nullptr) << c.file;
    EXPECT_EQ(tag->descending(), c.descending) << c.file;
    std::vector<TagEntry> all;
    ASSERT_TRUE(mdx->ReadAll(tag, &all).ok()) << c.file;
    EXPECT_EQ(all.size(), c.keys) << c.file;
    for (size_t i = 1; i < all.size(); ++i) {
      ASSERT_LE(tag->Compare(all[i - 1].key, all[i].key), 0) << c.file << " entry " << i;
    }
    if (c.first_key != nullptr) {
      EXPECT_EQ(all[0].key.substr(0, 8), c.first_key) << c.file;
    }
  }
  // A header-only index with no tags opens and has none.
  std::unique_ptr<MdxFile> mdx;
  ASSERT_TRUE(MdxFile::Open(shared + "samples/xbasej/odd-truncated-mdx/test.mdx", true, &mdx).ok());
  EXPECT_EQ(mdx->tag_count(), 0);
}

}  // namespace
}  // namespace dbup::xbase

namespace dbup::xbase {
namespace {

// Random damage anywhere in a three-level file: whatever the bytes say,
// opening, reading, seeking and changing keys end in a status.
TEST(CorruptMdxTest, RandomDamageNeverCrashes) {
  dbup::testing::TempDir dir;
  MemTable table;
  table.AddField("NAME", 'C', 30);
  table.AddField("AMT", 'N', 8, 2);
  std::mt19937 rng(99);
  for (int i = 0; i < 1500; ++i) {
    table.Append({"name" + std::to_string(rng() % 5000), std::to_string(rng() % 9999)});
  }
  std::string path = dir.Path("T.MDX");
  std::unique_ptr<MdxFile> mdx;
  ASSERT_TRUE(MdxFile::Create(path, "T", table.layout(),
                              {{"NAME", "NAME", "", false, false}, {"AMT", "AMT", "", true, false}},
                              0, &mdx)
                  .ok());
  ASSERT_TRUE(mdx->Rebuild(table.Scan()).ok());
  ASSERT_TRUE(mdx->Close().ok());
  std::string good;
  ASSERT_TRUE(ReadFileToString(path, &good).ok());
  for (int round = 0; round < 200; ++round) {
    std::string bad = good;
    int flips = 1 + static_cast<int>(rng() % 8);
    for (int k = 0; k < flips; ++k) {
      // Mostly the header area and the first blocks, where the structure is.
      size_t at = rng() % 4 == 0 ? rng() % bad.size() : rng() % std::min<size_t>(bad.size(), 8192);
      bad[at] = static_cast<char>(rng());
    }
    ASSERT_TRUE(WriteStringToFile(path, bad).ok());
    if (!MdxFile::Open(path, false, &mdx).ok()) continue;
    if (mdx->Bind(table.layout()).ok()) {
      for (int t = 0; t < mdx->tag_count(); ++t) {
        std::vector<TagEntry> all;
        mdx->ReadAll(mdx->tag(t), &all).ok();
        TagCursor c;
        bool found;
        mdx->Seek(mdx->tag(t), "name1", &c, &found).ok();
        mdx->Last(mdx->tag(t), &c).ok();
        mdx->Prev(&c).ok();
        for (uint32_t r = 1; r <= 20; ++r) {
          const RecordRef rec = table.Record(r);
          mdx->UpdateRecord(&rec, rec).ok();
          mdx->InsertKey(mdx->tag(t), std::string(30, 'x'), 5000 + r).ok();
          mdx->RemoveKey(mdx->tag(t), all.empty() ? "" : all[0].key, all.empty() ? 1 : all[0].recno)
              .ok();
        }
      }
      mdx->Rebuild(table.Scan()).ok();
    }
    mdx->Close().ok();
  }
}

}  // namespace
}  // namespace dbup::xbase
