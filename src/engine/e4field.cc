// Field operations: look-up, description, reading and assignment.
#include <climits>
#include <cstring>
#include <string_view>

#include "engine/e4internal.h"
#include "xbase/field_codec.h"

namespace {

dbup::xbase::Table& TableOf(Field4* f) {
  return *f->table->table;
}

// Store failures: a value the type cannot hold is stored blank, as dBASE
// does, and is no engine error; a memo file that cannot be written is.
void Record(Field4* f, const dbup::Status& s) {
  if (!s.ok() && !s.IsInvalidArgument()) {
    dbup::engine::SetError(f->table->session, e4memo, s.ToString());
  }
}

}  // namespace

extern "C" {

Field4* E4API d4field(Data4* d, const char* name) {
  if (d == nullptr || name == nullptr) return nullptr;
  if (d->session->error_code < 0) return nullptr;  // an earlier failure is still pending
  std::string_view n = dbup::xbase::TrimBlanks(name);
  int i = d->table->FindField(n);
  if (i < 0) {
    dbup::engine::SetError(d->session, e4fieldName,
                           std::string(n) + " is not a field of " + d->table->path());
    return nullptr;
  }
  return d->fields[static_cast<size_t>(i)].get();
}

short E4API d4numFields(Data4* d) {
  if (d == nullptr) return -1;
  return static_cast<short>(d->fields.size());
}

Field4* E4API d4fieldJ(Data4* d, short j) {
  if (d == nullptr || j < 1 || static_cast<size_t>(j) > d->fields.size()) {
    if (d != nullptr) dbup::engine::SetError(d->session, e4parm, "field number out of range");
    return nullptr;
  }
  return d->fields[static_cast<size_t>(j - 1)].get();
}

const char* E4API f4name(Field4* f) {
  if (f == nullptr) return "";
  return TableOf(f).field(f->index).name.c_str();
}

int E4API f4type(Field4* f) {
  if (f == nullptr) return 0;
  return static_cast<unsigned char>(TableOf(f).field(f->index).type);
}

int E4API f4len(Field4* f) {
  if (f == nullptr) return 0;
  return TableOf(f).field(f->index).length;
}

int E4API f4decimals(Field4* f) {
  if (f == nullptr) return 0;
  return TableOf(f).field(f->index).decimals;
}

const char* E4API f4memoStr(Field4* f) {
  if (f == nullptr) return "";
  dbup::Status s = TableOf(f).GetMemo(f->index, &f->text);
  if (!s.ok()) {
    f->text.clear();
    dbup::engine::SetError(f->table->session, e4memo, s.ToString());
  }
  return f->text.c_str();
}

const char* E4API f4str(Field4* f) {
  if (f == nullptr) return "";
  if (TableOf(f).field(f->index).type == 'M') return f4memoStr(f);
  f->text.assign(TableOf(f).FieldBytes(f->index));
  return f->text.c_str();
}

long E4API f4int(Field4* f) {
  if (f == nullptr) return 0;
  int64_t v = TableOf(f).GetInt(f->index);
  if (v > LONG_MAX) return LONG_MAX;
  if (v < LONG_MIN) return LONG_MIN;
  return static_cast<long>(v);
}

int E4API f4double2(Field4* f, double* result) {
  if (f == nullptr || result == nullptr) return e4parm;
  double v = 0;
  if (!TableOf(f).GetDouble(f->index, &v)) v = 0;  // blank reads as zero
  *result = v;
  return r4success;
}

void E4API f4assign(Field4* f, const char* value) {
  if (f == nullptr) return;
  Record(f, TableOf(f).SetText(f->index, value != nullptr ? value : ""));
}

int E4API f4memoAssign(Field4* f, const char* value) {
  if (f == nullptr) return e4parm;
  dbup::Status s = TableOf(f).SetText(f->index, value != nullptr ? value : "");
  if (!s.ok() && !s.IsInvalidArgument()) {
    return dbup::engine::SetError(f->table->session, e4memo, s.ToString());
  }
  return r4success;
}

void E4API f4assignInt(Field4* f, int value) {
  if (f == nullptr) return;
  Record(f, TableOf(f).SetInt(f->index, value));
}

void E4API f4assignDouble(Field4* f, double value) {
  if (f == nullptr) return;
  Record(f, TableOf(f).SetDouble(f->index, value));
}

void E4API f4assignField(Field4* to, Field4* from) {
  if (to == nullptr || from == nullptr) return;
  Record(to, TableOf(to).AssignField(to->index, TableOf(from), from->index));
}

}  // extern "C"
