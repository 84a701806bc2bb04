#include "xbase/key_expr.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace dbup::xbase {

const ExprField* ExprLayout::Find(std::string_view name) const {
  for (const ExprField& f : fields) {
    if (f.name.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) {
      same = std::toupper(static_cast<unsigned char>(f.name[i])) ==
             std::toupper(static_cast<unsigned char>(name[i]));
    }
    if (same) return &f;
  }
  return nullptr;
}

int64_t JulianDay(int year, int month, int day) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return 0;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int limit = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  if (day > limit) return 0;
  int64_t a = (14 - month) / 12;
  int64_t y = year + 4800 - a;
  int64_t m = month + 12 * a - 3;
  return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

int64_t JulianDayFromDtos(std::string_view t) {
  if (t.size() < 8) return 0;
  for (int i = 0; i < 8; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(t[i]))) return 0;
  }
  auto num = [&](int from, int n) {
    int v = 0;
    for (int i = from; i < from + n; ++i) v = v * 10 + (t[i] - '0');
    return v;
  };
  return JulianDay(num(0, 4), num(4, 2), num(6, 2));
}

static void CivilFromJulianDay(int64_t jdn, int* year, int* month, int* day) {
  int64_t a = jdn + 32044;
  int64_t b = (4 * a + 3) / 146097;
  int64_t c = a - 146097 * b / 4;
  int64_t d = (4 * c + 3) / 1461;
  int64_t e = c - 1461 * d / 4;
  int64_t m = (5 * e + 2) / 153;
  *day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
  *month = static_cast<int>(m + 3 - 12 * (m / 10));
  *year = static_cast<int>(100 * b + d - 4800 + m / 10);
}

std::string DtosFromJulianDay(int64_t jdn) {
  if (jdn <= 0) return std::string(8, ' ');
  int y, m, d;
  CivilFromJulianDay(jdn, &y, &m, &d);
  if (y < 1 || y > 9999) return std::string(8, ' ');
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
  return buf;
}

namespace {

enum class Op {
  kField,
  kConst,
  kConcat,
  kConcatMove,
  kAdd,
  kSub,
  kMul,
  kDiv,
  kNeg,
  kEq,
  kExactEq,
  kNe,
  kLt,
  kGt,
  kLe,
  kGe,
  kContains,
  kAnd,
  kOr,
  kNot,
  kStr,
  kDtos,
  kDtoc,
  kUpper,
  kLower,
  kSubstr,
  kLeft,
  kRight,
  kRtrim,
  kLtrim,
  kAlltrim,
  kIif,
  kVal,
  kCtod,
  kRecno,
  kDeleted,
};

struct FunctionInfo {
  const char* name;
  Op op;
  int min_args;
  int max_args;
};

constexpr FunctionInfo kFunctions[] = {
    {"STR", Op::kStr, 1, 3},     {"DTOS", Op::kDtos, 1, 1},       {"DTOC", Op::kDtoc, 1, 1},
    {"UPPER", Op::kUpper, 1, 1}, {"LOWER", Op::kLower, 1, 1},     {"SUBSTR", Op::kSubstr, 2, 3},
    {"LEFT", Op::kLeft, 2, 2},   {"RIGHT", Op::kRight, 2, 2},     {"TRIM", Op::kRtrim, 1, 1},
    {"RTRIM", Op::kRtrim, 1, 1}, {"LTRIM", Op::kLtrim, 1, 1},     {"ALLTRIM", Op::kAlltrim, 1, 1},
    {"IIF", Op::kIif, 3, 3},     {"VAL", Op::kVal, 1, 1},         {"CTOD", Op::kCtod, 1, 1},
    {"RECNO", Op::kRecno, 0, 0}, {"DELETED", Op::kDeleted, 0, 0},
};

// dBASE accepts a function name cut to its first four letters or more.
const FunctionInfo* FindFunction(const std::string& upper) {
  for (const FunctionInfo& f : kFunctions) {
    std::string_view full = f.name;
    if (upper == full) return &f;
    if (upper.size() >= 4 && upper.size() < full.size() && full.substr(0, upper.size()) == upper)
      return &f;
  }
  return nullptr;
}

enum class Tok { kEnd, kIdent, kNumber, kString, kOp, kDotWord };

struct Token {
  Tok kind = Tok::kEnd;
  std::string text;  // upper case for identifiers and dot words
  size_t pos = 0;
};

}  // namespace

