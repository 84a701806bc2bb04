// The production index of a generated table: its .mdx with the given tags,
// built from the table's records, and the table's production-index flag set.
#pragma once

#include <string>
#include <vector>

#include "platform/status.h"
#include "structure_history.h"

namespace dbup::fixture {

Status CreateProductionIndex(const std::string& dbf_path, const std::vector<TagDef>& tags);

}  // namespace dbup::fixture
