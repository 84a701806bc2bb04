#include "maintenance/reindex_all.h"
#include "maintenance/revenue_codes.h"

namespace dbup::maintenance {

// Placeholders until the maintenance operations exist: fail clearly.
void ReindexAllTables(JobContext& ctx) {
  ctx.error_text = "Reindexing is not available in this build.";
}
void BackupRevenueCodeCharges(JobContext& ctx) {
  ctx.error_text = "Revenue code charge backup is not available in this build.";
}
void RestoreRevenueCodeCharges(JobContext& ctx) {
  ctx.error_text = "Revenue code charge restore is not available in this build.";
}

}  // namespace dbup::maintenance
