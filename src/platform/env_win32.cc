// Win32 backend of Env: the ANSI file calls the host's own engine uses, so
// paths, sharing and name matching behave as they do for the host.
#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// The ANSI/wide switch macros would rename Env's members in this file only.
#undef CopyFile
#undef CreateDirectory
#undef DeleteFile
#undef MoveFile

#include <algorithm>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/path.h"

namespace dbup {

namespace {

// Reads of more than this are split; ReadFile and WriteFile take a DWORD.
constexpr size_t kMaxChunk = size_t{1} << 30;

std::string SystemMessage(DWORD err) {
  char* text = nullptr;
  DWORD n = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, err, MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0,
      nullptr);
  std::string msg;
  if (n != 0 && text != nullptr) msg.assign(text, n);
  if (text != nullptr) ::LocalFree(text);
  while (!msg.empty() && static_cast<unsigned char>(msg.back()) <= ' ') msg.pop_back();
  if (msg.empty()) msg = "Windows error";
  return msg + " (" + std::to_string(err) + ")";
}

Status LastErrorStatus(const std::string& context, DWORD err = ::GetLastError()) {
  std::string msg = context + ": " + SystemMessage(err);
  if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return Status::NotFound(msg);
  return Status::IOError(msg);
}

DWORD Attributes(const std::string& path) {
  return path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(path.c_str());
}

class Win32File : public File {
 public:
  Win32File(std::string path, HANDLE handle) : path_(std::move(path)), handle_(handle) {}
  ~Win32File() override { Close(); }

  Status ReadAt(uint64_t offset, size_t n, char* buf, size_t* bytes_read) override {
    *bytes_read = 0;
    Status s = SeekTo(offset);
    if (!s.ok()) return s;
    while (*bytes_read < n) {
      DWORD want = static_cast<DWORD>(std::min(n - *bytes_read, kMaxChunk));
      DWORD got = 0;
      if (!::ReadFile(handle_, buf + *bytes_read, want, &got, nullptr)) {
        return LastErrorStatus(path_);
      }
      if (got == 0) break;
      *bytes_read += got;
    }
    return Status::OK();
  }

  Status WriteAt(uint64_t offset, const char* data, size_t n) override {
    Status s = SeekTo(offset);
    if (!s.ok()) return s;
    size_t done = 0;
    while (done < n) {
      DWORD want = static_cast<DWORD>(std::min(n - done, kMaxChunk));
      DWORD put = 0;
      if (!::WriteFile(handle_, data + done, want, &put, nullptr)) return LastErrorStatus(path_);
      if (put == 0) return Status::IOError(path_ + ": nothing written");
      done += put;
    }
    return Status::OK();
  }

  Status Size(uint64_t* size) override {
    LARGE_INTEGER li;
    if (!::GetFileSizeEx(handle_, &li)) return LastErrorStatus(path_);
    *size = static_cast<uint64_t>(li.QuadPart);
    return Status::OK();
  }

  Status Truncate(uint64_t size) override {
    Status s = SeekTo(size);
    if (!s.ok()) return s;
    if (!::SetEndOfFile(handle_)) return LastErrorStatus(path_);
    return Status::OK();
  }

  Status Sync() override {
    if (!::FlushFileBuffers(handle_)) return LastErrorStatus(path_);
    return Status::OK();
  }

  Status Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return Status::OK();
    BOOL ok = ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    if (!ok) return LastErrorStatus(path_);
    return Status::OK();
  }

 private:
  Status SeekTo(uint64_t offset) {
    LARGE_INTEGER li;
    li.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(handle_, li, nullptr, FILE_BEGIN)) return LastErrorStatus(path_);
    return Status::OK();
  }

  std::string path_;
  HANDLE handle_;
};