struct KeyExpression::Node {
  Op op = Op::kConst;
  ValueType type = ValueType::kChar;
  int length = 0;  // static length of a character result
  ExprField field;
  Value constant;
  std::vector<std::unique_ptr<Node>> args;
};

namespace {

using NodePtr = std::unique_ptr<KeyExpression::Node>;

class Parser {
 public:
  Parser(std::string_view text, const ExprLayout& layout) : text_(text), layout_(layout) {}

  Status Run(NodePtr* out) {
    Status s = Next();
    if (s.ok()) s = ParseOr(out);
    if (s.ok() && tok_.kind != Tok::kEnd) s = Error("unexpected '" + tok_.text + "'");
    return s;
  }

 private:
  Status Error(const std::string& what) const {
    return Status::InvalidArgument("expression \"" + std::string(text_) + "\": " + what +
                                   " at position " + std::to_string(tok_.pos + 1));
  }

  Status Next() {
    size_t i = pos_;
    while (i < text_.size() && std::isspace(static_cast<unsigned char>(text_[i]))) ++i;
    tok_ = Token();
    tok_.pos = i;
    if (i >= text_.size()) {
      pos_ = i;
      return Status::OK();
    }
    char c = text_[i];
    auto upper_run = [&](size_t from, size_t to) {
      std::string s(text_.substr(from, to - from));
      for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      return s;
    };
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t j = i;
      while (j < text_.size() &&
             (std::isalnum(static_cast<unsigned char>(text_[j])) || text_[j] == '_'))
        ++j;
      tok_.kind = Tok::kIdent;
      tok_.text = upper_run(i, j);
      pos_ = j;
      return Status::OK();
    }
    if (std::isdigit(static_cast<unsigned char>(c)) ||
        (c == '.' && i + 1 < text_.size() &&
         std::isdigit(static_cast<unsigned char>(text_[i + 1])))) {
      size_t j = i;
      while (j < text_.size() &&
             (std::isdigit(static_cast<unsigned char>(text_[j])) || text_[j] == '.'))
        ++j;
      tok_.kind = Tok::kNumber;
      tok_.text = std::string(text_.substr(i, j - i));
      pos_ = j;
      return Status::OK();
    }
    if (c == '"' || c == '\'' || c == '[') {
      char close = c == '[' ? ']' : c;
      size_t j = text_.find(close, i + 1);
      if (j == std::string_view::npos) return Error("unterminated string");
      tok_.kind = Tok::kString;
      tok_.text = std::string(text_.substr(i + 1, j - i - 1));
      pos_ = j + 1;
      return Status::OK();
    }
    if (c == '.') {
      size_t j = text_.find('.', i + 1);
      if (j != std::string_view::npos) {
        std::string word = upper_run(i + 1, j);
        if (word == "AND" || word == "OR" || word == "NOT" || word == "T" || word == "F" ||
            word == "Y" || word == "N") {
          tok_.kind = Tok::kDotWord;
          tok_.text = word;
          pos_ = j + 1;
          return Status::OK();
        }
      }
      return Error("unexpected '.'");
    }
    static const char* kTwo[] = {"<>", "<=", ">=", "==", "->", "**"};
    for (const char* two : kTwo) {
      if (text_.substr(i, 2) == two) {
        tok_.kind = Tok::kOp;
        tok_.text = two;
        pos_ = i + 2;
        return Status::OK();
      }
    }
    if (std::strchr("+-*/()=,<>#$!^", c) != nullptr) {
      tok_.kind = Tok::kOp;
      tok_.text = std::string(1, c);
      pos_ = i + 1;
      return Status::OK();
    }
    return Error(std::string("unexpected character '") + c + "'");
  }

