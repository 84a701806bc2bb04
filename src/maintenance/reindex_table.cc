#include "maintenance/reindex_table.h"

#include "engine/guards.h"

namespace dbup::maintenance {

bool ReindexTable(Code4* session, const std::string& dir, const std::string& name,
                  std::string* detail) {
  engine::TableGuard t(session);
  if (!t.Open(dir + name + ".DBF")) {
    *detail = "Unable to open database file.";
    return false;
  }
  if (!t.OpenIndex(dir + name + ".MDX")) {
    *detail = "Unable to open index file.";
    return false;
  }
  const int rc = d4reindex(t.table());
  if (rc != 0) {
    const char* text = error4text(session, rc);
    *detail = text != nullptr ? text : "";
    return false;
  }
  return true;
}

}  // namespace dbup::maintenance
