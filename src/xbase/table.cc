#include "xbase/table.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "platform/path.h"
#include "xbase/field_codec.h"

namespace dbup::xbase {

namespace {

// Big enough that sequential work costs few system calls, small enough to
// hold many tables open at once.
constexpr size_t kCacheBytes = 512 * 1024;
// dBASE IV limits; larger tables cannot be read by every dBASE program.
constexpr size_t kMaxFields = 255;
constexpr size_t kMaxRecordLength = 4000;

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

Status CheckFieldSpec(FieldSpec* f) {
  if (f->name.empty() || f->name.size() > 10) {
    return Status::InvalidArgument("field name \"" + f->name + "\" must have 1 to 10 characters");
  }
  for (char& c : f->name) c = Upper(c);
  bool first_ok = f->name[0] >= 'A' && f->name[0] <= 'Z';
  for (char c : f->name) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) first_ok = false;
  }
  if (!first_ok) {
    return Status::InvalidArgument(
        "field name \"" + f->name +
        "\" must start with a letter and hold only letters, digits and _");
  }
  f->type = Upper(f->type);
  auto bad = [&](const std::string& why) {
    return Status::InvalidArgument("field " + f->name + ": " + why);
  };
  switch (f->type) {
    case 'C':
      if (f->length < 1 || f->length > 254) return bad("character width must be 1 to 254");
      if (f->decimals != 0) return bad("a character field has no decimals");
      break;
    case 'N':
    case 'F':
      if (f->length < 1 || f->length > 20) return bad("numeric width must be 1 to 20");
      if (f->decimals < 0 || (f->decimals > 0 && f->decimals > f->length - 2)) {
        return bad("decimals must leave room for the point and a digit");
      }
      break;
    case 'D':
    case 'L':
    case 'M': {
      int fixed = f->type == 'D' ? 8 : f->type == 'L' ? 1 : 10;
      if (f->length == 0) f->length = fixed;
      if (f->length != fixed)
        return bad(std::string("width of a ") + f->type + " field must be " +
                   std::to_string(fixed));
      if (f->decimals != 0) return bad("this type has no decimals");
      break;
    }
    default:
      return bad(std::string("type '") + f->type + "' cannot be created (use C, N, F, D, L or M)");
  }
  return Status::OK();
}

}  // namespace

Table::Table(std::string path, std::unique_ptr<File> file, DbfHeader header, bool read_only)
    : path_(std::move(path)),
      file_(std::move(file)),
      header_(std::move(header)),
      read_only_(read_only) {
  cache_ = std::make_unique<RecordCache>(file_.get(), header_.header_length, header_.record_length,
                                         kCacheBytes);
  cache_->set_records_on_disk(header_.record_count);
  blank_.assign(header_.record_length, ' ');
  for (const FieldDescriptor& f : header_.fields) StoreBlank(f, blank_.data() + f.offset);
  record_ = blank_;
  scratch_ = blank_;
}

Table::~Table() {
  Close();
}

std::string Table::MemoPath() const {
  return ReplaceExtension(path_, ".dbt");
}

Status Table::Create(const std::string& path, const std::vector<FieldSpec>& specs,
                     const CreateOptions& options, std::unique_ptr<Table>* table) {
  if (specs.empty()) return Status::InvalidArgument("a table needs at least one field");
  if (specs.size() > kMaxFields) return Status::InvalidArgument("a table has at most 255 fields");
  DbfHeader h;
  size_t record_length = 1;
  bool memo = false;
  for (FieldSpec spec : specs) {
    Status s = CheckFieldSpec(&spec);
    if (!s.ok()) return s;
    for (const FieldDescriptor& other : h.fields) {
      if (other.name == spec.name)
        return Status::InvalidArgument("field " + spec.name + " appears twice");
    }
    FieldDescriptor f;
    f.name = spec.name;
    f.type = spec.type;
    f.length = static_cast<uint8_t>(spec.length);
    f.decimals = static_cast<uint8_t>(spec.decimals);
    f.offset = static_cast<uint32_t>(record_length);
    record_length += f.length;
    memo = memo || f.type == 'M';
    h.fields.push_back(std::move(f));
  }
  if (record_length > kMaxRecordLength) {
    return Status::InvalidArgument("record length " + std::to_string(record_length) +
                                   " exceeds the dBASE limit of 4000");
  }
  h.version = memo ? kVersionDbase4Memo : kVersionNoMemo;
  StampToday(&h);
  h.header_length = static_cast<uint16_t>(kFileHeaderSize + kDescriptorSize * h.fields.size() + 1);
  h.record_length = static_cast<uint16_t>(record_length);
  h.language_driver = options.language_driver;
  h.production_index = options.production_index;

  std::unique_ptr<File> file;
  Status s = Env::Current()->OpenFile(path, OpenMode::kCreate, &file);
  if (!s.ok()) return s;
  std::string bytes = SerializeDbfHeader(h);
  bytes.push_back(kEndOfFile);
  s = file->WriteAt(0, bytes.data(), bytes.size());
  if (!s.ok()) return s;
  std::unique_ptr<Table> t(new Table(path, std::move(file), std::move(h), false));
  if (memo) {
    s = t->OpenMemo(true);
    if (!s.ok()) return s;
  }
  *table = std::move(t);
  return Status::OK();
}

