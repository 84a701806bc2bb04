// The commands of dbftool. Each lives in its own file and adds its
// subcommand to the application; the callback it installs runs the command
// and stores the process exit code.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "platform/status.h"

namespace dbup::dbftool {

// Filled by the callback of the subcommand that ran.
struct Outcome {
  int exit_code = 0;
};

void AddCreateCommand(CLI::App& app, Outcome* outcome);
void AddAppendCommand(CLI::App& app, Outcome* outcome);
void AddInfoCommand(CLI::App& app, Outcome* outcome);
void AddDumpCommand(CLI::App& app, Outcome* outcome);
void AddKeysCommand(CLI::App& app, Outcome* outcome);
void AddCheckCommand(CLI::App& app, Outcome* outcome);
void AddReindexCommand(CLI::App& app, Outcome* outcome);
void AddPackCommand(CLI::App& app, Outcome* outcome);

// Reports a failure on standard error and gives the exit code for it.
int Report(const Status& status);
int Report(const std::string& message);

}  // namespace dbup::dbftool
