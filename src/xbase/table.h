// Table: a dBASE III/IV table (.dbf) with its memo file (.dbt).
//
// A Table has one current record, held in a buffer. Field setters change the
// buffer; the change is stored when the table moves to another record, when
// WriteCurrent or Flush is called, or when the table is closed. Records go
// through a RecordCache, and the header's record count, update date and the
// end-of-file byte are brought up to date on Flush (and Close), so a reader
// that opens the file after a Flush sees a sound table.
//
// Indexes keep their keys current through RecordObserver: every stored
// record is reported with its old and new bytes, every append with its
// bytes, and a Pack with OnPack after the records moved.
//
// Not thread-safe; one Table object per open file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "platform/status.h"
#include "xbase/dbf_header.h"
#include "xbase/memo_file.h"
#include "xbase/record_cache.h"

namespace dbup::xbase {

// A field of a table to be created.
struct FieldSpec {
  std::string name;
  char type = 'C';
  int length = 0;
  int decimals = 0;
};

class RecordObserver {
 public:
  virtual ~RecordObserver() = default;
  // A blank record was appended as number recno.
  virtual Status OnAppend(uint32_t recno, const char* record) = 0;
  // Record recno changed from old_record to new_record (deletion flag included).
  virtual Status OnUpdate(uint32_t recno, const char* old_record, const char* new_record) = 0;
  // Pack removed deleted records and renumbered the rest; keys must be rebuilt.
  virtual Status OnPack() { return Status::OK(); }
};

struct CreateOptions {
  uint8_t language_driver = 0;
  uint8_t production_index = 0;
};

struct OpenOptions {
  bool read_only = false;
};

class Table {
 public:
  // Creates (or overwrites) path and its .dbt when a field is a memo.
  static Status Create(const std::string& path, const std::vector<FieldSpec>& fields,
                       const CreateOptions& options, std::unique_ptr<Table>* table);
  static Status Open(const std::string& path, const OpenOptions& options,
                     std::unique_ptr<Table>* table);

  // Closes, losing any error; call Close() to see it.
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // Stores the current record, flushes and closes the files.
  Status Close();
  // Stores the current record and makes the file complete on disk.
  Status Flush();

  // Structure.
  const std::string& path() const { return path_; }
  const DbfHeader& header() const { return header_; }
  const std::vector<FieldDescriptor>& fields() const { return header_.fields; }
  int field_count() const { return static_cast<int>(header_.fields.size()); }
  const FieldDescriptor& field(int i) const { return header_.fields[static_cast<size_t>(i)]; }
  // 0-based index of the field named name (ASCII case ignored), or -1.
  int FindField(std::string_view name) const;
  uint16_t record_length() const { return header_.record_length; }
  uint16_t header_length() const { return header_.header_length; }
  uint32_t record_count() const { return header_.record_count; }
  uint8_t version() const { return header_.version; }
  uint8_t language_driver() const { return header_.language_driver; }
  uint8_t production_index_flag() const { return header_.production_index; }
  Status SetProductionIndexFlag(uint8_t flag);
  bool read_only() const { return read_only_; }

  // Position. recno() is 0 before the first Go/Append, record_count()+1 at
  // end of file (with a blank buffer).
  uint32_t recno() const { return recno_; }
  bool eof() const { return recno_ > header_.record_count; }
  // Stores a changed current record, then makes recno current.
  // NotFound when recno is outside 1..record_count().
  Status Go(uint32_t recno);
  // Stores a changed current record and goes past the last record.
  Status GoEof();
  // Appends a record with every field blank and makes it current.
  Status AppendBlank();
  // Stores the current record (even when unchanged).
  Status WriteCurrent();
  bool changed() const { return changed_; }

  // The current record's bytes, deletion flag at 0.
  const char* record() const { return record_.data(); }
  // Reads any record into buf (record_length() bytes) without moving.
  Status ReadRecord(uint32_t recno, char* buf);

  bool deleted() const { return record_[0] == kDeletedFlag; }
  void SetDeleted(bool deleted);

  // Field values of the current record. Text is the field's bytes; memo
  // text comes from the .dbt.
  std::string_view FieldBytes(int i) const {
    return std::string_view(record_.data() + field(i).offset, field(i).length);
  }
  Status GetMemo(int i, std::string* text);
  bool GetDouble(int i, double* value) const;
  int64_t GetInt(int i) const;

  // Assignment with dBASE rules (see StoreText); memo fields store the text
  // in the .dbt.
  Status SetText(int i, std::string_view text);
  Status SetDouble(int i, double value);
  Status SetInt(int i, int64_t value);
  Status SetBlank(int i);
  // Copies field from_field of from's current record into field i,
  // converting between types: text to and from numbers, numbers to other
  // widths and decimals, memo text through the memo files. from may be this
  // table.
  Status AssignField(int i, Table& from, int from_field);

  // Removes the records marked deleted; survivors keep their memos.
  Status Pack();

  void AddObserver(RecordObserver* observer);
  void RemoveObserver(RecordObserver* observer);

 private:
  Table(std::string path, std::unique_ptr<File> file, DbfHeader header, bool read_only);
  Status OpenMemo(bool create);
  Status StoreChanged();
  Status WriteHeaderCounts();
  Status CheckWritable() const;
  std::string MemoPath() const;

  std::string path_;
  std::unique_ptr<File> file_;
  DbfHeader header_;
  bool read_only_;
  std::unique_ptr<MemoFile> memo_;
  std::unique_ptr<RecordCache> cache_;
  std::vector<char> blank_;  // a record with every field blank
  std::vector<char> record_;
  std::vector<char> scratch_;  // the stored version of the current record
  uint32_t recno_ = 0;
  bool changed_ = false;
  bool header_dirty_ = false;
  std::vector<RecordObserver*> observers_;
};

}  // namespace dbup::xbase
