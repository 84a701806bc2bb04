// CopyCommonFields: fills an empty new-structure table with the live records
// of the old table of the same name, field by field for every field name the
// two tables share, then rebuilds the new table's index.
//
// The old table's own field list drives the copy, so one routine serves every
// step. Values are not converted here: where same-named fields differ in
// type, width or decimals, the engine's field-to-field assignment decides.
#pragma once

#include <cstddef>
#include <string>

#include "engine/e4api.h"

namespace dbup::convert {

// One slot of the field map: a field of the old table with its namesake in
// the new one. A null source ends the map.
struct TFieldPair {
  Field4* source;
  Field4* destination;
  int source_type;  // f4type of the source ('M' copies memo text)
};

inline constexpr size_t kMaxFieldPairs = 512;

// Copies every record of old_dir/table.dbf that is not marked deleted into
// new_dir/table.dbf (both read with their production .mdx) and reindexes the
// new table. Directories may lack their trailing separator. Returns false when
// a table or index cannot be opened or positioned, or an append, write, skip
// or the reindex fails; a partly filled new table is left for the caller to
// abandon. More than kMaxFieldPairs shared fields throw std::out_of_range.
// Every handle is closed and the session's error code reset on every path.
// records_copied, when given, receives the number of records appended.
bool CopyCommonFields(Code4* session, const std::string& old_dir, const std::string& new_dir,
                      const std::string& table, long* records_copied = nullptr);

}  // namespace dbup::convert
