// Installations with claim archives for the archive step tests, and the
// views the tests compare: every file's bytes, and a table's live records as
// dbftool dumps them.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "../update/table_views.h"
#include "engine/job_context.h"
#include "installation.h"
#include "support/temp_dir.h"
#include "update/catalogue.h"
#include "update/table_files.h"

namespace dbup::update {

// A test with one generated installation (and, on demand, a second one in
// the newest structures to take converted tables from).
class ArchiveTest : public ::testing::Test {
 protected:
  void Install(int level, const std::vector<std::string>& converted = {},
               const std::vector<std::string>& omitted = {});
  // Replaces a table of data folder `folder` ("" or "archub92/ARC2019/")
  // with the same table in the newest structures.
  void ConvertTable(const std::string& folder, const std::string& table);

  std::string Data(const std::string& rel) const { return ctx_.dirs.data + rel; }
  // "archub92/ARC2019/" with the platform's separator.
  static std::string Archive(const char* root, const char* name);

  bool RunRows(const std::vector<const StepRow*>& rows);
  bool RunOne(int step, bool* flag = nullptr);

  testing::TempDir tmp_;
  testing::TempDir newest_;
  bool newest_written_ = false;
  JobContext ctx_;
  SessionScope session_{ctx_};
};

}  // namespace dbup::update
