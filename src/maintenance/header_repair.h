// Brings a table file's header record count and end-of-file marker into line
// with the file's actual size, before the engine opens it for a reindex.
//
// Works on the raw bytes through Env::Current(), outside the engine. A file
// that does not look like a table (12 bytes or less, a record length of 0, a
// count with its top bit set) is left unchanged.
#pragma once

#include <string>

namespace dbup::maintenance {

// Returns false when an I/O failure, an overflow or a record length of 0
// stopped the repair; changes made before the failure stay. Callers reindex
// the table whatever the result.
bool RepairTableHeader(const std::string& path);

}  // namespace dbup::maintenance
