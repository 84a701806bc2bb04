// Env: the one interface through which the library and the engine reach the
// file system, as SQLite's VFS does.
//
// Env::Current() is what every caller uses. A test may install its own Env
// (usually an EnvWrapper around the default one) to fail, count or observe any
// single operation. The Env is not thread-safe to swap while calls are running.
//
// On POSIX an existing file or folder is found case-insensitively when the
// exact spelling is absent, component by component, so "DATA/SUBMIT.DBF" finds
// "data/submit.dbf". A file that is created where a case-insensitive match
// already exists reuses that name, as Windows would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/status.h"

namespace dbup {

// An open binary file. Positional reads and writes are the primitive; Seek,
// Read and Write keep a position on top of them for sequential callers.
class File {
 public:
  virtual ~File() = default;

  // Reads up to n bytes at offset; *bytes_read is less than n only at end of file.
  virtual Status ReadAt(uint64_t offset, size_t n, char* buf, size_t* bytes_read) = 0;
  virtual Status WriteAt(uint64_t offset, const char* data, size_t n) = 0;
  virtual Status Size(uint64_t* size) = 0;
  virtual Status Truncate(uint64_t size) = 0;
  virtual Status Sync() = 0;
  // Closing twice is harmless; the destructor closes too but loses the Status.
  virtual Status Close() = 0;

  void Seek(uint64_t offset) { position_ = offset; }
  uint64_t Tell() const { return position_; }
  Status Read(size_t n, char* buf, size_t* bytes_read);
  Status Write(const char* data, size_t n);

 private:
  uint64_t position_ = 0;
};

enum class OpenMode {
  kReadOnly,   // must exist
  kReadWrite,  // must exist
  kCreate,     // created or truncated to zero, then read-write
};

enum class ListFilter { kDirectoriesOnly, kAll };

class Env {
 public:
  virtual ~Env() = default;

  // The real file system of this platform. Never null, never deleted.
  static Env* Default();
  // The Env in use: Default() unless a test installed another.
  static Env* Current();
  // Installs env (nullptr restores Default()); returns the previous one.
  static Env* SetCurrent(Env* env);

  virtual Status OpenFile(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual Status GetFileSize(const std::string& path, uint64_t* size) = 0;
  // Overwrites an existing target, as CopyFile with fail-if-exists off.
  virtual Status CopyFile(const std::string& from, const std::string& to) = 0;
  // Fails when the target exists, as MoveFile does.
  virtual Status MoveFile(const std::string& from, const std::string& to) = 0;
  virtual Status DeleteFile(const std::string& path) = 0;
  virtual Status TruncateFile(const std::string& path, uint64_t size) = 0;

  virtual bool DirectoryExists(const std::string& path) = 0;
  // Creates one directory; its parent must exist.
  virtual Status CreateDirectory(const std::string& path) = 0;
  // Names (not paths) of the entries of a directory, without "." and "..", sorted.
  virtual Status ListDirectory(const std::string& path, ListFilter filter,
                               std::vector<std::string>* names) = 0;
  // The short (8.3) form of an existing path where the platform has one;
  // otherwise the path itself.
  virtual std::string ShortPath(const std::string& path) = 0;
};

// Forwards every call to another Env; override the calls a test wants to change.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env* target) : target_(target) {}
  Env* target() const { return target_; }

  Status OpenFile(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    return target_->OpenFile(path, mode, file);
  }
  bool FileExists(const std::string& path) override { return target_->FileExists(path); }
  Status GetFileSize(const std::string& path, uint64_t* size) override {
    return target_->GetFileSize(path, size);
  }
  Status CopyFile(const std::string& from, const std::string& to) override {
    return target_->CopyFile(from, to);
  }
  Status MoveFile(const std::string& from, const std::string& to) override {
    return target_->MoveFile(from, to);
  }
  Status DeleteFile(const std::string& path) override { return target_->DeleteFile(path); }
  Status TruncateFile(const std::string& path, uint64_t size) override {
    return target_->TruncateFile(path, size);
  }
  bool DirectoryExists(const std::string& path) override { return target_->DirectoryExists(path); }
  Status CreateDirectory(const std::string& path) override {
    return target_->CreateDirectory(path);
  }
  Status ListDirectory(const std::string& path, ListFilter filter,
                       std::vector<std::string>* names) override {
    return target_->ListDirectory(path, filter, names);
  }
  std::string ShortPath(const std::string& path) override { return target_->ShortPath(path); }

 private:
  Env* target_;
};

// Installs an Env for the lifetime of the object (tests).
class ScopedEnv {
 public:
  explicit ScopedEnv(Env* env) : previous_(Env::SetCurrent(env)) {}
  ~ScopedEnv() { Env::SetCurrent(previous_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  Env* previous_;
};

// Whole-file helpers on top of Env::Current().
Status ReadFileToString(const std::string& path, std::string* contents);
Status WriteStringToFile(const std::string& path, const std::string& contents);

}  // namespace dbup
