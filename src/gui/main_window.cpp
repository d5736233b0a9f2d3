#include "gui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <string_view>

#include "gui/cell_widget.h"
#include "gui/command_button.h"
#include "gui/fonts.h"
#include "gui/input_field.h"
#include "gui/layout_table.h"
#include "gui/list_view.h"
#include "gui/menu_bar_view.h"
#include "gui/model_lookup.h"
#include "gui/picture_view.h"
#include "gui/scroll_bar_view.h"

namespace vorn::gui {

namespace {

QString ObjectName(const Placement& p, int k) {
  const QString name = QString::fromLatin1(p.name);
  return p.grid.count > 1 ? QStringLiteral("%1[%2]").arg(name).arg(k) : name;
}

// The pictures and the comment fields use the proportional face.
bool Proportional(const QString& name) {
  return name.startsWith(QLatin1String("Picture")) || name == QLatin1String("COM") ||
         name == QLatin1String("COMLEN");
}

}  // namespace

MainWindow::MainWindow(window::WindowModel& form, QWidget* parent) : QWidget(parent), form_(form) {
  setWindowTitle(QString::fromStdString(form_.title));
  setFont(WindowFont());
  // The menu bar goes above the client area, which keeps its size: the window grows
  // by the bar's height and nothing in the client area moves.
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("client"));
  layout->addWidget(client_);
  Build();
  // A menu command does what its button does, and a press of the button takes the
  // focus from the input field first, committing what was typed there.
  menuBar_ = new MenuBarView(
      form_.menuBar,
      [this](const std::function<void()>& event) {
        if (input_ && input_->HoldsFocus()) focusLossPending_ = true;
        Run(event);
      },
      this);
  layout->setMenuBar(menuBar_);
  views_.push_back(menuBar_);
  // F10 opens the first menu, as on most desktops; the arrow keys go on from there.
  connect(new QShortcut(QKeySequence(Qt::Key_F10), this), &QShortcut::activated, this,
          [this] { menuBar_->setActiveAction(menuBar_->actions().value(0)); });
  SyncFromModel();
}

void MainWindow::Build() {
  const Forward forward = [this](const std::function<void()>& event) { Run(event); };
  QWidget* const area = client_;
  for (const Placement& p : MainWindowLayout()) {
    for (int k = 0; k < p.grid.count; ++k) {
      const auto [x, y] = GridPosition(p, k);
      const QString name = ObjectName(p, k);
      const ElementRef ref = p.name[0] ? FindElement(form_, p.name, k) : ElementRef{};
      // Every named placement must meet its element; the geometry tests walk them all.
      if (p.name[0] && !ref.Found()) qFatal("layout names an unknown element: %s", p.name);
      QWidget* widget = nullptr;
      ModelView* view = nullptr;
      switch (p.kind) {
        case Kind::Button: {
          auto* button = new CommandButton(ref.command, forward, area);
          widget = button;
          view = button;
          break;
        }
        case Kind::Picture:
        case Kind::HiddenPicture: {
          auto* picture = new PictureView(ref.picture, forward, area);
          if (&form_.Picture1 == ref.picture) picture->AcceptFiles(&form_);
          picture->setVisible(p.kind == Kind::Picture);
          widget = picture;
          view = picture;
          break;
        }
        case Kind::HScroll:
        case Kind::VScroll: {
          const auto orientation = p.kind == Kind::HScroll ? Qt::Horizontal : Qt::Vertical;
          auto* bar = new ScrollBarView(orientation, ref.scrollBar, forward, area);
          widget = bar;
          view = bar;
          break;
        }
        case Kind::List: {
          auto* list = new ListView(ref.list, forward, area);
          widget = list;
          view = list;
          break;
        }
        case Kind::Input: {
          // The loss is only noted here and handed to the model by the next Run, so
          // that it reaches the model before the click that moved the focus. A
          // zero timer delivers it when no click follows (the focus moved by key).
          auto* input = new InputField(
              ref.textField,
              [this] {
                focusLossPending_ = true;
                QTimer::singleShot(0, this, [this] { Run([] {}); });
              },
              area);
          input_ = input;
          widget = input;
          view = input;
          break;
        }
        default: {
          auto* cell = new CellWidget(p.kind, QString::fromUtf8(p.text), area);
          if (ref.label) cell->BindLabel(ref.label);
          if (ref.command) cell->BindCommand(ref.command, forward);
          if (std::string_view(p.name) == "DMP")
            cell->OnClick([this, k] { form_.DMP_ClickEvent(k); }, forward);
          widget = cell;
          view = ref.Found() ? cell : nullptr;  // fixed captions never change
          break;
        }
      }
      widget->setObjectName(name);
      if (Proportional(name)) widget->setFont(ProportionalFont());
      const int width =
          p.w > 0 ? p.w : widget->fontMetrics().horizontalAdvance(QString::fromUtf8(p.text)) + 2;
      widget->setGeometry(x, y, width, p.h);
      if (auto* list = qobject_cast<ListView*>(widget)) list->PlaceWholeLines(QRect(x, y, width, p.h));
      if (view) views_.push_back(view);
    }
  }
}

void MainWindow::Run(const std::function<void()>& event) {
  ++running_;
  FlushFocusLoss();
  event();
  SyncFromModel();
  --running_;
  CheckEnded();
}

void MainWindow::RunWhenIdle(const std::function<void()>& event) {
  if (form_.ended) return;
  if (running_ > 0 || QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
    QTimer::singleShot(100, this, [this, event] { RunWhenIdle(event); });
    return;
  }
  Run(event);
}

void MainWindow::BringToFront() {
  if (form_.ended) return;
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
}

void MainWindow::FlushFocusLoss() {
  if (!focusLossPending_) return;
  focusLossPending_ = false;
  form_.DMPI.LoseFocus();
  SyncFromModel();
}

void MainWindow::SyncFromModel() {
  for (ModelView* view : views_) view->SyncFromModel();
  if (shownOuterWidth_ != form_.outerWidth) {
    shownOuterWidth_ = form_.outerWidth;
    client_->setFixedSize(ClientWidth(form_.outerWidth), form_.clientHeight);
    layout()->activate();  // the window takes its new size now, not at the next event
  }
}

void MainWindow::CheckEnded() {
  if (!form_.ended || endedSignalled_) return;
  endedSignalled_ = true;
  hide();
  emit ended();
}

QWidget* MainWindow::Element(const QString& name, int index) const {
  const QString objectName = index < 0 ? name : QStringLiteral("%1[%2]").arg(name).arg(index);
  return client_->findChild<QWidget*>(objectName, Qt::FindDirectChildrenOnly);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (form_.ended) {
    event->accept();
    return;
  }
  // The model decides: the question is asked there, and only its OK ends the program.
  bool granted = false;
  Run([this, &granted] { granted = form_.RequestClose(); });
  if (granted || form_.ended)
    event->accept();
  else
    event->ignore();
}

}  // namespace vorn::gui
