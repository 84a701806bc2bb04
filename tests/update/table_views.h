// What the update tests compare: every file of a folder with its bytes, and
// a table's live records as dbftool, the support staff's tool, dumps them.
// Compiled into each test program that defines DBFTOOL.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace dbup::update {

// Every file below a folder with its bytes, by relative path ("a/b.dbf").
using Snapshot = std::map<std::string, std::string>;
Snapshot Take(const std::string& dir);

// Fails the test with the paths that differ (never the bytes).
void ExpectSameFiles(const Snapshot& before, const Snapshot& after);

// Runs dbftool; its output, and its exit status in *status.
std::string Dbftool(const std::string& args, int* status);

// The live records of a table as dbftool dump shows them.
std::vector<nlohmann::json> DumpLive(const std::string& dbf);

// Same value, allowing for a wider field or more decimals in the new table.
bool SameValue(const nlohmann::json& a, const nlohmann::json& b);

// Every live record kept, in order, with the value of every field the old
// and the new table share (a wider field or more decimals allowed).
void ExpectSameRecords(const std::vector<nlohmann::json>& before,
                       const std::vector<nlohmann::json>& after, const std::string& what);

}  // namespace dbup::update
