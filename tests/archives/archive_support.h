// Installations with claim archives for the archive step tests, and the
// views the tests compare: every file's bytes, and a table's live records as
// dbftool dumps them.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/job_context.h"
#include "installation.h"
#include "support/temp_dir.h"
#include "update/catalogue.h"
#include "update/table_files.h"

namespace dbup::update {

// Every file below a folder with its bytes, by relative path ("a/b.dbf").
using Snapshot = std::map<std::string, std::string>;
Snapshot Take(const std::string& dir);

// Fails the test with the paths that differ (never the bytes).
void ExpectSameFiles(const Snapshot& before, const Snapshot& after);

// Runs dbftool; its output, and its exit status in *status.
std::string Dbftool(const std::string& args, int* status);

// The live records of a table as dbftool dump shows them.
std::vector<nlohmann::json> DumpLive(const std::string& dbf);

// Every live record kept, in order, with the value of every field the old
// and the new table share (a wider field or more decimals allowed).
void ExpectSameRecords(const std::vector<nlohmann::json>& before,
                       const std::vector<nlohmann::json>& after, const std::string& what);

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
