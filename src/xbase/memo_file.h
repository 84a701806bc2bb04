// MemoFile: the .dbt file that holds a table's memo texts.
//
// dBASE IV layout (tables 0x8B): a header block giving the next free block
// and the block size; each memo starts on a block boundary with FF FF 08 00
// and a length that counts those 8 header bytes. dBASE III layout (0x83):
// 512-byte blocks, the text ended by 0x1A 0x1A, no length.
//
// Every read is bounds-checked against the file, so a damaged .dbt gives a
// Corruption status, never a wild read. Block 0 is the header; a memo number
// of 0 means "no memo".
//
// New memos are collected in a write-behind buffer and written in large
// pieces (and the header's next-free block with them) on Flush, on Close or
// when the buffer is full, so copying many memos costs few system calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/env.h"
#include "platform/status.h"

namespace dbup::xbase {

class MemoFile {
 public:
  enum class Layout { kDbase4, kDbase3 };

  // Creates an empty memo file (header block only); base_name goes into
  // the dBASE IV header.
  static Status Create(const std::string& path, Layout layout, std::string_view base_name,
                       std::unique_ptr<MemoFile>* memo);
  static Status Open(const std::string& path, Layout layout, bool read_only,
                     std::unique_ptr<MemoFile>* memo);

  ~MemoFile();
  MemoFile(const MemoFile&) = delete;
  MemoFile& operator=(const MemoFile&) = delete;

  // The text of the memo starting at block (> 0).
  Status Read(uint32_t block, std::string* text);
  // Stores text and sets *block to where it now starts. old_block (0 for
  // none) is the memo the field held: its blocks are reused when the new
  // text fits in them, otherwise the text goes to new blocks at the end.
  // Empty text stores nothing and gives block 0.
  Status Write(uint32_t old_block, std::string_view text, uint32_t* block);

  // Writes buffered memos and the header.
  Status Flush();
  Status Close();
  uint32_t block_size() const { return block_size_; }
  Layout layout() const { return layout_; }

 private:
  MemoFile(std::unique_ptr<File> file, Layout layout, uint32_t block_size, uint64_t size,
           bool read_only);

  Status ReadDbase4(uint32_t block, std::string* text);
  Status ReadDbase3(uint32_t block, std::string* text);
  // Blocks taken by the dBASE IV memo at block, 0 when it is not a sound memo.
  uint32_t Dbase4Blocks(uint32_t block);
  Status WriteNextFree(uint32_t next);
  // Reads through the write-behind buffer.
  Status ReadBytes(uint64_t at, size_t n, char* buf, size_t* got);

  std::unique_ptr<File> file_;
  Layout layout_;
  uint32_t block_size_;
  uint64_t size_;  // file length in bytes, buffered memos included
  bool read_only_;
  std::string pending_;  // buffered bytes that belong at pending_at_
  uint64_t pending_at_ = 0;
  bool header_dirty_ = false;
};

}  // namespace dbup::xbase
