// POSIX backend of the version resource: the program file read through Env
// and parsed here, a few small reads rather than the whole file.
#ifndef _WIN32

#include "platform/env.h"
#include "platform/version_resource.h"

namespace dbup {

namespace {

class FileByteSource : public ByteSource {
 public:
  FileByteSource(File* file, uint64_t size) : file_(file), size_(size) {}
  uint64_t size() const override { return size_; }
  bool ReadAt(uint64_t offset, size_t n, void* out) override {
    size_t got = 0;
    return file_->ReadAt(offset, n, static_cast<char*>(out), &got).ok() && got == n;
  }

 private:
  File* file_;
  uint64_t size_;
};

}  // namespace

Status ReadFixedFileInfo(const std::string& path, FixedFileInfo* info) {
  std::unique_ptr<File> file;
  Status s = Env::Current()->OpenFile(path, OpenMode::kReadOnly, &file);
  if (!s.ok()) return s;
  uint64_t size = 0;
  s = file->Size(&size);
  if (!s.ok()) return s;
  FileByteSource source(file.get(), size);
  s = ParsePeFixedFileInfo(source, info);
  file->Close();
  return s;
}

}  // namespace dbup

#endif  // _WIN32
