// Index operations: production .mdx files opened on a table, tag selection,
// seeks, and top/skip in tag order, reindex. An open index keeps its keys
// current through the table's record observer, so every appended or
// written record is in every tag at once.
//
// The position in tag order is not kept between calls: it is found again
// from the current record's key and number, so it stays right whatever
// changed the record or the tree in between.
#include <algorithm>
#include <climits>

#include "engine/e4internal.h"
#include "platform/path.h"
#include "xbase/table_index.h"

struct Tag4Handle {
  Index4* index = nullptr;
  dbup::xbase::Tag* tag = nullptr;
  dbup::xbase::TagCursor cursor;
};

struct Index4File {
  Data4* table = nullptr;
  std::string path;
  std::unique_ptr<dbup::xbase::TableIndexer> indexer;
  std::vector<std::unique_ptr<Tag4Handle>> tags;
};

namespace dbup::engine {

namespace {

using dbup::xbase::MdxFile;
using dbup::xbase::TagCursor;

int IndexError(Data4* d, const Status& s) {
  int code = e4index;
  if (s.IsIOError()) code = e4read;
  return SetError(d->session, code, s.ToString());
}

// Stores a changed current record so that its keys are in the tags before
// the tag order is used or the index goes away.
int StoreCurrent(Data4* d) {
  xbase::Table& t = *d->table;
  if (!t.changed() || t.recno() < 1 || t.eof()) return r4success;
  Status s = t.WriteCurrent();
  if (!s.ok()) return SetError(d->session, e4write, s.ToString());
  return r4success;
}

MdxFile* MdxOf(Tag4* t) {
  return t->index->indexer->mdx();
}

// Positions the table on the cursor's record, or at end of file.
int GoCursor(Data4* d, const TagCursor& c) {
  if (c.eof) {
    int rc = GoRecord(d, LONG_MAX);
    return rc == r4eof ? r4eof : rc;
  }
  return GoRecord(d, static_cast<long>(c.recno));
}

// The cursor at the current record's entry. *exact is false when the
// record is not in the tag (a FOR condition leaves it out); the cursor is
// then on the entry that follows where it would be.
int PlaceAtCurrent(Data4* d, Tag4* t, bool* exact) {
  xbase::Table& table = *d->table;
  std::string key;
  bool included = false;
  xbase::RecordRef rec{table.record(), table.recno()};
  Status s = t->tag->KeyFor(rec, &key, &included);
  if (!s.ok()) return SetError(d->session, e4expr, s.ToString());
  s = MdxOf(t)->SeekEntry(t->tag, key, table.recno(), &t->cursor);
  if (!s.ok()) return IndexError(d, s);
  *exact = included && !t->cursor.eof && t->cursor.recno == table.recno() && t->cursor.key == key;
  return r4success;
}

int SeekIn(Data4* d, Tag4* t, const char* text, bool* found) {
  std::string key;
  Status s = xbase::SearchKeyFromText(t->tag->key_type(), text, &key);
  if (!s.ok()) return SetError(d->session, e4parm, s.ToString());
  if (t->tag->key_type() == xbase::KeyType::kChar &&
      key.size() > static_cast<size_t>(t->tag->key_length())) {
    key.resize(t->tag->key_length());
  }
  s = MdxOf(t)->Seek(t->tag, key, &t->cursor, found);
  if (!s.ok()) return IndexError(d, s);
  return r4success;
}

// The selected tag, or the first tag of the first open index as dBASE uses
// when none was selected.
Tag4* SeekTag(Data4* d) {
  if (d->selected_tag != nullptr) return d->selected_tag;
  for (Index4* i : d->indexes) {
    if (!i->tags.empty()) return i->tags.front().get();
  }
  return nullptr;
}

}  // namespace

int TagTop(Data4* d) {
  Tag4* t = d->selected_tag;
  int rc = StoreCurrent(d);
  if (rc != r4success) return rc;
  Status s = MdxOf(t)->First(t->tag, &t->cursor);
  if (!s.ok()) return IndexError(d, s);
  return GoCursor(d, t->cursor);
}

int TagSkip(Data4* d, long n) {
  Tag4* t = d->selected_tag;
  xbase::Table& table = *d->table;
  int rc = StoreCurrent(d);
  if (rc != r4success) return rc;
  if (table.recno() < 1 || table.eof()) {
    if (n >= 0) return r4eof;
    Status s = MdxOf(t)->Last(t->tag, &t->cursor);
    if (!s.ok()) return IndexError(d, s);
    if (t->cursor.eof) return r4eof;
    ++n;  // the last entry is the first step back
  } else {
    bool exact = false;
    if ((rc = PlaceAtCurrent(d, t, &exact)) != r4success) return rc;
    if (!exact && n > 0) --n;  // already on the entry after the record
    if (!exact && n < 0 && t->cursor.eof) {
      // The record would sort after every entry: the last one is a step back.
      Status s = MdxOf(t)->Last(t->tag, &t->cursor);
      if (!s.ok()) return IndexError(d, s);
      if (t->cursor.eof) return r4eof;
      ++n;
    }
  }
  MdxFile* mdx = MdxOf(t);
  for (long i = 0; i < n && !t->cursor.eof; ++i) {
    Status s = mdx->Next(&t->cursor);
    if (!s.ok()) return IndexError(d, s);
  }
  for (long i = 0; i > n; --i) {
    TagCursor before = t->cursor;
    Status s = mdx->Prev(&t->cursor);
    if (!s.ok()) return IndexError(d, s);
    if (t->cursor.eof) {  // before the first entry: stay on it, as dBASE does
      rc = GoCursor(d, before);
      return rc == r4success ? r4bof : rc;
    }
  }
  return GoCursor(d, t->cursor);
}

int TagGo(Data4* /*d*/, int result) {
  return result;
}

void CloseIndexes(Data4* d) {
  StoreCurrent(d);
  for (Index4* i : d->indexes) {
    if (i->indexer != nullptr) {
      Status s = i->indexer->Close();
      if (!s.ok()) SetError(d->session, e4write, s.ToString());
    }
    delete i;
  }
  d->indexes.clear();
  d->selected_tag = nullptr;
}

}  // namespace dbup::engine

