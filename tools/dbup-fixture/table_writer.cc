// Generated records: deterministic for a seed, plausible for a claims
// program (names, codes, amounts, dates, multi-line memo texts), with every
// thirteenth record marked deleted so that copies must pass them over.
#include <cstdio>
#include <memory>

#include "index_writer.h"
#include "installation.h"
#include "platform/path.h"
#include "xbase/table.h"

namespace dbup::fixture {
namespace {

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }

 private:
  uint64_t state_;
};

uint64_t Hash(const std::string& text) {
  uint64_t h = 1469598103934665603ull;
  for (char c : text) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

const char* const kLastNames[] = {"SMITH",  "JOHNSON",  "O'BRIEN", "GARCIA",       "NGUYEN",
                                  "MULLER", "KOWALSKI", "ROSSI",   "VAN DER BERG", "OKAFOR"};
const char* const kFirstNames[] = {"MARY", "JAMES", "ANA", "WEI", "FATIMA", "JOHN", "LENA"};
const char* const kCodes[] = {"ATTC", "OPRC", "OTHC", "REFC", "FACC", "PSSL", "SUPL", "ORDL"};
const char* const kQualifiers[] = {"1G", "24", "34", "1C", "XX", "0B"};

bool EndsWith(const std::string& s, const char* suffix) {
  const std::string t(suffix);
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

bool IsClaimField(const std::string& name) {
  return name == "CLAIM" || EndsWith(name, "_CLAIM");
}
bool IsLineField(const std::string& name) {
  return name == "LINE" || EndsWith(name, "_LINE");
}

std::string Fit(std::string text, int length) {
  if (static_cast<int>(text.size()) > length) text.resize(static_cast<size_t>(length));
  return text;
}

bool Has(const std::string& name, const char* part) {
  return name.find(part) != std::string::npos;
}

std::string TextValue(const FieldDef& f, int row, bool first_field, Random& rnd) {
  const std::string& n = f.name;
  char buf[96];
  if (first_field) {
    // Revenue codes are four characters: the usual pattern would cut every
    // one to "R000", and backup and restore match them by code.
    if (n == "REV_CODE") {
      std::snprintf(buf, sizeof(buf), "%c%03d", n[0], (row + 1) % 1000);
      return Fit(buf, f.length);
    }
    std::snprintf(buf, sizeof(buf), "%c%05d", n[0], row + 1);
    return Fit(buf, f.length);
  }
  if (Has(n, "LNAME") || Has(n, "L_NAME") || n == "LASTNAME" || Has(n, "LN")) {
    return Fit(kLastNames[rnd.Below(10)], f.length);
  }
  if (Has(n, "FNAME") || Has(n, "F_NAME") || n == "FIRSTNAME" || Has(n, "FN")) {
    return Fit(kFirstNames[rnd.Below(7)], f.length);
  }
  if (Has(n, "NAME")) {
    std::snprintf(buf, sizeof(buf), "%s %s CLINIC", kLastNames[rnd.Below(10)],
                  rnd.Below(2) ? "FAMILY" : "MEDICAL");
    return Fit(buf, f.length);
  }
  if (Has(n, "TYPE") && f.length >= 4) return kCodes[rnd.Below(8)];
  if (Has(n, "PAYSEQ") || n == "C_PAYER_S") {
    // Payer sequences as the host writes them, "01" to "03", sometimes blank.
    const int seq = rnd.Below(4);
    return seq == 0 ? "" : "0" + std::to_string(seq);
  }
  if (f.length <= 3 && rnd.Below(4) == 0) return "";
  if (f.length == 2) return kQualifiers[rnd.Below(6)];
  if (f.length == 1) return std::string(1, "YNS123"[rnd.Below(6)]);
  if (rnd.Below(6) == 0) return "";
  if (Has(n, "NPI")) {
    std::snprintf(buf, sizeof(buf), "1%09d", rnd.Below(1000000000));
    return Fit(buf, f.length);
  }
  if (Has(n, "ID") || Has(n, "UPIN") || Has(n, "PCN") || Has(n, "AUT") || Has(n, "REF") ||
      Has(n, "SUP") || Has(n, "ORD") || Has(n, "OPER") || Has(n, "OTHER") || Has(n, "ATTEND")) {
    // Provider and patient identifiers in the shapes the host meets: UPINs
    // (letters then digits), tax numbers, and free text.
    switch (rnd.Below(3)) {
      case 0:
        std::snprintf(buf, sizeof(buf), "%c%c%04d", 'A' + rnd.Below(26), 'A' + rnd.Below(26),
                      rnd.Below(10000));
        break;
      case 1:
        std::snprintf(buf, sizeof(buf), "%02d-%07d", rnd.Below(100), rnd.Below(10000000));
        break;
      default:
        std::snprintf(buf, sizeof(buf), "%d", 100000 + rnd.Below(900000));
        break;
    }
    return Fit(buf, f.length);
  }
  if (Has(n, "ADDR")) {
    std::snprintf(buf, sizeof(buf), "%d MAIN ST", 1 + rnd.Below(9999));
    return Fit(buf, f.length);
  }
  if (Has(n, "EMAIL")) return Fit("billing@example.org", f.length);
  if (f.length >= 30) {
    std::snprintf(buf, sizeof(buf), "%s follow-up, see chart %d", kLastNames[rnd.Below(10)],
                  rnd.Below(1000));
    return Fit(buf, f.length);
  }
  std::snprintf(buf, sizeof(buf), "%c%d", 'A' + rnd.Below(26), rnd.Below(100000000));
  return Fit(buf, f.length);
}

std::string MemoValue(int row, Random& rnd) {
  if (rnd.Below(4) == 0) return "";
  std::string text = "Note for record " + std::to_string(row + 1) + "\r\n";
  const int lines = 1 + rnd.Below(4);
  for (int i = 0; i < lines; ++i) {
    text += "line " + std::to_string(i + 2) + ": follow-up " + kLastNames[rnd.Below(10)] + "\r\n";
  }
  return text;
}

double NumberValue(const FieldDef& f, Random& rnd) {
  int digits = f.length - (f.decimals > 0 ? f.decimals + 1 : 0) - 1;
  if (digits > 6) digits = 6;
  if (digits < 1) digits = 1;
  int limit = 1;
  for (int i = 0; i < digits; ++i) limit *= 10;
  double value = rnd.Below(limit);
  if (f.decimals > 0) value += rnd.Below(100) / 100.0;
  return value;
}

Status FillRecord(xbase::Table& t, const TableStructure& s, int row, int claim, int line,
                  Random& rnd) {
  for (size_t i = 0; i < s.fields.size(); ++i) {
    const FieldDef& f = s.fields[i];
    const int index = static_cast<int>(i);
    Status st;
    switch (f.type) {
      case 'N':
      case 'F':
        if (IsClaimField(f.name)) {
          st = t.SetInt(index, claim);
        } else if (IsLineField(f.name) || EndsWith(f.name, "SEQ")) {
          st = t.SetInt(index, line);
        } else {
          st = t.SetDouble(index, NumberValue(f, rnd));
        }
        break;
      case 'D': {
        char date[48];
        std::snprintf(date, sizeof(date), "%04d%02d%02d", 2015 + rnd.Below(11), 1 + rnd.Below(12),
                      1 + rnd.Below(28));
        st = t.SetText(index, date);
        break;
      }
      case 'L':
        st = t.SetText(index, rnd.Below(2) ? "T" : "F");
        break;
      case 'M':
        st = t.SetText(index, MemoValue(row, rnd));
        break;
      default:
        st = t.SetText(index, TextValue(f, row, i == 0 && !IsClaimField(f.name), rnd));
        break;
    }
    if (!st.ok()) return st;
  }
  if (row % 13 == 12) t.SetDeleted(true);
  return Status::OK();
}

}  // namespace

Status WriteTable(const std::string& dir, const TableStructure& s, const RowsRule& rows, int claims,
                  int claims_base, uint64_t seed) {
  std::vector<xbase::FieldSpec> fields;
  for (const FieldDef& f : s.fields) fields.push_back({f.name, f.type, f.length, f.decimals});
  const std::string path = WithTrailingSeparator(dir) + s.name + ".dbf";
  std::unique_ptr<xbase::Table> table;
  Status st = xbase::Table::Create(path, fields, xbase::CreateOptions{}, &table);
  if (!st.ok()) return st;

  Random rnd(seed ^ Hash(s.name));
  int row = 0;
  auto append = [&](int claim, int line) -> Status {
    Status a = table->AppendBlank();
    if (a.ok()) a = FillRecord(*table, s, row, claim, line, rnd);
    ++row;
    return a;
  };
  if (rows.family.empty()) {
    for (int i = 0; i < rows.count && st.ok(); ++i) st = append(0, i + 1);
  } else {
    for (int c = 0; c < claims && st.ok(); ++c) {
      for (int line = 1; line <= rows.count && st.ok(); ++line) st = append(claims_base + c, line);
    }
  }
  if (st.ok()) st = table->Close();
  if (!st.ok()) return st;
  return s.indexed ? CreateProductionIndex(path, s.tags) : Status::OK();
}

}  // namespace dbup::fixture