  bool IsOp(const char* op) const { return tok_.kind == Tok::kOp && tok_.text == op; }
  bool IsDot(const char* w) const { return tok_.kind == Tok::kDotWord && tok_.text == w; }

  static NodePtr Make(Op op, ValueType type, int length) {
    auto n = std::make_unique<KeyExpression::Node>();
    n->op = op;
    n->type = type;
    n->length = length;
    return n;
  }

  Status Binary(Op op, NodePtr left, NodePtr right, NodePtr* out) {
    ValueType l = left->type, r = right->type;
    ValueType type = l;
    int length = 0;
    const char* name = "operator";
    switch (op) {
      case Op::kAdd:
      case Op::kSub:
        name = op == Op::kAdd ? "+" : "-";
        if (l == ValueType::kChar && r == ValueType::kChar) {
          op = op == Op::kAdd ? Op::kConcat : Op::kConcatMove;
          length = left->length + right->length;
        } else if (l == ValueType::kNumeric && r == ValueType::kNumeric) {
          type = ValueType::kNumeric;
        } else if (l == ValueType::kDate && r == ValueType::kNumeric) {
          type = ValueType::kDate;
        } else if (op == Op::kAdd && l == ValueType::kNumeric && r == ValueType::kDate) {
          type = ValueType::kDate;
        } else if (op == Op::kSub && l == ValueType::kDate && r == ValueType::kDate) {
          type = ValueType::kNumeric;
        } else {
          return Error(std::string("operands of '") + name + "' do not match");
        }
        break;
      case Op::kMul:
      case Op::kDiv:
        if (l != ValueType::kNumeric || r != ValueType::kNumeric)
          return Error("'*' and '/' need numbers");
        break;
      case Op::kAnd:
      case Op::kOr:
        if (l != ValueType::kLogical || r != ValueType::kLogical)
          return Error(".AND. and .OR. need logical operands");
        break;
      case Op::kContains:
        if (l != ValueType::kChar || r != ValueType::kChar) return Error("'$' needs strings");
        type = ValueType::kLogical;
        break;
      default:  // comparisons
        if (l != r) return Error("compared values differ in type");
        if (l == ValueType::kLogical && op != Op::kEq && op != Op::kNe && op != Op::kExactEq)
          return Error("logical values can only be compared for equality");
        type = ValueType::kLogical;
        break;
    }
    NodePtr n = Make(op, type, length);
    n->args.push_back(std::move(left));
    n->args.push_back(std::move(right));
    *out = std::move(n);
    return Status::OK();
  }

  Status ParseOr(NodePtr* out) {
    Status s = ParseAnd(out);
    while (s.ok() && IsDot("OR")) {
      NodePtr right;
      if (!(s = Next()).ok() || !(s = ParseAnd(&right)).ok()) break;
      s = Binary(Op::kOr, std::move(*out), std::move(right), out);
    }
    return s;
  }

  Status ParseAnd(NodePtr* out) {
    Status s = ParseNot(out);
    while (s.ok() && IsDot("AND")) {
      NodePtr right;
      if (!(s = Next()).ok() || !(s = ParseNot(&right)).ok()) break;
      s = Binary(Op::kAnd, std::move(*out), std::move(right), out);
    }
    return s;
  }

  Status ParseNot(NodePtr* out) {
    if (IsDot("NOT") || IsOp("!")) {
      Status s = Next();
      NodePtr operand;
      if (s.ok()) s = ParseNot(&operand);
      if (!s.ok()) return s;
      if (operand->type != ValueType::kLogical) return Error(".NOT. needs a logical operand");
      *out = Make(Op::kNot, ValueType::kLogical, 0);
      (*out)->args.push_back(std::move(operand));
      return Status::OK();
    }
    return ParseRelation(out);
  }

