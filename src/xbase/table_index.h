// The link between a Table and its .mdx: the record layout that key
// expressions read, a scan of the table's records for rebuilds, and
// TableIndexer, which keeps an open index current as the table changes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/status.h"
#include "xbase/key_expr.h"
#include "xbase/mdx_file.h"
#include "xbase/table.h"

namespace dbup::xbase {

ExprLayout LayoutOf(const Table& table);

// Visits every record of the table in record order (deleted ones too).
MdxFile::RecordScan ScanOf(Table* table);

// The production index beside a .dbf: ".mdx" for a lower-case extension,
// ".MDX" otherwise, as readers on case-sensitive systems look for it.
std::string ProductionIndexPath(const std::string& dbf_path);

// Keeps one open index current with the table's appends, writes and packs.
// Registers itself with the table for its lifetime; the table must outlive it.
class TableIndexer : public RecordObserver {
 public:
  // Opens (read-only with a read-only table) and binds the index at path.
  static Status Open(Table* table, const std::string& path, std::unique_ptr<TableIndexer>* result);
  // Creates the production index with these tags, fills it from the
  // records, and sets the table's production-index flag.
  static Status CreateProduction(Table* table, const std::vector<TagSpec>& tags,
                                 std::unique_ptr<TableIndexer>* result);
  ~TableIndexer() override;

  MdxFile* mdx() { return mdx_.get(); }
  Table* table() { return table_; }
  // Stores the table's changed current record, then rebuilds every tag.
  Status Reindex();
  Status Close();

  Status OnAppend(uint32_t recno, const char* record) override;
  Status OnUpdate(uint32_t recno, const char* old_record, const char* new_record) override;
  Status OnPack() override;

 private:
  TableIndexer(Table* table, std::unique_ptr<MdxFile> mdx);
  Table* table_;
  std::unique_ptr<MdxFile> mdx_;
};

}  // namespace dbup::xbase
