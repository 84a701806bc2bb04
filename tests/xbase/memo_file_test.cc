#include "xbase/memo_file.h"

#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "xbase/dbf_header.h"

namespace dbup::xbase {
namespace {

class MemoFileTest : public ::testing::Test {
 protected:
  std::unique_ptr<MemoFile> Create() {
    std::unique_ptr<MemoFile> m;
    EXPECT_TRUE(MemoFile::Create(path_, MemoFile::Layout::kDbase4, "t", &m).ok());
    return m;
  }
  std::string Bytes() {
    std::string b;
    EXPECT_TRUE(ReadFileToString(path_, &b).ok());
    return b;
  }
  testing::TempDir dir_;
  std::string path_ = dir_.Path("T.DBT");
};

TEST_F(MemoFileTest, MemoHasSignatureLengthAndTerminator) {
  auto m = Create();
  uint32_t block = 0;
  ASSERT_TRUE(m->Write(0, "First memo\r\n", &block).ok());
  EXPECT_EQ(block, 1u);
  ASSERT_TRUE(m->Close().ok());
  std::string b = Bytes();
  ASSERT_EQ(b.size(), 1024u);
  EXPECT_EQ(GetU32(b.data()), 2u);  // next free block
  EXPECT_EQ(b.substr(512, 4), std::string("\xFF\xFF\x08\x00", 4));
  EXPECT_EQ(GetU32(b.data() + 516), 20u);  // length counts the 8 header bytes
  EXPECT_EQ(b.substr(520, 12), "First memo\r\n");
  EXPECT_EQ(b[532], 0x1F);
}

TEST_F(MemoFileTest, RewriteReusesBlocksWhenTheTextFits) {
  auto m = Create();
  uint32_t a = 0, b = 0, again = 0, grown = 0;
  ASSERT_TRUE(m->Write(0, std::string(600, 'a'), &a).ok());  // two blocks
  ASSERT_TRUE(m->Write(0, "other", &b).ok());
  EXPECT_EQ(a, 1u);
  EXPECT_EQ(b, 3u);
  ASSERT_TRUE(m->Write(a, "short now", &again).ok());
  EXPECT_EQ(again, a);
  ASSERT_TRUE(m->Write(b, std::string(1000, 'b'), &grown).ok());
  EXPECT_EQ(grown, 4u);  // did not fit: appended
  std::string text;
  ASSERT_TRUE(m->Read(again, &text).ok());
  EXPECT_EQ(text, "short now");
  ASSERT_TRUE(m->Read(grown, &text).ok());
  EXPECT_EQ(text, std::string(1000, 'b'));
  uint32_t none = 99;
  ASSERT_TRUE(m->Write(grown, "", &none).ok());
  EXPECT_EQ(none, 0u);  // empty memo: no block
}

TEST_F(MemoFileTest, TextEndingOnABlockBoundaryStaysSound) {
  auto m = Create();
  uint32_t a = 0, b = 0;
  ASSERT_TRUE(m->Write(0, std::string(512 - 8, 'x'), &a).ok());
  ASSERT_TRUE(m->Write(0, "next", &b).ok());
  EXPECT_EQ(b, a + 2);  // the terminator byte took a block of its own
  std::string text;
  ASSERT_TRUE(m->Read(a, &text).ok());
  EXPECT_EQ(text.size(), 504u);
}

TEST_F(MemoFileTest, ReadsDbase3Memos) {
  std::string b(512, '\0');
  b[0] = 3;
  b[16] = 3;
  b += "old style memo\x1A\x1A";
  b.resize(1024, '\0');
  b += std::string(600, 'y') + "\x1A\x1A";
  b.resize(2048, '\0');
  ASSERT_TRUE(WriteStringToFile(path_, b).ok());
  std::unique_ptr<MemoFile> m;
  ASSERT_TRUE(MemoFile::Open(path_, MemoFile::Layout::kDbase3, true, &m).ok());
  std::string text;
  ASSERT_TRUE(m->Read(1, &text).ok());
  EXPECT_EQ(text, "old style memo");
  ASSERT_TRUE(m->Read(2, &text).ok());
  EXPECT_EQ(text, std::string(600, 'y'));
}

TEST_F(MemoFileTest, WritesDbase3MemosForDbase3Tables) {
  std::unique_ptr<MemoFile> m;
  ASSERT_TRUE(MemoFile::Create(path_, MemoFile::Layout::kDbase3, "t", &m).ok());
  uint32_t a = 0, b = 0;
  ASSERT_TRUE(m->Write(0, "three", &a).ok());
  ASSERT_TRUE(m->Write(a, "rewritten", &b).ok());
  EXPECT_EQ(b, a + 1);  // dBASE III memos have no length to reuse blocks by
  std::string text;
  ASSERT_TRUE(m->Read(b, &text).ok());
  EXPECT_EQ(text, "rewritten");
  ASSERT_TRUE(m->Close().ok());
  std::string bytes = Bytes();
  EXPECT_EQ(bytes[16], 0x03);
  EXPECT_EQ(bytes.substr(512 * b, 11), "rewritten\x1A\x1A");
}

}  // namespace
}  // namespace dbup::xbase