  Status ParseRelation(NodePtr* out) {
    Status s = ParseAdditive(out);
    if (!s.ok()) return s;
    static const std::pair<const char*, Op> kOps[] = {
        {"=", Op::kEq}, {"==", Op::kExactEq}, {"<>", Op::kNe}, {"#", Op::kNe},      {"<", Op::kLt},
        {">", Op::kGt}, {"<=", Op::kLe},      {">=", Op::kGe}, {"$", Op::kContains}};
    for (const auto& [text, op] : kOps) {
      if (!IsOp(text)) continue;
      NodePtr right;
      if (!(s = Next()).ok() || !(s = ParseAdditive(&right)).ok()) return s;
      return Binary(op, std::move(*out), std::move(right), out);
    }
    return s;
  }

  Status ParseAdditive(NodePtr* out) {
    Status s = ParseMultiplicative(out);
    while (s.ok() && (IsOp("+") || IsOp("-"))) {
      Op op = IsOp("+") ? Op::kAdd : Op::kSub;
      NodePtr right;
      if (!(s = Next()).ok() || !(s = ParseMultiplicative(&right)).ok()) break;
      s = Binary(op, std::move(*out), std::move(right), out);
    }
    return s;
  }

  Status ParseMultiplicative(NodePtr* out) {
    Status s = ParseUnary(out);
    while (s.ok() && (IsOp("*") || IsOp("/"))) {
      Op op = IsOp("*") ? Op::kMul : Op::kDiv;
      NodePtr right;
      if (!(s = Next()).ok() || !(s = ParseUnary(&right)).ok()) break;
      s = Binary(op, std::move(*out), std::move(right), out);
    }
    return s;
  }

  Status ParseUnary(NodePtr* out) {
    if (IsOp("-") || IsOp("+")) {
      bool negate = IsOp("-");
      Status s = Next();
      if (s.ok()) s = ParseUnary(out);
      if (!s.ok()) return s;
      if ((*out)->type != ValueType::kNumeric)
        return Error("sign before a value that is no number");
      if (negate) {
        NodePtr n = Make(Op::kNeg, ValueType::kNumeric, 0);
        n->args.push_back(std::move(*out));
        *out = std::move(n);
      }
      return Status::OK();
    }
    return ParsePrimary(out);
  }

  Status ParsePrimary(NodePtr* out) {
    Status s;
    switch (tok_.kind) {
      case Tok::kEnd:
        return Error("unexpected end");
      case Tok::kNumber: {
        bool ok = false;
        DecimalNumber d = DecimalNumber::Parse(tok_.text, &ok);
        if (!ok) return Error("bad number '" + tok_.text + "'");
        *out = Make(Op::kConst, ValueType::kNumeric, 0);
        (*out)->constant.type = ValueType::kNumeric;
        (*out)->constant.number = d;
        return Next();
      }
      case Tok::kString:
        *out = Make(Op::kConst, ValueType::kChar, static_cast<int>(tok_.text.size()));
        (*out)->constant.text = tok_.text;
        return Next();
      case Tok::kDotWord:
        if (tok_.text == "AND" || tok_.text == "OR") return Error("misplaced ." + tok_.text + ".");
        *out = Make(Op::kConst, ValueType::kLogical, 0);
        (*out)->constant.type = ValueType::kLogical;
        (*out)->constant.flag = tok_.text == "T" || tok_.text == "Y";
        return Next();
      case Tok::kOp:
        if (!IsOp("(")) return Error("unexpected '" + tok_.text + "'");
        if (!(s = Next()).ok() || !(s = ParseOr(out)).ok()) return s;
        if (!IsOp(")")) return Error("')' expected");
        return Next();
      case Tok::kIdent:
        return ParseName(out);
    }
    return Error("unexpected token");
  }

