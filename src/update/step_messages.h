// The fixed texts a step reports after its name and "- ", shared by every
// form of the step template.
#pragma once

#include "engine/job_context.h"
#include "update/catalogue.h"

namespace dbup::update {

inline constexpr char kDeletePrevious[] = "Unable to delete files from previous update.";
inline constexpr char kCopyClone[] = "Unable to copy clone table files.";
inline constexpr char kDeleteBackup[] = "Unable to delete previous table backup files.";
inline constexpr char kBackup[] = "Unable to backup table files prior to update.";
inline constexpr char kCommonCopy[] = "Unable to perform common field copy.";
inline constexpr char kTranslate[] = "Unable to translate special field values.";
inline constexpr char kDeleteLive[] = "Unable to delete original table files.";
inline constexpr char kCopyBack[] = "Unable to copy updated files to data directory.";
inline constexpr char kLocate[] = "Unable to locate table files in data directory.";
inline constexpr char kUnexpected[] = "Unexpected exception.";

// Sets the step's message ("Update0092- Unable to ...") and returns false.
inline bool Fail(JobContext& ctx, const StepRow& row, const char* text) {
  ctx.error_text = StepName(row.number) + "- " + text;
  return false;
}

}  // namespace dbup::update
