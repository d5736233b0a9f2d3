#include "gui/instance_lock.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace vorn::gui {

namespace {

// A path is at most this long; a peer that sends more is not one of ours.
constexpr qint64 kMaxHandOver = 64 * 1024;
constexpr int kWaitMs = 3000;

QString SocketPathFor(const QString& lockPath) {
  QString path = lockPath;
  if (path.endsWith(QLatin1String(".lock"))) path.chop(5);
  return path + QStringLiteral(".socket");
}

}  // namespace

InstanceLock::InstanceLock() : InstanceLock(DefaultPath()) {}

InstanceLock::InstanceLock(const QString& lockPath) : lock_(lockPath), socketPath_(SocketPathFor(lockPath)) {
  // Never stale by age: an instance may run for days. A lock whose process has
  // died is still recognised as stale by its process id.
  lock_.setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

bool InstanceLock::AnotherInstanceRunning() {
  if (lock_.isLocked() || lock_.tryLock(0)) return false;
  // Only a lock held by a live process means another instance; a folder we cannot
  // write to must not keep the program from starting.
  return lock_.error() == QLockFile::LockFailedError;
}

bool InstanceLock::Listen(std::function<void(const QString& path)> onHandOver) {
  if (!lock_.isLocked()) return false;
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  // Whoever holds the lock owns the name: a socket left there by a crashed instance
  // is removed.
  QLocalServer::removeServer(socketPath_);
  if (!server_->listen(socketPath_)) {
    server_.reset();
    return false;
  }
  QLocalServer* server = server_.get();
  QObject::connect(server, &QLocalServer::newConnection, server, [server, onHandOver] {
    while (QLocalSocket* peer = server->nextPendingConnection()) {
      // The path is everything the peer sends before it disconnects.
      auto received = std::make_shared<QByteArray>();
      QObject::connect(peer, &QLocalSocket::readyRead, peer, [peer, received] {
        received->append(peer->readAll());
        if (received->size() > kMaxHandOver) peer->abort();
      });
      QObject::connect(peer, &QLocalSocket::disconnected, peer, [peer, received, onHandOver] {
        received->append(peer->readAll());
        peer->deleteLater();
        if (received->size() <= kMaxHandOver) onHandOver(QFile::decodeName(*received));
      });
    }
  });
  return true;
}

bool InstanceLock::HandOver(const QString& path) const {
  QLocalSocket socket;
  socket.connectToServer(socketPath_);
  if (!socket.waitForConnected(kWaitMs)) return false;
  socket.write(QFile::encodeName(path));
  if (!socket.waitForBytesWritten(kWaitMs) && socket.bytesToWrite() > 0) return false;
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kWaitMs);
  return true;
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