  Status ParseName(NodePtr* out) {
    std::string name = tok_.text;
    Status s = Next();
    if (!s.ok()) return s;
    if (IsOp("->")) {  // ALIAS->FIELD: the alias can only be this table
      if (!(s = Next()).ok()) return s;
      if (tok_.kind != Tok::kIdent) return Error("field name expected after '->'");
      name = tok_.text;
      if (!(s = Next()).ok()) return s;
    } else if (IsOp("(")) {
      return ParseCall(name, out);
    }
    const ExprField* f = layout_.Find(name);
    if (f == nullptr) return Error("unknown field " + name);
    ValueType type;
    switch (f->type) {
      case 'C':
        type = ValueType::kChar;
        break;
      case 'N':
      case 'F':
        type = ValueType::kNumeric;
        break;
      case 'D':
        type = ValueType::kDate;
        break;
      case 'L':
        type = ValueType::kLogical;
        break;
      default:
        return Error("field " + name + " of type " + f->type + " cannot be used");
    }
    *out = Make(Op::kField, type, f->length);
    (*out)->field = *f;
    return Status::OK();
  }

  static bool ConstInt(const NodePtr& n, int* v) {
    if (n->op != Op::kConst || n->type != ValueType::kNumeric) return false;
    int64_t x = n->constant.number.ToInt64();
    if (x < 0 || x > 255) return false;
    *v = static_cast<int>(x);
    return true;
  }

  Status ParseCall(const std::string& name, NodePtr* out) {
    const FunctionInfo* fn = FindFunction(name);
    if (fn == nullptr) return Error("unknown function " + name + "()");
    Status s = Next();  // past '('
    std::vector<NodePtr> args;
    if (s.ok() && !IsOp(")")) {
      for (;;) {
        NodePtr a;
        if (!(s = ParseOr(&a)).ok()) return s;
        args.push_back(std::move(a));
        if (!IsOp(",")) break;
        if (!(s = Next()).ok()) return s;
      }
    }
    if (!s.ok()) return s;
    if (!IsOp(")")) return Error("')' expected after the arguments of " + std::string(fn->name));
    if (static_cast<int>(args.size()) < fn->min_args ||
        static_cast<int>(args.size()) > fn->max_args)
      return Error(std::string("wrong number of arguments to ") + fn->name + "()");
    if (!(s = Next()).ok()) return s;

    auto need = [&](size_t i, ValueType t) { return args[i]->type == t; };
    auto wrong = [&]() { return Error(std::string("wrong argument type for ") + fn->name + "()"); };
    ValueType type = ValueType::kChar;
    int length = 0;
    switch (fn->op) {
      case Op::kStr: {
        for (size_t i = 0; i < args.size(); ++i)
          if (!need(i, ValueType::kNumeric)) return wrong();
        length = 10;
        if (args.size() > 1 && !ConstInt(args[1], &length))
          return Error("STR() needs a constant length");
        int dec = 0;
        if (args.size() > 2 && !ConstInt(args[2], &dec))
          return Error("STR() needs constant decimals");
        if (length < 1) return Error("STR() length must be at least 1");
        break;
      }
      case Op::kDtos:
      case Op::kDtoc:
        if (!need(0, ValueType::kDate)) return wrong();
        length = 8;
        break;
      case Op::kUpper:
      case Op::kLower:
      case Op::kRtrim:
      case Op::kLtrim:
      case Op::kAlltrim:
        if (!need(0, ValueType::kChar)) return wrong();
        length = args[0]->length;
        break;
      case Op::kSubstr: {
        if (!need(0, ValueType::kChar) || !need(1, ValueType::kNumeric)) return wrong();
        if (args.size() > 2 && !need(2, ValueType::kNumeric)) return wrong();
        int start = 1, count = 0;
        length = args[0]->length;
        if (args.size() > 2 && ConstInt(args[2], &count)) {
          length = count;
        } else if (args.size() == 2 && ConstInt(args[1], &start)) {
          length = std::max(0, args[0]->length - std::max(start, 1) + 1);
        }
        break;
      }
      case Op::kLeft:
      case Op::kRight: {
        if (!need(0, ValueType::kChar) || !need(1, ValueType::kNumeric)) return wrong();
        length = args[0]->length;
        int n = 0;
        if (ConstInt(args[1], &n)) length = n;
        break;
      }
      case Op::kIif:
        if (!need(0, ValueType::kLogical) || args[1]->type != args[2]->type) return wrong();
        type = args[1]->type;
        length = std::max(args[1]->length, args[2]->length);
        break;
      case Op::kVal:
        if (!need(0, ValueType::kChar)) return wrong();
        type = ValueType::kNumeric;
        break;
      case Op::kCtod:
        if (!need(0, ValueType::kChar)) return wrong();
        type = ValueType::kDate;
        break;
      case Op::kRecno:
        type = ValueType::kNumeric;
        break;
      case Op::kDeleted:
        type = ValueType::kLogical;
        break;
      default:
        return wrong();
    }
    *out = Make(fn->op, type, length);
    (*out)->args = std::move(args);
    return Status::OK();
  }

