// Index operations. Production indexes are not supported yet: every index
// operation fails with e4index, and no tag can be selected, so tables are
// read in record-number order.
#include "engine/e4internal.h"

namespace dbup::engine {

int TagTop(Data4* d) {
  return SetError(d->session, e4index, "index order is not supported");
}

int TagSkip(Data4* d, long /*n*/) {
  return SetError(d->session, e4index, "index order is not supported");
}

int TagGo(Data4* /*d*/, int result) {
  return result;
}

void CloseIndexes(Data4* d) {
  d->indexes.clear();
  d->selected_tag = nullptr;
}

}  // namespace dbup::engine

extern "C" {

Index4* E4API i4open(Data4* d, const char* path) {
  if (d == nullptr) return nullptr;
  dbup::engine::SetError(
      d->session, e4index,
      std::string(path != nullptr ? path : "") + ": index files are not supported");
  return nullptr;
}

int E4API i4close(Index4* i) {
  return i == nullptr ? e4parm : e4index;
}

Tag4* E4API i4tag(Index4* /*i*/, const char* /*name*/) {
  return nullptr;
}

Tag4* E4API d4tag(Data4* d, const char* /*name*/) {
  if (d != nullptr) dbup::engine::SetError(d->session, e4tagName, "index files are not supported");
  return nullptr;
}

void E4API d4tagSelectP(Data4* d, Tag4* t) {
  if (d != nullptr) d->selected_tag = t;
}

int E4API d4seek(Data4* d, const char* /*key*/) {
  if (d == nullptr) return e4parm;
  return dbup::engine::SetError(d->session, e4index, "index files are not supported");
}

int E4API d4seekNext(Data4* d, const char* key) {
  return d4seek(d, key);
}

int E4API d4reindex(Data4* d) {
  if (d == nullptr) return e4parm;
  return dbup::engine::SetError(d->session, e4index, "index files are not supported");
}

}  // extern "C"
