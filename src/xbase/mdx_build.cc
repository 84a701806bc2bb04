// Creating an .mdx and rebuilding its tags bottom-up from sorted keys.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "xbase/dbf_header.h"
#include "xbase/external_sorter.h"
#include "xbase/mdx_file.h"

namespace dbup::xbase {

namespace {

void Put32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(v >> (8 * i));
}
void Put16(char* p, uint16_t v) {
  p[0] = static_cast<char>(v);
  p[1] = static_cast<char>(v >> 8);
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Sequential writer for the pages a rebuild lays down in increasing order.
class PageWriter {
 public:
  explicit PageWriter(File* file) : file_(file) {}
  Status Write(uint32_t page, const std::string& block) {
    uint64_t offset = static_cast<uint64_t>(page) * kMdxPageSize;
    if (offset != start_ + buf_.size()) {
      Status s = Flush();
      if (!s.ok()) return s;
      start_ = offset;
    }
    buf_ += block;
    return buf_.size() >= (1u << 20) ? Flush() : Status::OK();
  }
  Status Flush() {
    if (buf_.empty()) return Status::OK();
    Status s = file_->WriteAt(start_, buf_.data(), buf_.size());
    start_ += buf_.size();
    buf_.clear();
    return s;
  }

 private:
  File* file_;
  uint64_t start_ = 0;
  std::string buf_;
};

}  // namespace

// Lays out one tag's tree level by level as sorted keys stream in. The key
// count is known in advance, so every level's nodes get an even share of
// their children and no branch is left with a single child.
class TreeBuilder {
 public:
  TreeBuilder(const Tag& tag, int block_bytes, int pages_per_block, uint64_t count,
              uint32_t* next_page, PageWriter* writer)
      : tag_(tag),
        block_bytes_(block_bytes),
        pages_per_block_(pages_per_block),
        next_page_(next_page),
        writer_(writer) {
    int capacity = std::min(tag.max_keys_, (block_bytes - 12) / tag.item_length_);
    uint64_t children = count;
    uint64_t nodes = std::max<uint64_t>(1, (count + capacity - 1) / capacity);
    levels_.push_back(MakeLevel(children, nodes));
    while (nodes > 1) {
      children = nodes;
      nodes = (children + capacity - 1) / capacity;
      levels_.push_back(MakeLevel(children, nodes));
    }
    for (Level& l : levels_) l.block.assign(block_bytes_, '\0');
  }

  Status AddKey(const char* key, uint32_t recno) {
    Level& leaf = levels_[0];
    char* d = leaf.block.data() + 8 + leaf.filled * tag_.item_length_;
    Put32(d, recno);
    std::memcpy(d + 4, key, tag_.key_length_);
    ++leaf.filled;
    if (leaf.filled == Target(leaf)) return FinishNode(0, std::string(key, tag_.key_length_));
    return Status::OK();
  }

  // Writes the tree of an empty tag; otherwise everything was written as
  // the last key arrived.
  Status Finish() {
    if (root_ == 0) return FinishNode(0, std::string());
    return Status::OK();
  }

  uint32_t root() const { return root_; }
  uint32_t first_leaf() const { return first_leaf_; }
  uint32_t last_leaf() const { return last_leaf_; }

 private:
  struct Level {
    uint64_t children = 0;  // entries (leaves) or child nodes below this level
    uint64_t nodes = 1;
    uint64_t node_index = 0;
    int filled = 0;
    std::string block;
  };

  static Level MakeLevel(uint64_t children, uint64_t nodes) {
    Level l;
    l.children = children;
    l.nodes = nodes;
    return l;
  }

  static int Target(const Level& l) {
    return static_cast<int>(l.children / l.nodes + (l.node_index < l.children % l.nodes ? 1 : 0));
  }

  Status FinishNode(size_t level, const std::string& high_key) {
    Level& l = levels_[level];
    uint32_t page = *next_page_;
    *next_page_ += pages_per_block_;
    // A branch's last child is the pointer after the entries, without a key.
    int n = level == 0 ? l.filled : l.filled - 1;
    Put32(l.block.data(), static_cast<uint32_t>(n));
    Status s = writer_->Write(page, l.block);
    if (!s.ok()) return s;
    if (level == 0) {
      if (first_leaf_ == 0) first_leaf_ = page;
      last_leaf_ = page;
    }
    l.block.assign(block_bytes_, '\0');
    l.filled = 0;
    ++l.node_index;
    if (level + 1 == levels_.size()) {
      root_ = page;
      return Status::OK();
    }
    Level& up = levels_[level + 1];
    char* d = up.block.data() + 8 + up.filled * tag_.item_length_;
    Put32(d, page);
    ++up.filled;
    if (up.filled == Target(up)) return FinishNode(level + 1, high_key);
    std::memcpy(d + 4, high_key.data(), std::min<size_t>(high_key.size(), tag_.key_length_));
    return Status::OK();
  }

