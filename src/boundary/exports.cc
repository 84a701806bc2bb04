// The four exports and the frame they share: empty the error text, find the
// working directories, run the body, decide and report.
//
// Numbers and texts are converted by the library's own code (std::to_chars,
// std::from_chars and fixed formats) and never through the C or C++ locale,
// so the host's regional settings cannot change a decimal separator: loading
// the library needs no set-up and touches nothing of the user's.
#include <exception>
#include <string>

#include "boundary/dbup.h"
#include "boundary/set_param_value.h"
#include "boundary/working_directories.h"
#include "engine/job_context.h"
#include "maintenance/reindex_all.h"
#include "maintenance/revenue_codes.h"
#include "update/update_databases.h"

namespace dbup::boundary {

namespace {

constexpr char kErrorKey[] = "DBUP_ERR";
constexpr char kDirectoriesMessage[] = "Unable to locate (or create) critical directories.";

// The module-wide state: the host calls one export at a time.
JobContext g_job;

enum class Verdict {
  kFlag,        // the body's own success flag decides
  kEmptyError,  // success exactly when the error text stayed empty
};

struct Frame {
  Verdict verdict;
  const char* wrap_prefix;  // non-null: a failure's text is wrapped "prefix[...]"
};

// Runs one export. The body gets the job with its directories found and
// returns its success flag. Nothing thrown inside leaves this function.
template <typename Body>
int32_t RunExport(TParamBlock* params, const Frame& frame, Body body) noexcept {
  try {
    JobContext& job = g_job;
    job.error_text.clear();
    job.session = nullptr;
    bool success = false;
    try {
      if (!FindWorkingDirectories(&job.dirs)) {
        job.error_text = kDirectoriesMessage;
      } else {
        success = body(job);
      }
    } catch (const std::exception& e) {
      job.error_text = std::string("Unexpected error: ") + e.what();
      success = false;
    } catch (...) {
      job.error_text = "Unexpected error.";
      success = false;
    }
    // The bodies close their sessions on every path; an exception that
    // escaped one has unwound its scope by now.
    job.session = nullptr;

    if (frame.verdict == Verdict::kEmptyError) success = job.error_text.empty();
    if (!success && job.error_text.empty()) job.error_text = "The operation failed.";
    if (!success && frame.wrap_prefix != nullptr) {
      job.error_text = frame.wrap_prefix + job.error_text + "]";
    }
    if (success) return 0;
    SetParamValue(params, kErrorKey, job.error_text);
    return -1;
  } catch (...) {
    // Not even the report could be made (memory); fail without a text.
    return -1;
  }
}

}  // namespace

}  // namespace dbup::boundary

using dbup::JobContext;
using dbup::boundary::Frame;
using dbup::boundary::RunExport;
using dbup::boundary::Verdict;

extern "C" {

DBUP_EXPORT int32_t DBUP_CALL UpdateDatabaseStructures(TParamBlock* params) {
  const char* version_text = params != nullptr ? params->VersionText : nullptr;
  return RunExport(params, Frame{Verdict::kFlag, nullptr}, [&](JobContext& job) {
    return dbup::update::UpdateDatabases(job, version_text);
  });
}

DBUP_EXPORT int32_t DBUP_CALL ReindexAllDatabaseFiles(TParamBlock* params) {
  return RunExport(params, Frame{Verdict::kEmptyError, nullptr}, [](JobContext& job) {
    dbup::maintenance::ReindexAllTables(job);
    return job.error_text.empty();
  });
}

DBUP_EXPORT int32_t DBUP_CALL BackupRevenueCodeChargeData(TParamBlock* params) {
  return RunExport(params,
                   Frame{Verdict::kEmptyError, "Error backing up Revenue Code charge data ["},
                   [](JobContext& job) {
                     dbup::maintenance::BackupRevenueCodeCharges(job);
                     return job.error_text.empty();
                   });
}

DBUP_EXPORT int32_t DBUP_CALL RestoreRevenueCodeChargeData(TParamBlock* params) {
  return RunExport(params,
                   Frame{Verdict::kEmptyError, "Error restoring Revenue Code charge data ["},
                   [](JobContext& job) {
                     dbup::maintenance::RestoreRevenueCodeCharges(job);
                     return job.error_text.empty();
                   });
}

}  // extern "C"
