// dbup reindex, backup-revcodes, restore-revcodes: the maintenance operations.
#include <memory>
#include <string>

#include "commands.h"
#include "host_block.h"

namespace dbup::tool {

namespace {

void AddSimpleCommand(CLI::App& app, const char* name, const char* description,
                      int32_t(DBUP_CALL* fn)(TParamBlock*), int* exit_code) {
  auto registry = std::make_shared<std::string>();
  CLI::App* cmd = app.add_subcommand(name, description);
  AddRegistryOption(cmd, registry.get());
  cmd->callback([registry, fn, exit_code] {
    *exit_code = UseRegistry(*registry) ? CallExport(fn, nullptr) : 1;
  });
}

}  // namespace

void AddMaintenanceCommands(CLI::App& app, int* exit_code) {
  AddSimpleCommand(app, "reindex",
                   "Repair the header record count and rebuild the index of every table that "
                   "TANDRIL.INI lists and of every claim archive table.",
                   &ReindexAllDatabaseFiles, exit_code);
  AddSimpleCommand(app, "backup-revcodes",
                   "Save the charge amounts of the revenue code table to revupdmp.txt in the "
                   "private folder (before the host replaces that table).",
                   &BackupRevenueCodeChargeData, exit_code);
  AddSimpleCommand(app, "restore-revcodes",
                   "Write the charge amounts saved by backup-revcodes back into the revenue code "
                   "table.",
                   &RestoreRevenueCodeChargeData, exit_code);
}

}  // namespace dbup::tool
