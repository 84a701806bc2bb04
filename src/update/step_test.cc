#include "update/step_test.h"

#include "platform/env.h"
#include "platform/path.h"

namespace dbup::update {
namespace {

// Releases what the test opened, on every path, and clears the pending error
// that a failed open or a missing field leaves behind.
struct TestHandles {
  Code4* session;
  Data4* table = nullptr;
  Index4* index = nullptr;
  explicit TestHandles(Code4* s) : session(s) {}
  ~TestHandles() {
    if (index != nullptr) i4close(index);
    if (table != nullptr) d4close(table);
    code4errorCode(session, 0);
  }
  TestHandles(const TestHandles&) = delete;
  TestHandles& operator=(const TestHandles&) = delete;
};

bool ApplyTest(const StepRow& row, const std::string& base, TestHandles& h) {
  if (row.test == TestKind::kTagMissing) {
    h.index = i4open(h.table, (base + ".mdx").c_str());
    if (h.index == nullptr) return true;
    return i4tag(h.index, row.test_name) == nullptr;
  }
  Field4* field = d4field(h.table, row.test_name);
  switch (row.test) {
    case TestKind::kFieldMissing:
      return field == nullptr;
    case TestKind::kFieldPresent:
      return field != nullptr;
    case TestKind::kWidthBelow:
      return field == nullptr || f4len(field) < row.test_value;
    case TestKind::kWidthAtMost:
      return field == nullptr || f4len(field) <= row.test_value;
    case TestKind::kDecimalsBelow:
      return field == nullptr || f4decimals(field) < row.test_value;
    case TestKind::kNoDecimals:
      return field != nullptr && f4decimals(field) == 0;
    case TestKind::kTagMissing:
    case TestKind::kNone:
      break;
  }
  return true;
}

}  // namespace

bool StepNeeded(JobContext& ctx, const StepRow& row, const std::string& folder) {
  if (row.test == TestKind::kNone) return true;
  if (row.optional &&
      !Env::Current()->FileExists(ctx.dirs.data + row.main_table() + std::string(".dbf"))) {
    return false;
  }
  TestHandles h(ctx.session);
  const std::string base = WithTrailingSeparator(folder) + row.main_table();
  h.table = d4open(ctx.session, (base + ".dbf").c_str());
  if (h.table == nullptr) return true;
  return ApplyTest(row, base, h);
}

std::vector<std::string> ListArchiveDirectories(const std::string& data_dir,
                                                const std::string& table_file) {
  Env* env = Env::Current();
  std::vector<std::string> list;
  for (const char* root : {"archub92", "arch1500"}) {
    std::vector<std::string> names;
    if (!env->ListDirectory(data_dir + root, ListFilter::kDirectoriesOnly, &names).ok()) continue;
    for (const std::string& name : names) {
      const std::string entry = std::string(root) + kPathSeparator + name + kPathSeparator;
      if (env->FileExists(data_dir + entry + table_file)) list.push_back(entry);
    }
  }
  return list;
}

bool StepFindsWork(JobContext& ctx, const StepRow& row) {
  const std::string& data = ctx.dirs.data;
  switch (row.form) {
    case Form::kPlain:
    case Form::kAllFolders:
      return StepNeeded(ctx, row, data);
    case Form::kMarked: {
      if (row.optional &&
          !Env::Current()->FileExists(data + row.main_table() + std::string(".dbf"))) {
        return false;
      }
      if (row.test_on_data_dir_only) return StepNeeded(ctx, row, data);
      std::vector<std::string> entries =
          ListArchiveDirectories(data, std::string(row.list_table) + ".dbf");
      entries.insert(entries.begin(), "");
      for (const std::string& entry : entries) {
        if (StepNeeded(ctx, row, data + entry)) return true;
      }
      return false;
    }
    case Form::kAddIfMissing: {
      std::vector<std::string> entries =
          ListArchiveDirectories(data, std::string(row.list_table) + ".dbf");
      entries.insert(entries.begin(), "");
      for (const std::string& entry : entries) {
        for (size_t t = 0; t < row.table_count(); ++t) {
          if (!Env::Current()->FileExists(data + entry + row.tables[t] + ".dbf")) return true;
        }
      }
      return false;
    }
  }
  return true;
}

}  // namespace dbup::update
