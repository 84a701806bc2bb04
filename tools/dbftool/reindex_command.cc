// dbftool reindex TABLE.dbf and dbftool pack TABLE.dbf: rebuild the
// production index; pack first removes the records marked deleted.
#include "commands.h"
#include "index_access.h"

namespace dbup::dbftool {

namespace {

struct TableArg {
  std::string table;
};

int RunReindex(const TableArg& args) {
  IndexedTable t;
  Status s = OpenIndexedTable(args.table, /*read_only=*/false, /*require_index=*/true, &t);
  if (s.ok()) s = t.index->Reindex();
  if (s.ok()) s = t.index->Close();
  if (s.ok()) s = t.table->Close();
  return s.ok() ? 0 : Report(s);
}

int RunPack(const TableArg& args) {
  IndexedTable t;
  Status s = OpenIndexedTable(args.table, /*read_only=*/false, /*require_index=*/false, &t);
  if (s.ok()) s = t.table->Pack();  // the index rebuilds itself after the pack
  if (s.ok() && t.index != nullptr) s = t.index->Close();
  if (s.ok()) s = t.table->Close();
  return s.ok() ? 0 : Report(s);
}

}  // namespace

void AddReindexCommand(CLI::App& app, Outcome* outcome) {
  auto args = std::make_shared<TableArg>();
  CLI::App* cmd = app.add_subcommand("reindex", "Rebuild every tag of the production index");
  cmd->add_option("table", args->table, "the .dbf file")->required();
  cmd->callback([args, outcome] { outcome->exit_code = RunReindex(*args); });
}

void AddPackCommand(CLI::App& app, Outcome* outcome) {
  auto args = std::make_shared<TableArg>();
  CLI::App* cmd = app.add_subcommand(
      "pack", "Remove the records marked deleted, then rebuild the production index");
  cmd->add_option("table", args->table, "the .dbf file")->required();
  cmd->callback([args, outcome] { outcome->exit_code = RunPack(*args); });
}

}  // namespace dbup::dbftool
