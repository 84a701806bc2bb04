#include "xbase/table.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "xbase/field_codec.h"

namespace dbup::xbase {
namespace {

std::vector<FieldSpec> ClaimFields() {
  return {{"CLAIM", 'N', 10, 0},  {"PATIENT", 'C', 20, 0}, {"SERVED", 'D', 8, 0},
          {"CHARGE", 'N', 10, 2}, {"PAID", 'L', 1, 0},     {"NOTE", 'M', 10, 0}};
}

std::string FileBytes(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadFileToString(path, &bytes).ok());
  return bytes;
}

class TableTest : public ::testing::Test {
 protected:
  std::unique_ptr<Table> CreateClaims() {
    std::unique_ptr<Table> t;
    Status s = Table::Create(path_, ClaimFields(), {}, &t);
    EXPECT_TRUE(s.ok()) << s.ToString();
    return t;
  }
  std::unique_ptr<Table> Reopen(bool read_only = false) {
    std::unique_ptr<Table> t;
    Status s = Table::Open(path_, {read_only}, &t);
    EXPECT_TRUE(s.ok()) << s.ToString();
    return t;
  }

  testing::TempDir dir_;
  std::string path_ = dir_.Path("CLAIMS.DBF");
};

TEST_F(TableTest, CreatedFileHasTheDbaseIvLayout) {
  ASSERT_TRUE(CreateClaims()->Close().ok());
  std::string b = FileBytes(path_);
  ASSERT_EQ(b.size(), 32u + 6 * 32 + 1 + 1);
  EXPECT_EQ(static_cast<uint8_t>(b[0]), 0x8B);  // memo field present
  EXPECT_EQ(GetU32(b.data() + 4), 0u);
  EXPECT_EQ(GetU16(b.data() + 8), 32 + 6 * 32 + 1);
  EXPECT_EQ(GetU16(b.data() + 10), 1 + 10 + 20 + 8 + 10 + 1 + 10);
  EXPECT_EQ(b[32 + 6 * 32], 0x0D);
  EXPECT_EQ(b.back(), 0x1A);
  EXPECT_EQ(std::string(b.data() + 32 + 32, 7), "PATIENT");
  std::string memo = FileBytes(dir_.Path("CLAIMS.dbt"));
  ASSERT_EQ(memo.size(), 512u);
  EXPECT_EQ(GetU32(memo.data()), 1u);
  EXPECT_EQ(std::string(memo.data() + 8, 6), "CLAIMS");
  EXPECT_EQ(GetU16(memo.data() + 20), 512);
}

TEST_F(TableTest, AppendedRecordsReadBackAfterReopen) {
  {
    auto t = CreateClaims();
    for (int i = 1; i <= 3; ++i) {
      ASSERT_TRUE(t->AppendBlank().ok());
      ASSERT_TRUE(t->SetInt(0, 1000 + i).ok());
      ASSERT_TRUE(t->SetText(1, "Patient " + std::to_string(i)).ok());
      ASSERT_TRUE(t->SetText(2, "2026120" + std::to_string(i)).ok());
      ASSERT_TRUE(t->SetDouble(3, i * 10.005).ok());
      ASSERT_TRUE(t->SetText(4, i % 2 ? "T" : "F").ok());
      if (i != 2) {
        ASSERT_TRUE(t->SetText(5, "note " + std::to_string(i)).ok());
      }
    }
    ASSERT_TRUE(t->Close().ok());
  }
  std::string b = FileBytes(path_);
  EXPECT_EQ(GetU32(b.data() + 4), 3u);
  EXPECT_EQ(b.size(), 225u + 3 * 60 + 1);
  EXPECT_EQ(b.back(), 0x1A);

  auto t = Reopen();
  ASSERT_EQ(t->record_count(), 3u);
  ASSERT_TRUE(t->Go(3).ok());
  EXPECT_EQ(t->FieldBytes(0), "      1003");
  EXPECT_EQ(t->FieldBytes(1), "Patient 3           ");
  EXPECT_EQ(t->FieldBytes(3), "     30.02");  // 30.015 rounds up
  EXPECT_EQ(t->FieldBytes(4), "T");
  std::string memo;
  ASSERT_TRUE(t->GetMemo(5, &memo).ok());
  EXPECT_EQ(memo, "note 3");
  ASSERT_TRUE(t->Go(2).ok());
  EXPECT_EQ(t->FieldBytes(5), "          ");  // no memo stays blank
  ASSERT_TRUE(t->GetMemo(5, &memo).ok());
  EXPECT_EQ(memo, "");
  EXPECT_EQ(t->FindField("patient"), 1);
  EXPECT_EQ(t->FindField("NOPE"), -1);
}

TEST_F(TableTest, ChangedRecordIsStoredWhenTheTableMovesOrCloses) {
  {
    auto t = CreateClaims();
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(t->AppendBlank().ok());
    ASSERT_TRUE(t->Close().ok());
  }
  {
    auto t = Reopen();
    ASSERT_TRUE(t->Go(1).ok());
    ASSERT_TRUE(t->SetText(1, "moved away").ok());
    ASSERT_TRUE(t->Go(2).ok());  // stores record 1
    ASSERT_TRUE(t->SetText(1, "closed").ok());
    t->SetDeleted(true);
    ASSERT_TRUE(t->Close().ok());  // stores record 2
  }
  auto t = Reopen();
  ASSERT_TRUE(t->Go(1).ok());
  EXPECT_EQ(TrimBlanks(t->FieldBytes(1)), "moved away");
  EXPECT_FALSE(t->deleted());
  ASSERT_TRUE(t->Go(2).ok());
  EXPECT_EQ(TrimBlanks(t->FieldBytes(1)), "closed");
  EXPECT_TRUE(t->deleted());
  EXPECT_TRUE(t->Go(3).IsNotFound());
}

TEST_F(TableTest, FlushMakesAppendsVisibleToOtherReaders) {
  auto t = CreateClaims();
  ASSERT_TRUE(t->AppendBlank().ok());
  ASSERT_TRUE(t->SetText(1, "first").ok());
  ASSERT_TRUE(t->Flush().ok());
  std::string b = FileBytes(path_);
  EXPECT_EQ(GetU32(b.data() + 4), 1u);
  EXPECT_EQ(b.size(), 225u + 60 + 1);
  EXPECT_EQ(b.substr(225 + 11, 5), "first");
  EXPECT_EQ(b.back(), 0x1A);
}

TEST_F(TableTest, AssignFieldConvertsBetweenTypesAndWidths) {
  std::vector<FieldSpec> from_fields = {{"C10", 'C', 10, 0}, {"N102", 'N', 10, 2},
                                        {"D", 'D', 8, 0},    {"L", 'L', 1, 0},
                                        {"M", 'M', 10, 0},   {"CNUM", 'C', 10, 0}};
  std::vector<FieldSpec> to_fields = {{"C5", 'C', 5, 0},   {"N60", 'N', 6, 0},  {"N52", 'N', 5, 2},
                                      {"C12", 'C', 12, 0}, {"C3", 'C', 3, 0},   {"D", 'D', 8, 0},
                                      {"L", 'L', 1, 0},    {"M", 'M', 10, 0},   {"NUM", 'N', 8, 1},
                                      {"CD", 'C', 8, 0},   {"MEMOC", 'C', 4, 0}};
  std::unique_ptr<Table> from, to;
  ASSERT_TRUE(Table::Create(dir_.Path("FROM.DBF"), from_fields, {}, &from).ok());
  ASSERT_TRUE(Table::Create(dir_.Path("TO.DBF"), to_fields, {}, &to).ok());
  ASSERT_TRUE(from->AppendBlank().ok());
  ASSERT_TRUE(from->SetText(0, "abcdefghij").ok());
  ASSERT_TRUE(from->SetText(1, "1234.565").ok());
  ASSERT_TRUE(from->SetText(2, "20261231").ok());
  ASSERT_TRUE(from->SetText(3, "T").ok());
  ASSERT_TRUE(from->SetText(4, "memo text\r\nline 2").ok());
  ASSERT_TRUE(from->SetText(5, "  -7.25").ok());
  ASSERT_TRUE(to->AppendBlank().ok());
  struct Case {
    int to_field, from_field;
    const char* expected;
  } cases[] = {
      {0, 0, "abcde"},         // C to narrower C: cut
      {1, 1, "  1235"},        // N to fewer decimals: rounded
      {2, 1, "*****"},         // too wide: asterisks, not a wrong number
      {3, 1, "1234.57     "},  // N to C: the number's text, left-aligned
      {4, 1, "***"},           // N to a C too narrow for it
      {5, 2, "20261231"},      // D to D
      {6, 3, "T"},             // L to L
      {8, 5, "    -7.3"},      // C to N: parsed and rounded
      {9, 2, "20261231"},      // D to C
      {10, 4, "memo"},         // M to C: memo text, cut
  };
  for (const Case& c : cases) {
    to->AssignField(c.to_field, *from, c.from_field);
    EXPECT_EQ(to->FieldBytes(c.to_field), c.expected) << to->field(c.to_field).name;
  }
  ASSERT_TRUE(to->AssignField(7, *from, 4).ok());  // M to M through text
  std::string memo;
  ASSERT_TRUE(to->GetMemo(7, &memo).ok());
  EXPECT_EQ(memo, "memo text\r\nline 2");
}

TEST_F(TableTest, PackRemovesDeletedRecordsAndKeepsSurvivorsMemos) {
  {
    auto t = CreateClaims();
    for (int i = 1; i <= 5; ++i) {
      ASSERT_TRUE(t->AppendBlank().ok());
      ASSERT_TRUE(t->SetInt(0, i).ok());
      ASSERT_TRUE(t->SetText(5, "memo of " + std::to_string(i)).ok());
      t->SetDeleted(i % 2 == 0);
    }
    ASSERT_TRUE(t->Close().ok());
  }
  struct PackWatcher : RecordObserver {
    Status OnAppend(uint32_t, const char*) override { return Status::OK(); }
    Status OnUpdate(uint32_t, const char*, const char*) override { return Status::OK(); }
    Status OnPack() override {
      ++packs;
      return Status::OK();
    }
    int packs = 0;
  } watcher;
  {
    auto t = Reopen();
    t->AddObserver(&watcher);
    ASSERT_TRUE(t->Pack().ok());
    EXPECT_EQ(watcher.packs, 1);
    ASSERT_TRUE(t->Close().ok());
  }
  EXPECT_EQ(FileBytes(path_).size(), 225u + 3 * 60 + 1);
  auto t = Reopen();
  ASSERT_EQ(t->record_count(), 3u);
  for (uint32_t r = 1; r <= 3; ++r) {
    ASSERT_TRUE(t->Go(r).ok());
    EXPECT_EQ(t->GetInt(0), static_cast<int64_t>(2 * r - 1));
    std::string memo;
    ASSERT_TRUE(t->GetMemo(5, &memo).ok());
    EXPECT_EQ(memo, "memo of " + std::to_string(2 * r - 1));
  }
}

TEST_F(TableTest, ObserversSeeAppendsAndOldAndNewRecords) {
  struct Recorder : RecordObserver {
    Status OnAppend(uint32_t recno, const char* record) override {
      events.push_back("append " + std::to_string(recno) + " [" + std::string(record + 1, 5) + "]");
      return Status::OK();
    }
    Status OnUpdate(uint32_t recno, const char* old_record, const char* new_record) override {
      events.push_back("update " + std::to_string(recno) + " [" + std::string(old_record + 1, 5) +
                       "] -> [" + std::string(new_record + 1, 5) + "]");
      return Status::OK();
    }
    std::vector<std::string> events;
  } recorder;
  std::unique_ptr<Table> t;
  ASSERT_TRUE(Table::Create(path_, {{"NAME", 'C', 5, 0}}, {}, &t).ok());
  t->AddObserver(&recorder);
  ASSERT_TRUE(t->AppendBlank().ok());
  ASSERT_TRUE(t->SetText(0, "ab").ok());
  ASSERT_TRUE(t->WriteCurrent().ok());
  ASSERT_TRUE(t->SetText(0, "cd").ok());
  ASSERT_TRUE(t->AppendBlank().ok());  // stores the change first
  t->RemoveObserver(&recorder);
  ASSERT_TRUE(t->SetText(0, "zz").ok());
  ASSERT_TRUE(t->Close().ok());
  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{"append 1 [     ]", "update 1 [     ] -> [ab   ]",
                                      "update 1 [ab   ] -> [cd   ]", "append 2 [     ]"}));
}

