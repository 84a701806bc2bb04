#include "update/chain.h"

namespace dbup::update {

bool RunChain(std::span<const StepRow> rows, int level, RollbackFlags& flags,
              const StepFunction& run_step, const RollbackFunction& rollback) {
  flags.assign(rows.size(), false);
  bool ok = true;
  for (size_t i = 0; i < rows.size() && ok; ++i) {
    if (rows[i].number < level) continue;
    bool flag = false;
    ok = run_step(rows[i], flag);
    flags[i] = flag;
  }
  if (!ok) RollbackUpdates(rows, flags, rollback);
  return ok;
}

void RollbackUpdates(std::span<const StepRow> rows, const RollbackFlags& flags,
                     const RollbackFunction& rollback) {
  for (size_t i = rows.size(); i-- > 0;) {
    if (i < flags.size() && flags[i] && rows[i].form != Form::kAddIfMissing) rollback(rows[i]);
  }
}

}  // namespace dbup::update
