#include "index_access.h"

#include "json_record.h"
#include "platform/env.h"

namespace dbup::dbftool {

Status OpenIndexedTable(const std::string& path, bool read_only, bool require_index,
                        IndexedTable* out) {
  Status s = xbase::Table::Open(path, {read_only}, &out->table);
  if (!s.ok()) return s;
  std::string mdx = xbase::ProductionIndexPath(path);
  if (out->table->production_index_flag() == 0) {
    if (require_index) return Status::NotFound(path + " has no production index");
    return Status::OK();
  }
  if (!Env::Current()->FileExists(mdx)) {
    return Status::NotFound(path + " is marked as having a production index, but " + mdx +
                            " is missing");
  }
  return xbase::TableIndexer::Open(out->table.get(), mdx, &out->index);
}

Status ParseTagSpecs(const nlohmann::json& tags, std::vector<xbase::TagSpec>* specs) {
  if (!tags.is_array()) return Status::InvalidArgument("\"tags\" must be an array");
  for (const auto& t : tags) {
    if (!t.is_object() || !t.contains("name") || !t["name"].is_string() ||
        !t.contains("expression") || !t["expression"].is_string()) {
      return Status::InvalidArgument("each tag needs a \"name\" and an \"expression\"");
    }
    xbase::TagSpec spec;
    spec.name = t["name"].get<std::string>();
    spec.expression = t["expression"].get<std::string>();
    if (t.contains("for")) {
      if (!t["for"].is_string())
        return Status::InvalidArgument("tag " + spec.name + ": \"for\" must be text");
      spec.filter = t["for"].get<std::string>();
    }
    for (const char* flag : {"unique", "descending"}) {
      if (t.contains(flag) && !t[flag].is_boolean())
        return Status::InvalidArgument("tag " + spec.name + ": \"" + flag +
                                       "\" must be true or false");
    }
    spec.unique = t.value("unique", false);
    spec.descending = t.value("descending", false);
    specs->push_back(spec);
  }
  return Status::OK();
}

nlohmann::ordered_json KeyToJson(xbase::KeyType type, std::string_view key) {
  std::string shown = xbase::KeyToDisplay(type, key);
  if (type == xbase::KeyType::kNumeric) {
    nlohmann::ordered_json number = nlohmann::ordered_json::parse(shown, nullptr, false);
    if (!number.is_discarded()) return number;
  }
  if (type == xbase::KeyType::kChar) return BytesToUtf8(shown);
  return shown;
}

}  // namespace dbup::dbftool
