// Small real tables and installations for the maintenance tests.
#pragma once

#include <string>
#include <vector>

#include "engine/job_context.h"
#include "platform/status.h"
#include "support/temp_dir.h"
#include "xbase/mdx_file.h"
#include "xbase/table.h"

namespace dbup::maintenance::testing {

struct Row {
  std::vector<std::string> values;  // field text in field order
  bool deleted = false;
};

// Creates the table at dbf_path holding rows and, when tags are given, its
// production index built from them.
Status MakeTable(const std::string& dbf_path, const std::vector<xbase::FieldSpec>& fields,
                 const std::vector<Row>& rows, const std::vector<xbase::TagSpec>& tags = {});

// An installation as the working directories describe it: server, install
// (with its private folder) and data folders, each path ending in a separator.
class Installation {
 public:
  Installation();

  // TANDRIL.INI in dir, listing keys in section.
  void WriteIni(const std::string& dir, const std::vector<std::string>& keys,
                const std::string& section = "Database Tables");
  // A file below the data folder, with its folders.
  void WriteData(const std::string& relative, const std::string& contents);
  std::string ReadData(const std::string& relative) const;
  std::string Data(const std::string& relative) const { return ctx.dirs.data + relative; }
  std::string Root(const std::string& relative) const { return root_.Path(relative); }

  // A registry file naming these folders, for calls through the exports.
  std::string WriteRegistry() const;

  JobContext ctx;

 private:
  dbup::testing::TempDir root_;
};

}  // namespace dbup::maintenance::testing
