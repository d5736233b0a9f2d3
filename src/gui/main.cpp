// vorn [FILE]: the window; FILE, when given, is opened at start as a load would.
#include <QApplication>
#include <QFileInfo>
#include <QStringList>
#include <QStyleFactory>
#include <QTimer>

#include "app/app_state.h"
#include "app/file_commands.h"
#include "app/wiring.h"
#include "gui/instance_lock.h"
#include "gui/main_window.h"
#include "gui/qt_dialogs.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // One look on every desktop: the layout is in pixels and was drawn for one.
  app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  app.setQuitOnLastWindowClosed(false);  // the model ends the program, not the last window

  vorn::gui::InstanceLock instance;
  vorn::gui::QtDialogs dialogs;
  vorn::AppState s(dialogs);
  vorn::WireHandlers(s);
  if (!vorn::Form_Load(s, [&instance] { return instance.AnotherInstanceRunning(); })) return 0;

  vorn::gui::MainWindow window(s.w);
  dialogs.SetOwner(&window, [&window] { window.SyncFromModel(); });
  QObject::connect(&window, &vorn::gui::MainWindow::ended, &app, &QApplication::quit, Qt::QueuedConnection);
  window.show();

  // Qt has taken its own options out of the arguments; the first one left is the file.
  // It is made absolute, as a path chosen in the open dialog is, so that the save
  // dialog later proposes the same file wherever it opens.
  const QStringList arguments = app.arguments();
  if (arguments.size() > 1) {
    const std::string path = QFileInfo(arguments.at(1)).absoluteFilePath().toStdString();
    QTimer::singleShot(0, &window,
                       [&window, &s, path] { window.Run([&s, path] { vorn::OpenAtStart(s, path); }); });
  }
  return app.exec();
}
