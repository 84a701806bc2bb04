#include "xbase/mdx_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "xbase/dbf_header.h"

namespace dbup::xbase {

namespace {

// No real tag is deeper; a longer path means the child pointers loop.
constexpr size_t kMaxDepth = 24;
constexpr int kTagTableOffset = 544;
constexpr int kTagEntryLength = 32;
constexpr int kTagTableEntries = 48;
constexpr int kExpressionOffset = 24;
constexpr int kExpressionMax = 220;
constexpr int kFilterOffset = 762;

uint32_t Get32(const char* p) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  return u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<uint32_t>(u[3]) << 24);
}
uint16_t Get16(const char* p) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  return static_cast<uint16_t>(u[0] | (u[1] << 8));
}
void Put32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(v >> (8 * i));
}

std::string CString(const char* p, size_t max) {
  size_t n = 0;
  while (n < max && p[n] != '\0') ++n;
  return std::string(p, n);
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// A node as stored, read in place (no copies) for the search paths.
struct RawNode {
  const char* data = nullptr;
  int n = 0;
  int item = 0;
  int key_length = 0;
  bool leaf = true;

  uint32_t Pointer(int i) const { return Get32(data + 8 + i * item); }
  std::string_view Key(int i) const { return std::string_view(data + 12 + i * item, key_length); }
  // Child i of a branch, 0 <= i <= n; the last one sits after the entries.
  uint32_t Child(int i) const { return Get32(data + 8 + i * item); }
};

}  // namespace

// A node copied out for changing.
struct MdxFile::Node {
  uint32_t page = 0;
  bool leaf = true;
  std::vector<std::string> keys;
  std::vector<uint32_t> pointers;  // leaf: record numbers; branch: keys + 1 children
};

Status Tag::KeyFor(const RecordRef& record, std::string* key, bool* included) const {
  *included = true;
  Value v;
  if (filter_ != nullptr) {
    Status s = filter_->Evaluate(record, &v);
    if (!s.ok()) return s;
    *included = v.flag;
  }
  Status s = expression_->Evaluate(record, &v);
  if (!s.ok()) return s;
  *key = EncodeKey(key_type_, key_length_, v);
  return Status::OK();
}

MdxFile::~MdxFile() {
  if (file_ != nullptr) Close();
}

Status MdxFile::Open(const std::string& path, bool read_only, std::unique_ptr<MdxFile>* result) {
  std::unique_ptr<MdxFile> mdx(new MdxFile());
  mdx->path_ = path;
  mdx->read_only_ = read_only;
  Status s = Env::Current()->OpenFile(path, read_only ? OpenMode::kReadOnly : OpenMode::kReadWrite,
                                      &mdx->file_);
  if (s.ok()) s = mdx->file_->Size(&mdx->file_size_);
  if (s.ok()) s = mdx->ReadHeader();
  for (int i = 0; s.ok() && i < static_cast<int>(Get16(mdx->header_.data() + 28)); ++i) {
    s = mdx->ReadTag(i);
  }
  if (!s.ok()) {
    if (mdx->file_ != nullptr) mdx->file_->Close();
    mdx->file_.reset();
    return s;
  }
  *result = std::move(mdx);
  return Status::OK();
}

Status MdxFile::ReadHeader() {
  std::string where = " in " + path_;
  if (file_size_ < static_cast<uint64_t>(kTagTableOffset))
    return Status::Corruption("index file too short for its header" + where);
  header_.assign(kMdxHeaderPages * kMdxPageSize, '\0');
  size_t got = 0;
  Status s = file_->ReadAt(0, header_.size(), header_.data(), &got);
  if (!s.ok()) return s;
  unsigned char version = static_cast<unsigned char>(header_[0]);
  if (version == 3 || version == 4)
    return Status::NotSupported("index of a later dBASE level (dBASE 7) is not supported" + where);
  if (version != 2)
    return Status::Corruption("not a dBASE IV production index (version byte " +
                              std::to_string(version) + ")" + where);
  pages_per_block_ = Get16(header_.data() + 20);
  block_bytes_ = Get16(header_.data() + 22);
  if (pages_per_block_ < 1 || pages_per_block_ > 64 ||
      block_bytes_ != pages_per_block_ * kMdxPageSize)
    return Status::Corruption("index block size " + std::to_string(pages_per_block_) + " pages / " +
                              std::to_string(block_bytes_) + " bytes is not valid" + where);
  if (static_cast<unsigned char>(header_[26]) != kTagEntryLength)
    return Status::Corruption("index tag table entries are not 32 bytes" + where);
  int tags = Get16(header_.data() + 28);
  int entries = static_cast<unsigned char>(header_[25]);
  if (tags > kTagTableEntries || (entries != 0 && tags > entries))
    return Status::Corruption("index claims " + std::to_string(tags) + " tags" + where);
  if (got < static_cast<size_t>(kTagTableOffset + tags * kTagEntryLength))
    return Status::Corruption("index tag table is cut short" + where);
  page_count_ = stored_page_count_ = Get32(header_.data() + 32);
  // A count beyond the file's end would make new blocks land far past it.
  uint64_t file_pages = (file_size_ + kMdxPageSize - 1) / kMdxPageSize;
  if (page_count_ > file_pages) {
    page_count_ = static_cast<uint32_t>(std::max<uint64_t>(file_pages, kMdxHeaderPages));
  }
  free_head_ = Get32(header_.data() + 36);
  free_count_ = Get32(header_.data() + 40);
  return Status::OK();
}

