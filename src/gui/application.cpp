#include "gui/application.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLibraryInfo>
#include <QPointer>
#include <QTimer>
#include <QTranslator>
#include <QWindow>
#include <cstdio>
#include <cstring>

#include "app/about.h"

namespace vorn::gui {

namespace {

const char* const kHelp =
    "usage: vorn [FILE]\n"
    "       vorn --help | --version\n"
    "\n"
    "Opens the Vorn window, which examines and repairs baseline JPEG files byte by\n"
    "byte and bit by bit; FILE, when given, is opened at start. The window speaks\n"
    "Japanese. Qt's options (such as -platform NAME) are accepted as well.\n"
    "vorn-cli does the same from the command line; see man vorn.\n";

QtMessageHandler previousHandler = nullptr;

void Filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
    return;
  if (previousHandler) previousHandler(type, context, message);
}

// Waits for the first exposure of the window's native window: a window manager
// maps a window only once it has placed it.
class PlacedWatcher : public QObject {
 public:
  PlacedWatcher(QWindow* window, std::function<void()> action)
      : QObject(window), window_(window), action_(std::move(action)) {
    window->installEventFilter(this);
    if (window->isExposed()) Fire();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && event->type() == QEvent::Expose && window_->isExposed()) Fire();
    return false;
  }

 private:
  void Fire() {
    if (!action_) return;
    window_->removeEventFilter(this);
    // After the exposure has been handled: the window's geometry is the placed one
    // and its first paint is done.
    QTimer::singleShot(0, window_, std::exchange(action_, nullptr));
    deleteLater();
  }

  QWindow* window_;
  std::function<void()> action_;
};

}  // namespace

std::optional<int> AnswerInfoOption(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("vorn %s\n", ProgramVersion());
      return 0;
    }
  }
  return std::nullopt;
}

QTranslator* LoadQtJapanese() {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return nullptr;
  }
  return translator;
}

void QuietenRuntimeFolderNote() {
  QtMessageHandler previous = qInstallMessageHandler(Filter);
  if (previous != Filter) previousHandler = previous;
}

void RunWhenPlaced(QWidget& window, std::function<void()> action) {
  window.winId();  // the native window exists from here on
  new PlacedWatcher(window.windowHandle(), std::move(action));
}

}  // namespace vorn::gui
