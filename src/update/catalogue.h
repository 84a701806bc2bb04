// The step catalogue: the 88 update steps as rows of data.
//
// Every step is the same table replacement template filled with the values
// of one row; nothing about a particular step lives anywhere else. Rows are
// in ascending order of their number, which is also the structure level at
// which the step runs and the prefix of its messages.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace dbup::update {

// The precondition test that decides whether a table still has the old
// structure. kNone belongs to the add-if-missing steps, which have no test.
enum class TestKind {
  kFieldMissing,   // needed when the field is absent
  kFieldPresent,   // needed when the field exists
  kWidthBelow,     // needed when the width is less than the value
  kWidthAtMost,    // needed when the width is less than or equal to the value
  kDecimalsBelow,  // needed when the decimal count is less than the value
  kNoDecimals,     // needed when the field exists with 0 decimals
  kTagMissing,     // needed when the production index has no such tag
  kNone,
};

// The files that make up a table, in the order in which they are handled.
enum class FileSet {
  kDbfMdx,            // .dbf .mdx
  kDbfDbtMdx,         // .dbf .dbt .mdx, all required
  kDbfMdxDbt,         // .dbf .mdx .dbt, all required, memo last
  kDbfOptionalDbtMdx  // .dbf (.dbt) .mdx: the memo only where the source has one
};

enum class Form {
  kPlain,         // one table in the data directory
  kAllFolders,    // data directory and every archive holding the table
  kMarked,        // only the folders whose table needs the step
  kAddIfMissing,  // adds new empty tables where absent, replaces nothing
};

inline constexpr size_t kMaxStepTables = 5;

struct StepRow {
  int number;                                      // 92 for Update0092
  const char* clone_folder;                        // "updt0036"
  std::array<const char*, kMaxStepTables> tables;  // main table first; null ends the list
  FileSet files;
  TestKind test;
  const char* test_name;  // field or tag the test examines, or null
  int test_value;         // width or decimal threshold
  bool optional;          // not needed when the data directory lacks the .dbf
  Form form;
  const char* list_table;  // archive forms: folders holding this table's .dbf are visited
  bool locate_check;       // refuse to start when a table's .dbf or .mdx is missing
  bool test_on_data_dir_only;
  bool rollback_stops_at_missing_backup;
  const char* translation;  // special field translation, or null

  const char* main_table() const { return tables[0]; }
  size_t table_count() const;
};

// All 88 rows in ascending order.
std::span<const StepRow> Catalogue();

// The row of step `number`, or null.
const StepRow* FindStep(int number);

// "Update0092".
std::string StepName(int number);

// The extensions of a file set in handling order; the memo of
// kDbfOptionalDbtMdx is included (callers skip it where absent).
std::span<const char* const> Extensions(FileSet files);

// Whether the rows of this step can run in this build. The others fail as
// an unexpected exception when they find work to do.
bool StepIsRunnable(const StepRow& row);

// The tables of a step, joined by ", " (for listings).
std::string TableList(const StepRow& row);

}  // namespace dbup::update
