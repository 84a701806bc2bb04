#include "support/temp_dir.h"

#include <cstdlib>
#include <random>

namespace dbup::testing {

TempDir::TempDir() {
  namespace fs = std::filesystem;
  std::random_device rd;
  for (;;) {
    fs::path p = fs::temp_directory_path() / ("dbup-test-" + std::to_string(rd()));
    if (fs::create_directory(p)) {
      path_ = p.string() + "/";
      break;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string SharedDir() {
  namespace fs = std::filesystem;
  if (const char* env = std::getenv("DBUP_SHARED_DIR")) {
    return fs::is_directory(env) ? std::string(env) + "/" : std::string();
  }
  fs::path p = fs::path(DBUP_SOURCE_DIR) / ".." / "shared";
  return fs::is_directory(p) ? fs::canonical(p).string() + "/" : std::string();
}

}  // namespace dbup::testing
