// Carries the charge amounts of the revenue code table across the host's
// replacement of that table, through a dump file in the private folder.
#pragma once

#include "engine/job_context.h"

namespace dbup::maintenance {

// Each is the whole body of its operation: checks, session (a SessionScope),
// work. A failure is left unwrapped in ctx.error_text; the caller wraps it.
void BackupRevenueCodeCharges(JobContext& ctx);
void RestoreRevenueCodeCharges(JobContext& ctx);

}  // namespace dbup::maintenance
