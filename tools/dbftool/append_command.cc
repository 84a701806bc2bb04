// dbftool append TABLE.dbf < records.jsonl
//
// Every line is checked before the first record is appended, so bad input
// leaves the table as it was.
#include <iostream>

#include <nlohmann/json.hpp>

#include "commands.h"
#include "index_access.h"
#include "json_record.h"
#include "xbase/field_codec.h"
#include "xbase/table.h"

namespace dbup::dbftool {

namespace {

struct AppendArgs {
  std::string table;
};

struct PendingRecord {
  bool deleted = false;
  std::vector<std::pair<int, std::string>> values;  // field index, text
};

Status ParseLine(const xbase::Table& table, const std::string& line, PendingRecord* record) {
  nlohmann::json object = nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
  if (object.is_discarded() || !object.is_object())
    return Status::InvalidArgument("not a JSON object");
  for (const auto& [key, value] : object.items()) {
    if (key == "_recno") continue;  // dump output appends as it is
    if (key == "_deleted") {
      if (!value.is_boolean()) return Status::InvalidArgument("\"_deleted\" must be true or false");
      record->deleted = value.get<bool>();
      continue;
    }
    int i = table.FindField(key);
    if (i < 0) return Status::InvalidArgument("the table has no field " + key);
    const xbase::FieldDescriptor& f = table.field(i);
    std::string text;
    Status s = JsonToFieldText(f, value, &text);
    if (!s.ok()) return s;
    if (f.type != 'M') {
      std::string scratch(f.length, ' ');
      s = xbase::StoreText(f, text, scratch.data());
      if (!s.ok()) return s;
    }
    record->values.emplace_back(i, std::move(text));
  }
  return Status::OK();
}

int Run(const AppendArgs& args) {
  // The production index is kept up with the new records.
  IndexedTable indexed;
  Status s = OpenIndexedTable(args.table, /*read_only=*/false, /*require_index=*/false, &indexed);
  if (!s.ok()) return Report(s);
  xbase::Table* table = indexed.table.get();
  std::vector<PendingRecord> records;
  std::string line;
  for (int number = 1; std::getline(std::cin, line); ++number) {
    if (xbase::TrimBlanks(line).empty()) continue;
    PendingRecord record;
    s = ParseLine(*table, line, &record);
    if (!s.ok()) {
      return Report("line " + std::to_string(number) + ": " + s.message() +
                    "; nothing was appended");
    }
    records.push_back(std::move(record));
  }
  for (const PendingRecord& record : records) {
    s = table->AppendBlank();
    for (size_t k = 0; s.ok() && k < record.values.size(); ++k) {
      s = table->SetText(record.values[k].first, record.values[k].second);
    }
    if (!s.ok()) break;
    table->SetDeleted(record.deleted);
  }
  Status closed = table->Flush();
  if (indexed.index != nullptr) {
    Status index_closed = indexed.index->Close();
    if (closed.ok()) closed = index_closed;
  }
  Status table_closed = table->Close();
  if (closed.ok()) closed = table_closed;
  if (s.ok()) s = closed;
  if (!s.ok()) return Report(s);
  return 0;
}

}  // namespace

void AddAppendCommand(CLI::App& app, Outcome* outcome) {
  auto args = std::make_shared<AppendArgs>();
  CLI::App* cmd = app.add_subcommand(
      "append", "Append records given as JSON lines on standard input (memo values as text)");
  cmd->add_option("table", args->table, "the .dbf file")->required();
  cmd->callback([args, outcome] { outcome->exit_code = Run(*args); });
}

}  // namespace dbup::dbftool
