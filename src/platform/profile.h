// Profile (INI) files as Windows reads them: only what the library needs,
// the key names of one section.
//
// The rules are those of GetPrivateProfileStringA with a null key name, as the
// host's own run-time library calls it, so that both builds see the same list:
// section and key names match case-insensitively; blanks and tabs around a
// line and around a name are ignored; lines starting with ";" are comments;
// a line without "=" is not a key; of two sections with the same name only
// the first counts; names keep their spelling and their order in the file.
// The names come back through a buffer of kProfileKeyBufferSize bytes, so a
// very long list is cut: see PackProfileKeyNames.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace dbup {

// The size of the key-name buffer the host's run-time library passes.
inline constexpr size_t kProfileKeyBufferSize = 16384;

// Reads the key names of `section` of the profile file at `path`, as they
// survive a buffer of kProfileKeyBufferSize bytes. A missing file or section
// gives an empty list and OK, as Windows does; a file that exists but cannot
// be read is an error.
Status ReadProfileKeyNames(const std::string& path, const std::string& section,
                           std::vector<std::string>* names);

// Portable parts, shared by the backends and tested on their own.

// Every key name of `section` in `contents` (the whole file), in file order.
std::vector<std::string> ParseProfileKeyNames(std::string_view contents, std::string_view section);

// What of `names` survives being packed into a buffer of `buffer_size` bytes
// the way Windows packs them: each name followed by a zero byte, room kept for
// the list's closing zero. The first name that does not fit whole is cut to
// the room left (less its two closing zeros) and ends the list; an empty
// remnant is dropped.
std::vector<std::string> PackProfileKeyNames(const std::vector<std::string>& names,
                                             size_t buffer_size);

// Splits a buffer of zero-terminated names closed by an empty name (the form
// GetPrivateProfileStringA fills) into a list, never reading past `size`.
std::vector<std::string> SplitProfileKeyBuffer(const char* buffer, size_t size);

}  // namespace dbup
