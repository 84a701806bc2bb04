// dbftool dump TABLE.dbf [--deleted] [--tag NAME]: one JSON line per record,
// in record order or in the order of a tag of the production index.
#include <iostream>

#include <nlohmann/json.hpp>

#include "commands.h"
#include "index_access.h"
#include "json_record.h"
#include "xbase/table.h"

namespace dbup::dbftool {

namespace {

struct DumpArgs {
  std::string table;
  bool deleted = false;
  std::string tag;
};

// The record numbers to dump: all, or the tag's in its order.
Status RecordOrder(const DumpArgs& args, IndexedTable* t, std::vector<uint32_t>* order) {
  if (args.tag.empty()) {
    for (uint32_t r = 1; r <= t->table->record_count(); ++r) order->push_back(r);
    return Status::OK();
  }
  if (t->index == nullptr) return Status::NotFound(args.table + " has no production index");
  xbase::MdxFile* mdx = t->index->mdx();
  xbase::Tag* tag = mdx->FindTag(args.tag);
  if (tag == nullptr) return Status::NotFound("no tag " + args.tag + " in " + mdx->path());
  std::vector<xbase::TagEntry> entries;
  Status s = mdx->ReadAll(tag, &entries);
  for (const xbase::TagEntry& e : entries) order->push_back(e.recno);
  return s;
}

int Run(const DumpArgs& args) {
  IndexedTable t;
  Status s = OpenIndexedTable(args.table, /*read_only=*/true, !args.tag.empty(), &t);
  if (!s.ok() && args.tag.empty() && t.table != nullptr) s = Status::OK();  // index not needed
  if (!s.ok()) return Report(s);
  std::vector<uint32_t> order;
  s = RecordOrder(args, &t, &order);
  if (!s.ok()) return Report(s);
  xbase::Table* table = t.table.get();
  for (uint32_t r : order) {
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
  cmd->add_option("--tag", args->tag, "in the order of this tag of the production index");
  cmd->callback([args, outcome] { outcome->exit_code = Run(*args); });
}

}  // namespace dbup::dbftool