using dbup::Status;
using dbup::engine::SetError;

extern "C" {

Index4* E4API i4open(Data4* d, const char* path) {
  if (d == nullptr || path == nullptr) return nullptr;
  if (d->session->error_code < 0) return nullptr;  // an earlier failure is still pending
  for (Index4* i : d->indexes) {
    if (dbup::EqualsIgnoreCase(i->path, path)) return i;
  }
  if (dbup::engine::StoreCurrent(d) != r4success) return nullptr;
  std::unique_ptr<dbup::xbase::TableIndexer> indexer;
  Status s = dbup::xbase::TableIndexer::Open(d->table.get(), path, &indexer);
  if (!s.ok()) {
    int code = e4index;
    if (s.IsNotFound() || (s.IsIOError() && !dbup::Env::Current()->FileExists(path))) code = e4open;
    if (s.message().find("cannot evaluate") != std::string::npos) code = e4expr;
    SetError(d->session, code, s.ToString());
    return nullptr;
  }
  auto* index = new (std::nothrow) Index4File();
  if (index == nullptr) {
    SetError(d->session, e4memory);
    return nullptr;
  }
  index->table = d;
  index->path = path;
  index->indexer = std::move(indexer);
  dbup::xbase::MdxFile* mdx = index->indexer->mdx();
  for (int k = 0; k < mdx->tag_count(); ++k) {
    auto t = std::make_unique<Tag4Handle>();
    t->index = index;
    t->tag = mdx->tag(k);
    index->tags.push_back(std::move(t));
  }
  d->indexes.push_back(index);
  return index;
}

int E4API i4close(Index4* i) {
  if (i == nullptr) return e4parm;
  Data4* d = i->table;
  int result = dbup::engine::StoreCurrent(d);
  if (d->selected_tag != nullptr && d->selected_tag->index == i) d->selected_tag = nullptr;
  Status s = i->indexer->Close();
  if (!s.ok()) result = SetError(d->session, e4write, s.ToString());
  d->indexes.erase(std::remove(d->indexes.begin(), d->indexes.end(), i), d->indexes.end());
  delete i;
  return result;
}

Tag4* E4API i4tag(Index4* i, const char* name) {
  if (i == nullptr || name == nullptr) return nullptr;
  dbup::xbase::Tag* tag = i->indexer->mdx()->FindTag(name);
  for (auto& t : i->tags) {
    if (t->tag == tag) return t.get();
  }
  return nullptr;
}

Tag4* E4API d4tag(Data4* d, const char* name) {
  if (d == nullptr || name == nullptr) return nullptr;
  for (Index4* i : d->indexes) {
    if (Tag4* t = i4tag(i, name)) return t;
  }
  SetError(d->session, e4tagName, std::string("tag ") + name + " is not in an open index");
  return nullptr;
}

void E4API d4tagSelectP(Data4* d, Tag4* t) {
  if (d == nullptr) return;
  // A tag of another table's index would order this table by foreign keys.
  d->selected_tag = (t != nullptr && t->index->table == d) ? t : nullptr;
}

int E4API d4seek(Data4* d, const char* key) {
  if (d == nullptr || key == nullptr) return e4parm;
  Tag4* t = dbup::engine::SeekTag(d);
  if (t == nullptr) return SetError(d->session, e4index, "no index tag to seek in");
  int rc = dbup::engine::StoreCurrent(d);
  if (rc != r4success) return rc;
  bool found = false;
  if ((rc = dbup::engine::SeekIn(d, t, key, &found)) != r4success) return rc;
  rc = dbup::engine::GoCursor(d, t->cursor);
  if (rc != r4success) return rc;
  return found ? r4success : r4after;
}

int E4API d4seekNext(Data4* d, const char* key) {
  if (d == nullptr || key == nullptr) return e4parm;
  Tag4* t = dbup::engine::SeekTag(d);
  if (t == nullptr) return SetError(d->session, e4index, "no index tag to seek in");
  int rc = dbup::engine::StoreCurrent(d);
  if (rc != r4success) return rc;
  dbup::xbase::Table& table = *d->table;
  bool exact = false;
  if (table.recno() >= 1 && !table.eof()) {
    if ((rc = dbup::engine::PlaceAtCurrent(d, t, &exact)) != r4success) return rc;
  }
  std::string search;
  Status s = dbup::xbase::SearchKeyFromText(t->tag->key_type(), key, &search);
  if (!s.ok()) return SetError(d->session, e4parm, s.ToString());
  bool current_matches = false;
  if (exact) {
    std::string probe = t->cursor.key;
    if (t->tag->key_type() == dbup::xbase::KeyType::kChar)
      probe.resize(std::min(probe.size(), search.size()));
    current_matches = t->tag->Compare(probe, search.substr(0, probe.size())) == 0;
  }
  if (!current_matches) return d4seek(d, key);
  s = dbup::engine::MdxOf(t)->Next(&t->cursor);
  if (!s.ok()) return dbup::engine::IndexError(d, s);
  rc = dbup::engine::GoCursor(d, t->cursor);
  if (rc != r4success) return rc;
  std::string probe = t->cursor.key;
  if (t->tag->key_type() == dbup::xbase::KeyType::kChar)
    probe.resize(std::min(probe.size(), search.size()));
  return t->tag->Compare(probe, search.substr(0, probe.size())) == 0 ? r4success : r4after;
}

int E4API d4reindex(Data4* d) {
  if (d == nullptr) return e4parm;
  for (Index4* i : d->indexes) {
    Status s = i->indexer->Reindex();
    if (!s.ok()) {
      return SetError(d->session, s.IsIOError() ? e4write : e4index, s.ToString());
    }
  }
  // The old position in tag order means nothing after a rebuild.
  return r4success;
}

}  // extern "C"
