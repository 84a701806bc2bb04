// dbftool create TABLE.dbf --schema SCHEMA.json [--force]
#include <nlohmann/json.hpp>

#include "commands.h"
#include "index_access.h"
#include "platform/env.h"
#include "platform/path.h"
#include "xbase/table.h"

namespace dbup::dbftool {

namespace {

struct CreateArgs {
  std::string table;
  std::string schema;
  bool force = false;
};

Status ParseSchema(const std::string& path, std::vector<xbase::FieldSpec>* fields,
                   xbase::CreateOptions* options, std::vector<xbase::TagSpec>* tags) {
  std::string text;
  Status s = ReadFileToString(path, &text);
  if (!s.ok()) return s;
  nlohmann::json schema = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (schema.is_discarded() || !schema.is_object()) {
    return Status::InvalidArgument(path + ": not a JSON object");
  }
  if (!schema.contains("fields") || !schema["fields"].is_array()) {
    return Status::InvalidArgument(path + ": \"fields\" must be an array");
  }
  for (const auto& f : schema["fields"]) {
    if (!f.is_object() || !f.contains("name") || !f["name"].is_string() || !f.contains("type") ||
        !f["type"].is_string() || f["type"].get<std::string>().size() != 1) {
      return Status::InvalidArgument(path +
                                     ": each field needs a \"name\" and a one-letter \"type\"");
    }
    xbase::FieldSpec spec;
    spec.name = f["name"].get<std::string>();
    spec.type = f["type"].get<std::string>()[0];
    for (const char* key : {"length", "decimals"}) {
      if (f.contains(key) && !f[key].is_number_integer()) {
        return Status::InvalidArgument(path + ": field " + spec.name + ": \"" + key +
                                       "\" must be a whole number");
      }
    }
    spec.length = f.value("length", 0);
    spec.decimals = f.value("decimals", 0);
    fields->push_back(spec);
  }
  if (schema.contains("language_driver")) {
    if (!schema["language_driver"].is_number_integer() || schema["language_driver"] < 0 ||
        schema["language_driver"] > 255) {
      return Status::InvalidArgument(path + ": \"language_driver\" must be 0 to 255");
    }
    options->language_driver = schema["language_driver"].get<uint8_t>();
  }
  if (schema.contains("tags")) {
    s = ParseTagSpecs(schema["tags"], tags);
    if (!s.ok()) return Status::InvalidArgument(path + ": " + s.message());
  }
  return Status::OK();
}

int Run(const CreateArgs& args) {
  if (!args.force && Env::Current()->FileExists(args.table)) {
    return Report(args.table + " exists; use --force to replace it");
  }
  std::vector<xbase::FieldSpec> fields;
  xbase::CreateOptions options;
  std::vector<xbase::TagSpec> tags;
  Status s = ParseSchema(args.schema, &fields, &options, &tags);
  if (!s.ok()) return Report(s);
  std::unique_ptr<xbase::Table> table;
  s = xbase::Table::Create(args.table, fields, options, &table);
  if (s.ok() && !tags.empty()) {
    std::unique_ptr<xbase::TableIndexer> index;
    s = xbase::TableIndexer::CreateProduction(table.get(), tags, &index);
    if (s.ok()) s = index->Close();
    if (!s.ok()) {
      // A table without the index it was asked for is not what was wanted.
      table.reset();
      for (const char* ext : {".dbt", ".DBT"})
        Env::Current()->DeleteFile(ReplaceExtension(args.table, ext));
      Env::Current()->DeleteFile(args.table);
      return Report(s);
    }
  }
  if (s.ok()) s = table->Close();
  if (!s.ok()) return Report(s);
  return 0;
}

}  // namespace

void AddCreateCommand(CLI::App& app, Outcome* outcome) {
  auto args = std::make_shared<CreateArgs>();
  CLI::App* cmd =
      app.add_subcommand("create", "Create an empty table (and its .dbt when a field is a memo)");
  cmd->add_option("table", args->table, "the .dbf file to create")->required();
  cmd->add_option("--schema", args->schema,
                  "JSON: {\"fields\": [{\"name\", \"type\", \"length\", \"decimals\"}], \"tags\": "
                  "[{\"name\", \"expression\", \"unique\", \"descending\", \"for\"}]}")
      ->required();
  cmd->add_flag("--force", args->force, "replace an existing table");
  cmd->callback([args, outcome] { outcome->exit_code = Run(*args); });
}

}  // namespace dbup::dbftool
