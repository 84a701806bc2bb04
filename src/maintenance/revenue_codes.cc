#include "maintenance/revenue_codes.h"

#include <string>
#include <vector>

#include "engine/guards.h"
#include "maintenance/charge_dump.h"
#include "platform/env.h"

namespace dbup::maintenance {

namespace {

constexpr char kOpenFailed[] = "Unable to open Revenue Codes reference file.";
constexpr char kBackupFailed[] = "Unable to back up Revenue Codes charges data.";
constexpr char kRestoreFailed[] = "Unable to restore Revenue Codes charges data.";

std::string DumpPath(const JobContext& ctx) {
  return ctx.dirs.private_dir + kChargeDumpFileName;
}

bool IsPositioned(int rc) {
  return rc == r4success || rc == r4eof;
}

// Opens revcode with its index, selects the code order and goes to the first
// record; returns d4top's result, or sets the open failure and returns e4open.
int OpenRevenueCodes(JobContext& ctx, engine::TableGuard& t, Tag4** tag) {
  if (!t.Open(ctx.dirs.data + "revcode.dbf") || !t.OpenIndex(ctx.dirs.data + "revcode.mdx")) {
    ctx.error_text = kOpenFailed;
    return e4open;
  }
  *tag = d4tag(t.table(), "BY_CODE");
  // Without the tag the walk goes in record order; a missing tag must not
  // leave an error pending for the look-ups that follow.
  if (*tag == nullptr) code4errorCode(ctx.session, 0);
  d4tagSelectP(t.table(), *tag);
  return d4top(t.table());
}

Field4* LookUpField(JobContext& ctx, Data4* d, const char* name) {
  Field4* f = d4field(d, name);
  code4errorCode(ctx.session, 0);
  return f;
}

// Walks the table in code order and collects every live nonzero charge.
bool CollectCharges(JobContext& ctx, std::vector<ChargeEntry>* entries) {
  SessionScope session(ctx);
  engine::TableGuard t(ctx.session);
  Tag4* tag = nullptr;
  int rc = OpenRevenueCodes(ctx, t, &tag);
  if (!ctx.error_text.empty()) return false;
  Field4* code = LookUpField(ctx, t.table(), "REV_CODE");
  Field4* charge = LookUpField(ctx, t.table(), "REV_CHGS");
  if (!IsPositioned(rc) || code == nullptr || charge == nullptr) {
    ctx.error_text = kBackupFailed;
    return false;
  }
  while (rc == r4success) {
    if (d4deleted(t.table()) == 0) {
      double amount = 0;
      f4double2(charge, &amount);
      if (amount != 0) {
        const char* text = f4str(code);
        entries->push_back({std::string(TrimControls(text != nullptr ? text : "")), amount});
      }
    }
    rc = d4skip(t.table(), 1);
  }
  if (rc != r4eof) {
    ctx.error_text = kBackupFailed;
    return false;
  }
  return true;
}

// Seeks the code and passes over deleted records that share it. Returns 0 when
// a live record with the code is current, a negative code on engine failure,
// anything else when there is none.
int SeekLiveRecord(Data4* d, const std::string& code) {
  int rc = d4seek(d, code.c_str());
  while (rc == r4found && d4deleted(d) != 0) rc = d4seekNext(d, code.c_str());
  return rc;
}

// Writes the amount of every entry into the live record of its code, each
// under its own record lock. Returns the status of the operation that failed,
// or d4top's result.
int WriteEntries(JobContext& ctx, Data4* d, const std::vector<std::string_view>& lines,
                 int status) {
  Field4* charge = LookUpField(ctx, d, "REV_CHGS");
  if (charge == nullptr) return e4fieldName;
  for (std::string_view line : lines) {
    ChargeEntry entry;
    if (!ParseChargeLine(line, &entry) || entry.amount == 0) continue;
    const int found = SeekLiveRecord(d, entry.code);
    // A code the table no longer has is no failure; an engine error is.
    if (found < 0) return found;
    if (found != r4found) continue;
    int rc = d4lockInternal(d, d4recNoLow(d), 1, 1);
    if (rc != 0) return rc;
    f4assignDouble(charge, entry.amount);
    rc = d4unlock(d);
    if (rc != 0) return rc;
  }
  return status;
}

int RestoreCharges(JobContext& ctx, const std::vector<std::string_view>& lines) {
  SessionScope session(ctx);
  engine::TableGuard t(ctx.session);
  Tag4* tag = nullptr;
  int status = OpenRevenueCodes(ctx, t, &tag);
  if (!ctx.error_text.empty() || !IsPositioned(status)) return status;
  // Without the code order no amount could be matched; saying so beats a
  // restore that silently writes nothing.
  if (tag == nullptr) return e4tagName;
  status = WriteEntries(ctx, t.table(), lines, status);
  // Closing stores what is still pending; a failure there loses amounts.
  const int closed = t.Close();
  return IsPositioned(status) && closed < 0 ? closed : status;
}

}  // namespace

void BackupRevenueCodeCharges(JobContext& ctx) {
  Env* env = Env::Current();
  const std::string dump = DumpPath(ctx);
  if (env->FileExists(dump)) {
    env->DeleteFile(dump);
    if (env->FileExists(dump)) {
      ctx.error_text = "Unable to delete temporary Revenue Code charge data file.";
      return;
    }
  }
  std::vector<ChargeEntry> entries;
  if (!CollectCharges(ctx, &entries)) return;
  // A half-written dump would restore only some charges later: leave none.
  if (!WriteStringToFile(dump, FormatChargeDump(entries)).ok()) {
    env->DeleteFile(dump);
    ctx.error_text = kDumpWriteFailed;
  }
}

void RestoreRevenueCodeCharges(JobContext& ctx) {
  const std::string dump = DumpPath(ctx);
  if (!Env::Current()->FileExists(dump)) return;
  std::string text;
  if (!ReadFileToString(dump, &text).ok()) {
    ctx.error_text = kDumpReadFailed;
    return;
  }
  const int status = RestoreCharges(ctx, SplitLines(text));
  if (ctx.error_text.empty() && !IsPositioned(status)) ctx.error_text = kRestoreFailed;
}

}  // namespace dbup::maintenance
