#include "gui/instance_lock.h"

#include <QDir>
#include <QStandardPaths>

namespace vorn::gui {

InstanceLock::InstanceLock() : InstanceLock(DefaultPath()) {}

InstanceLock::InstanceLock(const QString& lockPath) : lock_(lockPath) {
  // Never stale by age: an instance may run for days. A lock whose process has
  // died is still recognised as stale by its process id.
  lock_.setStaleLockTime(0);
}

bool InstanceLock::AnotherInstanceRunning() {
  if (lock_.isLocked() || lock_.tryLock(0)) return false;
  // Only a lock held by a live process means another instance; a folder we cannot
  // write to must not keep the program from starting.
  return lock_.error() == QLockFile::LockFailedError;
}

QString InstanceLock::DefaultPath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return QDir(folder).filePath(QStringLiteral("vorn.lock"));
}

}  // namespace vorn::gui
