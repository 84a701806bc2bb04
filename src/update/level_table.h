// The level table: for each host version, the structure level its tables are
// at, which is where the update chain starts.
#pragma once

#include "update/host_version.h"

namespace dbup::update {

struct LevelLookup {
  enum class Outcome {
    kRejected,  // the version is not one the update knows
    kNoUpdate,  // the tables already have the newest structure
    kStartAt,   // run the chain from `level`
  };
  Outcome outcome = Outcome::kRejected;
  int level = 0;
};

LevelLookup LookUpStructureLevel(const THostVersion& version);

}  // namespace dbup::update
