#include "json_record.h"

#include <charconv>

#include "xbase/field_codec.h"

namespace dbup::dbftool {

std::string BytesToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (u >> 6)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return out;
}

bool Utf8ToBytes(std::string_view text, std::string* bytes) {
  bytes->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char u = static_cast<unsigned char>(text[i]);
    if (u < 0x80) {
      bytes->push_back(static_cast<char>(u));
    } else if ((u == 0xC2 || u == 0xC3) && i + 1 < text.size() &&
               (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
      bytes->push_back(static_cast<char>(((u & 0x03) << 6) | (text[i + 1] & 0x3F)));
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

Status FieldToJson(xbase::Table& table, int i, nlohmann::ordered_json* value) {
  const xbase::FieldDescriptor& f = table.field(i);
  std::string_view bytes = table.FieldBytes(i);
  std::string_view trimmed = xbase::TrimBlanks(bytes);
  switch (f.type) {
    case 'M': {
      std::string text;
      Status s = table.GetMemo(i, &text);
      if (!s.ok()) return s;
      *value = BytesToUtf8(text);
      return Status::OK();
    }
    case 'N':
    case 'F': {
      xbase::Decimal d;
      if (!xbase::ParseDecimal(bytes, &d)) {
        *value = nullptr;  // blank, or asterisks of an overflow
        return Status::OK();
      }
      if (d.fraction.find_first_not_of('0') == std::string::npos) {
        int64_t v = xbase::TextToInt(bytes);
        if (std::to_string(v < 0 ? -v : v) == d.integer) {
          *value = v;
          return Status::OK();
        }
      }
      double v = 0;
      xbase::TextToDouble(bytes, &v);
      *value = v;
      return Status::OK();
    }
    case 'D':
      if (trimmed.empty()) {
        *value = nullptr;
      } else {
        *value = BytesToUtf8(trimmed);
      }
      return Status::OK();
    case 'L':
      if (!trimmed.empty() &&
          (trimmed[0] == 'T' || trimmed[0] == 't' || trimmed[0] == 'Y' || trimmed[0] == 'y')) {
        *value = true;
      } else if (!trimmed.empty() && (trimmed[0] == 'F' || trimmed[0] == 'f' || trimmed[0] == 'N' ||
                                      trimmed[0] == 'n')) {
        *value = false;
      } else {
        *value = nullptr;
      }
      return Status::OK();
    default: {
      std::string_view text = bytes;
      while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
      *value = BytesToUtf8(text);
      return Status::OK();
    }
  }
}

Status JsonToFieldText(const xbase::FieldDescriptor& field, const nlohmann::json& value,
                       std::string* text) {
  text->clear();
  switch (value.type()) {
    case nlohmann::json::value_t::null:
      return Status::OK();
    case nlohmann::json::value_t::boolean:
      *text = value.get<bool>() ? "T" : "F";
      return Status::OK();
    case nlohmann::json::value_t::number_integer:
      *text = std::to_string(value.get<int64_t>());
      return Status::OK();
    case nlohmann::json::value_t::number_unsigned:
      *text = std::to_string(value.get<uint64_t>());
      return Status::OK();
    case nlohmann::json::value_t::number_float: {
      // Shortest text of the double: what the JSON said, rounded by the
      // field's own rules afterwards.
      char buf[400];
      auto [end, ec] =
          std::to_chars(buf, buf + sizeof(buf), value.get<double>(), std::chars_format::fixed);
      if (ec != std::errc()) return Status::InvalidArgument("field " + field.name + ": bad number");
      text->assign(buf, end);
      return Status::OK();
    }
    case nlohmann::json::value_t::string:
      if (!Utf8ToBytes(value.get_ref<const std::string&>(), text)) {
        return Status::InvalidArgument("field " + field.name +
                                       ": text holds characters outside Latin-1");
      }
      return Status::OK();
    default:
      return Status::InvalidArgument("field " + field.name + ": " + value.type_name() +
                                     " is not a field value");
  }
}

}  // namespace dbup::dbftool
