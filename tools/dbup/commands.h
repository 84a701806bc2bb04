// The tool's subcommands; each registers itself with the application.
#pragma once

#include <CLI/CLI.hpp>

namespace dbup::tool {

// Each adds its subcommand; the callback sets *exit_code.
void AddUpdateCommand(CLI::App& app, int* exit_code);
void AddMaintenanceCommands(CLI::App& app, int* exit_code);

// The --registry option every subcommand takes.
void AddRegistryOption(CLI::App* command, std::string* file);

}  // namespace dbup::tool
