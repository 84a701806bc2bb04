// dbftool check TABLE.dbf: the table's header against its file size, every
// memo reference against the .dbt, and every tag of the production index
// against the records. Prints one line per finding ("note:" lines are
// worth knowing but harmless) and exits 1 when anything is wrong.
#include <iostream>
#include <map>

#include "commands.h"
#include "index_access.h"
#include "platform/env.h"

namespace dbup::dbftool {

namespace {

struct CheckArgs {
  std::string table;
};

class Findings {
 public:
  void Problem(const std::string& text) { Add("", text, &problems_); }
  void Note(const std::string& text) { Add("note: ", text, &notes_); }
  int problems() const { return problems_; }
  void Print() const {
    for (const std::string& line : lines_) std::cout << line << "\n";
    if (suppressed_ > 0) std::cout << "... and " << suppressed_ << " more\n";
    std::cout << (problems_ == 0 ? "ok" : std::to_string(problems_) + " problem(s) found") << "\n";
  }

 private:
  void Add(const char* prefix, const std::string& text, int* counter) {
    ++*counter;
    if (lines_.size() < 200) {
      lines_.push_back(prefix + text);
    } else {
      ++suppressed_;
    }
  }
  std::vector<std::string> lines_;
  int problems_ = 0;
  int notes_ = 0;
  int suppressed_ = 0;
};

void CheckFileSize(xbase::Table& table, Findings* f) {
  uint64_t size = 0;
  if (!Env::Current()->GetFileSize(table.path(), &size).ok()) return;
  uint64_t end = table.header().data_end();
  if (size < end) {
    f->Problem("the file has " + std::to_string(size) + " bytes; its header's " +
               std::to_string(table.record_count()) + " records need " + std::to_string(end));
  } else if (size == end) {
    f->Note("no end-of-file byte after the last record");
  } else if (size > end + 1) {
    uint64_t extra = (size - end - 1) / table.record_length();
    f->Problem("the file holds " + std::to_string(size - end - 1) + " bytes (" +
               std::to_string(extra) + " records) beyond the header's record count of " +
               std::to_string(table.record_count()));
  }
}

void CheckMemos(xbase::Table& table, Findings* f) {
  bool any = false;
  for (int i = 0; i < table.field_count(); ++i) any = any || table.field(i).type == 'M';
  if (!any) return;
  std::string text;
  for (uint32_t r = 1; r <= table.record_count(); ++r) {
    if (!table.Go(r).ok()) {
      f->Problem("record " + std::to_string(r) + " cannot be read");
      continue;
    }
    for (int i = 0; i < table.field_count(); ++i) {
      if (table.field(i).type != 'M') continue;
      Status s = table.GetMemo(i, &text);
      if (!s.ok()) {
        f->Problem("record " + std::to_string(r) + " field " + table.field(i).name + ": " +
                   s.message());
      }
    }
  }
}

void CheckTag(xbase::Table& table, xbase::MdxFile* mdx, const xbase::Tag& tag, Findings* f) {
  const std::string where = "tag " + tag.name() + ": ";
  std::vector<xbase::TagEntry> entries;
  Status s = mdx->ReadAll(&tag, &entries);
  if (!s.ok()) {
    f->Problem(where + s.message());
    return;
  }
  // What every record should contribute.
  struct Wanted {
    std::string key;
    bool included = false;
    bool deleted = false;
  };
  std::vector<Wanted> wanted(table.record_count() + 1);
  std::string buf(table.record_length(), '\0');
  for (uint32_t r = 1; r <= table.record_count(); ++r) {
    if (!(s = table.ReadRecord(r, buf.data())).ok()) {
      f->Problem(where + "record " + std::to_string(r) + ": " + s.message());
      return;
    }
    Wanted& w = wanted[r];
    w.deleted = buf[0] == '*';
    if (!(s = tag.KeyFor(xbase::RecordRef{buf.data(), r}, &w.key, &w.included)).ok()) {
      f->Problem(where + "record " + std::to_string(r) + ": " + s.message());
      return;
    }
  }
  auto shown = [&](const std::string& key) { return KeyToJson(tag.key_type(), key).dump(); };
  std::vector<int> seen(wanted.size(), 0);
  for (size_t i = 0; i < entries.size(); ++i) {
    const xbase::TagEntry& e = entries[i];
    std::string at = where + "entry " + std::to_string(i + 1) + " (record " +
                     std::to_string(e.recno) + ", key " + shown(e.key) + ")";
    if (i > 0) {
      int c = tag.Compare(entries[i - 1].key, e.key);
      if (c > 0 || (c == 0 && tag.unique())) {
        f->Problem(at + (c > 0 ? " is out of order" : " repeats a key of a unique tag"));
      } else if (c == 0 && entries[i - 1].recno > e.recno) {
        f->Note(at + ": equal keys are not in record order");
      }
    }
    if (e.recno < 1 || e.recno > table.record_count()) {
      f->Problem(at + " points past the table's " + std::to_string(table.record_count()) +
                 " records");
      continue;
    }
    const Wanted& w = wanted[e.recno];
    if (++seen[e.recno] == 2) f->Problem(at + " is the record's second entry");
    if (!w.included) {
      f->Problem(at + ": the FOR condition leaves this record out");
    } else if (tag.Compare(w.key, e.key) != 0 || w.key != e.key) {
      f->Problem(at + ": the record's key is " + shown(w.key));
    }
  }
  // Records the tag should hold but does not.
  std::map<std::string, std::pair<bool, bool>> unique_keys;  // key -> (in tag, any live record)
  if (tag.unique()) {
    for (const xbase::TagEntry& e : entries) unique_keys[e.key].first = true;
  }
  int missing_deleted = 0;
  for (uint32_t r = 1; r <= table.record_count(); ++r) {
    const Wanted& w = wanted[r];
    if (!w.included) continue;
    if (tag.unique()) {
      auto& k = unique_keys[w.key];
      k.second = k.second || !w.deleted;
      if (!k.first && !w.deleted) {
        f->Problem(where + "key " + shown(w.key) + " of record " + std::to_string(r) +
                   " is missing");
        k.first = true;  // once per key
      }
      continue;
    }
    if (seen[r] > 0) continue;
    if (w.deleted) {
      ++missing_deleted;
    } else {
      f->Problem(where + "record " + std::to_string(r) + " (key " + shown(w.key) + ") is missing");
    }
  }
  if (missing_deleted > 0) {
    f->Note(where + std::to_string(missing_deleted) +
            " deleted record(s) left out, as some writers do (dBASE keeps them)");
  }
}

void CheckIndex(xbase::Table& table, Findings* f) {
  if (table.production_index_flag() == 0) return;
  std::string path = xbase::ProductionIndexPath(table.path());
  if (!Env::Current()->FileExists(path)) {
    f->Problem("the table is marked as having a production index, but " + path + " is missing");
    return;
  }
  std::unique_ptr<xbase::TableIndexer> index;
  Status s = xbase::TableIndexer::Open(&table, path, &index);
  if (!s.ok()) {
    f->Problem(s.message());
    return;
  }
  xbase::MdxFile* mdx = index->mdx();
  uint64_t size = 0;
  if (Env::Current()->GetFileSize(path, &size).ok() &&
      size < uint64_t{mdx->stored_page_count()} * xbase::kMdxPageSize) {
    f->Problem("the index file has " + std::to_string(size) + " bytes; its header counts " +
               std::to_string(mdx->stored_page_count()) + " pages of 512");
  }
  if (mdx->tag_count() == 0) f->Note("the production index has no tags");
  for (int i = 0; i < mdx->tag_count(); ++i) CheckTag(table, mdx, *mdx->tag(i), f);
}

int Run(const CheckArgs& args) {
  std::unique_ptr<xbase::Table> table;
  Status s = xbase::Table::Open(args.table, {/*read_only=*/true}, &table);
  if (!s.ok()) {
    std::cout << s.message() << "\n1 problem(s) found\n";
    return 1;
  }
  Findings findings;
  CheckFileSize(*table, &findings);
  CheckMemos(*table, &findings);
  CheckIndex(*table, &findings);
  findings.Print();
  return findings.problems() == 0 ? 0 : 1;
}

}  // namespace

void AddCheckCommand(CLI::App& app, Outcome* outcome) {
  auto args = std::make_shared<CheckArgs>();
  CLI::App* cmd = app.add_subcommand(
      "check", "Check the table, its memo references and every index tag against the records");
  cmd->add_option("table", args->table, "the .dbf file")->required();
  cmd->callback([args, outcome] { outcome->exit_code = Run(*args); });
}

}  // namespace dbup::dbftool
