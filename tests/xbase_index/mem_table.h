// A table kept in memory as raw dBASE records, for testing the index half
// without the table engine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "xbase/key_expr.h"
#include "xbase/mdx_file.h"

namespace dbup::xbase::testing {

class MemTable {
 public:
  // Fields as (name, type, length, decimals).
  void AddField(const std::string& name, char type, int length, int decimals = 0) {
    ExprField f;
    f.name = name;
    f.type = type;
    f.length = length;
    f.decimals = decimals;
    f.offset = layout_.record_length;
    layout_.fields.push_back(f);
    layout_.record_length += length;
  }

  // Values in field order, each padded as the .dbf stores it: character
  // left-aligned, numbers right-aligned.
  uint32_t Append(const std::vector<std::string>& values, bool deleted = false) {
    records_.push_back(Encode(values, deleted));
    return static_cast<uint32_t>(records_.size());
  }
  void Set(uint32_t recno, const std::vector<std::string>& values, bool deleted = false) {
    records_[recno - 1] = Encode(values, deleted);
  }

  const ExprLayout& layout() const { return layout_; }
  RecordRef Record(uint32_t recno) const { return RecordRef{records_[recno - 1].data(), recno}; }
  uint32_t count() const { return static_cast<uint32_t>(records_.size()); }

  MdxFile::RecordScan Scan() const {
    return [this](const MdxFile::RecordVisitor& visit) {
      for (uint32_t i = 1; i <= count(); ++i) {
        Status s = visit(Record(i));
        if (!s.ok()) return s;
      }
      return Status::OK();
    };
  }

 private:
  std::string Encode(const std::vector<std::string>& values, bool deleted) const {
    std::string r(deleted ? "*" : " ");
    for (size_t i = 0; i < layout_.fields.size(); ++i) {
      const ExprField& f = layout_.fields[i];
      std::string v = i < values.size() ? values[i] : "";
      v.resize(std::min<size_t>(v.size(), f.length));
      if (f.type == 'N' || f.type == 'F') {
        r += std::string(f.length - v.size(), ' ') + v;
      } else {
        r += v + std::string(f.length - v.size(), ' ');
      }
    }
    return r;
  }

  ExprLayout layout_;
  std::vector<std::string> records_;
};

}  // namespace dbup::xbase::testing
