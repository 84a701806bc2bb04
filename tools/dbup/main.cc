// dbup: runs one of the library's four operations the way the host calls it,
// and reports the library's failure text. Exit code 0 on success, 1 on failure.
#include <CLI/CLI.hpp>

#include "commands.h"

namespace dbup::tool {

void AddRegistryOption(CLI::App* command, std::string* file) {
  command->add_option("--registry", *file,
                      "Registry file (the text format Windows' registry editor exports) holding "
                      "HKEY_CURRENT_USER\\Software\\Velmora\\Tandril\\General; default: the "
                      "file named by DBUP_REGISTRY");
}

}  // namespace dbup::tool

int main(int argc, char** argv) {
  CLI::App app{
      "dbup: brings the Tandril host's dBASE tables up to the structure of its installed "
      "version, and maintains them. Calls the operations of the dbup library as the host "
      "does and prints a failure's message on standard error."};
  app.require_subcommand(1);
  int exit_code = 1;
  dbup::tool::AddUpdateCommand(app, &exit_code);
  dbup::tool::AddMaintenanceCommands(app, &exit_code);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? 0 : 1;
  }
  return exit_code;
}