  std::string_view text_;
  const ExprLayout& layout_;
  size_t pos_ = 0;
  Token tok_;
};

std::string RightTrim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::string LeftTrim(const std::string& s) {
  size_t i = s.find_first_not_of(' ');
  return i == std::string::npos ? std::string() : s.substr(i);
}

std::string StrText(const DecimalNumber& n, int length, int decimals) {
  std::string t = n.ToFixed(decimals);
  if (static_cast<int>(t.size()) > length) {
    // dBASE drops decimals before it gives up and shows asterisks.
    if (decimals > 0) {
      std::string whole = n.ToFixed(0);
      if (static_cast<int>(whole.size()) <= length) {
        int room = length - static_cast<int>(whole.size()) - 1;
        t = room > 0 ? n.ToFixed(std::min(room, decimals)) : whole;
      }
    }
    if (static_cast<int>(t.size()) > length) return std::string(length, '*');
  }
  return std::string(length - t.size(), ' ') + t;
}

int64_t CtodJulianDay(const std::string& text) {
  int part[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  int k = 0;
  for (char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      if (k > 2) return 0;
      part[k] = part[k] * 10 + (c - '0');
      ++digits[k];
    } else if (c == '/' || c == '-' || c == '.') {
      if (digits[k] == 0) return 0;
      ++k;
    } else if (c != ' ') {
      return 0;
    }
  }
  if (k != 2 || digits[2] == 0) return 0;
  int year = part[2];
  if (digits[2] <= 2) year += 1900;  // SET CENTURY OFF, default epoch
  return JulianDay(year, part[0], part[1]);
}

}  // namespace

KeyExpression::~KeyExpression() = default;

Status KeyExpression::Parse(std::string_view text, const ExprLayout& layout,
                            std::unique_ptr<KeyExpression>* result) {
  std::unique_ptr<KeyExpression> e(new KeyExpression());
  e->text_ = std::string(text);
  Parser parser(e->text_, layout);
  Status s = parser.Run(&e->root_);
  if (!s.ok()) return s;
  *result = std::move(e);
  return Status::OK();
}

ValueType KeyExpression::type() const {
  return root_->type;
}
int KeyExpression::length() const {
  return root_->length;
}

