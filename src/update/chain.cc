#include "update/chain.h"

#include <string>

namespace dbup::update {

// Placeholder until the steps exist: fail clearly rather than pretend.
bool RunUpdateChain(JobContext& ctx, int structure_level) {
  ctx.error_text = "The update steps are not available in this build (level " +
                   std::to_string(structure_level) + ").";
  return false;
}

}  // namespace dbup::update
