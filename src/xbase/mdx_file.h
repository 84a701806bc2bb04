// MdxFile: a dBASE IV production multiple-index file (.mdx) and the B-trees
// of its tags.
//
// Open reads the header, the tag table and the tag headers and checks them
// against the file before anything is trusted; every node read later is
// checked again (block inside the file, key count inside the block, tree no
// deeper than any real one), so a damaged file gives a Corruption status,
// never a crash or a loop. Blocks are cached; changes stay in the cache
// until Flush (or eviction) writes them, so they are visible to the next
// seek at once. Files of later dBASE levels are refused. A tag whose root
// lies past the end of a truncated file opens marked damaged: its header
// still holds what Rebuild needs, while every use of its tree, and any key
// change in the file, fails until Rebuild.
//
// Key maintenance (InsertKey/RemoveKey) keeps every branch key equal to the
// highest key below it and frees emptied nodes to the file's free list,
// which allocation reuses. Rebuild writes every tag afresh from sorted keys,
// bottom-up, within a memory budget.
//
// Not thread-safe; one MdxFile per open index.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/env.h"
#include "platform/status.h"
#include "xbase/index_key.h"
#include "xbase/key_expr.h"

namespace dbup::xbase {

inline constexpr int kMdxPageSize = 512;
inline constexpr int kMdxHeaderPages = 4;
inline constexpr int kMaxTags = 46;

// What a new tag is made of.
struct TagSpec {
  std::string name;
  std::string expression;
  std::string filter;  // FOR condition; empty for none
  bool unique = false;
  bool descending = false;
};

class MdxFile;

class Tag {
 public:
  const std::string& name() const { return name_; }
  KeyType key_type() const { return key_type_; }
  int key_length() const { return key_length_; }
  bool unique() const { return unique_; }
  bool descending() const { return descending_; }
  const std::string& expression_text() const { return expression_text_; }
  const std::string& filter_text() const { return filter_text_; }
  // The tree lies (partly) past the end of a truncated file: only a
  // rebuild, which needs just the header, makes the tag usable again.
  bool damaged() const { return damaged_; }
  // Null until the index is bound to its table's layout.
  const KeyExpression* expression() const { return expression_.get(); }
  const KeyExpression* filter() const { return filter_.get(); }

  // The key of a record and whether the FOR condition admits it.
  Status KeyFor(const RecordRef& record, std::string* key, bool* included) const;
  // Order of two keys in this tag (descending tags reversed).
  int Compare(std::string_view a, std::string_view b) const {
    int c = CompareKeys(key_type_, a, b);
    return descending_ ? -c : c;
  }

 private:
  friend class MdxFile;
  friend class TreeBuilder;
  std::string name_;
  KeyType key_type_ = KeyType::kChar;
  int key_length_ = 0;
  int item_length_ = 0;
  int max_keys_ = 0;  // leaf capacity
  bool unique_ = false;
  bool descending_ = false;
  uint32_t header_page_ = 0;
  uint32_t root_page_ = 0;
  std::string expression_text_;
  std::string filter_text_;
  std::string header_block_;  // the tag header as read, rewritten on flush
  bool header_dirty_ = false;
  bool damaged_ = false;
  std::unique_ptr<KeyExpression> expression_;
  std::unique_ptr<KeyExpression> filter_;
};

// A position in a tag's order. Valid while the file's version() is the one
// it was made at; after a change, re-seek with SeekEntry.
struct TagCursor {
  struct Frame {
    uint32_t page;
    int index;
  };
  const Tag* tag = nullptr;
  std::vector<Frame> path;
  bool eof = true;
  uint64_t version = 0;
  std::string key;
  uint32_t recno = 0;
};

// One entry of a tag in order, for checks and tools.
struct TagEntry {
  std::string key;
  uint32_t recno = 0;
};

class MdxFile {
 public:
  ~MdxFile();
  MdxFile(const MdxFile&) = delete;
  MdxFile& operator=(const MdxFile&) = delete;

  // Opens an existing file read-write (read-only when `read_only`).
  static Status Open(const std::string& path, bool read_only, std::unique_ptr<MdxFile>* result);
  // Creates a file with the given tags, all empty, for a table with this
  // layout; `table_name` goes into the header.
  static Status Create(const std::string& path, const std::string& table_name,
                       const ExprLayout& layout, const std::vector<TagSpec>& tags,
                       uint8_t language_id, std::unique_ptr<MdxFile>* result);

  // Parses every tag's expressions against the table's fields. Fails when
  // an expression cannot be evaluated or does not give the stored key type
  // and length, so such a file is refused rather than indexed wrongly.
  Status Bind(const ExprLayout& layout);

  const std::string& path() const { return path_; }
  int block_size() const { return block_bytes_; }
  uint32_t page_count() const { return page_count_; }
  // The page count the header gave when the file was opened.
  uint32_t stored_page_count() const { return stored_page_count_; }
  uint64_t version() const { return version_; }
  int tag_count() const { return static_cast<int>(tags_.size()); }
  Tag* tag(int i) { return tags_[i].get(); }
  // Case-insensitive; null when absent.
  Tag* FindTag(std::string_view name);

