// Status: the result of an operation that can fail, with a message.
//
// Errors are values, returned up through the layers; only the layer that owns
// the system's own message texts turns a failed Status into one of them.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace dbup {

class Status {
 public:
  enum class Code { kOk = 0, kNotFound, kCorruption, kIOError, kInvalidArgument, kNotSupported };

  Status() = default;

  static Status OK() { return Status(); }
  static Status NotFound(std::string_view msg) { return Status(Code::kNotFound, msg); }
  static Status Corruption(std::string_view msg) { return Status(Code::kCorruption, msg); }
  static Status IOError(std::string_view msg) { return Status(Code::kIOError, msg); }
  static Status InvalidArgument(std::string_view msg) {
    return Status(Code::kInvalidArgument, msg);
  }
  static Status NotSupported(std::string_view msg) { return Status(Code::kNotSupported, msg); }

  bool ok() const { return code_ == Code::kOk; }
  bool IsNotFound() const { return code_ == Code::kNotFound; }
  bool IsCorruption() const { return code_ == Code::kCorruption; }
  bool IsIOError() const { return code_ == Code::kIOError; }
  bool IsInvalidArgument() const { return code_ == Code::kInvalidArgument; }
  bool IsNotSupported() const { return code_ == Code::kNotSupported; }
  Code code() const { return code_; }
  const std::string& message() const { return message_; }

  // "Corruption: bad header" style text for logs and tools.
  std::string ToString() const;

 private:
  Status(Code code, std::string_view msg) : code_(code), message_(msg) {}

  Code code_ = Code::kOk;
  std::string message_;
};

}  // namespace dbup
