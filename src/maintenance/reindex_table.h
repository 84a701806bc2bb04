// Rebuilds the production index of one table through the engine.
#pragma once

#include <string>

#include "engine/e4api.h"

namespace dbup::maintenance {

// Opens dir + name + ".DBF" and its index dir + name + ".MDX" in the session
// and rebuilds the index. On failure returns false with *detail set to what
// went wrong ("Unable to open database file.", "Unable to open index file."
// or the engine's text for the reindex's code). Leaves nothing open and the
// session's error code cleared.
bool ReindexTable(Code4* session, const std::string& dir, const std::string& name,
                  std::string* detail);

}  // namespace dbup::maintenance
