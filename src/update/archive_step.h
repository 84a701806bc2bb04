// The archive-aware forms of the table replacement step, and the steps that
// add new tables where they are missing.
//
// An archive-aware step replaces its tables (one, or a main table with the
// tables a translation fills beside it) in the data directory and in the
// claim archives that hold its list table. The all-folders form decides on
// the data directory's table and then converts every listed folder; the
// marked form tests each folder and converts only those that need it. Every
// folder and table is filled before the flag is set and before any live file
// is deleted, so a failure up to then leaves every live table as it was.
#pragma once

#include "engine/job_context.h"
#include "update/catalogue.h"
#include "update/table_files.h"

namespace dbup::update {

// Runs an all-folders or marked-form step; the contract of RunStep.
bool RunArchiveStep(JobContext& ctx, const StepRow& row, BackedUpTables& backed_up, bool& flag);

// Copies each new table of the step from its clone folder into the data
// directory and every archive holding the claim table, wherever its .dbf is
// absent. Replaces nothing and never sets a flag: what it added stays when
// the run is rolled back.
bool AddMissingTables(JobContext& ctx, const StepRow& row);

// Puts the step's tables back in every folder holding its list table,
// preferring the copy the run took before it first replaced them. A folder
// without a backup is passed over, or, for the rows that say so, ends the
// rollback there.
void RollbackArchiveStep(JobContext& ctx, const StepRow& row);

}  // namespace dbup::update
