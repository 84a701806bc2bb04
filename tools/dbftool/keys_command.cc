// dbftool keys TABLE.dbf --tag NAME: the tag's entries in index order.
#include <iostream>

#include "commands.h"
#include "index_access.h"

namespace dbup::dbftool {

namespace {

struct KeysArgs {
  std::string table;
  std::string tag;
};

int Run(const KeysArgs& args) {
  IndexedTable t;
  Status s = OpenIndexedTable(args.table, /*read_only=*/true, /*require_index=*/true, &t);
  if (!s.ok()) return Report(s);
  xbase::MdxFile* mdx = t.index->mdx();
  xbase::Tag* tag = mdx->FindTag(args.tag);
  if (tag == nullptr) return Report("no tag " + args.tag + " in " + mdx->path());
  xbase::TagCursor c;
  for (s = mdx->First(tag, &c); s.ok() && !c.eof; s = mdx->Next(&c)) {
    nlohmann::ordered_json line;
    line["key"] = KeyToJson(tag->key_type(), c.key);
    line["recno"] = c.recno;
    std::cout << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  }
  if (!s.ok()) return Report(s);
  std::cout.flush();
  return std::cout ? 0 : Report("cannot write the output");
}

}  // namespace

void AddKeysCommand(CLI::App& app, Outcome* outcome) {
  auto args = std::make_shared<KeysArgs>();
  CLI::App* cmd =
      app.add_subcommand("keys", "Print a tag's keys in index order as JSON lines (key, recno)");
  cmd->add_option("table", args->table, "the .dbf file")->required();
  cmd->add_option("--tag", args->tag, "the tag of the production index")->required();
  cmd->callback([args, outcome] { outcome->exit_code = Run(*args); });
}

}  // namespace dbup::dbftool
