// A session and small tables for the engine operation tests.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/e4api.h"
#include "support/temp_dir.h"
#include "xbase/table.h"

namespace dbup::engine {

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    s_ = code4initP();
    ASSERT_NE(s_, nullptr);
    code4autoOpen(s_, 0);
    code4accessMode(s_, 1);
    code4optimizeWrite(s_, -1);
  }
  void TearDown() override { code4initUndo(s_); }

  // Creates a table whose records hold names (a record per name; a name
  // starting with '*' makes a deleted record).
  std::string MakeTable(const std::string& file, const std::vector<std::string>& names) {
    std::string path = dir_.Path(file);
    std::unique_ptr<xbase::Table> t;
    EXPECT_TRUE(
        xbase::Table::Create(
            path, {{"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 8, 2}, {"NOTE", 'M', 10, 0}}, {}, &t)
            .ok());
    for (const std::string& n : names) {
      EXPECT_TRUE(t->AppendBlank().ok());
      bool deleted = !n.empty() && n[0] == '*';
      EXPECT_TRUE(t->SetText(0, deleted ? n.substr(1) : n).ok());
      EXPECT_TRUE(t->SetText(2, "memo of " + n).ok());
      t->SetDeleted(deleted);
    }
    EXPECT_TRUE(t->Close().ok());
    return path;
  }

  std::string NameAt(const std::string& path, uint32_t recno) {
    std::unique_ptr<xbase::Table> t;
    EXPECT_TRUE(xbase::Table::Open(path, {true}, &t).ok());
    if (t == nullptr || !t->Go(recno).ok()) return "<none>";
    std::string name(t->FieldBytes(0));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
  }

  Code4* s_ = nullptr;
  testing::TempDir dir_;
};

}  // namespace dbup::engine
