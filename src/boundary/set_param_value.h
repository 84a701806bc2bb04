// The one writer of the host's parameter block.
#pragma once

#include <string_view>

#include "boundary/param_block.h"

namespace dbup::boundary {

// Writes the entry `name` (stored as "%name%") with `value`: into the first
// row whose key equals it byte for byte, case-sensitively, or else into row
// EntryCount, which is then counted. Rows are never removed or reordered.
//
// The block carries no capacity, so the host must leave a free row; what the
// library can check it does: a block with null slots, a negative count or a
// key slot too narrow for the key is left untouched (returns false), and a
// value longer than its slot is cut to ValueWidth - 1 bytes rather than
// written over the next slot.
bool SetParamValue(TParamBlock* block, std::string_view name, std::string_view value);

// The value of the entry `name`, or null (tools and tests read the block back).
const char* FindParamValue(const TParamBlock* block, std::string_view name);

}  // namespace dbup::boundary
