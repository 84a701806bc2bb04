#include <algorithm>
#include <sstream>

#include "structure_history.h"
#include "update/catalogue.h"

namespace dbup::fixture {
namespace {

Status ParseError(int line, const std::string& what) {
  return Status::InvalidArgument("structure history line " + std::to_string(line) + ": " + what);
}

bool ParseField(std::istringstream& in, FieldDef* field) {
  std::string type;
  if (!(in >> field->name >> type >> field->length) || type.size() != 1) return false;
  field->type = type[0];
  field->decimals = 0;
  in >> field->decimals;
  return true;
}

void Apply(const Change& change, TableStructure* s) {
  auto field = std::find_if(s->fields.begin(), s->fields.end(),
                            [&](const FieldDef& f) { return f.name == change.field.name; });
  switch (change.kind) {
    case Change::Kind::kCreate:
      break;
    case Change::Kind::kAdd:
      if (field == s->fields.end()) s->fields.push_back(change.field);
      break;
    case Change::Kind::kDrop:
      if (field != s->fields.end()) s->fields.erase(field);
      break;
    case Change::Kind::kResize:
      if (field != s->fields.end()) *field = change.field;
      break;
    case Change::Kind::kTag:
      if (s->FindTag(change.tag.name) == nullptr) s->tags.push_back(change.tag);
      break;
  }
}

}  // namespace

const FieldDef* TableStructure::FindField(const std::string& field) const {
  for (const FieldDef& f : fields) {
    if (f.name == field) return &f;
  }
  return nullptr;
}

const TagDef* TableStructure::FindTag(const std::string& tag) const {
  for (const TagDef& t : tags) {
    if (t.name == tag) return &t;
  }
  return nullptr;
}

bool TableStructure::has_memo() const {
  return std::any_of(fields.begin(), fields.end(), [](const FieldDef& f) { return f.type == 'M'; });
}

int CloneNumber(const char* clone_folder) {
  return std::stoi(std::string(clone_folder + 4));
}

const StructureHistory& StructureHistory::Host() {
  static const StructureHistory* history = [] {
    auto* h = new StructureHistory;
    Status s = Parse(StructureHistoryText(), h);
    if (!s.ok()) throw std::runtime_error(s.ToString());
    return h;
  }();
  return *history;
}

Status StructureHistory::Parse(const std::string& text, StructureHistory* history) {
  history->tables_.clear();
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || word[0] == '#') continue;
    if (word == "table") {
      TableHistory table;
      in >> table.first.name;
      std::string option;
      while (in >> option) {
        if (option == "rows") {
          std::string first;
          in >> first;
          if (first == "claim") {
            in >> table.rows.family >> table.rows.count;
          } else {
            table.rows.count = std::stoi(first);
          }
        } else if (option == "archive") {
          in >> table.archive_family;
        } else if (option == "noindex") {
          table.first.indexed = false;
        } else {
          return ParseError(number, "unknown table option " + option);
        }
      }
      history->tables_.push_back(std::move(table));
    } else if (word == "tag") {
      if (history->tables_.empty()) return ParseError(number, "tag outside a table");
      TagDef tag;
      if (!(in >> tag.name >> tag.expression)) return ParseError(number, "bad tag");
      history->tables_.back().first.tags.push_back(tag);
    } else if (std::isdigit(static_cast<unsigned char>(word[0]))) {
      Change change;
      change.step = std::stoi(word);
      std::string table, kind;
      in >> table >> kind;
      TableHistory* target = nullptr;
      for (TableHistory& t : history->tables_) {
        if (t.first.name == table) target = &t;
      }
      const update::StepRow* row = update::FindStep(change.step);
      if (target == nullptr || row == nullptr) return ParseError(number, "unknown table or step");
      if (kind == "create") {
        change.kind = Change::Kind::kCreate;
        target->created_by = change.step;
      } else if (kind == "add" || kind == "resize") {
        change.kind = kind == "add" ? Change::Kind::kAdd : Change::Kind::kResize;
        if (!ParseField(in, &change.field)) return ParseError(number, "bad field");
      } else if (kind == "drop") {
        change.kind = Change::Kind::kDrop;
        in >> change.field.name;
      } else if (kind == "tag") {
        change.kind = Change::Kind::kTag;
        in >> change.tag.name >> change.tag.expression;
      } else {
        return ParseError(number, "unknown change " + kind);
      }
      target->changes.push_back(change);
    } else {
      if (history->tables_.empty()) return ParseError(number, "field outside a table");
      std::istringstream field_in(line);
      FieldDef field;
      if (!ParseField(field_in, &field)) return ParseError(number, "bad field");
      history->tables_.back().first.fields.push_back(field);
    }
  }
  return Status::OK();
}

const TableHistory* StructureHistory::Find(const std::string& table) const {
  for (const TableHistory& t : tables_) {
    if (t.first.name == table) return &t;
  }
  return nullptr;
}

bool StructureHistory::AtLevel(const TableHistory& table, int level, TableStructure* out) const {
  if (table.created_by != 0 && table.created_by >= level) return false;
  *out = table.first;
  for (const Change& change : table.changes) {
    if (change.step < level) Apply(change, out);
  }
  return true;
}

TableStructure StructureHistory::InClone(const TableHistory& table, int clone_number) const {
  TableStructure s = table.first;
  for (const Change& change : table.changes) {
    if (CloneNumber(update::FindStep(change.step)->clone_folder) <= clone_number) Apply(change, &s);
  }
  return s;
}

}  // namespace dbup::fixture
