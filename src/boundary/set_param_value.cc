#include "boundary/set_param_value.h"

#include <cstring>
#include <string>

namespace dbup::boundary {

namespace {

bool Usable(const TParamBlock* block) {
  return block != nullptr && block->Keys != nullptr && block->Values != nullptr &&
         block->EntryCount >= 0 && block->KeyWidth > 0 && block->ValueWidth > 0;
}

// Slot i as a string bounded by its width, so a slot without a terminating
// zero never leads the comparison into the next one.
std::string_view Slot(const char* base, int32_t width, int32_t i) {
  const char* slot = base + static_cast<ptrdiff_t>(i) * width;
  return std::string_view(slot, strnlen(slot, static_cast<size_t>(width)));
}

int32_t FindRow(const TParamBlock* block, std::string_view key) {
  for (int32_t i = 0; i < block->EntryCount; ++i) {
    if (Slot(block->Keys, block->KeyWidth, i) == key) return i;
  }
  return -1;
}

void CopyInto(char* slot, int32_t width, std::string_view text) {
  size_t n = std::min(text.size(), static_cast<size_t>(width) - 1);
  std::memcpy(slot, text.data(), n);
  slot[n] = '\0';
}

}  // namespace

bool SetParamValue(TParamBlock* block, std::string_view name, std::string_view value) {
  if (!Usable(block)) return false;
  std::string key = "%" + std::string(name) + "%";
  if (key.size() + 1 > static_cast<size_t>(block->KeyWidth)) return false;

  int32_t row = FindRow(block, key);
  if (row < 0) {
    row = block->EntryCount;
    CopyInto(block->Keys + static_cast<ptrdiff_t>(row) * block->KeyWidth, block->KeyWidth, key);
    ++block->EntryCount;
  }
  CopyInto(block->Values + static_cast<ptrdiff_t>(row) * block->ValueWidth, block->ValueWidth,
           value);
  return true;
}

const char* FindParamValue(const TParamBlock* block, std::string_view name) {
  if (!Usable(block)) return nullptr;
  int32_t row = FindRow(block, "%" + std::string(name) + "%");
  return row < 0 ? nullptr : block->Values + static_cast<ptrdiff_t>(row) * block->ValueWidth;
}

}  // namespace dbup::boundary
