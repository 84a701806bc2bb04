// POSIX backend of Env.
#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/env.h"
#include "platform/path.h"

namespace dbup {

namespace {

Status ErrnoStatus(const std::string& context, int err) {
  std::string msg = context + ": " + std::strerror(err);
  return err == ENOENT ? Status::NotFound(msg) : Status::IOError(msg);
}

bool EntryExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// Finds an entry of dir whose name equals name ignoring ASCII case.
bool FindIgnoringCase(const std::string& dir, const std::string& name, std::string* found) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return false;
  bool hit = false;
  while (struct dirent* e = ::readdir(d)) {
    if (EqualsIgnoreCase(e->d_name, name)) {
      *found = e->d_name;
      hit = true;
      break;
    }
  }
  ::closedir(d);
  return hit;
}

// Maps path to the spelling of an existing entry when only the case differs.
// Components that match nothing are kept as given, so a file about to be
// created lands in the right (existing) folder under the requested name.
std::string Resolve(const std::string& path) {
  if (path.empty() || EntryExists(path)) return path;
  std::string out;
  size_t i = 0;
  if (path[0] == '/') {
    out = "/";
    i = 1;
  }
  bool resolving = true;
  while (i < path.size()) {
    size_t next = path.find('/', i);
    if (next == std::string::npos) next = path.size();
    std::string part = path.substr(i, next - i);
    if (!part.empty()) {
      std::string candidate = out + part;
      if (resolving && !EntryExists(candidate)) {
        std::string found;
        if (part != "." && part != ".." && FindIgnoringCase(out, part, &found)) {
          candidate = out + found;
        } else {
          resolving = false;
        }
      }
      out = candidate;
    }
    if (next < path.size()) out.push_back('/');
    i = next + 1;
  }
  return out;
}

class PosixFile : public File {
 public:
  PosixFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~PosixFile() override { Close(); }

  Status ReadAt(uint64_t offset, size_t n, char* buf, size_t* bytes_read) override {
    *bytes_read = 0;
    while (*bytes_read < n) {
      ssize_t r = ::pread(fd_, buf + *bytes_read, n - *bytes_read,
                          static_cast<off_t>(offset + *bytes_read));
      if (r < 0) {
        if (errno == EINTR) continue;
        return ErrnoStatus(path_, errno);
      }
      if (r == 0) break;
      *bytes_read += static_cast<size_t>(r);
    }
    return Status::OK();
  }

  Status WriteAt(uint64_t offset, const char* data, size_t n) override {
    size_t done = 0;
    while (done < n) {
      ssize_t w = ::pwrite(fd_, data + done, n - done, static_cast<off_t>(offset + done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return ErrnoStatus(path_, errno);
      }
      done += static_cast<size_t>(w);
    }
    return Status::OK();
  }

  Status Size(uint64_t* size) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return ErrnoStatus(path_, errno);
    *size = static_cast<uint64_t>(st.st_size);
    return Status::OK();
  }

  Status Truncate(uint64_t size) override {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return ErrnoStatus(path_, errno);
    return Status::OK();
  }

  Status Sync() override {
    if (::fdatasync(fd_) != 0) return ErrnoStatus(path_, errno);
    return Status::OK();
  }

  Status Close() override {
    if (fd_ < 0) return Status::OK();
    int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0) return ErrnoStatus(path_, errno);
    return Status::OK();
  }

 private:
  std::string path_;
  int fd_;
};

class PosixEnv : public Env {
 public:
  Status OpenFile(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    std::string real = Resolve(path);
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::kReadOnly:
        flags |= O_RDONLY;
        break;
      case OpenMode::kReadWrite:
        flags |= O_RDWR;
        break;
      case OpenMode::kCreate:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
    }
    int fd = ::open(real.c_str(), flags, 0644);
    if (fd < 0) return ErrnoStatus(path, errno);
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      return Status::IOError(path + ": is a directory");
    }
    *file = std::make_unique<PosixFile>(real, fd);
    return Status::OK();
  }

  bool FileExists(const std::string& path) override {
    struct stat st;
    return ::stat(Resolve(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  Status GetFileSize(const std::string& path, uint64_t* size) override {
    struct stat st;
    if (::stat(Resolve(path).c_str(), &st) != 0) return ErrnoStatus(path, errno);
    *size = static_cast<uint64_t>(st.st_size);
    return Status::OK();
  }

  Status CopyFile(const std::string& from, const std::string& to) override {
    std::unique_ptr<File> in, out;
    Status s = OpenFile(from, OpenMode::kReadOnly, &in);
    if (!s.ok()) return s;
    s = OpenFile(to, OpenMode::kCreate, &out);
    if (!s.ok()) return s;
    std::vector<char> buf(1 << 20);
    uint64_t offset = 0;
    for (;;) {
      size_t got = 0;
      s = in->ReadAt(offset, buf.size(), buf.data(), &got);
      if (!s.ok()) return s;
      if (got == 0) break;
      s = out->WriteAt(offset, buf.data(), got);
      if (!s.ok()) return s;
      offset += got;
    }
    return out->Close();
  }

  Status MoveFile(const std::string& from, const std::string& to) override {
    std::string src = Resolve(from);
    std::string dst = Resolve(to);
    if (EntryExists(dst)) return Status::IOError(to + ": target exists");
    if (::rename(src.c_str(), dst.c_str()) != 0) return ErrnoStatus(from, errno);
    return Status::OK();
  }

  Status DeleteFile(const std::string& path) override {
    if (::unlink(Resolve(path).c_str()) != 0) return ErrnoStatus(path, errno);
    return Status::OK();
  }

  Status TruncateFile(const std::string& path, uint64_t size) override {
    if (::truncate(Resolve(path).c_str(), static_cast<off_t>(size)) != 0) {
      return ErrnoStatus(path, errno);
    }
    return Status::OK();
  }

  bool DirectoryExists(const std::string& path) override {
    struct stat st;
    return !path.empty() && ::stat(Resolve(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  Status CreateDirectory(const std::string& path) override {
    if (::mkdir(Resolve(path).c_str(), 0755) != 0) return ErrnoStatus(path, errno);
    return Status::OK();
  }

  Status ListDirectory(const std::string& path, ListFilter filter,
                       std::vector<std::string>* names) override {
    names->clear();
    std::string dir = Resolve(path);
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return ErrnoStatus(path, errno);
    while (struct dirent* e = ::readdir(d)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      if (filter == ListFilter::kDirectoriesOnly) {
        struct stat st;
        if (::stat(JoinPath(dir, name).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
      }
      names->push_back(std::move(name));
    }
    ::closedir(d);
    std::sort(names->begin(), names->end());
    return Status::OK();
  }

  std::string ShortPath(const std::string& path) override { return path; }
};

}  // namespace

Env* Env::Default() {
  static PosixEnv* env = new PosixEnv;
  return env;
}

}  // namespace dbup

#endif  // _WIN32
