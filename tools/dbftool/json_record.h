// Field values of a table as JSON, both ways.
//
// Text bytes are shown as Latin-1 (every byte one character), so any table
// dumps without loss whatever its code page, and the same text appended
// again gives the same bytes.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "platform/status.h"
#include "xbase/table.h"

namespace dbup::dbftool {

// The value of field i of the current record: strings for C, D and memo
// text, numbers for N and F, booleans for L, null for a blank N, F, D or L.
Status FieldToJson(xbase::Table& table, int i, nlohmann::ordered_json* value);

// The text StoreText/SetText expect for a JSON value given to field i.
// Fails for values the field cannot take (objects, arrays, text outside
// Latin-1).
Status JsonToFieldText(const xbase::FieldDescriptor& field, const nlohmann::json& value,
                       std::string* text);

std::string BytesToUtf8(std::string_view bytes);
// False when text holds a character above U+00FF or is not UTF-8.
bool Utf8ToBytes(std::string_view text, std::string* bytes);

}  // namespace dbup::dbftool
