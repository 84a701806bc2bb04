// The body of UpdateDatabaseStructures once the working directories are
// found: the host's version, its structure level, then the update chain.
#pragma once

#include "engine/job_context.h"

namespace dbup::update {

// `version_text` is the host's text (null counts as empty). Returns the
// success flag; a failure's message is in ctx.error_text. A version whose
// tables need no update succeeds without opening a session.
bool UpdateDatabases(JobContext& ctx, const char* version_text);

}  // namespace dbup::update
