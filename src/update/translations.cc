#include "update/translations.h"

#include <string_view>

namespace dbup::update {
namespace {

struct TranslationEntry {
  const char* name;
  TranslationFunction function;
};

// One line per translation routine as it is built.
constexpr TranslationEntry kTranslations[] = {
    {nullptr, nullptr},
};

}  // namespace

TranslationFunction FindTranslation(const char* name) {
  if (name == nullptr) return nullptr;
  for (const TranslationEntry& entry : kTranslations) {
    if (entry.name != nullptr && std::string_view(entry.name) == name) return entry.function;
  }
  return nullptr;
}

}  // namespace dbup::update
