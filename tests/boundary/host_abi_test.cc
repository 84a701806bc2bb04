// The library as the host sees it: loaded by name at run time, the four
// operations found by their plain names, and a parameter block laid out byte
// by byte from the documented offsets rather than from our own header.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <vector>

#include "registry_fixture.h"
#include "support/temp_dir.h"

namespace dbup {
namespace {

namespace fs = std::filesystem;
using testing::ScopedRegistry;

using ExportFn = int32_t (*)(void*);

// The native-pointer twin of the host's layout (see boundary/param_block.h).
constexpr size_t kKeyWidthAt = 12, kValueWidthAt = 16, kCountAt = 20, kKeysAt = 24;
constexpr size_t kValuesAt = kKeysAt + sizeof(void*);
constexpr size_t kReservedAt = kValuesAt + sizeof(void*);
constexpr size_t kVersionAt = kReservedAt + 8;
constexpr size_t kBlockSize = kVersionAt + sizeof(void*);

template <typename T>
void Put(std::vector<unsigned char>& b, size_t at, T v) {
  std::memcpy(b.data() + at, &v, sizeof v);
}
template <typename T>
T Get(const std::vector<unsigned char>& b, size_t at) {
  T v;
  std::memcpy(&v, b.data() + at, sizeof v);
  return v;
}

TEST(HostAbiTest, LoadsByNameAndFillsTheBlockAtItsOffsets) {
  void* lib = dlopen(DBUP_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  const char* names[] = {"UpdateDatabaseStructures", "ReindexAllDatabaseFiles",
                         "BackupRevenueCodeChargeData", "RestoreRevenueCodeChargeData"};
  for (const char* name : names) EXPECT_NE(dlsym(lib, name), nullptr) << name;
  auto update = reinterpret_cast<ExportFn>(dlsym(lib, "UpdateDatabaseStructures"));
  ASSERT_NE(update, nullptr);

  dbup::testing::TempDir dir;
  fs::create_directories(dir.Path("app/data"));
  fs::create_directories(dir.Path("install"));
  ScopedRegistry reg(dir.Path("r.reg"),
                     {{"InstallDirectory", ScopedRegistry::Str(dir.Path("install"))},
                      {"DataDirectory", ScopedRegistry::Str(dir.Path("app/data"))}});

  const int32_t key_width = 20, value_width = 100, rows = 4;
  std::vector<char> keys(rows * key_width, '\0'), values(rows * value_width, '\0');
  std::strcpy(keys.data(), "%OTHER%");
  std::strcpy(values.data(), "kept");
  const char* version = "1.65.1.100";
  std::vector<unsigned char> block(kBlockSize, 0xAB);
  Put<int32_t>(block, kKeyWidthAt, key_width);
  Put<int32_t>(block, kValueWidthAt, value_width);
  Put<int32_t>(block, kCountAt, 1);
  Put<char*>(block, kKeysAt, keys.data());
  Put<char*>(block, kValuesAt, values.data());
  Put<const char*>(block, kVersionAt, version);
  std::vector<unsigned char> before = block;

  EXPECT_EQ(update(block.data()), -1);
  EXPECT_EQ(Get<int32_t>(block, kCountAt), 2);
  EXPECT_STREQ(keys.data() + key_width, "%DBUP_ERR%");
  EXPECT_STREQ(values.data() + value_width, "Invalid TANDRIL.EXE version number [1.65.1.100].");
  EXPECT_STREQ(values.data(), "kept");
  // Nothing else of the block changed: reserved words, widths, pointers.
  Put<int32_t>(block, kCountAt, 1);
  EXPECT_EQ(block, before);

  Put<const char*>(block, kVersionAt, "3.4.0.0");
  before = block;
  EXPECT_EQ(update(block.data()), 0);
  EXPECT_EQ(block, before);
  // Not unloaded: the sanitizer runtimes report their own bookkeeping for a
  // library closed before exit as a leak.
}

}  // namespace
}  // namespace dbup
