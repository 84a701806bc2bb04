#include "maintenance/charge_dump.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace dbup::maintenance {

namespace {

constexpr int kSignificantDigits = 15;
// Decimal exponents written in positional form: 0.0001 up to below 1E15.
constexpr int kMinPositionalExponent = -4;
constexpr int kMaxPositionalExponent = kSignificantDigits - 1;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The amount's significant digits (without trailing zeros) and its decimal
// exponent after rounding to 15 digits: amount = d.ddd x 10^exponent.
void Decompose(double magnitude, std::string* digits, int* exponent) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific,
                                 kSignificantDigits - 1);
  (void)ec;  // the buffer is large enough for any double
  std::string_view text(buf, static_cast<size_t>(end - buf));
  const size_t e = text.find('e');
  digits->clear();
  for (char c : text.substr(0, e)) {
    if (IsDigit(c)) digits->push_back(c);
  }
  while (digits->size() > 1 && digits->back() == '0') digits->pop_back();
  std::string_view exp_text = text.substr(e + 1);
  if (!exp_text.empty() && exp_text.front() == '+') exp_text.remove_prefix(1);
  *exponent = 0;
  std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), *exponent);
}

}  // namespace

std::string FormatAmount(double amount) {
  if (std::isnan(amount)) return "NAN";
  if (std::isinf(amount)) return amount < 0 ? "-INF" : "INF";
  if (amount == 0) return "0";

  std::string digits;
  int exponent = 0;
  Decompose(std::fabs(amount), &digits, &exponent);

  std::string out = amount < 0 ? "-" : "";
  if (exponent < kMinPositionalExponent || exponent > kMaxPositionalExponent) {
    out += digits[0];
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += 'E';
    if (exponent < 0) out += '-';
    out += std::to_string(std::abs(exponent));
    return out;
  }
  if (exponent < 0) {
    out += "0.";
    out.append(static_cast<size_t>(-exponent - 1), '0');
    out += digits;
    return out;
  }
  const auto int_digits = static_cast<size_t>(exponent) + 1;
  if (digits.size() <= int_digits) {
    out += digits;
    out.append(int_digits - digits.size(), '0');
  } else {
    out += digits.substr(0, int_digits) + "." + digits.substr(int_digits);
  }
  return out;
}

double ParseAmount(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);

  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // Check the shape ourselves: from_chars would also take "inf", "nan" and
  // hexadecimal forms, which are not amounts.
  size_t i = 0;
  size_t mantissa_digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++mantissa_digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++mantissa_digits;
  }
  if (mantissa_digits == 0) return 0;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exponent_digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++exponent_digits;
    if (exponent_digits == 0) return 0;
  }
  if (i != text.size()) return 0;

  double value = 0;
  auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (ec != std::errc() || end != text.data() + text.size()) return 0;
  return negative ? -value : value;
}

std::string_view TrimControls(std::string_view text) {
  auto is_control = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && is_control(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_control(text.back())) text.remove_suffix(1);
  return text;
}

std::string FormatChargeDump(const std::vector<ChargeEntry>& entries) {
  std::string out;
  for (const ChargeEntry& e : entries) {
    out += e.code;
    out += '|';
    out += FormatAmount(e.amount);
    out += "\r\n";
  }
  return out;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

bool ParseChargeLine(std::string_view line, ChargeEntry* entry) {
  constexpr size_t kCodeLength = 4;
  if (line.find('|') != kCodeLength) return false;
  entry->code = std::string(line.substr(0, kCodeLength));
  entry->amount = ParseAmount(line.substr(kCodeLength + 1));
  return true;
}

}  // namespace dbup::maintenance
