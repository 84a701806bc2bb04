// Common field copy plus reindex of a large table, against copying the
// table's files, measured in the same run (the copy is what a step costs at
// the least). Prints both times and their ratio; the target is 3x or less.
//
//   update_copy_bench [records]   (default 1000000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "convert/common_fields.h"
#include "engine/job_context.h"
#include "index_writer.h"
#include "platform/env.h"
#include "platform/path.h"
#include "xbase/table.h"

namespace {

using dbup::Status;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

Status MakeTable(const std::string& path, const std::vector<dbup::xbase::FieldSpec>& fields,
                 long records) {
  std::unique_ptr<dbup::xbase::Table> t;
  Status s = dbup::xbase::Table::Create(path, fields, {}, &t);
  char text[32];
  for (long r = 0; r < records && s.ok(); ++r) {
    s = t->AppendBlank();
    if (s.ok()) s = t->SetInt(0, 100000 + r);
    std::snprintf(text, sizeof(text), "P%09ld", (r * 7919) % 1000003);
    if (s.ok()) s = t->SetText(1, text);
    if (s.ok()) s = t->SetText(2, "SMITH");
    if (s.ok()) s = t->SetDouble(3, static_cast<double>(r % 100000) / 100.0);
    if (s.ok()) s = t->SetText(4, "20240131");
    if (s.ok() && r % 13 == 12) t->SetDeleted(true);
  }
  Status closed = t->Close();
  if (!s.ok()) return s;
  if (!closed.ok()) return closed;
  return dbup::fixture::CreateProductionIndex(path,
                                              {{"CLM_ALL", "STR(CLAIM,10)"}, {"BY_PCN", "C_PCN"}});
}

}  // namespace

int main(int argc, char** argv) {
  const long records = argc > 1 ? std::atol(argv[1]) : 1000000;
  dbup::Env* env = dbup::Env::Current();
  char pattern[] = "/tmp/dbup_bench_XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string root = dbup::WithTrailingSeparator(pattern);
  const std::string old_dir = root + "old", new_dir = root + "new", copy_dir = root + "copy";
  for (const std::string& d : {old_dir, new_dir, copy_dir}) env->CreateDirectory(d);

  std::vector<dbup::xbase::FieldSpec> fields = {{"CLAIM", 'N', 10, 0},
                                                {"C_PCN", 'C', 20, 0},
                                                {"C_LNAME", 'C', 35, 0},
                                                {"C_TOTCHG", 'N', 12, 2},
                                                {"C_FROMDT", 'D', 8, 0}};
  Status s = MakeTable(dbup::JoinPath(old_dir, "t.dbf"), fields, records);
  fields.push_back({"C_NEWFLD", 'C', 10, 0});
  if (s.ok()) s = MakeTable(dbup::JoinPath(new_dir, "t.dbf"), fields, 0);
  if (!s.ok()) {
    std::fprintf(stderr, "setup failed: %s\n", s.ToString().c_str());
    return 1;
  }

  auto started = std::chrono::steady_clock::now();
  for (const char* ext : {".dbf", ".mdx"}) {
    s = env->CopyFile(dbup::JoinPath(old_dir, std::string("t") + ext),
                      dbup::JoinPath(copy_dir, std::string("t") + ext));
    if (!s.ok()) return 1;
  }
  const double copy_seconds = Seconds(started);

  dbup::JobContext ctx;
  long copied = 0;
  double fill_seconds = 0;
  {
    dbup::SessionScope session(ctx);
    started = std::chrono::steady_clock::now();
    if (!dbup::convert::CopyCommonFields(ctx.session, old_dir, new_dir, "t", &copied)) {
      std::fprintf(stderr, "common field copy failed\n");
      return 1;
    }
    fill_seconds = Seconds(started);
  }
  std::printf("records %ld (copied %ld live)\n", records, copied);
  std::printf("file copy            %8.3f s\n", copy_seconds);
  std::printf("common copy+reindex  %8.3f s\n", fill_seconds);
  std::printf("ratio                %8.2f x (target <= 3x)\n",
              copy_seconds > 0 ? fill_seconds / copy_seconds : 0.0);
  std::system(("rm -rf " + root).c_str());
  return 0;
}
