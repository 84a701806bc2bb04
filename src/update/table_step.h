// The table replacement step: one template that every catalogue row fills.
//
// A step tests its live table; when the table still has the old structure it
// fetches the empty clone table into the work folder, backs the live table up,
// fills the clone with the old records, and puts it in place of the live
// table. Failures are reported as the step's name, "- " and a fixed text in
// ctx.error_text; no exception leaves a step.
#pragma once

#include <string>

#include "engine/job_context.h"
#include "update/catalogue.h"
#include "update/table_files.h"

namespace dbup::update {

// The folder that holds the step's empty new-structure tables.
std::string CloneFolderPath(const JobContext& ctx, const StepRow& row);

// Runs the step of `row`. `flag` is the step's own rollback flag: cleared on
// entry and set from the moment the live table may be changed, so that the
// chain knows to restore it. True when the table is up to date afterwards.
bool RunStep(JobContext& ctx, const StepRow& row, BackedUpTables& backed_up, bool& flag);

// Puts the step's tables back from the backup folder, preferring the copy the
// run took before it first replaced the table. Reports nothing.
void RollbackStep(JobContext& ctx, const StepRow& row);

}  // namespace dbup::update
