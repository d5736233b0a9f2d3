#include "gui/instance_lock.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>

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
  // The runtime folder is read from the environment, not asked of Qt, which warns on
  // the terminal when it is not set (as under su, in a container or over ssh) and
  // makes up one of its own. The temporary folder is shared by every user: there
  // the name carries the user's id, so one user's window does not stop another's.
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
    return QDir(runtime).filePath(QStringLiteral("vorn.lock"));
  return QDir(QDir::tempPath()).filePath(QStringLiteral("vorn-%1.lock").arg(getuid()));
}

}  // namespace vorn::gui
