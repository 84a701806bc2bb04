#include "update/level_table.h"

#include <cstdint>
#include <iterator>

namespace dbup::update {

namespace {

constexpr int kReject = -1;
constexpr int kNoUpdate = 0;

// One row covers Major.MinorFirst to Major.MinorLast; its cells are the
// levels for builds 0, 100, 200 and 300 (Release is always 0).
struct LevelRow {
  uint16_t major;
  uint16_t minor_first;
  uint16_t minor_last;
  int cells[4];
};

constexpr uint16_t kBuilds[4] = {0, 100, 200, 300};

// Versions 2.10 and 2.59 were never released; no row names them.
// clang-format off
constexpr LevelRow kLevelTable[] = {
    {1, 65, 65, {kReject, 91, 91, kReject}},
    {1, 66, 66, {kReject, 94, kReject, kReject}},
    {1, 67, 67, {kReject, 94, 94, kReject}},
    {1, 68, 68, {kReject, 97, kReject, kReject}},
    {1, 69, 69, {kReject, 99, 99, kReject}},
    {1, 70, 70, {kReject, 105, kReject, kReject}},
    {1, 71, 71, {kReject, 110, 110, kReject}},
    {1, 72, 72, {kReject, 118, kReject, kReject}},
    {1, 73, 73, {kReject, 119, 119, kReject}},
    {1, 74, 74, {kReject, 121, kReject, kReject}},
    {1, 75, 75, {kReject, 122, 122, kReject}},
    {1, 76, 76, {kReject, 127, kReject, kReject}},
    {1, 77, 77, {kReject, 127, 127, kReject}},
    {1, 78, 78, {kReject, 128, kReject, kReject}},
    {1, 79, 79, {kReject, 128, 128, kReject}},
    {1, 80, 80, {kReject, 133, kReject, kReject}},
    {1, 81, 81, {kReject, 134, 134, kReject}},
    {1, 82, 82, {kReject, 136, kReject, kReject}},
    {1, 83, 83, {kReject, 136, 139, 139}},
    {1, 84, 84, {kReject, 141, kReject, kReject}},
    {1, 85, 85, {kReject, 143, 143, 143}},
    {1, 86, 86, {kReject, 145, kReject, kReject}},
    {1, 87, 87, {kReject, 146, 147, kReject}},
    {1, 88, 88, {kReject, 147, kReject, kReject}},
    {1, 89, 89, {kReject, 148, 150, kReject}},
    {1, 90, 90, {kReject, 150, kReject, kReject}},
    {1, 91, 91, {kReject, 150, 150, kReject}},
    {1, 92, 92, {kReject, 152, kReject, kReject}},
    {1, 93, 93, {kReject, 152, 152, kReject}},
    {1, 94, 94, {kReject, 152, kReject, kReject}},
    {1, 95, 95, {kReject, 152, 152, kReject}},
    {1, 96, 96, {kReject, 153, kReject, kReject}},
    {1, 97, 97, {kReject, 153, 153, kReject}},
    {1, 98, 98, {kReject, 153, kReject, kReject}},
    {2, 7, 7, {202, kReject, kReject, kReject}},
    {2, 8, 8, {203, kReject, kReject, kReject}},
    {2, 9, 9, {203, kReject, kReject, kReject}},
    {2, 11, 11, {kReject, 165, 165, kReject}},
    {2, 12, 12, {kReject, 165, kReject, kReject}},
    {2, 13, 13, {kReject, 165, 165, kReject}},
    {2, 14, 14, {kReject, 165, kReject, kReject}},
    {2, 15, 15, {kReject, 165, 165, kReject}},
    {2, 16, 16, {kReject, 177, kReject, kReject}},
    {2, 17, 17, {kReject, 177, 179, kReject}},
    {2, 18, 18, {kReject, 179, kReject, kReject}},
    {2, 19, 19, {kReject, 179, 179, kReject}},
    {2, 20, 20, {kReject, 180, kReject, kReject}},
    {2, 21, 21, {kReject, 180, 180, kReject}},
    {2, 22, 22, {kReject, 181, kReject, kReject}},
    {2, 23, 23, {kReject, 181, 181, kReject}},
    {2, 24, 24, {kReject, 187, 192, kReject}},
    {2, 25, 25, {kReject, 192, 192, kReject}},
    {2, 26, 26, {kReject, 192, 192, kReject}},
    {2, 27, 27, {kReject, 192, 192, kReject}},
    {2, 28, 28, {kReject, 192, kReject, kReject}},
    {2, 29, 29, {kReject, 192, 192, kReject}},
    {2, 30, 30, {kReject, 194, kReject, kReject}},
    {2, 31, 31, {kReject, 194, kReject, kReject}},
    {2, 32, 32, {kReject, 199, kReject, kReject}},
    {2, 33, 33, {kReject, 199, 199, kReject}},
    {2, 34, 34, {kReject, 199, kReject, kReject}},
    {2, 35, 35, {kReject, 199, 199, kReject}},
    {2, 36, 36, {kReject, 200, kReject, kReject}},
    {2, 37, 37, {kReject, 200, 200, kReject}},
    {2, 38, 38, {kReject, 200, kReject, kReject}},
    {2, 39, 39, {kReject, 200, 200, kReject}},
    {2, 40, 40, {kReject, 200, kReject, kReject}},
    {2, 41, 41, {kReject, 200, 200, kReject}},
    {2, 42, 42, {kReject, 200, kReject, kReject}},
    {2, 43, 43, {kReject, 200, 200, kReject}},
    {2, 44, 44, {kReject, 200, kReject, kReject}},
    {2, 45, 45, {kReject, 200, 200, 201}},
    {2, 46, 46, {kReject, 201, kReject, kReject}},
    {2, 47, 47, {kReject, 201, 201, kReject}},
    {2, 48, 48, {kReject, 201, kReject, kReject}},
    {2, 49, 49, {kReject, 202, 202, kReject}},
    {2, 50, 50, {kReject, 202, kReject, kReject}},
    {2, 51, 51, {kReject, 202, 202, kReject}},
    {2, 52, 52, {kReject, 202, kReject, kReject}},
    {2, 53, 53, {kReject, 202, 202, kReject}},
    {2, 54, 54, {kReject, 202, kReject, kReject}},
    {2, 55, 55, {kReject, 202, 202, kReject}},
    {2, 56, 56, {kReject, 202, kReject, kReject}},
    {2, 57, 57, {kReject, 202, 202, 202}},
    {2, 58, 58, {kReject, 202, kReject, kReject}},
    {2, 60, 60, {kReject, 202, kReject, kReject}},
    {3, 0, 1, {203, kReject, kReject, kReject}},
    {3, 2, 9, {kNoUpdate, kReject, kReject, kReject}},
    {4, 0, 3, {203, kReject, kReject, kReject}},
    {4, 4, 4, {203, 203, kReject, kReject}},
    {4, 5, 5, {203, kReject, kReject, kReject}},
    {4, 6, 6, {203, 203, kReject, kReject}},
    {4, 7, 7, {203, kReject, kReject, kReject}},
    {4, 8, 9, {203, 203, kReject, kReject}},
    {5, 0, 9, {203, kReject, kReject, kReject}},
    {6, 0, 3, {203, kReject, kReject, kReject}},
};
// clang-format on

}  // namespace

LevelLookup LookUpStructureLevel(const THostVersion& version) {
  LevelLookup result;
  if (version.Release != 0) return result;
  for (const LevelRow& row : kLevelTable) {
    if (row.major != version.Major || version.Minor < row.minor_first ||
        version.Minor > row.minor_last) {
      continue;
    }
    for (size_t i = 0; i < std::size(kBuilds); ++i) {
      if (kBuilds[i] != version.Build) continue;
      int cell = row.cells[i];
      if (cell == kNoUpdate) {
        result.outcome = LevelLookup::Outcome::kNoUpdate;
      } else if (cell != kReject) {
        result.outcome = LevelLookup::Outcome::kStartAt;
        result.level = cell;
      }
      return result;
    }
    return result;
  }
  return result;
}

}  // namespace dbup::update
