#include "update/chain.h"
#include "update/step_test.h"
#include "update/table_files.h"
#include "update/table_step.h"

namespace dbup::update {

bool RunUpdateChain(JobContext& ctx, int structure_level) {
  RollbackFlags flags;
  BackedUpTables backed_up;
  ctx.error_text.clear();
  return RunChain(
      Catalogue(), structure_level, flags,
      [&](const StepRow& row, bool& flag) { return RunStep(ctx, row, backed_up, flag); },
      [&](const StepRow& row) { RollbackStep(ctx, row); });
}

std::vector<PlannedStep> PlanUpdateChain(JobContext& ctx, int structure_level) {
  std::vector<PlannedStep> plan;
  for (const StepRow& row : Catalogue()) {
    if (row.number < structure_level) continue;
    plan.push_back(PlannedStep{&row, StepFindsWork(ctx, row), StepIsRunnable(row)});
  }
  return plan;
}

}  // namespace dbup::update
