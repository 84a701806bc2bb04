// host_standin: calls dbup.dll the way the host's installer does.
//
//   host_standin EXPORT [--version TEXT] [--dll PATH] [--locale NAME]
//
// Loads the DLL with LoadLibraryA, finds all four exports by their plain
// names with GetProcAddress, builds a parameter block byte by byte in the
// host's layout (two rows of the host's own already in use, sentinels in the
// reserved words) and calls EXPORT. Prints "result: N" and, when the block
// holds one, "DBUP_ERR: text". Exit code: 0 success, 1 the export failed,
// 2 the DLL or an export could not be found, 3 the block was changed in a
// way the host does not allow (any change on success; on failure anything
// beyond the one appended or replaced DBUP_ERR row).
#include <windows.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using ExportFn = int32_t(__stdcall*)(void*);

constexpr const char* kExports[] = {"UpdateDatabaseStructures", "ReindexAllDatabaseFiles",
                                    "BackupRevenueCodeChargeData", "RestoreRevenueCodeChargeData"};

// The host's record: three reserved words, KeyWidth, ValueWidth, EntryCount,
// Keys, Values, two reserved words, VersionText; pointers of the platform's
// width, no padding (every field falls on its natural boundary).
struct Layout {
  static constexpr size_t kPtr = sizeof(void*);
  static constexpr size_t kKeyWidth = 12;
  static constexpr size_t kValueWidth = 16;
  static constexpr size_t kEntryCount = 20;
  static constexpr size_t kKeys = 24;
  static constexpr size_t kValues = kKeys + kPtr;
  static constexpr size_t kReserved8 = kValues + kPtr;
  static constexpr size_t kReserved9 = kReserved8 + 4;
  static constexpr size_t kVersionText = kReserved9 + 4;
  static constexpr size_t kSize = kVersionText + kPtr;
};
static_assert(sizeof(void*) != 4 || Layout::kVersionText == 40, "host layout, 32-bit");
static_assert(sizeof(void*) != 4 || Layout::kSize == 44, "host layout, 32-bit");

template <typename T>
void Put(std::vector<unsigned char>& block, size_t offset, T value) {
  std::memcpy(block.data() + offset, &value, sizeof value);
}
template <typename T>
T Get(const std::vector<unsigned char>& block, size_t offset) {
  T value;
  std::memcpy(&value, block.data() + offset, sizeof value);
  return value;
}

constexpr int kKeySlot = 32;
constexpr int kValueSlot = 2048;
constexpr int kRows = 8;

void PutRow(std::vector<char>& keys, std::vector<char>& values, int row, const char* key,
            const char* value) {
  std::strncpy(&keys[row * kKeySlot], key, kKeySlot - 1);
  std::strncpy(&values[row * kValueSlot], value, kValueSlot - 1);
}

int Usage() {
  std::fprintf(stderr,
               "usage: host_standin EXPORT [--version TEXT] [--dll PATH] [--locale NAME]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string export_name = argv[1];
  std::string dll = "dbup.dll";
  const char* version = nullptr;
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    if (i + 1 >= argc) return Usage();
    if (arg == "--version") {
      version = argv[++i];
    } else if (arg == "--dll") {
      dll = argv[++i];
    } else if (arg == "--locale") {
      // A host whose run-time library formats numbers the user's way.
      const char* name = argv[++i];
      if (std::setlocale(LC_ALL, name) == nullptr) {
        std::fprintf(stderr, "locale %s not available\n", name);
        return 2;
      }
    } else {
      return Usage();
    }
  }

  HMODULE module = ::LoadLibraryA(dll.c_str());
  if (module == nullptr) {
    std::fprintf(stderr, "LoadLibraryA(%s) failed: error %lu\n", dll.c_str(), ::GetLastError());
    return 2;
  }
  ExportFn call = nullptr;
  for (const char* name : kExports) {
    auto fn = reinterpret_cast<ExportFn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    if (fn == nullptr) {
      std::fprintf(stderr, "export %s not found\n", name);
      return 2;
    }
    if (export_name == name) call = fn;
  }
  if (call == nullptr) return Usage();

  std::vector<char> keys(kRows * kKeySlot, '\0');
  std::vector<char> values(kRows * kValueSlot, '\0');
  PutRow(keys, values, 0, "%USERNAME%", "ADMIN");
  PutRow(keys, values, 1, "%dbup_err%", "the host's own row, in lower case");
  std::vector<unsigned char> block(Layout::kSize, 0);
  Put<uint32_t>(block, 0, 0xA5A5A5A5u);
  Put<uint32_t>(block, 4, 0x5A5A5A5Au);
  Put<uint32_t>(block, 8, 0x12345678u);
  Put<int32_t>(block, Layout::kKeyWidth, kKeySlot);
  Put<int32_t>(block, Layout::kValueWidth, kValueSlot);
  Put<int32_t>(block, Layout::kEntryCount, 2);
  Put<char*>(block, Layout::kKeys, keys.data());
  Put<char*>(block, Layout::kValues, values.data());
  Put<uint32_t>(block, Layout::kReserved8, 0xCAFEBABEu);
  Put<uint32_t>(block, Layout::kReserved9, 0xDEADBEEFu);
  Put<const char*>(block, Layout::kVersionText, version);
  const std::vector<unsigned char> block_before = block;
  const std::vector<char> keys_before = keys;
  const std::vector<char> values_before = values;

  int32_t result = call(block.data());
  std::printf("result: %ld\n", static_cast<long>(result));

  const int rows = Get<int32_t>(block, Layout::kEntryCount);
  int err_row = -1;
  for (int i = 0; i < rows && i < kRows; ++i) {
    if (std::strcmp(&keys[i * kKeySlot], "%DBUP_ERR%") == 0) err_row = i;
  }
  if (err_row >= 0) std::printf("DBUP_ERR: %s\n", &values[err_row * kValueSlot]);
  std::fflush(stdout);

  bool sound = true;
  if (result == 0) {
    sound = block == block_before && keys == keys_before && values == values_before;
  } else {
    // Only EntryCount may change (by one), and only row 2 may be written.
    std::vector<unsigned char> expect_block = block_before;
    Put<int32_t>(expect_block, Layout::kEntryCount, 3);
    sound = result == -1 && err_row == 2 && block == expect_block &&
            std::memcmp(keys.data(), keys_before.data(), 2 * kKeySlot) == 0 &&
            std::memcmp(values.data(), values_before.data(), 2 * kValueSlot) == 0;
  }
  if (!sound) {
    std::printf("block: changed beyond what the host allows\n");
    return 3;
  }
  return result == 0 ? 0 : 1;
}
