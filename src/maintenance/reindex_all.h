// Rebuilds the header count and production index of every table the host's
// configuration lists, and of every claim archive table.
#pragma once

#include "engine/job_context.h"

namespace dbup::maintenance {

// The whole body: finds the host's configuration, opens the session itself
// (a SessionScope) when there is work to do, and leaves a failure in
// ctx.error_text.
void ReindexAllTables(JobContext& ctx);

}  // namespace dbup::maintenance
