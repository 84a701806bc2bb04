#include "xbase/external_sorter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "support/temp_dir.h"

namespace dbup::xbase {
namespace {

// The same records come out in the same order whether they fit in memory
// or go through many runs, on every pass.
TEST(ExternalSorterTest, RunsMergeToTheInMemoryOrder) {
  dbup::testing::TempDir dir;
  std::mt19937 rng(11);
  std::vector<std::string> records;
  for (int i = 0; i < 20000; ++i) {
    std::string r(12, '\0');
    for (char& c : r) c = static_cast<char>(rng() % 4);  // many ties in the prefix
    records.push_back(r);
  }
  std::vector<std::string> want = records;
  std::sort(want.begin(), want.end());
  for (size_t budget : {size_t{64} << 20, size_t{64} << 10}) {
    ExternalSorter sorter(dir.Path("run"), 12, 12, budget);
    for (const std::string& r : records) ASSERT_TRUE(sorter.Add(r.data()).ok());
    ASSERT_TRUE(sorter.Finish().ok());
    EXPECT_EQ(sorter.run_count() > 1, budget < (1u << 20));
    for (int pass = 0; pass < 2; ++pass) {
      ASSERT_TRUE(sorter.Rewind().ok());
      const char* r;
      size_t i = 0;
      while (sorter.Next(&r).ok() && r != nullptr) {
        ASSERT_LT(i, want.size());
        ASSERT_EQ(std::string(r, 12), want[i]) << i;
        ++i;
      }
      EXPECT_EQ(i, want.size());
    }
  }
}

}  // namespace
}  // namespace dbup::xbase
