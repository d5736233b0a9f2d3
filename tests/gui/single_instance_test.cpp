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

// A second start with a file hands it, as an absolute path, to the instance that
// runs (here this test, listening as the window does) and ends; without a file it
// hands over an empty path, on which the window only comes to the front.
TEST(InstanceLock, ASecondProgramHandsItsFileToTheRunningInstance) {
  const QString program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vorn"));
  if (!QFileInfo(program).isExecutable()) GTEST_SKIP() << "vorn is not built";
  const QString runtime = QString::fromStdString(testing::TempDir());
  QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  InstanceLock first(LockIn(runtime.toStdString()));
  ASSERT_FALSE(first.AnotherInstanceRunning());
  QStringList handed;
  ASSERT_TRUE(first.Listen([&handed](const QString& path) { handed.append(path); }));

  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  for (const QStringList& arguments : {QStringList{QStringLiteral("photo é.jpeg")}, QStringList{}}) {
    QProcess second;
    second.setProcessEnvironment(environment);
    second.setWorkingDirectory(runtime);
    second.start(program, arguments);
    ASSERT_TRUE(second.waitForStarted());
    const int before = static_cast<int>(handed.size());
    for (int i = 0; i < 1000 && (second.state() != QProcess::NotRunning || handed.size() == before); ++i) {
      QCoreApplication::processEvents();
      QThread::msleep(10);
    }
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_EQ(handed.size(), before + 1);
  }
  EXPECT_EQ(handed, (QStringList{QDir(runtime).filePath(QStringLiteral("photo é.jpeg")), QString()}));
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
