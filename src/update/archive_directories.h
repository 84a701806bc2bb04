// The folders an archive-aware step visits: the data directory (entry 0, the
// empty text) and every claim archive below "archub92" and "arch1500" that
// holds the step's list table. The same relative entry names the mirrored
// folder below the work and backup folders.
//
// The list forms of the table file routines run the single-folder routine of
// table_files.h for each visited entry and, within it, for every table of the
// step in catalogue order; the first failure ends them.
#pragma once

#include <string>
#include <vector>

#include "engine/job_context.h"
#include "update/catalogue.h"
#include "update/table_files.h"

namespace dbup::update {

struct DirectoryEntry {
  std::string folder;   // "" or "archub92/ARC2019/"
  bool marked = false;  // the step is needed in this folder
};

using DirectoryList = std::vector<DirectoryEntry>;

// Entry 0 and the archives holding row.list_table's .dbf, none marked.
DirectoryList BuildDirectoryList(const JobContext& ctx, const StepRow& row);

// The list the rollback walks: the folders holding the list table, and also
// those whose live table is gone while the backup folder holds it (a step
// that failed between deleting the live files and putting the new ones in
// place).
DirectoryList BuildRollbackList(const JobContext& ctx, const StepRow& row);

enum class Visit { kAll, kMarked };

// What the delete routine handles in an archive form: .dbf, .dbt and .mdx,
// the memo wherever present.
TableFiles DeletableFilesOf(const char* table);

// Deletes every table of the step in base + entry for the visited entries.
bool DeleteTablesIn(const StepRow& row, const std::string& base, const DirectoryList& list,
                    Visit visit, bool backup_mode, BackedUpTables* backed_up);

// Copies every table of the step from `from` + entry (or from `from` itself
// when same_source) to `to` + entry for the visited entries, creating each
// target folder first.
bool CopyTablesIn(const StepRow& row, const std::string& from, const std::string& to,
                  const DirectoryList& list, Visit visit, bool same_source);

// The locate check: the .dbf and .mdx of every table of the step exist in
// data + entry for every entry of the list, marked or not.
bool TableFilesPresent(const JobContext& ctx, const StepRow& row, const DirectoryList& list);

}  // namespace dbup::update