Status Table::Open(const std::string& path, const OpenOptions& options,
                   std::unique_ptr<Table>* table) {
  std::unique_ptr<File> file;
  Status s = Env::Current()->OpenFile(
      path, options.read_only ? OpenMode::kReadOnly : OpenMode::kReadWrite, &file);
  if (!s.ok()) return s;
  uint64_t size = 0;
  s = file->Size(&size);
  if (!s.ok()) return s;
  char head[kFileHeaderSize];
  size_t got = 0;
  s = file->ReadAt(0, sizeof(head), head, &got);
  if (!s.ok()) return s;
  std::string bytes(head, got);
  if (got == kFileHeaderSize) {
    size_t header_length = std::min<uint64_t>(GetU16(head + 8), size);
    bytes.resize(std::max(header_length, kFileHeaderSize));
    s = file->ReadAt(0, bytes.size(), bytes.data(), &got);
    if (!s.ok()) return s;
    bytes.resize(got);
  }
  DbfHeader h;
  s = ParseDbfHeader(bytes, size, &h);
  if (!s.ok())
    return Status(s.IsNotSupported() ? Status::NotSupported(path + ": " + s.message())
                                     : Status::Corruption(path + ": " + s.message()));
  std::unique_ptr<Table> t(new Table(path, std::move(file), std::move(h), options.read_only));
  s = t->OpenMemo(false);
  if (!s.ok()) return s;
  *table = std::move(t);
  return Status::OK();
}

Status Table::OpenMemo(bool create) {
  MemoFile::Layout layout =
      header_.dbase3_memo() ? MemoFile::Layout::kDbase3 : MemoFile::Layout::kDbase4;
  std::string memo_path = MemoPath();
  if (create) {
    std::string base(BaseName(path_));
    size_t dot = base.find('.');
    if (dot != std::string::npos) base.resize(dot);
    return MemoFile::Create(memo_path, layout, base, &memo_);
  }
  bool has_memo_field = false;
  for (const FieldDescriptor& f : header_.fields) has_memo_field = has_memo_field || f.type == 'M';
  if (!has_memo_field) return Status::OK();
  if (!Env::Current()->FileExists(memo_path)) {
    // Without the memo flag the fields can only be blank; reading a memo
    // then reports the missing file.
    if (!header_.has_memo_file()) return Status::OK();
    return Status::NotFound(memo_path + ": the table's memo file is missing");
  }
  Status s = MemoFile::Open(memo_path, layout, read_only_, &memo_);
  if (!s.ok()) return Status::Corruption(memo_path + ": " + s.message());
  return Status::OK();
}

Status Table::CheckWritable() const {
  if (file_ == nullptr) return Status::IOError(path_ + ": table is closed");
  if (read_only_) return Status::IOError(path_ + ": table is open read-only");
  return Status::OK();
}

Status Table::Close() {
  if (file_ == nullptr) return Status::OK();
  Status s = read_only_ ? Status::OK() : Flush();
  if (memo_ != nullptr) {
    Status m = memo_->Close();
    if (s.ok()) s = m;
    memo_.reset();
  }
  Status c = file_->Close();
  if (s.ok()) s = c;
  file_.reset();
  return s;
}

Status Table::Flush() {
  if (file_ == nullptr || read_only_) return Status::OK();
  Status s = StoreChanged();
  if (!s.ok()) return s;
  // Memos first: a record on disk never points at a memo that is not.
  if (memo_ != nullptr) s = memo_->Flush();
  if (!s.ok()) return s;
  s = cache_->Flush();
  if (!s.ok()) return s;
  if (header_dirty_) s = WriteHeaderCounts();
  return s;
}

Status Table::WriteHeaderCounts() {
  // The end-of-file byte first, then the count: a reader never sees a count
  // that runs past the records on disk.
  char eof = kEndOfFile;
  Status s = file_->WriteAt(header_.data_end(), &eof, 1);
  if (!s.ok()) return s;
  StampToday(&header_);
  std::string head = SerializeFileHeader(header_);
  s = file_->WriteAt(1, head.data() + 1, 7);  // date and record count only
  if (!s.ok()) return s;
  header_dirty_ = false;
  return Status::OK();
}