TEST_F(TableTest, ReadOnlyTableRefusesWrites) {
  {
    auto t = CreateClaims();
    ASSERT_TRUE(t->AppendBlank().ok());
    ASSERT_TRUE(t->Close().ok());
  }
  std::string before = FileBytes(path_);
  auto t = Reopen(/*read_only=*/true);
  EXPECT_FALSE(t->AppendBlank().ok());
  ASSERT_TRUE(t->Go(1).ok());
  ASSERT_TRUE(t->SetText(1, "x").ok());
  EXPECT_FALSE(t->WriteCurrent().ok());
  EXPECT_FALSE(t->SetProductionIndexFlag(1).ok());
  t->Close();
  EXPECT_EQ(FileBytes(path_), before);
}

// Counts the writes of every file it opens.
class CountingEnv : public EnvWrapper {
 public:
  CountingEnv() : EnvWrapper(Env::Default()) {}
  Status OpenFile(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    std::unique_ptr<File> inner;
    Status s = target()->OpenFile(path, mode, &inner);
    if (s.ok()) file->reset(new CountingFile(std::move(inner), &writes));
    return s;
  }
  int writes = 0;

 private:
  class CountingFile : public File {
   public:
    CountingFile(std::unique_ptr<File> inner, int* writes)
        : inner_(std::move(inner)), writes_(writes) {}
    Status ReadAt(uint64_t offset, size_t n, char* buf, size_t* got) override {
      return inner_->ReadAt(offset, n, buf, got);
    }
    Status WriteAt(uint64_t offset, const char* data, size_t n) override {
      ++*writes_;
      return inner_->WriteAt(offset, data, n);
    }
    Status Size(uint64_t* size) override { return inner_->Size(size); }
    Status Truncate(uint64_t size) override { return inner_->Truncate(size); }
    Status Sync() override { return inner_->Sync(); }
    Status Close() override { return inner_->Close(); }

