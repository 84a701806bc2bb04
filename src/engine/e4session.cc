// Session operations: settings, the pending error code and its texts.
#include <new>
#include <string>

#include "engine/e4internal.h"

namespace dbup::engine {

int SetError(Code4* s, int code, const std::string& detail) {
  if (s != nullptr && code < 0) {
    s->error_code = code;
    s->last_code = code;
    s->last_detail = detail;
  }
  return code;
}

}  // namespace dbup::engine

extern "C" {

Code4* E4API code4initP(void) {
  return new (std::nothrow) Code4Session();
}

int E4API code4autoOpen(Code4* s, int value) {
  if (s == nullptr) return e4parm;
  int previous = s->auto_open;
  s->auto_open = value;
  return previous;
}

int E4API code4accessMode(Code4* s, int value) {
  if (s == nullptr) return e4parm;
  int previous = s->access_mode;
  s->access_mode = value;
  return previous;
}

int E4API code4optimizeWrite(Code4* s, int value) {
  if (s == nullptr) return e4parm;
  int previous = s->optimize_write;
  s->optimize_write = value;
  return previous;
}

int E4API code4errorCode(Code4* s, int value) {
  if (s == nullptr) return e4parm;
  int previous = s->error_code;
  s->error_code = value;
  return previous;
}

int E4API code4initUndo(Code4* s) {
  if (s == nullptr) return e4parm;
  int result = 0;
  // d4close removes the table from the list.
  while (!s->tables.empty()) {
    int rc = d4close(s->tables.back());
    if (rc < 0 && result == 0) result = rc;
  }
  delete s;
  return result;
}

const char* E4API error4text(Code4* s, int code) {
  const char* text = "Unknown error";
  switch (code) {
    case 0:
      text = "No error";
      break;
    case e4open:
      text = "Unable to open file";
      break;
    case e4read:
      text = "Unable to read file";
      break;
    case e4write:
      text = "Unable to write file";
      break;
    case e4create:
      text = "Unable to create file";
      break;
    case e4data:
      text = "File is not a valid data file";
      break;
    case e4fieldName:
      text = "Unknown field name";
      break;
    case e4memo:
      text = "Error accessing memo file";
      break;
    case e4index:
      text = "Index file error";
      break;
    case e4tagName:
      text = "Tag name not found";
      break;
    case e4expr:
      text = "Invalid index expression";
      break;
    case e4parm:
      text = "Invalid parameter";
      break;
    case e4info:
      text = "Unexpected information";
      break;
    case e4memory:
      text = "Out of memory";
      break;
    default:
      break;
  }
  if (s == nullptr) return text;
  // The cause of the latest failure with this code is more telling than the
  // code's own text alone.
  s->error_text = text;
  if (code < 0 && code == s->last_code && !s->last_detail.empty()) {
    s->error_text += " (" + s->last_detail + ")";
  }
  return s->error_text.c_str();
}

}  // extern "C"
