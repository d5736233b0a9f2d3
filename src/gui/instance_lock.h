// Tells whether another instance of the program runs, by a lock file held for the
// life of the instance that took it. A lock left by a crashed instance is taken over.
#pragma once

#include <QLockFile>
#include <QString>

namespace vorn::gui {

class InstanceLock {
 public:
  // The lock lives in the user's runtime folder, or in the temporary folder under a
  // name with the user's id when there is none.
  InstanceLock();
  explicit InstanceLock(const QString& lockPath);

  // True when another live process holds the lock; otherwise this instance takes it.
  bool AnotherInstanceRunning();

  static QString DefaultPath();

 private:
  QLockFile lock_;
};

}  // namespace vorn::gui