Status Table::SetProductionIndexFlag(uint8_t flag) {
  Status s = CheckWritable();
  if (!s.ok()) return s;
  char b = static_cast<char>(flag);
  s = file_->WriteAt(28, &b, 1);
  if (s.ok()) header_.production_index = flag;
  return s;
}

int Table::FindField(std::string_view name) const {
  for (size_t i = 0; i < header_.fields.size(); ++i) {
    if (EqualsIgnoreCase(header_.fields[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

Status Table::StoreChanged() {
  if (!changed_ || recno_ < 1 || recno_ > header_.record_count) {
    changed_ = false;
    return Status::OK();
  }
  return WriteCurrent();
}

Status Table::Go(uint32_t recno) {
  Status s = StoreChanged();
  if (!s.ok()) return s;
  if (recno < 1 || recno > header_.record_count) {
    return Status::NotFound("record " + std::to_string(recno) + " does not exist");
  }
  s = cache_->Read(recno, record_.data());
  if (!s.ok()) return s;
  recno_ = recno;
  return Status::OK();
}

Status Table::GoEof() {
  Status s = StoreChanged();
  if (!s.ok()) return s;
  recno_ = header_.record_count + 1;
  record_ = blank_;
  return Status::OK();
}

Status Table::AppendBlank() {
  Status s = CheckWritable();
  if (!s.ok()) return s;
  s = StoreChanged();
  if (!s.ok()) return s;
  if (header_.record_count == 0xFFFFFFFFu) return Status::IOError(path_ + ": table is full");
  std::memcpy(record_.data(), blank_.data(), blank_.size());
  uint32_t recno = header_.record_count + 1;
  s = cache_->Write(recno, record_.data());
  if (!s.ok()) return s;
  header_.record_count = recno;
  header_dirty_ = true;
  recno_ = recno;
  for (RecordObserver* o : observers_) {
    s = o->OnAppend(recno, record_.data());
    if (!s.ok()) return s;
  }
  return Status::OK();
}

Status Table::WriteCurrent() {
  Status s = CheckWritable();
  if (!s.ok()) return s;
  if (recno_ < 1 || recno_ > header_.record_count) {
    return Status::InvalidArgument(path_ + ": there is no current record to write");
  }
  if (!observers_.empty()) {
    s = cache_->Read(recno_, scratch_.data());
    if (!s.ok()) return s;
  }
  s = cache_->Write(recno_, record_.data());
  if (!s.ok()) return s;
  changed_ = false;
  header_dirty_ = true;
  for (RecordObserver* o : observers_) {
    s = o->OnUpdate(recno_, scratch_.data(), record_.data());
    if (!s.ok()) return s;
  }
  return Status::OK();
}

Status Table::ReadRecord(uint32_t recno, char* buf) {
  if (file_ == nullptr) return Status::IOError(path_ + ": table is closed");
  if (recno < 1 || recno > header_.record_count) {
    return Status::NotFound("record " + std::to_string(recno) + " does not exist");
  }
  return cache_->Read(recno, buf);
}

void Table::SetDeleted(bool deleted) {
  record_[0] = deleted ? kDeletedFlag : kActiveFlag;
  changed_ = true;
}

Status Table::GetMemo(int i, std::string* text) {
  text->clear();
  const FieldDescriptor& f = field(i);
  if (f.type != 'M') {
    text->assign(FieldBytes(i));
    return Status::OK();
  }
  uint32_t block = 0;
  Status s = ParseMemoBlock(FieldBytes(i), &block);
  if (!s.ok()) return s;
  if (block == 0) return Status::OK();
  if (memo_ == nullptr) return Status::NotFound(MemoPath() + ": the table's memo file is missing");
  s = memo_->Read(block, text);
  if (!s.ok()) return Status::Corruption(MemoPath() + ": " + s.message());
  return s;
}

bool Table::GetDouble(int i, double* value) const {
  return TextToDouble(FieldBytes(i), value);
}

int64_t Table::GetInt(int i) const {
  return TextToInt(FieldBytes(i));
}

Status Table::SetText(int i, std::string_view text) {
  const FieldDescriptor& f = field(i);
  char* out = record_.data() + f.offset;
  changed_ = true;
  if (f.type != 'M') return StoreText(f, text, out);
  uint32_t old_block = 0;
  if (!ParseMemoBlock(FieldBytes(i), &old_block).ok()) old_block = 0;
  if (memo_ == nullptr) {
    if (text.empty()) {
      StoreBlank(f, out);
      return Status::OK();
    }
    return Status::NotFound(MemoPath() + ": the table's memo file is missing");
  }
  uint32_t block = 0;
  Status s = memo_->Write(old_block, text, &block);
  if (!s.ok()) return s;
  StoreMemoBlock(block, f.length, out);
  return Status::OK();
}

Status Table::SetDouble(int i, double value) {
  const FieldDescriptor& f = field(i);
  if (f.type == 'N' || f.type == 'F') {
    FormatDouble(value, f.length, f.decimals, record_.data() + f.offset);
    changed_ = true;
    return Status::OK();
  }
  char buf[400];
  auto [end, ec] = std::to_chars(buf, buf + sizeof(buf), value);
  if (ec != std::errc()) return Status::InvalidArgument("number cannot be written as text");
  return SetText(i, std::string_view(buf, static_cast<size_t>(end - buf)));
}

Status Table::SetInt(int i, int64_t value) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof(buf), value);
  (void)ec;  // 24 characters hold every int64_t
  return SetText(i, std::string_view(buf, static_cast<size_t>(end - buf)));
}

Status Table::SetBlank(int i) {
  return SetText(i, "");
}

Status Table::AssignField(int i, Table& from, int from_field) {
  const FieldDescriptor& to = field(i);
  const FieldDescriptor& src = from.field(from_field);
  if (src.type == 'M' || (&from == this && i == from_field)) {
    if (&from == this && i == from_field) return Status::OK();
    std::string text;
    Status s = from.GetMemo(from_field, &text);
    if (!s.ok()) return s;
    return SetText(i, text);
  }
  // Bytes of another field never overlap the destination, so a view is safe.
  std::string_view bytes = from.FieldBytes(from_field);
  char* out = record_.data() + to.offset;
  if (to.type == src.type && to.length == src.length && to.decimals == src.decimals &&
      to.type != 'M') {
    std::memcpy(out, bytes.data(), bytes.size());
    changed_ = true;
    return Status::OK();
  }
  bool numeric_source = src.type == 'N' || src.type == 'F';
  bool numeric_dest = to.type == 'N' || to.type == 'F';
  if (to.type == 'M') {
    std::string_view text = numeric_source ? TrimBlanks(bytes) : bytes;
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return SetText(i, std::string(text));
  }
  if (numeric_source && !numeric_dest) {
    // A number cut to fit would be another number; dBASE shows asterisks.
    std::string_view text = TrimBlanks(bytes);
    changed_ = true;
    if (text.size() > to.length) {
      std::memset(out, '*', to.length);
      return Status::OK();
    }
    return StoreText(to, text, out);
  }
  changed_ = true;
  return StoreText(to, bytes, out);
}

void Table::AddObserver(RecordObserver* observer) {
  if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
    observers_.push_back(observer);
  }
}

void Table::RemoveObserver(RecordObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

Status Table::Pack() {
  Status s = CheckWritable();
  if (!s.ok()) return s;
  s = Flush();
  if (!s.ok()) return s;
  cache_->Invalidate();
  // Survivors move down in place, a chunk at a time: the write position never
  // passes the read position, so nothing unread is overwritten.
  const size_t rl = header_.record_length;
  const uint32_t chunk = static_cast<uint32_t>(std::max<size_t>(1, kCacheBytes / rl));
  std::vector<char> in(static_cast<size_t>(chunk) * rl), out;
  out.reserve(in.size());
  uint32_t kept = 0;
  for (uint32_t r = 1; r <= header_.record_count; r += chunk) {
    uint32_t n = std::min(chunk, header_.record_count - r + 1);
    size_t got = 0;
    uint64_t at = header_.header_length + static_cast<uint64_t>(r - 1) * rl;
    s = file_->ReadAt(at, n * rl, in.data(), &got);
    if (!s.ok()) return s;
    if (got != n * rl) return Status::Corruption(path_ + ": records are cut short");
    out.clear();
    for (uint32_t k = 0; k < n; ++k) {
      const char* rec = in.data() + static_cast<size_t>(k) * rl;
      if (rec[0] != kDeletedFlag) out.insert(out.end(), rec, rec + rl);
    }
    if (!out.empty()) {
      s = file_->WriteAt(header_.header_length + static_cast<uint64_t>(kept) * rl, out.data(),
                         out.size());
      if (!s.ok()) return s;
    }
    kept += static_cast<uint32_t>(out.size() / rl);
  }
  header_.record_count = kept;
  cache_->set_records_on_disk(kept);
  s = WriteHeaderCounts();
  if (!s.ok()) return s;
  s = file_->Truncate(header_.data_end() + 1);
  if (!s.ok()) return s;
  s = GoEof();
  if (!s.ok()) return s;
  for (RecordObserver* o : observers_) {
    s = o->OnPack();
    if (!s.ok()) return s;
  }
  return Status::OK();
}

}  // namespace dbup::xbase
