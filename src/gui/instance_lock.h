// Tells whether another instance of the program runs, by a lock file held for the
// life of the instance that took it. A lock left by a crashed instance is taken over.
// The instance that holds the lock listens on a local socket beside it, through
// which a later start hands over the file named on its command line.
#pragma once

#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace vorn::gui {

class InstanceLock {
 public:
  // The lock lives in the user's runtime folder, or in the temporary folder under a
  // name with the user's id when there is none.
  InstanceLock();
  explicit InstanceLock(const QString& lockPath);
  ~InstanceLock();

  // True when another live process holds the lock; otherwise this instance takes it.
  bool AnotherInstanceRunning();

  // In the instance that holds the lock: calls onHandOver with the path each later
  // start hands over (empty when it named no file), on the thread of the event loop.
  // False when the socket cannot be set up; later starts then end as before.
  bool Listen(std::function<void(const QString& path)> onHandOver);
  // In a later instance: hands path (possibly empty) to the running instance. False
  // when none answers.
  bool HandOver(const QString& path) const;

  static QString DefaultPath();

 private:
  QLockFile lock_;
  QString socketPath_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace vorn::gui
