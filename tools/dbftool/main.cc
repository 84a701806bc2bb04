// dbftool: create, fill, describe and dump dBASE tables from the command line.
#include <iostream>

#include "commands.h"

namespace dbup::dbftool {

int Report(const Status& status) {
  return Report(status.ToString());
}

int Report(const std::string& message) {
  std::cerr << "dbftool: " << message << "\n";
  return 1;
}

}  // namespace dbup::dbftool

int main(int argc, char** argv) {
  using namespace dbup::dbftool;
  CLI::App app{"dbftool: work with dBASE tables (.dbf with their .dbt memo files)"};
  app.require_subcommand(1);
  Outcome outcome;
  AddCreateCommand(app, &outcome);
  AddAppendCommand(app, &outcome);
  AddInfoCommand(app, &outcome);
  AddDumpCommand(app, &outcome);
  AddKeysCommand(app, &outcome);
  AddCheckCommand(app, &outcome);
  AddReindexCommand(app, &outcome);
  AddPackCommand(app, &outcome);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  return outcome.exit_code;
}
