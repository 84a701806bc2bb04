// The structure history of the host's tables: what each table looks like
// before the oldest structure level, and what every update step's clone
// table adds to it. The generator builds both the live tables of an
// installation at any level and the clone folders from it.
#pragma once

#include <string>
#include <vector>

#include "platform/status.h"

namespace dbup::fixture {

struct FieldDef {
  std::string name;
  char type = 'C';
  int length = 0;
  int decimals = 0;
};

struct TagDef {
  std::string name;
  std::string expression;
};

struct TableStructure {
  std::string name;
  std::vector<FieldDef> fields;
  std::vector<TagDef> tags;
  bool indexed = true;

  const FieldDef* FindField(const std::string& field) const;
  const TagDef* FindTag(const std::string& tag) const;
  bool has_memo() const;
};

struct Change {
  enum class Kind { kCreate, kAdd, kDrop, kResize, kTag };
  int step = 0;
  Kind kind = Kind::kAdd;
  FieldDef field;  // kAdd, kResize; kDrop uses the name only
  TagDef tag;      // kTag
};

// How many records a generated table gets.
struct RowsRule {
  std::string family;  // "bc", "bs", or "" for a fixed count
  int count = 0;       // per claim of the family, or the fixed count
};

struct TableHistory {
  TableStructure first;  // before the oldest level
  RowsRule rows;
  std::string archive_family;  // "bc", "bs" or ""
  int created_by = 0;          // the step that first installs the table, or 0
  std::vector<Change> changes;
};

class StructureHistory {
 public:
  // The history of the host's tables (structure_history.cc), parsed once.
  static const StructureHistory& Host();
  static Status Parse(const std::string& text, StructureHistory* history);

  const std::vector<TableHistory>& tables() const { return tables_; }
  const TableHistory* Find(const std::string& table) const;

  // The table as an installation at structure level `level` holds it; false
  // when the table does not exist yet at that level.
  bool AtLevel(const TableHistory& table, int level, TableStructure* out) const;
  // The table as clone folder updtNNNN (clone_number NNNN) installs it.
  TableStructure InClone(const TableHistory& table, int clone_number) const;

 private:
  std::vector<TableHistory> tables_;
};

const char* StructureHistoryText();

// 36 for "updt0036".
int CloneNumber(const char* clone_folder);

}  // namespace dbup::fixture
