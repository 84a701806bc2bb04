// Opening a table together with its production index, for the commands
// that read or keep up the index.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/status.h"
#include "xbase/mdx_file.h"
#include "xbase/table.h"
#include "xbase/table_index.h"

namespace dbup::dbftool {

// The table, and its production index when the table's flag says it has
// one (NotFound when the flag is set and the .mdx is missing). With
// require_index, a table without one is an error too.
struct IndexedTable {
  std::unique_ptr<xbase::Table> table;
  std::unique_ptr<xbase::TableIndexer> index;  // destroyed before the table
};
Status OpenIndexedTable(const std::string& path, bool read_only, bool require_index,
                        IndexedTable* out);

// Tags of a create schema: [{"name", "expression", "unique", "descending", "for"}].
Status ParseTagSpecs(const nlohmann::json& tags, std::vector<xbase::TagSpec>* specs);

// A key as JSON: text for character keys, a number for numeric keys,
// "YYYYMMDD" (or "" when blank) for dates.
nlohmann::ordered_json KeyToJson(xbase::KeyType type, std::string_view key);

}  // namespace dbup::dbftool
