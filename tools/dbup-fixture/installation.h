// Writes a complete, deterministic host installation: the server folder with
// TANDRIL.EXE (carrying the version), TANDRIL.INI and every clone folder the
// catalogue names; the install folder; the data folder with every table in
// the structure of the version's level, filled with plausible records, and
// claim archives; and registry.reg pointing at all of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/status.h"
#include "structure_history.h"

namespace dbup::fixture {

struct InstallOptions {
  std::string root;     // DIR; created when missing
  std::string version;  // "2.49.0.100"
  int level = 0;        // structure level of the tables (from the level table)
  int claims = 100;     // claims per claim family in the data folder
  uint64_t seed = 1;
  // Archive folders per family ("ARC2019", ...), each with a quarter of the
  // data folder's claims.
  int archives_per_family = 2;
  // Archives ("archub92/ARC2019") whose tables are written in the newest
  // structures, as if an earlier update had converted them already.
  std::vector<std::string> converted_archives;
  // Tables left out of an archive ("arch1500/ARC2020/bsattchd"): an archive
  // holding its claim table but lacking another one.
  std::vector<std::string> omitted_archive_tables;
};

Status WriteInstallation(const InstallOptions& options);

// One table, empty or with generated records, plus its production index.
// claims_base: the first claim number of the family in this folder.
Status WriteTable(const std::string& dir, const TableStructure& table, const RowsRule& rows,
                  int claims, int claims_base, uint64_t seed);

// The folder names, each ending in the separator.
struct InstallationDirs {
  std::string server, install, data;
};
InstallationDirs DirsOf(const std::string& root);

}  // namespace dbup::fixture
