// The real message boxes and file dialogs: title, texts, buttons and options as
// the handlers ask for them, answered here instead of by a person.
#include "gui/qt_dialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTranslator>
#include <functional>
#include <string>

#include "gui/application.h"
#include "gui/main_window.h"
#include "support/run_cli.h"

namespace vorn::gui {
namespace {

// Answers every dialog with answer(dialog) instead of showing it.
class AnsweredDialogs : public QtDialogs {
 public:
  std::function<int(QDialog&)> answer;
  int shown = 0;

 protected:
  int Exec(QDialog& dialog) override {
    ++shown;
    return answer(dialog);
  }
};

int Press(QDialog& dialog, QMessageBox::StandardButton which) {
  auto& box = static_cast<QMessageBox&>(dialog);
  box.button(which)->click();
  return box.result();
}

window::FileDialogRequest Request(const char* title) {
  window::FileDialogRequest request;
  request.title = title;
  request.filterLabel = "JPEGファイル(*.jpg)";
  request.filterPattern = "*.jpg";
  return request;
}

TEST(QtDialogs, MessageBoxesCarryTheTitleTheTextAndTheButtons) {
  AnsweredDialogs dialogs;
  int synced = 0;
  dialogs.SetOwner(nullptr, [&] { ++synced; });
  QString title, text;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton press = QMessageBox::Ok;
  dialogs.answer = [&](QDialog& dialog) {
    auto& box = static_cast<QMessageBox&>(dialog);
    title = box.windowTitle();
    text = box.text();
    buttons = box.standardButtons();
    return Press(dialog, press);
  };

  EXPECT_EQ(dialogs.MessageBox("正常！", window::Buttons::Ok), window::Answer::Ok);
  EXPECT_EQ(title, QStringLiteral("Vorn"));
  EXPECT_EQ(text, QStringLiteral("正常！"));
  EXPECT_EQ(buttons, QMessageBox::Ok);

  press = QMessageBox::No;
  EXPECT_EQ(dialogs.MessageBox("解析開始位置を変更しますか", window::Buttons::YesNo), window::Answer::No);
  EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);
  press = QMessageBox::Yes;
  EXPECT_EQ(dialogs.MessageBox("解析開始位置を変更しますか", window::Buttons::YesNo), window::Answer::Yes);

  press = QMessageBox::Cancel;
  EXPECT_EQ(dialogs.MessageBox("終了します", window::Buttons::OkCancel), window::Answer::Cancel);
  EXPECT_EQ(buttons, QMessageBox::Ok | QMessageBox::Cancel);
  press = QMessageBox::Ok;
  EXPECT_EQ(dialogs.MessageBox("終了します", window::Buttons::OkCancel), window::Answer::Ok);

  // A carriage return inside a message breaks the line.
  EXPECT_EQ(dialogs.MessageBox("一行目\r二行目", window::Buttons::Ok), window::Answer::Ok);
  EXPECT_EQ(text, QStringLiteral("一行目\n二行目"));
  // The window was brought up to date before every box.
  EXPECT_EQ(synced, dialogs.shown);
}

TEST(QtDialogs, ClosingABoxWithoutAButtonIsTheNegativeAnswer) {
  AnsweredDialogs dialogs;
  dialogs.answer = [](QDialog& dialog) {
    dialog.reject();
    return dialog.result();
  };
  EXPECT_EQ(dialogs.MessageBox("終了します", window::Buttons::OkCancel), window::Answer::Cancel);
  EXPECT_EQ(dialogs.MessageBox("解析開始位置を変更しますか", window::Buttons::YesNo), window::Answer::No);
  EXPECT_EQ(dialogs.MessageBox("入力エラー", window::Buttons::Ok), window::Answer::Ok);
}

// Qt's own buttons speak Japanese as the window does, and a box with a short text
// is still wide enough for a window manager to draw the title "Vorn" in its frame.
TEST(QtDialogs, StandardButtonsAreJapaneseAndBoxesWideEnoughForTheTitle) {
  QTranslator* japanese = LoadQtJapanese();
  ASSERT_NE(japanese, nullptr) << "Qt's Japanese texts (qt6-translations-l10n) are not installed";
  AnsweredDialogs dialogs;
  QString cancel;
  int width = 0;
  dialogs.answer = [&](QDialog& dialog) {
    auto& box = static_cast<QMessageBox&>(dialog);
    box.show();
    width = box.width();
    if (QAbstractButton* button = box.button(QMessageBox::Cancel)) cancel = button->text();
    return Press(dialog, QMessageBox::Ok);
  };
  dialogs.MessageBox("終了します", window::Buttons::OkCancel);
  EXPECT_EQ(cancel, QStringLiteral("キャンセル"));
  for (const char* text : {"正常！", "入力エラー"}) {
    dialogs.MessageBox(text, window::Buttons::Ok);
    EXPECT_GE(width, 200) << text;
  }
  QCoreApplication::removeTranslator(japanese);
  delete japanese;
}

// `vorn FILE` on a file that gives a warning: the box waits until the window stands
// where the window manager put it, and is centred on it there.
TEST(QtDialogs, AMessageAtStartIsCentredOnThePlacedWindow) {
  window::WindowModel form;
  MainWindow window(form);
  AnsweredDialogs dialogs;
  dialogs.SetOwner(&window, [&] { window.SyncFromModel(); });
  QPoint boxCentre;
  dialogs.answer = [&](QDialog& dialog) {
    dialog.show();
    boxCentre = dialog.frameGeometry().center();
    return Press(dialog, QMessageBox::Ok);
  };
  window.move(300, 120);
  window.show();
  RunWhenPlaced(window,
                [&] { dialogs.MessageBox("画像開始がありません（ワーニング）", window::Buttons::Ok); });
  EXPECT_EQ(dialogs.shown, 0);  // not before the window is shown where it stays
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.shown == 1; }));
  EXPECT_LE((boxCentre - window.frameGeometry().center()).manhattanLength(), 4)
      << boxCentre.x() << "," << boxCentre.y();
}

