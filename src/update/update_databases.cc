#include "update/update_databases.h"

#include "update/chain.h"
#include "update/host_version.h"
#include "update/level_table.h"

namespace dbup::update {

namespace {

constexpr char kProgramFile[] = "TANDRIL.EXE";

}  // namespace

bool UpdateDatabases(JobContext& ctx, const char* version_text) {
  THostVersion version;
  std::string_view text = TrimControl(version_text == nullptr ? "" : version_text);
  // A text that is given but malformed is an error of its own: the program
  // file is consulted only when the host gives no text at all.
  bool found = text.empty() ? ReadFileVersion(ctx.dirs.server + kProgramFile, &version)
                            : ParseVersionText(text, &version);
  if (!found) {
    ctx.error_text = "Unable to determine (or invalid) TANDRIL.EXE version number.";
    return false;
  }

  ctx.error_text = "Invalid TANDRIL.EXE version number [" + FormatVersion(version) + "].";
  LevelLookup lookup = LookUpStructureLevel(version);
  if (lookup.outcome == LevelLookup::Outcome::kNoUpdate) return true;
  if (lookup.outcome == LevelLookup::Outcome::kRejected) return false;

  // The session is opened only when there is a chain to run: a rejected or
  // current version leaves the engine untouched.
  SessionScope session(ctx);
  if (!session.ok()) {
    ctx.error_text = "Unable to start the database engine.";
    return false;
  }
  return RunUpdateChain(ctx, lookup.level);
}

}  // namespace dbup::update
