// The file operations of a table replacement: deleting a table's files from
// a folder (with the backup rules that keep a run's first copy of a table in
// the folder "original"), copying them between folders, and putting a backup
// back. All of them go through Env::Current().
#pragma once

#include <set>
#include <span>
#include <string>

#include "update/catalogue.h"

namespace dbup::update {

// The tables backed up so far in one run, by backup folder and base name.
// Created empty for every run and shared by all of its steps; keys compare
// without regard to case.
class BackedUpTables {
 public:
  bool Contains(const std::string& key) const;
  void Add(const std::string& key);
  bool empty() const { return keys_.empty(); }

 private:
  std::set<std::string> keys_;  // upper-cased
};

inline constexpr char kOriginalFolder[] = "original";

// One table's files as a step handles them.
struct TableFiles {
  std::string base;  // "submit"
  std::span<const char* const> extensions;
  bool memo_optional = false;  // .dbt copied only where the source has one
};

TableFiles FilesOf(const StepRow& row, const char* table);

// Deletes dir/base+ext for every extension. In backup mode (dir is the backup
// folder) the first backup of the run first clears stale copies in
// dir/original; a later one moves the files there unless original already
// holds the table. True when none of the files exists afterwards; false, with
// the files kept, when a stale copy in original cannot be removed or the
// run's first copy cannot be moved there.
bool DeleteTableFiles(const TableFiles& table, const std::string& dir, bool backup_mode,
                      BackedUpTables* backed_up);

// Copies every file of the set from one folder to another, overwriting. The
// first failed copy ends it with false.
bool CopyTableFiles(const TableFiles& table, const std::string& from, const std::string& to);

// The rollback of one table: copies the files from backup_dir/original when it
// holds the table's .dbf, else from backup_dir, into data_dir. Failures of
// single copies are ignored; the result says whether all of them worked.
bool RestoreTableFiles(const TableFiles& table, const std::string& backup_dir,
                       const std::string& data_dir);

// Creates dir and any missing parents; true when it exists afterwards.
bool EnsureDirectory(const std::string& dir);

}  // namespace dbup::update
