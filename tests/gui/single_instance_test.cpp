// Only one Vorn runs at a time: a second start ends at once, before any window.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <memory>

#include "gui/instance_lock.h"
#include "support/run_cli.h"

namespace vorn::gui {
namespace {

QString LockIn(const std::string& folder) {
  return QDir(QString::fromStdString(folder)).filePath(QStringLiteral("vorn.lock"));
}

TEST(InstanceLock, TheSecondInstanceSeesTheFirstUntilItEnds) {
  const QString path = LockIn(testing::TempDir());
  auto first = std::make_unique<InstanceLock>(path);
  EXPECT_FALSE(first->AnotherInstanceRunning());
  EXPECT_FALSE(first->AnotherInstanceRunning());  // asking again does not find itself
  InstanceLock second(path);
  EXPECT_TRUE(second.AnotherInstanceRunning());
  first.reset();  // the first instance ends
  InstanceLock third(path);
  EXPECT_FALSE(third.AnotherInstanceRunning());
}

TEST(InstanceLock, AFolderThatCannotHoldTheLockDoesNotStopTheProgram) {
  InstanceLock lock(LockIn(testing::TempDir() + "/missing/folder"));
  EXPECT_FALSE(lock.AnotherInstanceRunning());
}

// The program itself: with one instance running, a second one ends at once.
TEST(InstanceLock, SecondProgramEndsAtOnce) {
  const QString program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vorn"));
  if (!QFileInfo(program).isExecutable()) GTEST_SKIP() << "vorn is not built";
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  const QString runtime = QString::fromStdString(testing::TempDir());
  QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

  QProcess first;
  first.setProcessEnvironment(environment);
  first.start(program, {});
  ASSERT_TRUE(first.waitForStarted());
  // The first instance holds the lock once it is up.
  const QString lock = QDir(runtime).filePath(QStringLiteral("vorn.lock"));
  for (int i = 0; i < 100 && !QFileInfo::exists(lock); ++i) QThread::msleep(50);
  ASSERT_TRUE(QFileInfo::exists(lock));

  QProcess second;
  second.setProcessEnvironment(environment);
  second.start(program, {});
  EXPECT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running);

  first.kill();
  first.waitForFinished();
}

}  // namespace
}  // namespace vorn::gui
