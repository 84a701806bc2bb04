#include "maintenance/table_fixture.h"

#include <filesystem>
#include <memory>

#include "platform/env.h"
#include "platform/path.h"
#include "xbase/table_index.h"

namespace dbup::maintenance::testing {

namespace fs = std::filesystem;

Status MakeTable(const std::string& dbf_path, const std::vector<xbase::FieldSpec>& fields,
                 const std::vector<Row>& rows, const std::vector<xbase::TagSpec>& tags) {
  std::unique_ptr<xbase::Table> table;
  Status s = xbase::Table::Create(dbf_path, fields, xbase::CreateOptions{}, &table);
  for (const Row& row : rows) {
    if (s.ok()) s = table->AppendBlank();
    for (size_t i = 0; s.ok() && i < row.values.size(); ++i) {
      s = table->SetText(static_cast<int>(i), row.values[i]);
    }
    if (s.ok()) table->SetDeleted(row.deleted);
  }
  if (s.ok()) s = table->Flush();
  if (s.ok() && !tags.empty()) {
    std::unique_ptr<xbase::TableIndexer> index;
    s = xbase::TableIndexer::CreateProduction(table.get(), tags, &index);
    if (s.ok()) s = index->Close();
  }
  if (s.ok()) s = table->Close();
  return s;
}

Installation::Installation() {
  const char sep = kPathSeparator;
  for (const char* d : {"server", "install", "data"}) fs::create_directories(root_.Path(d));
  ctx.dirs.server = root_.Path("server") + sep;
  ctx.dirs.install = root_.Path("install") + sep;
  ctx.dirs.data = root_.Path("data") + sep;
  ctx.dirs.private_dir = ctx.dirs.install + "private" + sep;
  ctx.dirs.update = ctx.dirs.install + "update" + sep;
  ctx.dirs.backup = ctx.dirs.update + "backup" + sep;
  fs::create_directories(ctx.dirs.private_dir);
  fs::create_directories(ctx.dirs.backup);
}

void Installation::WriteIni(const std::string& dir, const std::vector<std::string>& keys,
                            const std::string& section) {
  std::string text = "[General]\r\nVersion=5\r\n[" + section + "]\r\n";
  for (const std::string& k : keys) text += k + "=1\r\n";
  WriteStringToFile(dir + "TANDRIL.INI", text);
}

void Installation::WriteData(const std::string& relative, const std::string& contents) {
  const std::string path = Data(relative);
  fs::create_directories(fs::path(path).parent_path());
  WriteStringToFile(path, contents);
}

std::string Installation::ReadData(const std::string& relative) const {
  std::string s;
  ReadFileToString(Data(relative), &s);
  return s;
}

std::string Installation::WriteRegistry() const {
  auto escaped = [](const std::string& path) {
    std::string out;
    for (char c : path) {
      if (c == '\\' || c == '"') out += '\\';
      out += c;
    }
    return out;
  };
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Velmora\\Tandril\\General]\r\n"
      "\"ServerDirectory\"=\"" +
      escaped(ctx.dirs.server) +
      "\"\r\n"
      "\"InstallDirectory\"=\"" +
      escaped(ctx.dirs.install) +
      "\"\r\n"
      "\"DataDirectory\"=\"" +
      escaped(ctx.dirs.data) + "\"\r\n";
  const std::string path = root_.Path("registry.reg");
  WriteStringToFile(path, text);
  return path;
}

}  // namespace dbup::maintenance::testing
