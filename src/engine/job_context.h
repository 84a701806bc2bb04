// JobContext: the state one call of an export works with.
//
// The boundary fills it (working directories), the body of the operation
// uses it, and any routine that detects a failure writes error_text (the last
// write wins). The session is open only while the body's work runs.
#pragma once

#include <functional>
#include <string>

#include "engine/e4api.h"

namespace dbup {

// Full paths, each ending in a separator; empty until found.
struct WorkingDirectories {
  std::string server;
  std::string install;
  std::string data;
  std::string private_dir;
  std::string update;
  std::string backup;
};

// What an update step reports when it has replaced its table (tools print it;
// the library itself stays silent).
struct StepProgress {
  std::string step;   // "Update0092"
  std::string table;  // "submit"
  long records = 0;   // records copied into the new table
  double seconds = 0;
};

struct JobContext {
  WorkingDirectories dirs;
  std::string error_text;
  Code4* session = nullptr;
  // Optional; called after each update step that replaced a table.
  std::function<void(const StepProgress&)> on_step;
};

// Opens the job's engine session with the settings every operation uses and
// closes it on every path out of the scope.
class SessionScope {
 public:
  explicit SessionScope(JobContext& ctx) : ctx_(ctx) {
    ctx_.session = code4initP();
    if (ctx_.session != nullptr) {
      code4autoOpen(ctx_.session, 0);
      code4accessMode(ctx_.session, 1);
      code4optimizeWrite(ctx_.session, -1);
    }
  }
  ~SessionScope() {
    if (ctx_.session != nullptr) code4initUndo(ctx_.session);
    ctx_.session = nullptr;
  }
  SessionScope(const SessionScope&) = delete;
  SessionScope& operator=(const SessionScope&) = delete;

  bool ok() const { return ctx_.session != nullptr; }

 private:
  JobContext& ctx_;
};

}  // namespace dbup
