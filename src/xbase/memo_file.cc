#include "xbase/memo_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "xbase/dbf_header.h"

namespace dbup::xbase {

namespace {

constexpr uint32_t kDefaultBlockSize = 512;
constexpr size_t kMemoHeaderSize = 8;
// dbfread returns a dBASE IV memo's stored length cut at the first 0x1F,
// so a 0x1F right after the text is what makes it return the text exactly.
constexpr char kTextEnd4 = 0x1F;
constexpr char kTextEnd3 = 0x1A;
constexpr size_t kPendingLimit = 256 * 1024;

uint64_t BlocksFor(uint64_t bytes, uint32_t block_size) {
  return (bytes + block_size - 1) / block_size;
}

}  // namespace

MemoFile::MemoFile(std::unique_ptr<File> file, Layout layout, uint32_t block_size, uint64_t size,
                   bool read_only)
    : file_(std::move(file)),
      layout_(layout),
      block_size_(block_size),
      size_(size),
      read_only_(read_only) {}

MemoFile::~MemoFile() {
  Close();
}

Status MemoFile::Flush() {
  if (file_ == nullptr) return Status::OK();
  if (!pending_.empty()) {
    Status s = file_->WriteAt(pending_at_, pending_.data(), pending_.size());
    if (!s.ok()) return s;
    pending_.clear();
  }
  if (header_dirty_) {
    Status s = WriteNextFree(static_cast<uint32_t>(size_ / block_size_));
    if (!s.ok()) return s;
    header_dirty_ = false;
  }
  return Status::OK();
}

Status MemoFile::Close() {
  if (file_ == nullptr) return Status::OK();
  Status s = Flush();
  Status c = file_->Close();
  file_.reset();
  return s.ok() ? c : s;
}

Status MemoFile::ReadBytes(uint64_t at, size_t n, char* buf, size_t* got) {
  *got = 0;
  if (!pending_.empty() && at + n > pending_at_) {
    if (at >= pending_at_) {
      uint64_t off = at - pending_at_;
      if (off < pending_.size()) {
        *got = static_cast<size_t>(std::min<uint64_t>(n, pending_.size() - off));
        std::memcpy(buf, pending_.data() + off, *got);
      }
      return Status::OK();
    }
    Status s = Flush();  // a read across the boundary: rare, keep it simple
    if (!s.ok()) return s;
  }
  return file_->ReadAt(at, n, buf, got);
}

Status MemoFile::Create(const std::string& path, Layout layout, std::string_view base_name,
                        std::unique_ptr<MemoFile>* memo) {
  std::unique_ptr<File> file;
  Status s = Env::Current()->OpenFile(path, OpenMode::kCreate, &file);
  if (!s.ok()) return s;
  std::string header(kDefaultBlockSize, '\0');
  PutU32(header.data(), 1);
  if (layout == Layout::kDbase4) {
    std::string name(base_name.substr(0, 8));
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::memcpy(header.data() + 8, name.data(), name.size());
    PutU16(header.data() + 20, static_cast<uint16_t>(kDefaultBlockSize));
  } else {
    header[16] = 0x03;
  }
  s = file->WriteAt(0, header.data(), header.size());
  if (!s.ok()) return s;
  memo->reset(new MemoFile(std::move(file), layout, kDefaultBlockSize, header.size(), false));
  return Status::OK();
}

Status MemoFile::Open(const std::string& path, Layout layout, bool read_only,
                      std::unique_ptr<MemoFile>* memo) {
  std::unique_ptr<File> file;
  Status s =
      Env::Current()->OpenFile(path, read_only ? OpenMode::kReadOnly : OpenMode::kReadWrite, &file);
  if (!s.ok()) return s;
  uint64_t size = 0;
  s = file->Size(&size);
  if (!s.ok()) return s;
  char header[22] = {};
  size_t got = 0;
  s = file->ReadAt(0, sizeof(header), header, &got);
  if (!s.ok()) return s;
  if (got < sizeof(header))
    return Status::Corruption(path + ": memo file is shorter than its header");
  uint32_t block_size = kDefaultBlockSize;
  if (layout == Layout::kDbase4) {
    uint16_t stored = GetU16(header + 20);
    if (stored != 0) block_size = stored;
    // Below 16 bytes a block cannot hold a memo header and a terminator.
    if (block_size < 16) {
      return Status::Corruption(path + ": memo block size " + std::to_string(block_size) +
                                " is not valid");
    }
  }
  memo->reset(new MemoFile(std::move(file), layout, block_size, size, read_only));
  return Status::OK();
}

Status MemoFile::Read(uint32_t block, std::string* text) {
  text->clear();
  if (file_ == nullptr) return Status::IOError("memo file is closed");
  if (block == 0) return Status::OK();
  if (static_cast<uint64_t>(block) * block_size_ >= size_) {
    return Status::Corruption("memo block " + std::to_string(block) +
                              " lies past the end of the memo file");
  }
  return layout_ == Layout::kDbase4 ? ReadDbase4(block, text) : ReadDbase3(block, text);
}

Status MemoFile::ReadDbase4(uint32_t block, std::string* text) {
  uint64_t at = static_cast<uint64_t>(block) * block_size_;
  char head[kMemoHeaderSize];
  size_t got = 0;
  Status s = ReadBytes(at, sizeof(head), head, &got);
  if (!s.ok()) return s;
  if (got < sizeof(head))
    return Status::Corruption("memo block " + std::to_string(block) + " is cut short");
  if (static_cast<uint8_t>(head[0]) != 0xFF || static_cast<uint8_t>(head[1]) != 0xFF) {
    return Status::Corruption("memo block " + std::to_string(block) + " does not start a memo");
  }
  uint32_t length = GetU32(head + 4);
  if (length < kMemoHeaderSize || at + length > size_) {
    return Status::Corruption("memo at block " + std::to_string(block) + " claims " +
                              std::to_string(length) + " bytes, more than the memo file holds");
  }
  text->resize(length - kMemoHeaderSize);
  s = ReadBytes(at + kMemoHeaderSize, text->size(), text->data(), &got);
  if (!s.ok()) return s;
  if (got != text->size()) return Status::Corruption("memo file is cut short");
  return Status::OK();
}

Status MemoFile::ReadDbase3(uint32_t block, std::string* text) {
  uint64_t at = static_cast<uint64_t>(block) * block_size_;
  char buf[4096];
  while (at < size_) {
    size_t got = 0;
    Status s = ReadBytes(at, sizeof(buf), buf, &got);
    if (!s.ok()) return s;
    if (got == 0) break;
    const char* end = static_cast<const char*>(std::memchr(buf, kTextEnd3, got));
    if (end != nullptr) {
      text->append(buf, static_cast<size_t>(end - buf));
      return Status::OK();
    }
    text->append(buf, got);
    at += got;
  }
  return Status::OK();  // a memo that runs to the end of the file ends there
}

uint32_t MemoFile::Dbase4Blocks(uint32_t block) {
  uint64_t at = static_cast<uint64_t>(block) * block_size_;
  if (block == 0 || at >= size_) return 0;
  char head[kMemoHeaderSize];
  size_t got = 0;
  if (!ReadBytes(at, sizeof(head), head, &got).ok() || got < sizeof(head)) return 0;
  if (static_cast<uint8_t>(head[0]) != 0xFF || static_cast<uint8_t>(head[1]) != 0xFF) return 0;
  uint32_t length = GetU32(head + 4);
  if (length < kMemoHeaderSize || at + length > size_) return 0;
  // Only the blocks the memo surely owns: other writers need not reserve
  // room for our terminator byte.
  return static_cast<uint32_t>(BlocksFor(length, block_size_));
}

Status MemoFile::WriteNextFree(uint32_t next) {
  char buf[4];
  PutU32(buf, next);
  return file_->WriteAt(0, buf, sizeof(buf));
}

Status MemoFile::Write(uint32_t old_block, std::string_view text, uint32_t* block) {
  *block = 0;
  if (file_ == nullptr) return Status::IOError("memo file is closed");
  if (read_only_) return Status::IOError("memo file is open read-only");
  if (text.empty()) return Status::OK();

  std::string data;
  if (layout_ == Layout::kDbase4) {
    data.resize(kMemoHeaderSize);
    data[0] = static_cast<char>(0xFF);
    data[1] = static_cast<char>(0xFF);
    data[2] = 0x08;
    data[3] = 0x00;
    PutU32(data.data() + 4, static_cast<uint32_t>(kMemoHeaderSize + text.size()));
    data.append(text);
    data.push_back(kTextEnd4);
  } else {
    data.assign(text);
    data.push_back(kTextEnd3);
    data.push_back(kTextEnd3);
  }
  if (data.size() > 0xFFFFFFF0u) return Status::InvalidArgument("memo text is too long");
  uint64_t needed = BlocksFor(data.size(), block_size_);
  data.resize(needed * block_size_, '\0');

  uint32_t target = 0;
  if (layout_ == Layout::kDbase4 && old_block != 0 && needed <= Dbase4Blocks(old_block)) {
    target = old_block;
  } else {
    // New memos go after everything in the file; the header's next-free
    // value is not trusted (other writers keep free chains in it).
    uint64_t end_block = BlocksFor(size_, block_size_);
    if (end_block == 0) end_block = 1;
    if (end_block + needed > 0xFFFFFFFFu) return Status::IOError("memo file is full");
    target = static_cast<uint32_t>(end_block);
  }
  uint64_t at = static_cast<uint64_t>(target) * block_size_;
  if (pending_.empty() && at >= size_) pending_at_ = at;
  if (!pending_.empty() || at >= size_) {
    // Appended memos, and rewrites of memos still in the buffer, stay in it.
    if (at >= pending_at_) {
      uint64_t off = at - pending_at_;
      if (off + data.size() > pending_.size()) pending_.resize(off + data.size(), '\0');
      std::memcpy(pending_.data() + off, data.data(), data.size());
    } else {
      Status s = file_->WriteAt(at, data.data(), data.size());
      if (!s.ok()) return s;
    }
  } else {
    Status s = file_->WriteAt(at, data.data(), data.size());
    if (!s.ok()) return s;
  }
  if (at + data.size() > size_) {
    size_ = at + data.size();
    header_dirty_ = true;
  }
  if (pending_.size() >= kPendingLimit) {
    Status s = Flush();
    if (!s.ok()) return s;
  }
  *block = target;
  return Status::OK();
}

}  // namespace dbup::xbase
