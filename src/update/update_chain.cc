#include <string>

#include "update/chain.h"

namespace dbup::update {

// Until the steps can reach the tables: fail clearly rather than pretend.
bool RunUpdateChain(JobContext& ctx, int structure_level) {
  ctx.error_text = "The update steps are not available in this build (level " +
                   std::to_string(structure_level) + ").";
  return false;
}

std::vector<PlannedStep> PlanUpdateChain(JobContext&, int) { return {}; }

}  // namespace dbup::update
