#include "gui/qt_dialogs.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSpacerItem>

#include "gui/display_text.h"

namespace vorn::gui {

namespace {

QString Utf8(const std::string& text) {
  return QString::fromStdString(text);
}

// A box as narrow as "正常！" leaves a window manager no room for the title "Vorn"
// beside the frame's icon and buttons; 200 pixels leaves room in the common ones.
constexpr int kMinimumBoxWidth = 200;

// QMessageBox sizes itself from its layout, overriding any minimum width set on it;
// a strut across the layout's columns is what it honours.
void KeepWidth(QMessageBox& box, int width) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (!grid) return;
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                grid->columnCount());
}

// Steps of the progress bar; a step of a thousandth is finer than the eye follows.
constexpr int kProgressSteps = 1000;
// Work done sooner than this shows no box at all.
constexpr int kProgressDelayMs = 400;

class QtProgress : public window::ProgressBox {
 public:
  QtProgress(QWidget* owner, const QString& text)
      : dialog_(text, Utf8(window::kCancelCaption), 0, kProgressSteps, owner) {
    dialog_.setWindowTitle(Utf8(window::kMessageTitle));
    dialog_.setWindowModality(Qt::WindowModal);
    dialog_.setMinimumDuration(kProgressDelayMs);
    dialog_.setAutoClose(false);
    dialog_.setAutoReset(false);
    dialog_.setValue(0);
  }
  void Advance(double fraction) override {
    const double clamped = fraction < 0 ? 0 : (fraction > 1 ? 1 : fraction);
    // Once the box shows, a modal progress dialog takes the window's events here (the
    // press on its button among them) while blocking input to the window under it;
    // before it shows, no event is taken, so no other command can run meanwhile.
    dialog_.setValue(static_cast<int>(clamped * kProgressSteps));
  }
  bool Cancelled() const override { return dialog_.wasCanceled(); }

 private:
  QProgressDialog dialog_;
};

}  // namespace

std::unique_ptr<window::ProgressBox> QtDialogs::OpenProgress(const std::string& text) {
  if (beforeShow_) beforeShow_();
  return std::make_unique<QtProgress>(owner_, DisplayText(text));
}

void QtDialogs::SetOwner(QWidget* owner, std::function<void()> beforeShow) {
  owner_ = owner;
  beforeShow_ = std::move(beforeShow);
}

window::Answer QtDialogs::MessageBox(const std::string& text, window::Buttons buttons) {
  if (beforeShow_) beforeShow_();
  QMessageBox box(QMessageBox::NoIcon, Utf8(window::kMessageTitle), DisplayText(text), QMessageBox::NoButton,
                  owner_);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  KeepWidth(box, kMinimumBoxWidth);
  switch (buttons) {
    case window::Buttons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      box.setDefaultButton(QMessageBox::Ok);
      break;
    case window::Buttons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      break;
    case window::Buttons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Ok);
      break;
  }
  Exec(box);
  // Closing the box by its frame or Escape counts as the negative button.
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
      return window::Answer::Ok;
    case QMessageBox::Yes:
      return window::Answer::Yes;
    case QMessageBox::No:
      return window::Answer::No;
    case QMessageBox::Cancel:
      return window::Answer::Cancel;
    default:
      break;
  }
  switch (buttons) {
    case window::Buttons::Ok:
      return window::Answer::Ok;
    case window::Buttons::YesNo:
      return window::Answer::No;
    case window::Buttons::OkCancel:
      break;
  }
  return window::Answer::Cancel;
}

std::string QtDialogs::OpenFileDialog(const window::FileDialogRequest& request) {
  return FileDialog(request, false);
}

std::string QtDialogs::SaveFileDialog(const window::FileDialogRequest& request) {
  return FileDialog(request, true);
}

std::string QtDialogs::FileDialog(const window::FileDialogRequest& request, bool save) {
  if (beforeShow_) beforeShow_();
  // The label already names the pattern in brackets, which is how Qt reads a filter.
  QString filter = Utf8(request.filterLabel);
  if (!filter.contains(Utf8(request.filterPattern)))
    filter += QStringLiteral(" (%1)").arg(Utf8(request.filterPattern));

  QFileDialog dialog(owner_, Utf8(request.title), Utf8(request.folder), filter);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
  dialog.setOption(QFileDialog::DontUseNativeDialog, !native_);
  if (!request.proposedName.empty()) dialog.selectFile(Utf8(request.proposedName));
  if (Exec(dialog) != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  // The whole path is handed on, however long: the caller refuses what it cannot hold
  // rather than have it cut here.
  return chosen.isEmpty() ? std::string() : chosen.first().toStdString();
}

}  // namespace vorn::gui
