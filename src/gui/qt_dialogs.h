// Message boxes and file dialogs shown as real modal Qt dialogs.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "window/dialogs.h"

namespace vorn::gui {

class QtDialogs : public window::Dialogs {
 public:
  // The owner window of every box; beforeShow runs before each one is shown, so
  // that the window shows the state the message is about.
  void SetOwner(QWidget* owner, std::function<void()> beforeShow);
  // Tests run the dialogs offscreen; the platform's own dialogs cannot be driven there.
  void UseNativeDialogs(bool use) { native_ = use; }

  window::Answer MessageBox(const std::string& text, window::Buttons buttons) override;
  std::string OpenFileDialog(const window::FileDialogRequest& request) override;
  std::string SaveFileDialog(const window::FileDialogRequest& request) override;
  std::unique_ptr<window::ProgressBox> OpenProgress(const std::string& text) override;

 protected:
  // Shows the dialog modally and returns its result; tests answer it here.
  virtual int Exec(QDialog& dialog) { return dialog.exec(); }

 private:
  std::string FileDialog(const window::FileDialogRequest& request, bool save);

  QPointer<QWidget> owner_;
  std::function<void()> beforeShow_;
  bool native_ = true;
};

}  // namespace vorn::gui
