// The parts of `dbup update` that look inside the run: --dry-run, which says
// what a run would do without changing any file, and --progress, which
// reports every step that replaced a table. Both run the library's update
// code inside the tool (the exports of the shared library have no way to
// report progress, and the library itself stays silent).
#pragma once

#include <string>

namespace dbup::tool {

// Prints the version, the starting level and every step from that level
// with its tables and whether its test finds work. Exit code 0, or 1 when
// the directories or the version cannot be found.
int PlanUpdate(const std::string* version);

// Runs the update as the export does, printing one line per replaced table
// on standard error. Exit code 0 or 1.
int RunUpdateWithProgress(const std::string* version);

}  // namespace dbup::tool
