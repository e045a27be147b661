#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace kova {

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

std::string InstanceLock::KeyOf(const std::string& folder) {
  std::string key = folder;
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c == '/' || c == '\\') c = '-';
  }
  if (key.empty() || key.back() != '-') key += '-';
  return key;
}

bool InstanceLock::Acquire(const std::string& key) {
  // The key can be long and hold any byte; the lock file is named by its hash.
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : key)
    h = (h ^ c) * 1099511628211ull;
  const char* dir = std::getenv("XDG_RUNTIME_DIR");
  char name[64];
  std::snprintf(name, sizeof name, "/kova-%016llx.lock", static_cast<unsigned long long>(h));
  const std::string path = std::string(dir && *dir ? dir : "/tmp") + name;
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) return true;  // no place for a lock: run rather than refuse
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

}  // namespace kova