Status MdxFile::ValidatePage(uint32_t page) const {
  uint64_t end = (static_cast<uint64_t>(page) + pages_per_block_) * kMdxPageSize;
  if (page < kMdxHeaderPages || page + static_cast<uint64_t>(pages_per_block_) > page_count_ ||
      end > std::max<uint64_t>(file_size_, static_cast<uint64_t>(page_count_) * kMdxPageSize)) {
    return Status::Corruption("block number " + std::to_string(page) +
                              " is outside the index file " + path_);
  }
  return Status::OK();
}

bool MdxFile::IsCutOff(uint32_t page) const {
  uint64_t end = (static_cast<uint64_t>(page) + pages_per_block_) * kMdxPageSize;
  return page >= kMdxHeaderPages &&
         page + static_cast<uint64_t>(pages_per_block_) <= stored_page_count_ && end > file_size_;
}

Status MdxFile::CheckTree(const Tag* tag) const {
  if (!tag->damaged_) return Status::OK();
  return Status::Corruption("the tree of tag " + tag->name_ +
                            " is cut off in the truncated index " + path_ +
                            "; reindex to rebuild it");
}

Status MdxFile::CheckChangeable() const {
  if (read_only_) return Status::NotSupported("index opened read-only: " + path_);
  if (!lost_blocks_) return Status::OK();
  return Status::Corruption("index " + path_ + " is truncated; reindex before changing keys");
}

Status MdxFile::ReadTag(int index) {
  const char* entry = header_.data() + kTagTableOffset + index * kTagEntryLength;
  auto tag = std::make_unique<Tag>();
  tag->name_ = CString(entry + 4, 11);
  while (!tag->name_.empty() && tag->name_.back() == ' ') tag->name_.pop_back();
  tag->header_page_ = Get32(entry);
  std::string where = " (tag " + tag->name_ + " in " + path_ + ")";
  Status s = ValidatePage(tag->header_page_);
  if (!s.ok()) return Status::Corruption(s.message() + where);
  tag->header_block_.assign(block_bytes_, '\0');
  size_t got = 0;
  s = file_->ReadAt(static_cast<uint64_t>(tag->header_page_) * kMdxPageSize, block_bytes_,
                    tag->header_block_.data(), &got);
  if (!s.ok()) return s;
  if (got < static_cast<size_t>(kFilterOffset))
    return Status::Corruption("tag header cut short" + where);
  const char* h = tag->header_block_.data();
  tag->root_page_ = Get32(h);
  unsigned char flags = static_cast<unsigned char>(h[8]);
  char type = h[9];
  if (type != 'C' && type != 'N' && type != 'D')
    return Status::Corruption("unknown key type " +
                              std::to_string(static_cast<unsigned char>(type)) + where);
  tag->key_type_ = static_cast<KeyType>(type);
  tag->key_length_ = Get16(h + 12);
  tag->max_keys_ = Get16(h + 14);
  tag->item_length_ = Get16(h + 18);
  tag->descending_ = (flags & 0x08) != 0;
  tag->unique_ = (flags & 0x40) != 0 || h[23] != 0;
  if ((type == 'N' && tag->key_length_ != kNumericKeyLength) ||
      (type == 'D' && tag->key_length_ != kDateKeyLength) || tag->key_length_ < 1)
    return Status::Corruption("key length " + std::to_string(tag->key_length_) +
                              " does not fit key type " + type + where);
  if (tag->item_length_ < tag->key_length_ + 4 || 8 + tag->item_length_ + 4 > block_bytes_)
    return Status::Corruption("key length " + std::to_string(tag->key_length_) +
                              " is larger than a block allows" + where);
  int fit = (block_bytes_ - 8) / tag->item_length_;
  if (tag->max_keys_ < 1 || tag->max_keys_ > fit)
    return Status::Corruption("tag header gives " + std::to_string(tag->max_keys_) +
                              " keys per block" + where);
  s = ValidatePage(tag->root_page_);
  if (!s.ok()) {
    if (!IsCutOff(tag->root_page_)) return Status::Corruption(s.message() + where);
    tag->damaged_ = true;
    lost_blocks_ = true;
  }
  tag->expression_text_ = CString(h + kExpressionOffset, kExpressionMax);
  if (h[245] != 0) tag->filter_text_ = CString(h + kFilterOffset, block_bytes_ - kFilterOffset);
  tags_.push_back(std::move(tag));
  return Status::OK();
}

Status MdxFile::Bind(const ExprLayout& layout) {
  for (auto& tag : tags_) {
    std::string where = " (tag " + tag->name_ + " in " + path_ + ")";
    Status s = KeyExpression::Parse(tag->expression_text_, layout, &tag->expression_);
    if (!s.ok()) return Status::NotSupported("cannot evaluate key " + s.message() + where);
    ValueType t = tag->expression_->type();
    if (static_cast<char>(t) != static_cast<char>(tag->key_type_)) {
      return Status::Corruption(std::string("key expression gives type ") + static_cast<char>(t) +
                                ", the tag holds " + static_cast<char>(tag->key_type_) + where);
    }
    if (t == ValueType::kChar && tag->expression_->length() != tag->key_length_) {
      // Trimmed parts have no fixed length; their keys are padded to the stored one.
      if (Upper(tag->expression_text_).find("TRIM(") == std::string::npos) {
        return Status::Corruption(
            "key expression is " + std::to_string(tag->expression_->length()) +
            " characters long, the tag's keys " + std::to_string(tag->key_length_) + where);
      }
    }
    if (!tag->filter_text_.empty()) {
      s = KeyExpression::Parse(tag->filter_text_, layout, &tag->filter_);
      if (!s.ok()) return Status::NotSupported("cannot evaluate FOR " + s.message() + where);
      if (tag->filter_->type() != ValueType::kLogical)
        return Status::Corruption("FOR condition is not logical" + where);
    }
  }
  return Status::OK();
}

