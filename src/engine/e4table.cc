// Table operations: open and close, positioning by record number, append,
// write, lock and pack.
#include <climits>
#include <string>

#include "engine/e4internal.h"
#include "platform/path.h"

namespace dbup::engine {

namespace {

// Engine code for a failed Status of the table layer.
int CodeFor(const dbup::Status& s, int io_code) {
  if (s.IsCorruption() || s.IsNotSupported()) return e4data;
  return io_code;
}

int Fail(Data4* d, const dbup::Status& s, int io_code) {
  return SetError(d->session, CodeFor(s, io_code), s.ToString());
}

// Paths compared as Windows would: either separator, doubled separators and
// letter case make no difference.
std::string Normalised(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (dbup::IsPathSeparator(c)) {
      if (!out.empty() && out.back() == '/') continue;
      c = '/';
    } else if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
    out.push_back(c);
  }
  return out;
}

}  // namespace

int GoRecord(Data4* d, long record) {
  dbup::xbase::Table& t = *d->table;
  if (record < 1 || static_cast<unsigned long>(record) > t.record_count()) {
    dbup::Status s = t.GoEof();
    if (!s.ok()) return Fail(d, s, e4write);
    return r4eof;
  }
  dbup::Status s = t.Go(static_cast<uint32_t>(record));
  if (!s.ok()) return Fail(d, s, s.IsIOError() && t.changed() ? e4write : e4read);
  return r4success;
}

}  // namespace dbup::engine

using dbup::engine::Fail;
using dbup::engine::SetError;

extern "C" {

Data4* E4API d4open(Code4* s, const char* path) {
  if (s == nullptr || path == nullptr) return nullptr;
  if (s->error_code < 0) return nullptr;  // an earlier failure is still pending
  // Two handles on one file would each keep their own buffers and record
  // count, and the second to write would overwrite the first one's records.
  const std::string wanted = dbup::engine::Normalised(path);
  for (Data4* other : s->tables) {
    if (dbup::engine::Normalised(other->table->path()) == wanted) {
      SetError(s, e4open, std::string(path) + ": the table is already open in this session");
      return nullptr;
    }
  }
  std::unique_ptr<dbup::xbase::Table> table;
  dbup::Status st = dbup::xbase::Table::Open(path, {}, &table);
  if (st.IsIOError() && dbup::Env::Current()->FileExists(path)) {
    // A file we may not write (a read-only medium) can still be read.
    st = dbup::xbase::Table::Open(path, {/*read_only=*/true}, &table);
  }
  if (!st.ok()) {
    SetError(s, st.IsCorruption() || st.IsNotSupported() ? e4data : e4open, st.ToString());
    return nullptr;
  }
  auto* d = new (std::nothrow) Data4Table();
  if (d == nullptr) {
    SetError(s, e4memory);
    return nullptr;
  }
  d->session = s;
  d->table = std::move(table);
  for (int i = 0; i < d->table->field_count(); ++i) {
    auto f = std::make_unique<Field4Handle>();
    f->table = d;
    f->index = i;
    d->fields.push_back(std::move(f));
  }
  s->tables.push_back(d);
  return d;
}

int E4API d4close(Data4* d) {
  if (d == nullptr) return e4parm;
  dbup::engine::CloseIndexes(d);
  int result = 0;
  dbup::Status st = d->table->Close();
  if (!st.ok()) result = Fail(d, st, e4write);
  auto& list = d->session->tables;
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (*it == d) {
      list.erase(it);
      break;
    }
  }
  delete d;
  return result;
}

int E4API d4top(Data4* d) {
  if (d == nullptr) return e4parm;
  if (d->selected_tag != nullptr) return dbup::engine::TagTop(d);
  return dbup::engine::GoRecord(d, 1);
}

int E4API d4skip(Data4* d, long n) {
  if (d == nullptr) return e4parm;
  if (d->selected_tag != nullptr) return dbup::engine::TagSkip(d, n);
  long current = static_cast<long>(d->table->recno());
  long count = static_cast<long>(d->table->record_count());
  if (current > count) {
    if (n >= 0) return r4eof;
    current = count + 1;
  }
  long target = current + n;
  if (n < 0 && target < 1) {
    // Before the first record: stay on it, as dBASE does, and say so.
    int rc = dbup::engine::GoRecord(d, 1);
    return rc == r4success ? r4bof : rc;
  }
  return dbup::engine::GoRecord(d, target);
}

int E4API d4go(Data4* d, long record) {
  if (d == nullptr) return e4parm;
  int rc = dbup::engine::GoRecord(d, record);
  if (d->selected_tag != nullptr) rc = dbup::engine::TagGo(d, rc);
  return rc;
}

int E4API d4deleted(Data4* d) {
  if (d == nullptr || d->table->eof() || d->table->recno() == 0) return 0;
  return d->table->deleted() ? 1 : 0;
}

long E4API d4recNoLow(Data4* d) {
  if (d == nullptr) return -1;
  uint32_t r = d->table->recno();
  return r > static_cast<uint32_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(r);
}

long E4API d4recCount(Data4* d) {
  if (d == nullptr) return -1;
  uint32_t n = d->table->record_count();
  return n > static_cast<uint32_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(n);
}

int E4API d4appendBlank(Data4* d) {
  if (d == nullptr) return e4parm;
  dbup::Status st = d->table->AppendBlank();
  if (!st.ok()) return Fail(d, st, e4write);
  return r4success;
}

int E4API d4writeLow(Data4* d, long record, int unlock, int /*do_lock*/) {
  if (d == nullptr) return e4parm;
  // The record buffer belongs to the current record; writing it anywhere
  // else would overwrite another record with it.
  if (record != static_cast<long>(d->table->recno())) {
    return SetError(d->session, e4parm,
                    "record " + std::to_string(record) + " is not the current record");
  }
  dbup::Status st = d->table->WriteCurrent();
  if (!st.ok()) return Fail(d, st, e4write);
  if (unlock != 0) return d4unlock(d);
  return r4success;
}

int E4API d4lockInternal(Data4* d, long /*record*/, int /*lock_type*/, int /*do_wait*/) {
  // One process works on the tables at a time; the lock only marks that a
  // changed record is to be stored when it is left, unlocked or closed,
  // which the table does for every changed record anyway.
  if (d == nullptr) return e4parm;
  d->locked = true;
  return r4success;
}

int E4API d4unlock(Data4* d) {
  if (d == nullptr) return e4parm;
  d->locked = false;
  if (d->table->read_only()) return r4success;
  dbup::Status st = d->table->Flush();
  if (!st.ok()) return Fail(d, st, e4write);
  return r4success;
}

void E4API d4delete(Data4* d) {
  if (d == nullptr || d->table->recno() == 0 || d->table->eof()) return;
  d->table->SetDeleted(true);
}

int E4API d4pack(Data4* d) {
  if (d == nullptr) return e4parm;
  dbup::Status st = d->table->Pack();
  if (!st.ok()) return Fail(d, st, e4write);
  return r4success;
}

}  // extern "C"
