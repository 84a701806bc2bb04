#include "xbase/table_index.h"

#include <cctype>

#include "platform/path.h"

namespace dbup::xbase {

ExprLayout LayoutOf(const Table& table) {
  ExprLayout layout;
  for (const FieldDescriptor& f : table.fields()) {
    ExprField e;
    e.name = f.name;
    e.type = f.type;
    e.length = f.length;
    e.decimals = f.decimals;
    e.offset = static_cast<int>(f.offset);
    layout.fields.push_back(e);
  }
  layout.record_length = table.record_length();
  return layout;
}

MdxFile::RecordScan ScanOf(Table* table) {
  return [table](const MdxFile::RecordVisitor& visit) {
    std::string buf(table->record_length(), '\0');
    for (uint32_t r = 1; r <= table->record_count(); ++r) {
      Status s = table->ReadRecord(r, buf.data());
      if (!s.ok()) return s;
      s = visit(RecordRef{buf.data(), r});
      if (!s.ok()) return s;
    }
    return Status::OK();
  };
}

std::string ProductionIndexPath(const std::string& dbf_path) {
  std::string_view base = BaseName(dbf_path);
  size_t dot = base.rfind('.');
  bool upper = dot != std::string_view::npos && dot + 1 < base.size() &&
               std::isupper(static_cast<unsigned char>(base[dot + 1]));
  return ReplaceExtension(dbf_path, upper ? ".MDX" : ".mdx");
}

TableIndexer::TableIndexer(Table* table, std::unique_ptr<MdxFile> mdx)
    : table_(table), mdx_(std::move(mdx)) {
  table_->AddObserver(this);
}

TableIndexer::~TableIndexer() {
  table_->RemoveObserver(this);
  if (mdx_ != nullptr) mdx_->Close();
}

Status TableIndexer::Open(Table* table, const std::string& path,
                          std::unique_ptr<TableIndexer>* result) {
  std::unique_ptr<MdxFile> mdx;
  Status s = MdxFile::Open(path, table->read_only(), &mdx);
  if (!s.ok()) return s;
  s = mdx->Bind(LayoutOf(*table));
  if (!s.ok()) return s;
  result->reset(new TableIndexer(table, std::move(mdx)));
  return Status::OK();
}

Status TableIndexer::CreateProduction(Table* table, const std::vector<TagSpec>& tags,
                                      std::unique_ptr<TableIndexer>* result) {
  std::string base(BaseName(table->path()));
  base = base.substr(0, base.rfind('.'));
  std::unique_ptr<MdxFile> mdx;
  Status s = MdxFile::Create(ProductionIndexPath(table->path()), base, LayoutOf(*table), tags,
                             table->language_driver(), &mdx);
  if (!s.ok()) return s;
  if (table->changed()) s = table->WriteCurrent();
  if (s.ok()) s = mdx->Rebuild(ScanOf(table));
  if (s.ok()) s = mdx->Flush();
  if (s.ok()) s = table->SetProductionIndexFlag(1);
  if (!s.ok()) return s;
  result->reset(new TableIndexer(table, std::move(mdx)));
  return Status::OK();
}

Status TableIndexer::Reindex() {
  if (table_->changed()) {
    Status s = table_->WriteCurrent();
    if (!s.ok()) return s;
  }
  Status s = mdx_->Rebuild(ScanOf(table_));
  if (!s.ok()) return s;
  return mdx_->Flush();
}

Status TableIndexer::Close() {
  table_->RemoveObserver(this);
  if (mdx_ == nullptr) return Status::OK();
  Status s = mdx_->Close();
  mdx_.reset();
  return s;
}

Status TableIndexer::OnAppend(uint32_t recno, const char* record) {
  if (mdx_ == nullptr) return Status::OK();
  return mdx_->UpdateRecord(nullptr, RecordRef{record, recno});
}

Status TableIndexer::OnUpdate(uint32_t recno, const char* old_record, const char* new_record) {
  if (mdx_ == nullptr) return Status::OK();
  RecordRef old{old_record, recno};
  return mdx_->UpdateRecord(&old, RecordRef{new_record, recno});
}

Status TableIndexer::OnPack() {
  if (mdx_ == nullptr) return Status::OK();
  Status s = mdx_->Rebuild(ScanOf(table_));
  if (!s.ok()) return s;
  return mdx_->Flush();
}

}  // namespace dbup::xbase
