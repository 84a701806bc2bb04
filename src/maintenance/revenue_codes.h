// Carries the charge amounts of the revenue code table across the host's
// replacement of that table, through a dump file in the private folder
// (see charge_dump.h for its format).
//
// The backup removes any earlier dump first and writes the new one only after
// the whole table was read, so a failed backup leaves no dump at all. The
// restore reads the dump, never deletes it, and matches entries to records by
// code on tag BY_CODE; a missing dump means there is nothing to restore.
//
// Failures are left unwrapped in ctx.error_text; the caller wraps them as
// "Error backing up Revenue Code charge data [...]" or "Error restoring
// Revenue Code charge data [...]". Besides the table's own failures, the
// dump file itself can fail with kDumpWriteFailed (backup: the dump could
// not be written; no partial dump is left) or kDumpReadFailed (restore: the
// dump exists but could not be read; no record is changed).
#pragma once

#include "engine/job_context.h"

namespace dbup::maintenance {

inline constexpr char kDumpWriteFailed[] =
    "Unable to write temporary Revenue Code charge data file.";
inline constexpr char kDumpReadFailed[] = "Unable to read temporary Revenue Code charge data file.";

// Each is the whole body of its operation: checks, session (a SessionScope),
// work.
void BackupRevenueCodeCharges(JobContext& ctx);
void RestoreRevenueCodeCharges(JobContext& ctx);

}  // namespace dbup::maintenance
