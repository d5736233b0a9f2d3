// vorn [FILE]: the window; FILE, when given, is opened at start as a load would.
#include <QApplication>
#include <QFileInfo>
#include <QStringList>
#include <QStyleFactory>

#include "app/app_state.h"
#include "app/file_commands.h"
#include "app/wiring.h"
#include "gui/application.h"
#include "gui/instance_lock.h"
#include "gui/main_window.h"
#include "gui/qt_dialogs.h"

int main(int argc, char** argv) {
  if (const auto status = vorn::gui::AnswerInfoOption(argc, argv)) return *status;
  vorn::gui::QuietenRuntimeFolderNote();
  QApplication application(argc, argv);
  // One look on every desktop: the layout is in pixels and was drawn for one.
  application.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  application.setQuitOnLastWindowClosed(false);  // the model ends the program, not the last window
  vorn::gui::LoadQtJapanese();

  vorn::gui::InstanceLock instance;
  vorn::gui::QtDialogs dialogs;
  vorn::AppState app(dialogs);
  vorn::WireHandlers(app);
  // Qt has taken its own options out of the arguments; the first one left is the file.
  // It is made absolute, as a path chosen in the open dialog is, so that the save
  // dialog later proposes the same file wherever it opens, and so that a running
  // window it is handed to reads the same file.
  const QStringList arguments = application.arguments();
  const QString file = arguments.size() > 1 ? QFileInfo(arguments.at(1)).absoluteFilePath() : QString();
  if (!vorn::Form_Load(app, [&instance] { return instance.AnotherInstanceRunning(); })) {
    instance.HandOver(file);  // the running window loads it and comes to the front
    return 0;
  }

  vorn::gui::MainWindow window(app.form);
  dialogs.SetOwner(&window, [&window] { window.SyncFromModel(); });
  QObject::connect(&window, &vorn::gui::MainWindow::ended, &application, &QApplication::quit,
                   Qt::QueuedConnection);
  window.show();
  instance.Listen([&window, &app](const QString& handed) {
    window.BringToFront();
    const std::string path = handed.toStdString();
    window.RunWhenIdle([&app, path] { vorn::OpenFromAnotherInstance(app, path); });
  });

  // A message about the file waits until the window stands where the window manager
  // put it, to be centred there.
  if (!file.isEmpty()) {
    const std::string path = file.toStdString();
    vorn::gui::RunWhenPlaced(
        window, [&window, &app, path] { window.Run([&app, path] { vorn::OpenAtStart(app, path); }); });
  }
  return application.exec();
}
