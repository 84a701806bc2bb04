// The engine's handle structs behind the opaque types of e4api.h.
//
// Internal to src/engine: the C functions own these objects; nothing above
// the engine sees their members. A session owns its open tables; a table
// owns its field handles and its open index files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/e4api.h"
#include "xbase/table.h"

struct Code4Session {
  int error_code = 0;
  int auto_open = 1;
  int access_mode = 0;
  int optimize_write = 0;
  std::vector<Data4*> tables;  // open tables, in the order they were opened
  std::string error_text;      // buffer for error4text
  int last_code = 0;           // the latest failure and what caused it
  std::string last_detail;
};

struct Field4Handle {
  Data4* table = nullptr;
  int index = 0;     // 0-based position in the table's field list
  std::string text;  // buffer behind f4str/f4memoStr results
};

struct Data4Table {
  Code4* session = nullptr;
  std::unique_ptr<dbup::xbase::Table> table;
  std::vector<std::unique_ptr<Field4Handle>> fields;  // one per field, made at open
  // Open index files and the selected tag; owned and managed by e4index.cc.
  std::vector<Index4*> indexes;
  Tag4* selected_tag = nullptr;
  bool locked = false;
};

namespace dbup::engine {

// Records code as the session's pending error (when negative) with the cause
// of the failure, for error4text, and returns code.
int SetError(Code4* s, int code, const std::string& detail = "");

// Record-number positioning, used by the table operations and available to
// the index operations: makes record current (storing a changed current
// record first); past the end it leaves the table at end of file. Returns
// r4success, r4eof or an error code (set as the session's error).
int GoRecord(Data4* d, long record);

// Hooks of the index operations, called by the table operations when a tag
// is selected; they return an e4api result code. TagGo is called after
// d4go has positioned the table by record number, with that result.
int TagTop(Data4* d);
int TagSkip(Data4* d, long n);
int TagGo(Data4* d, int result);
// Closes every index file of d (called by d4close before the table closes).
void CloseIndexes(Data4* d);

}  // namespace dbup::engine
