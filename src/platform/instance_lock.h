// One player per title folder: the second one to start finds the folder's lock taken.
#pragma once

#include <string>

namespace kova {

class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // The key of a title folder: upper-cased, with a trailing separator, separators as "-".
  static std::string KeyOf(const std::string& folder);
  // Takes the lock of a key; false when another process holds it. The lock lives in a file of
  // the user's runtime folder and goes with the process, however it ends.
  bool Acquire(const std::string& key);

 private:
  int fd_ = -1;
};

}  // namespace kova
