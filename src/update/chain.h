// The update chain: every step from the starting structure level upwards, in
// ascending order, until one fails; then the rollback of every step that
// replaced tables, newest first.
#pragma once

#include "engine/job_context.h"

namespace dbup::update {

// Runs in ctx's open session. Returns the success flag; on failure
// ctx.error_text holds the failed step's message.
bool RunUpdateChain(JobContext& ctx, int structure_level);

}  // namespace dbup::update
