// dbftool dump TABLE.dbf [--deleted]: one JSON line per record.
#include <iostream>

#include <nlohmann/json.hpp>

#include "commands.h"
#include "json_record.h"
#include "xbase/table.h"

namespace dbup::dbftool {

namespace {

struct DumpArgs {
  std::string table;
  bool deleted = false;
};

int Run(const DumpArgs& args) {
  std::unique_ptr<xbase::Table> table;
  Status s = xbase::Table::Open(args.table, {/*read_only=*/true}, &table);
  if (!s.ok()) return Report(s);
  for (uint32_t r = 1; r <= table->record_count(); ++r) {
    s = table->Go(r);
    if (!s.ok()) return Report(s);
    if (table->deleted() && !args.deleted) continue;
    nlohmann::ordered_json line;
    line["_recno"] = r;
    line["_deleted"] = table->deleted();
    for (int i = 0; i < table->field_count(); ++i) {
      nlohmann::ordered_json value;
      s = FieldToJson(*table, i, &value);
      if (!s.ok()) return Report("record " + std::to_string(r) + ": " + s.message());
      line[table->field(i).name] = std::move(value);
    }
    std::cout << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  }
  std::cout.flush();
  return std::cout ? 0 : Report("cannot write the output");
}

}  // namespace

void AddDumpCommand(CLI::App& app, Outcome* outcome) {
  auto args = std::make_shared<DumpArgs>();
  CLI::App* cmd =
      app.add_subcommand("dump", "Print the records as JSON lines (_recno, _deleted, fields)");
  cmd->add_option("table", args->table, "the .dbf file")->required();
  cmd->add_flag("--deleted", args->deleted, "include records marked deleted");
  cmd->callback([args, outcome] { outcome->exit_code = Run(*args); });
}

}  // namespace dbup::dbftool
