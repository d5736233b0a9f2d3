#include "gui/input_field.h"

#include <QFocusEvent>

namespace vorn::gui {

InputField::InputField(window::TextField* field, std::function<void()> focusLost, QWidget* parent)
    : QLineEdit(parent),
      field_(field),
      focusLost_(std::move(focusLost)),
      focusRequestsSeen_(field->focusRequests) {
  setMaxLength(field->maxChars);
  setAlignment(Qt::AlignCenter);
  setFocusPolicy(Qt::StrongFocus);
  setTextMargins(0, 0, 0, 0);
  connect(this, &QLineEdit::textEdited, this,
          [this](const QString& text) { field_->SetText(text.toStdString()); });
  SyncFromModel();
}

void InputField::SyncFromModel() {
  const QString text = QString::fromStdString(field_->text);
  if (this->text() != text) setText(text);
  if (focusRequestsSeen_ != field_->focusRequests) {
    focusRequestsSeen_ = field_->focusRequests;
    setFocus(Qt::OtherFocusReason);
    selectAll();
  }
}

void InputField::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  holdsFocus_ = true;
}

void InputField::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // A message box, a menu or another application taking the activation is not a
  // move of the focus within the window.
  const Qt::FocusReason reason = event->reason();
  if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
  holdsFocus_ = false;
  if (focusLost_) focusLost_();
}

}  // namespace vorn::gui
