// The charge dump file: the text file that carries revenue code charges from
// the backup to the restore.
//
// One line per charge, "code|amount", every line ending in CR LF, no header
// or trailer; a dump without charges is an empty file. The amount is written
// in the general number format (15 significant digits, "." as separator,
// positional from 0.0001 to below 1E15, otherwise "2.5E-5" style) and read
// leniently: an optional sign, an optional exponent and surrounding blanks
// are accepted, and anything else reads as 0. Neither direction depends on
// the locale.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dbup::maintenance {

inline constexpr char kChargeDumpFileName[] = "revupdmp.txt";

struct ChargeEntry {
  std::string code;  // exactly four characters when read from a dump
  double amount = 0;
};

// The general number format of an amount ("125.5", "1250", "0.05", "1E15",
// "2.5E-5", "-3"). Not-a-number and infinities come out as "NAN", "INF" and
// "-INF", which read back as 0.
std::string FormatAmount(double amount);

// The amount of a dump line's amount text; 0 for anything that is not a
// plain decimal number.
double ParseAmount(std::string_view text);

// Characters of code 32 or below stripped from both ends, as codes are
// compared after trimming.
std::string_view TrimControls(std::string_view text);

// "code|amount" + CR LF for each entry, in order.
std::string FormatChargeDump(const std::vector<ChargeEntry>& entries);

// The lines of a text (CR LF, LF or a lone CR end a line; a final line
// needs no terminator).
std::vector<std::string_view> SplitLines(std::string_view text);

// True when line is an entry: its first "|" is its fifth character. The code
// is the first four characters, the amount the parsed rest.
bool ParseChargeLine(std::string_view line, ChargeEntry* entry);

}  // namespace dbup::maintenance