Tag* MdxFile::FindTag(std::string_view name) {
  std::string want = Upper(std::string(name));
  while (!want.empty() && want.back() == ' ') want.pop_back();
  for (auto& tag : tags_) {
    if (Upper(tag->name_) == want) return tag.get();
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Block cache

Status MdxFile::GetBlock(uint32_t page, CachedBlock** block) {
  if (page < by_page_.size() && by_page_[page] != nullptr) {
    by_page_[page]->referenced = true;
    *block = by_page_[page];
    return Status::OK();
  }
  Status s = ValidatePage(page);
  if (!s.ok()) {
    if (IsCutOff(page)) lost_blocks_ = true;
    return s;
  }
  std::string data(block_bytes_, '\0');
  size_t got = 0;
  s = file_->ReadAt(static_cast<uint64_t>(page) * kMdxPageSize, data.size(), data.data(), &got);
  if (!s.ok()) return s;
  if (got < data.size()) {
    lost_blocks_ = true;
    return Status::Corruption("block " + std::to_string(page) + " is cut short in " + path_);
  }
  *block = AddBlock(page, std::move(data));
  return Status::OK();
}

MdxFile::CachedBlock* MdxFile::AddBlock(uint32_t page, std::string data) {
  if (cache_capacity_ == 0) {
    cache_capacity_ = std::max<size_t>(64, (32u << 20) / static_cast<size_t>(block_bytes_));
  }
  clock_.push_back(page);
  CachedBlock& b = cache_[page];
  b.data = std::move(data);
  b.dirty = false;
  b.referenced = true;
  // Pages are checked against the file's size first, so this stays in
  // proportion to the file.
  if (page >= by_page_.size()) by_page_.resize(static_cast<size_t>(page) + 1, nullptr);
  by_page_[page] = &b;
  return &b;
}

void MdxFile::ClearCache() {
  cache_.clear();
  by_page_.clear();
  clock_.clear();
  clock_hand_ = 0;
}

// Called only between operations, so no block pointer is held across it.
Status MdxFile::EvictIfNeeded() {
  while (cache_.size() > cache_capacity_ && !clock_.empty()) {
    if (clock_hand_ >= clock_.size()) clock_hand_ = 0;
    uint32_t page = clock_[clock_hand_];
    CachedBlock& b = *by_page_[page];
    if (b.referenced) {
      b.referenced = false;
      ++clock_hand_;
      continue;
    }
    if (b.dirty) {
      Status s =
          file_->WriteAt(static_cast<uint64_t>(page) * kMdxPageSize, b.data.data(), b.data.size());
      if (!s.ok()) return s;
      file_size_ = std::max<uint64_t>(
          file_size_, (static_cast<uint64_t>(page) + pages_per_block_) * kMdxPageSize);
    }
    clock_[clock_hand_] = clock_.back();
    clock_.pop_back();
    by_page_[page] = nullptr;
    cache_.erase(page);
  }
  return Status::OK();
}

Status MdxFile::LoadNode(const Tag* tag, uint32_t page, Node* node) {
  CachedBlock* b;
  Status s = GetBlock(page, &b);
  if (!s.ok()) return s;
  const char* d = b->data.data();
  int n = static_cast<int>(Get32(d));
  int item = tag->item_length_;
  if (n < 0 || 8 + n * item > block_bytes_)
    return Status::Corruption("block " + std::to_string(page) + " claims " + std::to_string(n) +
                              " keys in " + path_);
  node->page = page;
  node->keys.clear();
  node->pointers.clear();
  for (int i = 0; i < n; ++i) {
    node->pointers.push_back(Get32(d + 8 + i * item));
    node->keys.emplace_back(d + 12 + i * item, tag->key_length_);
  }
  uint32_t right = (8 + n * item + 4 <= block_bytes_) ? Get32(d + 8 + n * item) : 0;
  node->leaf = right == 0;
  if (!node->leaf) node->pointers.push_back(right);
  return Status::OK();
}

Status MdxFile::StoreNode(const Tag* tag, const Node& node) {
  CachedBlock* b;
  Status s = GetBlock(node.page, &b);
  if (!s.ok()) return s;
  std::string& d = b->data;
  std::fill(d.begin(), d.end(), '\0');
  int n = static_cast<int>(node.keys.size());
  int item = tag->item_length_;
  Put32(d.data(), static_cast<uint32_t>(n));
  for (int i = 0; i < n; ++i) {
    Put32(d.data() + 8 + i * item, node.pointers[i]);
    std::memcpy(d.data() + 12 + i * item, node.keys[i].data(),
                std::min<size_t>(node.keys[i].size(), tag->key_length_));
  }
  if (!node.leaf) Put32(d.data() + 8 + n * item, node.pointers[n]);
  b->dirty = true;
  ++version_;
  return Status::OK();
}

Status MdxFile::AllocateBlock(Tag* tag, uint32_t* page) {
  if (free_head_ != 0 && free_count_ > 0) {
    CachedBlock* b;
    Status s = GetBlock(free_head_, &b);
    if (s.ok()) {
      *page = free_head_;
      uint32_t next = Get32(b->data.data() + 4);
      free_head_ = next;
      --free_count_;
      if (free_count_ == 0) free_head_ = 0;
      std::fill(b->data.begin(), b->data.end(), '\0');
      b->dirty = true;
      header_dirty_ = true;
      Put32(tag->header_block_.data() + 4, Get32(tag->header_block_.data() + 4) + pages_per_block_);
      tag->header_dirty_ = true;
      return Status::OK();
    }
    free_head_ = 0;  // a broken free list is abandoned, not followed
    free_count_ = 0;
  }
  *page = page_count_;
  page_count_ += pages_per_block_;
  header_dirty_ = true;
  CachedBlock* b = AddBlock(*page, std::string(block_bytes_, '\0'));
  b->dirty = true;
  Put32(tag->header_block_.data() + 4, Get32(tag->header_block_.data() + 4) + pages_per_block_);
  tag->header_dirty_ = true;
  return Status::OK();
}

Status MdxFile::FreeBlock(Tag* tag, uint32_t page) {
  CachedBlock* b;
  Status s = GetBlock(page, &b);
  if (!s.ok()) return s;
  std::fill(b->data.begin(), b->data.end(), '\0');
  Put32(b->data.data() + 4, free_head_);
  b->dirty = true;
  free_head_ = page;
  ++free_count_;
  header_dirty_ = true;
  uint32_t owned = Get32(tag->header_block_.data() + 4);
  Put32(tag->header_block_.data() + 4,
        owned >= static_cast<uint32_t>(pages_per_block_) ? owned - pages_per_block_ : 0);
  tag->header_dirty_ = true;
  return Status::OK();
}

// ---------------------------------------------------------------------------
// Search

namespace {

// Order of a stored key against a search key; a short character search key
// compares with the stored key's prefix.
int SearchCompare(const Tag* tag, std::string_view stored, std::string_view search) {
  if (tag->key_type() == KeyType::kChar) {
    size_t n = std::min(search.size(), stored.size());
    int c = std::memcmp(stored.data(), search.data(), n);
    c = c < 0 ? -1 : (c > 0 ? 1 : 0);
    return tag->descending() ? -c : c;
  }
  return tag->Compare(stored, search);
}

}  // namespace

Status MdxFile::LastRecnoBelow(const Tag* tag, uint32_t page, int depth, uint32_t* recno) {
  for (size_t level = depth; level < kMaxDepth; ++level) {
    CachedBlock* b;
    Status s = GetBlock(page, &b);
    if (!s.ok()) return s;
    RawNode raw{b->data.data(), static_cast<int>(Get32(b->data.data())), tag->item_length_,
                tag->key_length_, true};
    if (raw.n < 0 || 8 + raw.n * raw.item > block_bytes_)
      return Status::Corruption("bad key count in block " + std::to_string(page));
    uint32_t right = (8 + raw.n * raw.item + 4 <= block_bytes_) ? raw.Child(raw.n) : 0;
    if (right == 0) {
      *recno = raw.n > 0 ? raw.Pointer(raw.n - 1) : 0;
      return Status::OK();
    }
    page = right;
  }
  return Status::Corruption("cycle in the tree of tag " + tag->name() + " in " + path_);
}

Status MdxFile::DescendTo(const Tag* tag, std::string_view key, uint32_t recno, bool use_recno,
                          TagCursor* cursor) {
  cursor->tag = tag;
  cursor->path.clear();
  cursor->eof = true;
  cursor->version = version_;
  Status damaged = CheckTree(tag);
  if (!damaged.ok()) return damaged;
  uint32_t page = tag->root_page_;
  for (;;) {
    if (cursor->path.size() >= kMaxDepth)
      return Status::Corruption("cycle in the tree of tag " + tag->name() + " in " + path_);
    CachedBlock* b;
    Status s = GetBlock(page, &b);
    if (!s.ok()) return s;
    RawNode raw{b->data.data(), static_cast<int>(Get32(b->data.data())), tag->item_length_,
                tag->key_length_, true};
    if (raw.n < 0 || 8 + raw.n * raw.item > block_bytes_)
      return Status::Corruption("block " + std::to_string(page) + " claims " +
                                std::to_string(raw.n) + " keys in " + path_);
    raw.leaf = !(8 + raw.n * raw.item + 4 <= block_bytes_ && raw.Child(raw.n) != 0);
    // Ask for the whole node at once: the binary search would otherwise wait
    // for its cache lines one after another.
    for (int off = 64; off < 8 + raw.n * raw.item; off += 64) __builtin_prefetch(raw.data + off);
    // First entry at or after the search key.
    int lo = 0, hi = raw.n;
    while (lo < hi) {
      int mid = (lo + hi) / 2;
      if (SearchCompare(tag, raw.Key(mid), key) < 0)
        lo = mid + 1;
      else
        hi = mid;
    }
    if (raw.leaf) {
      if (use_recno) {
        while (lo < raw.n && SearchCompare(tag, raw.Key(lo), key) == 0 && raw.Pointer(lo) < recno)
          ++lo;
      }
      cursor->path.push_back({page, lo});
      return Status::OK();
    }
    if (use_recno && lo < raw.n && SearchCompare(tag, raw.Key(lo), key) == 0) {
      // Equal keys may span children: find the first whose last record
      // number is not below ours.
      int end = lo;
      while (end < raw.n && SearchCompare(tag, raw.Key(end), key) == 0) ++end;
      int a = lo, z = end;
      while (a < z) {
        int mid = (a + z) / 2;
        uint32_t last = 0;
        s = LastRecnoBelow(tag, raw.Child(mid), static_cast<int>(cursor->path.size()) + 1, &last);
        if (!s.ok()) return s;
        if (last < recno)
          a = mid + 1;
        else
          z = mid;
      }
      lo = a;
    }
    cursor->path.push_back({page, lo});
    page = raw.Child(lo);
  }
}

Status MdxFile::LoadCurrent(TagCursor* cursor) {
  const TagCursor::Frame& f = cursor->path.back();
  CachedBlock* b;
  Status s = GetBlock(f.page, &b);
  if (!s.ok()) return s;
  const Tag* tag = cursor->tag;
  const char* d = b->data.data() + 8 + f.index * tag->item_length_;
  cursor->recno = Get32(d);
  cursor->key.assign(d + 4, tag->key_length_);
  cursor->eof = false;
  cursor->version = version_;
  return Status::OK();
}

namespace {
struct NodeShape {
  int n;
  bool leaf;
};
}  // namespace

static Status Shape(const char* d, int item, int block_bytes, NodeShape* shape) {
  int n = static_cast<int>(Get32(d));
  if (n < 0 || 8 + n * item > block_bytes) return Status::Corruption("bad key count in a block");
  shape->n = n;
  shape->leaf = !(8 + n * item + 4 <= block_bytes && Get32(d + 8 + n * item) != 0);
  return Status::OK();
}

Status MdxFile::DescendEdge(TagCursor* cursor, bool leftmost) {
  const Tag* tag = cursor->tag;
  for (;;) {
    if (cursor->path.size() > kMaxDepth)
      return Status::Corruption("cycle in the tree of tag " + tag->name() + " in " + path_);
    TagCursor::Frame f = cursor->path.back();
    CachedBlock* b;
    Status s = GetBlock(f.page, &b);
    if (!s.ok()) return s;
    NodeShape shape;
    if (!(s = Shape(b->data.data(), tag->item_length_, block_bytes_, &shape)).ok()) return s;
    if (shape.leaf) return Status::OK();
    uint32_t child = Get32(b->data.data() + 8 + f.index * tag->item_length_);
    CachedBlock* cb;
    if (!(s = GetBlock(child, &cb)).ok()) return s;
    NodeShape cs;
    if (!(s = Shape(cb->data.data(), tag->item_length_, block_bytes_, &cs)).ok()) return s;
    int index = leftmost ? 0 : (cs.leaf ? cs.n - 1 : cs.n);
    cursor->path.push_back({child, index});
  }
}

// From a leaf position that may be past the end of its leaf, to the next
// real entry (or end of file).
Status MdxFile::SettleForward(TagCursor* cursor) {
  const Tag* tag = cursor->tag;
  for (size_t guard = 0;; ++guard) {
    if (guard > (static_cast<size_t>(page_count_) + 2))
      return Status::Corruption("cycle in the tree of tag " + tag->name());
    TagCursor::Frame& leaf = cursor->path.back();
    CachedBlock* b;
    Status s = GetBlock(leaf.page, &b);
    if (!s.ok()) return s;
    NodeShape shape;
    if (!(s = Shape(b->data.data(), tag->item_length_, block_bytes_, &shape)).ok()) return s;
    if (leaf.index < shape.n) return LoadCurrent(cursor);
    // Climb to the first ancestor with a child to the right.
    cursor->path.pop_back();
    for (;;) {
      if (cursor->path.empty()) {
        cursor->eof = true;
        cursor->version = version_;
        return Status::OK();
      }
      TagCursor::Frame& f = cursor->path.back();
      CachedBlock* pb;
      if (!(s = GetBlock(f.page, &pb)).ok()) return s;
      NodeShape ps;
      if (!(s = Shape(pb->data.data(), tag->item_length_, block_bytes_, &ps)).ok()) return s;
      if (f.index < ps.n) {
        ++f.index;
        break;
      }
      cursor->path.pop_back();
    }
    if (!(s = DescendEdge(cursor, true)).ok()) return s;
  }
}

Status MdxFile::SettleBackward(TagCursor* cursor) {
  const Tag* tag = cursor->tag;
  for (size_t guard = 0;; ++guard) {
    if (guard > (static_cast<size_t>(page_count_) + 2))
      return Status::Corruption("cycle in the tree of tag " + tag->name());
    TagCursor::Frame& leaf = cursor->path.back();
    if (leaf.index >= 0) return LoadCurrent(cursor);
    cursor->path.pop_back();
    for (;;) {
      if (cursor->path.empty()) {
        cursor->eof = true;
        cursor->version = version_;
        return Status::OK();
      }
      TagCursor::Frame& f = cursor->path.back();
      if (f.index > 0) {
        --f.index;
        break;
      }
      cursor->path.pop_back();
    }
    Status s = DescendEdge(cursor, false);
    if (!s.ok()) return s;
  }
}

Status MdxFile::First(const Tag* tag, TagCursor* cursor) {
  Status s = EvictIfNeeded();
  if (!s.ok()) return s;
  cursor->tag = tag;
  cursor->path.clear();
  cursor->eof = true;
  if (!(s = CheckTree(tag)).ok()) return s;
  cursor->path.assign(1, {tag->root_page_, 0});
  if (!(s = DescendEdge(cursor, true)).ok()) return s;
  return SettleForward(cursor);
}

Status MdxFile::Last(const Tag* tag, TagCursor* cursor) {
  Status s = EvictIfNeeded();
  if (!s.ok()) return s;
  cursor->tag = tag;
  cursor->path.clear();
  cursor->eof = true;
  if (!(s = CheckTree(tag)).ok()) return s;
  CachedBlock* b;
  if (!(s = GetBlock(tag->root_page_, &b)).ok()) return s;
  NodeShape shape;
  if (!(s = Shape(b->data.data(), tag->item_length_, block_bytes_, &shape)).ok()) return s;
  cursor->path.assign(1, {tag->root_page_, shape.leaf ? shape.n - 1 : shape.n});
  if (!(s = DescendEdge(cursor, false)).ok()) return s;
  return SettleBackward(cursor);
}

Status MdxFile::Next(TagCursor* cursor) {
  if (cursor->eof || cursor->path.empty()) return Status::OK();
  Status s = EvictIfNeeded();
  if (!s.ok()) return s;
  if (cursor->version != version_) {
    std::string key = cursor->key;
    uint32_t recno = cursor->recno;
    if (!(s = SeekEntry(cursor->tag, key, recno, cursor)).ok()) return s;
    if (cursor->eof || cursor->recno != recno || cursor->key != key) return Status::OK();
  }
  ++cursor->path.back().index;
  return SettleForward(cursor);
}

Status MdxFile::Prev(TagCursor* cursor) {
  if (cursor->eof || cursor->path.empty()) return Status::OK();
  Status s = EvictIfNeeded();
  if (!s.ok()) return s;
  if (cursor->version != version_) {
    std::string key = cursor->key;
    uint32_t recno = cursor->recno;
    if (!(s = SeekEntry(cursor->tag, key, recno, cursor)).ok()) return s;
    if (cursor->eof) return Last(cursor->tag, cursor);
  }
  --cursor->path.back().index;
  return SettleBackward(cursor);
}

Status MdxFile::Seek(const Tag* tag, std::string_view key, TagCursor* cursor, bool* found) {
  *found = false;
  Status s = EvictIfNeeded();
  if (!s.ok()) return s;
  if (!(s = DescendTo(tag, key, 0, false, cursor)).ok()) return s;
  if (!(s = SettleForward(cursor)).ok()) return s;
  *found = !cursor->eof && SearchCompare(tag, cursor->key, key) == 0;
  return Status::OK();
}

Status MdxFile::SeekEntry(const Tag* tag, std::string_view key, uint32_t recno, TagCursor* cursor) {
  Status s = EvictIfNeeded();
  if (!s.ok()) return s;
  if (!(s = DescendTo(tag, key, recno, true, cursor)).ok()) return s;
  return SettleForward(cursor);
}

Status MdxFile::ReadAll(const Tag* tag, std::vector<TagEntry>* entries) {
  entries->clear();
  TagCursor c;
  Status s = First(tag, &c);
  while (s.ok() && !c.eof) {
    entries->push_back({c.key, c.recno});
    if (entries->size() > static_cast<size_t>(page_count_) * 512)
      return Status::Corruption("tag " + tag->name() + " loops");
    ++c.path.back().index;
    s = SettleForward(&c);
  }
  return s;
}

// ---------------------------------------------------------------------------
// Key maintenance

Status MdxFile::InsertKey(Tag* tag, std::string_view key_in, uint32_t recno) {
  Status s = CheckChangeable();
  if (!s.ok()) return s;
  if (!(s = EvictIfNeeded()).ok()) return s;
  if (!s.ok()) return s;
  std::string key(key_in);
  key.resize(tag->key_length_, tag->key_type_ == KeyType::kChar ? ' ' : '\0');
  TagCursor c;
  if (!(s = DescendTo(tag, key, recno, true, &c)).ok()) return s;
  std::vector<TagCursor::Frame>& path = c.path;
  int leaf_capacity = std::min(tag->max_keys_, (block_bytes_ - 12) / tag->item_length_);
  {
    // Room in the leaf: shift the entries in place, the common case.
    CachedBlock* b;
    if (!(s = GetBlock(path.back().page, &b)).ok()) return s;
    char* d = b->data.data();
    int n = static_cast<int>(Get32(d));
    if (n < leaf_capacity) {
      int item = tag->item_length_;
      int at = std::min(path.back().index, n);
      std::memmove(d + 8 + (at + 1) * item, d + 8 + at * item, static_cast<size_t>(n - at) * item);
      std::memset(d + 8 + at * item, 0, item);
      Put32(d + 8 + at * item, recno);
      std::memcpy(d + 12 + at * item, key.data(), tag->key_length_);
      Put32(d, static_cast<uint32_t>(n + 1));
      // Bytes past the entries may hold another writer's leftovers; the
      // word after the last entry must read as "leaf".
      if (8 + (n + 1) * item + 4 <= block_bytes_) Put32(d + 8 + (n + 1) * item, 0);
      b->dirty = true;
      ++version_;
      return Status::OK();
    }
  }
  Node leaf;
  if (!(s = LoadNode(tag, path.back().page, &leaf)).ok()) return s;
  int at = std::min<int>(path.back().index, static_cast<int>(leaf.keys.size()));
  leaf.keys.insert(leaf.keys.begin() + at, key);
  leaf.pointers.insert(leaf.pointers.begin() + at, recno);

  // Split: the left half stays where it was, the right half moves out.
  size_t half = leaf.keys.size() / 2;
  Node right;
  right.leaf = true;
  right.keys.assign(leaf.keys.begin() + half, leaf.keys.end());
  right.pointers.assign(leaf.pointers.begin() + half, leaf.pointers.end());
  leaf.keys.resize(half);
  leaf.pointers.resize(half);
  if (!(s = AllocateBlock(tag, &right.page)).ok()) return s;
  if (!(s = StoreNode(tag, leaf)).ok()) return s;
  if (!(s = StoreNode(tag, right)).ok()) return s;
  std::string up = leaf.keys.back();
  uint32_t left_page = leaf.page, right_page = right.page;
  int branch_capacity = leaf_capacity - 1;

  for (int level = static_cast<int>(path.size()) - 2;; --level) {
    if (level < 0) {  // the root split: a new root above both halves
      Node root;
      root.leaf = false;
      root.keys.push_back(up);
      root.pointers = {left_page, right_page};
      if (!(s = AllocateBlock(tag, &root.page)).ok()) return s;
      if (!(s = StoreNode(tag, root)).ok()) return s;
      tag->root_page_ = root.page;
      Put32(tag->header_block_.data(), root.page);
      tag->header_dirty_ = true;
      return Status::OK();
    }
    Node branch;
    if (!(s = LoadNode(tag, path[level].page, &branch)).ok()) return s;
    int i = std::min<int>(path[level].index, static_cast<int>(branch.keys.size()));
    branch.pointers[i] = right_page;
    branch.pointers.insert(branch.pointers.begin() + i, left_page);
    branch.keys.insert(branch.keys.begin() + i, up);
    if (static_cast<int>(branch.keys.size()) <= branch_capacity) return StoreNode(tag, branch);
    size_t m = branch.keys.size(), h = m / 2;
    Node other;
    other.leaf = false;
    other.keys.assign(branch.keys.begin() + h + 1, branch.keys.end());
    other.pointers.assign(branch.pointers.begin() + h + 1, branch.pointers.end());
    up = branch.keys[h];
    branch.keys.resize(h);
    branch.pointers.resize(h + 1);
    if (!(s = AllocateBlock(tag, &other.page)).ok()) return s;
    if (!(s = StoreNode(tag, branch)).ok()) return s;
    if (!(s = StoreNode(tag, other)).ok()) return s;
    left_page = branch.page;
    right_page = other.page;
  }
}

Status MdxFile::PropagateHighKey(Tag* tag, std::vector<TagCursor::Frame>& path, size_t level,
                                 const std::string& key) {
  while (level > 0) {
    --level;
    Node parent;
    Status s = LoadNode(tag, path[level].page, &parent);
    if (!s.ok()) return s;
    int i = path[level].index;
    if (i < static_cast<int>(parent.keys.size())) {
      parent.keys[i] = key;
      return StoreNode(tag, parent);
    }
  }
  return Status::OK();
}

Status MdxFile::RemoveChild(Tag* tag, std::vector<TagCursor::Frame>& path, size_t level) {
  Node branch;
  Status s = LoadNode(tag, path[level].page, &branch);
  if (!s.ok()) return s;
  int i = path[level].index;
  int n = static_cast<int>(branch.keys.size());
  if (i < n) {
    branch.keys.erase(branch.keys.begin() + i);
    branch.pointers.erase(branch.pointers.begin() + i);
  } else {
    if (n == 0) {  // its only child went: the branch goes too
      if (level == 0) {
        Node empty;
        empty.page = branch.page;
        return StoreNode(tag, empty);
      }
      if (!(s = FreeBlock(tag, branch.page)).ok()) return s;
      return RemoveChild(tag, path, level - 1);
    }
    branch.pointers.pop_back();
    std::string high = branch.keys.back();
    branch.keys.pop_back();
    if (!(s = StoreNode(tag, branch)).ok()) return s;
    if (!(s = PropagateHighKey(tag, path, level, high)).ok()) return s;
  }
  if (!branch.keys.empty()) return StoreNode(tag, branch);
  // One child left: it takes the branch's place.
  uint32_t only = branch.pointers[0];
  if (level == 0) {
    tag->root_page_ = only;
    Put32(tag->header_block_.data(), only);
    tag->header_dirty_ = true;
  } else {
    Node parent;
    if (!(s = LoadNode(tag, path[level - 1].page, &parent)).ok()) return s;
    parent.pointers[path[level - 1].index] = only;
    if (!(s = StoreNode(tag, parent)).ok()) return s;
  }
  ++version_;
  return FreeBlock(tag, branch.page);
}

Status MdxFile::RemoveKey(Tag* tag, std::string_view key_in, uint32_t recno) {
  Status s = CheckChangeable();
  if (!s.ok()) return s;
  if (!(s = EvictIfNeeded()).ok()) return s;
  if (!s.ok()) return s;
  std::string key(key_in);
  key.resize(tag->key_length_, tag->key_type_ == KeyType::kChar ? ' ' : '\0');
  TagCursor c;
  if (!(s = SeekEntry(tag, key, recno, &c)).ok()) return s;
  if (c.eof || c.recno != recno || tag->Compare(c.key, key) != 0) {
    // Writers that do not keep equal keys in record order: look at them all.
    bool found = false;
    if (!(s = Seek(tag, key, &c, &found)).ok()) return s;
    while (found && !c.eof && c.recno != recno) {
      ++c.path.back().index;
      if (!(s = SettleForward(&c)).ok()) return s;
      found = !c.eof && tag->Compare(c.key, key) == 0;
    }
    if (!found || c.eof) return Status::NotFound("key not in tag " + tag->name());
  }
  std::vector<TagCursor::Frame> path = c.path;
  int at = path.back().index;
  {
    // Not the leaf's last entry: close the gap in place, the common case.
    CachedBlock* b;
    if (!(s = GetBlock(path.back().page, &b)).ok()) return s;
    char* d = b->data.data();
    int n = static_cast<int>(Get32(d));
    if (at < n - 1) {
      int item = tag->item_length_;
      std::memmove(d + 8 + at * item, d + 8 + (at + 1) * item,
                   static_cast<size_t>(n - at - 1) * item);
      std::memset(d + 8 + (n - 1) * item, 0, item);  // the leaf's end marker stays zero
      Put32(d, static_cast<uint32_t>(n - 1));
      b->dirty = true;
      ++version_;
      return Status::OK();
    }
  }
  Node leaf;
  if (!(s = LoadNode(tag, path.back().page, &leaf)).ok()) return s;
  bool was_last = at == static_cast<int>(leaf.keys.size()) - 1;
  leaf.keys.erase(leaf.keys.begin() + at);
  leaf.pointers.erase(leaf.pointers.begin() + at);
  if (leaf.keys.empty() && path.size() > 1) {
    if (!(s = FreeBlock(tag, leaf.page)).ok()) return s;
    ++version_;
    return RemoveChild(tag, path, path.size() - 2);
  }
  if (!(s = StoreNode(tag, leaf)).ok()) return s;
  if (was_last && !leaf.keys.empty())
    return PropagateHighKey(tag, path, path.size() - 1, leaf.keys.back());
  return Status::OK();
}

Status MdxFile::UpdateRecord(const RecordRef* old_record, const RecordRef& new_record) {
  // Refused before any tag changes, so the tags stay consistent with each other.
  Status changeable = CheckChangeable();
  if (!changeable.ok()) return changeable;
  for (auto& tag_ptr : tags_) {
    Tag* tag = tag_ptr.get();
    if (tag->expression_ == nullptr)
      return Status::InvalidArgument("index not bound to its table: " + path_);
    std::string new_key, old_key;
    bool new_in = false, old_in = false;
    Status s = tag->KeyFor(new_record, &new_key, &new_in);
    if (!s.ok()) return s;
    if (old_record != nullptr) {
      if (!(s = tag->KeyFor(*old_record, &old_key, &old_in)).ok()) return s;
    }
    if (old_in && new_in && old_key == new_key && old_record->recno == new_record.recno) continue;
    if (old_in) {
      s = RemoveKey(tag, old_key, old_record->recno);
      if (!s.ok() && !s.IsNotFound()) return s;
    }
    if (!new_in) continue;
    if (tag->unique_) {
      TagCursor c;
      bool found = false;
      if (!(s = Seek(tag, new_key, &c, &found)).ok()) return s;
      if (found && tag->Compare(c.key, new_key) == 0) continue;  // the first record keeps it
    }
    if (!(s = InsertKey(tag, new_key, new_record.recno)).ok()) return s;
  }
  return Status::OK();
}

// ---------------------------------------------------------------------------
// Writing back

Status MdxFile::WriteHeaders() {
  Put32(header_.data() + 32, page_count_);
  Put32(header_.data() + 36, free_head_);
  Put32(header_.data() + 40, free_count_);
  PutToday(header_.data() + 44);
  Status s = file_->WriteAt(0, header_.data(), header_.size());
  if (!s.ok()) return s;
  header_dirty_ = false;
  for (auto& tag : tags_) {
    if (!tag->header_dirty_) continue;
    char* h = tag->header_block_.data();
    h[246] = 1;
    s = file_->WriteAt(static_cast<uint64_t>(tag->header_page_) * kMdxPageSize, h,
                       tag->header_block_.size());
    if (!s.ok()) return s;
    tag->header_dirty_ = false;
  }
  return Status::OK();
}

Status MdxFile::Flush() {
  if (file_ == nullptr || read_only_) return Status::OK();
  std::vector<uint32_t> dirty;
  for (auto& [page, block] : cache_) {
    if (block.dirty) dirty.push_back(page);
  }
  std::sort(dirty.begin(), dirty.end());
  for (uint32_t page : dirty) {
    CachedBlock& b = cache_[page];
    Status s =
        file_->WriteAt(static_cast<uint64_t>(page) * kMdxPageSize, b.data.data(), b.data.size());
    if (!s.ok()) return s;
    b.dirty = false;
  }
  bool any_tag = std::any_of(tags_.begin(), tags_.end(), [](auto& t) { return t->header_dirty_; });
  if (!dirty.empty() || header_dirty_ || any_tag) {
    // The file holds every page the header counts.
    uint64_t want = static_cast<uint64_t>(page_count_) * kMdxPageSize;
    if (file_size_ < want) {
      Status s = file_->Truncate(want);
      if (!s.ok()) return s;
    }
    file_size_ = std::max(file_size_, want);
    Status s = WriteHeaders();
    if (!s.ok()) return s;
  }
  return Status::OK();
}

Status MdxFile::Close() {
  if (file_ == nullptr) return Status::OK();
  Status s = Flush();
  Status c = file_->Close();
  file_.reset();
  ClearCache();
  return s.ok() ? c : s;
}

}  // namespace dbup::xbase
