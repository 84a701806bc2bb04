// Table operations (being built; opening is not available yet).
#include "engine/e4internal.h"

extern "C" {

Data4* E4API d4open(Code4* s, const char* path) {
  if (s == nullptr || path == nullptr) return nullptr;
  dbup::engine::SetError(s, e4open, std::string(path) + ": tables cannot be opened yet");
  return nullptr;
}

int E4API d4close(Data4* d) {
  if (d == nullptr) return e4parm;
  auto& list = d->session->tables;
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (*it == d) {
      list.erase(it);
      break;
    }
  }
  delete d;
  return 0;
}

}  // extern "C"
