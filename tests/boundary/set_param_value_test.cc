#include "boundary/set_param_value.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace dbup::boundary {
namespace {

// A host-style block: `rows` rows of fixed-width slots, the first `used` of
// them filled with keys "%K0%", "%K1%", ...
class Block {
 public:
  Block(int rows, int used, int key_width = 16, int value_width = 32)
      : keys_(rows * key_width, '\x7f'), values_(rows * value_width, '\x7f') {
    b_.KeyWidth = key_width;
    b_.ValueWidth = value_width;
    b_.Keys = keys_.data();
    b_.Values = values_.data();
    for (int i = 0; i < used; ++i) Set(i, "%K" + std::to_string(i) + "%", "v" + std::to_string(i));
    b_.EntryCount = used;
  }
  void Set(int row, const std::string& key, const std::string& value) {
    std::strcpy(Key(row), key.c_str());
    std::strcpy(Value(row), value.c_str());
  }
  char* Key(int row) { return keys_.data() + row * b_.KeyWidth; }
  char* Value(int row) { return values_.data() + row * b_.ValueWidth; }
  TParamBlock* get() { return &b_; }
  std::vector<char> keys_, values_;

 private:
  TParamBlock b_{};
};

TEST(SetParamValueTest, ReplacesTheFirstEqualKeyOrAppends) {
  struct Case {
    const char* what;
    int existing_row;  // row that holds existing_key, or -1
    const char* existing_key;
    int expected_row;
    int expected_count;
  };
  const Case cases[] = {
      {"key at row 3 is replaced in place", 3, "%DBUP_ERR%", 3, 5},
      {"lower-case key is another key", 3, "%dbup_err%", 5, 6},
      {"key without percent signs is another key", 1, "DBUP_ERR", 5, 6},
      {"no such key: appended", -1, "", 5, 6},
  };
  for (const Case& c : cases) {
    Block block(8, 5);
    if (c.existing_row >= 0) block.Set(c.existing_row, c.existing_key, "old");
    ASSERT_TRUE(SetParamValue(block.get(), "DBUP_ERR", "Broken.")) << c.what;
    EXPECT_EQ(block.get()->EntryCount, c.expected_count) << c.what;
    EXPECT_STREQ(block.Key(c.expected_row), "%DBUP_ERR%") << c.what;
    EXPECT_STREQ(block.Value(c.expected_row), "Broken.") << c.what;
    EXPECT_STREQ(FindParamValue(block.get(), "DBUP_ERR"), "Broken.") << c.what;
    if (c.existing_row >= 0 && c.expected_row != c.existing_row) {
      EXPECT_STREQ(block.Value(c.existing_row), "old") << c.what;
    }
  }
}

TEST(SetParamValueTest, EmptyTableGetsRowZero) {
  Block block(2, 0);
  ASSERT_TRUE(SetParamValue(block.get(), "DBUP_ERR", "x"));
  EXPECT_EQ(block.get()->EntryCount, 1);
  EXPECT_STREQ(block.Key(0), "%DBUP_ERR%");
  // Written a second time: still one row.
  ASSERT_TRUE(SetParamValue(block.get(), "DBUP_ERR", "y"));
  EXPECT_EQ(block.get()->EntryCount, 1);
  EXPECT_STREQ(block.Value(0), "y");
}

TEST(SetParamValueTest, NeverWritesPastASlot) {
  Block block(3, 1, 16, 8);
  std::vector<char> keys_before = block.keys_;
  ASSERT_TRUE(SetParamValue(block.get(), "DBUP_ERR", "a very long message"));
  EXPECT_STREQ(block.Value(1), "a very ") << "cut to ValueWidth - 1";
  EXPECT_EQ(block.Value(2)[0], '\x7f') << "the next slot is untouched";

  // A key slot too narrow for "%DBUP_ERR%" and its zero: nothing is written.
  Block narrow(3, 1, 10, 32);
  std::vector<char> before = narrow.keys_;
  EXPECT_FALSE(SetParamValue(narrow.get(), "DBUP_ERR", "x"));
  EXPECT_EQ(narrow.keys_, before);
  EXPECT_EQ(narrow.get()->EntryCount, 1);

  // A key slot without a terminating zero is compared within its width only.
  Block full(3, 0, 10, 32);
  std::memcpy(full.Key(0), "%DBUP_ERR%", 10);  // fills the slot, no zero
  full.get()->EntryCount = 1;
  EXPECT_FALSE(SetParamValue(full.get(), "DBUP_ERR", "x"));  // and is too narrow anyway

  // Blocks the library cannot write into at all.
  TParamBlock empty{};
  EXPECT_FALSE(SetParamValue(&empty, "DBUP_ERR", "x"));
  EXPECT_FALSE(SetParamValue(nullptr, "DBUP_ERR", "x"));
  Block negative(2, 0);
  negative.get()->EntryCount = -1;
  EXPECT_FALSE(SetParamValue(negative.get(), "DBUP_ERR", "x"));
}

}  // namespace
}  // namespace dbup::boundary
