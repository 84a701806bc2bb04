// dbftool info TABLE.dbf: the table's header as JSON.
#include <cstdio>
#include <iostream>

#include <nlohmann/json.hpp>

#include "commands.h"
#include "xbase/table.h"

namespace dbup::dbftool {

namespace {

struct InfoArgs {
  std::string table;
};

int Run(const InfoArgs& args) {
  std::unique_ptr<xbase::Table> table;
  Status s = xbase::Table::Open(args.table, {/*read_only=*/true}, &table);
  if (!s.ok()) return Report(s);
  const xbase::DbfHeader& h = table->header();
  char version[8], date[16];
  std::snprintf(version, sizeof(version), "0x%02X", h.version);
  std::snprintf(date, sizeof(date), "%04d-%02d-%02d", 1900 + h.year, h.month, h.day);
  nlohmann::ordered_json info;
  info["table"] = args.table;
  info["version"] = version;
  info["last_update"] = date;
  info["record_count"] = h.record_count;
  info["header_length"] = h.header_length;
  info["record_length"] = h.record_length;
  info["production_index"] = h.production_index != 0;
  info["language_driver"] = h.language_driver;
  info["memo_file"] = h.has_memo_file();
  nlohmann::ordered_json fields = nlohmann::ordered_json::array();
  for (const xbase::FieldDescriptor& f : h.fields) {
    nlohmann::ordered_json field;
    field["name"] = f.name;
    field["type"] = std::string(1, f.type);
    field["length"] = f.length;
    field["decimals"] = f.decimals;
    field["offset"] = f.offset;
    fields.push_back(field);
  }
  info["fields"] = fields;
  std::cout << info.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  return 0;
}

}  // namespace

void AddInfoCommand(CLI::App& app, Outcome* outcome) {
  auto args = std::make_shared<InfoArgs>();
  CLI::App* cmd = app.add_subcommand("info", "Show the table's header and fields as JSON");
  cmd->add_option("table", args->table, "the .dbf file")->required();
  cmd->callback([args, outcome] { outcome->exit_code = Run(*args); });
}

}  // namespace dbup::dbftool