class Win32Env : public Env {
 public:
  Status OpenFile(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    DWORD attrs = Attributes(path);
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) {
      return Status::IOError(path + ": is a directory");
    }
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if (mode != OpenMode::kReadOnly) access |= GENERIC_WRITE;
    if (mode == OpenMode::kCreate) disposition = CREATE_ALWAYS;
    // Shared as dBASE programs share their tables; the tables must not be in
    // use elsewhere during a run, but a reader such as a virus scanner may be.
    HANDLE h = ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastErrorStatus(path);
    *file = std::make_unique<Win32File>(path, h);
    return Status::OK();
  }

  bool FileExists(const std::string& path) override {
    DWORD attrs = Attributes(path);
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
  }

  Status GetFileSize(const std::string& path, uint64_t* size) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
      return LastErrorStatus(path);
    }
    *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return Status::OK();
  }

  Status CopyFile(const std::string& from, const std::string& to) override {
    if (!::CopyFileA(from.c_str(), to.c_str(), FALSE)) return LastErrorStatus(from);
    // CopyFileA carries a read-only attribute over (clone tables installed
    // from read-only media have it); a copy is made to be written, so it is
    // writable, as on POSIX.
    DWORD attrs = Attributes(to);
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY)) {
      DWORD writable = attrs & ~DWORD{FILE_ATTRIBUTE_READONLY};
      if (!::SetFileAttributesA(to.c_str(), writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL)) {
        return LastErrorStatus(to);
      }
    }
    return Status::OK();
  }

  Status MoveFile(const std::string& from, const std::string& to) override {
    if (!::MoveFileA(from.c_str(), to.c_str())) {
      DWORD err = ::GetLastError();
      if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS) {
        return Status::IOError(to + ": target exists");
      }
      return LastErrorStatus(from, err);
    }
    return Status::OK();
  }

  Status DeleteFile(const std::string& path) override {
    if (!::DeleteFileA(path.c_str())) return LastErrorStatus(path);
    return Status::OK();
  }

  Status TruncateFile(const std::string& path, uint64_t size) override {
    std::unique_ptr<File> file;
    Status s = OpenFile(path, OpenMode::kReadWrite, &file);
    if (!s.ok()) return s;
    s = file->Truncate(size);
    if (!s.ok()) return s;
    return file->Close();
  }

  bool DirectoryExists(const std::string& path) override {
    DWORD attrs = Attributes(path);
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
  }

  Status CreateDirectory(const std::string& path) override {
    if (!::CreateDirectoryA(path.c_str(), nullptr)) return LastErrorStatus(path);
    return Status::OK();
  }

  Status ListDirectory(const std::string& path, ListFilter filter,
                       std::vector<std::string>* names) override {
    names->clear();
    if (!DirectoryExists(path)) {
      return Status::NotFound(path + ": no such directory");
    }
    WIN32_FIND_DATAA entry;
    HANDLE h = ::FindFirstFileA(JoinPath(path, "*.*").c_str(), &entry);
    if (h == INVALID_HANDLE_VALUE) {
      DWORD err = ::GetLastError();
      // A drive's root has no "." or "..", so an empty one matches nothing.
      if (err == ERROR_FILE_NOT_FOUND || err == ERROR_NO_MORE_FILES) return Status::OK();
      return LastErrorStatus(path, err);
    }
    do {
      std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      if (filter == ListFilter::kDirectoriesOnly) {
        // As a directory search of the host's run-time library: folders that
        // are hidden or belong to the system are not offered.
        DWORD attrs = entry.dwFileAttributes;
        if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (attrs & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
      }
      names->push_back(std::move(name));
    } while (::FindNextFileA(h, &entry));
    DWORD err = ::GetLastError();
    ::FindClose(h);
    if (err != ERROR_NO_MORE_FILES) return LastErrorStatus(path, err);
    std::sort(names->begin(), names->end());
    return Status::OK();
  }

  std::string ShortPath(const std::string& path) override {
    DWORD need = ::GetShortPathNameA(path.c_str(), nullptr, 0);
    if (need == 0) return path;
    std::string out(need, '\0');
    DWORD got = ::GetShortPathNameA(path.c_str(), out.data(), need);
    if (got == 0 || got >= need) return path;
    out.resize(got);
    return out;
  }
};

}  // namespace

Env* Env::Default() {
  static Win32Env* env = new Win32Env;
  return env;
}

}  // namespace dbup

#endif  // _WIN32
