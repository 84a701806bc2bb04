// dbup update: UpdateDatabaseStructures.
#include <memory>
#include <optional>
#include <string>

#include "commands.h"
#include "host_block.h"

namespace dbup::tool {

namespace {

struct UpdateOptions {
  std::string registry;
  std::optional<std::string> version;
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
  cmd->callback([options, exit_code] {
    if (!UseRegistry(options->registry)) {
      *exit_code = 1;
      return;
    }
    const std::string* version = options->version ? &*options->version : nullptr;
    *exit_code = CallExport(&UpdateDatabaseStructures, version);
  });
}

}  // namespace dbup::tool
