#include "index_writer.h"

#include <cctype>
#include <memory>

#include "platform/path.h"
#include "xbase/key_expr.h"
#include "xbase/mdx_file.h"
#include "xbase/table.h"

namespace dbup::fixture {

Status CreateProductionIndex(const std::string& dbf_path, const std::vector<TagDef>& tags) {
  std::unique_ptr<xbase::Table> table;
  Status s = xbase::Table::Open(dbf_path, xbase::OpenOptions{}, &table);
  if (!s.ok()) return s;
  xbase::ExprLayout layout;
  for (const xbase::FieldDescriptor& f : table->fields()) {
    std::string name = f.name;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    layout.fields.push_back({name, f.type, f.length, f.decimals, static_cast<int>(f.offset)});
  }
  layout.record_length = table->record_length();
  std::vector<xbase::TagSpec> specs;
  for (const TagDef& tag : tags) specs.push_back({tag.name, tag.expression, "", false, false});

  std::string base(BaseName(dbf_path));
  base = base.substr(0, base.find('.'));
  std::unique_ptr<xbase::MdxFile> mdx;
  s = xbase::MdxFile::Create(ReplaceExtension(dbf_path, ".mdx"), base, layout, specs,
                             table->language_driver(), &mdx);
  if (!s.ok()) return s;
  std::vector<char> record(table->record_length());
  s = mdx->Rebuild([&](const xbase::MdxFile::RecordVisitor& visit) -> Status {
    for (uint32_t recno = 1; recno <= table->record_count(); ++recno) {
      Status r = table->ReadRecord(recno, record.data());
      if (r.ok()) r = visit(xbase::RecordRef{record.data(), recno});
      if (!r.ok()) return r;
    }
    return Status::OK();
  });
  Status closed = mdx->Close();
  if (s.ok()) s = closed;
  if (s.ok()) s = table->SetProductionIndexFlag(1);
  closed = table->Close();
  return s.ok() ? closed : s;
}

}  // namespace dbup::fixture
