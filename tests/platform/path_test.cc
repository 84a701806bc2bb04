#include "platform/path.h"

#include <gtest/gtest.h>

namespace dbup {
namespace {

TEST(PathTest, JoinAndSplit) {
  const std::string s(1, kPathSeparator);
  EXPECT_EQ(JoinPath("a", "b.dbf"), "a" + s + "b.dbf");
  EXPECT_EQ(JoinPath("a" + s, "b.dbf"), "a" + s + "b.dbf");
  EXPECT_EQ(JoinPath("", "b.dbf"), "b.dbf");
  EXPECT_EQ(WithTrailingSeparator(""), "");
  EXPECT_EQ(WithTrailingSeparator("x\\"), "x\\");
  EXPECT_EQ(BaseName("a/b\\c.dbf"), "c.dbf");
  EXPECT_EQ(DirName("a/b\\c.dbf"), "a/b\\");
  EXPECT_EQ(DirName("c.dbf"), "");
  EXPECT_EQ(ReplaceExtension("a.b/c.dbf", ".mdx"), "a.b/c.mdx");
  EXPECT_EQ(ReplaceExtension("a.b/c", ".mdx"), "a.b/c.mdx");
  EXPECT_TRUE(EqualsIgnoreCase("SUBMIT.DBF", "submit.dbf"));
  EXPECT_FALSE(EqualsIgnoreCase("submit.dbf", "submit.dbt"));
}

}  // namespace
}  // namespace dbup
