// dbup update: UpdateDatabaseStructures.
#include <unistd.h>
#include <memory>
#include <optional>
#include <string>

#include "commands.h"
#include "host_block.h"
#include "update_plan.h"

namespace dbup::tool {

namespace {

struct UpdateOptions {
  std::string registry;
  std::optional<std::string> version;
  bool dry_run = false;
  bool progress = false;
};

}  // namespace

void AddUpdateCommand(CLI::App& app, int* exit_code) {
  auto options = std::make_shared<UpdateOptions>();
  CLI::App* cmd = app.add_subcommand(
      "update",
      "Bring every table up to the structure the host's version expects (backing up each "
      "replaced table and rolling all back when a step fails).");
  AddRegistryOption(cmd, &options->registry);
  cmd->add_option("--version", options->version,
                  "The host's version as four numbers, e.g. 2.24.0.200; default: the version "
                  "resource of TANDRIL.EXE in the server directory");
  cmd->add_flag("--dry-run", options->dry_run,
                "Print the version, the starting level and, for every step from that level, its "
                "tables and whether its test finds work; change no file");
  cmd->add_flag("--progress", options->progress,
                "Print one line per replaced table (step, table, records copied, seconds) on "
                "standard error; the default when standard error is a terminal");
  cmd->callback([options, exit_code] {
    if (!UseRegistry(options->registry)) {
      *exit_code = 1;
      return;
    }
    const std::string* version = options->version ? &*options->version : nullptr;
    if (options->dry_run) {
      *exit_code = PlanUpdate(version);
    } else if (options->progress || isatty(STDERR_FILENO)) {
      *exit_code = RunUpdateWithProgress(version);
    } else {
      *exit_code = CallExport(&UpdateDatabaseStructures, version);
    }
  });
}

}  // namespace dbup::tool