  const Tag& tag_;
  int block_bytes_;
  int pages_per_block_;
  uint32_t* next_page_;
  PageWriter* writer_;
  std::vector<Level> levels_;
  uint32_t root_ = 0;
  uint32_t first_leaf_ = 0;
  uint32_t last_leaf_ = 0;
};

namespace {

Status CheckTagSpecs(const std::vector<TagSpec>& specs) {
  if (specs.size() > static_cast<size_t>(kMaxTags))
    return Status::InvalidArgument("an index holds at most 46 tags");
  std::set<std::string> names;
  for (const TagSpec& t : specs) {
    std::string name = Upper(t.name);
    bool ok =
        !name.empty() && name.size() <= 10 && std::isalpha(static_cast<unsigned char>(name[0]));
    for (char c : name) ok = ok && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
    if (!ok) return Status::InvalidArgument("bad tag name \"" + t.name + "\"");
    if (!names.insert(name).second) return Status::InvalidArgument("tag " + name + " given twice");
    if (t.expression.empty() || t.expression.size() >= 220)
      return Status::InvalidArgument("tag " + name + ": key expression empty or too long");
    if (t.filter.size() >= 220) return Status::InvalidArgument("tag " + name + ": FOR too long");
  }
  return Status::OK();
}

}  // namespace

Status MdxFile::Create(const std::string& path, const std::string& table_name,
                       const ExprLayout& layout, const std::vector<TagSpec>& specs,
                       uint8_t language_id, std::unique_ptr<MdxFile>* result) {
  Status s = CheckTagSpecs(specs);
  if (!s.ok()) return s;
  std::unique_ptr<MdxFile> mdx(new MdxFile());
  mdx->path_ = path;
  mdx->pages_per_block_ = 2;
  mdx->block_bytes_ = 1024;
  // Tags first, so a bad expression leaves no file behind.
  for (const TagSpec& spec : specs) {
    auto tag = std::make_unique<Tag>();
    tag->name_ = Upper(spec.name);
    tag->expression_text_ = spec.expression;
    tag->filter_text_ = spec.filter;
    std::string where = " (tag " + tag->name_ + ")";
    s = KeyExpression::Parse(spec.expression, layout, &tag->expression_);
    if (!s.ok()) return Status::InvalidArgument(s.message() + where);
    switch (tag->expression_->type()) {
      case ValueType::kChar:
        tag->key_type_ = KeyType::kChar;
        tag->key_length_ = tag->expression_->length();
        if (tag->key_length_ < 1 || tag->key_length_ > kMaxCharKeyLength)
          return Status::InvalidArgument("key length " + std::to_string(tag->key_length_) +
                                         " is not within 1..100" + where);
        break;
      case ValueType::kNumeric:
        tag->key_type_ = KeyType::kNumeric;
        tag->key_length_ = kNumericKeyLength;
        break;
      case ValueType::kDate:
        tag->key_type_ = KeyType::kDate;
        tag->key_length_ = kDateKeyLength;
        break;
      case ValueType::kLogical:
        return Status::InvalidArgument("a logical expression cannot be a key" + where);
    }
    if (!spec.filter.empty()) {
      s = KeyExpression::Parse(spec.filter, layout, &tag->filter_);
      if (!s.ok()) return Status::InvalidArgument(s.message() + where);
      if (tag->filter_->type() != ValueType::kLogical)
        return Status::InvalidArgument("FOR condition is not logical" + where);
    }
    tag->unique_ = spec.unique;
    tag->descending_ = spec.descending;
    tag->item_length_ = (tag->key_length_ + 4 + 3) / 4 * 4;
    tag->max_keys_ = (mdx->block_bytes_ - 12) / tag->item_length_;

    std::string& h = tag->header_block_;
    h.assign(mdx->block_bytes_, '\0');
    h[8] = static_cast<char>(0x10 | (spec.descending ? 0x08 : 0) | (spec.unique ? 0x40 : 0));
    h[9] = static_cast<char>(tag->key_type_);
    Put16(h.data() + 12, static_cast<uint16_t>(tag->key_length_));
    Put16(h.data() + 14, static_cast<uint16_t>(tag->max_keys_));
    Put16(h.data() + 16, tag->key_type_ == KeyType::kDate ? 1 : 0);
    Put16(h.data() + 18, static_cast<uint16_t>(tag->item_length_));
    h[20] = 0x02;
    h[23] = spec.unique ? 1 : 0;
    std::memcpy(h.data() + 24, spec.expression.data(), spec.expression.size());
    if (!spec.filter.empty()) {
      h[245] = 1;
      std::memcpy(h.data() + 762, spec.filter.data(), spec.filter.size());
    }
    PutToday(h.data() + 257);
    mdx->tags_.push_back(std::move(tag));
  }

  std::string& hd = mdx->header_;
  hd.assign(kMdxHeaderPages * kMdxPageSize, '\0');
  hd[0] = 0x02;
  PutToday(hd.data() + 1);
  std::string base = Upper(table_name).substr(0, 16);
  std::memcpy(hd.data() + 4, base.data(), base.size());
  Put16(hd.data() + 20, 2);
  Put16(hd.data() + 22, 1024);
  hd[24] = 0x01;
  hd[25] = 48;
  hd[26] = 32;
  Put16(hd.data() + 28, static_cast<uint16_t>(specs.size()));
  hd[30] = static_cast<char>(specs.size() + 1);
  hd[31] = static_cast<char>(language_id);
  hd[529] = 0x01;
  // Tag threads: a binary search tree of the names in table order.
  for (size_t i = 0; i < mdx->tags_.size(); ++i) {
    char* e = hd.data() + 544 + 32 * i;
    std::memcpy(e + 4, mdx->tags_[i]->name_.data(), mdx->tags_[i]->name_.size());
    e[15] = 0x10;
    e[19] = 0x02;
    e[20] = static_cast<char>(mdx->tags_[i]->key_type_);
    if (i == 0) continue;
    size_t node = 0;
    for (;;) {
      char* ne = hd.data() + 544 + 32 * node;
      bool left = mdx->tags_[i]->name_ < mdx->tags_[node]->name_;
      char& child = ne[left ? 16 : 17];
      if (child == 0) {
        child = static_cast<char>(i + 1);
        e[18] = static_cast<char>(node + 1);
        break;
      }
      node = static_cast<size_t>(child) - 1;
    }
  }

  s = Env::Current()->OpenFile(path, OpenMode::kCreate, &mdx->file_);
  if (!s.ok()) return s;
  mdx->page_count_ = kMdxHeaderPages;
  s = mdx->Rebuild([](const RecordVisitor&) { return Status::OK(); });
  if (!s.ok()) {
    mdx->file_->Close();
    mdx->file_.reset();
    Env::Current()->DeleteFile(path);
    return s;
  }
  *result = std::move(mdx);
  return Status::OK();
}

Status MdxFile::Rebuild(const RecordScan& for_each, size_t memory_budget) {
  if (read_only_) return Status::NotSupported("index opened read-only: " + path_);
  for (auto& tag : tags_) {
    if (tag->expression_ == nullptr)
      return Status::InvalidArgument("index not bound to its table: " + path_);
  }
  // Everything is written afresh; cached blocks and the free list go.
  ClearCache();
  ++version_;

  // Sorted record: sortable key, record number (big-endian), stored key.
  struct TagSort {
    Tag* tag;
    size_t sortable;
    bool key_sorts;
    std::unique_ptr<ExternalSorter> sorter;
  };
  std::vector<TagSort> sorts;
  size_t share = memory_budget / std::max<size_t>(1, tags_.size());
  for (size_t i = 0; i < tags_.size(); ++i) {
    Tag* tag = tags_[i].get();
    size_t sortable = static_cast<size_t>(tag->key_length_);
    // Ascending character keys sort as they are: no second copy of the key.
    bool key_sorts = tag->key_type_ == KeyType::kChar && !tag->descending_;
    size_t record = sortable + 4 + (key_sorts ? 0 : tag->key_length_);
    sorts.push_back({tag, sortable, key_sorts,
                     std::make_unique<ExternalSorter>(path_ + ".srt" + std::to_string(i) + "_",
                                                      record, sortable + 4, share)});
  }
  std::string rec, key;
  Status s = for_each([&](const RecordRef& r) -> Status {
    for (TagSort& ts : sorts) {
      bool included = false;
      Status ks = ts.tag->KeyFor(r, &key, &included);
      if (!ks.ok()) return ks;
      if (!included) continue;
      rec.clear();
      AppendSortableKey(ts.tag->key_type_, key, &rec);
      if (ts.tag->descending_) {
        for (size_t b = 0; b < ts.sortable; ++b) rec[b] = static_cast<char>(~rec[b]);
      }
      for (int b = 3; b >= 0; --b) rec.push_back(static_cast<char>(r.recno >> (8 * b)));
      if (!ts.key_sorts) rec += key;
      if (!(ks = ts.sorter->Add(rec.data())).ok()) return ks;
    }
    return Status::OK();
  });
  if (!s.ok()) return s;

  PageWriter writer(file_.get());
  uint32_t next_page = kMdxHeaderPages;
  for (TagSort& ts : sorts) {
    Tag* tag = ts.tag;
    if (!(s = ts.sorter->Finish()).ok()) return s;
    const size_t key_at = ts.key_sorts ? 0 : ts.sortable + 4;
    uint64_t count = ts.sorter->count();
    if (tag->unique_) {  // one pass to count the distinct keys first
      count = 0;
      std::string prev;
      const char* r;
      if (!(s = ts.sorter->Rewind()).ok()) return s;
      while ((s = ts.sorter->Next(&r)).ok() && r != nullptr) {
        if (count == 0 || std::memcmp(prev.data(), r, ts.sortable) != 0) ++count;
        prev.assign(r, ts.sortable);
      }
      if (!s.ok()) return s;
    }
    tag->header_page_ = next_page;
    next_page += pages_per_block_;
    TreeBuilder builder(*tag, block_bytes_, pages_per_block_, count, &next_page, &writer);
    if (!(s = ts.sorter->Rewind()).ok()) return s;
    std::string prev;
    bool first = true;
    const char* r;
    while ((s = ts.sorter->Next(&r)).ok() && r != nullptr) {
      if (tag->unique_) {
        // Equal keys arrive in record order: the first record keeps the key.
        if (!first && std::memcmp(prev.data(), r, ts.sortable) == 0) continue;
        prev.assign(r, ts.sortable);
        first = false;
      }
      const unsigned char* rn = reinterpret_cast<const unsigned char*>(r + ts.sortable);
      uint32_t recno = (uint32_t{rn[0]} << 24) | (rn[1] << 16) | (rn[2] << 8) | rn[3];
      if (!(s = builder.AddKey(r + key_at, recno)).ok()) return s;
    }
    if (!s.ok()) return s;
    if (!(s = builder.Finish()).ok()) return s;
    ts.sorter.reset();  // removes its temporary files

    char* h = tag->header_block_.data();
    tag->root_page_ = builder.root();
    tag->damaged_ = false;
    Put32(h, builder.root());
    Put32(h + 4, next_page - tag->header_page_ - pages_per_block_);
    h[246] = count > 0 ? 1 : 0;
    Put32(h + 248, builder.first_leaf());
    Put32(h + 252, builder.last_leaf());
    Put32(header_.data() + 544 + 32 * static_cast<int>(&ts - sorts.data()), tag->header_page_);
    if (!(s = writer.Write(tag->header_page_, tag->header_block_)).ok()) return s;
    tag->header_dirty_ = false;
  }
  if (!(s = writer.Flush()).ok()) return s;
  page_count_ = next_page;
  free_head_ = 0;
  free_count_ = 0;
  lost_blocks_ = false;
  uint64_t size = static_cast<uint64_t>(page_count_) * kMdxPageSize;
  if (!(s = file_->Truncate(size)).ok()) return s;
  file_size_ = size;
  // Header last: until it is written the old header does not describe the
  // new pages, and a failed rebuild is repaired by running it again.
  Put32(header_.data() + 32, page_count_);
  Put32(header_.data() + 36, 0);
  Put32(header_.data() + 40, 0);
  PutToday(header_.data() + 44);
  if (!(s = file_->WriteAt(0, header_.data(), header_.size())).ok()) return s;
  header_dirty_ = false;
  ++version_;
  return Status::OK();
}

}  // namespace dbup::xbase