  // Key maintenance for one record in every tag: old_record is null for an
  // append. Keys that did not change are left alone.
  Status UpdateRecord(const RecordRef* old_record, const RecordRef& new_record);
  Status InsertKey(Tag* tag, std::string_view key, uint32_t recno);
  // NotFound when the entry is absent.
  Status RemoveKey(Tag* tag, std::string_view key, uint32_t recno);

  // Navigation. Each sets cursor->eof when there is no entry.
  Status First(const Tag* tag, TagCursor* cursor);
  Status Last(const Tag* tag, TagCursor* cursor);
  Status Next(TagCursor* cursor);
  Status Prev(TagCursor* cursor);
  // First entry whose key is at or after `key`; for character tags a
  // shorter key compares as a prefix. *found: that entry matches the key.
  Status Seek(const Tag* tag, std::string_view key, TagCursor* cursor, bool* found);
  // The entry (key, recno), or the one after where it would be.
  Status SeekEntry(const Tag* tag, std::string_view key, uint32_t recno, TagCursor* cursor);

  // Every entry of a tag in stored order (for check and tools).
  Status ReadAll(const Tag* tag, std::vector<TagEntry>* entries);

  // Rebuilds every tag from the records that `for_each` yields (each record
  // once, in record-number order). Sorting keeps to `memory_budget` bytes
  // and spills sorted runs to temporary files beside the index.
  using RecordVisitor = std::function<Status(const RecordRef&)>;
  using RecordScan = std::function<Status(const RecordVisitor&)>;
  Status Rebuild(const RecordScan& for_each, size_t memory_budget = 16u << 20);

  // How many blocks stay in memory (default: 32 MiB worth). Changed blocks
  // pushed out are written at once.
  void set_cache_blocks(size_t blocks) { cache_capacity_ = std::max<size_t>(blocks, 1); }

  // Writes every changed block and the headers.
  Status Flush();
  Status Close();

 private:
  friend class TreeBuilder;
  struct CachedBlock {
    std::string data;
    bool dirty = false;
    bool referenced = true;  // since the clock hand last passed
  };
  struct Node;

  MdxFile() = default;
  Status ReadHeader();
  Status ReadTag(int index);
  Status ValidatePage(uint32_t page) const;
  // A block the header counts that the file no longer holds.
  bool IsCutOff(uint32_t page) const;
  Status CheckTree(const Tag* tag) const;
  Status CheckChangeable() const;
  Status GetBlock(uint32_t page, CachedBlock** block);
  Status LoadNode(const Tag* tag, uint32_t page, Node* node);
  Status StoreNode(const Tag* tag, const Node& node);
  Status AllocateBlock(Tag* tag, uint32_t* page);
  Status FreeBlock(Tag* tag, uint32_t page);
  Status EvictIfNeeded();
  CachedBlock* AddBlock(uint32_t page, std::string data);
  void ClearCache();
  Status WriteHeaders();

  Status DescendTo(const Tag* tag, std::string_view key, uint32_t recno, bool use_recno,
                   TagCursor* cursor);
  Status LastRecnoBelow(const Tag* tag, uint32_t page, int depth, uint32_t* recno);
  Status SettleForward(TagCursor* cursor);
  Status SettleBackward(TagCursor* cursor);
  Status DescendEdge(TagCursor* cursor, bool leftmost);
  Status LoadCurrent(TagCursor* cursor);
  Status PropagateHighKey(Tag* tag, std::vector<TagCursor::Frame>& path, size_t level,
                          const std::string& key);
  Status RemoveChild(Tag* tag, std::vector<TagCursor::Frame>& path, size_t level);

  std::string path_;
  bool read_only_ = false;
  std::unique_ptr<File> file_;
  uint64_t file_size_ = 0;
  std::string header_;  // the 2048-byte header area
  bool header_dirty_ = false;
  int pages_per_block_ = 2;
  int block_bytes_ = 1024;
  uint32_t page_count_ = 0;
  uint32_t stored_page_count_ = 0;
  uint32_t free_head_ = 0;
  uint32_t free_count_ = 0;
  // Blocks the header counts were found cut off: new blocks could land
  // where a tree still points, so no key changes until Rebuild.
  bool lost_blocks_ = false;
  uint64_t version_ = 1;
  std::vector<std::unique_ptr<Tag>> tags_;

  // Blocks in memory, evicted by the clock algorithm: cheaper per hit than
  // a list kept in recency order, which random seeks would reorder always.
  std::unordered_map<uint32_t, CachedBlock> cache_;
  std::vector<CachedBlock*> by_page_;  // the same blocks, looked up without hashing
  std::vector<uint32_t> clock_;
  size_t clock_hand_ = 0;
  size_t cache_capacity_ = 0;  // blocks; set from the block size at open
};

}  // namespace dbup::xbase
