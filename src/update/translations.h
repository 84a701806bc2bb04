// The special field translations some steps run between filling their new
// tables and putting them in place. A step finds its routine here by the
// name in its catalogue row; a name without a routine in this build makes
// the step fail before it touches anything.
#pragma once

#include <string>

#include "engine/job_context.h"

namespace dbup::update {

// Moves values between the filled new tables in update_dir, reading the old
// ones in backup_dir (both ending in a separator). True on success; writes
// no message.
using TranslationFunction = bool (*)(JobContext& ctx, const std::string& backup_dir,
                                     const std::string& update_dir);

// The routine of "Translate0107" etc., or null when this build has none.
TranslationFunction FindTranslation(const char* name);

}  // namespace dbup::update