TEST(QtDialogs, OpenDialogHasTheTitleTheOneFilterAndWantsAnExistingFile) {
  AnsweredDialogs dialogs;
  dialogs.UseNativeDialogs(false);
  const std::string folder = testing::TempDir();
  const QString chosen = QString::fromStdString(folder + "/写真.jpg");
  dialogs.answer = [&](QDialog& dialog) {
    auto& files = static_cast<QFileDialog&>(dialog);
    EXPECT_EQ(files.windowTitle(), QStringLiteral("ファイルを開く"));
    EXPECT_EQ(files.nameFilters(), QStringList{QStringLiteral("JPEGファイル(*.jpg)")});
    EXPECT_EQ(files.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(files.fileMode(), QFileDialog::ExistingFile);
    EXPECT_TRUE(files.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(files.directory().absolutePath(), QString::fromStdString(folder));  // the current file's
    files.selectFile(chosen);
    return int(QDialog::Accepted);
  };
  window::FileDialogRequest request = Request("ファイルを開く");
  request.mustExist = true;
  request.folder = folder;
  EXPECT_EQ(dialogs.OpenFileDialog(request), chosen.toStdString());

  dialogs.answer = [](QDialog&) { return int(QDialog::Rejected); };
  EXPECT_EQ(dialogs.OpenFileDialog(request), "");  // cancelled
}

TEST(QtDialogs, SaveDialogProposesTheNameAndConfirmsOverwriting) {
  AnsweredDialogs dialogs;
  dialogs.UseNativeDialogs(false);
  const std::string folder = testing::TempDir();
  const std::string proposed = folder + "/damaged.jpg";
  dialogs.answer = [&](QDialog& dialog) {
    auto& files = static_cast<QFileDialog&>(dialog);
    EXPECT_EQ(files.windowTitle(), QStringLiteral("ファイルを保存する"));
    EXPECT_EQ(files.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(files.fileMode(), QFileDialog::AnyFile);  // a new name can be chosen
    EXPECT_FALSE(files.testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(files.selectedFiles(), QStringList{QString::fromStdString(proposed)});
    return int(QDialog::Accepted);
  };
  window::FileDialogRequest request = Request("ファイルを保存する");
  request.proposedName = proposed;
  request.confirmOverwrite = true;
  EXPECT_EQ(dialogs.SaveFileDialog(request), proposed);
}

// A path longer than the handlers' 249 characters is handed on whole, never cut,
// so that the handler can refuse it.
TEST(QtDialogs, LongPathsAreNotCut) {
  AnsweredDialogs dialogs;
  dialogs.UseNativeDialogs(false);
  const std::string longPath = testing::TempDir() + "/" + std::string(300, 'a') + ".jpg";
  dialogs.answer = [&](QDialog& dialog) {
    static_cast<QFileDialog&>(dialog).selectFile(QString::fromStdString(longPath));
    return int(QDialog::Accepted);
  };
  EXPECT_EQ(dialogs.SaveFileDialog(Request("ファイルを保存する")), longPath);
}

// The progress box sits over the owner window with the title, the text and the
// Japanese cancel button, shows the work's fraction, and reports the press on the
// button; it goes when the work ends.
TEST(QtDialogs, ProgressBoxShowsHowFarTheWorkIsAndTakesTheCancel) {
  QWidget owner;
  QtDialogs dialogs;
  dialogs.SetOwner(&owner, {});
  std::unique_ptr<window::ProgressBox> box = dialogs.OpenProgress("修復候補を検索しています…");
  auto* dialog = owner.findChild<QProgressDialog*>();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Vorn"));
  EXPECT_EQ(dialog->labelText(), QStringLiteral("修復候補を検索しています…"));
  EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
  auto* cancel = dialog->findChild<QPushButton*>();
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(cancel->text(), QStringLiteral("キャンセル"));
  box->Advance(0.25);
  EXPECT_EQ(dialog->value(), dialog->maximum() / 4);
  EXPECT_FALSE(box->Cancelled());
  cancel->click();
  box->Advance(0.5);
  EXPECT_TRUE(box->Cancelled());
  box.reset();
  EXPECT_EQ(owner.findChild<QProgressDialog*>(), nullptr);
}

}  // namespace
}  // namespace vorn::gui
