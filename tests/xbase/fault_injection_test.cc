// Writes that fail part-way: the error comes back, and the file left behind
// still opens with a record count that its records back.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/env.h"
#include "support/temp_dir.h"
#include "xbase/dbf_header.h"
#include "xbase/field_codec.h"
#include "xbase/table.h"

namespace dbup::xbase {
namespace {

// Fails every write after the first `budget` ones, on every file it opens.
class FailingWritesEnv : public EnvWrapper {
 public:
  explicit FailingWritesEnv(int budget) : EnvWrapper(Env::Default()), budget_(budget) {}

  Status OpenFile(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    std::unique_ptr<File> inner;
    Status s = target()->OpenFile(path, mode, &inner);
    if (!s.ok()) return s;
    file->reset(new FailingFile(std::move(inner), &budget_));
    return Status::OK();
  }

 private:
  class FailingFile : public File {
   public:
    FailingFile(std::unique_ptr<File> inner, int* budget)
        : inner_(std::move(inner)), budget_(budget) {}
    Status ReadAt(uint64_t offset, size_t n, char* buf, size_t* got) override {
      return inner_->ReadAt(offset, n, buf, got);
    }
    Status WriteAt(uint64_t offset, const char* data, size_t n) override {
      if (*budget_ <= 0) return Status::IOError("injected write failure");
      --*budget_;
      return inner_->WriteAt(offset, data, n);
    }
    Status Size(uint64_t* size) override { return inner_->Size(size); }
    Status Truncate(uint64_t size) override {
      if (*budget_ <= 0) return Status::IOError("injected truncate failure");
      return inner_->Truncate(size);
    }
    Status Sync() override { return inner_->Sync(); }
    Status Close() override { return inner_->Close(); }

   private:
    std::unique_ptr<File> inner_;
    int* budget_;
  };

  int budget_;
};

TEST(FaultInjectionTest, FailedWritesLeaveAnOpenableConsistentTable) {
  for (int budget = 0; budget < 12; ++budget) {
    SCOPED_TRACE("writes allowed: " + std::to_string(budget));
    testing::TempDir dir;
    std::string path = dir.Path("T.DBF");
    {
      std::unique_ptr<Table> t;
      ASSERT_TRUE(Table::Create(path, {{"NAME", 'C', 200, 0}, {"NOTE", 'M', 10, 0}}, {}, &t).ok());
      for (int i = 0; i < 3000; ++i) {  // more than one cache window
        ASSERT_TRUE(t->AppendBlank().ok());
        ASSERT_TRUE(t->SetText(0, "kept " + std::to_string(i)).ok());
      }
      ASSERT_TRUE(t->Close().ok());
    }
    Status failure;
    {
      FailingWritesEnv env(budget);
      ScopedEnv scoped(&env);
      std::unique_ptr<Table> t;
      ASSERT_TRUE(Table::Open(path, {}, &t).ok());
      for (int i = 0; i < 3000 && failure.ok(); ++i) {
        failure = t->AppendBlank();
        if (failure.ok()) failure = t->SetText(1, "memo " + std::to_string(i));
      }
      if (failure.ok()) failure = t->Pack();
      Status closed = t->Close();
      if (failure.ok()) failure = closed;
    }
    EXPECT_FALSE(failure.ok());
    std::unique_ptr<Table> t;
    Status s = Table::Open(path, {true}, &t);
    ASSERT_TRUE(s.ok()) << s.ToString();
    ASSERT_GE(t->record_count(), 3000u);
    for (uint32_t r : {1u, 1500u, 3000u}) {
      ASSERT_TRUE(t->Go(r).ok());
      EXPECT_EQ(TrimBlanks(t->FieldBytes(0)), "kept " + std::to_string(r - 1));
    }
  }
}

}  // namespace
}  // namespace dbup::xbase
