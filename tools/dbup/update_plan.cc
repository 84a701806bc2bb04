#include "update_plan.h"

#include <cstdio>
#include <memory>

#include "boundary/working_directories.h"
#include "engine/job_context.h"
#include "platform/path.h"
#include "platform/registry.h"
#include "update/catalogue.h"
#include "update/chain.h"
#include "update/host_version.h"
#include "update/level_table.h"
#include "update/update_databases.h"

namespace dbup::tool {
namespace {

constexpr char kNoDirectories[] = "Unable to locate (or create) critical directories.";

// The directories as the export finds them, but without creating the
// private, work and backup folders: a dry run changes nothing.
bool ReadDirectories(WorkingDirectories* dirs) {
  std::unique_ptr<RegistryKey> key;
  if (!OpenCurrentUserKey("Software\\Velmora\\Tandril", &key).ok()) return false;
  for (auto [name, value] :
       {std::pair{"ServerDirectory", &dirs->server}, std::pair{"InstallDirectory", &dirs->install},
        std::pair{"DataDirectory", &dirs->data}}) {
    if (!key->ReadString("General", name, value).ok() || value->empty()) return false;
    *value = boundary::AddBackslash(*value);
  }
  dirs->private_dir = dirs->install + "private" + kPathSeparator;
  dirs->update = dirs->install + "update" + kPathSeparator;
  dirs->backup = dirs->update + "backup" + kPathSeparator;
  return boundary::DirectoryExists(dirs->server) && boundary::DirectoryExists(dirs->data);
}

}  // namespace

int PlanUpdate(const std::string* version_text) {
  JobContext ctx;
  if (!ReadDirectories(&ctx.dirs)) {
    std::fprintf(stderr, "%s\n", kNoDirectories);
    return 1;
  }
  update::THostVersion version;
  const std::string_view text = update::TrimControl(version_text == nullptr ? "" : *version_text);
  const bool found = text.empty()
                         ? update::ReadFileVersion(ctx.dirs.server + "TANDRIL.EXE", &version)
                         : update::ParseVersionText(text, &version);
  if (!found) {
    std::fprintf(stderr, "Unable to determine (or invalid) TANDRIL.EXE version number.\n");
    return 1;
  }
  std::printf("version %s%s\n", update::FormatVersion(version).c_str(),
              text.empty() ? " (from TANDRIL.EXE)" : "");
  const update::LevelLookup lookup = update::LookUpStructureLevel(version);
  switch (lookup.outcome) {
    case update::LevelLookup::Outcome::kRejected:
      std::fprintf(stderr, "Invalid TANDRIL.EXE version number [%s].\n",
                   update::FormatVersion(version).c_str());
      return 1;
    case update::LevelLookup::Outcome::kNoUpdate:
      std::printf("no update needed: the tables have the newest structure\n");
      return 0;
    case update::LevelLookup::Outcome::kStartAt:
      break;
  }
  std::printf("starting level %d\n", lookup.level);
  SessionScope session(ctx);
  if (!session.ok()) {
    std::fprintf(stderr, "Unable to start the database engine.\n");
    return 1;
  }
  int needed = 0;
  for (const update::PlannedStep& step : update::PlanUpdateChain(ctx, lookup.level)) {
    const char* verdict = !step.needed    ? "not needed"
                          : step.runnable ? "needed"
                                          : "needed, not available in this build";
    needed += step.needed ? 1 : 0;
    std::printf("%s  %-44s %s\n", update::StepName(step.row->number).c_str(),
                update::TableList(*step.row).c_str(), verdict);
  }
  std::printf("%d of the steps from level %d would replace tables\n", needed, lookup.level);
  return 0;
}

int RunUpdateWithProgress(const std::string* version) {
  JobContext ctx;
  if (!boundary::FindWorkingDirectories(&ctx.dirs)) {
    std::fprintf(stderr, "%s\n", kNoDirectories);
    return 1;
  }
  ctx.on_step = [](const StepProgress& p) {
    std::fprintf(stderr, "%s  %-22s  %8ld records  %7.2f s\n", p.step.c_str(), p.table.c_str(),
                 p.records, p.seconds);
  };
  const bool ok = update::UpdateDatabases(ctx, version == nullptr ? nullptr : version->c_str());
  if (!ok) std::fprintf(stderr, "%s\n", ctx.error_text.c_str());
  return ok ? 0 : 1;
}

}  // namespace dbup::tool
