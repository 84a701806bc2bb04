#include "platform/status.h"

namespace dbup {

std::string Status::ToString() const {
  const char* prefix = "OK";
  switch (code_) {
    case Code::kOk:
      return "OK";
    case Code::kNotFound:
      prefix = "Not found: ";
      break;
    case Code::kCorruption:
      prefix = "Corruption: ";
      break;
    case Code::kIOError:
      prefix = "IO error: ";
      break;
    case Code::kInvalidArgument:
      prefix = "Invalid argument: ";
      break;
    case Code::kNotSupported:
      prefix = "Not supported: ";
      break;
  }
  return prefix + message_;
}

}  // namespace dbup