namespace {

Status Eval(const KeyExpression::Node& n, const RecordRef& rec, Value* v);

int CompareValues(const Value& a, const Value& b, bool prefix_equal) {
  switch (a.type) {
    case ValueType::kChar: {
      if (prefix_equal && a.text.compare(0, b.text.size(), b.text) == 0 &&
          a.text.size() >= b.text.size())
        return 0;
      return a.text < b.text ? -1 : (a.text > b.text ? 1 : 0);
    }
    case ValueType::kNumeric:
      return a.number.Compare(b.number);
    case ValueType::kDate:
      return a.jdn < b.jdn ? -1 : (a.jdn > b.jdn ? 1 : 0);
    case ValueType::kLogical:
      return a.flag == b.flag ? 0 : (a.flag ? 1 : -1);
  }
  return 0;
}

Status EvalArgs(const KeyExpression::Node& n, const RecordRef& rec, Value* vals, size_t count) {
  for (size_t i = 0; i < count && i < n.args.size(); ++i) {
    Status s = Eval(*n.args[i], rec, &vals[i]);
    if (!s.ok()) return s;
  }
  return Status::OK();
}

Status Eval(const KeyExpression::Node& n, const RecordRef& rec, Value* v) {
  v->type = n.type;
  Value a[3];
  Status s;
  switch (n.op) {
    case Op::kConst:
      *v = n.constant;
      v->type = n.type;
      return Status::OK();
    case Op::kField: {
      std::string_view raw(rec.data + n.field.offset, n.field.length);
      switch (n.type) {
        case ValueType::kChar:
          v->text.assign(raw);
          break;
        case ValueType::kNumeric:
          v->number = DecimalNumber::Parse(raw);
          break;  // bad text reads as 0
        case ValueType::kDate:
          v->jdn = JulianDayFromDtos(raw);
          break;
        case ValueType::kLogical:
          v->flag = !raw.empty() && std::strchr("TtYy", raw[0]) != nullptr && raw[0] != 0;
          break;
      }
      return Status::OK();
    }
    case Op::kRecno:
      v->number = DecimalNumber::FromInt(rec.recno);
      return Status::OK();
    case Op::kDeleted:
      v->flag = rec.data[0] == '*';
      return Status::OK();
    case Op::kIif:
      if (!(s = Eval(*n.args[0], rec, &a[0])).ok()) return s;
      s = Eval(*n.args[a[0].flag ? 1 : 2], rec, v);
      v->type = n.type;
      return s;
    case Op::kAnd:
    case Op::kOr:
      if (!(s = Eval(*n.args[0], rec, &a[0])).ok()) return s;
      if (a[0].flag == (n.op == Op::kOr)) {
        v->flag = a[0].flag;
        return Status::OK();
      }
      if (!(s = Eval(*n.args[1], rec, &a[1])).ok()) return s;
      v->flag = a[1].flag;
      return Status::OK();
    default:
      break;
  }
  if (!(s = EvalArgs(n, rec, a, 3)).ok()) return s;
  switch (n.op) {
    case Op::kConcat:
      v->text = std::move(a[0].text) + a[1].text;
      break;
    case Op::kConcatMove: {
      std::string left = std::move(a[0].text);
      size_t kept = left.find_last_not_of(' ');
      kept = kept == std::string::npos ? 0 : kept + 1;
      v->text = left.substr(0, kept) + a[1].text + std::string(left.size() - kept, ' ');
      break;
    }
    case Op::kAdd:
    case Op::kSub: {
      bool add = n.op == Op::kAdd;
      if (n.type == ValueType::kNumeric && a[0].type == ValueType::kNumeric) {
        v->number = add ? a[0].number + a[1].number : a[0].number - a[1].number;
      } else if (n.type == ValueType::kNumeric) {  // date - date
        v->number = DecimalNumber::FromInt(a[0].jdn - a[1].jdn);
      } else {  // a date moved by a number of days; a blank date stays blank
        const Value& date = a[0].type == ValueType::kDate ? a[0] : a[1];
        const Value& days = a[0].type == ValueType::kDate ? a[1] : a[0];
        int64_t d = days.number.ToInt64();
        v->jdn = date.jdn == 0 ? 0 : date.jdn + (add ? d : -d);
        if (v->jdn < 0) v->jdn = 0;
      }
      break;
    }
    case Op::kMul:
      v->number = a[0].number * a[1].number;
      break;
    case Op::kDiv: {
      bool ok = false;
      v->number = a[0].number.Divide(a[1].number, &ok);
      if (!ok)
        return Status::InvalidArgument("division by zero in \"" + std::string("expression") + "\"");
      break;
    }
    case Op::kNeg:
      v->number = a[0].number.Negate();
      break;
    case Op::kEq:
      v->flag = CompareValues(a[0], a[1], true) == 0;
      break;
    case Op::kExactEq:
      v->flag = CompareValues(a[0], a[1], false) == 0;
      break;
    case Op::kNe:
      v->flag = CompareValues(a[0], a[1], true) != 0;
      break;
    case Op::kLt:
      v->flag = CompareValues(a[0], a[1], false) < 0;
      break;
    case Op::kGt:
      v->flag = CompareValues(a[0], a[1], false) > 0;
      break;
    case Op::kLe:
      v->flag = CompareValues(a[0], a[1], false) <= 0;
      break;
    case Op::kGe:
      v->flag = CompareValues(a[0], a[1], false) >= 0;
      break;
    case Op::kContains:
      v->flag = a[1].text.find(a[0].text) != std::string::npos;
      break;
    case Op::kNot:
      v->flag = !a[0].flag;
      break;
    case Op::kStr: {
      int length = n.length;
      int dec = n.args.size() > 2 ? static_cast<int>(a[2].number.ToInt64()) : 0;
      v->text = StrText(a[0].number, length, dec);
      break;
    }
    case Op::kDtos:
      v->text = DtosFromJulianDay(a[0].jdn);
      break;
    case Op::kDtoc: {
      std::string d = DtosFromJulianDay(a[0].jdn);
      v->text =
          a[0].jdn == 0 ? "  /  /  " : d.substr(4, 2) + "/" + d.substr(6, 2) + "/" + d.substr(2, 2);
      break;
    }
    case Op::kUpper:
    case Op::kLower:
      v->text = std::move(a[0].text);
      for (char& c : v->text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x80) c = static_cast<char>(n.op == Op::kUpper ? std::toupper(u) : std::tolower(u));
      }
      break;
    case Op::kSubstr: {
      int64_t start = a[1].number.ToInt64();
      int64_t size = static_cast<int64_t>(a[0].text.size());
      if (start < 1) start = 1;
      int64_t count = n.args.size() > 2 ? a[2].number.ToInt64() : size - start + 1;
      if (start > size || count <= 0) {
        v->text.clear();
      } else {
        v->text = a[0].text.substr(start - 1, std::min(count, size - start + 1));
      }
      break;
    }
    case Op::kLeft: {
      int64_t count = std::max<int64_t>(0, a[1].number.ToInt64());
      v->text = a[0].text.substr(0, std::min<int64_t>(count, a[0].text.size()));
      break;
    }
    case Op::kRight: {
      int64_t count = std::max<int64_t>(0, a[1].number.ToInt64());
      int64_t size = static_cast<int64_t>(a[0].text.size());
      v->text = count >= size ? a[0].text : a[0].text.substr(size - count);
      break;
    }
    case Op::kRtrim:
      v->text = RightTrim(std::move(a[0].text));
      break;
    case Op::kLtrim:
      v->text = LeftTrim(a[0].text);
      break;
    case Op::kAlltrim:
      v->text = LeftTrim(RightTrim(std::move(a[0].text)));
      break;
    case Op::kVal:
      v->number = DecimalNumber::ParseLeading(a[0].text);
      break;
    case Op::kCtod:
      v->jdn = CtodJulianDay(a[0].text);
      break;
    default:
      return Status::InvalidArgument("operation not supported in an expression");
  }
  return Status::OK();
}

}  // namespace

Status KeyExpression::Evaluate(const RecordRef& record, Value* value) const {
  Status s = Eval(*root_, record, value);
  if (!s.ok()) return Status::InvalidArgument(s.message() + " (" + text_ + ")");
  return s;
}

}  // namespace dbup::xbase