   private:
    std::unique_ptr<File> inner_;
    int* writes_;
  };
};

TEST_F(TableTest, SequentialAppendsWriteInLargePieces) {
  CountingEnv env;
  {
    ScopedEnv scoped(&env);
    auto t = CreateClaims();
    for (int i = 0; i < 2000; ++i) {
      ASSERT_TRUE(t->AppendBlank().ok());
      ASSERT_TRUE(t->SetText(1, "patient").ok());
      ASSERT_TRUE(t->SetText(5, "a short memo").ok());
    }
    ASSERT_TRUE(t->Close().ok());
  }
  // 2000 records of 60 bytes and 2000 one-block memos (1 MB): a few dozen
  // writes, not one per record or per field.
  EXPECT_LT(env.writes, 20);
  auto t = Reopen();
  ASSERT_EQ(t->record_count(), 2000u);
  ASSERT_TRUE(t->Go(1234).ok());
  std::string memo;
  ASSERT_TRUE(t->GetMemo(5, &memo).ok());
  EXPECT_EQ(memo, "a short memo");
}

TEST_F(TableTest, CreateRejectsFieldsOtherProgramsCouldNotRead) {
  struct Case {
    std::vector<FieldSpec> fields;
  } cases[] = {
      {{}},
      {{{"TOOLONGNAME", 'C', 5, 0}}},
      {{{"1ST", 'C', 5, 0}}},
      {{{"A", 'C', 0, 0}}},
      {{{"A", 'C', 255, 0}}},
      {{{"A", 'N', 21, 0}}},
      {{{"A", 'N', 5, 4}}},
      {{{"A", 'D', 6, 0}}},
      {{{"A", 'X', 5, 0}}},
      {{{"A", 'C', 5, 0}, {"a", 'C', 5, 0}}},
  };
  for (const Case& c : cases) {
    std::unique_ptr<Table> t;
    EXPECT_TRUE(Table::Create(path_, c.fields, {}, &t).IsInvalidArgument());
  }
}

TEST_F(TableTest, HeaderFlagsOfOpenedTablesSurvive) {
  {
    std::unique_ptr<Table> t;
    CreateOptions options;
    options.language_driver = 0x57;
    ASSERT_TRUE(Table::Create(path_, {{"A", 'C', 5, 0}}, options, &t).ok());
    ASSERT_TRUE(t->SetProductionIndexFlag(1).ok());
    ASSERT_TRUE(t->Close().ok());
  }
  auto t = Reopen();
  EXPECT_EQ(t->production_index_flag(), 1);
  EXPECT_EQ(t->language_driver(), 0x57);
  ASSERT_TRUE(t->AppendBlank().ok());
  ASSERT_TRUE(t->Close().ok());
  std::string b = FileBytes(path_);
  EXPECT_EQ(b[28], 1);
  EXPECT_EQ(b[29], 0x57);
}

}  // namespace
}  // namespace dbup::xbase
