#include "update/catalogue.h"

#include <algorithm>

#include "update/translations.h"

namespace dbup::update {
namespace {

using enum TestKind;
using enum FileSet;
using enum Form;

constexpr bool kOpt = true;     // optional table
constexpr bool kLoc = true;     // locate check
constexpr bool kDdOnly = true;  // test on the data directory only
constexpr bool kStops = true;   // rollback stops at a missing backup

// Columns: step, clone folder, tables, files, test, field or tag, threshold,
// optional, form, folders holding, locate check, test on data directory
// only, rollback stops at a missing backup, translation.
// clang-format off
constexpr StepRow kSteps[] = {
  {92,  "updt0036", {"submit"},   kDbfMdx,    kFieldMissing, "S_SPLT837",  0, false, kPlain, nullptr, false, false, false, nullptr},
  {94,  "updt0037", {"bcprov"},   kDbfDbtMdx, kFieldMissing, "P_PLMATCH",  0, false, kPlain, nullptr, false, false, false, nullptr},
  {95,  "updt0037", {"bsprov"},   kDbfDbtMdx, kFieldMissing, "P_PLMATCH",  0, false, kPlain, nullptr, false, false, false, nullptr},
  {100, "updt0039", {"bccpayer"}, kDbfMdx,    kFieldMissing, "CP_ICNTRY",  0, false, kAllFolders, "bccpayer", false, false, false, nullptr},
  {102, "updt0039", {"bscpayer"}, kDbfMdx,    kFieldMissing, "CP_ICNTRY",  0, false, kAllFolders, "bscpayer", false, false, false, nullptr},
  {104, "updt0039", {"submit"},   kDbfMdx,    kFieldMissing, "S_PROVBRK",  0, false, kPlain, nullptr, false, false, false, nullptr},
  {105, "updt0040", {"bcprov"},   kDbfDbtMdx, kFieldMissing, "P_NPI",      0, false, kPlain, nullptr, false, false, false, nullptr},
  {106, "updt0040", {"bcrecid", "bcrecnm"}, kDbfMdx, kNone, nullptr,     0, false, kAddIfMissing, "bcclaim", false, false, false, nullptr},
  {107, "updt0040", {"bcclaim", "bcrecid"}, kDbfOptionalDbtMdx, kFieldPresent, "C_ATTEND", 0, false, kMarked, "bcclaim", false, false, false, "Translate0107"},
  {110, "updt0041", {"upin"},     kDbfMdx,    kWidthBelow,   "UPIN",      30, false, kPlain, nullptr, false, false, false, nullptr},
  {111, "updt0041", {"facility"}, kDbfMdx,    kWidthBelow,   "FAC_ID",    30, false, kPlain, nullptr, false, false, false, nullptr},
  {112, "updt0041", {"bsprov"},   kDbfDbtMdx, kFieldMissing, "P_NPI",      0, false, kPlain, nullptr, false, false, false, nullptr},
  {113, "updt0041", {"bsrecid", "bsrecnm"}, kDbfMdx, kNone, nullptr,     0, false, kAddIfMissing, "bsclaim", false, false, false, nullptr},
  {114, "updt0041", {"bsroster"}, kDbfMdx,    kFieldMissing, "R_REFNPI",   0, false, kPlain, nullptr, false, false, false, nullptr},
  {115, "updt0041", {"bsclaim", "bsrecid"}, kDbfOptionalDbtMdx, kFieldPresent, "C_REFUPIN", 0, false, kMarked, "bsclaim", false, false, false, "Translate0115"},
  {116, "updt0041", {"bslines", "bsrecid"}, kDbfMdx, kFieldPresent, "L_PURSVCID", 0, false, kMarked, "bsclaim", false, false, false, "Translate0116"},
  {117, "updt0041", {"bslinesa", "bsrecid"}, kDbfOptionalDbtMdx, kFieldMissing, "LA_SUPLSZ", 0, false, kMarked, "bsclaim", false, false, false, "Translate0117"},
  {119, "updt0043", {"submit"},   kDbfMdx,    kFieldMissing, "S_270ISA05", 0, false, kPlain, nullptr, false, false, false, nullptr},
  {120, "updt0043", {"bsattach"}, kDbfOptionalDbtMdx, kNoDecimals, "A_HGBRSLT", 0, false, kMarked, "bsattach", false, false, kStops, nullptr},
  {121, "updt0044", {"patient"},  kDbfDbtMdx, kFieldPresent, "PT_MSA",     0, false, kPlain, nullptr, false, false, false, "Translate0121"},
  {123, "updt0045", {"bscpymnt"}, kDbfDbtMdx, kWidthBelow,   "CY_DISUNIT", 9, false, kMarked, "bscpymnt", false, false, kStops, nullptr},
  {126, "updt0045", {"bclines"},  kDbfMdx,    kDecimalsBelow, "L_NDCCOST", 3, false, kMarked, "bclines", false, false, false, nullptr},
  {127, "updt0046", {"submit"},   kDbfMdx,    kFieldMissing, "S_NOLEGBP",  0, false, kPlain, nullptr, false, false, false, nullptr},
  {131, "updt0047", {"bsattchd"}, kDbfOptionalDbtMdx, kFieldMissing, "D_RAL20N02", 0, false, kMarked, "bsclaim", false, false, false, nullptr},
  {132, "updt0047", {"patient"},  kDbfDbtMdx, kWidthBelow,   "PT_L_NAME", 35, false, kPlain, nullptr, false, false, false, nullptr},
  {133, "updt0048", {"upin"},     kDbfMdx,    kTagMissing,   "BYNPI",      0, false, kPlain, nullptr, false, false, false, nullptr},
  {134, "updt0049", {"bcelgrq"},  kDbfMdx,    kFieldMissing, "E_SVTYPE",   0, kOpt,  kPlain, nullptr, false, false, false, nullptr},
  {135, "updt0049", {"bselgrq"},  kDbfMdx,    kFieldMissing, "E_SVTYPE",   0, kOpt,  kPlain, nullptr, false, false, false, nullptr},
  {136, "updt0050", {"bcclaim"},  kDbfOptionalDbtMdx, kFieldMissing, "C_BILLNPI", 0, false, kMarked, "bcclaim", false, false, false, nullptr},
  {137, "updt0050", {"bccpayer"}, kDbfOptionalDbtMdx, kFieldMissing, "CP_PROVNPI", 0, false, kMarked, "bcclaim", false, false, false, nullptr},
  {138, "updt0050", {"bsclaim"},  kDbfDbtMdx, kFieldMissing, "C_BILLNPI",  0, false, kMarked, "bsclaim", false, false, false, nullptr},
  {139, "updt0051", {"bcprov"},   kDbfDbtMdx, kFieldMissing, "P_FORCLEG",  0, false, kPlain, nullptr, false, false, false, nullptr},
  {140, "updt0051", {"bsprov"},   kDbfDbtMdx, kFieldMissing, "P_FORCLEG",  0, false, kPlain, nullptr, false, false, false, nullptr},
  {141, "updt0052", {"careason"}, kDbfMdx,    kFieldMissing, "CARC_EFFDT", 0, kOpt,  kPlain, nullptr, false, false, false, nullptr},
  {142, "updt0052", {"respcode"}, kDbfMdx,    kFieldMissing, "SRC_EFFDT",  0, kOpt,  kPlain, nullptr, false, false, false, nullptr},
  {143, "updt0053", {"bcelgrq"},  kDbfMdx,    kFieldMissing, "E_FACTYPE",  0, kOpt,  kPlain, nullptr, false, false, false, nullptr},
  {144, "updt0053", {"bselgrq"},  kDbfMdx,    kFieldMissing, "E_FACTYPE",  0, kOpt,  kPlain, nullptr, false, false, false, nullptr},
  {145, "updt0054", {"bcclaim"},  kDbfOptionalDbtMdx, kFieldMissing, "C_POATYPE", 0, false, kMarked, "bcclaim", false, false, false, nullptr},
  {146, "updt0055", {"submit"},   kDbfMdx,    kFieldMissing, "S_ORDPRIM",  0, false, kPlain, nullptr, false, false, false, nullptr},
  {147, "updt0056", {"bcprov"},   kDbfDbtMdx, kFieldMissing, "P_POAREQD",  0, false, kPlain, nullptr, false, false, false, "Translate0147"},
  {148, "updt0057", {"bcclaim"},  kDbfOptionalDbtMdx, kFieldMissing, "C_NPIEXPT", 0, false, kMarked, "bcclaim", false, false, false, nullptr},
  {150, "updt0058", {"taxonomy"}, kDbfMdx,    kFieldMissing, "TX_EFFDT",   0, kOpt,  kPlain, nullptr, false, false, false, nullptr},
  {151, "updt0058", {"remitrem"}, kDbfMdxDbt, kFieldMissing, "RARC_EFFDT", 0, kOpt,  kPlain, nullptr, false, false, false, nullptr},
  {153, "updt0060", {"bcclaim", "bcccodes"}, kDbfOptionalDbtMdx, kFieldMissing, "C_ODIAG18", 0, false, kMarked, "bcclaim", kLoc, false, false, "Translate0153"},
  {154, "updt0060", {"bccpayer"}, kDbfOptionalDbtMdx, kFieldPresent, "CP_EADDR", 0, false, kMarked, "bcclaim", kLoc, false, false, nullptr},
  {155, "updt0060", {"bclines"},  kDbfMdx,    kFieldMissing, "L_PROCDSC",  0, false, kMarked, "bclines", kLoc, false, false, nullptr},
  {156, "updt0060", {"bclinesc"}, kDbfMdx,    kFieldMissing, "LC_PATOWED", 0, false, kMarked, "bclinesc", kLoc, false, false, nullptr},
  {157, "updt0060", {"bcrecid"},  kDbfMdx,    kFieldMissing, "ID_PAYID",   0, kOpt,  kMarked, "bcrecid", kLoc, false, false, nullptr},
  {158, "updt0060", {"bcrecnm"},  kDbfMdx,    kWidthBelow,   "NM_LNAME",  60, kOpt,  kMarked, "bcrecnm", kLoc, kDdOnly, false, nullptr},
  {159, "updt0060", {"bcprov"},   kDbfDbtMdx, kFieldMissing, "P_EMAIL",    0, false, kPlain, nullptr, kLoc, false, false, nullptr},
  {160, "updt0060", {"facility"}, kDbfMdx,    kWidthBelow,   "FAC_ID",    50, false, kPlain, nullptr, kLoc, false, false, nullptr},
  {161, "updt0060", {"patient"},  kDbfDbtMdx, kWidthBelow,   "PT_L_NAME", 60, false, kPlain, nullptr, kLoc, false, false, nullptr},
  {162, "updt0060", {"payer"},    kDbfMdx,    kWidthBelow,   "PAYFULDESC", 60, false, kPlain, nullptr, kLoc, false, false, nullptr},
  {163, "updt0060", {"submit"},   kDbfMdx,    kFieldMissing, "S_DELREPIT", 0, false, kPlain, nullptr, kLoc, false, false, "Translate0163"},
  {164, "updt0060", {"upin"},     kDbfMdx,    kWidthBelow,   "LASTNAME",  60, false, kPlain, nullptr, kLoc, false, false, nullptr},
  {165, "updt0061", {"bsattach"}, kDbfOptionalDbtMdx, kFieldMissing, "A_BEDDUR", 0, false, kMarked, "bsattach", kLoc, false, kStops, "Translate0165"},
  {166, "updt0061", {"bsattchd"}, kDbfOptionalDbtMdx, kFieldMissing, "D_ORDRSX", 0, false, kMarked, "bsclaim", kLoc, false, false, nullptr},
  {167, "updt0061", {"bsclaim", "bsrecnm", "bsrecrn", "bsrecid"}, kDbfOptionalDbtMdx, kFieldMissing, "C_HRVSDATE", 0, false, kMarked, "bsclaim", kLoc, false, false, "Translate0167"},
  {168, "updt0061", {"bscpayer", "bsrecid", "bscob"}, kDbfOptionalDbtMdx, kFieldMissing, "CP_ICNTACT", 0, false, kMarked, "bsclaim", kLoc, false, false, "Translate0168"},
  {169, "updt0061", {"bslinesa", "bsrecnm", "bsrecrn", "bsrecid", "bscob"}, kDbfOptionalDbtMdx, kFieldMissing, "LA_SCRPTYP", 0, false, kMarked, "bslinesa", kLoc, false, false, "Translate0169"},
  {170, "updt0061", {"bslines"},  kDbfMdx,    kFieldMissing, "L_PSSLNS",   0, false, kMarked, "bslines", kLoc, false, false, nullptr},
  {171, "updt0061", {"bslinesc"}, kDbfMdx,    kFieldMissing, "LC_PATOWED", 0, false, kMarked, "bslinesc", kLoc, false, false, nullptr},
  {172, "updt0061", {"bsrecid"},  kDbfMdx,    kFieldMissing, "ID_PAYID",   0, kOpt,  kMarked, "bsclaim", kLoc, false, false, nullptr},
  {173, "updt0061", {"bsrecnm"},  kDbfMdx,    kWidthBelow,   "NM_LNAME",  60, kOpt,  kMarked, "bsclaim", kLoc, kDdOnly, false, nullptr},
  {174, "updt0061", {"bsprov"},   kDbfDbtMdx, kFieldMissing, "P_EMAIL",    0, false, kPlain, nullptr, kLoc, false, false, nullptr},
  {175, "updt0061", {"bsroster"}, kDbfMdx,    kWidthAtMost,  "R_REFLNAME", 35, false, kPlain, nullptr, kLoc, false, false, nullptr},
  {176, "updt0061", {"bsrostln"}, kDbfMdx,    kWidthAtMost,  "RL_HIC",    25, false, kPlain, nullptr, kLoc, false, false, nullptr},
  {177, "updt0062", {"bcrspns"},  kDbfMdx,    kFieldMissing, "CR_TOB",     0, kOpt,  kMarked, "bcrspns", kLoc, false, false, nullptr},
  {178, "updt0062", {"bsrspns"},  kDbfMdx,    kFieldMissing, "CR_TOB",     0, kOpt,  kMarked, "bsrspns", kLoc, false, false, nullptr},
  {179, "updt0063", {"bsattach"}, kDbfOptionalDbtMdx, kFieldMissing, "A_AMBDOLOC", 0, false, kMarked, "bsattach", kLoc, false, kStops, nullptr},
  {181, "updt0065", {"bcclaim"},  kDbfOptionalDbtMdx, kWidthAtMost, "C_TOTUNITS", 7, false, kMarked, "bcclaim", false, false, false, nullptr},
  {182, "updt0065", {"bclines"},  kDbfMdx,    kWidthAtMost,  "L_UNITS",    7, false, kMarked, "bclines", false, false, false, nullptr},
  {184, "updt0065", {"bslines"},  kDbfMdx,    kDecimalsBelow, "L_UNITS",   2, false, kMarked, "bslines", false, false, false, nullptr},
  {185, "updt0065", {"bscpymnt"}, kDbfDbtMdx, kWidthBelow,   "CY_DISUNIT", 10, false, kMarked, "bscpymnt", false, false, kStops, nullptr},
  {187, "updt0066", {"bslinesa"}, kDbfOptionalDbtMdx, kFieldMissing, "LA_NDCTP", 0, false, kMarked, "bslinesa", false, false, false, nullptr},
  {189, "updt0066", {"bcelgrql"}, kDbfMdx,    kFieldMissing, "EL_SPNDTB",  0, kOpt,  kPlain, nullptr, false, false, false, nullptr},
  {191, "updt0066", {"bselgrql"}, kDbfMdx,    kFieldMissing, "EL_SPNDTB",  0, kOpt,  kPlain, nullptr, false, false, false, nullptr},
  {192, "updt0067", {"submit"},   kDbfMdx,    kFieldMissing, "S_EMAIL",    0, false, kPlain, nullptr, kLoc, false, false, nullptr},
  {194, "updt0068", {"bcclaim"},  kDbfOptionalDbtMdx, kFieldMissing, "C_PDIAGVS", 0, false, kMarked, "bcclaim", false, false, false, nullptr},
  {195, "updt0068", {"bcelgrq"},  kDbfMdx,    kFieldMissing, "E_SBDIAGVS", 0, kOpt,  kPlain, nullptr, false, false, false, nullptr},
  {196, "updt0068", {"bsclaim"},  kDbfDbtMdx, kFieldMissing, "C_DIAGVS",   0, false, kMarked, "bsclaim", false, false, false, nullptr},
  {197, "updt0068", {"bselgrq"},  kDbfMdx,    kFieldMissing, "E_SBDIAGVS", 0, kOpt,  kPlain, nullptr, false, false, false, nullptr},
  {198, "updt0068", {"bsrostln"}, kDbfMdx,    kFieldMissing, "RL_DIAGVS",  0, false, kPlain, nullptr, kLoc, false, false, nullptr},
  {199, "updt0069", {"bsroster"}, kDbfMdx,    kFieldMissing, "R_PROCDSC",  0, false, kPlain, nullptr, kLoc, false, false, nullptr},
  {200, "updt0070", {"upin"},     kDbfMdx,    kFieldMissing, "TAXONOMY",   0, false, kPlain, nullptr, false, false, false, nullptr},
  {201, "updt0071", {"bsclaim"},  kDbfDbtMdx, kFieldMissing, "C_ACCDATE",  0, false, kMarked, "bsclaim", false, false, false, nullptr},
  {202, "updt0072", {"isec"},     kDbfMdx,    kFieldMissing, "SEC_EMAIL",  0, false, kPlain, nullptr, false, false, false, nullptr},
  {203, "updt0073", {"bcpoc"},    kDbfMdxDbt, kFieldMissing, "T_PDIAGVS",  0, false, kPlain, nullptr, false, false, false, nullptr},
};
// clang-format on

constexpr const char* kDbfMdxExt[] = {".dbf", ".mdx"};
constexpr const char* kDbfDbtMdxExt[] = {".dbf", ".dbt", ".mdx"};
constexpr const char* kDbfMdxDbtExt[] = {".dbf", ".mdx", ".dbt"};

}  // namespace

size_t StepRow::table_count() const {
  size_t n = 0;
  while (n < tables.size() && tables[n] != nullptr) ++n;
  return n;
}

std::span<const StepRow> Catalogue() {
  return kSteps;
}

const StepRow* FindStep(int number) {
  auto it = std::lower_bound(std::begin(kSteps), std::end(kSteps), number,
                             [](const StepRow& row, int n) { return row.number < n; });
  if (it == std::end(kSteps) || it->number != number) return nullptr;
  return &*it;
}

std::string StepName(int number) {
  std::string digits = std::to_string(number);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return "Update" + digits;
}

std::span<const char* const> Extensions(FileSet files) {
  switch (files) {
    case FileSet::kDbfMdx:
      return kDbfMdxExt;
    case FileSet::kDbfMdxDbt:
      return kDbfMdxDbtExt;
    case FileSet::kDbfDbtMdx:
    case FileSet::kDbfOptionalDbtMdx:
      break;
  }
  return kDbfDbtMdxExt;
}

bool StepIsRunnable(const StepRow& row) {
  return row.translation == nullptr || FindTranslation(row.translation) != nullptr;
}

std::string TableList(const StepRow& row) {
  std::string out;
  for (size_t i = 0; i < row.table_count(); ++i) {
    if (i > 0) out += ", ";
    out += row.tables[i];
  }
  return out;
}

}  // namespace dbup::update
