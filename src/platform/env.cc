#include "platform/env.h"

namespace dbup {

namespace {
Env* current_env = nullptr;
}  // namespace

Env* Env::Current() {
  return current_env != nullptr ? current_env : Default();
}

Env* Env::SetCurrent(Env* env) {
  Env* previous = Current();
  current_env = env;
  return previous;
}

Status File::Read(size_t n, char* buf, size_t* bytes_read) {
  Status s = ReadAt(position_, n, buf, bytes_read);
  if (s.ok()) position_ += *bytes_read;
  return s;
}

Status File::Write(const char* data, size_t n) {
  Status s = WriteAt(position_, data, n);
  if (s.ok()) position_ += n;
  return s;
}

Status ReadFileToString(const std::string& path, std::string* contents) {
  contents->clear();
  std::unique_ptr<File> file;
  Status s = Env::Current()->OpenFile(path, OpenMode::kReadOnly, &file);
  if (!s.ok()) return s;
  uint64_t size = 0;
  s = file->Size(&size);
  if (!s.ok()) return s;
  contents->resize(size);
  size_t got = 0;
  s = file->ReadAt(0, contents->size(), contents->data(), &got);
  if (!s.ok()) return s;
  contents->resize(got);
  return file->Close();
}

Status WriteStringToFile(const std::string& path, const std::string& contents) {
  std::unique_ptr<File> file;
  Status s = Env::Current()->OpenFile(path, OpenMode::kCreate, &file);
  if (!s.ok()) return s;
  s = file->WriteAt(0, contents.data(), contents.size());
  if (!s.ok()) return s;
  return file->Close();
}

}  // namespace dbup
