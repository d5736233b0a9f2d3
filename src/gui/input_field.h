// The one-line input field bound to a model text field. Losing the focus to
// another widget of the window is reported to the model before that widget's
// click (see MainWindow::Run).
#pragma once

#include <QLineEdit>
#include <functional>

#include "gui/model_view.h"
#include "window/elements.h"

namespace vorn::gui {

class InputField : public QLineEdit, public ModelView {
  Q_OBJECT

 public:
  // focusLost is called at once when the focus moves to another widget of the
  // window (not when the whole window loses activation, e.g. to a message box).
  InputField(window::TextField* field, std::function<void()> focusLost, QWidget* parent);
  void SyncFromModel() override;
  // Whether the focus is in the field as far as the window is concerned: also while a
  // menu or a message box has taken it for a moment.
  bool HoldsFocus() const { return holdsFocus_; }

 protected:
  bool event(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  window::TextField* field_;
  std::function<void()> focusLost_;
  bool holdsFocus_ = false;
  uint32_t focusRequestsSeen_ = 0;
};

}  // namespace vorn::gui
