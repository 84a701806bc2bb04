// The update chain: every step from the starting structure level upwards, in
// ascending order, until one fails; then the rollback of every step that
// replaced tables, newest first.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/job_context.h"
#include "update/catalogue.h"

namespace dbup::update {

// Runs in ctx's open session. Returns the success flag; on failure
// ctx.error_text holds the failed step's message and every table replaced by
// the run has been put back.
bool RunUpdateChain(JobContext& ctx, int structure_level);

// One rollback flag per row of the catalogue, owned by one run.
using RollbackFlags = std::vector<bool>;

// The chain's order and stop rule, apart from what a step does: calls
// run_step for every row numbered at or above level until one returns false,
// then rollback for every flagged row, highest number first. The add-if-missing
// rows have no rollback. Used by RunUpdateChain and by tests.
using StepFunction = std::function<bool(const StepRow& row, bool& flag)>;
using RollbackFunction = std::function<void(const StepRow& row)>;
bool RunChain(std::span<const StepRow> rows, int level, RollbackFlags& flags,
              const StepFunction& run_step, const RollbackFunction& rollback);
void RollbackUpdates(std::span<const StepRow> rows, const RollbackFlags& flags,
                     const RollbackFunction& rollback);

// What a run from `level` would do, without changing any file.
struct PlannedStep {
  const StepRow* row;
  bool needed;    // the step's test finds work
  bool runnable;  // this build can carry the step out
};
std::vector<PlannedStep> PlanUpdateChain(JobContext& ctx, int structure_level);

}  // namespace dbup::update
