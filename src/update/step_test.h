// The precondition test of a step: does a table still have the old structure?
//
// The test never fails: a table that cannot be opened or judged counts as
// needing the step, and the step then fails where it backs the table up.
#pragma once

#include <string>
#include <vector>

#include "engine/job_context.h"
#include "update/catalogue.h"

namespace dbup::update {

// Applies the row's test to folder/main table.dbf (folder may lack its
// trailing separator). For an optional row, a missing DataDirectory table
// answers not needed without opening anything. Leaves no table open and no
// engine error pending.
bool StepNeeded(JobContext& ctx, const StepRow& row, const std::string& folder);

// The claim archive folders that hold table_file ("bcclaim.dbf"), relative to
// the data directory and each ending in a separator ("archub92/a1/"): those
// below "archub92" first, then those below "arch1500".
std::vector<std::string> ListArchiveDirectories(const std::string& data_dir,
                                                const std::string& table_file);

// Whether the step has work to do in this installation, by the rules of its
// form: the data directory's test for plain and all-folders steps, any
// marked folder for the marked form, any missing table for add-if-missing.
bool StepFindsWork(JobContext& ctx, const StepRow& row);

}  // namespace dbup::update
